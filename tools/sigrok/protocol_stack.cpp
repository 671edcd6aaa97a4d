// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "sigrok/protocol_stack.h"

#include "core/trace_buffers.h"

namespace wavemill::sigrok {

DecoderStack parseProtocolStack(const QString &text, QString *error)
{
    DecoderStack stack;
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QStringList fields = part.split(QLatin1Char(':'));
        DecoderChoice decoder;
        decoder.id = fields.front().trimmed();
        if (decoder.id.isEmpty()) {
            *error = QStringLiteral("-P '%1': a decoder's name is missing").arg(text);
            return {};
        }
        for (qsizetype i = 1; i < fields.size(); ++i) {
            const qsizetype equals = fields[i].indexOf(QLatin1Char('='));
            if (equals <= 0) {
                *error = QStringLiteral("-P '%1': '%2' is not key=value").arg(text, fields[i]);
                return {};
            }
            decoder.settings.append({fields[i].left(equals), fields[i].mid(equals + 1)});
        }
        stack.append(decoder);
    }
    return stack;
}

int traceOfChannelValue(const QString &value)
{
    if (!value.startsWith(QLatin1String("trace")))
        return 0;
    bool ok = false;
    const int n = value.mid(5).toInt(&ok);
    return ok && n >= 1 && n <= kTraceCount && value.size() == 6 ? n : 0;
}

} // namespace wavemill::sigrok
