// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sigrok/annotation.h"
#include "sigrok/protocol_stack.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

namespace wavemill::detect {

/// A guess below this share of its checks passed is not named: the trace is
/// reported as unrecognised, with the guess's evidence beside the widths.
/// Clean signals pass all their checks; an NEC code with a leader out of its
/// window still frames as 1800 bit/s serial data 91 % of the time.
constexpr double kConfidenceThreshold = 0.95;

/// What one trace carries, as far as its pulses tell, and what the guess
/// rests on: the result every detector gives, which the program prints,
/// writes as JSON and hands to sigrok without knowing the protocol.
struct TraceDescription
{
    /// The kind for scripts: "flat", "periodic", "uart", "infrared", "unrecognised".
    QString kind = QStringLiteral("unrecognised");
    /// One line: "UART at 9600 bit/s, idle high, 8N1".
    QString title;
    /// The measurements behind it, one a line, for a user to judge.
    QStringList evidence;
    /// The share of the guess's checks that passed (frames framed, periods
    /// steady, remote frames whole), 0 to 1.
    double confidence = 0;

    /// The sigrok decoders that read what was recognised, with their
    /// options (none when sigrok has no decoder for it), and their channel
    /// the trace goes to.
    QList<sigrok::DecoderChoice> decoders;
    QString channel;
    /// Where the first frame recognised starts (a character, a remote's
    /// code, a period), in samples of the train, -1 when none is placed; and
    /// how long one such frame lasts, in samples, 0 when unknown: where a
    /// viewer opens, and at what zoom its decoded text can be read.
    std::int64_t firstFrameSample = -1;
    std::int64_t frameSamples = 0;
    /// The detector's own measurements for scripts ("bit_rate", "family", ...).
    QJsonObject fields;
    /// What sigrok's decoder read, in a few lines, set against what the
    /// detector read: where they differ, it says so.
    std::function<QStringList(const std::vector<sigrok::Annotation> &)> compareWithSigrok;
};

} // namespace wavemill::detect
