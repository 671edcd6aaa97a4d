// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/waveform_signal.h"

#include <cstdint>
#include <vector>

namespace wavemill::signals {

/// HDMI-CEC messages on the bus, which idles high: each a start bit (3.7 ms
/// low in 4.5 ms), then its bytes (the header first: initiator and
/// destination), each eight bits most significant first, the end-of-message
/// bit and the acknowledge bit, in bits of 2.4 ms, low 1.5 ms for a 0 and
/// 0.6 ms for a 1. A follower acknowledges a message to it by pulling its
/// acknowledge bit to 0; a broadcast's is left at 1. The messages follow
/// one another \a gapUs apart, again and again.
class CecSignal : public WaveformSignal
{
public:
    CecSignal(const std::vector<std::vector<std::uint8_t>> &messages, double gapUs);
};

} // namespace wavemill::signals
