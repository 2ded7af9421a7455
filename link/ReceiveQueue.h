// SPDX-License-Identifier: GPL-3.0-or-later
// The receive queue: the station's bytes kept across poll ticks and cut into whole frames.
#pragma once

#include "link/StationFrame.h"

#include <QByteArray>
#include <QList>

#include <chrono>

namespace station {

// The telemetry frame has no start byte, length or checksum to align on, so the
// queue aligns on what the line itself tells. The station answers each status
// frame with its frame(s) sent in one piece, and the line is quiet between
// answers (a poll a second; at 19200 baud a byte takes about 0.5 ms). So:
//
// - An answer is the bytes that arrive without a silence of kQuietGap between
//   them; frames are counted from the first byte after a silence. The gap is far
//   longer than the pauses inside one answer delivered in pieces (20 ms between
//   pieces at most, plus a loaded machine's delay in noticing them) and far
//   shorter than the quiet between two answers (most of a second).
// - An answer that has ended (a silence followed it) gives all its whole frames
//   when its length is a whole number of frames. Any other length means stray
//   bytes (noise, a station reset, a burst) are mixed into it: it is dropped
//   whole rather than guessed at, since no alignment inside it can be trusted
//   (its newest 50 bytes are the frame when the noise came first, but a shifted
//   one, a reading the station never sent, when the noise came after).
//   That costs at most the one reading it carried; the next answer, after the
//   next silence, is aligned again, with no reconnect.
// - An answer still arriving at a read (its last byte came less than kQuietGap
//   before) gives nothing yet, even when what came so far is a whole number of
//   frames: that may be a stray byte glued to the front of an answer and all
//   but its last byte. It is read at the first read after it has ended; the
//   poll reads once a second, so a station that answers at once is read one
//   tick later, its reading intact.
// - Bytes that came together without the console seeing when (the event loop was
//   held, as during a transfer's pause) count as one answer: with no silence
//   known between them, only their total length can vouch for the alignment.
//   They count as arriving when they were seen, so the read right after such a
//   hold (the transfer's) takes none of them; the next poll does.
// - Noise that happens to be a whole number of frames long reads as frames: with
//   nothing in the frame to check, no rule could tell it from an answer.
// - An answer longer than kMaxAnswerBytes is no answer the station sends: it is
//   dropped, and the rest of it too, up to the next silence.
class ReceiveQueue {
public:
    // Arrival times on a steady clock; only differences matter.
    using Time = std::chrono::milliseconds;
    static constexpr Time kQuietGap{200};
    static constexpr qsizetype kMaxAnswerBytes = 64 * 1024;

    void append(const QByteArray& bytes, Time arrivedAt);

    // Every whole frame of the answers that ended since the last take, oldest
    // first; none when no such frame came (an old reading is never handed out
    // again).
    QList<StationFrame> takeFrames(Time now);

    // Forgets everything; the port does it on every open and close.
    void clear();
    qsizetype pendingBytes() const { return m_ready.size() + m_answer.size(); }

private:
    void endAnswerIfQuiet(Time now);

    QByteArray m_ready;  // whole frames of answers that ended, not taken yet
    QByteArray m_answer; // the answer still arriving
    bool m_answerOpen = false;
    bool m_answerDropped = false; // overlong: its remaining bytes are dropped as they come
    Time m_lastArrival{};
};

} // namespace station
