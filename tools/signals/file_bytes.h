// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/signals.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace wavemill::signals {

/// A file's bytes as they are, read a piece at a time as they stream, so that
/// a file of any size costs the same memory; with repeat they start over at
/// the end, otherwise the signal ends there. Only a regular file: a FIFO or a
/// device can neither start over nor be known to end.
class FileBytes : public Signal
{
public:
    /// Opens \a path; nullptr, with \a why set, when it is no regular file or
    /// cannot be read.
    static std::unique_ptr<FileBytes> open(const std::string &path, bool repeat, std::string &why);
    ~FileBytes() override;
    FileBytes(const FileBytes &) = delete;
    FileBytes &operator=(const FileBytes &) = delete;

    bool nextByte(std::uint8_t &byte) override;
    void rewind() override;
    std::string failure() const override { return m_failure; }

private:
    FileBytes(int fd, bool repeat);
    /// Reads the next piece; false at the end, or on a failure.
    bool refill();

    int m_fd;
    bool m_repeat;
    std::vector<std::uint8_t> m_piece;
    std::size_t m_size = 0; // bytes of m_piece read in
    std::size_t m_next = 0;
    std::uint64_t m_sinceStart = 0; // bytes read since the file's start
    std::string m_failure;
};

} // namespace wavemill::signals
