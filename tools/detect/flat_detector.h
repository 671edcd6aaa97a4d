// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"

#include <optional>

namespace wavemill::detect {

/// A trace that holds one level all along: no guess (nullopt) once it changes.
std::optional<TraceDescription> describeFlat(const PulseTrain &train);

} // namespace wavemill::detect
