// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "command/printable_text.h"

#include <QStringDecoder>

namespace wavemill::command {

QString printable(const QString &text, int maxChars)
{
    QString shown;
    int chars = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (chars == maxChars) {
            shown += QChar(0x2026); // …
            break;
        }
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            const char32_t code = QChar::surrogateToUcs4(c, text.at(i + 1));
            if (QChar::isPrint(code))
                shown += QStringView(text).mid(i, 2);
            else
                shown += QLatin1Char('?');
            ++i;
        } else {
            shown += c.isPrint() && !c.isSurrogate() ? c : QLatin1Char('?');
        }
        ++chars;
    }
    return shown;
}

std::string printable(const std::string &bytes, int maxChars)
{
    // Invalid UTF-8 decodes to U+FFFD, which is printable: it is put as "?"
    // like any other byte that is not text.
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    text.replace(QChar::ReplacementCharacter, QLatin1Char('?'));
    return printable(text, maxChars).toStdString();
}

} // namespace wavemill::command
