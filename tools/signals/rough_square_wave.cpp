// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/rough_square_wave.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <set>

namespace wavemill::signals {

namespace {

/// Uniform in [low, high) from the engine's bits alone, the same everywhere.
double uniform(std::mt19937 &engine, double low, double high)
{
    return low + (high - low) * double(engine()) / 4294967296.0;
}

EdgeSignal::Sketch sketchOf(const RoughSquareWave::Options &o)
{
    std::mt19937 engine(o.seed);
    const double period = 1e6 / o.frequencyHz;
    // The edges of the wave, each moved, and the glitches' edges: a glitch
    // is two changes that flip the level and flip it back.
    std::multiset<double> changes;
    const auto periods = std::int64_t(std::ceil(o.lengthUs / period));
    for (std::int64_t n = 0; n < periods; ++n) {
        const double t = double(n) * period; // from the count, so that no error adds up
        for (const double at : {t, t + o.duty * period}) {
            if (at > 0 && at < o.lengthUs)
                changes.insert(std::clamp(at + uniform(engine, -o.jitterUs, o.jitterUs), 0.0,
                                          o.lengthUs));
        }
    }
    for (int g = 0; g < o.glitches; ++g) {
        const double at = uniform(engine, 0, o.lengthUs - o.glitchUs);
        changes.insert(at);
        changes.insert(at + o.glitchUs);
    }
    EdgeSignal::Sketch s(true);
    bool level = true;
    double last = 0;
    for (const double at : changes) {
        s.hold(level, at - last);
        last = at;
        level = !level;
    }
    s.hold(level, o.lengthUs - last);
    return s;
}

} // namespace

RoughSquareWave::RoughSquareWave(const Options &options) : EdgeSignal(sketchOf(options), 0) {}

} // namespace wavemill::signals
