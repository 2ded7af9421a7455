// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

QString systemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

int baudFromSpeed(speed_t speed) {
    switch (speed) {
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B4800:
        return 4800;
    case B2400:
        return 2400;
    case B1200:
        return 1200;
    default:
        return -1;
    }
}

#ifdef __linux__
// The kernel's termios2, which carries any speed as a number (a speed without a
// B-constant, such as 14400, is set this way); glibc's termios.h cannot be
// included together with the kernel's header that declares it.
struct KernelTermios2 {
    tcflag_t c_iflag;
    tcflag_t c_oflag;
    tcflag_t c_cflag;
    tcflag_t c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed;
    speed_t c_ospeed;
};
constexpr unsigned long kGetTermios2 = _IOR('T', 0x2A, KernelTermios2);
constexpr tcflag_t kSpeedAsNumber = 0010000; // BOTHER
#endif

} // namespace

PseudoTerminal::PseudoTerminal() {
    // Close-on-exec, so a child process (a console under test) never holds our end
    // and a hang-up really reaches the other side.
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0) {
        m_error = systemError("posix_openpt");
        return;
    }
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        m_error = systemError("grantpt/unlockpt");
        close();
        return;
    }
    char name[128] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0) {
        m_error = systemError("ptsname");
        close();
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);

    // Raw mode on both ends: every byte passes untouched, nothing is echoed.
    m_slaveKeeper = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slaveKeeper < 0) {
        m_error = systemError("open slave");
        close();
        return;
    }
    termios tio{};
    if (::tcgetattr(m_slaveKeeper, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_slaveKeeper, TCSANOW, &tio);
    }
    termios mtio{};
    if (::tcgetattr(m_master, &mtio) == 0) {
        ::cfmakeraw(&mtio);
        ::tcsetattr(m_master, TCSANOW, &mtio);
    }
}

PseudoTerminal::~PseudoTerminal() {
    close();
}

void PseudoTerminal::close() {
    if (m_slaveKeeper >= 0) {
        ::close(m_slaveKeeper);
        m_slaveKeeper = -1;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

int PseudoTerminal::slaveBaudRate() const {
    if (m_slaveKeeper < 0)
        return -1;
#ifdef __linux__
    KernelTermios2 exact{};
    if (::ioctl(m_slaveKeeper, kGetTermios2, &exact) == 0 &&
        (exact.c_cflag & CBAUD) == kSpeedAsNumber)
        return int(exact.c_ospeed);
#endif
    termios tio{};
    if (::tcgetattr(m_slaveKeeper, &tio) != 0)
        return -1;
    return baudFromSpeed(::cfgetospeed(&tio));
}

} // namespace sim
