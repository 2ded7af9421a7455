// SPDX-License-Identifier: GPL-3.0-or-later
// Cuts the byte stream from the console into frames and bad bytes.
#include "sim/FrameReader.h"

#include "link/StationFrame.h"
#include "sim/StationFrames.h"

#include <algorithm>

namespace sim {

namespace {

// Lays `prefix` over a complete frame of one kind; the bytes past the prefix
// come from the template, so the result is a frame of that kind exactly when
// the prefix agrees with the kind's constant bytes.
bool prefixFits(const QByteArray& prefix, station::StationFrame frame,
                bool (*isKind)(const station::StationFrame&)) {
    const auto count = std::min<qsizetype>(prefix.size(), station::kFrameSize);
    std::copy_n(reinterpret_cast<const std::uint8_t*>(prefix.constData()), count, frame.begin());
    return isKind(frame);
}

void appendBad(QList<ReadPiece>& out, QByteArray& bad) {
    for (qsizetype at = 0; at < bad.size(); at += FrameReader::kMaxBadPiece)
        out.append({ReadKind::Bad, bad.mid(at, FrameReader::kMaxBadPiece)});
    bad.clear();
}

} // namespace

bool FrameReader::couldStartFrame(const QByteArray& prefix) {
    return prefixFits(prefix, station::buildStatusFrame(0, 0), &station::isStatusFrame) ||
           prefixFits(prefix, station::buildProfileFrame(0, {}), &station::isProfileFrame);
}

QList<ReadPiece> FrameReader::feed(const QByteArray& bytes) {
    m_buffer.append(bytes);
    QList<ReadPiece> out;
    QByteArray bad;
    qsizetype pos = 0;
    const auto frameSize = static_cast<qsizetype>(station::kFrameSize);
    while (pos < m_buffer.size()) {
        const QByteArray rest =
            QByteArray::fromRawData(m_buffer.constData() + pos, m_buffer.size() - pos);
        if (rest.size() >= frameSize) {
            const station::StationFrame frame = toFrame(rest);
            const bool status = station::isStatusFrame(frame);
            if (status || station::isProfileFrame(frame)) {
                appendBad(out, bad);
                out.append(
                    {status ? ReadKind::Status : ReadKind::Profile, m_buffer.mid(pos, frameSize)});
                pos += frameSize;
                continue;
            }
        } else if (couldStartFrame(rest)) {
            break; // the rest of this frame is still on its way
        }
        bad.append(m_buffer.at(pos));
        ++pos;
    }
    appendBad(out, bad);
    m_buffer.remove(0, pos);
    return out;
}

} // namespace sim
