// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

namespace wavemill::board {

/// The cycles at which a firmware took its samples, against an ideal sample
/// clock of a given period: the average period, the shortest and longest
/// gap, and how far the samples stray from the ideal instants (a grid of the
/// ideal period through the first sample). Running figures only, so a run
/// without end costs no memory.
class SampleTiming
{
public:
    explicit SampleTiming(double idealPeriodCycles) : m_ideal(idealPeriodCycles) {}

    void add(std::uint64_t cycle);
    void clear() { *this = SampleTiming(m_ideal); }

    std::uint64_t samples() const { return m_count; }
    std::uint64_t firstCycle() const { return m_first; }
    /// From the first sample to the last, over the gaps between them; 0
    /// before the second sample.
    double meanPeriodCycles() const;
    std::uint64_t shortestGap() const { return m_shortest; }
    std::uint64_t longestGap() const { return m_longest; }
    /// The spread of the samples around the ideal instants, largest early
    /// minus largest late, in cycles: 0 for a perfect clock; a period off
    /// by p cycles makes it grow by p every sample.
    double spreadCycles() const { return m_latest - m_earliest; }

private:
    double m_ideal;
    std::uint64_t m_count = 0;
    std::uint64_t m_first = 0;
    std::uint64_t m_last = 0;
    std::uint64_t m_shortest = 0;
    std::uint64_t m_longest = 0;
    double m_earliest = 0; // least of (cycle - first) - index * ideal
    double m_latest = 0;   // greatest of the same
};

} // namespace wavemill::board
