// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"

#include <optional>

namespace wavemill::detect {

/// A trace whose rising edges come at a steady period: a clock or a PWM
/// signal. Its confidence is the share of periods within the tolerance of
/// the median one. No guess (nullopt) below kMinPeriods periods.
std::optional<TraceDescription> describePeriodic(const PulseTrain &train);

/// Fewest whole periods a periodic guess is made from.
constexpr int kMinPeriods = 8;

} // namespace wavemill::detect
