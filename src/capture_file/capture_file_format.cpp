// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture_file/capture_file_format.h"

#include "capture_file/safe_save.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace wavemill::capture_file {

namespace {

/// Opens \a path for reading only if it is a regular file (a symbolic link to
/// one will do). A FIFO or a device could block the window or never end, so
/// on Unix the check is made on the opened descriptor, which was opened
/// without waiting for a writer: the name cannot change between check and read.
bool openRegularFile(const QString &path, QFile &file)
{
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly);
#endif
}

} // namespace

QByteArray toImage(const TraceBuffers &traces)
{
    QByteArray image;
    image.reserve(kFileSize);
    for (const TraceBuffer &buffer : traces.buffers)
        image.append(reinterpret_cast<const char *>(buffer.data()), kTraceBufferSize);
    return image;
}

bool fromImage(const QByteArray &image, TraceBuffers &traces)
{
    if (image.size() < kFileSize)
        return false;
        // GCC 12 does not see that the size check rules out Qt's shared empty
        // array, and warns of reading past it.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#endif
    for (int channel = 1; channel <= kTraceCount; ++channel) {
        const auto *from =
            reinterpret_cast<const std::uint8_t *>(image.constData() + traceOffset(channel));
        std::copy_n(from, kTraceBufferSize, traces.trace(channel)->begin());
    }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    return true;
}

bool readCaptureFile(const QString &path, TraceBuffers &traces)
{
    if (path.isEmpty())
        return false;
    QFile file;
    if (!openRegularFile(path, file))
        return false;
    // The whole image first, so that a short or failing file changes nothing.
    const QByteArray image = file.read(kFileSize);
    if (file.error() != QFileDevice::NoError)
        return false;
    return fromImage(image, traces);
}

bool writeCaptureFile(const QString &path, const TraceBuffers &traces)
{
    // In a folder where no temporary file can be made, an existing file the
    // user may write is written in place; the save is then not atomic.
    SafeSave file(path, SafeSave::Fallback::InPlace);
    return file.open() && file.write(toImage(traces)) && file.commit();
}

} // namespace wavemill::capture_file
