// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/sigrok_session_writer.h"

#include "capture_file/safe_save.h"
#include "command/output_file.h"
#include "core/samples.h"
#include "session_setup/setup_beside.h"
#include "sigrok/sigrok_logic.h"

#include <QFile>

#include <zip.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace wavemill::exporting {

namespace {

/// The session file format sigrok 0.5 reads and writes.
constexpr auto kFormatVersion = "2";
/// The libsigrok release whose session files these match.
constexpr auto kSigrokVersion = "0.5.2";
/// sigrok names a device's logic data "<capturefile>-<chunk>", chunks from 1.
constexpr auto kCaptureFile = "logic-1";
/// Samples handed on but not yet deflated are dropped from the front of the
/// queue once they pass this and outweigh the rest.
constexpr std::size_t kQueueCompaction = std::size_t(1) << 20;
/// Most samples waiting to be deflated: beyond them the hand-on waits, so
/// that memory stays flat whatever the pace of the samples.
constexpr std::size_t kQueueLimit = std::size_t(4) << 20;

QByteArray chunkName(std::int64_t chunk)
{
    return QByteArray(kCaptureFile) + '-' + QByteArray::number(qint64(chunk));
}

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

/// libzip's error in a few words: the system's, where the system failed
/// ("no space left on the device"), as the other formats say it.
QString zipErrorText(zip_error_t *error)
{
    if (zip_error_system_type(error) == ZIP_ET_SYS && zip_error_code_system(error) != 0)
        return capture_file::SafeSave::systemErrorText(zip_error_code_system(error));
    return QString::fromUtf8(zip_error_strerror(error));
}

QString archiveErrorText(zip_t *archive)
{
    return zipErrorText(zip_get_error(archive));
}

struct ArchiveCloser
{
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
struct SourceFreer
{
    void operator()(zip_source_t *source) const { zip_source_free(source); }
};

/// Adds \a source as \a name, taking it over; deflated or stored.
bool addSource(zip_t *archive, const char *name, zip_source_t *source, bool compress)
{
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

/// Adds \a content as \a name; the content must outlive the archive's closing.
bool addEntry(zip_t *archive, const char *name, const QByteArray &content, bool compress)
{
    return addSource(
        archive, name,
        zip_source_buffer(archive, content.constData(), zip_uint64_t(content.size()), 0), compress);
}

/// The version and the metadata, as sigrok writes them: the version stored,
/// the metadata deflated.
bool addHeaderEntries(zip_t *archive, const QByteArray &version, const QByteArray &meta)
{
    return addEntry(archive, "version", version, false) &&
           addEntry(archive, "metadata", meta, true);
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

    // The samples deflated too, as sigrok writes them.
    const bool added = addHeaderEntries(archive.get(), version, meta) &&
                       addEntry(archive.get(), chunkName(1).constData(), logic, true);
    if (!added || zip_close(archive.get()) != 0) {
        *error = archiveErrorText(archive.get());
        return {};
    }
    static_cast<void>(archive.release()); // closed: zip_close freed it
    QByteArray bytes = sourceBytes(memory.get());
    if (bytes.isEmpty())
        *error = QStringLiteral("the archive could not be read back from memory");
    return bytes;
}

/// What the thread writing the archive and the thread handing on samples share.
struct SigrokSessionStream::State
{
    /// One chunk's entry: the source libzip reads its samples from.
    struct Chunk
    {
        State *state = nullptr;
        std::int64_t size = 0;
        std::int64_t read = 0;
        zip_error_t error{};
    };

    QByteArray version{kFormatVersion};
    QByteArray meta;
    std::int64_t samples = 0;
    std::vector<std::unique_ptr<Chunk>> chunks;
    zip_t *archive = nullptr;
    std::thread writer;

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::uint8_t> queue; // samples handed on; those before head are deflated
    std::size_t head = 0;
    bool ended = false;     // no more samples come
    bool cancelled = false; // the session is discarded
    bool cameShort = false; // the samples ended before the announced number
    std::int64_t handedOn = 0; // samples handed on so far
    bool closed = false;    // the writer is done, well or not
    QString failure;        // why it was not done well

    static zip_int64_t readChunk(void *chunkState, void *data, zip_uint64_t length,
                                 zip_source_cmd_t command);
    zip_int64_t take(Chunk &chunk, std::uint8_t *data, zip_uint64_t length);
    void write();
    void discard();
};

zip_int64_t SigrokSessionStream::State::readChunk(void *chunkState, void *data, zip_uint64_t length,
                                                  zip_source_cmd_t command)
{
    Chunk &chunk = *static_cast<Chunk *>(chunkState);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        chunk.read = 0;
        return 0;
    case ZIP_SOURCE_READ:
        return chunk.state->take(chunk, static_cast<std::uint8_t *>(data), length);
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE: // the chunk belongs to the state
        return 0;
    case ZIP_SOURCE_STAT: {
        auto *stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &chunk.error);
        if (!stat)
            return -1;
        zip_stat_init(stat);
        stat->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        stat->size = zip_uint64_t(chunk.size);
        stat->mtime = std::time(nullptr);
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&chunk.error, data, length);
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              -1);
    default:
        zip_error_set(&chunk.error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

zip_int64_t SigrokSessionStream::State::take(Chunk &chunk, std::uint8_t *data, zip_uint64_t length)
{
    const auto wanted = std::min<zip_uint64_t>(length, zip_uint64_t(chunk.size - chunk.read));
    if (wanted == 0)
        return 0; // the chunk is complete
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return cancelled || ended || head < queue.size(); });
    if (cancelled || head == queue.size()) {
        // Discarded, or the samples ended short: the archive must not close.
        cameShort = !cancelled;
        zip_error_set(&chunk.error, ZIP_ER_CANCELLED, 0);
        return -1;
    }
    const std::size_t count = std::min<std::size_t>(wanted, queue.size() - head);
    std::memcpy(data, queue.data() + head, count);
    head += count;
    chunk.read += std::int64_t(count);
    if (head == queue.size()) {
        queue.clear();
        head = 0;
    } else if (head > kQueueCompaction && head * 2 > queue.size()) {
        queue.erase(queue.begin(), queue.begin() + std::ptrdiff_t(head));
        head = 0;
    }
    changed.notify_all(); // room for a waiting hand-on
    return zip_int64_t(count);
}

void SigrokSessionStream::State::write()
{
    // libzip writes a temporary file beside the target, reads every chunk as
    // its samples come, and renames the file into place; on any failure it
    // removes the temporary file and leaves the target as it was.
    const bool written = zip_close(archive) == 0;
    const std::lock_guard<std::mutex> lock(mutex);
    if (written)
        archive = nullptr; // closed: zip_close freed it
    else
        failure = archiveErrorText(archive);
    closed = true;
    changed.notify_all();
}

void SigrokSessionStream::State::discard()
{
    if (writer.joinable()) {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            cancelled = !closed;
            changed.notify_all();
        }
        writer.join();
    }
    if (archive)
        zip_discard(archive);
    archive = nullptr;
}

SigrokSessionStream::SigrokSessionStream(const QList<int> &traces, std::int64_t samples)
    : m_state(std::make_unique<State>())
{
    m_state->meta = metadata(traces);
    m_state->samples = samples;
}

SigrokSessionStream::~SigrokSessionStream()
{
    m_state->discard();
}

void SigrokSessionStream::begin(command::OutputFile &file)
{
    QString why;
    if (!open(file.temporaryPath(), &why))
        file.failWriting(why);
}

bool SigrokSessionStream::open(const QString &path, QString *error)
{
    State &s = *m_state;
    int code = 0;
    // The output file is there, empty: the archive replaces it whole.
    s.archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!s.archive) {
        zip_error_t zipError;
        zip_error_init_with_code(&zipError, code);
        *error = zipErrorText(&zipError);
        zip_error_fini(&zipError);
        return false;
    }
    bool added = addHeaderEntries(s.archive, s.version, s.meta);
    const std::int64_t count = (s.samples + kChunkSamples - 1) / kChunkSamples;
    for (std::int64_t n = 1; added && n <= count; ++n) {
        auto chunk = std::make_unique<State::Chunk>();
        chunk->state = &s;
        chunk->size = std::min(kChunkSamples, s.samples - (n - 1) * kChunkSamples);
        zip_error_init(&chunk->error);
        added = addSource(s.archive, chunkName(n).constData(),
                          zip_source_function(s.archive, &State::readChunk, chunk.get()), true);
        s.chunks.push_back(std::move(chunk));
    }
    if (!added) {
        *error = archiveErrorText(s.archive);
        s.discard();
        return false;
    }
    s.writer = std::thread([&s] { s.write(); });
    return true;
}

bool SigrokSessionStream::append(const std::vector<const std::uint8_t *> &traces, std::size_t count)
{
    m_samples.assign(count * kSamplesPerByte, 0);
    for (std::size_t i = 0; i < traces.size(); ++i)
        sigrok::spreadSamples(traces[i], count, int(i), m_samples.data());
    State &s = *m_state;
    std::unique_lock<std::mutex> lock(s.mutex);
    s.changed.wait(lock, [&s] { return s.closed || s.queue.size() - s.head < kQueueLimit; });
    if (s.closed)
        return s.archive == nullptr; // failed: none taken; complete: none wanted
    s.queue.insert(s.queue.end(), m_samples.begin(), m_samples.end());
    s.handedOn += std::int64_t(m_samples.size());
    s.changed.notify_all();
    return true;
}

bool SigrokSessionStream::end(QString *error)
{
    State &s = *m_state;
    {
        const std::lock_guard<std::mutex> lock(s.mutex);
        s.ended = true;
        s.changed.notify_all();
    }
    if (s.writer.joinable())
        s.writer.join();
    if (s.archive) {
        if (s.cameShort)
            *error = QStringLiteral("%1 of %2 samples came").arg(s.handedOn).arg(s.samples);
        else
            *error =
                s.failure.isEmpty() ? QStringLiteral("the archive was not written") : s.failure;
        s.discard();
        return false;
    }
    return true;
}

namespace {

/// PulseView's setup beside the session file: the decoders the detection
/// chose for the traces written.
QList<CompanionFile> sessionSetup(const QString &path, const OutputOptions &options,
                                  const TraceBuffers *capture)
{
    if (!capture)
        return {};
    const session_setup::SetupBeside setup = session_setup::setupBeside(
        path, session_setup::describeTraces(*capture, options.traces, options.samples));
    return {{setup.path, setup.content, setup.notes}};
}

} // namespace

OutputFormat sigrokSessionFormat()
{
    return {
        QStringLiteral("sr"),
        {QStringLiteral("sr")},
        QStringLiteral("sigrok session file, which PulseView and sigrok-cli open as it is:\n"
                       "one logic channel per trace, trace1 to trace3, every sample, at\n"
                       "%1 Hz (sigrok keeps whole hertz; the exact rate is %2 Hz).\n"
                       "Beside X.sr goes X.pvs, the setup PulseView loads with it: for each\n"
                       "trace wavemill-decode's detection recognises, sigrok's decoder on\n"
                       "its channel with the options found (bit rate, parity, polarity...),\n"
                       "named \"trace1: UART 9600 8N1\"; the view on the first decoded\n"
                       "frames, zoomed for their text, with a flag saying what was found.\n"
                       "Where nothing is recognised, an earlier X.pvs is removed. A setup\n"
                       "that cannot be written is told on stderr; the .sr stands.")
            .arg(sigrok::kSampleRateHz)
            .arg(1e12 / double(kSamplePeriodPs), 0, 'f', 2),
        false,
        [](const TraceBuffers &buffers, const OutputOptions &options, QString *error) {
            return writeSigrokSession(buffers, options.traces, error);
        },
        [](const OutputOptions &options) -> std::unique_ptr<OutputStream> {
            return std::make_unique<SigrokSessionStream>(options.traces, options.samples);
        },
        sessionSetup,
    };
}

} // namespace wavemill::exporting
