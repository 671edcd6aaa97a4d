// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "sigrok/session_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace wavemill::sigrok {

namespace {

/// Deflate makes at most 1032 bytes of one: a 258-byte match in two bits.
/// Chunks that say they hold more than that of the whole file are a zip
/// bomb (entries sharing their compressed data, or sizes that lie).
constexpr std::uint64_t kMaxExpansion = 1032;
/// The most a version or metadata entry may hold: sigrok's are a few hundred bytes.
constexpr zip_uint64_t kMaxHeaderBytes = 1 << 16;
/// Chunk numbers beyond this many digits are not sigrok's.
constexpr int kMaxChunkDigits = 9;

struct Chunk
{
    zip_uint64_t index = 0;
    QByteArray name;
    std::uint64_t size = 0;
};

QString zipText(zip_error_t *error)
{
    return QString::fromUtf8(zip_error_strerror(error));
}

/// Entry \a name whole; false with \a why when it is missing, too long or unreadable.
bool readEntry(zip_t *zip, const char *name, QByteArray *content, QString *why)
{
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat(zip, name, 0, &stat) != 0) {
        *why = QStringLiteral("not a sigrok session file (no '%1' in it)").arg(QLatin1String(name));
        return false;
    }
    if (!(stat.valid & ZIP_STAT_SIZE) || stat.size > kMaxHeaderBytes) {
        *why = QStringLiteral("not a sigrok session file (its '%1' is %2 bytes)")
                   .arg(QLatin1String(name))
                   .arg(qulonglong(stat.size));
        return false;
    }
    zip_file_t *file = zip_fopen(zip, name, 0);
    if (!file) {
        *why = QStringLiteral("cannot read its '%1': %2")
                   .arg(QLatin1String(name), zipText(zip_get_error(zip)));
        return false;
    }
    content->resize(qsizetype(stat.size));
    const zip_int64_t got = zip_fread(file, content->data(), stat.size);
    const QString error = QString::fromUtf8(zip_file_strerror(file));
    zip_fclose(file);
    if (got != zip_int64_t(stat.size)) {
        *why = QStringLiteral("cannot read its '%1': %2").arg(QLatin1String(name), error);
        return false;
    }
    return true;
}

QString chunkText(const Chunk &chunk)
{
    return QString::fromUtf8(chunk.name);
}

struct FileCloser
{
    void operator()(zip_file_t *file) const { zip_fclose(file); }
};
/// An entry open for reading, closed however the reading ends (a sink may throw).
using OpenEntry = std::unique_ptr<zip_file_t, FileCloser>;

} // namespace

struct SessionReader::Archive
{
    zip_t *zip = nullptr;
    std::vector<Chunk> chunks;
    ~Archive()
    {
        if (zip)
            zip_discard(zip);
    }
};

SessionReader::SessionReader() = default;
SessionReader::~SessionReader() = default;

bool SessionReader::open(const QString &path, QString *why)
{
    m_archive.reset();
    const QFileInfo info(path);
    if (!info.exists()) {
        *why = QStringLiteral("no such file");
        return false;
    }
    // A FIFO or device is never opened: it could block, or never end.
    if (!info.isFile()) {
        *why = QStringLiteral("not a regular file");
        return false;
    }
    if (info.size() == 0) {
        *why = QStringLiteral("an empty file, not a sigrok session file");
        return false;
    }
    auto archive = std::make_unique<Archive>();
    int code = 0;
    archive->zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    const int systemError = errno;
    if (!archive->zip && code == ZIP_ER_OPEN) {
        *why = QStringLiteral("cannot read: %1").arg(qt_error_string(systemError));
        return false;
    }
    if (!archive->zip) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const QString text = zipText(&error);
        zip_error_fini(&error);
        *why = code == ZIP_ER_READ ? QStringLiteral("cannot read: %1").arg(text)
                                   : QStringLiteral("not a sigrok session file (%1)").arg(text);
        return false;
    }

    QByteArray version;
    QByteArray meta;
    if (!readEntry(archive->zip, "version", &version, why) ||
        !readEntry(archive->zip, "metadata", &meta, why))
        return false;
    version = version.trimmed();
    if (version != "1" && version != "2") {
        *why = QStringLiteral("a session file of format version '%1'; this program reads 1 and 2")
                   .arg(QString::fromUtf8(version.left(16)));
        return false;
    }
    m_version = version.toInt();
    if (!parseSessionMetadata(meta, &m_metadata, why))
        return false;

    // Its samples: "logic-1" whole (version 1), or "logic-1-1", "logic-1-2" ...
    const QByteArray whole = m_metadata.captureFile;
    const QByteArray prefix = whole + '-';
    std::vector<Chunk> chunks;
    QMap<qint64, zip_uint64_t> numbered;
    const zip_int64_t entries = zip_get_num_entries(archive->zip, 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        const char *entry = zip_get_name(archive->zip, zip_uint64_t(i), 0);
        if (!entry)
            continue;
        const QByteArray name(entry);
        if (name == whole) {
            chunks.push_back({zip_uint64_t(i), name, 0});
            continue;
        }
        const QByteArray number = name.mid(prefix.size());
        if (!name.startsWith(prefix) || number.isEmpty() || number.size() > kMaxChunkDigits ||
            !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        numbered.insert(number.toLongLong(), zip_uint64_t(i));
    }
    qint64 expected = 1;
    for (auto it = numbered.begin(); it != numbered.end(); ++it, ++expected) {
        if (it.key() != expected) {
            *why = QStringLiteral("its chunk %1-%2 is missing (%1-%3 is there): samples are lost")
                       .arg(QString::fromUtf8(whole))
                       .arg(expected)
                       .arg(it.key());
            return false;
        }
        chunks.push_back({it.value(), prefix + QByteArray::number(it.key()), 0});
    }
    if (chunks.empty()) {
        *why = QStringLiteral("no samples: it has no '%1' chunk").arg(QString::fromUtf8(whole));
        return false;
    }

    std::uint64_t bytes = 0;
    for (Chunk &chunk : chunks) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive->zip, chunk.index, 0, &stat) != 0 ||
            !(stat.valid & ZIP_STAT_SIZE) || !(stat.valid & ZIP_STAT_COMP_METHOD)) {
            *why = QStringLiteral("cannot read its chunk %1: %2")
                       .arg(chunkText(chunk), zipText(zip_get_error(archive->zip)));
            return false;
        }
        if (stat.comp_method != ZIP_CM_STORE && stat.comp_method != ZIP_CM_DEFLATE) {
            *why = QStringLiteral("its chunk %1 is compressed with method %2; sigrok stores or "
                                  "deflates")
                       .arg(chunkText(chunk))
                       .arg(stat.comp_method);
            return false;
        }
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
            *why = QStringLiteral("its chunk %1 is encrypted").arg(chunkText(chunk));
            return false;
        }
        chunk.size = stat.size;
        bytes += stat.size; // no overflow: each is checked against the file below
        if (stat.size > kMaxExpansion * std::uint64_t(info.size()) ||
            bytes > kMaxExpansion * std::uint64_t(info.size())) {
            *why = QStringLiteral("its chunks say they hold %1 bytes, more than deflate makes of "
                                  "a file of %2 (a zip bomb)")
                       .arg(qulonglong(bytes))
                       .arg(qulonglong(info.size()));
            return false;
        }
    }
    const auto unit = std::uint64_t(m_metadata.unitSize);
    if (bytes == 0) {
        *why = QStringLiteral("no samples: its chunks are empty");
        return false;
    }
    if (bytes % unit != 0) {
        *why = QStringLiteral("its %1 bytes of samples are not whole samples of %2 bytes (its "
                              "unit size)")
                   .arg(qulonglong(bytes))
                   .arg(unit);
        return false;
    }
    m_samples = bytes / unit;
    archive->chunks = std::move(chunks);
    m_archive = std::move(archive);
    return true;
}

bool SessionReader::readSamples(const SampleSink &sink, QString *why) const
{
    if (!m_archive) {
        *why = QStringLiteral("no session file is open");
        return false;
    }
    const auto unit = std::size_t(m_metadata.unitSize);
    std::vector<std::uint8_t> buffer(kBlockBytes);
    std::size_t held = 0;
    // Hands on the whole samples held, keeping a part of one for the next read.
    const auto handOn = [&] {
        const std::size_t whole = held / unit * unit;
        if (whole == 0)
            return true;
        const bool more = sink(buffer.data(), whole / unit);
        std::memmove(buffer.data(), buffer.data() + whole, held - whole);
        held -= whole;
        return more;
    };
    for (const Chunk &chunk : m_archive->chunks) {
        const OpenEntry file(zip_fopen_index(m_archive->zip, chunk.index, 0));
        if (!file) {
            handOn();
            *why = QStringLiteral("cannot read its chunk %1: %2")
                       .arg(chunkText(chunk), zipText(zip_get_error(m_archive->zip)));
            return false;
        }
        // What was read before the damage is handed on first: none of it is lost.
        const auto damaged = [&](const QString &what) {
            handOn();
            *why = QStringLiteral("its chunk %1 is damaged: %2").arg(chunkText(chunk), what);
            return false;
        };
        std::uint64_t left = chunk.size;
        while (left > 0) {
            const auto want = std::min<std::uint64_t>(buffer.size() - held, left);
            const zip_int64_t got = zip_fread(file.get(), buffer.data() + held, want);
            if (got < 0)
                return damaged(QString::fromUtf8(zip_file_strerror(file.get())));
            if (got == 0)
                return damaged(QStringLiteral("it ends after %1 of its %2 bytes")
                                   .arg(qulonglong(chunk.size - left))
                                   .arg(qulonglong(chunk.size)));
            held += std::size_t(got);
            left -= std::uint64_t(got);
            if (held == buffer.size() && !handOn())
                return true;
        }
        // Nothing beyond its stated size; reading to its end checks its CRC too.
        std::uint8_t beyond = 0;
        const zip_int64_t extra = zip_fread(file.get(), &beyond, 1);
        if (extra < 0)
            return damaged(QString::fromUtf8(zip_file_strerror(file.get())));
        if (extra > 0)
            return damaged(QStringLiteral("it holds more than its stated %1 bytes")
                               .arg(qulonglong(chunk.size)));
    }
    handOn();
    return true;
}

} // namespace wavemill::sigrok
