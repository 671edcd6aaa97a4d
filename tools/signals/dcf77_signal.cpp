// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/dcf77_signal.h"

namespace wavemill::signals {

namespace {

constexpr double kUsPerMs = 1000;
constexpr double kSecondUs = 1e6;
constexpr int kSecondsAMinute = 60;

/// Puts \a value into \a count bits from \a from in BCD, least significant first.
void putBcd(std::array<int, 59> &bits, int from, int count, int value)
{
    const int code = (value / 10) << 4 | (value % 10);
    for (int k = 0; k < count; ++k)
        bits[std::size_t(from) + std::size_t(k)] = (code >> k) & 1;
}

int parity(const std::array<int, 59> &bits, int from, int to)
{
    int ones = 0;
    for (int k = from; k <= to; ++k)
        ones += bits[std::size_t(k)];
    return ones % 2;
}

} // namespace

std::array<int, 59> Dcf77Signal::minuteBits(const Dcf77Time &time)
{
    std::array<int, 59> bits{};
    // The broadcaster's own bits (warnings, weather) differ minute to minute.
    std::uint32_t noise = 0x9E3779B9u * std::uint32_t(time.hour * 60 + time.minute + 1);
    for (int k = 1; k <= 14; ++k)
        bits[std::size_t(k)] = int((noise >> (k + 7)) & 1);
    bits[17] = time.summer ? 1 : 0;
    bits[18] = time.summer ? 0 : 1;
    bits[20] = 1;
    putBcd(bits, 21, 7, time.minute);
    bits[28] = parity(bits, 21, 27);
    putBcd(bits, 29, 6, time.hour);
    bits[35] = parity(bits, 29, 34);
    putBcd(bits, 36, 6, time.day);
    putBcd(bits, 42, 3, time.weekday);
    putBcd(bits, 45, 5, time.month);
    putBcd(bits, 50, 8, time.year);
    bits[58] = parity(bits, 36, 57);
    return bits;
}

Dcf77Signal::Dcf77Signal(const Dcf77Time &first, int fromSecond, int minutes, bool activeHigh,
                         double zeroMs, double oneMs)
{
    Waveform wave;
    wave.hold(!activeHigh, 0);
    Dcf77Time time = first;
    for (int m = 0; m < minutes; ++m) {
        const std::array<int, 59> bits = minuteBits(time);
        for (int s = m == 0 ? fromSecond : 0; s < kSecondsAMinute; ++s) {
            const double width = s >= 59 ? 0 : (bits[std::size_t(s)] ? oneMs : zeroMs) * kUsPerMs;
            wave.hold(activeHigh, width);
            wave.hold(!activeHigh, kSecondUs - width);
        }
        if (++time.minute == kSecondsAMinute) {
            time.minute = 0;
            time.hour = (time.hour + 1) % 24;
        }
    }
    setWaveform(wave, false);
}

} // namespace wavemill::signals
