// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace wavemill::detect {

/// A guess below this share of its checks passed is not named: the trace is
/// reported as unrecognised, with the guess's evidence beside the widths.
/// Clean signals pass all their checks; an NEC code with a leader out of its
/// window still frames as 1800 bit/s serial data 91 % of the time.
constexpr double kConfidenceThreshold = 0.95;

/// What one trace carries, as far as its pulses tell, and what the guess
/// rests on.
struct TraceDescription
{
    enum class Kind { Flat, Periodic, Uart, Infrared, Unrecognised };

    Kind kind = Kind::Unrecognised;
    /// One line: "UART at 9600 bit/s, idle high, 8N1".
    QString title;
    /// The measurements behind it, one a line, for a user to judge.
    QStringList evidence;
    /// The share of the guess's checks that passed (frames framed, periods
    /// steady, remote frames whole), 0 to 1.
    double confidence = 0;

    /// The sigrok decoder that reads what was recognised ("uart", "ir_nec"),
    /// its options and the channel the trace goes to; empty when none does.
    QString decoder;
    QMap<QString, QString> options;
    QString channel;

    /// UART: the bit rate decoded with (snapped to a standard one when near)
    /// and the rate measured; whether the line idles high.
    double bitRate = 0;
    double measuredBitRate = 0;
    bool idleHigh = true;
    /// UART: the bytes of the frames the framing check found whole.
    QByteArray bytes;
    /// Periodic: frequency and mean duty cycle (0 to 1).
    double frequencyHz = 0;
    double duty = 0;
    /// Infrared: the family ("NEC", "RC-5", "RC-6", "SIRC", ...).
    QString family;
};

/// The name of a kind for scripts: "flat", "periodic", "uart", "infrared", "unrecognised".
QString kindName(TraceDescription::Kind kind);

} // namespace wavemill::detect
