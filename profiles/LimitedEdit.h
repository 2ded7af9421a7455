// SPDX-License-Identifier: GPL-3.0-or-later
// An edit field whose length limit binds only what the operator types or pastes.
#pragma once

#include <QLineEdit>
#include <QString>

namespace profiles {

// Unlike QLineEdit::setMaxLength, which also cuts text set by the program, the
// limit here applies to the operator alone: setText() keeps any length (a
// stored 1000 shows in full), while typing, pasting, dropping or undoing may
// not make the text longer than the limit. An insertion keeps as much of
// itself as fits; when nothing fits, the edit is refused. Text already longer
// than the limit can still be shortened.
class LimitedEdit : public QLineEdit {
    Q_OBJECT
public:
    LimitedEdit(int operatorLimit, QWidget* parent = nullptr);

    int operatorLimit() const { return m_limit; }

protected:
    // Everything that reaches the field through its own events is the operator's doing.
    bool event(QEvent* event) override;
    // The standard menu, run to its end inside the event, so that its Paste counts too.
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    class Limit;
    friend class Limit;

    // What the operator's change from m_settled to `after` may keep; `cursor`
    // ends up after what was kept of the insertion.
    QString withinLimit(const QString& after, int& cursor) const;

    int m_limit = 0;
    bool m_operatorInput = false;
    QString m_settled; // the text before the change being validated
};

} // namespace profiles
