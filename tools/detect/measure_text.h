// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace wavemill::detect {

/// Samples as a duration: "104.2 µs" below a millisecond, "9.00 ms" above.
QString durationText(double samples);
/// Microseconds as a duration, in the same forms.
QString microsecondsText(double us);
/// A share as a percentage with \a decimals decimals: "97 %", "25.0 %".
QString percentText(double share, int decimals = 0);
/// A count with thousands separated by commas: "507,904".
QString countText(qint64 count);
/// Microseconds that \a samples last.
double samplesToUs(double samples);
/// Samples that \a us microseconds last.
double usToSamples(double us);

} // namespace wavemill::detect
