// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/bursts.h"

#include "detect/measure_text.h"

#include <QStringList>

namespace wavemill::detect {

std::vector<RunSpan> splitAtIdle(const PulseTrain &train, bool idleHigh, double gapSamples)
{
    const std::vector<Run> &runs = train.runs();
    std::vector<RunSpan> spans;
    RunSpan current;
    bool open = false;
    bool cutAtStart = false;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const bool idle = runs[i].high == idleHigh;
        if (idle && double(runs[i].length) >= gapSamples) {
            if (open)
                spans.push_back({current.first, i, current.cut});
            open = false;
            continue;
        }
        if (open)
            continue;
        // Runs alternate, so only the recording's first run can be a short
        // idle one: what came before it is unknown.
        if (idle) {
            cutAtStart = true;
            continue;
        }
        current = RunSpan{i, i, i == 0 || cutAtStart};
        cutAtStart = false;
        open = true;
    }
    if (open) {
        // It runs into the recording's end; a short closing idle run is left out.
        const std::size_t end = runs.back().high == idleHigh ? runs.size() - 1 : runs.size();
        spans.push_back({current.first, end, true});
    }
    return spans;
}

std::int64_t spanSamples(const PulseTrain &train, const RunSpan &span)
{
    const std::vector<Run> &runs = train.runs();
    if (span.end <= span.first)
        return 0;
    return runs[span.end - 1].start + runs[span.end - 1].length - runs[span.first].start;
}

double BurstTally::confidence() const
{
    if (bursts == 0 || read == 0)
        return 0;
    if (readShare() < kMostBursts)
        return readShare();
    return checks > 0 ? double(passed) / double(checks) : 1.0;
}

bool BurstTally::beats(const BurstTally &other) const
{
    return confidence() > other.confidence() ||
           (confidence() == other.confidence() && read > other.read);
}

QString BurstTally::line(const QString &what) const
{
    QStringList parts;
    parts << QStringLiteral("%1 of %2 bursts (%3) read as %4")
                 .arg(countText(read), countText(bursts), percentText(readShare(), 1), what);
    if (bursts > read)
        parts << QStringLiteral("%1 did not").arg(countText(bursts - read));
    if (cut > 0)
        parts << QStringLiteral("%1 cut by the recording's start or end left out")
                     .arg(countText(cut));
    if (strays > 0)
        parts << QStringLiteral("%1 stray %2 between them ignored")
                     .arg(countText(strays),
                          strays == 1 ? QStringLiteral("pulse") : QStringLiteral("pulses"));
    return parts.join(QStringLiteral("; "));
}

} // namespace wavemill::detect
