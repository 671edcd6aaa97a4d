// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "decode/decode_session.h"

#include "decode/sigrok_decoders.h"
#include "sigrok/sigrok_logic.h"

#include <libsigrokdecode/libsigrokdecode.h>

#include <memory>

namespace wavemill::decode {

using sigrok::Annotation;
using sigrok::DecoderChoice;
using sigrok::DecoderStack;
using sigrok::traceOfChannelValue;

namespace {

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

struct HashTableUnref
{
    void operator()(GHashTable *table) const { g_hash_table_unref(table); }
};
using HashTable = std::unique_ptr<GHashTable, HashTableUnref>;

HashTable newTable()
{
    return HashTable(g_hash_table_new_full(g_str_hash, g_str_equal, g_free,
                                           reinterpret_cast<GDestroyNotify>(g_variant_unref)));
}

const srd_channel *findChannel(const GSList *channels, const QString &id)
{
    for (const GSList *l = channels; l; l = l->next) {
        const auto *channel = static_cast<const srd_channel *>(l->data);
        if (fromUtf8(channel->id) == id)
            return channel;
    }
    return nullptr;
}

QString variantText(GVariant *value)
{
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING))
        return fromUtf8(g_variant_get_string(value, nullptr));
    gchar *text = g_variant_print(value, FALSE);
    QString result = fromUtf8(text);
    g_free(text);
    return result;
}

/// The value of option \a option from \a text, of the type of its default;
/// nullptr with \a error when it does not read as one, or is not one of the
/// values the option lists.
GVariant *optionValue(const QString &decoder, const srd_decoder_option *option, const QString &text,
                      QString *error)
{
    GVariant *value = nullptr;
    bool ok = false;
    if (g_variant_is_of_type(option->def, G_VARIANT_TYPE_INT64)) {
        const qlonglong number = text.toLongLong(&ok);
        if (ok)
            value = g_variant_new_int64(number);
    } else if (g_variant_is_of_type(option->def, G_VARIANT_TYPE_DOUBLE)) {
        const double number = text.toDouble(&ok);
        if (ok)
            value = g_variant_new_double(number);
    } else if (g_variant_is_of_type(option->def, G_VARIANT_TYPE_STRING)) {
        value = g_variant_new_string(text.toUtf8().constData());
        ok = true;
    }
    if (!ok) {
        *error = QStringLiteral("%1: option %2 takes a %3, not '%4'")
                     .arg(decoder, fromUtf8(option->id),
                          g_variant_is_of_type(option->def, G_VARIANT_TYPE_DOUBLE)
                              ? QStringLiteral("number")
                              : QStringLiteral("whole number"),
                          text);
        return nullptr;
    }
    g_variant_ref_sink(value);
    if (option->values) {
        QStringList allowed;
        bool listed = false;
        for (const GSList *l = option->values; l; l = l->next) {
            auto *candidate = static_cast<GVariant *>(l->data);
            allowed << variantText(candidate);
            listed = listed || g_variant_equal(candidate, value);
        }
        if (!listed) {
            *error =
                QStringLiteral("%1: option %2 takes %3, not '%4'")
                    .arg(decoder, fromUtf8(option->id), allowed.join(QStringLiteral(", ")), text);
            g_variant_unref(value);
            return nullptr;
        }
    }
    return value;
}

QStringList channelIds(const srd_decoder *decoder)
{
    QStringList ids;
    for (const GSList *list : {decoder->channels, decoder->opt_channels}) {
        for (const GSList *l = list; l; l = l->next)
            ids << fromUtf8(static_cast<const srd_channel *>(l->data)->id);
    }
    return ids;
}

QStringList optionIds(const srd_decoder *decoder)
{
    QStringList ids;
    for (const GSList *l = decoder->options; l; l = l->next)
        ids << fromUtf8(static_cast<const srd_decoder_option *>(l->data)->id);
    return ids;
}

} // namespace

DecodeSession::DecodeSession(SigrokDecoders &decoders) : m_decoders(decoders)
{
    srd_session_new(&m_session);
    srd_pd_output_callback_add(m_session, SRD_OUTPUT_ANN, &DecodeSession::onAnnotation, this);
}

DecodeSession::~DecodeSession()
{
    if (!m_session)
        return;
    // libsigrokdecode 0.5 frees a decoder's outputs but not the name and
    // description of a meta output (pwm's average): free them here, once.
    // (They are set for meta outputs only; the others leave them unset.)
    for (auto it = m_traces.keyBegin(); it != m_traces.keyEnd(); ++it) {
        for (GSList *l = (*it)->pd_output; l; l = l->next) {
            auto *output = static_cast<srd_pd_output *>(l->data);
            if (output->output_type != SRD_OUTPUT_META)
                continue;
            g_free(output->meta_name);
            g_free(output->meta_descr);
            output->meta_name = nullptr;
            output->meta_descr = nullptr;
        }
    }
    srd_session_destroy(m_session);
}

bool DecodeSession::addStack(const DecoderStack &stack, int defaultTrace, QString *error)
{
    if (!m_session) {
        *error = QStringLiteral("libsigrokdecode could not make a session");
        return false;
    }
    srd_decoder_inst *below = nullptr;
    QList<int> traces;
    for (const DecoderChoice &choice : stack) {
        srd_decoder *decoder = m_decoders.load(choice.id, error);
        if (!decoder)
            return false;
        HashTable options = newTable();
        HashTable channels = newTable();
        QList<int> read;
        for (const auto &[key, text] : choice.settings) {
            const QByteArray name = key.toUtf8();
            if (findChannel(decoder->channels, key) || findChannel(decoder->opt_channels, key)) {
                const int trace = traceOfChannelValue(text);
                if (trace == 0) {
                    *error = QStringLiteral("%1: channel %2 reads trace1, trace2 or trace3, not "
                                            "'%3' (the capture has traces 1 to 3)")
                                 .arg(choice.id, key, text);
                    return false;
                }
                g_hash_table_insert(channels.get(), g_strdup(name.constData()),
                                    g_variant_ref_sink(g_variant_new_int32(trace - 1)));
                read.append(trace);
                continue;
            }
            const srd_decoder_option *option = nullptr;
            for (const GSList *l = decoder->options; l && !option; l = l->next) {
                const auto *candidate = static_cast<const srd_decoder_option *>(l->data);
                if (fromUtf8(candidate->id) == key)
                    option = candidate;
            }
            if (!option) {
                const QStringList known = optionIds(decoder);
                *error = QStringLiteral("%1 has no option or channel '%2' (options: %3)")
                             .arg(choice.id, key,
                                  known.isEmpty() ? QStringLiteral("none")
                                                  : known.join(QStringLiteral(", ")));
                return false;
            }
            GVariant *value = optionValue(choice.id, option, text, error);
            if (!value)
                return false;
            g_hash_table_insert(options.get(), g_strdup(name.constData()), value);
        }

        if (!below && read.isEmpty() && defaultTrace > 0) {
            // The one channel of a single-channel decoder, or the first of its optional ones.
            const GSList *wanted = decoder->channels ? decoder->channels : decoder->opt_channels;
            if (wanted && (!decoder->channels || !decoder->channels->next)) {
                const auto *channel = static_cast<const srd_channel *>(wanted->data);
                g_hash_table_insert(channels.get(), g_strdup(channel->id),
                                    g_variant_ref_sink(g_variant_new_int32(defaultTrace - 1)));
                read.append(defaultTrace);
            }
        }
        if (!below) {
            for (const GSList *l = decoder->channels; l; l = l->next) {
                const auto *channel = static_cast<const srd_channel *>(l->data);
                if (!g_hash_table_contains(channels.get(), channel->id)) {
                    *error = QStringLiteral("%1 needs its channel %2: give %2=traceN in -P, or "
                                            "--trace N")
                                 .arg(choice.id, fromUtf8(channel->id));
                    return false;
                }
            }
            if (read.isEmpty()) {
                *error = QStringLiteral("%1 reads no trace: give one of its channels (%2) as "
                                        "channel=traceN in -P, or --trace N")
                             .arg(choice.id, channelIds(decoder).join(QStringLiteral(", ")));
                return false;
            }
            traces = read;
        } else if (!read.isEmpty()) {
            *error = QStringLiteral("%1 is stacked on %2 and reads no trace itself")
                         .arg(choice.id, fromUtf8(below->decoder->id));
            return false;
        }

        m_decoders.clearLog();
        srd_decoder_inst *instance = srd_inst_new(m_session, decoder->id, options.get());
        if (!instance) {
            *error = QStringLiteral("%1: %2").arg(choice.id, m_decoders.lastLogError());
            return false;
        }
        if (!below && srd_inst_channel_set_all(instance, channels.get()) != SRD_OK) {
            *error = QStringLiteral("%1: %2").arg(choice.id, m_decoders.lastLogError());
            return false;
        }
        if (below && srd_inst_stack(m_session, below, instance) != SRD_OK) {
            *error = QStringLiteral("%1 cannot be stacked on %2: %3")
                         .arg(choice.id, fromUtf8(below->decoder->id), m_decoders.lastLogError());
            return false;
        }
        m_traces.insert(instance, traces);
        below = instance;
    }
    return true;
}

bool DecodeSession::run(const std::vector<std::uint8_t> &samples, QString *error)
{
    m_decoders.clearLog();
    GVariant *rate = g_variant_new_uint64(sigrok::kSampleRateHz);
    if (srd_session_metadata_set(m_session, SRD_CONF_SAMPLERATE, rate) != SRD_OK ||
        srd_session_start(m_session) != SRD_OK ||
        srd_session_send(m_session, 0, samples.size(), samples.data(), samples.size(), 1) !=
            SRD_OK) {
        const QString logged = m_decoders.lastLogError();
        *error = QStringLiteral("a decoder failed: %1")
                     .arg(logged.isEmpty() ? QStringLiteral("(libsigrokdecode gave no reason)")
                                           : logged);
        return false;
    }
    return true;
}

void DecodeSession::onAnnotation(srd_proto_data *data, void *self)
{
    auto *session = static_cast<DecodeSession *>(self);
    srd_decoder_inst *instance = data->pdo->di;
    const auto *content = static_cast<const srd_proto_data_annotation *>(data->data);
    Annotation a;
    a.start = data->start_sample;
    a.end = data->end_sample;
    a.decoder = fromUtf8(instance->decoder->id);
    // Each annotation class is a name and a description.
    const auto *names = static_cast<char *const *>(
        g_slist_nth_data(instance->decoder->annotations, guint(content->ann_class)));
    a.annotationClass = names ? fromUtf8(names[0]) : QString::number(content->ann_class);
    for (char **text = content->ann_text; text && *text; ++text)
        a.texts << fromUtf8(*text);
    const std::lock_guard<std::mutex> lock(session->m_mutex);
    a.traces = session->m_traces.value(instance);
    session->m_annotations.push_back(std::move(a));
}

} // namespace wavemill::decode
