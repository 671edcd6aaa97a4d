// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "sigrok/session_metadata.h"

#include <QMap>

#include <algorithm>
#include <limits>

namespace wavemill::sigrok {

namespace {

/// Digits of a decimal that still fit in 64 bits, whatever follows.
constexpr int kMaxDigits = 18;

/// One device section's keys, as written.
struct Device
{
    QString name;
    QMap<QString, QString> keys;
};

/// Multiplies \a value by \a factor, false on overflow.
bool multiply(std::uint64_t &value, std::uint64_t factor)
{
    if (factor != 0 && value > std::numeric_limits<std::uint64_t>::max() / factor)
        return false;
    value *= factor;
    return true;
}

/// A whole number of at most kMaxDigits digits, the whole of \a text.
bool wholeNumber(const QString &text, qint64 *value)
{
    if (text.isEmpty() || text.size() > kMaxDigits)
        return false;
    for (const QChar c : text) {
        if (!c.isDigit() || c.unicode() > '9')
            return false;
    }
    *value = text.toLongLong();
    return true;
}

bool parseDevice(const Device &device, SessionMetadata *metadata, QString *why)
{
    const QString rate = device.keys.value(QStringLiteral("samplerate"));
    if (rate.isEmpty()) {
        *why = QStringLiteral("its metadata gives no sample rate");
        return false;
    }
    metadata->sampleRateHz = parseSampleRate(rate);
    if (metadata->sampleRateHz == 0) {
        *why = QStringLiteral("its sample rate '%1' is not one this program reads (whole hertz "
                              "from 1 Hz to %2)")
                   .arg(rate, sampleRateText(kMaxSampleRateHz));
        return false;
    }
    qint64 unitSize = 0;
    const QString unitText = device.keys.value(QStringLiteral("unitsize"));
    if (!wholeNumber(unitText, &unitSize) || unitSize < 1 || unitSize > kMaxUnitSize) {
        *why = QStringLiteral("its unit size '%1' is not 1 to %2 bytes a sample")
                   .arg(unitText)
                   .arg(kMaxUnitSize);
        return false;
    }
    metadata->unitSize = int(unitSize);
    qint64 total = unitSize * 8;
    if (device.keys.contains(QStringLiteral("total probes"))) {
        const QString text = device.keys.value(QStringLiteral("total probes"));
        if (!wholeNumber(text, &total)) {
            *why = QStringLiteral("its total probes '%1' is not a number").arg(text);
            return false;
        }
    }
    // probeN: the name of channel N, from 1.
    for (auto it = device.keys.begin(); it != device.keys.end(); ++it) {
        if (!it.key().startsWith(QLatin1String("probe")))
            continue;
        qint64 number = 0;
        if (!wholeNumber(it.key().mid(5), &number) || number < 1)
            continue; // not a channel's name
        if (number > total || number > unitSize * 8) {
            *why = QStringLiteral("its metadata names probe %1, beyond its %2 probes of %3 "
                                  "bits a sample")
                       .arg(number)
                       .arg(total)
                       .arg(unitSize * 8);
            return false;
        }
        metadata->channels.append({int(number), it.value()});
    }
    if (metadata->channels.isEmpty()) {
        *why = QStringLiteral("it records no logic channel (its metadata names no probe)");
        return false;
    }
    std::sort(metadata->channels.begin(), metadata->channels.end(),
              [](const SessionChannel &a, const SessionChannel &b) { return a.number < b.number; });
    metadata->captureFile = device.keys.value(QStringLiteral("capturefile")).toUtf8();
    return true;
}

} // namespace

bool parseSessionMetadata(const QByteArray &text, SessionMetadata *metadata, QString *why)
{
    QList<Device> devices;
    bool inDevice = false;
    for (const QByteArray &raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const QString section = line.mid(1, line.size() - 2).trimmed();
            inDevice = section.startsWith(QLatin1String("device"));
            if (inDevice)
                devices.append({section, {}});
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inDevice || equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        if (devices.back().keys.contains(key)) {
            *why = QStringLiteral("its metadata gives '%1' twice").arg(key);
            return false;
        }
        devices.back().keys.insert(key, line.mid(equals + 1).trimmed());
    }
    const Device *logic = nullptr;
    for (const Device &device : devices) {
        if (!device.keys.contains(QStringLiteral("capturefile")))
            continue;
        if (logic) {
            *why = QStringLiteral("it holds logic data of more than one device (%1, %2); this "
                                  "program reads one")
                       .arg(logic->name, device.name);
            return false;
        }
        logic = &device;
    }
    if (!logic || logic->keys.value(QStringLiteral("capturefile")).isEmpty()) {
        *why = QStringLiteral("its metadata names no logic data (no capturefile)");
        return false;
    }
    *metadata = {};
    return parseDevice(*logic, metadata, why);
}

std::uint64_t parseSampleRate(const QString &text)
{
    QString rest = text.trimmed();
    qsizetype digits = 0;
    while (digits < rest.size() && rest[digits].isDigit() && rest[digits].unicode() <= '9')
        ++digits;
    const QString whole = rest.left(digits);
    QString fraction;
    rest = rest.mid(digits);
    if (rest.startsWith(QLatin1Char('.'))) {
        qsizetype end = 1;
        while (end < rest.size() && rest[end].isDigit() && rest[end].unicode() <= '9')
            ++end;
        fraction = rest.mid(1, end - 1);
        rest = rest.mid(end);
    }
    if ((whole.isEmpty() && fraction.isEmpty()) || whole.size() > kMaxDigits ||
        fraction.size() > kMaxDigits)
        return 0;
    rest = rest.trimmed();
    std::uint64_t multiplier = 1;
    int exponent = 0; // of the multiplier, to place the fraction
    if (!rest.isEmpty()) {
        const QChar prefix = rest[0].toLower();
        if (prefix == QLatin1Char('k'))
            exponent = 3;
        else if (prefix == QLatin1Char('m'))
            exponent = 6;
        else if (prefix == QLatin1Char('g'))
            exponent = 9;
        if (exponent > 0)
            rest = rest.mid(1);
        for (int i = 0; i < exponent; ++i)
            multiplier *= 10;
    }
    if (!rest.isEmpty() && rest.compare(QLatin1String("Hz"), Qt::CaseInsensitive) != 0)
        return 0;
    std::uint64_t hertz = whole.isEmpty() ? 0 : whole.toULongLong();
    if (!multiply(hertz, multiplier) || hertz > kMaxSampleRateHz)
        return 0;
    // The fraction must come to whole hertz: its digits beyond the prefix's are zeros.
    QString kept = fraction.left(exponent);
    if (fraction.mid(exponent).count(QLatin1Char('0')) != fraction.size() - kept.size())
        return 0;
    kept = kept.leftJustified(exponent, QLatin1Char('0'));
    if (!kept.isEmpty())
        hertz += kept.toULongLong();
    if (hertz < 1 || hertz > kMaxSampleRateHz)
        return 0;
    return hertz;
}

QString sampleRateText(std::uint64_t hertz)
{
    static const char *const kUnits[] = {"Hz", "kHz", "MHz", "GHz"};
    int unit = 0;
    std::uint64_t scale = 1;
    while (unit < 3 && hertz >= scale * 1000) {
        scale *= 1000;
        ++unit;
    }
    QString text = QString::number(hertz / scale);
    if (const std::uint64_t rest = hertz % scale) {
        QString fraction = QString::number(rest).rightJustified(
            QString::number(scale).size() - 1, QLatin1Char('0'));
        while (fraction.endsWith(QLatin1Char('0')))
            fraction.chop(1);
        text += QLatin1Char('.') + fraction;
    }
    return text + QLatin1Char(' ') + QLatin1String(kUnits[unit]);
}

} // namespace wavemill::sigrok
