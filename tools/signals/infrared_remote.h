// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/infrared_codes.h"
#include "signals/signals.h"

#include <array>
#include <vector>

namespace wavemill::signals {

/// The remote control families the board plays.
enum class RemoteFamily { Nec, Rc5, Rc6 };

/// A remote control's button pressed again and again, as a demodulating
/// receiver puts it out (idle high, low during a mark). Each press sends the
/// code and, as a button held a moment does, its repeat: NEC's repeat code,
/// or the RC-5 / RC-6 frame once more. A new press flips the RC-5 and RC-6
/// toggle bit.
class InfraredRemote : public SampledSignal
{
public:
    InfraredRemote(RemoteFamily family, int address, int command);
    bool level(std::uint64_t i) const override;
    std::optional<Stretch> stretchAt(double seconds) const override;

    /// Idle before the first press.
    static constexpr double kLeadInUs = 10000;
    /// From one press to the next.
    static constexpr double kPressPeriodUs = 500000;

private:
    /// The stretch that holds \a us after the start, its end in microseconds.
    Stretch stretchAtUs(double us) const;

    /// The times within a press at which the output changes, the first one
    /// going low; one list per toggle value.
    std::array<std::vector<double>, 2> m_edges;
};

/// The times at which a receiver's output changes while \a pulses play from
/// \a fromUs, added to \a edges (which alternate, starting from high).
void appendEdges(std::vector<double> &edges, double fromUs, const IrPulses &pulses);

} // namespace wavemill::signals
