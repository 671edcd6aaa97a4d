// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/bursts.h"
#include "detect/pulse_train.h"

#include <optional>
#include <vector>

namespace wavemill::detect {

/// The clock of a bi-phase (Manchester) signal in samples: its unit, half a
/// bit, and the skew of a receiver or line that makes every high run longer
/// than its whole number of units by the same time and every low run as much
/// shorter (negative: the highs shorter).
struct BiphaseClock
{
    double unit = 0;
    double skew = 0;
};

/// The clock measured from the runs of \a spans: the runs of about one
/// \a nominalUnit at each level (from half to one and a half of it) are one
/// unit long, less the skew at high and plus it at low. nullopt when fewer
/// than a handful of runs are near one unit.
std::optional<BiphaseClock>
measureBiphaseClock(const PulseTrain &train, const std::vector<RunSpan> &spans, double nominalUnit);

/// The levels of the half-bits (units) of a span, each of its runs set back
/// by the skew and counted as a whole number of units from 1 to \a
/// longestUnits, within 30 % of a unit and a sample; nullopt when a run is not.
std::optional<std::vector<bool>> biphaseHalves(const PulseTrain &train, const RunSpan &span,
                                               const BiphaseClock &clock, int longestUnits = 2);

} // namespace wavemill::detect
