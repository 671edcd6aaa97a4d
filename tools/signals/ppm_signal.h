// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/waveform_signal.h"

#include <vector>

namespace wavemill::signals {

/// An RC receiver's PPM (pulse-position) stream: every \a frameUs, one
/// marker pulse of \a markerUs for each channel and one more, the time from
/// one marker's start to the next being the channel's value (1 to 2 ms,
/// \a channelsUs), the rest of the frame a sync gap. Markers are high, or,
/// inverted, low; the first channel moves by \a wobbleUs from frame to
/// frame and back.
class PpmSignal : public WaveformSignal
{
public:
    PpmSignal(const std::vector<double> &channelsUs, double frameUs, double markerUs,
              bool activeHigh = true, double wobbleUs = 0);
};

} // namespace wavemill::signals
