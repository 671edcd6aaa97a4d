// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

namespace wavemill::decode {

/// Thrown when the reader of the results has gone (a closed pipe, as with
/// "| head"): not an error to tell, only a reason to stop.
struct ReaderGone
{
};

/// Thrown when the results cannot be written (a full disk): the program
/// ends with this one line and status 1, whatever it was reading.
struct WriteFailed
{
    QString message;
};

/// wavemill-decode's results on a file descriptor (standard output),
/// written with write(2) so that every failure is seen where it happens: a
/// full disk or /dev/full throws WriteFailed, a closed pipe ReaderGone.
/// Holds at most kBufferBytes before writing them.
class ResultStream
{
public:
    explicit ResultStream(int fd);
    ~ResultStream();
    ResultStream(const ResultStream &) = delete;
    ResultStream &operator=(const ResultStream &) = delete;

    void write(const QByteArray &bytes);
    /// Writes out everything held.
    void flush();

    static constexpr qsizetype kBufferBytes = qsizetype(1) << 16;

private:
    void writeOut(const char *data, qsizetype size);

    int m_fd;
    QByteArray m_held;
};

} // namespace wavemill::decode
