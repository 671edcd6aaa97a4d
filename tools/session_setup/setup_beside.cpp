// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "session_setup/setup_beside.h"

#include "session_setup/setup_file.h"

#include "detect/trace_detector.h"

#include "core/sample_period.h"

#include <algorithm>
#include <vector>

namespace wavemill::session_setup {

QList<DescribedTrace> describeTraces(const TraceBuffers &buffers, const QList<int> &traces,
                                     std::int64_t samples)
{
    QList<DescribedTrace> described;
    for (const int trace : traces) {
        const TraceBuffer &buffer = *buffers.trace(trace);
        if (samples >= kCaptureSamples) {
            described.append({trace, detect::describeTrace(buffer)});
            continue;
        }
        // Only the runs of the samples that came.
        std::vector<detect::Run> runs;
        const detect::PulseTrain whole(buffer);
        for (const detect::Run &run : whole.runs()) {
            if (run.start >= samples)
                break;
            runs.push_back({run.start, std::min(run.length, samples - run.start), run.high});
        }
        described.append(
            {trace, detect::describeTrace(detect::PulseTrain(std::move(runs), kSamplePeriodUs))});
    }
    return described;
}

SetupBeside setupBeside(const QString &sessionPath, const QList<DescribedTrace> &traces)
{
    SetupBeside beside;
    beside.path = setupPathFor(sessionPath);
    if (beside.path.isEmpty()) {
        beside.notes << QStringLiteral("%1: no session setup written: PulseView looks for one "
                                       "only beside a file whose name has an extension (X.sr, "
                                       "X.pvs)")
                            .arg(sessionPath);
        return beside;
    }
    const SessionSetup setup = buildSetup(traces, &beside.notes);
    if (setup.decodeSignals.isEmpty())
        return beside;
    QString why;
    beside.content = setupFileContent(setup, &why);
    if (beside.content.isEmpty())
        beside.notes << QStringLiteral("%1: no session setup written: %2").arg(beside.path, why);
    return beside;
}

} // namespace wavemill::session_setup
