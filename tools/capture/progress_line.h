// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTextStream>

#include <cstdint>

namespace wavemill::capturing {

/// The progress of a recording on one line of a terminal, rewritten in
/// place: percentage, bytes, rate and time left. Where the stream is not a
/// terminal (a script, a log) it shows nothing at all.
class ProgressLine
{
public:
    /// A line on \a err, shown when \a shown (stderr is a terminal).
    ProgressLine(QTextStream &err, bool shown);

    /// The line for \a received of \a total bytes at \a bytesPerSecond
    /// (0 while no rate is known yet).
    static QString text(std::int64_t received, std::int64_t total, double bytesPerSecond);

    /// Shows \a received of \a total bytes, the rate measured since the
    /// first byte.
    void show(std::int64_t received, std::int64_t total);
    /// Ends the line, leaving the last progress in view.
    void finish();
    /// Removes the line, so that a failure's line stands alone.
    void clear();
    /// Writes \a line on a line of its own, shown or not: the progress comes
    /// back under it with the next show().
    void note(const QString &line);

private:
    QTextStream &m_err;
    bool m_shown;
    bool m_drawn = false;
    QElapsedTimer m_sinceFirst; // started at the first byte
    std::int64_t m_first = 0;   // bytes then
};

} // namespace wavemill::capturing
