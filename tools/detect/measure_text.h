// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace wavemill::detect {

/// Microseconds as a duration: "104.2 µs" below a millisecond, "9.00 ms" above.
QString microsecondsText(double us);
/// A share as a percentage with \a decimals decimals: "97 %", "25.0 %".
/// Never "100 %" for a share short of the whole: more decimals where it
/// takes them ("99.96 %").
QString percentText(double share, int decimals = 0);
/// A share compared with \a threshold, as percentText() writes it, with as
/// many more decimals as it takes to stay on its side of the threshold: 94.7 %
/// beside 95 % needed is "94.7 %", never "95 %".
QString shareText(double share, double threshold, int decimals = 0);
/// A count with thousands separated by commas: "507,904".
QString countText(qint64 count);
/// A number in hexadecimal with at least \a digits digits: "0x04".
QString hexText(std::uint32_t value, int digits);
/// Bytes as text on one line: printable ASCII as it is; carriage return,
/// line feed, tab, quote and backslash escaped as in C; others as \xNN. Cut
/// after \a limit characters with "...".
QString escapedText(const QByteArray &bytes, int limit);
/// The mean of the \a values no larger than \a limit (at least the smallest
/// of them must be).
double meanAtMost(const std::vector<double> &values, double limit);

} // namespace wavemill::detect
