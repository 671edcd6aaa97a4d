// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/numbers.h"

#include "core/sample_period.h"

#include <cctype>
#include <charconv>
#include <string>
#include <cmath>
#include <limits>

namespace wavemill {

double roundHalfEven(double value)
{
    // nearbyint follows the default rounding mode, which is to nearest-even.
    return std::nearbyint(value);
}

double comboNumber(const QString &text)
{
    // Blanks count for nothing wherever they stand ("1 2" reads as 12).
    QByteArray s;
    s.reserve(text.size());
    for (QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t'))
            continue;
        if (c.unicode() > 0x7f)
            s.append('\x01'); // ends the number
        else
            s.append(char(c.unicode()));
    }

    qsizetype i = 0;
    const qsizetype n = s.size();
    std::string number;
    if (i < n && (s[i] == '+' || s[i] == '-'))
        number.push_back(s[i++]);
    int digits = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(s[i]))) {
        number.push_back(s[i++]);
        ++digits;
    }
    if (i < n && s[i] == '.') {
        number.push_back(s[i++]);
        while (i < n && std::isdigit(static_cast<unsigned char>(s[i]))) {
            number.push_back(s[i++]);
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    // An exponent counts only when digits follow it.
    if (i < n && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < n && (s[j] == '+' || s[j] == '-'))
            exponent.push_back(s[j++]);
        int expDigits = 0;
        while (j < n && std::isdigit(static_cast<unsigned char>(s[j]))) {
            exponent.push_back(s[j++]);
            ++expDigits;
        }
        if (expDigits > 0)
            number += exponent;
    }

    double value = 0.0;
    const char *first = number.data();
    if (*first == '+')
        ++first;
    const auto result = std::from_chars(first, number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Far too large or too small for a double: keep the sign and the magnitude's side.
        const bool negative = number[0] == '-';
        const bool tiny = number.find("e-") != std::string::npos;
        if (tiny)
            return 0.0;
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    }
    return value;
}

namespace {

// Strips trailing zeros, then a bare decimal point.
QString trimmedDecimal(const char *begin, const char *end)
{
    QString s = QString::fromLatin1(begin, int(end - begin));
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    return s;
}

// Puts the sign place in front: a blank for zero or more, "-" below.
QString withSignPlace(QString digits)
{
    if (digits.startsWith(QLatin1Char('-'))) {
        // "-0" after rounding is a zero: shown as one.
        if (digits == QLatin1String("-0"))
            return QStringLiteral(" 0");
        return digits;
    }
    return QLatin1Char(' ') + digits;
}

} // namespace

QString timeText(double milliseconds)
{
    if (!std::isfinite(milliseconds))
        return QStringLiteral(" 0ms");
    // to_chars with a precision rounds the exact binary value as printf does
    // in the "C" locale: exact halves go to the even digit.
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, milliseconds, std::chars_format::fixed, 3);
    return withSignPlace(trimmedDecimal(buffer, result.ptr)) + QStringLiteral("ms");
}

QString durationText(double seconds)
{
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed);
    return withSignPlace(trimmedDecimal(buffer, result.ptr));
}

std::int16_t saturate16(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 32767.0)
        return 32767;
    if (value <= -32768.0)
        return -32768;
    return static_cast<std::int16_t>(value);
}

QString samplePeriodText(const QString &unit)
{
    // Exact decimals of the period in picoseconds, without trailing zeros.
    constexpr std::int64_t kPsPerUs = 1000000;
    QString fraction =
        QStringLiteral("%1").arg(kSamplePeriodPs % kPsPerUs, 6, 10, QLatin1Char('0'));
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    const QString whole = QString::number(kSamplePeriodPs / kPsPerUs);
    return (fraction.isEmpty() ? whole : whole + QLatin1Char('.') + fraction) +
           QLatin1Char(' ') + unit;
}

} // namespace wavemill
