// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"

#include <optional>

namespace wavemill::detect {

/// HDMI-CEC: a bus that idles high, each message a start bit (3.7 ms low of
/// 4.5 ms) and blocks of ten bits (2.4 ms each, low for 1.5 ms for a 0 and
/// 0.6 ms for a 1): eight data bits, most significant first, end of message
/// and acknowledge. The first block is the header (initiator, destination),
/// the second the opcode, then operands. A message reads when every bit fits
/// its window and it ends after a block that says so or is not
/// acknowledged (a poll of an absent device). Read with sigrok's cec
/// decoder. Named when most messages read (see BurstTally); nullopt when
/// no start bit is seen.
std::optional<TraceDescription> describeCec(const PulseTrain &train);

} // namespace wavemill::detect
