// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"

#include "core/trace_buffers.h"

namespace wavemill::detect {

/// Describes what one trace carries from its pulses alone, with the
/// detectors of one table (trace_detector.cpp): flat, periodic (a clock or
/// PWM), an infrared remote code, UART, or unrecognised with its pulse
/// widths. A guess is named only when it reached kConfidenceThreshold; an
/// unrecognised trace keeps the best guess not taken among its evidence.
TraceDescription describeTrace(const PulseTrain &train);
/// The same for a board capture's trace.
TraceDescription describeTrace(const TraceBuffer &buffer);

} // namespace wavemill::detect
