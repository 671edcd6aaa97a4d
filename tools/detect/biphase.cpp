// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/biphase.h"

#include <cmath>

namespace wavemill::detect {

namespace {

/// Runs from half a nominal unit to one and a half are taken as one unit
/// when the clock is measured, whatever the skew.
constexpr double kOneUnitLow = 0.5;
constexpr double kOneUnitHigh = 1.5;
/// Fewest runs of one unit a clock is measured from.
constexpr int kMinUnitRuns = 4;
/// A run is a whole number of units within this share of a unit, and the
/// sample the sampling alone may add or take.
constexpr double kUnitTolerance = 0.30;
constexpr double kSlackSamples = 1.0;

} // namespace

std::optional<BiphaseClock>
measureBiphaseClock(const PulseTrain &train, const std::vector<RunSpan> &spans, double nominalUnit)
{
    const std::vector<Run> &runs = train.runs();
    double sums[2] = {0, 0};
    int counts[2] = {0, 0};
    for (const RunSpan &span : spans) {
        for (std::size_t i = span.first; i < span.end; ++i) {
            const auto length = double(runs[i].length);
            if (length < kOneUnitLow * nominalUnit || length > kOneUnitHigh * nominalUnit)
                continue;
            sums[runs[i].high] += length;
            ++counts[runs[i].high];
        }
    }
    if (counts[0] + counts[1] < kMinUnitRuns)
        return std::nullopt;
    // With runs of one unit at one level only, there is nothing to tell a skew by.
    if (counts[0] == 0 || counts[1] == 0) {
        const int level = counts[1] > 0 ? 1 : 0;
        return BiphaseClock{sums[level] / counts[level], 0};
    }
    const double high = sums[1] / counts[1];
    const double low = sums[0] / counts[0];
    return BiphaseClock{(high + low) / 2, (high - low) / 2};
}

std::optional<std::vector<bool>> biphaseHalves(const PulseTrain &train, const RunSpan &span,
                                               const BiphaseClock &clock, int longestUnits)
{
    const std::vector<Run> &runs = train.runs();
    std::vector<bool> halves;
    halves.reserve(2 * span.size());
    for (std::size_t i = span.first; i < span.end; ++i) {
        const double length = double(runs[i].length) + (runs[i].high ? -clock.skew : clock.skew);
        const double units = std::round(length / clock.unit);
        if (units < 1 || units > longestUnits ||
            std::fabs(length - units * clock.unit) > kUnitTolerance * clock.unit + kSlackSamples)
            return std::nullopt;
        halves.insert(halves.end(), std::size_t(units), runs[i].high);
    }
    return halves;
}

} // namespace wavemill::detect
