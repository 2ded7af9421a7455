// SPDX-License-Identifier: GPL-3.0-or-later
// The console's end of the simulator's pseudo-terminal, for tests: plain POSIX reads and writes.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace simtest {

class SlaveEnd {
public:
    explicit SlaveEnd(const QString& path) {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        if (m_fd >= 0 && ::tcgetattr(m_fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~SlaveEnd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SlaveEnd(const SlaveEnd&) = delete;
    SlaveEnd& operator=(const SlaveEnd&) = delete;

    bool isOpen() const { return m_fd >= 0; }

    // The line's rate as the console would set it (speed_t: B1200, B19200, ...).
    bool setBaudRate(speed_t speed) {
        termios tio{};
        return ::tcgetattr(m_fd, &tio) == 0 && ::cfsetspeed(&tio, speed) == 0 &&
               ::tcsetattr(m_fd, TCSANOW, &tio) == 0;
    }

    bool write(const QByteArray& bytes) {
        return ::write(m_fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }

    // Everything received so far, including what is waiting now.
    const QByteArray& received() {
        pull();
        return m_received;
    }

    // Runs the event loop (the station may live in this thread) until at least
    // `count` bytes have arrived.
    bool waitForBytes(qsizetype count, int timeoutMs = 5000) {
        return QTest::qWaitFor([&] { return received().size() >= count; }, timeoutMs);
    }

    QByteArray take(qsizetype count) {
        pull();
        const QByteArray head = m_received.left(count);
        m_received.remove(0, head.size());
        return head;
    }

    void clear() {
        pull();
        m_received.clear();
    }

    // True once the master side is gone: the slave reports a hang-up or a read error.
    bool hungUp() {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 0) < 0)
            return false;
        if (p.revents & (POLLHUP | POLLERR))
            return true;
        char byte;
        return (p.revents & POLLIN) && ::read(m_fd, &byte, 1) < 0 && errno == EIO;
    }

private:
    void pull() {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0)
            m_received.append(buffer, n);
    }

    int m_fd = -1;
    QByteArray m_received;
};

} // namespace simtest
