// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/sigrok_reading.h"

#include "detect/measure_text.h"

namespace wavemill::detect {

PwmReading pwmReading(const std::vector<sigrok::Annotation> &annotations)
{
    PwmReading r;
    for (const sigrok::Annotation &a : annotations) {
        if (a.decoder != QLatin1String("pwm") || a.texts.isEmpty())
            continue;
        const QString text = a.texts.front();
        if (a.annotationClass == QLatin1String("duty-cycle")) {
            r.duties.push_back(text.chopped(1).toDouble() / 100);
        } else if (a.annotationClass == QLatin1String("period")) {
            // "1.0 ms", "20.0 µs", "1.0 s"
            const double value = text.section(QLatin1Char(' '), 0, 0).toDouble();
            const QString unit = text.section(QLatin1Char(' '), 1);
            r.periodsUs.push_back(unit == QLatin1String("s")    ? value * 1e6
                                  : unit == QLatin1String("ms") ? value * 1e3
                                  : unit == QLatin1String("ns") ? value / 1e3
                                                                : value);
        }
    }
    return r;
}

QString runTogether(const QStringList &items, int shown)
{
    QStringList parts;
    QString last;
    int repeats = 0;
    qsizetype groups = 0;
    const auto flush = [&] {
        if (repeats == 0)
            return;
        ++groups;
        if (parts.size() < shown)
            parts << (repeats > 1 ? QStringLiteral("%1 ×%2").arg(last).arg(repeats) : last);
    };
    for (const QString &item : items) {
        if (repeats > 0 && item == last) {
            ++repeats;
            continue;
        }
        flush();
        last = item;
        repeats = 1;
    }
    flush();
    if (groups > shown)
        parts << QStringLiteral("and %1 more").arg(groups - shown);
    return parts.join(QStringLiteral("; "));
}

QStringList annotationTexts(const std::vector<sigrok::Annotation> &annotations,
                            const QString &decoder, const QStringList &classes)
{
    QStringList texts;
    for (const sigrok::Annotation &a : annotations) {
        if (a.decoder == decoder && !a.texts.isEmpty() && classes.contains(a.annotationClass))
            texts << a.texts.front();
    }
    return texts;
}

QString framesDiffer(const QString &decoder, const QString &what, std::size_t matched,
                     std::size_t ours, std::size_t theirs, const QString &why)
{
    if (matched == ours && theirs == ours)
        return {};
    return QStringLiteral("sigrok's %1 reading differs from the timings': it reads %2 of the %3 "
                          "%4 they give, and %5 they do not give%6")
        .arg(decoder, countText(qint64(matched)), countText(qint64(ours)), what,
             countText(qint64(theirs) - qint64(matched)),
             why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why));
}

} // namespace wavemill::detect
