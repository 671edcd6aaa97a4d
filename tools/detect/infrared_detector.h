// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"

#include <optional>

namespace wavemill::detect {

/// A remote control's code as a demodulating receiver gives it. The trace is
/// cut into bursts at long stretches of idle level, marks too short for any
/// remote (a receiver twitching at a lamp) read as idle; each burst is read
/// as a frame of every family whose leader it opens with (NEC and its repeat
/// code, RC-6 in any mode, and the families sigrok has no decoder for:
/// Samsung, JVC and its repeats without a leader, Kaseikyo, SIRC), or as
/// RC-5, which has no leader; a frame counts when every mark and space of it
/// fits its family's timing, within a sample of the train's own. Its
/// confidence is the share of bursts read as the families most of them are;
/// bursts the capture's start or end may cut count only when they read, and
/// a few bursts that look like a named family's frames damaged (its leader,
/// or its units) are set aside. No guess (nullopt) when no burst reads as a
/// whole frame, or NEC's repeat code again and again (a key held down).
std::optional<TraceDescription> describeInfrared(const PulseTrain &train);

} // namespace wavemill::detect
