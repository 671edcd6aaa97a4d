// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "board/sample_timing.h"

#include <algorithm>

namespace wavemill::board {

void SampleTiming::add(std::uint64_t cycle)
{
    if (m_count == 0) {
        m_first = m_last = cycle;
        m_count = 1;
        return;
    }
    const std::uint64_t gap = cycle - m_last;
    m_shortest = m_count == 1 ? gap : std::min(m_shortest, gap);
    m_longest = std::max(m_longest, gap);
    const double offset = double(cycle - m_first) - double(m_count) * m_ideal;
    m_earliest = std::min(m_earliest, offset);
    m_latest = std::max(m_latest, offset);
    m_last = cycle;
    ++m_count;
}

double SampleTiming::meanPeriodCycles() const
{
    return m_count < 2 ? 0.0 : double(m_last - m_first) / double(m_count - 1);
}

} // namespace wavemill::board
