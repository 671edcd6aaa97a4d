// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/waveform_signal.h"

#include <cstdint>

namespace wavemill::signals {

/// An EV1527-type 433 MHz learning-code encoder's output while a button is
/// held: frames of a sync (a pulse of one unit and a gap of 31) and 24 bits,
/// a 20-bit id and 4 data bits (the buttons), the most significant first,
/// each a pulse of one unit and a gap of three (0) or a pulse of three and
/// a gap of one (1); a unit is four clocks of its oscillator. Each press
/// sends \a frames frames, and a press comes every \a pressUs; pulses are
/// high (the transmitter on) or, inverted, low.
class Ev1527Signal : public WaveformSignal
{
public:
    Ev1527Signal(std::uint32_t id, int data, double unitUs, int frames, double pressUs,
                 bool activeHigh = true);
};

} // namespace wavemill::signals
