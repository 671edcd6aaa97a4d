// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Signals in continuous time, as lists of level changes, for whoever samples
// them in their own way: the sample captures, the detection's trial bench.
// The board's streamed signals (signals.h) keep their own sample-by-sample
// form.

#include "signals/infrared_codes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace wavemill::signals {

/// From \a atUs on the level is \a high, up to the next change.
struct Change
{
    double atUs;
    bool high;
};

/// A stretch of signal: its changes in time order, the last level holding up
/// to the end. Times are in microseconds from the start of a capture.
struct Waveform
{
    std::vector<Change> changes;
    double endUs = 0;

    /// Holds \a high for \a us from the end on, and moves the end past it.
    void hold(bool high, double us)
    {
        changes.push_back({endUs, high});
        endUs += us;
    }
};

/// How a serial line frames each character: a start bit, 5 to 9 data bits
/// least significant first, an optional parity bit, 1, 1.5 or 2 stop bits;
/// idle high, or low when inverted.
struct UartFraming
{
    enum class Parity { None, Even, Odd };

    int dataBits = 8;
    Parity parity = Parity::None;
    double stopBits = 1;
    bool inverted = false;
};

/// The frames of \a bytes at \a baud from \a fromUs, back to back, each
/// followed by \a gapBits of idle (a bit a data bit of 9 takes beyond a
/// byte is 0). Ends past the last stop bit and its gap.
Waveform uartWaveform(double fromUs, const std::string &bytes, double baud,
                      const UartFraming &framing = {}, double gapBits = 0);

/// A square wave or PWM from \a fromUs to \a toUs: each period of \a
/// periodUs high for \a duty of it (0 to 1) from its start, then low.
Waveform pwmWaveform(double fromUs, double toUs, double periodUs, double duty);

/// A remote control's \a pulses from \a fromUs as a receiver gives them:
/// low during a mark, high during a space.
Waveform infraredWaveform(double fromUs, const IrPulses &pulses);

} // namespace wavemill::signals
