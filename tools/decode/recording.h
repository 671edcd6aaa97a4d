// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sigrok/session_metadata.h"
#include "sigrok/session_reader.h"

#include "core/trace_buffers.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

namespace wavemill::decode {

/// What wavemill-decode reads: a Wavemill capture file (three traces of
/// 507,904 samples, one every 20.0736 µs) or a sigrok session file (its
/// logic channels at its own rate, of any length). Both give their channels
/// by number and name, the rate their decoders are told, and their samples
/// as sigrok logic data, a block at a time.
class Recording
{
public:
    /// Opens \a path: a sigrok session file when it ends in ".sr" or is a
    /// zip, a capture file otherwise. Throws command::Failure (status 1)
    /// with the path and the reason when it cannot be read.
    static std::unique_ptr<Recording> open(const QString &path);
    /// Whether \a path is taken for a session file by its name.
    static bool namesSession(const QString &path);

    bool isSession() const { return m_session != nullptr; }
    const QString &path() const { return m_path; }
    /// trace1 to trace3 of a capture; the named channels of a session.
    const QList<sigrok::SessionChannel> &channels() const { return m_channels; }
    /// The channel numbered \a number, or nullptr.
    const sigrok::SessionChannel *channel(int number) const;
    /// The channel a decoder's channel setting names, 0 for none: a name the
    /// recording gives, else "traceN" for its channel N.
    int channelNamed(const QString &value) const;
    /// The channels a decoder's setting may name, for a message.
    QString channelChoices() const;
    /// How descriptions name channel \a number: "trace 2", "channel 2 (DATA)".
    QString channelLabel(int number) const;

    /// The rate told to the decoders: the session file's own; for a capture,
    /// 49,817 Hz, as in the session files wavemill-export writes.
    std::uint64_t decoderRateHz() const;
    /// The time between two samples, for times and detection: one over the
    /// rate of a session file, and exactly 20.0736 µs for a capture and for
    /// a session file at 49,817 Hz: that is the board's rate as sigrok writes
    /// it (in whole hertz), which no other instrument samples at, so that a
    /// capture exported or recorded as a session file reads as the capture.
    double samplePeriodUs() const;
    /// The time of sample \a sample in milliseconds, on samplePeriodUs().
    double sampleMs(std::uint64_t sample) const;
    std::uint64_t sampleCount() const;
    /// Bytes a sample in readSamples().
    int unitSize() const;
    /// The capture's traces; nullptr for a session.
    const TraceBuffers *capture() const { return m_capture.get(); }
    /// The session file; nullptr for a capture.
    const sigrok::SessionReader *session() const { return m_session.get(); }

    /// Hands every sample on in blocks, as SessionReader does; false with
    /// \a why when the file failed on the way.
    bool readSamples(const sigrok::SessionReader::SampleSink &sink, QString *why) const;

    /// One line saying what the file holds: "sigrok session file, 2 channels
    /// at 4 MHz, 703,782,912 samples (175.9 s)".
    QString summary() const;

private:
    Recording() = default;
    bool atBoardRate() const;

    QString m_path;
    std::unique_ptr<TraceBuffers> m_capture;
    std::unique_ptr<sigrok::SessionReader> m_session;
    QList<sigrok::SessionChannel> m_channels;
};

} // namespace wavemill::decode
