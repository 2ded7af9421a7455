// SPDX-License-Identifier: GPL-3.0-or-later
// The verdict line over the chart: its colour, its text and the summary under the pointer.
#include "console/RunVerdictLine.h"

#include "console/Fonts.h"

namespace console {

namespace {

constexpr int kFontPx = 12;

} // namespace

QColor verdictColour(record::RunRule::Outcome outcome) {
    switch (outcome) {
    case record::RunRule::Outcome::Met:
        return {0, 128, 0};
    case record::RunRule::Outcome::Failed:
        return {200, 0, 0};
    case record::RunRule::Outcome::Unchecked:
        return {110, 110, 110};
    }
    return Qt::black;
}

RunVerdictLine::RunVerdictLine(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("RunVerdict"));
    QFont font = tahoma(kFontPx);
    font.setBold(true);
    setFont(font);
    hide();
}

void RunVerdictLine::showAssessment(const record::RunAssessment& assessment) {
    const QColor colour = verdictColour(assessment.verdict.outcome);
    setStyleSheet(QStringLiteral("QLabel { background: rgba(255, 255, 255, 220); color: %1; "
                                 "border: 1px solid %1; padding: 1px 4px; }")
                      .arg(colour.name()));
    setText(assessment.verdict.line());
    setToolTip(record::summaryText(assessment));
    adjustSize();
    placeAt(m_right, m_top);
    show();
    raise();
}

void RunVerdictLine::placeAt(int right, int top) {
    m_right = right;
    m_top = top;
    move(std::max(0, right - width()), top);
}

} // namespace console
