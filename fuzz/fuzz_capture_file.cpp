// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The capture-file loader over any bytes of any length. Each input is loaded
// as an image (fromImage) and, for one input in four, as a file on disk
// (readCaptureFile). Aborts unless a load either replaces all three buffers
// with exactly the first 190,467 bytes, or fails and changes no byte; and
// unless it succeeds exactly when there are at least that many bytes.

#include "capture_file/capture_file_format.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstring>

namespace {

using wavemill::TraceBuffers;
using wavemill::capture_file::kFileSize;
using wavemill::capture_file::traceOffset;

/// Buffers whose every byte is known before a load, a different value in
/// each and between inputs, so that a load that leaves them alone cannot
/// pass by matching the file.
void fillBefore(TraceBuffers &traces, std::uint8_t seed)
{
    for (int channel = 1; channel <= wavemill::kTraceCount; ++channel) {
        auto &buffer = *traces.trace(channel);
        std::memset(buffer.data(), seed + channel * 85, buffer.size());
        buffer.back() = std::uint8_t(~seed); // the element a capture never writes
    }
}

/// The all-or-nothing rule, byte for byte.
void checkLoad(bool loaded, const TraceBuffers &before, const TraceBuffers &after,
               const std::uint8_t *data, std::size_t size)
{
    if (loaded != (qint64(size) >= kFileSize))
        __builtin_trap();
    for (int channel = 1; channel <= wavemill::kTraceCount; ++channel) {
        const auto &now = *after.trace(channel);
        const std::uint8_t *expected =
            loaded ? data + traceOffset(channel) : before.trace(channel)->data();
        if (std::memcmp(now.data(), expected, now.size()) != 0)
            __builtin_trap();
    }
}

QString scratchFile()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/fuzz_capture_file-XXXXXX"));
    if (!dir.isValid())
        __builtin_trap();
    return dir.filePath(QStringLiteral("input.ird"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static TraceBuffers before;
    static TraceBuffers traces;
    const std::uint8_t seed = size ? data[size / 2] : 0;
    fillBefore(before, seed);

    const QByteArray image(reinterpret_cast<const char *>(data), qsizetype(size));
    traces = before;
    checkLoad(wavemill::capture_file::fromImage(image, traces), before, traces, data, size);

    if ((seed & 3) == 0) {
        const QString path = scratchFile();
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(image) != image.size())
            __builtin_trap();
        file.close();
        traces = before;
        checkLoad(wavemill::capture_file::readCaptureFile(path, traces), before, traces, data,
                  size);
    }
    return 0;
}
