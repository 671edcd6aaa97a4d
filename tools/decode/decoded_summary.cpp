// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "decode/decoded_summary.h"

#include "detect/measure_text.h"

#include <algorithm>

namespace wavemill::decode {

using detect::countText;
using sigrok::Annotation;

namespace {

/// Characters of decoded text shown.
constexpr int kShownCharacters = 120;
/// Remote codes shown before "and N more".
constexpr int kShownCodes = 6;

QStringList summariseUart(const std::vector<Annotation> &annotations)
{
    const QByteArray bytes = uartBytes(annotations);
    const auto warnings =
        std::count_if(annotations.begin(), annotations.end(), [](const Annotation &a) {
            return a.annotationClass == QLatin1String("rx-warnings");
        });
    return {QStringLiteral("sigrok uart decoder: %1 bytes%2: \"%3\"")
                .arg(countText(bytes.size()),
                     warnings > 0 ? QStringLiteral(", %1 warnings").arg(warnings) : QString(),
                     escapedText(bytes, kShownCharacters))};
}

QStringList summariseRemote(const QString &decoder, const std::vector<Annotation> &annotations)
{
    const QString addressClass =
        decoder == QLatin1String("ir_nec") ? QStringLiteral("addr") : QStringLiteral("address");
    const QString commandClass =
        decoder == QLatin1String("ir_nec") ? QStringLiteral("cmd") : QStringLiteral("command");
    QStringList codes;
    QString address;
    int count = 0;
    int repeats = 0;
    for (const Annotation &a : annotations) {
        if (a.texts.isEmpty())
            continue;
        if (a.annotationClass == addressClass) {
            address = a.texts.front();
        } else if (a.annotationClass == commandClass) {
            ++count;
            const QString code = address + QStringLiteral(", ") + a.texts.front();
            if (codes.isEmpty() || codes.back() != code)
                codes << code;
        } else if (a.annotationClass == QLatin1String("repeat-code")) {
            ++repeats;
        }
    }
    const qint64 more = qint64(codes.size()) - kShownCodes;
    return {QStringLiteral("sigrok %1 decoder: %2 codes%3%4%5")
                .arg(decoder, countText(count),
                     repeats > 0 ? QStringLiteral(" and %1 repeat codes").arg(repeats) : QString(),
                     codes.isEmpty() ? QString()
                                     : QStringLiteral(": ") +
                                           codes.mid(0, kShownCodes).join(QStringLiteral("; ")),
                     more > 0 ? QStringLiteral("; and %1 more").arg(more) : QString())};
}

} // namespace

QByteArray uartBytes(const std::vector<Annotation> &annotations)
{
    QByteArray bytes;
    for (const Annotation &a : annotations) {
        if (a.annotationClass != QLatin1String("rx-data") || a.texts.isEmpty())
            continue;
        bool ok = false;
        const int value = a.texts.front().toInt(&ok, 16);
        if (ok)
            bytes.append(char(value));
    }
    return bytes;
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

QStringList summariseDecoded(const QString &decoder, const std::vector<Annotation> &annotations)
{
    if (decoder == QLatin1String("uart"))
        return summariseUart(annotations);
    return summariseRemote(decoder, annotations);
}

} // namespace wavemill::decode
