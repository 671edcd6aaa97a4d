#include "capture_file/capture_file_format.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace wavemill::capture_file {

QByteArray toImage(const TraceBuffers &traces)
{
    QByteArray image;
    image.reserve(kFileSize);
    for (const TraceBuffer &buffer : traces.buffers)
        image.append(reinterpret_cast<const char *>(buffer.data()), kTraceBufferSize);
    return image;
}

std::optional<TraceBuffers> fromImage(const QByteArray &image)
{
    if (image.size() < kFileSize)
        return std::nullopt;
    TraceBuffers traces;
    for (int channel = 1; channel <= kTraceCount; ++channel) {
        const char *from = image.constData() + traceOffset(channel);
        std::copy_n(reinterpret_cast<const std::uint8_t *>(from), kTraceBufferSize,
                    traces.trace(channel)->begin());
    }
    return traces;
}

std::optional<TraceBuffers> readCaptureFile(const QString &path)
{
    if (path.isEmpty())
        return std::nullopt;
    // Only a regular file: a FIFO or a device could block or never end.
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray image = file.read(kFileSize);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return fromImage(image);
}

bool writeCaptureFile(const QString &path, const TraceBuffers &traces)
{
    if (path.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray image = toImage(traces);
    if (file.write(image) != image.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace wavemill::capture_file
