// SPDX-License-Identifier: GPL-3.0-or-later
// The line in the chart's corner that says how the last run stood against its profile.
#pragma once

#include "record/RunSummary.h"

#include <QColor>
#include <QLabel>

namespace console {

// Green for a run that followed its profile, red for one that did not, grey for
// one a lost answer left unchecked.
QColor verdictColour(record::RunRule::Outcome outcome);

// One line, the verdict and the rule that decided it, shown from a run's end
// until the next run starts; the pointer resting on it shows the whole summary.
// It sits in the top right corner of the plot, clear of the axes.
class RunVerdictLine : public QLabel {
    Q_OBJECT
public:
    explicit RunVerdictLine(QWidget* parent);

    void showAssessment(const record::RunAssessment& assessment);
    // Keeps the line's right edge at `right` and its top at `top` (viewport coordinates).
    void placeAt(int right, int top);

private:
    int m_right = 0;
    int m_top = 0;
};

} // namespace console
