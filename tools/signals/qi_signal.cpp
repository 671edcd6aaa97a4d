// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/qi_signal.h"

namespace wavemill::signals {

namespace {

constexpr double kHalfBitUs = 250;
constexpr int kPreambleOnes = 11;

} // namespace

QiSignal::QiSignal(const std::vector<std::vector<std::uint8_t>> &packets, double everyUs)
{
    std::vector<double> edges;
    double t = 0;
    const auto bit = [&](bool one) {
        edges.push_back(t);
        if (one)
            edges.push_back(t + kHalfBitUs);
        t += 2 * kHalfBitUs;
    };
    for (std::size_t p = 0; p < packets.size(); ++p) {
        t = double(p) * everyUs + everyUs / 2;
        std::vector<std::uint8_t> bytes = packets[p];
        std::uint8_t check = 0;
        for (const std::uint8_t b : bytes)
            check ^= b;
        bytes.push_back(check);
        for (int k = 0; k < kPreambleOnes; ++k)
            bit(true);
        for (const std::uint8_t byte : bytes) {
            bit(false);
            int ones = 0;
            for (int k = 0; k < 8; ++k) {
                bit(((byte >> k) & 1) != 0);
                ones += (byte >> k) & 1;
            }
            bit(ones % 2 == 0); // odd parity
            bit(true);
        }
        // The modulation stops after the last bit: the level goes back to
        // where it idles (low), a change at the end of the stop bit when it
        // was high.
        if (edges.size() % 2 == 1)
            edges.push_back(t);
    }
    setEdges(false, std::move(edges), double(packets.size()) * everyUs);
}

} // namespace wavemill::signals
