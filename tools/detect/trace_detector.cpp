// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/trace_detector.h"

#include "detect/cec_detector.h"
#include "detect/dcf77_detector.h"
#include "detect/em4100_detector.h"
#include "detect/flat_detector.h"
#include "detect/infrared_detector.h"
#include "detect/lighting_bus_detector.h"
#include "detect/oregon_detector.h"
#include "detect/measure_text.h"
#include "detect/morse_detector.h"
#include "detect/periodic_detector.h"
#include "detect/pulse_train.h"
#include "detect/pulse_width_detector.h"
#include "detect/qi_detector.h"
#include "detect/remote_encoder_detector.h"
#include "detect/too_fast_detector.h"
#include "detect/uart_detector.h"
#include "detect/width_summary.h"

#include <array>
#include <cmath>
#include <optional>

namespace wavemill::detect {

namespace {

/// A detector and the tier its guesses rank in.
struct Detector
{
    std::optional<TraceDescription> (*describe)(const PulseTrain &train);
    int tier;
};

/// Every detector, in the order they are tried, and the rule between rival
/// guesses: a confident guess ends the search before a later tier is tried
/// (a steady period first, as a square wave is also a stream of 0x55
/// bytes); within a tier the most confident guess wins, the earlier row on
/// a tie (a remote code before UART, as its frames are checked bit by bit).
/// A new protocol is one more row.
constexpr std::array<Detector, 14> kDetectors{{
    {&describeFlat, 0},
    {&describeTooFast, 1},
    {&describeDcf77, 2},
    {&describeCec, 2},
    {&describeLightingBus, 2},
    {&describeOregon, 2},
    {&describeQi, 2},
    {&describeEm4100, 2},
    {&describeRemoteEncoder, 2},
    {&describeMorse, 2},
    {&describePulseWidth, 2},
    {&describePeriodic, 3},
    {&describeInfrared, 4},
    {&describeUart, 4},
}};

/// A share short of \a threshold as a percentage that never rounds up to it:
/// a whole percent where that stays below, else a tenth rounded down
/// (94.7 %, not 95 % beside "95 % are needed").
QString shortOfText(double share, double threshold)
{
    if (std::round(share * 100) < std::round(threshold * 100))
        return percentText(share);
    return QString::number(std::floor(share * 1000) / 10, 'f', 1) + QStringLiteral(" %");
}

} // namespace

TraceDescription describeTrace(const TraceBuffer &buffer)
{
    return describeTrace(PulseTrain(buffer));
}

TraceDescription describeTrace(const PulseTrain &train)
{
    std::optional<TraceDescription> best;
    for (std::size_t row = 0; row < kDetectors.size(); ++row) {
        std::optional<TraceDescription> guess = kDetectors[row].describe(train);
        if (guess && (!best || guess->confidence > best->confidence))
            best = std::move(guess);
        const bool tierEnds =
            row + 1 == kDetectors.size() || kDetectors[row + 1].tier != kDetectors[row].tier;
        if (tierEnds && best && best->confidence >= kConfidenceThreshold)
            return *best;
    }

    TraceDescription d;
    d.title = QStringLiteral("unrecognised");
    d.evidence = describeWidths(train);
    if (best) {
        d.evidence << QStringLiteral("closest guess, not taken: %1, with %2 of its checks "
                                     "passed where %3 are needed")
                          .arg(best->title, shortOfText(best->confidence, kConfidenceThreshold),
                               percentText(kConfidenceThreshold));
        for (const QString &line : best->evidence)
            d.evidence << QStringLiteral("  ") + line;
    }
    return d;
}

} // namespace wavemill::detect
