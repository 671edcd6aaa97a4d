// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"

#include <optional>

namespace wavemill::detect {

/// A remote control's code as a demodulating receiver gives it. The trace is
/// cut into bursts at long stretches of idle level; each burst is read as a
/// frame of every family whose leader it opens with (NEC and its repeat
/// code, RC-6, and the families sigrok has no decoder for: Samsung, JVC,
/// Kaseikyo, SIRC), or as RC-5, which has no leader; a frame counts when
/// every mark and space of it fits its family's timing. Its confidence is
/// the share of bursts read as the family most of them are. No guess
/// (nullopt) when no burst reads as a whole frame.
std::optional<TraceDescription> describeInfrared(const PulseTrain &train);

} // namespace wavemill::detect
