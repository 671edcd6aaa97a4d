// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/flat_detector.h"

#include "detect/measure_text.h"

namespace wavemill::detect {

std::optional<TraceDescription> describeFlat(const PulseTrain &train)
{
    if (train.edges() != 0)
        return std::nullopt;
    const bool high = train.level(0);
    TraceDescription d;
    d.kind = QStringLiteral("flat");
    d.confidence = 1;
    d.title = QStringLiteral("flat: %1 all along")
                  .arg(high ? QStringLiteral("high") : QStringLiteral("low"));
    d.evidence << QStringLiteral("no change of level in %1 samples (%2)")
                      .arg(countText(train.samples()),
                           train.durationOfSamples(double(train.samples())));
    d.fields.insert(QStringLiteral("high"), high);
    return d;
}

} // namespace wavemill::detect
