// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"

#include <optional>

namespace wavemill::detect {

/// Fewest frames a UART guess is made from.
constexpr int kMinUartFrames = 4;
/// A measured bit rate this close to a standard one is taken as that one.
constexpr double kBitRateSnap = 0.03;

/// The standard bit rate within kBitRateSnap of \a measured, or 0 when none is.
double standardBitRate(double measured);

/// An asynchronous serial line, 8 data bits, no parity or an even or odd
/// one, one stop bit, idling high or (inverted) low. The bit is measured
/// from the widths of the pulses at the active level, which are whole
/// numbers of bits; then every frame is checked for its start and stop bit
/// (and parity bit) at the rate found. Its confidence is the smaller of the
/// share of frames framed and the share of pulses that are whole bits, and
/// nothing when the data bits hardly change. No guess (nullopt) below
/// kMinUartFrames frames (more at a rate no standard one is near), with
/// bits shorter than two samples, or slower than any serial line runs.
std::optional<TraceDescription> describeUart(const PulseTrain &train);

} // namespace wavemill::detect
