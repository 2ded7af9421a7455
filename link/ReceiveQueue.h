// The receive queue: the station's bytes kept across poll ticks until they make whole frames.
#pragma once

#include "link/StationFrame.h"

#include <QByteArray>

namespace station {

// Bytes arrive in whatever pieces the line delivers; the station sends whole
// 50-byte frames. Each read takes the newest whole frame and drops the older
// ones, so a station that answers in bursts never makes the readouts lag; an
// incomplete tail stays as the start of the next frame. Frame boundaries are
// counted from the last clear(), which the port does on every open and close.
class ReceiveQueue {
public:
    void append(const QByteArray& bytes);

    // The newest whole frame that arrived since the last take, or an all-zero
    // frame when none did: an old reading is never handed out as a new one.
    StationFrame takeNewestFrame();

    void clear() { m_bytes.clear(); }
    qsizetype pendingBytes() const { return m_bytes.size(); }

private:
    QByteArray m_bytes;
};

} // namespace station
