// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/waveform_signal.h"

#include <vector>

namespace wavemill::signals {

/// An Oregon Scientific weather sensor's message as a 433 MHz on-off-keying
/// receiver gives it, every \a everyUs: bi-phase at 1024 bit/s, a 1 with the
/// carrier on in its first half; a preamble of ones (24 in protocol 3, 16
/// in 2.1), the sync nibble 0xA, then nibbles least significant bit first:
/// the sensor id (four, as written: "F824"), the channel, the rolling code
/// (two), the flags, the \a readings, and the checksum, the sum of the
/// nibbles before it carried round at 255 (2.1 less 10), low nibble first.
/// Protocol 2.1 sends every bit twice, inverted first. The receiver's highs
/// are \a skewUs shorter than sent (its lows as much longer); the carrier is
/// high, or, inverted, low.
class OregonSignal : public WaveformSignal
{
public:
    OregonSignal(bool version21, const char *sensorId, int channel, int rollingCode,
                 const std::vector<int> &readings, double everyUs, double skewUs = 0,
                 bool activeHigh = true);
};

} // namespace wavemill::signals
