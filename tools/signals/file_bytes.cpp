// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/file_bytes.h"

#include <cerrno>
#include <system_error>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wavemill::signals {

namespace {

/// Read at one go: small beside any memory, large beside a system call.
constexpr std::size_t kPieceBytes = std::size_t(64) * 1024;

std::string lastError()
{
    return std::generic_category().message(errno);
}

} // namespace

std::unique_ptr<FileBytes> FileBytes::open(const std::string &path, bool repeat, std::string &why)
{
    // Not blocking: opening a FIFO would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        why = lastError();
        return nullptr;
    }
    struct stat status
    {
    };
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        why = S_ISDIR(status.st_mode) ? "a folder, not a file" : "not a regular file";
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileBytes>(new FileBytes(fd, repeat));
}

FileBytes::FileBytes(int fd, bool repeat) : m_fd(fd), m_repeat(repeat), m_piece(kPieceBytes) {}

FileBytes::~FileBytes()
{
    ::close(m_fd);
}

void FileBytes::rewind()
{
    m_size = m_next = 0;
    m_sinceStart = 0;
    if (m_failure.empty() && ::lseek(m_fd, 0, SEEK_SET) < 0)
        m_failure = lastError();
}

bool FileBytes::refill()
{
    while (m_failure.empty()) {
        const ssize_t n = ::read(m_fd, m_piece.data(), m_piece.size());
        if (n > 0) {
            m_size = std::size_t(n);
            m_next = 0;
            m_sinceStart += std::uint64_t(n);
            return true;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            m_failure = lastError();
            return false;
        }
        // The end: again from the start, unless there was nothing to repeat.
        if (!m_repeat || m_sinceStart == 0)
            return false;
        rewind();
    }
    return false;
}

bool FileBytes::nextByte(std::uint8_t &byte)
{
    if (m_next == m_size && !refill())
        return false;
    byte = m_piece[m_next++];
    return true;
}

} // namespace wavemill::signals
