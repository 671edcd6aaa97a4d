// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/cec_signal.h"

namespace wavemill::signals {

namespace {

/// The nominal timings of the CEC standard.
constexpr double kStartLowUs = 3700, kStartUs = 4500;
constexpr double kBitUs = 2400, kZeroLowUs = 1500, kOneLowUs = 600;
constexpr int kBroadcast = 0x0F;

} // namespace

CecSignal::CecSignal(const std::vector<std::vector<std::uint8_t>> &messages, double gapUs)
{
    Waveform wave;
    const auto bit = [&](bool one) {
        const double low = one ? kOneLowUs : kZeroLowUs;
        wave.hold(false, low);
        wave.hold(true, kBitUs - low);
    };
    for (const std::vector<std::uint8_t> &message : messages) {
        wave.hold(true, gapUs);
        wave.hold(false, kStartLowUs);
        wave.hold(true, kStartUs - kStartLowUs);
        const bool broadcast = (message.front() & 0x0F) == kBroadcast;
        for (std::size_t k = 0; k < message.size(); ++k) {
            for (int b = 7; b >= 0; --b)
                bit(((message[k] >> b) & 1) != 0);
            bit(k + 1 == message.size());
            bit(broadcast);
        }
    }
    wave.hold(true, gapUs);
    setWaveform(wave, true);
}

} // namespace wavemill::signals
