// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "session_setup/setup_beside.h"

#include "session_setup/setup_file.h"

#include "detect/trace_detector.h"

#include <QFile>
#include <QFileInfo>

namespace wavemill::session_setup {

namespace {

/// Removes a setup left from an earlier session file at \a path; a line
/// for the user when it stays.
QStringList removeStale(const QString &path)
{
    QFile stale(path);
    if (!QFileInfo(path).isFile() || stale.remove())
        return {};
    return {QStringLiteral("%1: an earlier session setup could not be removed (%2); PulseView "
                           "would attach its decoders to the new session file")
                .arg(path, stale.errorString())};
}

} // namespace

QList<DescribedTrace> describeTraces(const TraceBuffers &buffers, const QList<int> &traces)
{
    QList<DescribedTrace> described;
    for (const int trace : traces)
        described.append({trace, detect::describeTrace(*buffers.trace(trace))});
    return described;
}

QStringList updateSetupBeside(const QString &sessionPath, const QList<DescribedTrace> &traces)
{
    const QString path = setupPathFor(sessionPath);
    if (path.isEmpty())
        return {QStringLiteral("%1: no session setup written: PulseView looks for one only "
                               "beside a file whose name has an extension (X.sr, X.pvs)")
                    .arg(sessionPath)};
    QStringList lines;
    const SessionSetup setup = buildSetup(traces, &lines);
    if (setup.decodeSignals.isEmpty())
        return lines + removeStale(path);
    QString why;
    if (!writeSetupFile(path, setup, &why))
        lines << QStringLiteral("no session setup written: %1").arg(why) << removeStale(path);
    return lines;
}

} // namespace wavemill::session_setup
