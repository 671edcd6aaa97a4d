// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/trace_buffers.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <memory>

#include <sys/stat.h>
#include <sys/types.h>

namespace wavemill::testing {

/// Three buffers in which every element differs from its neighbours and from
/// the same element of the other traces, last elements included.
inline std::unique_ptr<TraceBuffers> patternedTraces(int seed)
{
    auto traces = std::make_unique<TraceBuffers>();
    for (int channel = 1; channel <= kTraceCount; ++channel) {
        TraceBuffer &buffer = *traces->trace(channel);
        for (int i = 0; i < kTraceBufferSize; ++i)
            buffer[i] = std::uint8_t(i * 7 + i / 251 + channel * 85 + seed);
        buffer[kTraceBufferSize - 1] = std::uint8_t(0xA0 + channel + seed);
    }
    return traces;
}

inline bool sameTraces(const TraceBuffers &a, const TraceBuffers &b)
{
    return a.buffers == b.buffers;
}

/// Every entry of a folder with its type and size, to see that nothing was
/// created, removed or changed in it.
inline QStringList folderListing(const QString &path)
{
    QStringList listing;
    const QFileInfoList entries = QDir(path).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const QString kind = entry.isDir()    ? QStringLiteral("dir")
                             : entry.isFile() ? QStringLiteral("file")
                                              : QStringLiteral("other");
        listing.append(QStringLiteral("%1 %2 %3").arg(entry.fileName(), kind).arg(entry.size()));
    }
    return listing;
}

inline QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

inline bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

/// Whether this process can read a file whatever its mode says (root can).
inline bool canStillRead(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}

/// A name that must not load, made in \a folder; skipReason is set when this
/// process cannot make such a name bad (root reads a mode-000 file anyway).
struct BadFile
{
    QString path;
    QString skipReason;
};

/// The kinds of name a load must refuse.
inline const QStringList &badFileKinds()
{
    static const QStringList kinds = {
        QStringLiteral("missing file"),     QStringLiteral("empty name"),
        QStringLiteral("directory"),        QStringLiteral("FIFO"),
        QStringLiteral("character device"), QStringLiteral("unreadable file"),
        QStringLiteral("empty file"),       QStringLiteral("one byte short"),
        QStringLiteral("two traces only"),
    };
    return kinds;
}

inline BadFile makeBadFile(const QString &kind, const QString &folder, const QByteArray &image)
{
    const QString path = QDir(folder).filePath(QStringLiteral("capture.ird"));
    if (kind == QLatin1String("missing file"))
        return {path, {}};
    if (kind == QLatin1String("empty name"))
        return {QString(), {}};
    if (kind == QLatin1String("directory"))
        return {QDir(folder).mkdir(QStringLiteral("capture.ird")) ? path : QString(), {}};
    if (kind == QLatin1String("FIFO"))
        return {makeFifo(path) ? path : QString(), {}};
    if (kind == QLatin1String("character device"))
        return {QStringLiteral("/dev/zero"), {}}; // would give endless zeros
    if (kind == QLatin1String("unreadable file")) {
        writeFile(path, image);
        QFile::setPermissions(path, QFileDevice::Permissions());
        if (canStillRead(path))
            return {path, QStringLiteral("this user reads a mode-000 file anyway (root)")};
        return {path, {}};
    }
    if (kind == QLatin1String("empty file"))
        return {writeFile(path, {}) ? path : QString(), {}};
    if (kind == QLatin1String("one byte short"))
        return {writeFile(path, image.left(image.size() - 1)) ? path : QString(), {}};
    if (kind == QLatin1String("two traces only"))
        return {writeFile(path, image.left(2 * kTraceBufferSize)) ? path : QString(), {}};
    return {};
}

} // namespace wavemill::testing
