// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/edge_signal.h"

#include <algorithm>
#include <cmath>

namespace wavemill::signals {

void EdgeSignal::Sketch::hold(bool high, double us)
{
    if (us <= 0)
        return;
    if (high != m_level) {
        // A level held for no time at all leaves no change behind.
        if (!m_changes.empty() && m_changes.back() >= m_endUs)
            m_changes.pop_back();
        else
            m_changes.push_back(m_endUs);
        m_level = high;
    }
    m_endUs += us;
}

EdgeSignal::EdgeSignal(const Sketch &sketch, double cycleUs)
    : m_startHigh(sketch.startHigh()), m_changes(sketch.changes()),
      m_cycleUs(std::max(cycleUs, sketch.endUs()))
{
    // A cycle that ends at the other level comes back to the first at its end.
    if (m_changes.size() % 2 == 1)
        m_changes.push_back(m_cycleUs);
}

bool EdgeSignal::level(std::uint64_t i) const
{
    return stretchAt(double(i) * kSamplePeriodUs / 1e6)->high;
}

std::optional<Stretch> EdgeSignal::stretchAt(double seconds) const
{
    const double us = seconds * 1e6;
    const double cycle = std::floor(us / m_cycleUs);
    const double within = us - cycle * m_cycleUs;
    const auto next = std::upper_bound(m_changes.begin(), m_changes.end(), within);
    const double end = next == m_changes.end() ? m_cycleUs : *next;
    const bool flipped = (next - m_changes.begin()) % 2 == 1;
    return Stretch{m_startHigh != flipped, (cycle * m_cycleUs + end) / 1e6};
}

} // namespace wavemill::signals
