// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/signals.h"

#include <cstdint>

namespace wavemill::board {

/// A signal as an input pin sees it: its level from the start on, change by
/// change, at times in seconds. A signal defined in continuous time (square,
/// uart, a remote control) changes at its own edge times; one known only
/// sample by sample (random bytes, a file) changes on the sample grid, and
/// holds its last level once it has ended (high if it never began, as the
/// pin's pull-up leaves it).
class SignalPin
{
public:
    /// Starts \a signal from its beginning; it must outlive the pin.
    explicit SignalPin(signals::Signal &signal);

    /// The level now: at the start, then after the change advance() moved to.
    bool level() const { return m_level; }

    /// Moves to the next change of level and returns its time, or kForever
    /// when the level holds for good. A level that holds through very many
    /// stretches (a square wave of duty 0 or 1) returns a time at which the
    /// level stays as it was, so that a caller never waits on an endless scan.
    double advance();

private:
    /// The stretch from \a seconds on: the signal's own, or the next sample's.
    signals::Stretch stretchFrom(double seconds);

    signals::Signal &m_signal;
    bool m_level = true;
    double m_until = 0; // when the stretch of m_level ends
    // Reading a sampled signal: the byte in hand and the next sample in it.
    std::uint8_t m_byte = 0;
    int m_bit = kSamplesPerByte;
    std::uint64_t m_sample = 0;
    bool m_ended = false;
};

} // namespace wavemill::board
