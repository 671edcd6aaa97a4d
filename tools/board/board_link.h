// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

namespace wavemill::board {

/// The board's end of the serial link: the master side of a new
/// pseudo-terminal, whose slave device the program opens as its port, or a
/// serial device wired to the program's port.
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
    /// Opens a serial device at 115200,n,8,1, raw. Empty string on success.
    std::string openDevice(const std::string &path);
    /// Closes the link: a reader of a pseudo-terminal sees its device vanish.
    void close();

    /// The device path the program opens (the pseudo-terminal's slave).
    const std::string &path() const { return m_path; }
    bool isPseudoTerminal() const { return m_pseudoTerminal; }
    bool isOpen() const { return m_fd >= 0; }

    /// Whether a reader has the pseudo-terminal's slave open; always true
    /// for a device, whose other end cannot be seen.
    bool readerPresent() const;

    /// Writes every byte, waiting while the reader is behind. False when the
    /// reader closed the port, the link failed, or *stop became non-zero.
    bool writeAll(const std::uint8_t *data, std::size_t size,
                  const volatile std::sig_atomic_t *stop = nullptr);
    bool writeAll(const std::vector<std::uint8_t> &bytes)
    {
        return writeAll(bytes.data(), bytes.size());
    }

    /// Drops what the reader has not taken yet.
    void discardUnread();

private:
    int m_fd = -1;
    bool m_pseudoTerminal = false;
    std::string m_path;
};

} // namespace wavemill::board
