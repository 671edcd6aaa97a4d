// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "decode/sigrok_decoders.h"

#include "decode/decode_session.h"
#include "sigrok/sigrok_logic.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <libsigrokdecode/libsigrokdecode.h>

#include <algorithm>
#include <cstdarg>

namespace wavemill::decode {

namespace {

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

/// The strings of a GSList of them (a decoder's inputs and outputs).
QStringList strings(const GSList *list)
{
    QStringList out;
    for (const GSList *l = list; l; l = l->next)
        out << fromUtf8(static_cast<const char *>(l->data));
    return out;
}

/// The ids of a decoder's channels, required and optional.
QStringList channelIds(const GSList *channels)
{
    QStringList ids;
    for (const GSList *l = channels; l; l = l->next)
        ids << fromUtf8(static_cast<const srd_channel *>(l->data)->id);
    return ids;
}

bool takesLogic(const srd_decoder *decoder)
{
    return strings(decoder->inputs).contains(QLatin1String("logic"));
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

bool SigrokDecoders::decodersInstalled() const
{
    for (const QString &path : strings(srd_searchpaths_get())) {
        const QDir dir(path);
        // A decoder is a Python package: a folder with its __init__.py.
        for (const QString &entry : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (QFileInfo::exists(dir.filePath(entry + QStringLiteral("/__init__.py"))))
                return true;
        }
    }
    return false;
}

QString SigrokDecoders::notInstalled() const
{
    return QStringLiteral("sigrok's protocol decoders are not installed: none in %1 (Debian "
                          "package libsigrokdecode4)")
        .arg(strings(srd_searchpaths_get()).join(QStringLiteral(", ")));
}

bool SigrokDecoders::readsLogic(const QString &id, QString *why)
{
    const srd_decoder *decoder = load(id, why);
    return decoder && takesLogic(decoder);
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
    *why = decodersInstalled() ? QStringLiteral("no sigrok decoder named '%1' (wavemill-decode "
                                                "--list shows those that take one channel)")
                                     .arg(id)
                               : notInstalled();
    return nullptr;
}

DecodeFailure SigrokDecoders::decode(const QList<sigrok::DecoderStack> &stacks, int defaultTrace,
                                     const std::vector<std::uint8_t> *samples,
                                     std::vector<sigrok::Annotation> *annotations, QString *why)
{
    DecodeSession session(*this);
    const ChannelNames traces{
        [](const QString &value) { return sigrok::traceOfChannelValue(value); },
        QStringLiteral("trace1, trace2 or trace3 (the capture has traces 1 to 3)")};
    for (const sigrok::DecoderStack &stack : stacks) {
        if (!session.addStack(stack, defaultTrace, traces, why))
            return DecodeFailure::Setup;
    }
    if (!session.start(sigrok::kSampleRateHz, why))
        return DecodeFailure::Setup;
    if (!samples)
        return DecodeFailure::None;
    if (!session.send(0, samples->data(), samples->size(), 1, why))
        return DecodeFailure::Run;
    if (annotations)
        *annotations = session.take();
    return DecodeFailure::None;
}

bool SigrokDecoders::producerOf(const QString &input, QString *id, QStringList *channels)
{
    srd_decoder_load_all();
    QList<const srd_decoder *> found;
    for (const GSList *l = srd_decoder_list(); l; l = l->next) {
        const auto *decoder = static_cast<const srd_decoder *>(l->data);
        if (takesLogic(decoder) && strings(decoder->outputs).contains(input))
            found.append(decoder);
    }
    if (found.isEmpty())
        return false;
    // The one named as the input, as uart is for midi's "uart"; else the first by name.
    std::sort(found.begin(), found.end(), [&](const srd_decoder *a, const srd_decoder *b) {
        const bool aNamed = fromUtf8(a->id) == input;
        const bool bNamed = fromUtf8(b->id) == input;
        return aNamed != bNamed ? aNamed : fromUtf8(a->id) < fromUtf8(b->id);
    });
    *id = fromUtf8(found.front()->id);
    *channels = channelIds(found.front()->channels) + channelIds(found.front()->opt_channels);
    return true;
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
    if (list.isEmpty())
        *why = notInstalled();
    return list;
}

} // namespace wavemill::decode
