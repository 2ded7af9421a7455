// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the station answers: a connected link that has brought no frame for a few poll ticks.
#pragma once

namespace station {

// Counts the poll ticks in a row that brought no whole frame. A link starts
// "not yet answered" (nothing counted), and a few quiet ticks make it silent; the
// first whole frame makes it answering again. A read outside the poll (the
// profile transfer's) counts only when it brings a frame.
class LinkHealth {
public:
    static constexpr int kQuietTicksToSilent = 3;

    // A fresh link: at connect and at every close.
    void restart() { m_quietTicks = 0; }
    // A poll tick's read: whether it brought at least one whole frame.
    void pollRead(bool gotFrame);
    // Any other read that brought a whole frame.
    void frameArrived() { m_quietTicks = 0; }

    bool isSilent() const { return m_quietTicks >= kQuietTicksToSilent; }

private:
    int m_quietTicks = 0;
};

} // namespace station
