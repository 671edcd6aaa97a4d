// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/waveform_signal.h"

namespace wavemill::signals {

/// An ultrasonic ranger's echo output: for each ping a pulse as long as the
/// sound takes there and back (343 m/s), then \a recoveryUs before the next
/// ping, so that the period wanders with the distance; the distance moves
/// from \a nearestM to \a farthestM and back over \a pings pings, as an
/// object comes and goes. The echo is high, or, inverted, low.
class EchoSignal : public WaveformSignal
{
public:
    EchoSignal(double nearestM, double farthestM, double recoveryUs, int pings,
               bool activeHigh = true);
};

} // namespace wavemill::signals
