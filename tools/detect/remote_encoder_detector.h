// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"

#include <optional>

namespace wavemill::detect {

/// A 433 MHz remote control's encoder chip, as the transmitter keys it
/// (high while sending, or the other way round): frames of 24 pulses of one
/// unit or three, each with a gap of three or one (together four units),
/// and a sync: a pulse of one unit and a gap of 31. PT2262-type encoders
/// send 12 tri-state digits, two pulses each (short short: 0, long long: 1,
/// short long: floating), then the sync; EV1527-type learning codes send the
/// sync, then 24 bits (a short pulse: 0, a long one: 1), a 20-bit id and 4
/// data bits. Repeated frames look alike; a code whose every pair of pulses
/// is a tri-state digit is read as a PT2262 word (and read with sigrok's
/// rc_encode), any other as an EV1527 code (sigrok has no decoder for it).
/// The unit is measured from the short pulses and gaps. A frame counts
/// between two syncs; frames cut by the recording's start or end are left
/// out. Named when most frames read (see BurstTally); nullopt when none does.
std::optional<TraceDescription> describeRemoteEncoder(const PulseTrain &train);

} // namespace wavemill::detect
