// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/waveform_signal.h"

#include <string>

namespace wavemill::signals {

/// A PT2262-type 433 MHz remote encoder's output while a button is held:
/// a code word of 12 tri-state digits ('0', '1', 'F' for floating) sent
/// again and again, each digit two pulses of 4 or 12 clocks of its
/// oscillator, each with the rest of 16 clocks as a gap (0: short short, 1:
/// long long, F: short long), then the sync, 4 clocks of pulse and 124 of
/// gap. Each press sends \a frames words, and a press comes every \a
/// pressUs; pulses are high (the transmitter on) or, inverted, low.
class Pt2262Signal : public WaveformSignal
{
public:
    Pt2262Signal(const std::string &word, double clockUs, int frames, double pressUs,
                 bool activeHigh = true);
};

} // namespace wavemill::signals
