// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/signals.h"

#include <vector>

namespace wavemill::signals {

/// A signal drawn in continuous time as the times its level changes, played
/// again and again: what a wire does between the board's samples, for the
/// shapes the detection is tried on (a serial line's breaks, a remote's
/// repeat codes, a clock's jitter). The level at a sample is the level at
/// its instant.
class EdgeSignal : public SampledSignal
{
public:
    /// Levels held one after another from time 0 on.
    class Sketch
    {
    public:
        explicit Sketch(bool startHigh) : m_startHigh(startHigh), m_level(startHigh) {}
        /// Holds \a high for \a us (nothing for none) from the end on.
        void hold(bool high, double us);
        /// Holds the level there is for \a us more.
        void wait(double us) { hold(m_level, us); }
        double endUs() const { return m_endUs; }
        bool startHigh() const { return m_startHigh; }
        const std::vector<double> &changes() const { return m_changes; }

    private:
        bool m_startHigh;
        bool m_level;
        double m_endUs = 0;
        std::vector<double> m_changes;
    };

    /// \a sketch played from time 0 and again every \a cycleUs (at least
    /// its end; the level it ends at holds up to there).
    EdgeSignal(const Sketch &sketch, double cycleUs);
    bool level(std::uint64_t i) const override;
    std::optional<Stretch> stretchAt(double seconds) const override;

private:
    bool m_startHigh;
    std::vector<double> m_changes; // µs within a cycle, each flipping the level
    double m_cycleUs;
};

} // namespace wavemill::signals
