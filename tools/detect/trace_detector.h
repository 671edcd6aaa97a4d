// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/trace_description.h"

#include "core/trace_buffers.h"

namespace wavemill::detect {

/// Describes what one trace carries from its pulses alone: flat, periodic
/// (a clock or PWM), UART, an infrared remote code, or unrecognised with its
/// pulse widths. A steady period is taken first (a square wave is also a
/// stream of 0x55 bytes); otherwise the remote or UART guess that passed
/// more of its checks, if it reached kConfidenceThreshold. An unrecognised
/// trace keeps the best guess not taken among its evidence.
TraceDescription describeTrace(const TraceBuffer &buffer);

} // namespace wavemill::detect
