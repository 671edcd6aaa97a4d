// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The pulse timings of infrared remote controls, as a demodulating receiver
// puts them out: idle high, low while the carrier is on. The board simulator,
// the sample captures and the decoder's detection all take them from here.

#include <cstdint>
#include <vector>

namespace wavemill::signals {

/// One stretch of a receiver's output: a mark (carrier on, output low) or a
/// space (output high), and how long it lasts.
struct IrPulse
{
    bool mark;
    double us;
};
using IrPulses = std::vector<IrPulse>;

/// Families whose bits are a fixed mark and then a space whose length tells
/// a 0 from a 1 (pulse distance), after a leader, ending on one more mark.
struct PulseDistanceTiming
{
    const char *name;
    double leaderMarkUs;
    double leaderSpaceUs;
    double bitMarkUs;
    double zeroSpaceUs;
    double oneSpaceUs;
    int bits; // data bits a frame
};

/// Families whose bits are a mark whose length tells a 0 from a 1, each
/// followed by a fixed space (pulse width), after a leader.
struct PulseWidthTiming
{
    const char *name;
    double leaderMarkUs;
    double leaderSpaceUs;
    double zeroMarkUs;
    double oneMarkUs;
    double spaceUs;
    int bits;
};

/// NEC counts in units of 562.5 µs: leader 16 units of mark and 8 of space; 32 bits, a
/// unit of mark and 1 (0) or 3 (1) units of space: the address, its inverse,
/// the command and its inverse, least significant bit first.
constexpr double kNecUnitUs = 562.5;
constexpr PulseDistanceTiming kNec{
    "NEC", 16 * kNecUnitUs, 8 * kNecUnitUs, kNecUnitUs, kNecUnitUs, 3 * kNecUnitUs, 32};
/// While the button stays down NEC sends, every 108 ms, a repeat code: the
/// leader's mark, 4 units of space and one unit of mark.
constexpr double kNecRepeatSpaceUs = 4 * kNecUnitUs;
constexpr double kNecRepeatUs = 108000;

/// Pulse-distance families sigrok has no decoder for, named by their timings.
constexpr PulseDistanceTiming kSamsung{"Samsung", 4500, 4500, 560, 560, 1690, 32};
constexpr PulseDistanceTiming kJvc{"JVC", 8400, 4200, 526, 526, 1574, 16};
constexpr PulseDistanceTiming kKaseikyo{"Kaseikyo", 3456, 1728, 432, 432, 1296, 48};
/// SIRC counts in units of 600 µs: leader 4 units of mark, bits 1 (0) or 2
/// (1) units of mark each after a unit of space; 12 bits in its first form.
constexpr PulseWidthTiming kSirc{"SIRC", 2400, 600, 600, 1200, 600, 12};

/// RC-5 is bi-phase in bits of 64 cycles of 36 kHz (1.778 ms): a 1 is a
/// half of space then a half of mark, a 0 the other way round. 14 bits: two
/// start bits (1), the toggle bit, 5 address and 6 command bits, most
/// significant first. Frames repeat every 64 bits while the button is down.
constexpr double kRc5HalfBitUs = 1e6 * 32 / 36000; // 888.9 µs
constexpr int kRc5Bits = 14;
constexpr double kRc5RepeatUs = 64 * 2 * kRc5HalfBitUs; // 113.8 ms

/// RC-6 mode 0 counts in units t of 16 cycles of 36 kHz (444 µs): a leader
/// of 6t mark and 2t space, a start bit (1), three mode bits (0), the toggle
/// bit twice as long as the others, 8 address and 8 command bits, most
/// significant first, then 6t without signal. Its bits are bi-phase the
/// other way round from RC-5: a 1 is a mark then a space. Frames repeat
/// every 240t while the button is down.
constexpr double kRc6UnitUs = 1e6 * 16 / 36000; // 444.4 µs
constexpr double kRc6LeaderMarkUnits = 6;
constexpr double kRc6LeaderSpaceUnits = 2;
constexpr int kRc6ModeBits = 3;
constexpr double kRc6RepeatUs = 240 * kRc6UnitUs; // 106.7 ms

/// A pulse-distance frame of \a bits (first sent first): leader, bits, final mark.
IrPulses pulseDistanceFrame(const PulseDistanceTiming &timing, const std::vector<bool> &bits);
/// A pulse-width frame of \a bits (first sent first): leader, then each bit's mark and space.
IrPulses pulseWidthFrame(const PulseWidthTiming &timing, const std::vector<bool> &bits);

/// An NEC frame: address, ~address, command, ~command.
IrPulses necFrame(std::uint8_t address, std::uint8_t command);
/// NEC's repeat code.
IrPulses necRepeat();
/// An RC-5 frame of \a address (0 to 31) and \a command (0 to 63), from the
/// space that opens its first start bit.
IrPulses rc5Frame(int address, int command, bool toggle);
/// An RC-6 mode 0 frame of \a address and \a command (0 to 255 each), with
/// its closing time without signal.
IrPulses rc6Frame(int address, int command, bool toggle);

/// The \a count bits of \a value, most significant first.
std::vector<bool> bitsMsbFirst(std::uint32_t value, int count);

} // namespace wavemill::signals
