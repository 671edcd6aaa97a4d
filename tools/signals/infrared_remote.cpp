// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/infrared_remote.h"

#include <algorithm>
#include <cmath>

namespace wavemill::signals {

void appendEdges(std::vector<double> &edges, double fromUs, const IrPulses &pulses)
{
    double t = fromUs;
    for (const IrPulse &pulse : pulses) {
        // The output is low after an odd number of changes.
        const bool low = edges.size() % 2 == 1;
        if (pulse.mark != low)
            edges.push_back(t);
        t += pulse.us;
    }
    if (edges.size() % 2 == 1)
        edges.push_back(t); // back to idle after a closing mark
}

InfraredRemote::InfraredRemote(RemoteFamily family, int address, int command)
{
    for (int toggle = 0; toggle < 2; ++toggle) {
        std::vector<double> &edges = m_edges[std::size_t(toggle)];
        switch (family) {
        case RemoteFamily::Nec:
            appendEdges(edges, 0, necFrame(std::uint8_t(address), std::uint8_t(command)));
            appendEdges(edges, kNecRepeatUs, necRepeat());
            break;
        case RemoteFamily::Rc5:
            appendEdges(edges, 0, rc5Frame(address, command, toggle));
            appendEdges(edges, kRc5RepeatUs, rc5Frame(address, command, toggle));
            break;
        case RemoteFamily::Rc6:
            appendEdges(edges, 0, rc6Frame(address, command, toggle));
            appendEdges(edges, kRc6RepeatUs, rc6Frame(address, command, toggle));
            break;
        }
    }
}

bool InfraredRemote::level(std::uint64_t i) const
{
    return stretchAtUs(double(i) * kSamplePeriodUs).high;
}

std::optional<Stretch> InfraredRemote::stretchAt(double seconds) const
{
    Stretch stretch = stretchAtUs(seconds * 1e6);
    stretch.until /= 1e6;
    return stretch;
}

Stretch InfraredRemote::stretchAtUs(double us) const
{
    const double t = us - kLeadInUs;
    if (t < 0)
        return {true, kLeadInUs};
    const double press = std::floor(t / kPressPeriodUs);
    const double within = t - press * kPressPeriodUs;
    const auto &edges = m_edges[std::size_t(std::fmod(press, 2.0))];
    const auto next = std::upper_bound(edges.begin(), edges.end(), within);
    // Until the next change within the press, or the next press.
    const double end = next == edges.end() ? kPressPeriodUs : *next;
    return {(next - edges.begin()) % 2 == 0, kLeadInUs + press * kPressPeriodUs + end};
}

} // namespace wavemill::signals
