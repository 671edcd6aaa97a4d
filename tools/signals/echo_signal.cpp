// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/echo_signal.h"

#include <cmath>

namespace wavemill::signals {

namespace {

/// Speed of sound at 20 °C.
constexpr double kMetresPerUs = 343e-6;
constexpr double kPi = 3.14159265358979323846;

} // namespace

EchoSignal::EchoSignal(double nearestM, double farthestM, double recoveryUs, int pings,
                       bool activeHigh)
{
    Waveform wave;
    wave.hold(!activeHigh, 0);
    for (int k = 0; k < pings; ++k) {
        // Smoothly out and back: a cosine over the pings.
        const double travel = (1 - std::cos(2 * kPi * k / pings)) / 2;
        const double distance = nearestM + (farthestM - nearestM) * travel;
        wave.hold(activeHigh, 2 * distance / kMetresPerUs);
        wave.hold(!activeHigh, recoveryUs);
    }
    setWaveform(wave, true);
}

} // namespace wavemill::signals
