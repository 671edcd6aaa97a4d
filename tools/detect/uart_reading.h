// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace wavemill::detect {

/// Fewest frames a UART guess is made from.
constexpr int kMinUartFrames = 4;
/// A measured bit rate this close to a standard one is taken as that one.
constexpr double kBitRateSnap = 0.03;
/// A rate that is no standard one needs this many frames.
constexpr int kMinFramesAtOtherRates = 20;
/// Data bits that change from frame to frame, fewest in serial data: pulses
/// that only ever set one bit are a pulse train, not characters.
constexpr int kMinVaryingBits = 2;
/// A line breaks now and then (before a message, a LIN frame); more than
/// one break to two characters is no serial line.
constexpr double kMostBreaksPerCharacter = 0.5;
/// Characters hold runs of zero bits: at least this share of the active
/// pulses of a serial line are two bits or more (a third of random bytes'),
/// where the marks of a pulse code (a remote's, a sensor's) are all one.
constexpr double kMinMultiBitShare = 0.05;
/// Characters also make active pulses of one bit (a 1 after the start bit or
/// between 0s) and of three bits or more (two 0s after the start bit, or
/// more): a share of each, which a pulse code of two widths lacks (bi-phase
/// half-bits of one and two units; HDMI-CEC's 0.6 and 1.5 ms marks).
constexpr double kMinOneBitShare = 0.05;
constexpr double kMinLongShare = 0.10;

/// The standard bit rate within kBitRateSnap of \a measured, or 0 when none is.
double standardBitRate(double measured);

enum class Parity { None, Even, Odd };

/// How a character is framed: the data bits (5 to 9), the parity bit, and
/// the stop bits (1 or 2).
struct UartFraming
{
    int dataBits = 8;
    Parity parity = Parity::None;
    int stopBits = 1;

    /// The bit of the (first) stop bit, counted from 0 for the start bit.
    int stopIndex() const { return 1 + dataBits + (parity == Parity::None ? 0 : 1); }
    /// "8N1", "7E1", "8N2".
    QString text() const;
};

/// One thing a serial line carried, in order: a character framed whole (its
/// stop bit, and its parity bit if any, right) or a break (the line held at
/// its active level for longer than a frame).
struct UartEvent
{
    std::int64_t start; // the sample of its start edge
    bool isBreak;
    std::uint16_t value; // the data bits, the first received least significant
    std::int64_t length; // samples the break lasts; 0 for a character
};

/// A trace read as a serial line idling at one level. The bit is measured
/// from whole-bit pulses of both levels at once: the active level's pulses
/// are n bits less a distortion and the idle level's m bits plus it (a slow
/// coupler or receiver moves one kind of edge only), so that the period from
/// one edge to the next of its kind gives the bit whatever the distortion.
/// The framing is the one the frames show: the stop bit where every frame
/// has it, a parity bit where it holds in every frame, two stop bits where
/// frames that follow at once always leave one bit more.
struct UartReading
{
    bool idleHigh = true;
    double bit = 0;        // samples, as measured
    double distortion = 0; // samples the active level's pulses fall short of whole bits
    int pulses = 0;        // active pulses measured (no glitches, no breaks)
    int wholePulses = 0;   // of them whole bits
    int multiBitPulses = 0; // of them two bits or more
    int oneBitPulses = 0;   // of them one bit
    int longPulses = 0;     // of them three bits or more
    int glitches = 0;      // pulses of one sample, at either level
    double measured = 0;   // bit/s
    double used = 0;       // bit/s: the standard rate near it, or the measured one
    bool standard = false;
    UartFraming framing;
    int frames = 0;      // start bits that lasted to their middle, breaks apart
    int framed = 0;      // of them framed whole
    int falseStarts = 0; // start bits gone by their middle
    int breaks = 0;
    /// Frames that followed the one before at once, and one bit after its stop bit.
    int backToBack = 0;
    int oneBitApart = 0;
    std::vector<UartEvent> events;
    std::int64_t firstFramed = -1;
    int varyingBits = 0; // data bits that are not the same in every character
    /// Samples at the idle level and at the active level in stretches longer
    /// than any frame holds: a line rests at its idle level.
    std::int64_t longIdleSamples = 0;
    std::int64_t longActiveSamples = 0;
    double confidence = 0;

    double bitFit() const { return pulses > 0 ? double(wholePulses) / pulses : 0; }
    /// Whether the active pulses are of several lengths, as characters make
    /// them: a pulse code's marks are all one bit long.
    bool severalWidths() const { return multiBitPulses >= kMinMultiBitShare * pulses; }
    /// Whether they are one bit long and three or more as often as
    /// characters make them, not of two widths alone.
    bool characterWidths() const
    {
        return oneBitPulses >= kMinOneBitShare * pulses && longPulses >= kMinLongShare * pulses;
    }
    double framedShare() const { return frames > 0 ? double(framed) / frames : 0; }
    /// The bit at the rate used, in samples.
    double usedBit(const PulseTrain &train) const { return train.toSamples(1e6 / used); }
    /// The values of the characters framed, in order.
    std::vector<std::uint16_t> values() const;
};

/// \a train read as a serial line idling high (\a idleHigh) or low; nullopt
/// when it cannot be one: fewer than kMinUartFrames active pulses or frames
/// (kMinFramesAtOtherRates at a rate no standard one is near), bits shorter
/// than two samples, slower than any serial line runs, or more time at the
/// active level in long stretches than at the idle level. Its confidence is
/// the smaller of the share of frames framed and the share of active pulses
/// that are whole bits; none when its data bits hardly change, its active
/// pulses are all one bit long, or it breaks more than kMostBreaksPerCharacter.
std::optional<UartReading> readUart(const PulseTrain &train, bool idleHigh);

} // namespace wavemill::detect
