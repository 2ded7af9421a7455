// SPDX-License-Identifier: GPL-3.0-or-later
// A run's one-page report as a PDF: A4 landscape, drawn with Qt's own PDF writer.
#pragma once

#include "record/RunReport.h"

#include <QRectF>
#include <QString>

class QPainter;

namespace console {

// The page is drawn in the painter's device pixels at `dotsPerInch`; text is
// real text (selectable in a PDF), its sizes in points.
void paintRunReport(QPainter& painter, const QRectF& page, double dotsPerInch,
                    const record::RunReport& report);

// Writes the report to `path` whole or not at all (a temporary beside it,
// renamed at the end): the reason in Russian when it could not.
struct ReportWritten {
    bool written = false;
    QString reason;
};
ReportWritten writeRunReport(const QString& path, const record::RunReport& report);

} // namespace console
