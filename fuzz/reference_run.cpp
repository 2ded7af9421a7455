// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: any bytes as a reference run's file, with the reader's promises checked.
#include "fuzz/FuzzCheck.h"
#include "record/ReferenceRun.h"
#include "record/RunCsv.h"

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    const record::ReferenceLoad load = record::parseReferenceRun(text);
    // Either a run or the reason there is none, never both or neither.
    FUZZ_CHECK(bool(load.run) != !load.error.isEmpty());
    if (!load.run) {
        FUZZ_CHECK(!load.error.contains(QLatin1Char('\n')));
        return 0;
    }
    const std::vector<record::RunSecond>& seconds = load.run->seconds;
    FUZZ_CHECK(!seconds.empty());
    FUZZ_CHECK(qint64(seconds.size()) <= record::kLongestReferenceSeconds);
    FUZZ_CHECK(std::any_of(seconds.cbegin(), seconds.cend(),
                           [](const record::RunSecond& second) { return second.has_value(); }));
    // Written back as the journal writes a run, it reads as the same seconds.
    record::RunRecord again;
    again.beginRun({});
    for (const record::RunSecond& second : seconds) {
        if (second)
            again.append(second->top, second->bottom);
        else
            again.appendGap();
    }
    const record::ReferenceLoad reread = record::parseReferenceRun(record::csvText(again));
    FUZZ_CHECK(reread.run && reread.run->seconds == seconds);
    return 0;
}
