// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/edge_signal.h"

#include <cstdint>
#include <vector>

namespace wavemill::signals {

/// A LIN bus as a transceiver's receive pin gives it (recessive high): a
/// master's headers, each a break of 13 bits or more at the dominant level,
/// a delimiter, the sync byte 0x55 and the protected identifier (the id and
/// its two parity bits), and the response of data bytes and a checksum, 8N1.
class LinBus : public EdgeSignal
{
public:
    struct Frame
    {
        int id = 0;                     // 0 to 63
        std::vector<std::uint8_t> data; // none: a header without response
    };

    struct Options
    {
        double baud = 19200;
        std::vector<Frame> frames{{0x01, {0x11, 0x22}}};
        double everyUs = 50000; // from one frame's break to the next
        double breakBits = 13;
        double delimiterBits = 1;
        bool enhanced = true; // the LIN 2 checksum, over the identifier too (but of ids 60, 61)
    };

    explicit LinBus(const Options &options);

    /// The protected identifier of \a id: its parity bits on top.
    static std::uint8_t protectedId(int id);
    /// The checksum of \a data (and of \a pid when enhanced).
    static std::uint8_t checksum(std::uint8_t pid, const std::vector<std::uint8_t> &data,
                                 bool enhanced);
};

} // namespace wavemill::signals
