// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/sigrok_session_writer.h"

#include "sigrok/sigrok_logic.h"

#include <zip.h>

#include <memory>
#include <vector>

namespace wavemill::exporting {

namespace {

/// The session file format sigrok 0.5 reads and writes.
constexpr auto kFormatVersion = "2";
/// The libsigrok release whose session files these match.
constexpr auto kSigrokVersion = "0.5.2";
/// sigrok names a device's logic data "<capturefile>-<chunk>"; one chunk holds it all.
constexpr auto kCaptureFile = "logic-1";
constexpr auto kLogicEntry = "logic-1-1";

/// sigrok's own way of writing a rate: "49.817 kHz" for 49,817 Hz.
QByteArray rateText(std::uint64_t hertz)
{
    static const char *const kUnits[] = {"Hz", "kHz", "MHz", "GHz"};
    int unit = 0;
    std::uint64_t scale = 1;
    while (unit < 3 && hertz >= scale * 1000) {
        scale *= 1000;
        ++unit;
    }
    QByteArray text = QByteArray::number(qulonglong(hertz / scale));
    if (const std::uint64_t rest = hertz % scale) {
        QByteArray fraction =
            QByteArray::number(qulonglong(rest))
                .rightJustified(QByteArray::number(qulonglong(scale)).size() - 1, '0');
        while (fraction.endsWith('0'))
            fraction.chop(1);
        text += '.' + fraction;
    }
    return text + ' ' + kUnits[unit];
}

QByteArray metadata(const QList<int> &traces)
{
    QByteArray text;
    text += "[global]\nsigrok version=";
    text += kSigrokVersion;
    text += "\n\n[device 1]\ncapturefile=";
    text += kCaptureFile;
    text += "\ntotal probes=" + QByteArray::number(traces.size());
    text += "\nsamplerate=" + rateText(sigrok::kSampleRateHz);
    text += "\ntotal analog=0\n";
    for (int i = 0; i < traces.size(); ++i)
        text +=
            "probe" + QByteArray::number(i + 1) + "=trace" + QByteArray::number(traces[i]) + '\n';
    text += "unitsize=1\n";
    return text;
}

QString zipErrorText(zip_error_t *error)
{
    return QString::fromUtf8(zip_error_strerror(error));
}

struct ArchiveCloser
{
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
struct SourceFreer
{
    void operator()(zip_source_t *source) const { zip_source_free(source); }
};

/// Adds \a content as \a name; the content must outlive the archive's closing.
bool addEntry(zip_t *archive, const char *name, const QByteArray &content, bool compress)
{
    zip_source_t *source =
        zip_source_buffer(archive, content.constData(), zip_uint64_t(content.size()), 0);
    if (!source)
        return false;
    const zip_int64_t index = zip_file_add(archive, name, source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        return false;
    }
    return zip_set_file_compression(archive, zip_uint64_t(index),
                                    compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0) == 0;
}

/// Everything written into an in-memory source, once its archive is closed.
QByteArray sourceBytes(zip_source_t *source)
{
    if (zip_source_open(source) != 0)
        return {};
    QByteArray bytes;
    if (zip_source_seek(source, 0, SEEK_END) == 0) {
        const zip_int64_t size = zip_source_tell(source);
        if (size > 0 && zip_source_seek(source, 0, SEEK_SET) == 0) {
            bytes.resize(qsizetype(size));
            if (zip_source_read(source, bytes.data(), zip_uint64_t(size)) != size)
                bytes.clear();
        }
    }
    zip_source_close(source);
    return bytes;
}

} // namespace

QByteArray writeSigrokSession(const TraceBuffers &buffers, const QList<int> &traces, QString *error)
{
    const QByteArray version(kFormatVersion);
    const QByteArray meta = metadata(traces);
    const std::vector<std::uint8_t> samples = sigrok::logicSamples(buffers, traces);
    const QByteArray logic = QByteArray::fromRawData(reinterpret_cast<const char *>(samples.data()),
                                                     qsizetype(samples.size()));

    zip_error_t zipError;
    zip_error_init(&zipError);
    // The archive is made in memory, so the caller can write it whole or not at all.
    std::unique_ptr<zip_source_t, SourceFreer> memory(
        zip_source_buffer_create(nullptr, 0, 0, &zipError));
    if (!memory) {
        *error = zipErrorText(&zipError);
        zip_error_fini(&zipError);
        return {};
    }
    zip_source_keep(memory.get()); // the archive's closing would free it otherwise
    std::unique_ptr<zip_t, ArchiveCloser> archive(
        zip_open_from_source(memory.get(), ZIP_TRUNCATE, &zipError));
    if (!archive) {
        zip_source_free(memory.get()); // the reference the archive did not take
        *error = zipErrorText(&zipError);
        zip_error_fini(&zipError);
        return {};
    }
    zip_error_fini(&zipError);

    // As sigrok writes them: the version stored, the rest deflated.
    const bool added = addEntry(archive.get(), "version", version, false) &&
                       addEntry(archive.get(), "metadata", meta, true) &&
                       addEntry(archive.get(), kLogicEntry, logic, true);
    if (!added || zip_close(archive.get()) != 0) {
        *error = QString::fromUtf8(zip_strerror(archive.get()));
        return {};
    }
    static_cast<void>(archive.release()); // closed: zip_close freed it
    QByteArray bytes = sourceBytes(memory.get());
    if (bytes.isEmpty())
        *error = QStringLiteral("the archive could not be read back from memory");
    return bytes;
}

} // namespace wavemill::exporting
