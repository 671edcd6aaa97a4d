// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/measure_text.h"

#include <cmath>

namespace wavemill::detect {

namespace {

/// Microseconds in a millisecond, where a duration is shown in milliseconds.
constexpr double kUsPerMs = 1000.0;

} // namespace

double meanAtMost(const std::vector<double> &values, double limit)
{
    double sum = 0;
    int count = 0;
    for (const double v : values) {
        if (v <= limit) {
            sum += v;
            ++count;
        }
    }
    return sum / count;
}

QString microsecondsText(double us)
{
    if (std::fabs(us) < kUsPerMs)
        return QString::number(us, 'f', 1) + QStringLiteral(" µs");
    return QString::number(us / kUsPerMs, 'f', 2) + QStringLiteral(" ms");
}

QString percentText(double share, int decimals)
{
    return QString::number(share * 100, 'f', decimals) + QStringLiteral(" %");
}

QString countText(qint64 count)
{
    QString digits = QString::number(count < 0 ? -count : count);
    for (int at = int(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return count < 0 ? QLatin1Char('-') + digits : digits;
}

QString hexText(std::uint32_t value, int digits)
{
    return QStringLiteral("0x") +
           QString::number(value, 16).rightJustified(digits, QLatin1Char('0')).toUpper();
}

QString escapedText(const QByteArray &bytes, int limit)
{
    QString text;
    for (const char c : bytes) {
        if (text.size() >= limit) {
            text += QStringLiteral("...");
            break;
        }
        switch (c) {
        case '\r':
            text += QStringLiteral("\\r");
            break;
        case '\n':
            text += QStringLiteral("\\n");
            break;
        case '\t':
            text += QStringLiteral("\\t");
            break;
        case '"':
        case '\\':
            text += QLatin1Char('\\');
            text += QLatin1Char(c);
            break;
        default:
            if (c >= 0x20 && c < 0x7F)
                text += QLatin1Char(c);
            else
                text += QStringLiteral("\\x%1").arg(int(std::uint8_t(c)), 2, 16, QLatin1Char('0'));
        }
    }
    return text;
}

} // namespace wavemill::detect
