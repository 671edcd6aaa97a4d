// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/waveform.h"

#include <algorithm>

namespace wavemill::signals {

Waveform uartWaveform(double fromUs, const std::string &bytes, double baud,
                      const UartFraming &framing, double gapBits)
{
    const double bitUs = 1e6 / baud;
    const bool idle = !framing.inverted;
    Waveform wave;
    wave.endUs = fromUs;
    // Bit by bit, the end moved by one bit's time each: the times come out
    // the same however the frames fall.
    for (const char c : bytes) {
        const auto byte = std::uint8_t(c);
        wave.hold(!idle, bitUs); // start bit
        int ones = 0;
        for (int bit = 0; bit < framing.dataBits; ++bit) {
            const bool one = bit < 8 && ((byte >> bit) & 1u);
            ones += one ? 1 : 0;
            wave.hold(one == idle, bitUs);
        }
        if (framing.parity != UartFraming::Parity::None) {
            // Even parity makes the ones even, odd parity odd.
            const bool one = (ones % 2 == 1) == (framing.parity == UartFraming::Parity::Even);
            wave.hold(one == idle, bitUs);
        }
        wave.hold(idle, framing.stopBits * bitUs);
        if (gapBits > 0)
            wave.hold(idle, gapBits * bitUs);
    }
    return wave;
}

Waveform pwmWaveform(double fromUs, double toUs, double periodUs, double duty)
{
    Waveform wave;
    wave.endUs = fromUs;
    // Each period's start from the first, not added up: no drift over long runs.
    for (int period = 0; fromUs + period * periodUs < toUs; ++period) {
        const double start = fromUs + period * periodUs;
        const double edge = std::min(start + duty * periodUs, toUs);
        wave.changes.push_back({start, true});
        wave.changes.push_back({edge, false});
        wave.endUs = std::min(start + periodUs, toUs);
    }
    return wave;
}

Waveform infraredWaveform(double fromUs, const IrPulses &pulses)
{
    Waveform wave;
    wave.endUs = fromUs;
    for (const IrPulse &pulse : pulses)
        wave.hold(!pulse.mark, pulse.us);
    return wave;
}

} // namespace wavemill::signals
