// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/trace_buffers.h"

#include <QByteArray>
#include <QString>

namespace wavemill::capture_file {

/// A capture file is the three trace buffers back to back, each with its
/// last element, and nothing else: 3 x 63,489 = 190,467 bytes.
constexpr qint64 kFileSize = qint64(kTraceCount) * kTraceBufferSize;
/// Where trace n's buffer starts in the file (trace 2 at 0xF801, trace 3 at 0x1F002).
constexpr qint64 traceOffset(int channel)
{
    return qint64(channel - 1) * kTraceBufferSize;
}

/// The file's image of the three buffers, exactly kFileSize bytes.
QByteArray toImage(const TraceBuffers &traces);
/// Fills the three buffers from the first kFileSize bytes of \a image.
/// Returns false, leaving \a traces as they were, when the image is shorter.
bool fromImage(const QByteArray &image, TraceBuffers &traces);

/// Reads a capture file whole, then replaces the three buffers at once.
/// Returns false, leaving \a traces as they were and creating nothing, when
/// the file is missing, not a regular file, unreadable or shorter than a
/// capture file. A longer file gives its first kFileSize bytes.
bool readCaptureFile(const QString &path, TraceBuffers &traces);
/// Writes a capture file beside the target and puts it in the target's place
/// only once every byte is written and flushed (SafeSave), so the result is
/// exactly kFileSize bytes, with the owner and mode the earlier file had.
/// Returns false, leaving any earlier file as it was, when the write fails or
/// the target exists but is not a regular file. In a folder where no file can
/// be made, an existing file the user may write is written in place instead.
bool writeCaptureFile(const QString &path, const TraceBuffers &traces);

} // namespace wavemill::capture_file
