// SPDX-License-Identifier: GPL-3.0-or-later
// The run record as text: the CSV table and the names of the files that keep it.
#pragma once

#include "record/RunRecord.h"

#include <QByteArray>
#include <QString>

class QDateTime;

namespace record {

// "time_s,top_c,bottom_c", then one row per second of run time: the second and
// both temperatures as whole degrees, or two empty cells for a gap ("37,,").
// UTF-8, LF line ends.
QByteArray csvText(const RunRecord& record);
// The table's first line, and the rows of the record's seconds [first, end)
// appended to `text`: what csvText() is made of, for writers that add rows as
// the run goes on.
QByteArray csvHeader();
void appendCsvRows(QByteArray& text, const RunRecord& record, qsizetype first, qsizetype end);

// The name offered for a file of the run: date, time, profile number and name, e.g.
// "2026-12-10_14-03_profil2_BGA.png". Characters that file systems refuse, and
// spaces, become '_'; Cyrillic stays.
QString suggestedFileName(const QDateTime& now, int profileNumber, const QString& profileName,
                          const QString& extension);

} // namespace record
