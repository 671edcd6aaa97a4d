// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/sample_period.h"
#include "core/trace_buffers.h"

#include <QList>

#include <cstdint>
#include <vector>

namespace wavemill::sigrok {

/// sigrok keeps a sample rate in whole hertz: the nearest to 1 / 20.0736 µs
/// (49,816.67 Hz). Times sigrok computes from it are 6.5 ppm short, about
/// 67 µs (3.3 samples) at the end of a capture.
constexpr std::uint64_t kSampleRateHz =
    std::uint64_t((1'000'000'000'000 + kSamplePeriodPs / 2) / kSamplePeriodPs);
static_assert(kSampleRateHz == 49817);

/// The time between two samples of a recording at \a rateHz: at sigrok's
/// whole-hertz rate for the board, the board's own 20.0736 µs, which the
/// whole hertz only round.
constexpr double samplePeriodUsAt(std::uint64_t rateHz)
{
    return rateHz == kSampleRateHz ? kSamplePeriodUs : 1e6 / double(rateHz);
}

/// Spreads \a count bytes of a trace into sigrok logic data of unit size 1:
/// sets bit \a bit of the eight sample bytes at out[8 k] to out[8 k + 7] that
/// byte k of \a packed holds, for a high level; other bits are left as they are.
void spreadSamples(const std::uint8_t *packed, std::size_t count, int bit, std::uint8_t *out);

/// The capture's samples as sigrok logic data of unit size 1: one byte per
/// sample, bit i holding the level of traces[i] (numbers 1 to 3, at most 8),
/// kCaptureSamples bytes.
std::vector<std::uint8_t> logicSamples(const TraceBuffers &buffers, const QList<int> &traces);

} // namespace wavemill::sigrok
