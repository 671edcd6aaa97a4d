// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "board/signal_pin.h"

#include "core/sample_period.h"
#include "core/samples.h"

#include <cmath>

namespace wavemill::board {

namespace {

using signals::kForever;

/// Stretches of one level looked through before advance() gives up finding a
/// change: a UART byte of ones is 10 bit-stretches, a long idle line a few
/// hundred; a constant square wave would be endless.
constexpr int kMaxStretchesScanned = 1 << 16;

constexpr double kSamplePeriodSeconds = double(kSamplePeriodPs) * 1e-12;

} // namespace

SignalPin::SignalPin(signals::Signal &signal) : m_signal(signal)
{
    m_signal.rewind();
    const signals::Stretch first = stretchFrom(0);
    m_level = first.high;
    m_until = first.until;
}

double SignalPin::advance()
{
    for (int scanned = 0; scanned < kMaxStretchesScanned; ++scanned) {
        if (!std::isfinite(m_until))
            return kForever;
        const double at = m_until;
        const signals::Stretch next = stretchFrom(at);
        // A stretch always moves time on, even one that claims to end where
        // it starts.
        m_until = std::fmax(next.until, std::nextafter(at, kForever));
        if (next.high != m_level) {
            m_level = next.high;
            return at;
        }
    }
    return m_until;
}

signals::Stretch SignalPin::stretchFrom(double seconds)
{
    if (const std::optional<signals::Stretch> own = m_signal.stretchAt(seconds))
        return *own;
    // Sample by sample, in order: each stretch starts where the last ended.
    if (!m_ended && m_bit == kSamplesPerByte) {
        m_ended = !m_signal.nextByte(m_byte);
        m_bit = 0;
    }
    if (m_ended)
        return {m_level, kForever};
    const bool high = sampleLevel(m_byte, m_bit++);
    ++m_sample;
    return {high, double(m_sample) * kSamplePeriodSeconds};
}

} // namespace wavemill::board
