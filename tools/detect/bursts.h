// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace wavemill::detect {

/// A stretch of a train's runs between long stretches of idle level: the
/// runs [first, end), which begin and end at the active level.
struct RunSpan
{
    std::size_t first = 0;
    std::size_t end = 0;
    /// It runs into the recording's start or end: its frame may be cut.
    bool cut = false;

    std::size_t size() const { return end - first; }
};

/// The stretches of \a train between runs at the idle level of at least
/// \a gapSamples. The first and last runs count as such a gap only when
/// they are that long themselves; a stretch that touches the recording's
/// start or end is marked cut.
std::vector<RunSpan> splitAtIdle(const PulseTrain &train, bool idleHigh, double gapSamples);

/// Samples from the start of a span's first run to the end of its last.
std::int64_t spanSamples(const PulseTrain &train, const RunSpan &span);

/// How the bursts of a trace read as one family's frames, and the rule that
/// names it: the family is named when most of the bursts that could hold a
/// frame read whole (a minority of damaged bursts is counted, not fatal);
/// its confidence is then the share of the checks its frames carry
/// (checksums, parity, fields in range) that passed. Below that majority
/// the confidence is the share of bursts read, which stays under the
/// threshold. Bursts cut by the recording's edges and stray pulses shorter
/// than any frame count for nothing either way.
struct BurstTally
{
    int bursts = 0; // that could hold a frame
    int read = 0;   // read whole as a frame
    int cut = 0;    // cut by the recording's start or end, not counted
    int strays = 0; // too short for any frame, not counted
    int checks = 0; // of the frames read: checksums, parity, fields
    int passed = 0;

    double readShare() const { return bursts > 0 ? double(read) / double(bursts) : 0; }
    double confidence() const;
    /// "12 of 13 bursts (92.3 %) read as DALI frames; 1 did not; 2 cut by the
    /// recording's edges left out; 3 stray pulses between them ignored".
    QString line(const QString &what) const;
    /// Surer than another tally, or as sure with more frames read.
    bool beats(const BurstTally &other) const;
};

/// Keeps the better of two readings of a trace (as a family's polarities,
/// units or variants give them): the one that read a frame and whose tally
/// beats the other's.
template <typename Reading> void keepBetter(std::optional<Reading> &best, Reading &&candidate)
{
    if (candidate.tally.read > 0 && (!best || candidate.tally.beats(best->tally)))
        best = std::move(candidate);
}

/// Most bursts must read for a family to be named: two in three.
constexpr double kMostBursts = 2.0 / 3.0;

} // namespace wavemill::detect
