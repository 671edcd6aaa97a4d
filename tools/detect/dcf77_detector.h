// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"

#include <optional>

namespace wavemill::detect {

/// A DCF77 time-signal receiver's output: a pulse at the start of every
/// second, 100 ms for a 0 and 200 ms for a 1, none in the last second of a
/// minute. Pulses shorter than 50 ms are taken as noise and set aside; the
/// seconds are counted on a grid of whole seconds from pulse to pulse, so
/// that a noise pulse between two seconds neither adds a bit nor shifts the
/// ones after it. A whole minute (its 59 bits after a minute mark) gives the
/// date and time, with its parity bits and fixed bits checked; less than
/// that gives the bits read. The active level is whichever the pulses are
/// at (receivers give either); sigrok's dcf77 decoder reads high pulses
/// only and is run only on those. Its confidence is the share of checks
/// passed: each pulse's width, each second's place on the grid, each
/// minute's parity and fixed bits. nullopt below four seconds, or with
/// pulses of one width only and no minute mark (a plain 1 Hz pulse train).
std::optional<TraceDescription> describeDcf77(const PulseTrain &train);

} // namespace wavemill::detect
