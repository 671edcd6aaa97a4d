// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/waveform_signal.h"

#include <cstdint>
#include <vector>

namespace wavemill::signals {

/// How a serial message goes on the line, besides its bytes.
struct SerialFraming
{
    double baud = 9600;
    int stopBits = 1;
    /// A break (the line held low) before each message, and the mark after
    /// it, as DMX and LIN send; 0: none.
    double breakUs = 0;
    double markAfterBreakUs = 0;
    /// Every low stretch cut to this long, as a slow optocoupler passes a
    /// line that idles high; 0: as sent.
    double narrowLowUs = 0;
};

/// A message of bytes on an asynchronous serial line that idles high (a
/// start bit, eight data bits least significant first, the stop bits),
/// sent again every \a everyUs: MIDI at 31,250 bit/s, DMX at 250,000 with a
/// break, or any line through a coupler that narrows its low pulses.
class SerialFramesSignal : public WaveformSignal
{
public:
    SerialFramesSignal(const std::vector<std::uint8_t> &message, const SerialFraming &framing,
                       double everyUs);
};

} // namespace wavemill::signals
