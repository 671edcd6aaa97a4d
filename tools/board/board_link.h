// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "board/port_openings.h"

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

namespace wavemill::board {

/// The board's end of the serial link: the master side of a new
/// pseudo-terminal, whose slave device the program opens as its port, or a
/// serial device wired to the program's port.
///
/// On a pseudo-terminal every opening of the port is a new reader, as
/// opening a real board's port resets it: serve() marks the opening being
/// served, and a write stops as soon as that reader has closed the port,
/// even when it (or another) has opened it again at once.
class BoardLink
{
public:
    BoardLink() = default;
    ~BoardLink();
    BoardLink(const BoardLink &) = delete;
    BoardLink &operator=(const BoardLink &) = delete;

    /// Opens a new pseudo-terminal in raw mode. Returns an empty string on
    /// success, else why it failed.
    std::string openPseudoTerminal();
    /// Opens a serial device at 115200,n,8,1, raw. Anything but a terminal
    /// device (a regular file, a FIFO, /dev/null) is refused before a byte
    /// is written. Empty string on success.
    std::string openDevice(const std::string &path);
    /// Closes the link: a reader of a pseudo-terminal sees its device vanish.
    void close();

    /// The device path the program opens (the pseudo-terminal's slave).
    const std::string &path() const { return m_path; }
    bool isPseudoTerminal() const { return m_pseudoTerminal; }
    bool isOpen() const { return m_fd >= 0; }
    /// Why, when a pseudo-terminal's openings cannot be watched: then an
    /// opening within one look of a close (some 20 ms) may go unseen.
    const std::string &watchFailure() const { return m_watchFailure; }

    /// Whether a reader has the pseudo-terminal's slave open; always true
    /// for a device, whose other end cannot be seen.
    bool readerPresent();
    /// How often the port has gone from closed to open so far.
    std::uint64_t openings();
    /// Takes the opening now as the one the next writes are for.
    void serve() { m_served = openings(); }
    /// Whether the reader served has gone, or a new one come since serve().
    bool readerChanged() { return !readerPresent() || openings() != m_served; }
    /// Waits up to \a ms for a reader to open or close the port (or for a
    /// signal); returns early on either.
    void waitForNews(int ms);

    /// Writes every byte, waiting while the reader is behind. False when the
    /// reader served closed the port or another opened it, the link failed
    /// (failure() says why), or *stop became non-zero.
    bool writeAll(const std::uint8_t *data, std::size_t size,
                  const volatile std::sig_atomic_t *stop = nullptr);
    bool writeAll(const std::vector<std::uint8_t> &bytes)
    {
        return writeAll(bytes.data(), bytes.size());
    }
    /// Why the last write failed; empty when the reader went or a stop came.
    const std::string &failure() const { return m_failure; }

    /// Drops what the reader has not taken yet.
    void discardUnread();

private:
    /// Takes the openings' news; a reader that left has its unread bytes
    /// dropped at once, before a new one can read them.
    void takeNews();
    /// The master's hang-up: nobody has the slave open.
    bool hungUp() const;

    int m_fd = -1;
    int m_slave = -1; // the board's own end of the slave, while openings are watched
    bool m_pseudoTerminal = false;
    std::string m_path;
    PortOpenings m_openings;
    std::string m_watchFailure;
    // Without a watch: the openings seen by looking at the hang-up.
    std::uint64_t m_seenOpenings = 0;
    bool m_seenPresent = false;
    std::uint64_t m_served = 0;
    std::string m_failure;
};

} // namespace wavemill::board
