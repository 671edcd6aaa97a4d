// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/edge_signal.h"

#include <cstdint>

namespace wavemill::signals {

/// A square wave or PWM as a real oscillator and wire give it: each edge
/// moved at random by up to a given time, and short glitches against the
/// level at random places. Drawn for \a lengthUs, then again.
class RoughSquareWave : public EdgeSignal
{
public:
    struct Options
    {
        double frequencyHz = 1000;
        double duty = 0.5;       // high share of a period, from its start
        double jitterUs = 0;     // each edge moved by up to this either way
        int glitches = 0;        // spikes against the level over the length
        double glitchUs = 20;    // each one this long
        double lengthUs = 10.2e6; // about one board capture
        std::uint32_t seed = 1;
    };

    explicit RoughSquareWave(const Options &options);
};

} // namespace wavemill::signals
