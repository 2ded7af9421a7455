// SPDX-License-Identifier: GPL-3.0-or-later
// Answers the message boxes a handler opens and records what they said.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace testsupport {

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttonCount = 0;
};

// While alive, polls for a modal QMessageBox every few milliseconds, records it
// and presses its default (OK) button, so a test can run a handler that shows a
// box and then check which box it was.
class ModalWatcher : public QObject {
    Q_OBJECT
public:
    explicit ModalWatcher(QObject* parent = nullptr);

    const QList<SeenBox>& boxes() const { return m_boxes; }
    QStringList texts() const;
    void clear() { m_boxes.clear(); }

private:
    void poll();

    QTimer m_timer;
    QList<SeenBox> m_boxes;
};

} // namespace testsupport
