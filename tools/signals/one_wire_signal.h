// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/waveform_signal.h"

#include <cstdint>
#include <vector>

namespace wavemill::signals {

/// A 1-Wire bus at standard speed, idle high: a reset (480 µs low), a
/// device's presence pulse, then \a bytes written least significant bit
/// first in slots of 65 µs (low 6 µs for a 1, 60 µs for a 0), the whole
/// again every \a everyUs, as a host polls a temperature sensor.
class OneWireSignal : public WaveformSignal
{
public:
    OneWireSignal(const std::vector<std::uint8_t> &bytes, double everyUs);
};

} // namespace wavemill::signals
