// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/waveform_signal.h"

#include <array>
#include <cstdint>

namespace wavemill::signals {

/// A date and time as DCF77 sends it (local time in Germany).
struct Dcf77Time
{
    int year = 26; // two digits
    int month = 1;
    int day = 1;
    int weekday = 4; // 1 Monday to 7 Sunday
    int hour = 0;
    int minute = 0;
    bool summer = false; // CEST rather than CET
};

/// A DCF77 receiver module's output: a pulse at the start of each second,
/// 100 ms for a 0 and 200 ms for a 1, none in second 59, the minute mark.
/// Each minute carries the time of the minute that follows it: bit 0 is 0,
/// bits 1 to 14 the broadcaster's own (here pseudo-random), 17 and 18 CEST
/// and CET, 20 a 1, then minute, hour, day, weekday, month and year in BCD,
/// least significant bit first, with even parity over minute (bit 28), hour
/// (35) and date (58). The first minute sent announces \a first; later ones
/// count on by a minute (the hour rolls over, the date stays). The signal
/// starts at second \a fromSecond of the first minute and lasts \a minutes
/// minutes; pulses are high on a low idle level, or the other way round.
class Dcf77Signal : public WaveformSignal
{
public:
    Dcf77Signal(const Dcf77Time &first, int fromSecond, int minutes, bool activeHigh = true,
                double zeroMs = 100, double oneMs = 200);

    /// The 59 bits of the minute that announces \a time.
    static std::array<int, 59> minuteBits(const Dcf77Time &time);
};

} // namespace wavemill::signals
