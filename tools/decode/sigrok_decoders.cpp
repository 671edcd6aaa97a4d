// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "decode/sigrok_decoders.h"

#include <QDir>
#include <QFileInfo>

#include <libsigrokdecode/libsigrokdecode.h>

#include <cstdarg>

namespace wavemill::decode {

namespace {

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QStringList channelIds(const GSList *channels)
{
    QStringList ids;
    for (const GSList *l = channels; l; l = l->next)
        ids << fromUtf8(static_cast<const srd_channel *>(l->data)->id);
    return ids;
}

bool takesLogic(const srd_decoder *decoder)
{
    for (const GSList *l = decoder->inputs; l; l = l->next) {
        if (qstrcmp(static_cast<const char *>(l->data), "logic") == 0)
            return true;
    }
    return false;
}

} // namespace

SigrokDecoders::SigrokDecoders()
{
    srd_log_callback_set(&SigrokDecoders::onLog, this);
    const int status = srd_init(nullptr);
    if (status != SRD_OK) {
        m_error =
            QStringLiteral("libsigrokdecode did not start: %1").arg(fromUtf8(srd_strerror(status)));
        const QString logged = lastLogError();
        if (!logged.isEmpty())
            m_error += QStringLiteral(" (%1)").arg(logged);
        return;
    }
    m_ready = true;
}

SigrokDecoders::~SigrokDecoders()
{
    if (m_ready)
        srd_exit();
    srd_log_callback_set_default();
}

int SigrokDecoders::onLog(void *self, int level, const char *format, va_list args)
{
    if (level > SRD_LOG_ERR)
        return SRD_OK;
    char *text = g_strdup_vprintf(format, args);
    auto *decoders = static_cast<SigrokDecoders *>(self);
    {
        const std::lock_guard<std::mutex> lock(decoders->m_logMutex);
        // A Python traceback comes as several lines: its last says what went wrong.
        QStringList lines = fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        decoders->m_lastError = lines.isEmpty() ? QString() : lines.back().trimmed();
    }
    g_free(text);
    return SRD_OK;
}

QString SigrokDecoders::lastLogError() const
{
    const std::lock_guard<std::mutex> lock(m_logMutex);
    return m_lastError;
}

void SigrokDecoders::clearLog()
{
    const std::lock_guard<std::mutex> lock(m_logMutex);
    m_lastError.clear();
}

bool SigrokDecoders::decodersInstalled(QStringList *searched) const
{
    bool found = false;
    for (const GSList *l = srd_searchpaths_get(); l; l = l->next) {
        const QString path = fromUtf8(static_cast<const char *>(l->data));
        if (searched && !searched->contains(path))
            searched->append(path);
        const QDir dir(path);
        // A decoder is a Python package: a folder with its __init__.py.
        for (const QString &entry : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (QFileInfo::exists(dir.filePath(entry + QStringLiteral("/__init__.py"))))
                found = true;
        }
    }
    return found;
}

srd_decoder *SigrokDecoders::load(const QString &id, QString *why)
{
    const QByteArray name = id.toUtf8();
    if (srd_decoder *loaded = srd_decoder_get_by_id(name.constData()))
        return loaded;
    clearLog();
    if (srd_decoder_load(name.constData()) == SRD_OK) {
        if (srd_decoder *loaded = srd_decoder_get_by_id(name.constData()))
            return loaded;
    }
    QStringList searched;
    if (!decodersInstalled(&searched))
        *why = QStringLiteral("sigrok's protocol decoders are not installed: none in %1 (Debian "
                              "package libsigrokdecode4)")
                   .arg(searched.join(QStringLiteral(", ")));
    else
        *why = QStringLiteral("no sigrok decoder named '%1' (wavemill-decode --list shows those "
                              "that take one channel)")
                   .arg(id);
    return nullptr;
}

QList<DecoderSummary> SigrokDecoders::singleChannelDecoders(QString *why)
{
    clearLog();
    srd_decoder_load_all();
    QList<DecoderSummary> list;
    for (const GSList *l = srd_decoder_list(); l; l = l->next) {
        const auto *decoder = static_cast<const srd_decoder *>(l->data);
        const QStringList required = channelIds(decoder->channels);
        const QStringList optional = channelIds(decoder->opt_channels);
        // One channel to read, and at most one more it can do without: uart's
        // rx or tx, counter's data and reset; not spi, whose clock alone says nothing.
        const qsizetype all = required.size() + optional.size();
        if (!takesLogic(decoder) || required.size() > 1 || all < 1 || all > 2)
            continue;
        list.append({fromUtf8(decoder->id), fromUtf8(decoder->longname), fromUtf8(decoder->desc),
                     required.isEmpty() ? optional : required});
    }
    if (list.isEmpty()) {
        QStringList searched;
        decodersInstalled(&searched);
        *why = QStringLiteral("sigrok's protocol decoders are not installed: none in %1 (Debian "
                              "package libsigrokdecode4)")
                   .arg(searched.join(QStringLiteral(", ")));
    }
    return list;
}

} // namespace wavemill::decode
