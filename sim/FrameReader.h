// SPDX-License-Identifier: GPL-3.0-or-later
// Cuts the byte stream from the console into status frames, profile frames and runs of bad bytes.
#pragma once

#include <QByteArray>
#include <QList>

namespace sim {

enum class ReadKind { Status, Profile, Bad };

struct ReadPiece {
    ReadKind kind = ReadKind::Bad;
    QByteArray bytes; // 50 for a frame; 1..50 for bad bytes
};

// A frame is recognised by the constant bytes of its kind. Bytes that cannot
// begin either kind are skipped one at a time until a frame lines up again;
// bytes that may still become a frame wait for the rest.
class FrameReader {
public:
    // Longest run of skipped bytes reported as one piece.
    static constexpr qsizetype kMaxBadPiece = 50;

    // Takes the bytes that arrived; returns what they completed, in stream order.
    QList<ReadPiece> feed(const QByteArray& bytes);

    qsizetype pendingBytes() const { return m_buffer.size(); }

    // Whether `prefix` agrees with the start of a status or a profile frame.
    static bool couldStartFrame(const QByteArray& prefix);

private:
    QByteArray m_buffer;
};

} // namespace sim
