// SPDX-License-Identifier: GPL-3.0-or-later
// A pseudo-terminal pair in raw mode: the simulator holds the master, the console opens the slave.
#pragma once

#include <QString>

namespace sim {

class PseudoTerminal {
public:
    PseudoTerminal(); // opens the pair; isOpen() tells whether it worked
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool isOpen() const { return m_master >= 0; }
    int masterFd() const { return m_master; }
    const QString& slavePath() const { return m_slavePath; }
    const QString& error() const { return m_error; }

    // Closes the master side, as an unplugged adapter would: the slave's reader
    // sees a hang-up.
    void close();

    // Line speed the slave side was last set to (what the console configured).
    int slaveBaudRate() const;

private:
    int m_master = -1;
    // Keeps the slave open: early writes are not lost, and the master never sees a
    // hang-up when the console closes its end, so it can reconnect.
    int m_slaveKeeper = -1;
    QString m_slavePath;
    QString m_error;
};

} // namespace sim
