// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

namespace wavemill::sigrok {

/// The fastest sample rate a session file may give: far beyond any logic
/// analyzer (the fastest sample a few GHz); a rate above it is a file that lies.
constexpr std::uint64_t kMaxSampleRateHz = 100'000'000'000;
/// A sample is at most 8 bytes: 64 logic channels, as many as sigrok records.
constexpr int kMaxUnitSize = 8;

/// A logic channel of a session file: its number from 1 (probe1, bit 0 of
/// each sample) and its name.
struct SessionChannel
{
    int number = 0;
    QString name;
};

/// What a session file's metadata says of its one device's logic data.
struct SessionMetadata
{
    /// The name of its samples' entries: "logic-1", then "logic-1-1" ... in
    /// format version 2.
    QByteArray captureFile;
    std::uint64_t sampleRateHz = 0;
    /// Bytes a sample.
    int unitSize = 0;
    /// The channels the file names (the ones recorded), by number. sigrok
    /// leaves a probe without a name out of a recording.
    QList<SessionChannel> channels;
};

/// Reads sigrok's metadata: "[device N]" sections of "key=value" lines
/// (blanks around "=" allowed, as format version 1 writes them), with its
/// capturefile, samplerate, unitsize, total probes and probeN names. False
/// with \a why, one line, when it leaves out the sample rate, the unit size
/// or the capture file, gives more than one device with logic data, a rate
/// parseSampleRate() does not take, a unit size beyond 1 to kMaxUnitSize,
/// no named channel, or a channel beyond its total probes or unit size.
bool parseSessionMetadata(const QByteArray &text, SessionMetadata *metadata, QString *why);

/// sigrok's way of writing a rate: a decimal number, then an optional SI
/// prefix (k, M or G in either case) and "Hz": "1 MHz", "49.817 kHz",
/// "25kHz", "4000000". Whole hertz from 1 to kMaxSampleRateHz; 0 for
/// anything else (a fraction of a hertz, an overflow, other text).
std::uint64_t parseSampleRate(const QString &text);

/// A rate as sigrok writes it, for messages: "49.817 kHz", "4 MHz".
QString sampleRateText(std::uint64_t hertz);

} // namespace wavemill::sigrok
