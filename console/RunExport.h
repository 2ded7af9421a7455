// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping a run's record: the samples as a CSV table and the whole run as a PNG picture.
#pragma once

#include "console/ProfileTargets.h"
#include "record/ReferenceRun.h"
#include "record/RunCsv.h"
#include "record/RunRecord.h"

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>

namespace console {

// The size of a saved picture: twice as wide as high, like the chart on screen.
inline constexpr QSize kRunPictureSize(1920, 960);

struct RunPicture {
    QImage image;
    QRectF plotArea; // where the axes' ranges lie on the image
};

// The chart of the whole run: time from 0 to the run's last second across the
// plot, 0..300 °C as on screen, both curves in their colours, the axis titles of
// the chart; above them the title (the first run's profile and start) and a
// legend of the curves and the targets, text sized to the picture. Every sample is drawn; the
// curves break where the record has a gap. With `targets` given (the targets are shown), the
// picture draws the targets of the profiles the record says were shown, each over the seconds it
// was shown for; a record that says none gets `targets` across the plot. With a
// `reference`, its curves under the run's from the last run's first second (as
// on screen), in the legend, and its name after the title.
RunPicture renderRunChart(const record::RunRecord& record, QSize size = kRunPictureSize,
                          const std::optional<ProfileTargets>& targets = std::nullopt,
                          const record::ReferenceRun* reference = nullptr);

// Write the file whole or not at all (a temporary beside it, renamed at the end).
// A refused write raises config::WriteError with the path.
void writeCsvFile(const QString& path, const record::RunRecord& record);
void writeChartFile(const QString& path, const record::RunRecord& record,
                    QSize size = kRunPictureSize,
                    const std::optional<ProfileTargets>& targets = std::nullopt,
                    const record::ReferenceRun* reference = nullptr);

} // namespace console
