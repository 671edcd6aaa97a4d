// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace wavemill::sigrok {

/// One decoder of a stack as written on the command line: its id and the
/// key=value pairs after it, which are its options or, where a key names one
/// of its channels, the trace that channel reads ("rx=trace2").
struct DecoderChoice
{
    QString id;
    QList<QPair<QString, QString>> settings;
};

/// A stack: the first decoder reads the traces, each next one what the one
/// below puts out.
using DecoderStack = QList<DecoderChoice>;

/// Parses sigrok-cli's -P syntax: decoders separated by ',' (each stacked on
/// the one before), each "id[:key=value]...". Empty with \a error set on an
/// empty decoder id, an empty key or a setting without '='.
DecoderStack parseProtocolStack(const QString &text, QString *error);

/// The trace number of a channel value: "trace1" to "trace3" give 1 to 3;
/// 0 for anything else.
int traceOfChannelValue(const QString &value);

} // namespace wavemill::sigrok
