// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "decode/recording.h"

#include "command/command_line.h"
#include "detect/measure_text.h"
#include "sigrok/sigrok_logic.h"

#include "core/numbers.h"
#include "core/sample_period.h"
#include "core/samples.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace wavemill::decode {

namespace {

/// Bytes of each trace a capture hands on at once: 65,536 samples.
constexpr int kCaptureBlockBytes = 8192;
/// Picoseconds in a millisecond.
constexpr double kPsPerMs = 1e9;
/// Milliseconds in a second.
constexpr double kMsPerSecond = 1e3;
/// What every zip, and so every session file, starts with.
constexpr char kZipMagic[] = {'P', 'K', 3, 4};

/// Whether the regular file at \a path starts as a zip does; a FIFO or
/// device is never opened (it could block).
bool startsAsZip(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    char head[sizeof kZipMagic] = {};
    const bool zip = ::read(fd, head, sizeof head) == ssize_t(sizeof head) &&
                     std::equal(head, head + sizeof head, kZipMagic);
    ::close(fd);
    return zip;
}

} // namespace

bool Recording::namesSession(const QString &path)
{
    return path.endsWith(QLatin1String(".sr"), Qt::CaseInsensitive);
}

std::unique_ptr<Recording> Recording::open(const QString &path)
{
    std::unique_ptr<Recording> recording(new Recording);
    recording->m_path = path;
    const bool session = namesSession(path) ||
                         (!path.endsWith(QLatin1String(".ird"), Qt::CaseInsensitive) &&
                          startsAsZip(path));
    if (!session) {
        recording->m_capture = command::readCaptureOrFail(path);
        for (int trace = 1; trace <= kTraceCount; ++trace)
            recording->m_channels.append({trace, QStringLiteral("trace%1").arg(trace)});
        return recording;
    }
    recording->m_session = std::make_unique<sigrok::SessionReader>();
    QString why;
    if (!recording->m_session->open(path, &why))
        command::fail(command::kExitFailed, QStringLiteral("%1: %2").arg(path, why));
    recording->m_channels = recording->m_session->channels();
    return recording;
}

const sigrok::SessionChannel *Recording::channel(int number) const
{
    for (const sigrok::SessionChannel &c : m_channels) {
        if (c.number == number)
            return &c;
    }
    return nullptr;
}

int Recording::channelNamed(const QString &value) const
{
    for (const sigrok::SessionChannel &c : m_channels) {
        if (c.name == value)
            return c.number;
    }
    if (!value.startsWith(QLatin1String("trace")))
        return 0;
    bool ok = false;
    const int number = value.mid(5).toInt(&ok);
    // "trace2", not "trace02" nor "trace+2".
    if (!ok || value.mid(5) != QString::number(number) || !channel(number))
        return 0;
    return number;
}

QString Recording::channelChoices() const
{
    if (!isSession())
        return QStringLiteral("trace1, trace2 or trace3 (the capture has traces 1 to 3)");
    QStringList names;
    for (const sigrok::SessionChannel &c : m_channels)
        names << c.name;
    return QStringLiteral("a channel of the file (%1), or traceN for its channel N")
        .arg(names.join(QStringLiteral(", ")));
}

QString Recording::channelLabel(int number) const
{
    if (!isSession())
        return QStringLiteral("trace %1").arg(number);
    const sigrok::SessionChannel *c = channel(number);
    return QStringLiteral("channel %1 (%2)").arg(number).arg(c ? c->name : QString());
}

std::uint64_t Recording::decoderRateHz() const
{
    return m_session ? m_session->sampleRateHz() : sigrok::kSampleRateHz;
}

bool Recording::atBoardRate() const
{
    return !m_session || m_session->sampleRateHz() == sigrok::kSampleRateHz;
}

double Recording::samplePeriodUs() const
{
    return sigrok::samplePeriodUsAt(decoderRateHz());
}

double Recording::sampleMs(std::uint64_t sample) const
{
    // The board's times in whole picoseconds first, so that the milliseconds
    // are the nearest double; another rate's from its whole hertz.
    if (atBoardRate())
        return double(sample * std::uint64_t(kSamplePeriodPs)) / kPsPerMs;
    return double(sample) * kMsPerSecond / double(m_session->sampleRateHz());
}

std::uint64_t Recording::sampleCount() const
{
    return m_session ? m_session->sampleCount() : std::uint64_t(kCaptureSamples);
}

int Recording::unitSize() const
{
    return m_session ? m_session->unitSize() : 1;
}

bool Recording::readSamples(const sigrok::SessionReader::SampleSink &sink, QString *why) const
{
    if (m_session)
        return m_session->readSamples(sink, why);
    // A capture's three traces, a block at a time, one byte a sample.
    std::vector<std::uint8_t> block(std::size_t(kCaptureBlockBytes) * kSamplesPerByte);
    for (int byte = 0; byte < kCaptureLength; byte += kCaptureBlockBytes) {
        const int bytes = std::min(kCaptureBlockBytes, kCaptureLength - byte);
        std::fill(block.begin(), block.end(), 0);
        for (int trace = 1; trace <= kTraceCount; ++trace)
            sigrok::spreadSamples(m_capture->trace(trace)->data() + byte, std::size_t(bytes),
                                  trace - 1, block.data());
        if (!sink(block.data(), std::size_t(bytes) * kSamplesPerByte))
            break;
    }
    return true;
}

QString Recording::summary() const
{
    const std::uint64_t samples = sampleCount();
    if (!isSession())
        return QStringLiteral("capture file, 3 traces of %1 samples, one every %2")
            .arg(detect::countText(qint64(samples)), samplePeriodText(QStringLiteral("µs")));
    QStringList names;
    for (const sigrok::SessionChannel &c : m_channels)
        names << c.name;
    return QStringLiteral("sigrok session file, %1 %2 (%3) at %4, %5 samples (%6 s)")
        .arg(m_channels.size())
        .arg(m_channels.size() == 1 ? QStringLiteral("channel") : QStringLiteral("channels"),
             names.join(QStringLiteral(", ")), sigrok::sampleRateText(decoderRateHz()),
             detect::countText(qint64(samples)))
        .arg(sampleMs(samples) / kMsPerSecond, 0, 'f', 1);
}

} // namespace wavemill::decode
