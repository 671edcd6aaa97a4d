// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/waveform_signal.h"

#include <cstdint>
#include <vector>

namespace wavemill::signals {

/// A Qi wireless-charging receiver's packets as the transmitter demodulates
/// them, one every \a everyUs in turn: differential bi-phase at 2 kbit/s (a
/// change of level at the start of every bit, another in the middle of a
/// 1), 11 ones of preamble, then each byte as a start bit (0), eight data
/// bits least significant first, an odd parity bit and a stop bit (1): the
/// packet's header and message as given, then their checksum, the exclusive
/// or of them.
class QiSignal : public WaveformSignal
{
public:
    QiSignal(const std::vector<std::vector<std::uint8_t>> &packets, double everyUs);
};

} // namespace wavemill::signals
