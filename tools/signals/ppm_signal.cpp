// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/ppm_signal.h"

namespace wavemill::signals {

namespace {

/// Frames before the pattern repeats when the first channel moves.
constexpr int kWobbleFrames = 8;

} // namespace

PpmSignal::PpmSignal(const std::vector<double> &channelsUs, double frameUs, double markerUs,
                     bool activeHigh, double wobbleUs)
{
    Waveform wave;
    wave.hold(!activeHigh, 0);
    const int frames = wobbleUs != 0 ? kWobbleFrames : 1;
    for (int f = 0; f < frames; ++f) {
        double used = 0;
        for (std::size_t c = 0; c < channelsUs.size(); ++c) {
            const double value = channelsUs[c] + (c == 0 ? wobbleUs * (f % 2) : 0);
            wave.hold(activeHigh, markerUs);
            wave.hold(!activeHigh, value - markerUs);
            used += value;
        }
        // The last marker, then the sync gap to the end of the frame.
        wave.hold(activeHigh, markerUs);
        wave.hold(!activeHigh, frameUs - used - markerUs);
    }
    setWaveform(wave, true);
}

} // namespace wavemill::signals
