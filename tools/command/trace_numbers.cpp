// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "command/trace_numbers.h"

#include "command/command_line.h"
#include "core/trace_buffers.h"

namespace wavemill::command {

namespace {

/// 1 to \a highest, or 0.
int traceNumber(const QString &text, int highest = kTraceCount)
{
    bool ok = false;
    const int trace = text.trimmed().toInt(&ok);
    return ok && trace >= 1 && trace <= highest ? trace : 0;
}

} // namespace

int traceNumberOrFail(const QString &text, const QString &option, int highest)
{
    const int trace = traceNumber(text, highest);
    if (trace == 0 && highest == kTraceCount)
        fail(kExitUsage, QStringLiteral("%1 takes 1, 2 or 3, not '%2'").arg(option, text));
    if (trace == 0)
        fail(kExitUsage, QStringLiteral("%1 takes a trace or channel number, 1 to %2, not '%3'")
                             .arg(option)
                             .arg(highest)
                             .arg(text));
    return trace;
}

QList<int> traceListOrFail(const QString &text, const QString &option)
{
    QList<int> traces;
    for (const QString &part : text.split(QLatin1Char(','))) {
        const int trace = traceNumber(part);
        if (trace == 0)
            fail(kExitUsage, QStringLiteral("%1 takes trace numbers 1 to 3 separated by commas, "
                                            "not '%2'")
                                 .arg(option, text));
        if (traces.contains(trace))
            fail(kExitUsage, QStringLiteral("%1 names trace %2 twice").arg(option).arg(trace));
        traces.append(trace);
    }
    return traces;
}

} // namespace wavemill::command
