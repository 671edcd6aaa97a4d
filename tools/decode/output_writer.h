// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/trace_description.h"
#include "sigrok/annotation.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace wavemill::decode {

class Recording;

/// wavemill-decode's results as text or as JSON Lines: annotations one a
/// line, and descriptions of traces, for one recording after another. A
/// capture's traces are named trace1 to trace3, a session file's channels by
/// their number and name; times come from the recording's own sample period.
class OutputWriter
{
public:
    /// \a json: JSON Lines rather than text; \a severalCaptures: each
    /// recording's results carry its path.
    OutputWriter(bool json, bool severalCaptures);

    /// The results that follow are of \a recording, which must outlive
    /// them; \a describing: descriptions, which for a session file always
    /// open with a line saying what it holds.
    void beginCapture(const Recording &recording, bool describing);
    void writeAnnotation(const sigrok::Annotation &annotation);
    /// Channel \a number described, with what sigrok's decoder read of it.
    void writeDescription(int number, const detect::TraceDescription &description,
                          const QStringList &decoded);

    /// What was written since the last take().
    QByteArray take();

private:
    double sampleMs(std::uint64_t sample) const;

    bool m_json;
    bool m_severalCaptures;
    const Recording *m_recording = nullptr;
    QByteArray m_out;
};

} // namespace wavemill::decode
