// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"

#include <optional>

namespace wavemill::detect {

/// A 433 MHz weather sensor of Oregon Scientific's protocols 2.1 and 3, as
/// an on-off-keying receiver gives it (high while the carrier is on, or the
/// other way round): bi-phase at 1024 bit/s in bursts, each a preamble of
/// ones, a sync nibble (0xA) and nibbles sent least significant bit first
/// (2.1 sends every bit twice, inverted first): the sensor id, channel,
/// rolling code, flags, the readings and a checksum, the sum of the nibbles
/// before it. A receiver's skew (its highs longer or shorter than its lows)
/// is measured and set back. A burst counts when it opens with a preamble;
/// it reads when its bits are whole after the sync, and its checksum is one
/// check. Read with sigrok's ook and ook_oregon decoders stacked, which name
/// the sensor and its readings. Named when most bursts read (see
/// BurstTally); nullopt when no burst has a preamble and a sync.
std::optional<TraceDescription> describeOregon(const PulseTrain &train);

} // namespace wavemill::detect
