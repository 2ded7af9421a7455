// SPDX-License-Identifier: GPL-3.0-or-later
// Checks a layout test makes of any window.
#include "tests/support/LayoutCheck.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace testsupport {

namespace {

QList<QWidget*> namedControls(const QWidget& window) {
    QList<QWidget*> controls;
    for (QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->objectName().isEmpty() && !child->objectName().startsWith(u"qt_"))
            controls << child;
    }
    return controls;
}

// What the caption needs and what the box gives it, measured as the toolkit
// sizes the control: a check box or radio button needs its size hint (indicator,
// spacing and text), a label or push button the text's advance inside its contents.
std::pair<int, int> neededAndRoom(const QWidget* control) {
    const QFontMetrics metrics(control->font());
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return {metrics.horizontalAdvance(label->text()), label->contentsRect().width()};
    if (qobject_cast<const QCheckBox*>(control) || qobject_cast<const QRadioButton*>(control))
        return {control->sizeHint().width(), control->width()};
    if (const auto* button = qobject_cast<const QPushButton*>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect contents =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        return {metrics.horizontalAdvance(button->text()), contents.width()};
    }
    return {0, 0};
}

} // namespace

QStringList unlistedControls(const QWidget& window, const QStringList& listed) {
    QStringList unlisted;
    for (const QWidget* control : namedControls(window)) {
        if (!listed.contains(control->objectName()))
            unlisted << control->objectName();
    }
    return unlisted;
}

QStringList captionsWiderThanTheirBox(const QWidget& window) {
    QStringList wider;
    for (const QWidget* control : namedControls(window)) {
        const auto [needed, room] = neededAndRoom(control);
        if (needed > room)
            wider << QStringLiteral("%1 needs %2 of %3")
                         .arg(control->objectName())
                         .arg(needed)
                         .arg(room);
    }
    return wider;
}

QStringList tightenedCaptions(const QWidget& window) {
    QStringList tightened;
    for (const QWidget* control : namedControls(window)) {
        if (control->font().letterSpacing() >= 0)
            continue;
        QFont natural = control->font();
        natural.setLetterSpacing(QFont::AbsoluteSpacing, 0);
        const QString caption = control->property("text").toString();
        tightened << QStringLiteral("%1 (%2 px in %3)")
                         .arg(control->objectName())
                         .arg(QFontMetrics(natural).horizontalAdvance(caption))
                         .arg(control->width());
    }
    return tightened;
}

} // namespace testsupport
