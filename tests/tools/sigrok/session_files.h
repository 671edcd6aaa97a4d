// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Session files written for the tests with libzip, as sigrok writes them or
// as no one should: any entries, metadata and chunks.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <zip.h>

namespace wavemill::testing {

struct ZipEntry
{
    QByteArray name;
    QByteArray content;
    bool deflate = true;
};

/// Writes \a entries as a zip at \a path; false when libzip cannot.
inline bool writeZip(const QString &path, const QList<ZipEntry> &entries)
{
    QFile::remove(path);
    int error = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        return false;
    for (const ZipEntry &e : entries) {
        zip_source_t *source =
            zip_source_buffer(zip, e.content.constData(), zip_uint64_t(e.content.size()), 0);
        const zip_int64_t index = source ? zip_file_add(zip, e.name.constData(), source, 0) : -1;
        if (index < 0 || zip_set_file_compression(zip, zip_uint64_t(index),
                                                  e.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE,
                                                  0) != 0) {
            zip_source_free(source);
            zip_discard(zip);
            return false;
        }
    }
    return zip_close(zip) == 0;
}

/// A session file's metadata in sigrok's words, one device.
inline QByteArray sessionMetadata(const QByteArray &rate, int unitSize, const QByteArray &probes,
                                  int totalProbes = 8)
{
    return "[global]\nsigrok version=0.5.2\n\n[device 1]\ncapturefile=logic-1\ntotal probes=" +
           QByteArray::number(totalProbes) + "\nsamplerate=" + rate + "\n" + probes +
           "unitsize=" + QByteArray::number(unitSize) + "\n";
}

/// A version 2 session file of \a chunks "logic-1-1", "logic-1-2", ...
inline bool writeSession(const QString &path, const QByteArray &metadata,
                         const QList<QByteArray> &chunks)
{
    QList<ZipEntry> entries{{"version", "2", false}, {"metadata", metadata, true}};
    for (int i = 0; i < chunks.size(); ++i)
        entries.append({"logic-1-" + QByteArray::number(i + 1), chunks[i], true});
    return writeZip(path, entries);
}

} // namespace wavemill::testing
