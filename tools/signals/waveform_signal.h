// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/signals.h"
#include "signals/waveform.h"

#include <vector>

namespace wavemill::signals {

/// A signal given by the times its level changes, in microseconds from its
/// start, as a wire carries it: the board reads the level at each sample's
/// instant, so that a pulse shorter than a sample may fall between two
/// samples, as on a real board. With a period the changes repeat every
/// period (the level must be back where it began); otherwise the level after
/// the last change holds for good. The families' signals build their
/// waveforms from their own timings and derive from it.
class WaveformSignal : public SampledSignal
{
public:
    bool level(std::uint64_t i) const override;
    std::optional<Stretch> stretchAt(double seconds) const override;

    /// The level at \a us from the start.
    bool levelAtUs(double us) const;
    /// The level at \a us from the start, and the time (µs) up to which it
    /// holds, always later than \a us.
    Stretch stretchAtUs(double us) const;
    /// The level before the first change.
    bool startsHigh() const { return m_startsHigh; }
    /// The changes within one period (or all of them), in microseconds.
    const std::vector<double> &edgesUs() const { return m_edgesUs; }
    /// The time after which the changes repeat; 0 when they do not.
    double periodUs() const { return m_periodUs; }

protected:
    WaveformSignal() = default;
    /// Takes the changes of \a waveform, its first level holding from 0;
    /// with \a repeat they start over at its end.
    void setWaveform(const Waveform &waveform, bool repeat);
    /// Sets the changes: \a edgesUs ascending, each one a change of level
    /// from \a startsHigh; with \a periodUs above 0 they repeat, and their
    /// number must then be even (the last is dropped otherwise).
    void setEdges(bool startsHigh, std::vector<double> edgesUs, double periodUs);

private:
    bool m_startsHigh = true;
    std::vector<double> m_edgesUs;
    double m_periodUs = 0;
};

} // namespace wavemill::signals
