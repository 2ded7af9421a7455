// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/ModalDialog.h"

#include "console/CaptionFit.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QShowEvent>

namespace console {

ModalDialog::ModalDialog(const QString& caption, QSize clientSize, bool closeButton,
                         QWidget* parent)
    : QDialog(parent), m_closeButton(closeButton) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (closeButton)
        flags |= Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
    setWindowTitle(caption);
    setFixedSize(clientSize);
    setModal(true);
}

void ModalDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // restored by the window system, not a new showing
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    if (!m_captionsFitted) {
        for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            fitCaption(control);
        m_captionsFitted = true;
    }
    onShown();
}

void ModalDialog::keyPressEvent(QKeyEvent* event) {
    // Escape would reject and Enter would press a default button; every dialog
    // is left only through its own buttons or its title-bar close button.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->ignore();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void ModalDialog::closeEvent(QCloseEvent* event) {
    if (event->spontaneous() && !m_closeButton) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace console
