#pragma once

#include "app/trace_buffers.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace wavemill::capture_file {

/// A capture file is the three trace buffers back to back, each with its
/// last element, and nothing else: 3 x 63,489 = 190,467 bytes.
constexpr qint64 kFileSize = qint64(kTraceCount) * kTraceBufferSize;
/// Where trace n's buffer starts in the file.
constexpr qint64 traceOffset(int channel)
{
    return qint64(channel - 1) * kTraceBufferSize;
}

/// The file's image of the three buffers.
QByteArray toImage(const TraceBuffers &traces);
/// Three buffers from the first 190,467 bytes of an image; nullopt when it is shorter.
std::optional<TraceBuffers> fromImage(const QByteArray &image);

/// Reads a capture file whole. nullopt when it is missing, not a regular
/// file, unreadable or shorter than a capture file; a longer file gives its
/// first 190,467 bytes.
std::optional<TraceBuffers> readCaptureFile(const QString &path);
/// Writes a capture file so that the target is replaced only once every byte
/// is written and flushed; false leaves any earlier file as it was.
bool writeCaptureFile(const QString &path, const TraceBuffers &traces);

} // namespace wavemill::capture_file
