// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/servo_signal.h"

#include <cmath>

namespace wavemill::signals {

ServoSignal::ServoSignal(double periodUs, double shortestUs, double widestUs, double sweepUs,
                         bool activeHigh)
{
    // Whole periods a sweep, so that the signal repeats with it.
    const int pulses = sweepUs > 0 ? std::max(2, int(std::lround(sweepUs / periodUs))) : 1;
    Waveform wave;
    wave.hold(!activeHigh, 0);
    for (int k = 0; k < pulses; ++k) {
        // A triangle: out and back again over the sweep.
        const double phase = pulses > 1 ? double(k) / pulses : 0.5;
        const double travel = phase < 0.5 ? 2 * phase : 2 - 2 * phase;
        const double width = shortestUs + (widestUs - shortestUs) * (pulses > 1 ? travel : 0.5);
        wave.hold(activeHigh, width);
        wave.hold(!activeHigh, periodUs - width);
    }
    setWaveform(wave, true);
}

} // namespace wavemill::signals
