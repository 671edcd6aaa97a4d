// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"

#include <optional>

namespace wavemill::detect {

/// A Qi wireless-charging receiver's packets, demodulated: differential
/// bi-phase at 2 kbit/s (a change of level at every bit's start, and one
/// more in its middle for a 1), a preamble of ones, then bytes of a start
/// bit, eight data bits least significant first, an odd parity bit and a
/// stop bit: the header, whose value gives the message's length, the
/// message and a checksum, the exclusive or of the others. Runs that are
/// not one or two half-bits (the noise of a demodulator between packets)
/// separate the packets and count for nothing. A packet counts from its
/// preamble and first start bit; it reads when every byte is framed and
/// the message is whole, and its checksum is one check. Read with sigrok's
/// qi decoder. Named when most packets read (see BurstTally); nullopt when
/// none does.
std::optional<TraceDescription> describeQi(const PulseTrain &train);

} // namespace wavemill::detect
