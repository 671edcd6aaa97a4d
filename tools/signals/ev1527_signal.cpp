// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/ev1527_signal.h"

namespace wavemill::signals {

namespace {

constexpr int kIdBits = 20;
constexpr int kDataBits = 4;
/// The sync's gap, in units.
constexpr double kSyncGap = 31;
/// Idle before the first press.
constexpr double kLeadInUs = 20000;

} // namespace

Ev1527Signal::Ev1527Signal(std::uint32_t id, int data, double unitUs, int frames, double pressUs,
                           bool activeHigh)
{
    Waveform wave;
    wave.hold(!activeHigh, kLeadInUs);
    const std::uint32_t code = (id << kDataBits) | std::uint32_t(data & 0x0F);
    for (int f = 0; f < frames; ++f) {
        wave.hold(activeHigh, unitUs);
        wave.hold(!activeHigh, kSyncGap * unitUs);
        for (int k = kIdBits + kDataBits - 1; k >= 0; --k) {
            const bool one = (code >> k) & 1;
            wave.hold(activeHigh, (one ? 3 : 1) * unitUs);
            wave.hold(!activeHigh, (one ? 1 : 3) * unitUs);
        }
    }
    wave.hold(!activeHigh, pressUs - wave.endUs);
    setWaveform(wave, true);
}

} // namespace wavemill::signals
