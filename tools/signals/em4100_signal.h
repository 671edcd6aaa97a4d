// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/waveform_signal.h"

#include <cstdint>
#include <vector>

namespace wavemill::signals {

/// A 125 kHz read-only RFID tag of the EM4100 kind as a reader chip
/// demodulates it: its 64-bit frame sent again and again without a gap, in
/// Manchester code of one bit every \a rfDivider cycles of the carrier (64,
/// 32 or 16). Each bit is two half-bits of opposite level; a 1 is high
/// then low, or with \a oneHighFirst false low then high (the reader chip's
/// polarity). With several frames they are sent in turn.
class Em4100Signal : public WaveformSignal
{
public:
    /// The tag's frame: 9 ones, then 10 rows of 4 bits (the customer byte,
    /// then the 32-bit ID, most significant first) each with an even parity
    /// bit, then 4 even column parities over the rows and a stop bit 0.
    static std::vector<bool> frame(std::uint8_t customer, std::uint32_t id);

    Em4100Signal(std::uint8_t customer, std::uint32_t id, int rfDivider = 64,
                 bool oneHighFirst = true);
    Em4100Signal(const std::vector<std::vector<bool>> &frames, int rfDivider, bool oneHighFirst);
};

} // namespace wavemill::signals
