// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "board/board_link.h"

#include "command/printable_text.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace wavemill::board {

using command::printable;

namespace {

/// How long one wait for room in the link lasts before looking again.
constexpr int kWriteWaitMs = 100;
/// How often the master's hang-up is looked at when the openings cannot be
/// watched.
constexpr int kPresencePollMs = 20;

bool makeRaw(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    tcsetattr(fd, TCSANOW, &t);
    return true;
}

std::string lastError(const std::string &what)
{
    return what + ": " + std::generic_category().message(errno);
}

/// What a file that is no serial port is, for the one line that refuses it.
const char *kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return "a regular file";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISBLK(mode))
        return "a block device";
    return "a character device that is no terminal";
}

} // namespace

BoardLink::~BoardLink()
{
    close();
}

std::string BoardLink::openPseudoTerminal()
{
    close();
    m_fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
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
    // The slave's raw mode stays for later openers. The board keeps its own
    // slave open, before the watch so that it is not counted: only through
    // it can what a reader left unread be dropped (flushing the master does
    // not reach the slave's input). Without the watch it is closed again,
    // as the master reports a hang-up only once a slave has been opened and
    // closed: "nobody has the port open" is then visible from the start.
    m_slave = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slave >= 0)
        makeRaw(m_slave);
    m_watchFailure = m_openings.watch(m_path);
    if (!m_openings.isWatching() && m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
    return {};
}

std::string BoardLink::openDevice(const std::string &path)
{
    close();
    // Looked at before it is opened: opening some files does something
    // (a FIFO, a tape), and a regular file must never be written.
    struct stat status
    {
    };
    const std::string shown = printable(path);
    if (::stat(path.c_str(), &status) != 0)
        return lastError("cannot open " + shown);
    if (!S_ISCHR(status.st_mode))
        return shown + " is not a serial port but " + kindOf(status.st_mode);
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return lastError("cannot open " + shown);
    // The same file, and a terminal: /dev/null and /dev/zero are character
    // devices too.
    if (fstat(m_fd, &status) != 0 || !S_ISCHR(status.st_mode) || !makeRaw(m_fd)) {
        close();
        return shown + " is not a serial port but " + kindOf(status.st_mode);
    }
    m_path = path;
    return {};
}

void BoardLink::close()
{
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_pseudoTerminal = false;
}

bool BoardLink::hungUp() const
{
    pollfd p{m_fd, POLLOUT, 0};
    ::poll(&p, 1, 0);
    return (p.revents & POLLHUP) != 0;
}

void BoardLink::takeNews()
{
    if (!m_pseudoTerminal)
        return;
    if (!m_openings.isWatching()) {
        const bool present = !hungUp();
        if (present && !m_seenPresent)
            ++m_seenOpenings;
        m_seenPresent = present;
        return;
    }
    const int emptied = m_openings.update();
    if (emptied < 0)
        m_openings.resync(!hungUp());
    if (emptied != 0)
        discardUnread();
}

bool BoardLink::readerPresent()
{
    if (m_fd < 0)
        return false;
    if (!m_pseudoTerminal)
        return true;
    takeNews();
    return m_openings.isWatching() ? m_openings.openers() > 0 : m_seenPresent;
}

std::uint64_t BoardLink::openings()
{
    takeNews();
    return m_openings.isWatching() ? m_openings.openings() : m_seenOpenings;
}

void BoardLink::waitForNews(int ms)
{
    if (!m_pseudoTerminal || !m_openings.isWatching()) {
        const int wait = m_pseudoTerminal ? std::min(ms, kPresencePollMs) : ms;
        const timespec pause{wait / 1000, long(wait % 1000) * 1000000};
        nanosleep(&pause, nullptr); // a signal ends it early
        return;
    }
    pollfd p{m_openings.fd(), POLLIN, 0};
    ::poll(&p, 1, ms);
}

bool BoardLink::writeAll(const std::uint8_t *data, std::size_t size,
                         const volatile std::sig_atomic_t *stop)
{
    m_failure.clear();
    while (size > 0) {
        if ((stop && *stop) || readerChanged())
            return false;
        const ssize_t n = ::write(m_fd, data, size);
        if (n > 0) {
            data += n;
            size -= std::size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            // A pseudo-terminal's reader that left is no failure.
            if (!m_pseudoTerminal)
                m_failure = lastError("lost " + printable(m_path));
            return false;
        }
        // Room comes, or a reader opens or closes the port.
        pollfd p[2] = {{m_fd, POLLOUT, 0}, {m_openings.fd(), POLLIN, 0}};
        ::poll(p, m_openings.isWatching() ? 2 : 1, kWriteWaitMs);
    }
    return true;
}

void BoardLink::discardUnread()
{
    if (m_fd >= 0)
        tcflush(m_fd, TCIOFLUSH);
    if (m_slave >= 0)
        tcflush(m_slave, TCIFLUSH);
}

} // namespace wavemill::board
