// SPDX-License-Identifier: GPL-3.0-or-later
// The small dialog "Допуски прогона": what a finished run is judged by.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace console {

// Four fields: the tolerance, the liquidus, and the two optional limits (empty:
// none). Each showing reads section Record afresh; only "Сохранить" writes it,
// all four keys at once, after the fields were checked. A refused field shows a
// message that names it and writes nothing.
class RunLimitsDialog : public QDialog {
    Q_OBJECT
public:
    explicit RunLimitsDialog(QWidget* parent = nullptr);

    // The settings file into the fields.
    void load();
    // The fields into the settings file; false when refused or not written.
    bool save();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void saveClicked();

    QLineEdit* m_tolerance = nullptr;
    QLineEdit* m_liquidus = nullptr;
    QLineEdit* m_maxRise = nullptr;
    QLineEdit* m_minLiquidusSeconds = nullptr;
};

} // namespace console
