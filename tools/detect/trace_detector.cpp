// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/trace_detector.h"

#include "detect/infrared_detector.h"
#include "detect/measure_text.h"
#include "detect/periodic_detector.h"
#include "detect/pulse_train.h"
#include "detect/uart_detector.h"
#include "detect/width_summary.h"

#include <optional>

namespace wavemill::detect {

QString kindName(TraceDescription::Kind kind)
{
    switch (kind) {
    case TraceDescription::Kind::Flat:
        return QStringLiteral("flat");
    case TraceDescription::Kind::Periodic:
        return QStringLiteral("periodic");
    case TraceDescription::Kind::Uart:
        return QStringLiteral("uart");
    case TraceDescription::Kind::Infrared:
        return QStringLiteral("infrared");
    case TraceDescription::Kind::Unrecognised:
        break;
    }
    return QStringLiteral("unrecognised");
}

TraceDescription describeTrace(const TraceBuffer &buffer)
{
    const PulseTrain train(buffer);
    if (train.edges() == 0) {
        TraceDescription d;
        d.kind = TraceDescription::Kind::Flat;
        d.confidence = 1;
        d.idleHigh = train.level(0);
        d.title = QStringLiteral("flat: %1 all along")
                      .arg(d.idleHigh ? QStringLiteral("high") : QStringLiteral("low"));
        d.evidence << QStringLiteral("no change of level in %1 samples (%2)")
                          .arg(countText(kCaptureSamples), durationText(kCaptureSamples));
        return d;
    }

    std::optional<TraceDescription> best;
    const auto consider = [&](std::optional<TraceDescription> guess) {
        if (guess && (!best || guess->confidence > best->confidence))
            best = std::move(guess);
    };
    consider(describePeriodic(train));
    if (best && best->confidence >= kConfidenceThreshold)
        return *best;
    // A remote code before UART on a tie: its frames are checked bit by bit.
    consider(describeInfrared(train));
    consider(describeUart(train));
    if (best && best->confidence >= kConfidenceThreshold)
        return *best;

    TraceDescription d;
    d.title = QStringLiteral("unrecognised");
    d.evidence = describeWidths(train);
    if (best) {
        d.evidence << QStringLiteral("closest guess, not taken: %1, with %2 of its checks "
                                     "passed where %3 are needed")
                          .arg(best->title, percentText(best->confidence),
                               percentText(kConfidenceThreshold));
        for (const QString &line : best->evidence)
            d.evidence << QStringLiteral("  ") + line;
    }
    return d;
}

} // namespace wavemill::detect
