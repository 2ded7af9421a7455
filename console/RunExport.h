// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping a run's record: the samples as a CSV table and the whole run as a PNG picture.
#pragma once

#include "console/ProfileTargets.h"
#include "console/RunRecord.h"

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>

class QDateTime;

namespace console {

// The size of a saved picture: twice as wide as high, like the chart on screen.
inline constexpr QSize kRunPictureSize(1920, 960);

// "time_s,top_c,bottom_c", then one row per second of run time: the second and
// both temperatures as whole degrees, or two empty cells for a gap ("37,,").
// UTF-8, LF line ends.
QByteArray csvText(const RunRecord& record);
// The table's first line, and the rows of the record's seconds [first, end)
// appended to `text`: what csvText() is made of, for writers that add rows as
// the run goes on.
QByteArray csvHeader();
void appendCsvRows(QByteArray& text, const RunRecord& record, qsizetype first, qsizetype end);

struct RunPicture {
    QImage image;
    QRectF plotArea; // where the axes' ranges lie on the image
};

// The chart of the whole run: time from 0 to the run's last second across the
// plot, 0..300 °C as on screen, both curves in their colours, the axis titles of
// the chart. Every sample is drawn; the curves break where the record has a gap.
// The profile's targets are drawn across the plot when given.
RunPicture renderRunChart(const RunRecord& record, QSize size = kRunPictureSize,
                          const std::optional<ProfileTargets>& targets = std::nullopt);

// The name offered in the save dialog: date, time, profile number and name, e.g.
// "2026-12-10_14-03_profil2_BGA.png". Characters that file systems refuse, and
// spaces, become '_'; Cyrillic stays.
QString suggestedFileName(const QDateTime& now, int profileNumber, const QString& profileName,
                          const QString& extension);

// Write the file whole or not at all (a temporary beside it, renamed at the end).
// A refused write raises config::WriteError with the path.
void writeCsvFile(const QString& path, const RunRecord& record);
void writeChartFile(const QString& path, const RunRecord& record, QSize size = kRunPictureSize,
                    const std::optional<ProfileTargets>& targets = std::nullopt);

} // namespace console
