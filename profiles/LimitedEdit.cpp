// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/LimitedEdit.h"

#include "console/TextField.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QScopedValueRollback>
#include <QValidator>

#include <algorithm>
#include <memory>

namespace profiles {

// The line edit asks its validator about every change, the program's and the
// operator's alike; this one only trims the operator's. It never answers
// Invalid: the line edit keeps a text it was told is invalid when the change
// came from setText() or an undo, and would then let the next operator edit
// through unchecked. A trimmed text is handed back instead.
class LimitedEdit::Limit : public QValidator {
public:
    explicit Limit(LimitedEdit& edit) : QValidator(&edit), m_edit(edit) {}

    State validate(QString& input, int& pos) const override {
        if (m_edit.m_operatorInput)
            input = m_edit.withinLimit(input, pos);
        return Acceptable;
    }

private:
    LimitedEdit& m_edit;
};

LimitedEdit::LimitedEdit(int operatorLimit, QWidget* parent)
    : QLineEdit(parent), m_limit(operatorLimit) {
    console::holdAnyLength(this);
    // textChanged comes after validation, so during it m_settled is still the old text.
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { m_settled = text; });
    setValidator(new Limit(*this));
}

bool LimitedEdit::event(QEvent* event) {
    const QScopedValueRollback operatorInput(m_operatorInput, true);
    return QLineEdit::event(event);
}

void LimitedEdit::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(createStandardContextMenu());
    menu->exec(event->globalPos());
}

QString LimitedEdit::withinLimit(const QString& after, int& cursor) const {
    const QString& before = m_settled;
    if (after.size() <= m_limit || after.size() <= before.size())
        return after;

    // The change replaced the middle of the old text. The common tail cannot
    // reach left of the cursor, which stands right after the inserted text:
    // pasting "xb" after "ab" leaves a common tail of "b", yet all of "xb" is new.
    const qsizetype tailMax = std::min<qsizetype>(after.size() - cursor, before.size());
    qsizetype tail = 0;
    while (tail < tailMax && after[after.size() - 1 - tail] == before[before.size() - 1 - tail])
        ++tail;
    const qsizetype headMax = before.size() - tail;
    qsizetype head = 0;
    while (head < headMax && after[head] == before[head])
        ++head;

    const qsizetype room = m_limit - (head + tail);
    if (room <= 0) {
        cursor = static_cast<int>(head);
        return before; // nothing of the insertion fits: the whole change is refused
    }
    cursor = static_cast<int>(head + room);
    return after.left(head + room) + after.right(tail);
}

} // namespace profiles
