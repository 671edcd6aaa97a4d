// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/serial_frames_signal.h"

#include <algorithm>
#include <string>

namespace wavemill::signals {

namespace {

/// Idle before the first message.
constexpr double kLeadInUs = 1000;

} // namespace

SerialFramesSignal::SerialFramesSignal(const std::vector<std::uint8_t> &message,
                                       const SerialFraming &framing, double everyUs)
{
    Waveform wave;
    wave.hold(true, kLeadInUs);
    if (framing.breakUs > 0) {
        wave.hold(false, framing.breakUs);
        wave.hold(true, framing.markAfterBreakUs);
    }
    UartFraming frames;
    frames.stopBits = framing.stopBits;
    const Waveform bytes =
        uartWaveform(wave.endUs, std::string(message.begin(), message.end()), framing.baud, frames);
    wave.changes.insert(wave.changes.end(), bytes.changes.begin(), bytes.changes.end());
    wave.endUs = bytes.endUs;
    wave.hold(true, std::max(0.0, everyUs - wave.endUs));
    if (framing.narrowLowUs > 0) {
        // A coupler that narrows lows gives the rest of each low stretch back to high.
        Waveform narrowed;
        for (std::size_t k = 0; k < wave.changes.size(); ++k) {
            const Change &c = wave.changes[k];
            const bool lowGoesOn = !c.high && k > 0 && !wave.changes[k - 1].high;
            if (lowGoesOn)
                continue; // the low stretch was handled where it began
            narrowed.changes.push_back(c);
            if (c.high)
                continue;
            std::size_t end = k + 1;
            while (end < wave.changes.size() && !wave.changes[end].high)
                ++end;
            const double until = end < wave.changes.size() ? wave.changes[end].atUs : wave.endUs;
            if (until - c.atUs > framing.narrowLowUs)
                narrowed.changes.push_back({c.atUs + framing.narrowLowUs, true});
        }
        narrowed.endUs = wave.endUs;
        wave = narrowed;
    }
    setWaveform(wave, true);
}

} // namespace wavemill::signals
