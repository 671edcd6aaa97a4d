// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/em4100_signal.h"

#include "signals/waveform.h"

namespace wavemill::signals {

namespace {

/// The reader's carrier, 125 kHz: 8 µs a cycle.
constexpr double kCarrierCycleUs = 8;
constexpr int kHeaderOnes = 9;
/// The customer byte and the ID: 10 rows of 4 bits.
constexpr int kRows = 10;
constexpr int kRowBits = 4;

} // namespace

std::vector<bool> Em4100Signal::frame(std::uint8_t customer, std::uint32_t id)
{
    const std::uint64_t payload = (std::uint64_t(customer) << 32) | id;
    std::vector<bool> bits(kHeaderOnes, true);
    std::vector<bool> columns(kRowBits, false);
    for (int row = 0; row < kRows; ++row) {
        bool parity = false;
        for (int k = 0; k < kRowBits; ++k) {
            const bool bit =
                ((payload >> ((kRows - 1 - row) * kRowBits + (kRowBits - 1 - k))) & 1) != 0;
            bits.push_back(bit);
            parity = parity != bit;
            columns[std::size_t(k)] = columns[std::size_t(k)] != bit;
        }
        bits.push_back(parity);
    }
    bits.insert(bits.end(), columns.begin(), columns.end());
    bits.push_back(false);
    return bits;
}

Em4100Signal::Em4100Signal(std::uint8_t customer, std::uint32_t id, int rfDivider,
                           bool oneHighFirst)
    : Em4100Signal(std::vector<std::vector<bool>>{frame(customer, id)}, rfDivider, oneHighFirst)
{
}

Em4100Signal::Em4100Signal(const std::vector<std::vector<bool>> &frames, int rfDivider,
                           bool oneHighFirst)
{
    const double halfBitUs = kCarrierCycleUs * rfDivider / 2;
    Waveform wave;
    for (const std::vector<bool> &bits : frames) {
        for (const bool bit : bits) {
            const bool first = bit == oneHighFirst;
            wave.hold(first, halfBitUs);
            wave.hold(!first, halfBitUs);
        }
    }
    // Frames end with a 0 and open with a 1, so the level at the end is the
    // one at the start: the frames repeat as they are.
    setWaveform(wave, true);
}

} // namespace wavemill::signals
