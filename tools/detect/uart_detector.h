// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"
#include "detect/uart_reading.h"

#include <optional>

namespace wavemill::detect {

/// An asynchronous serial line in any framing sigrok's uart decoder reads
/// (5 to 9 data bits, no parity or an even or odd one, one or two stop
/// bits), idling high or (inverted) low, read as readUart() reads it: the
/// polarity whose idle level the line rests at, and of the two the one more
/// of whose checks pass. A line whose breaks each open a frame that begins
/// with the sync byte 0x55 is a LIN bus, decoded by uart with lin stacked
/// on it. No guess (nullopt) where readUart() makes none.
std::optional<TraceDescription> describeUart(const PulseTrain &train);

} // namespace wavemill::detect
