// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/infrared_codes.h"

namespace wavemill::signals {

namespace {

void append(IrPulses &pulses, bool mark, double us)
{
    pulses.push_back({mark, us});
}

/// A bi-phase bit of two equal halves: \a firstMark says which half is the mark.
void appendBiphase(IrPulses &pulses, bool firstMark, double halfUs)
{
    append(pulses, firstMark, halfUs);
    append(pulses, !firstMark, halfUs);
}

std::vector<bool> bitsLsbFirst(std::uint32_t value, int count)
{
    std::vector<bool> bits;
    bits.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        bits.push_back((value >> i) & 1u);
    return bits;
}

} // namespace

std::vector<bool> bitsMsbFirst(std::uint32_t value, int count)
{
    std::vector<bool> bits;
    for (int i = count - 1; i >= 0; --i)
        bits.push_back((value >> i) & 1u);
    return bits;
}

IrPulses pulseDistanceFrame(const PulseDistanceTiming &timing, const std::vector<bool> &bits)
{
    IrPulses pulses;
    append(pulses, true, timing.leaderMarkUs);
    append(pulses, false, timing.leaderSpaceUs);
    for (const bool bit : bits) {
        append(pulses, true, timing.bitMarkUs);
        append(pulses, false, bit ? timing.oneSpaceUs : timing.zeroSpaceUs);
    }
    append(pulses, true, timing.bitMarkUs); // the last bit's space ends on it
    return pulses;
}

IrPulses pulseWidthFrame(const PulseWidthTiming &timing, const std::vector<bool> &bits)
{
    IrPulses pulses;
    append(pulses, true, timing.leaderMarkUs);
    for (const bool bit : bits) {
        append(pulses, false, timing.spaceUs);
        append(pulses, true, bit ? timing.oneMarkUs : timing.zeroMarkUs);
    }
    return pulses;
}

IrPulses necFrame(std::uint8_t address, std::uint8_t command)
{
    const std::uint32_t word = std::uint32_t(address) | std::uint32_t(std::uint8_t(~address)) << 8 |
                               std::uint32_t(command) << 16 |
                               std::uint32_t(std::uint8_t(~command)) << 24;
    return pulseDistanceFrame(kNec, bitsLsbFirst(word, kNec.bits));
}

IrPulses necRepeat()
{
    return {{true, kNec.leaderMarkUs}, {false, kNecRepeatSpaceUs}, {true, kNec.bitMarkUs}};
}

IrPulses rc5Frame(int address, int command, bool toggle)
{
    std::vector<bool> bits{true, true, toggle};
    for (const bool bit : bitsMsbFirst(std::uint32_t(address), 5))
        bits.push_back(bit);
    for (const bool bit : bitsMsbFirst(std::uint32_t(command), 6))
        bits.push_back(bit);
    IrPulses pulses;
    for (const bool bit : bits)
        appendBiphase(pulses, !bit, kRc5HalfBitUs);
    return pulses;
}

IrPulses rc6Frame(int address, int command, bool toggle)
{
    const double t = kRc6UnitUs;
    IrPulses pulses;
    append(pulses, true, kRc6LeaderMarkUnits * t);
    append(pulses, false, kRc6LeaderSpaceUnits * t);
    appendBiphase(pulses, true, t); // start bit
    for (int i = 0; i < kRc6ModeBits; ++i)
        appendBiphase(pulses, false, t); // mode 0
    appendBiphase(pulses, toggle, 2 * t);
    for (const bool bit : bitsMsbFirst(std::uint32_t(address), 8))
        appendBiphase(pulses, bit, t);
    for (const bool bit : bitsMsbFirst(std::uint32_t(command), 8))
        appendBiphase(pulses, bit, t);
    append(pulses, false, 6 * t);
    return pulses;
}

} // namespace wavemill::signals
