// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/trace_description.h"
#include "sigrok/annotation.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace wavemill::decode {

/// wavemill-decode's results as text or as JSON Lines: annotations one a
/// line, and descriptions of traces, for one capture after another.
class OutputWriter
{
public:
    /// \a json: JSON Lines rather than text; \a severalCaptures: each
    /// capture's results carry its path.
    OutputWriter(bool json, bool severalCaptures);

    /// The results that follow are of the capture at \a path.
    void beginCapture(const QString &path);
    void writeAnnotation(const sigrok::Annotation &annotation);
    /// Trace \a trace described, with what sigrok's decoder read of it.
    void writeDescription(int trace, const detect::TraceDescription &description,
                          const QStringList &decoded);

    /// What was written since the last take().
    QByteArray take();

private:
    bool m_json;
    bool m_severalCaptures;
    QString m_path;
    QByteArray m_out;
};

} // namespace wavemill::decode
