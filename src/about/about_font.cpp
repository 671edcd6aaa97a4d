// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/about_font.h"

#include <QFontDatabase>
#include <QRegularExpression>

namespace wavemill::about {

QString aboutFontFamily(const QStringList &families)
{
    // The face the window was designed with, by its Chinese and Latin names.
    static const QStringList designed{QStringLiteral("宋体"), QStringLiteral("SimSun")};
    // Common CJK faces, serif ones first as the closest in look.
    static const QStringList fallbacks{QStringLiteral("NSimSun"),
                                       QStringLiteral("Noto Serif CJK SC"),
                                       QStringLiteral("Source Han Serif SC"),
                                       QStringLiteral("AR PL UMing CN"),
                                       QStringLiteral("Noto Sans CJK SC"),
                                       QStringLiteral("Source Han Sans SC"),
                                       QStringLiteral("WenQuanYi Zen Hei"),
                                       QStringLiteral("WenQuanYi Micro Hei"),
                                       QStringLiteral("Microsoft YaHei"),
                                       QStringLiteral("PingFang SC")};

    for (const QStringList *wanted : {&designed, &fallbacks}) {
        for (const QString &name : *wanted) {
            const qsizetype at = families.indexOf(QRegularExpression(
                QRegularExpression::escape(name), QRegularExpression::CaseInsensitiveOption));
            if (at >= 0)
                return families.at(at);
        }
    }
    return families.isEmpty() ? QString() : families.first();
}

QString aboutFontFamily()
{
    return aboutFontFamily(QFontDatabase::families(QFontDatabase::SimplifiedChinese));
}

} // namespace wavemill::about
