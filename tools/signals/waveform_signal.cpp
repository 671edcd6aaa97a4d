// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/waveform_signal.h"

#include <algorithm>
#include <cmath>

namespace wavemill::signals {

namespace {

constexpr double kUsPerSecond = 1e6;

} // namespace

void WaveformSignal::setEdges(bool startsHigh, std::vector<double> edgesUs, double periodUs)
{
    m_startsHigh = startsHigh;
    m_edgesUs = std::move(edgesUs);
    // A repeating signal must end at the level it began with.
    if (periodUs > 0 && m_edgesUs.size() % 2 == 1)
        m_edgesUs.pop_back();
    m_periodUs = periodUs;
}

void WaveformSignal::setWaveform(const Waveform &waveform, bool repeat)
{
    std::vector<double> edges;
    const bool first = waveform.changes.empty() || waveform.changes.front().high;
    bool level = first;
    for (std::size_t k = 0; k < waveform.changes.size(); ++k) {
        const Change &change = waveform.changes[k];
        // A hold of no time is replaced by the one after it.
        if (k + 1 < waveform.changes.size() && waveform.changes[k + 1].atUs <= change.atUs)
            continue;
        if (change.high != level) {
            edges.push_back(change.atUs);
            level = change.high;
        }
    }
    setEdges(first, std::move(edges), repeat ? waveform.endUs : 0);
}

Stretch WaveformSignal::stretchAtUs(double us) const
{
    double base = 0;
    double within = us;
    if (m_periodUs > 0) {
        base = std::floor(us / m_periodUs) * m_periodUs;
        within = us - base;
    }
    auto next = std::upper_bound(m_edgesUs.begin(), m_edgesUs.end(), within);
    // A change a rounding later than \a us in the period is already past.
    while (next != m_edgesUs.end() && base + *next <= us)
        ++next;
    const bool changed = (next - m_edgesUs.begin()) % 2 == 1;
    const bool high = changed != m_startsHigh;
    if (next != m_edgesUs.end())
        return {high, base + *next};
    // After the last change: the next period's first change, or for good.
    if (m_periodUs <= 0 || m_edgesUs.empty())
        return {high, kForever};
    double until = base + m_periodUs + m_edgesUs.front();
    // A time a rounding short of a period's end is that period's end.
    if (until <= us)
        until += m_periodUs;
    return {high, until};
}

bool WaveformSignal::levelAtUs(double us) const
{
    return stretchAtUs(us).high;
}

bool WaveformSignal::level(std::uint64_t i) const
{
    return levelAtUs(double(i) * kSamplePeriodUs);
}

std::optional<Stretch> WaveformSignal::stretchAt(double seconds) const
{
    Stretch stretch = stretchAtUs(seconds * kUsPerSecond);
    stretch.until /= kUsPerSecond;
    return stretch;
}

} // namespace wavemill::signals
