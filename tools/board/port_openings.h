// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>

namespace wavemill::board {

/// Who has a device file open, from the kernel's word at every open and
/// every close of it (inotify). A pseudo-terminal's master only shows
/// whether its slave is open at the moment it is looked at, so a close and
/// an open between two looks go unseen; here both are queued, however close
/// together they come.
class PortOpenings
{
public:
    PortOpenings() = default;
    ~PortOpenings();
    PortOpenings(const PortOpenings &) = delete;
    PortOpenings &operator=(const PortOpenings &) = delete;

    /// Starts watching \a path, which nobody may have open yet. Empty on
    /// success, else why not.
    std::string watch(const std::string &path);
    bool isWatching() const { return m_fd >= 0; }
    /// What poll() waits on for news.
    int fd() const { return m_fd; }

    /// Takes the news that has come, in order. Returns the closes that left
    /// the file open by nobody, for the caller to act on before the next
    /// opener reads; -1 when the kernel's queue overflowed and the count
    /// was lost (see resync()).
    int update();
    /// Sets the count after an overflow, from another look at the file, and
    /// counts an opening: something may have been opened in the lost news.
    void resync(bool open);

    /// Descriptions of the file open now (a process that opened it twice
    /// counts twice).
    int openers() const { return m_openers; }
    /// How often the file went from open by nobody to open: each is a new
    /// reader.
    std::uint64_t openings() const { return m_openings; }

private:
    int m_fd = -1;
    int m_openers = 0;
    std::uint64_t m_openings = 0;
};

} // namespace wavemill::board
