// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/edge_signal.h"

#include <string>
#include <vector>

namespace wavemill::signals {

/// Messages on a serial line as real lines send them: in any framing, a
/// pause at the idle level between messages, a break before each one if
/// asked, and the edges as a slow optocoupler or line receiver passes them,
/// the active level's pulses cut short.
class SerialMessages : public EdgeSignal
{
public:
    struct Options
    {
        double baud = 9600;
        int dataBits = 8;  // 5 to 9
        char parity = 'N'; // 'N', 'E' or 'O'
        int stopBits = 1;  // 1 or 2
        bool inverted = false;
        std::vector<std::string> messages{"Hello\r\n"};
        double pauseUs = 20000;  // idle before each message
        double breakUs = 0;      // the line held active before each message, then...
        double markAfterBreakUs = 0; // ...idle this long before its first start bit
        double activeCutUs = 0;  // each pulse at the active level this much shorter
    };

    explicit SerialMessages(const Options &options);

    /// The frames' level changes of \a options' messages, once through.
    static Sketch sketch(const Options &options);
};

} // namespace wavemill::signals
