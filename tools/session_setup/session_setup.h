// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/trace_description.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>

namespace wavemill::session_setup {

/// A decoder's option as PulseView keeps it: a qint64, double or QString,
/// the type of the option's default.
struct SetupOption
{
    QString id;
    QVariant value;
};

struct SetupDecoder
{
    QString id;
    /// Only those that differ from the decoder's defaults.
    QList<SetupOption> options;
};

/// One of PulseView's decode signals: a stack of decoders, the first
/// reading one trace.
struct DecodeSignal
{
    QString name; // "trace1: UART 9600 8N1"
    QList<SetupDecoder> stack;
    /// Every channel of the first decoder, in PulseView's numbering.
    QStringList channelNames;
    int channelIndex = 0; // the one the trace is assigned to
    int trace = 0;        // 1 to 3
};

/// A flag on PulseView's ruler.
struct TimeMarker
{
    std::int64_t sample = 0;
    QString text;
};

/// What PulseView attaches to a session file when it opens it: the decode
/// signals, where the view opens and how far in, and the flags.
struct SessionSetup
{
    QList<DecodeSignal> decodeSignals;
    /// The view's zoom, seconds per pixel; 0 leaves PulseView's own.
    double secondsPerPixel = 0;
    /// The sample at the view's left edge; before the capture when negative.
    std::int64_t offsetSample = 0;
    QList<TimeMarker> markers;
};

/// A trace of a session file and what the detection found on it.
struct DescribedTrace
{
    int trace = 0; // 1 to 3, named traceN in the session file
    detect::TraceDescription description;
};

/// The setup for traces described by the detection: one decode signal for
/// each decoder stack a description chose, with the options that differ
/// from the decoders' defaults, named after what was found; the view on the
/// earliest first frame at the zoom the most detailed one needs; a flag at
/// each trace's first frame with its description's title, unless its label
/// would run into an earlier flag's at that zoom. A decoder the
/// setup cannot write (not in the decoder table, an option it does not
/// take, a value not of the option's type, a channel it does not have)
/// leaves its trace out, with a line in \a notes saying why.
SessionSetup buildSetup(const QList<DescribedTrace> &traces, QStringList *notes);

} // namespace wavemill::session_setup
