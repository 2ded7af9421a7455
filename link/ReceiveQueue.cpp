// SPDX-License-Identifier: GPL-3.0-or-later
// The receive queue: answers told apart by the line's silences, whole frames out, damaged answers
// dropped.
#include "link/ReceiveQueue.h"

#include <algorithm>

namespace station {

namespace {

constexpr auto kFrameBytes = static_cast<qsizetype>(kFrameSize);

bool isWholeFrames(const QByteArray& bytes) {
    return bytes.size() % kFrameBytes == 0;
}

} // namespace

void ReceiveQueue::append(const QByteArray& bytes, Time arrivedAt) {
    if (bytes.isEmpty())
        return;
    endAnswerIfQuiet(arrivedAt);
    m_answerOpen = true;
    m_lastArrival = arrivedAt;
    if (m_answerDropped)
        return;
    m_answer.append(bytes);
    if (m_answer.size() > kMaxAnswerBytes) {
        m_answer.clear();
        m_answerDropped = true;
    }
}

void ReceiveQueue::endAnswerIfQuiet(Time now) {
    if (!m_answerOpen || now - m_lastArrival < kQuietGap)
        return;
    if (!m_answerDropped && isWholeFrames(m_answer))
        m_ready.append(m_answer);
    // A console that stops taking frames keeps only the newest of them.
    constexpr qsizetype keep = kMaxAnswerBytes / kFrameBytes * kFrameBytes;
    if (m_ready.size() > keep)
        m_ready.remove(0, m_ready.size() - keep);
    m_answer.clear();
    m_answerOpen = false;
    m_answerDropped = false;
}

QList<StationFrame> ReceiveQueue::takeFrames(Time now) {
    endAnswerIfQuiet(now);
    QList<StationFrame> frames;
    frames.reserve(m_ready.size() / kFrameBytes);
    for (qsizetype at = 0; at + kFrameBytes <= m_ready.size(); at += kFrameBytes) {
        StationFrame frame{};
        std::copy_n(m_ready.constBegin() + at, kFrameBytes, frame.begin());
        frames.append(frame);
    }
    m_ready.clear();
    return frames;
}

void ReceiveQueue::clear() {
    m_ready.clear();
    m_answer.clear();
    m_answerOpen = false;
    m_answerDropped = false;
    m_lastArrival = {};
}

} // namespace station
