// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"

#include <optional>

namespace wavemill::detect {

/// A 125 kHz read-only RFID tag of the EM4100 kind, as a reader chip
/// demodulates it: Manchester code at one bit every 64, 32 or 16 carrier
/// cycles (1953, 3906 or 7812 bit/s), a 64-bit frame sent again and again
/// without a gap: 9 ones, 10 rows of 4 data bits and an even parity bit
/// (the customer byte, then the 32-bit ID), 4 even column parities and a
/// stop bit 0. Runs of one or two half-bits are read as the bits between
/// them, both polarities tried; a frame counts from a 0 and 9 ones, and
/// reads when its 64 bits are whole and its 14 parities and stop bit are
/// right (no other stretch of a frame holds 9 ones). Runs of neither
/// length break the stream: a frame across one is damaged. Named when most
/// frames read (see BurstTally); nullopt when none does. Read with sigrok's
/// em4100 decoder.
std::optional<TraceDescription> describeEm4100(const PulseTrain &train);

} // namespace wavemill::detect
