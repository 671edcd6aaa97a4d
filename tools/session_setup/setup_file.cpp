// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "session_setup/setup_file.h"

#include "session_setup/pulseview_time.h"

#include "sigrok/sigrok_logic.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>

#include <cerrno>
#include <cstdio>

namespace wavemill::session_setup {

namespace {

/// PulseView's "same as the first sample" for a decoder channel's level
/// before the capture, which it sets on every channel it makes.
constexpr int kInitialPinSameAsSample0 = 2;
/// Tries at a free name for the file beside the target.
constexpr int kTemporaryTries = 100;

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
/// hexadecimal code, which both read: rewrites \a path's text so, with a hex
/// digit after an escape escaped too, as Qt 5 does, so that it does not run
/// into it. False when the file could not be read or written back.
bool escapeForQt5(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const QString text = QString::fromUtf8(file.readAll());
    QByteArray ascii;
    bool afterEscape = false;
    for (const QChar c : text) {
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
    if (ascii.size() == file.size())
        return file.error() == QFileDevice::NoError; // nothing to escape
    return file.seek(0) && file.write(ascii) == ascii.size() && file.resize(ascii.size()) &&
           file.flush();
}

/// Makes a new, empty file beside \a target, with the mode new files get;
/// empty when none could be made.
QString newFileBeside(const QString &target, QString *why)
{
    for (int i = 0; i < kTemporaryTries; ++i) {
        QString name = QStringLiteral("%1.%2").arg(target).arg(
            QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        QFile file(name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return name;
        if (file.exists())
            continue;
        *why = file.errorString();
        return {};
    }
    *why = QStringLiteral("no free name for a file beside it");
    return {};
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

bool writeSetupFile(const QString &path, const SessionSetup &setup, QString *why)
{
    const QFileInfo link(path);
    const QString target = link.isSymLink() ? link.symLinkTarget() : path;
    const QFileInfo existing(target);
    if (existing.exists() && !existing.isFile()) {
        *why = QStringLiteral("%1: not a regular file").arg(path);
        return false;
    }
    QString reason;
    const QString temporary = newFileBeside(target, &reason);
    if (temporary.isEmpty()) {
        *why = QStringLiteral("%1: cannot write: %2").arg(path, reason);
        return false;
    }
    bool written = false;
    {
        QSettings settings(temporary, QSettings::IniFormat);
        writeSetup(settings, setup);
        settings.sync();
        written = settings.status() == QSettings::NoError;
    }
    written = written && escapeForQt5(temporary);
    if (written && existing.exists())
        written = QFile::setPermissions(temporary, existing.permissions());
    if (!written || std::rename(QFile::encodeName(temporary).constData(),
                                QFile::encodeName(target).constData()) != 0) {
        const QString error = written ? qt_error_string(errno)
                                      : QStringLiteral("the file could not be written whole");
        QFile::remove(temporary);
        *why = QStringLiteral("%1: cannot write: %2").arg(path, error);
        return false;
    }
    return true;
}

} // namespace wavemill::session_setup
