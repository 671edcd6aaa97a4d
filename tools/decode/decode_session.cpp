// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "decode/decode_session.h"

#include "decode/sigrok_decoders.h"

#include <libsigrokdecode/libsigrokdecode.h>

#include <cmath>
#include <memory>
#include <utility>

namespace wavemill::decode {

namespace {

using sigrok::Annotation;
using sigrok::DecoderChoice;
using sigrok::DecoderStack;

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

/// The ids of a decoder's channels, required or optional.
QStringList channelIds(const GSList *channels)
{
    QStringList ids;
    for (const GSList *l = channels; l; l = l->next)
        ids << fromUtf8(static_cast<const srd_channel *>(l->data)->id);
    return ids;
}

QStringList optionIds(const srd_decoder *decoder)
{
    QStringList ids;
    for (const GSList *l = decoder->options; l; l = l->next)
        ids << fromUtf8(static_cast<const srd_decoder_option *>(l->data)->id);
    return ids;
}

const srd_decoder_option *findOption(const srd_decoder *decoder, const QString &id)
{
    for (const GSList *l = decoder->options; l; l = l->next) {
        const auto *option = static_cast<const srd_decoder_option *>(l->data);
        if (fromUtf8(option->id) == id)
            return option;
    }
    return nullptr;
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

QString variantText(GVariant *value)
{
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING))
        return fromUtf8(g_variant_get_string(value, nullptr));
    gchar *text = g_variant_print(value, FALSE);
    QString result = fromUtf8(text);
    g_free(text);
    return result;
}

/// A number option's default, or NaN for another kind.
double numberDefault(const srd_decoder_option *option)
{
    if (g_variant_is_of_type(option->def, G_VARIANT_TYPE_INT64))
        return double(g_variant_get_int64(option->def));
    if (g_variant_is_of_type(option->def, G_VARIANT_TYPE_DOUBLE))
        return g_variant_get_double(option->def);
    return std::nan("");
}

/// The value of option \a option from \a text, of the type of its default;
/// nullptr with \a error when it does not read as one, is not one of the
/// values the option lists, is not finite, or is zero or below where the
/// default is above zero: a rate, size or time no decoder can mean so.
GVariant *optionValue(const QString &decoder, const srd_decoder_option *option, const QString &text,
                      QString *error)
{
    GVariant *value = nullptr;
    bool ok = false;
    double number = std::nan("");
    if (g_variant_is_of_type(option->def, G_VARIANT_TYPE_INT64)) {
        const qlonglong whole = text.toLongLong(&ok);
        if (ok)
            value = g_variant_new_int64(whole);
        number = double(whole);
    } else if (g_variant_is_of_type(option->def, G_VARIANT_TYPE_DOUBLE)) {
        number = text.toDouble(&ok);
        ok = ok && std::isfinite(number);
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
                              ? QStringLiteral("finite number")
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
    } else if (numberDefault(option) > 0 && number <= 0) {
        *error = QStringLiteral("%1: option %2 takes a number above 0, not '%3'")
                     .arg(decoder, fromUtf8(option->id), text);
        g_variant_unref(value);
        return nullptr;
    }
    return value;
}

/// One decoder of a stack made ready: its options and the channels it reads.
struct Setup
{
    HashTable options = newTable();
    HashTable channels = newTable();
    QList<int> traces; // the channel numbers its channels read
};

void setChannel(Setup &setup, const char *id, int number)
{
    g_hash_table_insert(setup.channels.get(), g_strdup(id),
                        g_variant_ref_sink(g_variant_new_int32(number - 1)));
    setup.traces.append(number);
}

/// Sorts \a choice's settings into options and channels.
bool applySettings(const DecoderChoice &choice, const srd_decoder *decoder,
                   const ChannelNames &names, Setup &setup, QString *error)
{
    for (const auto &[key, text] : choice.settings) {
        const QByteArray name = key.toUtf8();
        if (channelIds(decoder->channels).contains(key) ||
            channelIds(decoder->opt_channels).contains(key)) {
            const int number = names.numberOf(text);
            if (number == 0) {
                *error = QStringLiteral("%1: channel %2 cannot read '%3': give %4")
                             .arg(choice.id, key, text, names.choices);
                return false;
            }
            setChannel(setup, name.constData(), number);
            continue;
        }
        const srd_decoder_option *option = findOption(decoder, key);
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
        g_hash_table_insert(setup.options.get(), g_strdup(name.constData()), value);
    }
    return true;
}

/// "i2c:scl=trace1:sda=trace2": \a decoder given each of \a channels, for a message.
QString exampleChoice(const QString &decoder, const QStringList &channels)
{
    QString text = decoder;
    for (int i = 0; i < channels.size(); ++i)
        text += QStringLiteral(":%1=trace%2").arg(channels[i]).arg(i + 1);
    return text;
}

/// A bottom decoder's channels: the default channel on its one channel when
/// none was given, and every required channel given. A decoder that reads
/// another's output is told to be stacked on one that puts it out.
bool bottomChannels(SigrokDecoders &decoders, const DecoderChoice &choice,
                    const srd_decoder *decoder, int defaultChannel, Setup &setup, QString *error)
{
    const QStringList required = channelIds(decoder->channels);
    const QStringList optional = channelIds(decoder->opt_channels);
    if (required.isEmpty() && optional.isEmpty()) {
        QStringList inputs;
        for (const GSList *l = decoder->inputs; l; l = l->next)
            inputs << fromUtf8(static_cast<const char *>(l->data));
        const QString input = inputs.value(0);
        QString below;
        QStringList belowChannels;
        if (!decoders.producerOf(input, &below, &belowChannels)) {
            *error = QStringLiteral("%1 reads no trace but what another decoder puts out (%2), "
                                    "and no decoder here puts that out")
                         .arg(choice.id, input);
            return false;
        }
        *error = QStringLiteral("%1 reads no trace but what %2 puts out: stack it on %2, e.g. "
                                "-P %3,%1")
                     .arg(choice.id, below, exampleChoice(below, belowChannels.mid(0, 1)));
        return false;
    }
    if (setup.traces.isEmpty() && defaultChannel > 0 && required.size() <= 1) {
        // The one channel of a single-channel decoder, or the first of its optional ones.
        const QString wanted = required.isEmpty() ? optional.front() : required.front();
        setChannel(setup, wanted.toUtf8().constData(), defaultChannel);
    }
    QStringList missing;
    for (const QString &id : required) {
        if (!g_hash_table_contains(setup.channels.get(), id.toUtf8().constData()))
            missing << id;
    }
    if (required.size() > 1 && !missing.isEmpty()) {
        *error = QStringLiteral("%1 reads %2 channels (%3), each given in -P: e.g. -P %4")
                     .arg(choice.id)
                     .arg(required.size())
                     .arg(required.join(QStringLiteral(", ")), exampleChoice(choice.id, required));
        return false;
    }
    if (!missing.isEmpty()) {
        *error = QStringLiteral("%1 needs its channel %2: give %2=traceN in -P, or --trace N")
                     .arg(choice.id, missing.front());
        return false;
    }
    if (setup.traces.isEmpty()) {
        *error = QStringLiteral("%1 reads no trace: give one of its channels (%2) as "
                                "channel=traceN in -P, or --trace N")
                     .arg(choice.id, optional.join(QStringLiteral(", ")));
        return false;
    }
    return true;
}

QStringList strings(const GSList *list)
{
    QStringList out;
    for (const GSList *l = list; l; l = l->next)
        out << fromUtf8(static_cast<const char *>(l->data));
    return out;
}

/// Whether \a above reads what \a below puts out; sigrok stacks them either
/// way and the one above then reads nothing.
bool stackFits(const srd_decoder *below, const srd_decoder *above, QString *error)
{
    const QStringList outputs = strings(below->outputs);
    const QStringList inputs = strings(above->inputs);
    for (const QString &input : inputs) {
        if (outputs.contains(input))
            return true;
    }
    *error = QStringLiteral("%1 cannot be stacked on %2: %2 puts out %3, %1 reads %4")
                 .arg(fromUtf8(above->id), fromUtf8(below->id),
                      outputs.isEmpty() ? QStringLiteral("no data for another decoder")
                                        : outputs.join(QStringLiteral(", ")),
                      inputs.join(QStringLiteral(", ")));
    return false;
}

} // namespace

DecodeSession::DecodeSession(SigrokDecoders &decoders) : m_decoders(decoders)
{
    if (srd_session_new(&m_session) != SRD_OK) {
        m_session = nullptr;
        return;
    }
    srd_pd_output_callback_add(m_session, SRD_OUTPUT_ANN, &DecodeSession::onAnnotation, this);
}

DecodeSession::~DecodeSession()
{
    if (!m_session)
        return;
    // libsigrokdecode 0.5 frees a decoder's outputs but not the name and
    // description of a meta output (pwm's average): free them here, once.
    // (They are set for meta outputs only; the others leave them unset.)
    for (auto it = m_channels.keyBegin(); it != m_channels.keyEnd(); ++it) {
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

QString DecodeSession::logged() const
{
    const QString text = m_decoders.lastLogError();
    return text.isEmpty() ? QStringLiteral("(libsigrokdecode gave no reason)") : text;
}

bool DecodeSession::addStack(const DecoderStack &stack, int defaultChannel,
                             const ChannelNames &names, QString *error)
{
    if (!m_session) {
        *error = QStringLiteral("libsigrokdecode could not make a session");
        return false;
    }
    srd_decoder_inst *below = nullptr;
    QList<int> channels;
    for (const DecoderChoice &choice : stack) {
        srd_decoder *decoder = m_decoders.load(choice.id, error);
        if (!decoder)
            return false;
        Setup setup;
        if (!applySettings(choice, decoder, names, setup, error))
            return false;
        if (!below) {
            if (!bottomChannels(m_decoders, choice, decoder, defaultChannel, setup, error))
                return false;
            channels = setup.traces;
        } else if (!setup.traces.isEmpty()) {
            *error = QStringLiteral("%1 is stacked on %2 and reads no trace itself")
                         .arg(choice.id, fromUtf8(below->decoder->id));
            return false;
        } else if (!stackFits(below->decoder, decoder, error)) {
            return false;
        }

        m_decoders.clearLog();
        srd_decoder_inst *instance = srd_inst_new(m_session, decoder->id, setup.options.get());
        if (!instance ||
            (!below && srd_inst_channel_set_all(instance, setup.channels.get()) != SRD_OK) ||
            (below && srd_inst_stack(m_session, below, instance) != SRD_OK)) {
            *error = QStringLiteral("%1: %2").arg(choice.id, logged());
            return false;
        }
        m_channels.insert(instance, channels);
        below = instance;
    }
    return true;
}

bool DecodeSession::start(std::uint64_t sampleRateHz, QString *error)
{
    m_decoders.clearLog();
    GVariant *rate = g_variant_new_uint64(sampleRateHz);
    if (srd_session_metadata_set(m_session, SRD_CONF_SAMPLERATE, rate) == SRD_OK &&
        srd_session_start(m_session) == SRD_OK)
        return true;
    *error = QStringLiteral("the decoders do not start with these options: %1").arg(logged());
    return false;
}

bool DecodeSession::send(std::uint64_t first, const std::uint8_t *data, std::size_t count,
                         int unitSize, QString *error)
{
    m_decoders.clearLog();
    if (srd_session_send(m_session, first, first + count, data, count * std::size_t(unitSize),
                         std::uint64_t(unitSize)) == SRD_OK)
        return true;
    *error = QStringLiteral("a decoder failed: %1").arg(logged());
    return false;
}

std::vector<Annotation> DecodeSession::take()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_annotations, {});
}

void DecodeSession::onAnnotation(srd_proto_data *data, void *self)
{
    auto *session = static_cast<DecodeSession *>(self);
    srd_decoder_inst *instance = data->pdo->di;
    const auto *content = static_cast<const srd_proto_data_annotation *>(data->data);
    QByteArray key;
    for (char **text = content->ann_text; text && *text; ++text)
        key.append(*text).append('\0');
    Annotation a;
    a.start = data->start_sample;
    a.end = data->end_sample;
    const std::lock_guard<std::mutex> lock(session->m_mutex);
    // Names and texts are shared between the annotations that repeat them
    // (a uart decoder's bits and bytes, its start and stop bits): an
    // annotation kept costs its own few bytes, not copies of its texts.
    const auto name = qMakePair(instance, content->ann_class);
    auto named = session->m_names.find(name);
    if (named == session->m_names.end()) {
        // Each annotation class is a name and a description.
        const auto *names = static_cast<char *const *>(
            g_slist_nth_data(instance->decoder->annotations, guint(content->ann_class)));
        named = session->m_names.insert(
            name, {fromUtf8(instance->decoder->id),
                   names ? fromUtf8(names[0]) : QString::number(content->ann_class)});
    }
    a.decoder = named->first;
    a.annotationClass = named->second;
    auto texts = session->m_texts.find(key);
    if (texts == session->m_texts.end()) {
        if (session->m_texts.size() >= kSharedTexts)
            session->m_texts.clear();
        QStringList list;
        for (char **text = content->ann_text; text && *text; ++text)
            list << fromUtf8(*text);
        texts = session->m_texts.insert(key, list);
    }
    a.texts = *texts;
    a.traces = session->m_channels.value(instance);
    session->m_annotations.push_back(std::move(a));
}

} // namespace wavemill::decode
