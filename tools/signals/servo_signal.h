// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/waveform_signal.h"

namespace wavemill::signals {

/// A servo's control signal, or an RC receiver's channel output: a pulse
/// every \a periodUs whose width, \a shortestUs to \a widestUs, is the
/// position; the position sweeps from one end to the other and back every
/// \a sweepUs (0: it holds at the middle). Pulses are high, or, inverted, low.
class ServoSignal : public WaveformSignal
{
public:
    ServoSignal(double periodUs, double shortestUs, double widestUs, double sweepUs,
                bool activeHigh = true);
};

} // namespace wavemill::signals
