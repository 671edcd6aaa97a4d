// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

namespace wavemill {

/// The board samples its input once every 20.0736 µs. Its exact value, in
/// picoseconds, is the one definition every other form is taken from.
constexpr std::int64_t kSamplePeriodPs = 20073600;

/// The sample period in microseconds, exactly: for generating and exporting
/// signals with the board's own timing.
constexpr double kSamplePeriodUs = double(kSamplePeriodPs) / 1e6;

/// The sample period as the window holds it: the single-precision number
/// nearest to 20.0736, exactly 20.07360076904296875 µs.
constexpr float kSamplePeriod = float(kSamplePeriodUs);
static_assert(double(kSamplePeriod) == 20.07360076904296875);

} // namespace wavemill
