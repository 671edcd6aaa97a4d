// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/serial_messages.h"

namespace wavemill::signals {

namespace {

/// The bits of one character's frame, true for the idle level: start bit,
/// data bits least significant first, parity bit, stop bits.
std::vector<bool> frameBits(unsigned value, const SerialMessages::Options &o)
{
    std::vector<bool> bits{false};
    int ones = 0;
    for (int k = 0; k < o.dataBits; ++k) {
        const bool one = ((value >> k) & 1u) != 0;
        ones += one;
        bits.push_back(one);
    }
    if (o.parity == 'E')
        bits.push_back(ones % 2 == 1);
    else if (o.parity == 'O')
        bits.push_back(ones % 2 == 0);
    bits.insert(bits.end(), std::size_t(o.stopBits), true);
    return bits;
}

} // namespace

SerialMessages::SerialMessages(const Options &options) : EdgeSignal(sketch(options), 0) {}

EdgeSignal::Sketch SerialMessages::sketch(const Options &o)
{
    const double bitUs = 1e6 / o.baud;
    const bool idle = !o.inverted;
    // Levels first at their nominal times, then each active stretch cut short.
    std::vector<std::pair<bool, double>> held;
    for (const std::string &message : o.messages) {
        held.emplace_back(true, o.pauseUs);
        if (o.breakUs > 0) {
            held.emplace_back(false, o.breakUs);
            held.emplace_back(true, o.markAfterBreakUs);
        }
        for (const char c : message) {
            for (const bool bit : frameBits(static_cast<unsigned char>(c), o))
                held.emplace_back(bit, bitUs);
        }
    }
    Sketch s(idle);
    double carried = 0; // time the last active stretch gave to the idle one after it
    for (std::size_t i = 0; i < held.size(); ++i) {
        const bool isIdle = held[i].first;
        double us = held[i].second + carried;
        carried = 0;
        if (!isIdle && (i + 1 == held.size() || held[i + 1].first)) {
            us -= o.activeCutUs; // the active stretch ends here: its end comes early
            carried = o.activeCutUs;
        }
        s.hold(isIdle == idle, us);
    }
    return s;
}

} // namespace wavemill::signals
