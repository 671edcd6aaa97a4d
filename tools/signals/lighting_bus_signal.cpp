// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/lighting_bus_signal.h"

namespace wavemill::signals {

LightingBusSignal::LightingBusSignal(bool dsi, const std::vector<std::vector<std::uint8_t>> &frames,
                                     double gapUs, bool inverted)
{
    const double half = 1e6 / (dsi ? 600 : 1200) / 2;
    const bool idle = dsi == inverted; // DALI idles high, DSI low
    Waveform wave;
    for (const std::vector<std::uint8_t> &frame : frames) {
        wave.hold(idle, gapUs);
        std::vector<bool> bits{!dsi}; // the start bit
        for (const std::uint8_t byte : frame) {
            for (int b = 7; b >= 0; --b)
                bits.push_back(((byte >> b) & 1) != 0);
        }
        for (const bool bit : bits) {
            // Low then high as sent for a DALI 1 and a DSI 0.
            const bool lowFirst = bit != dsi;
            wave.hold(lowFirst == inverted, half);
            wave.hold(lowFirst != inverted, half);
        }
    }
    wave.hold(idle, gapUs);
    setWaveform(wave, true);
}

} // namespace wavemill::signals
