// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace wavemill::detect {

/// A burst of a receiver's output: mark, space, mark, ..., mark, in µs.
using Burst = std::vector<double>;

struct InfraredFamily;

/// One burst read as a frame of a family.
struct Frame
{
    const InfraredFamily *family = nullptr;
    bool repeat = false; // NEC's repeat code, or a JVC frame repeated without its leader
    int mode = 0;        // RC-6's mode
    std::vector<bool> bits;
    double leaderError = 0; // the larger relative error of leader mark and space
    double leaderMarkUs = 0;
    double leaderSpaceUs = 0;
    /// How much longer than nominal the receiver held each mark (and
    /// shorter each space), taken off before the burst was read.
    double stretchUs = 0;
    /// Sums to average the bit timings over the frames.
    double markSum = 0, zeroSum = 0, oneSum = 0, unitSum = 0;
    int marks = 0, zeros = 0, ones = 0, units = 0;
};

/// What a frame carries, in the family's own terms.
struct Code
{
    std::uint32_t address = 0;
    std::uint32_t command = 0;
    QString text; // "address 0x04 command 0x10"
};

/// A remote control family: how a burst reads as one of its frames, what a
/// frame carries, its nominal timings, and the sigrok decoder that reads it
/// with the annotation classes and number base of its address and command.
struct InfraredFamily
{
    const char *name;
    /// The frame \a burst reads as, each pulse within the family's tolerance
    /// and \a slackUs (the time a sample takes, which the sampling alone may
    /// add to a pulse or take from it).
    std::optional<Frame> (*read)(const Burst &burst, double slackUs);
    /// Whether \a burst, which reads as no frame, looks like one of the
    /// family's frames damaged on the way: the family's leader, or (RC-5,
    /// which has none) a burst of its bi-phase units.
    bool (*resembles)(const Burst &burst, double slackUs);
    Code (*code)(const Frame &frame);
    QString (*nominalTimings)();
    const char *sigrokDecoder; // nullptr: sigrok has none
    const char *addressClass;
    const char *commandClass;
    int sigrokBase; // of the numbers in those annotations' texts
    /// Why sigrok's decoder may read less than the timings do.
    const char *sigrokLimits;
};

/// Every family the detection reads, sigrok's first.
const std::array<InfraredFamily, 7> &infraredFamilies();

/// The frame a burst reads as, of the family whose leader it fits best;
/// when none reads it as it is, with the marks a receiver stretched (and
/// the spaces it shortened) set back. \a slackUs: a sample's time.
std::optional<Frame> readBurst(const Burst &burst, double slackUs);
/// The family \a burst looks like a damaged frame of, sigrok's first;
/// nullptr for none.
const InfraredFamily *resembledFamily(const Burst &burst, double slackUs);

} // namespace wavemill::detect
