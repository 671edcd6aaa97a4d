// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "decode/result_stream.h"

#include "capture_file/safe_save.h"

#include <cerrno>
#include <cstring>
#include <utility>
#include <unistd.h>

namespace wavemill::decode {

ResultStream::ResultStream(int fd) : m_fd(fd) {}

// What is still held at the end is written by the program's last flush();
// a destructor must not throw, and runs when a failure is already on its way.
ResultStream::~ResultStream() = default;

void ResultStream::write(const QByteArray &bytes)
{
    m_held += bytes;
    if (m_held.size() >= kBufferBytes)
        flush();
}

void ResultStream::flush()
{
    const QByteArray out = std::exchange(m_held, {});
    writeOut(out.constData(), out.size());
}

void ResultStream::writeOut(const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(m_fd, data, std::size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno == EPIPE)
            throw ReaderGone{};
        if (written <= 0)
            throw WriteFailed{QStringLiteral("cannot write the results: %1")
                                  .arg(capture_file::SafeSave::systemErrorText(
                                      written < 0 ? errno : EIO))};
        data += written;
        size -= written;
    }
}

} // namespace wavemill::decode
