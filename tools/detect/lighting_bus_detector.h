// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"

#include <optional>

namespace wavemill::detect {

/// A lighting control bus: DALI (bi-phase at 1200 bit/s, idle high; forward
/// frames of a start bit and 16 bits, or 24 in DALI-2, and backward frames
/// of a start bit and 8) or DSI (bi-phase at 600 bit/s, idle low; frames of
/// a start bit and 8 bits, the lamp level). The trace is cut into frames at
/// stretches of idle level longer than a bit; a frame reads when every run
/// is one or two half-bits of the family's clock (within 15 % of nominal,
/// a receiver's skew set back), every bit has its mid-bit edge, and the
/// bits number one of the family's frame lengths. Read with sigrok's dali
/// or dsi decoder, with the polarity found. Named when most bursts read
/// (see BurstTally); nullopt when none does.
std::optional<TraceDescription> describeLightingBus(const PulseTrain &train);

} // namespace wavemill::detect
