// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/measure_text.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace wavemill::detect {

namespace {

/// Microseconds in a millisecond, where a duration is shown in milliseconds.
constexpr double kUsPerMs = 1000.0;
/// Decimals a percentage takes at most to keep to its side of a threshold;
/// past them it is cut toward its side rather than rounded across.
constexpr int kMostDecimals = 3;

/// A percentage with \a decimals decimals (up to kMostDecimals more where
/// it takes them) that reaches each of \a limits where \a percent does,
/// and only there.
QString percentBeside(double percent, int decimals, std::initializer_list<double> limits)
{
    const auto crosses = [&](double shown) {
        return std::any_of(limits.begin(), limits.end(), [&](double limit) {
            return (shown >= limit) != (percent >= limit);
        });
    };
    int places = decimals;
    while (places < decimals + kMostDecimals &&
           crosses(QString::number(percent, 'f', places).toDouble()))
        ++places;
    double shown = QString::number(percent, 'f', places).toDouble();
    if (crosses(shown)) {
        // Cut toward the figure's own side of the limit it would cross.
        const double scale = std::pow(10.0, places);
        shown = shown > percent ? std::floor(percent * scale) / scale
                                : std::ceil(percent * scale) / scale;
    }
    return QString::number(shown, 'f', places) + QStringLiteral(" %");
}

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
    return percentBeside(share * 100, decimals, {100.0});
}

QString shareText(double share, double threshold, int decimals)
{
    return percentBeside(share * 100, decimals, {threshold * 100, 100.0});
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
