// SPDX-License-Identifier: GPL-3.0-or-later
// Common frame of the console's dialogs: fixed size, centred, shown modally, loaded on each
// showing.
#pragma once

#include <QDialog>
#include <QSize>

namespace console {

// A fixed-size dialog centred on the screen, left only through its own buttons
// or, where it has one, its title-bar close button: Escape and Enter do nothing,
// and without a close button the window manager's close request is ignored.
// Each showing calls onShown() once, before the operator can touch the dialog;
// returning to it from a nested dialog does not. At the first showing every
// caption the font renders wider than its box is drawn a little tighter
// (measured then rather than at start-up, where the dialogs are only built).
class ModalDialog : public QDialog {
    Q_OBJECT
public:
    ModalDialog(const QString& caption, QSize clientSize, bool closeButton,
                QWidget* parent = nullptr);

protected:
    virtual void onShown() {}

    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_closeButton = false;
    bool m_captionsFitted = false;
};

} // namespace console
