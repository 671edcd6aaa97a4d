// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/oregon_signal.h"

namespace wavemill::signals {

namespace {

constexpr double kHalfBitUs = 1e6 / 1024 / 2;
constexpr int kPreamble3 = 24;
constexpr int kPreamble21 = 16;
constexpr int kSync = 0xA;
constexpr double kLeadInUs = 5000;

} // namespace

OregonSignal::OregonSignal(bool version21, const char *sensorId, int channel, int rollingCode,
                           const std::vector<int> &readings, double everyUs, double skewUs,
                           bool activeHigh)
{
    std::vector<int> nibbles;
    for (const char *c = sensorId; *c; ++c)
        nibbles.push_back(*c <= '9' ? *c - '0' : (*c | 0x20) - 'a' + 10);
    nibbles.push_back(channel & 0x0F);
    nibbles.push_back((rollingCode >> 4) & 0x0F);
    nibbles.push_back(rollingCode & 0x0F);
    nibbles.push_back(0); // flags: battery fine
    nibbles.insert(nibbles.end(), readings.begin(), readings.end());
    int sum = 0;
    for (const int n : nibbles) {
        sum += n;
        if (sum > 255)
            sum -= 255;
    }
    if (version21)
        sum = (sum - 10 + 255) % 255;
    nibbles.push_back(sum & 0x0F);
    nibbles.push_back(sum >> 4);

    std::vector<bool> bits(version21 ? kPreamble21 : kPreamble3, true);
    const auto addNibble = [&bits](int value) {
        for (int k = 0; k < 4; ++k)
            bits.push_back(((value >> k) & 1) != 0);
    };
    addNibble(kSync);
    for (const int n : nibbles)
        addNibble(n);
    if (version21) {
        std::vector<bool> twice;
        for (const bool b : bits) {
            twice.push_back(!b);
            twice.push_back(b);
        }
        bits = twice;
    }
    // The carrier in the first half of a 1, in the second of a 0.
    std::vector<bool> halves;
    for (const bool b : bits) {
        halves.push_back(b);
        halves.push_back(!b);
    }
    Waveform wave;
    wave.hold(!activeHigh, 0);
    wave.hold(!activeHigh, kLeadInUs);
    for (std::size_t k = 0; k < halves.size();) {
        std::size_t run = 1;
        while (k + run < halves.size() && halves[k + run] == halves[k])
            ++run;
        const bool carrier = halves[k];
        wave.hold(carrier == activeHigh, double(run) * kHalfBitUs + (carrier ? -skewUs : skewUs));
        k += run;
    }
    wave.hold(!activeHigh, kHalfBitUs); // back to idle after a last half with the carrier on
    wave.hold(!activeHigh, everyUs - wave.endUs);
    setWaveform(wave, true);
}

} // namespace wavemill::signals
