// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/ModalWatcher.h"

#include <QAbstractButton>
#include <QApplication>

namespace testsupport {

ModalWatcher::ModalWatcher(QObject* parent) : QObject(parent) {
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &ModalWatcher::poll);
    m_timer.start();
}

QStringList ModalWatcher::texts() const {
    QStringList out;
    for (const SeenBox& box : m_boxes)
        out << box.text;
    return out;
}

void ModalWatcher::poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    m_boxes.append(
        {box->windowTitle(), box->text(), box->icon(), static_cast<int>(box->buttons().size())});
    if (QAbstractButton* ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->done(0);
}

} // namespace testsupport
