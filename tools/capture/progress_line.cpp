// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/progress_line.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace wavemill::capturing {

namespace {

/// Back to the line's start, and erase what a longer line left to the right.
constexpr auto kRewrite = "\r";
constexpr auto kEraseRest = "\x1b[K";
/// A rate needs this long a look to be worth showing.
constexpr std::int64_t kRateAfterMs = 400;

/// \a seconds as the time left reads: "42 s", "3 min 05 s", "2 h 07 min".
QString textForSeconds(double seconds)
{
    const auto whole = std::int64_t(std::ceil(seconds));
    if (whole < 60)
        return QStringLiteral("%1 s").arg(whole);
    if (whole < 3600)
        return QStringLiteral("%1 min %2 s")
            .arg(whole / 60)
            .arg(whole % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 h %2 min")
        .arg(whole / 3600)
        .arg((whole % 3600) / 60, 2, 10, QLatin1Char('0'));
}

} // namespace

ProgressLine::ProgressLine(QTextStream &err, bool shown) : m_err(err), m_shown(shown) {}

QString ProgressLine::text(std::int64_t received, std::int64_t total, double bytesPerSecond)
{
    // Thousands grouped with commas whatever the user's locale, as --help writes them.
    const QLocale c(QLocale::English, QLocale::UnitedStates);
    received = std::clamp<std::int64_t>(received, 0, total);
    const auto percent = int(total > 0 ? received * 100 / total : 100);
    QString line = QStringLiteral("%1%  %2 of %3 bytes  ")
                       .arg(percent, 3)
                       .arg(c.toString(qlonglong(received)), c.toString(qlonglong(total)));
    if (bytesPerSecond <= 0)
        return line + (received == 0 ? QStringLiteral("waiting for data")
                                     : QStringLiteral("measuring the rate"));
    return line + QStringLiteral("%1 bytes/s  %2 left")
                      .arg(c.toString(qlonglong(std::llround(bytesPerSecond))),
                           textForSeconds(double(total - received) / bytesPerSecond));
}

void ProgressLine::show(std::int64_t received, std::int64_t total)
{
    if (!m_shown)
        return;
    if (received > 0 && !m_sinceFirst.isValid()) {
        m_sinceFirst.start();
        m_first = received;
    }
    const std::int64_t ms = m_sinceFirst.isValid() ? m_sinceFirst.elapsed() : 0;
    const double rate = ms >= kRateAfterMs ? double(received - m_first) * 1000.0 / double(ms) : 0;
    m_err << kRewrite << text(received, total, rate) << kEraseRest;
    m_err.flush();
    m_drawn = true;
}

void ProgressLine::finish()
{
    if (!m_drawn)
        return;
    m_err << '\n';
    m_err.flush();
    m_drawn = false;
}

void ProgressLine::note(const QString &line)
{
    clear();
    m_err << line << '\n';
    m_err.flush();
}

void ProgressLine::clear()
{
    if (!m_drawn)
        return;
    m_err << kRewrite << kEraseRest;
    m_err.flush();
    m_drawn = false;
}

} // namespace wavemill::capturing
