// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "command/trace_numbers.h"

#include "command/command_line.h"
#include "core/trace_buffers.h"

namespace wavemill::command {

namespace {

/// 1 to kTraceCount, or 0.
int traceNumber(const QString &text)
{
    bool ok = false;
    const int trace = text.trimmed().toInt(&ok);
    return ok && trace >= 1 && trace <= kTraceCount ? trace : 0;
}

} // namespace

int traceNumberOrFail(const QString &text, const QString &option)
{
    const int trace = traceNumber(text);
    if (trace == 0)
        fail(kExitUsage, QStringLiteral("%1 takes 1, 2 or 3, not '%2'").arg(option, text));
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
