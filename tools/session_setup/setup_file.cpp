// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "session_setup/setup_file.h"

#include "session_setup/pulseview_time.h"

#include "sigrok/sigrok_logic.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>

namespace wavemill::session_setup {

namespace {

/// PulseView's "same as the first sample" for a decoder channel's level
/// before the capture, which it sets on every channel it makes.
constexpr int kInitialPinSameAsSample0 = 2;

/// An option's GVariant type string and its value's bytes as PulseView
/// stores them: g_variant_get_data()'s, in the machine's byte order for
/// numbers, and a string's UTF-8 with its closing NUL.
std::pair<QString, QByteArray> serialized(const QVariant &value)
{
    if (value.typeId() == QMetaType::LongLong) {
        const qint64 number = value.toLongLong();
        return {QStringLiteral("x"), QByteArray(reinterpret_cast<const char *>(&number), 8)};
    }
    if (value.typeId() == QMetaType::Double) {
        const double number = value.toDouble();
        return {QStringLiteral("d"), QByteArray(reinterpret_cast<const char *>(&number), 8)};
    }
    QByteArray text = value.toString().toUtf8();
    text.append('\0');
    return {QStringLiteral("s"), text};
}

void writeDecodeSignal(QSettings &s, const DecodeSignal &signal)
{
    s.setValue(QStringLiteral("name"), signal.name);
    s.setValue(QStringLiteral("enabled"), true);
    s.setValue(QStringLiteral("decoders"), signal.stack.size());
    for (qsizetype j = 0; j < signal.stack.size(); ++j) {
        const SetupDecoder &d = signal.stack[j];
        s.beginGroup(QStringLiteral("decoder%1").arg(j));
        s.setValue(QStringLiteral("id"), d.id);
        s.setValue(QStringLiteral("visible"), true);
        s.setValue(QStringLiteral("options"), d.options.size());
        for (qsizetype k = 0; k < d.options.size(); ++k) {
            const auto [type, bytes] = serialized(d.options[k].value);
            s.beginGroup(QStringLiteral("option%1").arg(k));
            s.setValue(QStringLiteral("name"), d.options[k].id);
            s.setValue(QStringLiteral("type"), type);
            s.setValue(QStringLiteral("value"), bytes);
            s.endGroup();
        }
        s.endGroup();
    }
    s.setValue(QStringLiteral("channels"), signal.channelNames.size());
    for (qsizetype n = 0; n < signal.channelNames.size(); ++n) {
        s.beginGroup(QStringLiteral("channel%1").arg(n));
        s.setValue(QStringLiteral("name"), signal.channelNames[n]);
        s.setValue(QStringLiteral("initial_pin_state"), kInitialPinSameAsSample0);
        if (n == signal.channelIndex)
            s.setValue(QStringLiteral("assigned_signal_name"),
                       QStringLiteral("trace%1").arg(signal.trace));
        s.endGroup();
    }
}

void writeSetup(QSettings &s, const SessionSetup &setup)
{
    constexpr auto kRate = std::uint32_t(sigrok::kSampleRateHz);
    s.setValue(QStringLiteral("decode_signals"), setup.decodeSignals.size());
    for (qsizetype i = 0; i < setup.decodeSignals.size(); ++i) {
        s.beginGroup(QStringLiteral("decode_signal%1").arg(i));
        writeDecodeSignal(s, setup.decodeSignals[i]);
        s.endGroup();
    }
    const bool view = setup.secondsPerPixel > 0;
    s.setValue(QStringLiteral("views"), view ? 1 : 0);
    if (view) {
        s.beginGroup(QStringLiteral("view0"));
        s.setValue(QStringLiteral("scale"), setup.secondsPerPixel);
        s.setValue(QStringLiteral("offset"), pulseViewTime(setup.offsetSample, kRate));
        s.endGroup();
    }
    s.setValue(QStringLiteral("meta_objs"), setup.markers.size());
    for (qsizetype i = 0; i < setup.markers.size(); ++i) {
        s.beginGroup(QStringLiteral("meta_obj%1").arg(i));
        s.setValue(QStringLiteral("type"), QStringLiteral("time_marker"));
        s.setValue(QStringLiteral("assoc_view"), 0);
        s.setValue(QStringLiteral("time"), pulseViewTime(setup.markers[i].sample, kRate));
        s.setValue(QStringLiteral("text"), setup.markers[i].text);
        s.endGroup();
    }
}

/// Qt 6 writes an INI file's text in UTF-8, but PulseView's Qt 5 reads it
/// as Latin-1 and escapes what is not ASCII as "\\x" and the character's
/// hexadecimal code, which both read: \a utf8 so, with a hex digit after an
/// escape escaped too, as Qt 5 does, so that it does not run into it.
QByteArray escapedForQt5(const QByteArray &utf8)
{
    QByteArray ascii;
    bool afterEscape = false;
    for (const QChar c : QString::fromUtf8(utf8)) {
        const bool hexDigit =
            c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'));
        if (c.unicode() < 0x80 && !(afterEscape && hexDigit)) {
            ascii.append(char(c.unicode()));
            afterEscape = false;
        } else {
            ascii += "\\x" + QByteArray::number(c.unicode(), 16);
            afterEscape = true;
        }
    }
    return ascii;
}

} // namespace

QString setupPathFor(const QString &sessionPath)
{
    const QFileInfo info(sessionPath);
    const qsizetype dot = info.fileName().lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return {};
    return sessionPath.left(sessionPath.size() - info.fileName().size() + dot) +
           QStringLiteral(".pvs");
}

QByteArray setupFileContent(const SessionSetup &setup, QString *why)
{
    // QSettings writes only to a file: a private one, read back whole.
    QTemporaryFile file;
    if (!file.open()) {
        *why =
            QStringLiteral("no temporary file for the session setup: %1").arg(file.errorString());
        return {};
    }
    {
        QSettings settings(file.fileName(), QSettings::IniFormat);
        writeSetup(settings, setup);
        settings.sync();
        if (settings.status() != QSettings::NoError) {
            *why =
                QStringLiteral("the session setup could not be written to %1").arg(file.fileName());
            return {};
        }
    }
    // QSettings replaced the file by name; read what is there now.
    QFile written(file.fileName());
    if (!written.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("the session setup could not be read back: %1")
                   .arg(written.errorString());
        return {};
    }
    return escapedForQt5(written.readAll());
}

} // namespace wavemill::session_setup
