// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/one_wire_signal.h"

namespace wavemill::signals {

namespace {

/// Standard speed, from the 1-Wire timing tables: reset low 480 µs, the
/// device answers 30 µs after release with 120 µs of presence, and the
/// reset's time slot lasts 960 µs in all; a write slot is 65 µs, low 6 µs
/// for a 1 and 60 µs for a 0.
constexpr double kResetUs = 480, kPresenceWaitUs = 30, kPresenceUs = 120, kResetSlotUs = 960;
constexpr double kSlotUs = 65, kOneLowUs = 6, kZeroLowUs = 60;
constexpr double kLeadInUs = 1000;

} // namespace

OneWireSignal::OneWireSignal(const std::vector<std::uint8_t> &bytes, double everyUs)
{
    Waveform wave;
    wave.hold(true, kLeadInUs);
    wave.hold(false, kResetUs);
    wave.hold(true, kPresenceWaitUs);
    wave.hold(false, kPresenceUs);
    wave.hold(true, kResetSlotUs - kResetUs - kPresenceWaitUs - kPresenceUs);
    for (const std::uint8_t byte : bytes) {
        for (int k = 0; k < 8; ++k) {
            const double low = ((byte >> k) & 1) != 0 ? kOneLowUs : kZeroLowUs;
            wave.hold(false, low);
            wave.hold(true, kSlotUs - low);
        }
    }
    wave.hold(true, everyUs - wave.endUs);
    setWaveform(wave, true);
}

} // namespace wavemill::signals
