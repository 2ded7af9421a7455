// SPDX-License-Identifier: GPL-3.0-or-later
// The run record as text: the CSV table and the names of the files that keep it.
#pragma once

#include "record/RunRecord.h"

#include <QByteArray>
#include <QString>

class QDateTime;

namespace record {

// The table of a run, UTF-8 with LF line ends, in three parts:
//
// Lines that begin with "#", one "# key: value" each, say what the run records
// (the run's first; a reader that skips "#" lines reads the rest as a plain table):
//   # version: 1.0.0.2                    the console's version
//   # start: 2026-12-10T14:03:59+03:00    when the run started, with the offset from UTC
//   # port: Com3                          the port of the link
//   # Correct1: -5                        the sensor corrections (settings keys)
//   # Correct2: 7
//   # profile: 2                          the profile as shown at the start: its number,
//   # Name: BGA                           its name and its six values (settings keys)
//   # T0: 180
//   # TB: 150
//   # T1: 160
//   # S1: 60
//   # T3: 235
//   # S3: 30
//   # reference: 2026-12-09_10-00_profil2_BGA.csv   the run laid under this one, if any
// Then the header row "time_s,top_c,bottom_c", and one row per second of run time:
// the second and both temperatures as whole degrees, or two empty cells for a gap
// ("37,,").
// Between the rows, just before the row of the second it happened in:
//   # profile_change: second=37 profile=3 T0=100 TB=120 T1=140 S1=45 T3=16 S3=-7 Name=Свинец
//     (the profile shown from that second; Name last, it takes the rest of the line)
//   # run_start: second=77 start=2026-12-10T14:09:12+03:00
//     (a later run that goes on in the same record: only in an export, which holds
//     every run since the last "<0>")
// After the last row of a finished run, the "#" lines that say what it did
// (closingLines() of RunSummary), in an export before the next run's
// "# run_start" line.
// Values never hold a line break: control characters become spaces.
QByteArray csvText(const RunRecord& record);

// The "#" lines of a run, before its header row.
QByteArray headerLines(const RunHeader& header);
QByteArray profileChangeLine(qint64 second, const RunProfile& profile);
QByteArray runStartLine(qint64 second, const QDateTime& start);
// What a run_start line opens with: "# run_start".
QByteArray runStartTag();
// "2026-12-10T14:03:59+03:00": local time and its offset from UTC.
QString isoTimeWithOffset(const QDateTime& time);

// The table's header row, with its line end.
QByteArray csvHeader();
// The rows of the record's seconds [first, end) appended to `text`, numbered from
// 1 at index `origin`, each preceded by the "#" lines of what happened in it. A
// profile the header at `origin` already says is not repeated. Rows that reach the
// end of the record end with the closing lines of its last run, once it is over.
void appendCsvRows(QByteArray& text, const RunRecord& record, qsizetype origin, qsizetype first,
                   qsizetype end);

// The console's version, as the first "#" line gives it.
QString consoleVersion();

// The name offered for a file of the run: date, time, profile number and name, e.g.
// "2026-12-10_14-03_profil2_BGA.png". Characters that file systems refuse, and
// spaces, become '_'; Cyrillic stays.
QString suggestedFileName(const QDateTime& now, int profileNumber, const QString& profileName,
                          const QString& extension);
// The name of a run's files: by its start and the profile it started with.
QString suggestedFileName(const RunHeader& run, const QString& extension);

} // namespace record
