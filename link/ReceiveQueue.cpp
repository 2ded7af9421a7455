// The receive queue: newest whole frame out, older whole frames dropped, a short tail kept.
#include "link/ReceiveQueue.h"

#include <algorithm>

namespace station {

void ReceiveQueue::append(const QByteArray& bytes) {
    m_bytes.append(bytes);
}

StationFrame ReceiveQueue::takeNewestFrame() {
    constexpr auto frameSize = static_cast<qsizetype>(kFrameSize);
    StationFrame frame{};
    const qsizetype wholeFrames = m_bytes.size() / frameSize;
    if (wholeFrames == 0)
        return frame;
    const qsizetype newest = (wholeFrames - 1) * frameSize;
    std::copy_n(m_bytes.constBegin() + newest, frameSize, frame.begin());
    m_bytes.remove(0, wholeFrames * frameSize);
    return frame;
}

} // namespace station
