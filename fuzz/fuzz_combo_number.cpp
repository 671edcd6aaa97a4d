// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The combo boxes' number reader over any text a user could type or paste:
// the input bytes read as UTF-8 and as Latin-1. Aborts when
//   - the value is NaN,
//   - blanks put anywhere into the text change the value,
//   - a text that does not begin with a number gives anything but 0,
//   - the value differs from strtod's reading of the same number (the C
//     library's correctly rounded conversion, as a second opinion).

#include "core/numbers.h"

#include <QString>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

/// The text without its blanks.
std::u16string withoutBlanks(const QString &text)
{
    std::u16string s;
    for (QChar c : text) {
        if (!isBlank(c.unicode()))
            s.push_back(c.unicode());
    }
    return s;
}

/// Reads the number the blank-free text begins with, written independently
/// of the reader under test: sign, digits, point, digits, then an exponent
/// (e or d) only when digits follow it. Returns false when there is none.
bool leadingNumber(const std::u16string &s, double &value)
{
    std::size_t i = 0;
    std::string number;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        number.push_back(char(s[i++]));
    bool digits = false;
    for (; i < s.size() && isDigit(s[i]); ++i, digits = true)
        number.push_back(char(s[i]));
    if (i < s.size() && s[i] == u'.') {
        number.push_back('.');
        for (++i; i < s.size() && isDigit(s[i]); ++i, digits = true)
            number.push_back(char(s[i]));
    }
    if (!digits)
        return false;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-'))
            exponent.push_back(char(s[j++]));
        bool expDigits = false;
        for (; j < s.size() && isDigit(s[j]); ++j, expDigits = true)
            exponent.push_back(char(s[j]));
        if (expDigits)
            number += exponent;
    }
    errno = 0;
    value = std::strtod(number.c_str(), nullptr);
    // Below the smallest normal double the reader may give 0 instead of a
    // subnormal; either is the number's nearest value for a combo box.
    if (errno == ERANGE && std::fabs(value) < 1e-300)
        value = 0.0;
    return true;
}

bool sameValue(double a, double b)
{
    if (std::fabs(a) < 1e-300 && std::fabs(b) < 1e-300)
        return true; // zeros and subnormals, as above
    return a == b;
}

/// The text with blanks put in at places chosen by the input's bytes.
QString withBlanks(const QString &text, const std::uint8_t *data, std::size_t size)
{
    QString out;
    std::size_t k = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const std::uint8_t pick = size ? data[k++ % size] : 0;
        if (pick & 1)
            out.append(pick & 2 ? QLatin1Char('\t') : QLatin1Char(' '));
        if (pick & 4)
            out.append(QLatin1Char(' '));
        if (i < text.size())
            out.append(text.at(i));
    }
    return out;
}

void check(const QString &text, const std::uint8_t *data, std::size_t size)
{
    const double value = wavemill::comboNumber(text);
    if (std::isnan(value))
        __builtin_trap();

    double expected = 0.0;
    if (!leadingNumber(withoutBlanks(text), expected)) {
        if (value != 0.0)
            __builtin_trap(); // no leading number gives 0
    } else if (!sameValue(value, expected)) {
        __builtin_trap();
    }

    // Blanks count for nothing, wherever they stand.
    const double spaced = wavemill::comboNumber(withBlanks(text, data, size));
    if (!sameValue(spaced, value) || std::signbit(spaced) != std::signbit(value))
        __builtin_trap();
    QString everywhere = QStringLiteral(" \t");
    for (QChar c : text) {
        everywhere.append(c);
        everywhere.append(QLatin1Char(' '));
    }
    if (!sameValue(wavemill::comboNumber(everywhere), value))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    check(QString::fromUtf8(bytes, qsizetype(size)), data, size);
    check(QString::fromLatin1(bytes, qsizetype(size)), data, size);
    return 0;
}
