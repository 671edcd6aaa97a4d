// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "board/port_openings.h"

#include <cerrno>
#include <cstring>
#include <system_error>
#include <sys/inotify.h>
#include <unistd.h>

namespace wavemill::board {

PortOpenings::~PortOpenings()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string PortOpenings::watch(const std::string &path)
{
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return std::generic_category().message(errno);
    if (inotify_add_watch(m_fd, path.c_str(), IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        std::string why = std::generic_category().message(errno);
        ::close(m_fd);
        m_fd = -1;
        return why;
    }
    return {};
}

int PortOpenings::update()
{
    if (m_fd < 0)
        return 0;
    int emptied = 0;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            return emptied; // EAGAIN: nothing more has come
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            inotify_event event{};
            std::memcpy(&event, buffer + at, sizeof event);
            at += ssize_t(sizeof event + event.len);
            if (event.mask & IN_Q_OVERFLOW)
                return -1;
            if (event.mask & IN_OPEN) {
                if (m_openers++ == 0)
                    ++m_openings;
            }
            if ((event.mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) && m_openers > 0) {
                if (--m_openers == 0)
                    ++emptied;
            }
        }
    }
}

void PortOpenings::resync(bool open)
{
    m_openers = open ? 1 : 0;
    ++m_openings;
}

} // namespace wavemill::board
