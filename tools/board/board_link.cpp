// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "board/board_link.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace wavemill::board {

namespace {

/// How long one wait for room in the link lasts before looking again.
constexpr int kWriteWaitMs = 100;

void makeRaw(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return; // not a terminal (a plain file or a pipe): written as it is
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    tcsetattr(fd, TCSANOW, &t);
}

std::string lastError(const std::string &what)
{
    return what + ": " + std::generic_category().message(errno);
}

} // namespace

BoardLink::~BoardLink()
{
    close();
}

std::string BoardLink::openPseudoTerminal()
{
    close();
    m_fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0)
        return lastError("cannot open a pseudo-terminal");
    if (grantpt(m_fd) != 0 || unlockpt(m_fd) != 0) {
        std::string why = lastError("cannot unlock the pseudo-terminal");
        close();
        return why;
    }
    m_pseudoTerminal = true;
    char name[128];
    if (ptsname_r(m_fd, name, sizeof name) != 0) {
        std::string why = lastError("cannot name the pseudo-terminal");
        close();
        return why;
    }
    m_path = name;
    makeRaw(m_fd);
    // The master reports a hang-up only once a slave has been opened and
    // closed again; doing that once here makes "nobody has the port open"
    // visible from the start. The slave's raw mode stays for later openers.
    const int slave = ::open(m_path.c_str(), O_RDWR | O_NOCTTY);
    if (slave >= 0) {
        makeRaw(slave);
        ::close(slave);
    }
    return {};
}

std::string BoardLink::openDevice(const std::string &path)
{
    close();
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0)
        return lastError("cannot open " + path);
    m_path = path;
    makeRaw(m_fd);
    return {};
}

void BoardLink::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_pseudoTerminal = false;
}

bool BoardLink::readerPresent() const
{
    if (m_fd < 0)
        return false;
    if (!m_pseudoTerminal)
        return true;
    pollfd p{m_fd, POLLOUT, 0};
    ::poll(&p, 1, 0);
    return !(p.revents & POLLHUP);
}

bool BoardLink::writeAll(const std::uint8_t *data, std::size_t size,
                         const volatile std::sig_atomic_t *stop)
{
    while (size > 0) {
        if ((stop && *stop) || !readerPresent())
            return false;
        const ssize_t n = ::write(m_fd, data, size);
        if (n > 0) {
            data += n;
            size -= std::size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd p{m_fd, POLLOUT, 0};
        ::poll(&p, 1, kWriteWaitMs);
    }
    return true;
}

void BoardLink::discardUnread()
{
    if (m_fd >= 0)
        tcflush(m_fd, TCIOFLUSH);
}

} // namespace wavemill::board
