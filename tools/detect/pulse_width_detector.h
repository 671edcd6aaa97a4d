// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"

#include <optional>

namespace wavemill::detect {

/// Pulses whose width carries a value, one pulse at the active level between
/// stretches of idle level: a servo or an RC receiver's channel (pulses of
/// 0.4 to 2.6 ms, one every 2.5 to 30 ms); an RC receiver's PPM stream
/// (pulses of one short width whose spacing of 0.6 to 2.4 ms is each
/// channel's value, a frame of 4 to 16 channels closed by a sync gap); or a
/// sensor whose echo or measurement pulse varies over a range while the
/// period wanders with it (an ultrasonic or lidar ranger): widths spread
/// over many values, neither a few nor whole numbers of one unit (serial
/// data, codes), and no steady period (PWM, which the periodic reading
/// tells). The width range and its statistics are given; read with sigrok's
/// pwm decoder, whose periods a PPM stream's channels are. Its confidence is
/// the share of pulses (PPM: frames) that fit. nullopt when no form fits.
std::optional<TraceDescription> describePulseWidth(const PulseTrain &train);

} // namespace wavemill::detect
