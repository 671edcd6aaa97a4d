// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/pt2262_signal.h"

namespace wavemill::signals {

namespace {

/// The encoder's clocks: a short pulse 4, a long one 12, a digit's pulse
/// and gap 16; the sync's gap 124.
constexpr double kShort = 4;
constexpr double kLong = 12;
constexpr double kSyncGap = 124;
/// Idle before the first press.
constexpr double kLeadInUs = 20000;

} // namespace

Pt2262Signal::Pt2262Signal(const std::string &word, double clockUs, int frames, double pressUs,
                           bool activeHigh)
{
    Waveform wave;
    wave.hold(!activeHigh, kLeadInUs);
    const auto pulse = [&](bool longPulse) {
        wave.hold(activeHigh, (longPulse ? kLong : kShort) * clockUs);
        wave.hold(!activeHigh, (longPulse ? kShort : kLong) * clockUs);
    };
    for (int f = 0; f < frames; ++f) {
        for (const char digit : word) {
            pulse(digit == '1');
            pulse(digit != '0');
        }
        wave.hold(activeHigh, kShort * clockUs);
        wave.hold(!activeHigh, kSyncGap * clockUs);
    }
    wave.hold(!activeHigh, pressUs - wave.endUs);
    setWaveform(wave, true);
}

} // namespace wavemill::signals
