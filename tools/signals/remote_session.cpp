// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/remote_session.h"

#include <algorithm>
#include <random>
#include <utility>

namespace wavemill::signals {

namespace {

/// RC-6 counts in units of 16 cycles of 36 kHz; a frame ends on 6 units
/// without signal.
constexpr double kRc6SignalFreeUnits = 6;
/// A stray pulse keeps this far from any burst.
constexpr double kStrayClearanceUs = 5000;

double uniform(std::mt19937 &engine, double low, double high)
{
    return low + (high - low) * double(engine()) / 4294967296.0;
}

EdgeSignal::Sketch sketchOf(const RemoteSession::Options &o)
{
    // Stretches of mark (true) in time order: the bursts' marks, then the
    // strays' wherever they keep clear of the bursts.
    std::vector<std::pair<double, double>> marks; // from, to
    std::vector<std::pair<double, double>> spans; // each burst's
    for (const RemoteSession::Burst &b : o.bursts) {
        double t = b.atUs;
        for (const IrPulse &p : b.pulses) {
            const double us = p.us + (p.mark ? o.markStretchUs : -o.markStretchUs);
            if (p.mark)
                marks.emplace_back(t, t + us);
            t += us;
        }
        spans.emplace_back(b.atUs, t);
    }
    std::mt19937 engine(o.seed);
    for (int n = 0; n < o.strayPulses; ++n) {
        const double at = uniform(engine, 0, o.lengthUs);
        const double us = uniform(engine, o.strayShortestUs, o.strayLongestUs);
        const bool clear = std::none_of(spans.begin(), spans.end(), [&](const auto &span) {
            return at + us > span.first - kStrayClearanceUs && at < span.second + kStrayClearanceUs;
        });
        if (clear)
            marks.emplace_back(at, at + us);
    }
    std::sort(marks.begin(), marks.end());
    // A receiver's output: low during a mark, cut to the length drawn.
    EdgeSignal::Sketch s(true);
    for (const auto &[from, to] : marks) {
        const double start = std::clamp(from, s.endUs(), o.lengthUs);
        const double end = std::clamp(to, start, o.lengthUs);
        s.hold(true, start - s.endUs());
        s.hold(false, end - start);
    }
    s.hold(true, o.lengthUs - s.endUs());
    return s;
}

} // namespace

RemoteSession::RemoteSession(const Options &options) : EdgeSignal(sketchOf(options), 0) {}

IrPulses RemoteSession::rc6ModeFrame(int mode, const std::vector<bool> &bits, bool toggle)
{
    const double t = kRc6UnitUs;
    IrPulses pulses{{true, kRc6LeaderMarkUnits * t}, {false, kRc6LeaderSpaceUnits * t}};
    // Bi-phase, a 1 a mark then a space; the toggle bit twice as long.
    const auto add = [&](bool one, double units) {
        pulses.push_back({one, units * t});
        pulses.push_back({!one, units * t});
    };
    add(true, 1); // the start bit
    for (int k = kRc6ModeBits - 1; k >= 0; --k)
        add(((mode >> k) & 1) != 0, 1);
    add(toggle, 2);
    for (const bool bit : bits)
        add(bit, 1);
    pulses.push_back({false, kRc6SignalFreeUnits * t});
    // Neighbouring halves of one kind are one pulse.
    IrPulses merged;
    for (const IrPulse &p : pulses) {
        if (!merged.empty() && merged.back().mark == p.mark)
            merged.back().us += p.us;
        else
            merged.push_back(p);
    }
    return merged;
}

IrPulses RemoteSession::withoutLeader(const IrPulses &frame)
{
    return frame.size() > 2 ? IrPulses(frame.begin() + 2, frame.end()) : frame;
}

} // namespace wavemill::signals
