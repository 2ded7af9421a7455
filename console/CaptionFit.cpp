// SPDX-License-Identifier: GPL-3.0-or-later
// Fitting a caption into the box its window gives it.
#include "console/CaptionFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <cmath>

namespace console {

namespace {

// Letter spacing is applied in steps a glyph position can hold (1/64 px).
constexpr qreal kSpacingStep = 1.0 / 64.0;
// Beyond this the letters would run into each other; a font engine that ignores
// spacing must not keep the loop going either.
constexpr qreal kTightestSpacingPerPx = -0.25;

QRect buttonContents(const QAbstractButton* button, QStyle::SubElement element) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    return button->style()->subElementRect(element, &option, button);
}

} // namespace

QString captionOf(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    return {};
}

int captionRoom(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        const int indent = label->indent() > 0 ? label->indent() : 0;
        return label->contentsRect().width() - 2 * label->margin() - indent;
    }
    // A check box or radio button wants room for its indicator, the gap and a
    // focus frame around the text: what its size hint holds beyond the text.
    if (qobject_cast<const QCheckBox*>(control) || qobject_cast<const QRadioButton*>(control)) {
        const auto* button = static_cast<const QAbstractButton*>(control);
        const int text = QFontMetrics(button->font()).horizontalAdvance(button->text());
        return control->width() - (control->sizeHint().width() - text);
    }
    if (const auto* button = qobject_cast<const QPushButton*>(control))
        return buttonContents(button, QStyle::SE_PushButtonContents).width();
    return control->width();
}

bool fitCaption(QWidget* control) {
    const QString caption = captionOf(control);
    if (caption.isEmpty())
        return false;
    const int room = captionRoom(control);
    QFont font = control->font();
    const auto advance = [&caption](const QFont& f) {
        return QFontMetricsF(f).horizontalAdvance(caption);
    };
    const qreal excess = advance(font) - room;
    if (excess <= 0)
        return false;

    // Every character carries the spacing, so spreading the excess over all of
    // them is the least that can fit; rounding may need a step more.
    qreal spacing = -std::ceil(excess / caption.size() / kSpacingStep) * kSpacingStep;
    font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    const qreal tightest = kTightestSpacingPerPx * QFontInfo(font).pixelSize();
    while (advance(font) > room && spacing > tightest) {
        spacing -= kSpacingStep;
        font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    }
    control->setFont(font);
    return true;
}

} // namespace console
