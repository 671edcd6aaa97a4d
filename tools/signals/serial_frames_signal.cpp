// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/serial_frames_signal.h"

#include <algorithm>

namespace wavemill::signals {

namespace {

/// Idle before the first message.
constexpr double kLeadInUs = 1000;

} // namespace

SerialFramesSignal::SerialFramesSignal(const std::vector<std::uint8_t> &message,
                                       const SerialFraming &framing, double everyUs)
{
    const double bit = 1e6 / framing.baud;
    // The levels bit by bit, then the stretches of each level.
    std::vector<std::pair<bool, double>> stretches{{true, kLeadInUs}};
    if (framing.breakUs > 0) {
        stretches.emplace_back(false, framing.breakUs);
        stretches.emplace_back(true, framing.markAfterBreakUs);
    }
    for (const std::uint8_t byte : message) {
        stretches.emplace_back(false, bit);
        for (int k = 0; k < 8; ++k)
            stretches.emplace_back(((byte >> k) & 1) != 0, bit);
        stretches.emplace_back(true, framing.stopBits * bit);
    }
    EdgeList edges(true);
    double used = 0;
    bool level = true;
    double held = 0;
    const auto flush = [&] {
        if (held <= 0)
            return;
        // A coupler that narrows lows gives the rest of the stretch back to high.
        if (!level && framing.narrowLowUs > 0 && held > framing.narrowLowUs) {
            edges.hold(false, framing.narrowLowUs);
            edges.hold(true, held - framing.narrowLowUs);
        } else {
            edges.hold(level, held);
        }
        used += held;
        held = 0;
    };
    for (const auto &[high, us] : stretches) {
        if (high != level) {
            flush();
            level = high;
        }
        held += us;
    }
    flush();
    edges.hold(true, std::max(0.0, everyUs - used));
    setEdges(true, edges.take(), std::max(everyUs, used));
}

} // namespace wavemill::signals
