// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: any byte stream taken as telemetry frames, the receive queue fed that
// stream in fuzzed pieces, and outgoing frames built from arbitrary values, with the
// invariants each must keep.
#include "link/ReceiveQueue.h"
#include "link/StationFrame.h"

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace station;

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// The station's bytes arrive in frames of 50; a short tail reads as zeros beyond
// what came.
StationFrame frameFrom(const std::uint8_t* data, std::size_t size) {
    StationFrame frame{};
    std::memcpy(frame.data(), data, size < kFrameSize ? size : kFrameSize);
    return frame;
}

void checkTelemetry(const StationFrame& frame) {
    const Telemetry telemetry = decodeTelemetry(frame);
    require(telemetry.command == frame[2], "command is the byte at 2");
    require(telemetry.top == frame[10], "top is the byte at 10");
    require(telemetry.bottom == frame[26], "bottom is the byte at 26");
    require(telemetry.top >= 0 && telemetry.top <= 255, "top within 0..255");
    require(telemetry.bottom >= 0 && telemetry.bottom <= 255, "bottom within 0..255");
}

std::uint8_t lowByte(std::int32_t value) {
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value));
}

// Builds both outgoing kinds from values taken out of the frame's own bytes.
void checkOutgoing(const StationFrame& source) {
    const std::uint8_t soldDesold = source[0];
    const std::uint8_t profileNumber = source[1];
    std::int32_t raw[6];
    std::memcpy(raw, source.data() + 2, sizeof raw);
    const ProfileValues values{raw[0], raw[1], raw[2], raw[3], raw[4], raw[5]};

    const StationFrame status = buildStatusFrame(soldDesold, profileNumber);
    require(status[0] == 0xFF && status[8] == 0x4B && status[34] == 0xFF && status[35] == 0x04 &&
                status[42] == 0x4B,
            "status frame markers");
    require(status[48] == 0xE1 && status[49] == 0x29, "status frame ends E1 29");
    require(status[1] == soldDesold && status[9] == profileNumber, "status frame variables");
    require(isStatusFrame(status) && !isProfileFrame(status), "status frame recognised");

    const StationFrame profile = buildProfileFrame(profileNumber, values);
    require(profile[0] == 0xFF && profile[1] == 0x04 && profile[2] == 0xE0 && profile[3] == 0xFF &&
                profile[34] == 0xFF && profile[35] == 0x04 && profile[37] == 0xFF &&
                profile[38] == 0x04 && profile[45] == 0x4B,
            "profile frame markers");
    require(profile[48] == 0xD0 && profile[49] == 0xAF, "profile frame ends D0 AF");
    require(profile[9] == profileNumber && profile[12] == lowByte(values.T1) &&
                profile[18] == lowByte(values.T3) && profile[20] == lowByte(values.S1) &&
                profile[22] == lowByte(values.T0) && profile[24] == lowByte(values.TB) &&
                profile[30] == lowByte(values.S3),
            "profile values as their low bytes");
    for (std::size_t offset : {13, 19, 21, 23, 25, 31})
        require(profile[offset] == 0, "the byte after a value is zero");
    require(isProfileFrame(profile) && !isStatusFrame(profile), "profile frame recognised");

    // Recognition of the input itself: a frame is of a kind exactly when rebuilding
    // it from its own variable bytes gives it back.
    require(isStatusFrame(source) == (source == buildStatusFrame(source[1], source[9])),
            "status recognition is exactly the constant bytes");
    const ProfileValues own{source[22], source[24], source[12], source[20], source[18], source[30]};
    require(isProfileFrame(source) == (source == buildProfileFrame(source[9], own)),
            "profile recognition is exactly the constant bytes");
}

// The receive queue's rule, written plainly: the stream is cut into answers at
// each silence; an answer that has ended gives its frames, oldest first, when its
// length is a whole number of frames, and nothing when it is not or grew past the
// largest answer; an answer still arriving gives nothing yet, whatever its length
// so far.
class AnswerModel {
public:
    void clear() { *this = AnswerModel(); }
    void silence() {
        if (m_open)
            endAnswer();
    }
    void append(const QByteArray& piece) {
        if (piece.isEmpty())
            return;
        m_open = true;
        m_answer += piece;
        m_tooLong = m_tooLong || m_answer.size() > ReceiveQueue::kMaxAnswerBytes;
    }
    QByteArray take() {
        const QByteArray frames = m_ready;
        m_ready.clear();
        return frames;
    }
    qsizetype pending() const { return m_ready.size() + (m_tooLong ? 0 : m_answer.size()); }

private:
    static constexpr auto kFrameBytes = static_cast<qsizetype>(kFrameSize);
    void endAnswer() {
        if (!m_tooLong && m_answer.size() % kFrameBytes == 0)
            m_ready += m_answer;
        m_answer.clear();
        m_open = false;
        m_tooLong = false;
    }
    QByteArray m_ready;
    QByteArray m_answer;
    bool m_open = false;
    bool m_tooLong = false;
};

// The input drives the receive queue: a control byte, then the piece it announces.
// Control byte: 0xFF empties the queue (a reopened port); otherwise bit 6 lets the
// line fall silent before the piece, the low 6 bits are the piece's length and the
// top bit asks for a read after it (a read after a silence: the silence bit and
// an empty piece). Each read must hand out exactly the frames of
// the rule above, and a read never hands out anything but whole 50-byte slices of
// the stream; with no new whole frame it hands out none (never zeros, never an
// old frame again).
void checkReceiveQueue(const std::uint8_t* data, std::size_t size) {
    constexpr std::uint8_t kClear = 0xFF;
    constexpr std::uint8_t kReadAfter = 0x80;
    constexpr std::uint8_t kSilenceBefore = 0x40;
    constexpr std::uint8_t kLengthBits = 0x3F;

    ReceiveQueue queue;
    AnswerModel model;
    ReceiveQueue::Time now{0};
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t control = data[at++];
        if (control == kClear) {
            queue.clear();
            model.clear();
            continue;
        }
        const std::size_t length = std::min<std::size_t>(control & kLengthBits, size - at);
        // A silence is the shortest gap that ends an answer; a piece without one
        // comes after the longest pause inside an answer.
        if ((control & kSilenceBefore) != 0) {
            now += ReceiveQueue::kQuietGap;
            model.silence();
        } else if (length > 0) {
            now += ReceiveQueue::kQuietGap - ReceiveQueue::Time(1);
        }
        const QByteArray piece(reinterpret_cast<const char*>(data + at), qsizetype(length));
        at += length;
        queue.append(piece, now);
        model.append(piece);
        if ((control & kReadAfter) == 0)
            continue;

        QByteArray taken;
        for (const StationFrame& frame : queue.takeFrames(now)) {
            checkTelemetry(frame);
            taken.append(reinterpret_cast<const char*>(frame.data()), qsizetype(kFrameSize));
        }
        require(taken == model.take(),
                "a read gives every whole frame of the answers since the last read, oldest first");
        require(queue.pendingBytes() == model.pending(), "only unfinished answers stay queued");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (std::size_t offset = 0; offset < size; offset += kFrameSize) {
        const StationFrame frame = frameFrom(data + offset, size - offset);
        checkTelemetry(frame);
        checkOutgoing(frame);
    }
    checkReceiveQueue(data, size);
    return 0;
}
