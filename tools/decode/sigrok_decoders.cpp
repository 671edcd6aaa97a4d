// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "decode/sigrok_decoders.h"

#include "sigrok/sigrok_logic.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <libsigrokdecode/libsigrokdecode.h>

#include <cstdarg>
#include <memory>

namespace wavemill::decode {

namespace {

using sigrok::Annotation;
using sigrok::DecoderChoice;
using sigrok::DecoderStack;

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

/// One decoder of a stack made ready: its options and the channels it reads.
struct Setup
{
    HashTable options = newTable();
    HashTable channels = newTable();
    QList<int> traces; // the traces its channels read
};

/// Sorts \a choice's settings into options and channels.
bool applySettings(const DecoderChoice &choice, const srd_decoder *decoder, Setup &setup,
                   QString *error)
{
    for (const auto &[key, text] : choice.settings) {
        const QByteArray name = key.toUtf8();
        if (channelIds(decoder->channels).contains(key) ||
            channelIds(decoder->opt_channels).contains(key)) {
            const int trace = sigrok::traceOfChannelValue(text);
            if (trace == 0) {
                *error = QStringLiteral("%1: channel %2 reads trace1, trace2 or trace3, not "
                                        "'%3' (the capture has traces 1 to 3)")
                             .arg(choice.id, key, text);
                return false;
            }
            g_hash_table_insert(setup.channels.get(), g_strdup(name.constData()),
                                g_variant_ref_sink(g_variant_new_int32(trace - 1)));
            setup.traces.append(trace);
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

/// A bottom decoder's channels: the default trace on its one channel when
/// none was given, and every required channel given.
bool bottomChannels(const DecoderChoice &choice, const srd_decoder *decoder, int defaultTrace,
                    Setup &setup, QString *error)
{
    if (setup.traces.isEmpty() && defaultTrace > 0) {
        // The one channel of a single-channel decoder, or the first of its optional ones.
        const GSList *wanted = decoder->channels ? decoder->channels : decoder->opt_channels;
        if (wanted && (!decoder->channels || !decoder->channels->next)) {
            const auto *channel = static_cast<const srd_channel *>(wanted->data);
            g_hash_table_insert(setup.channels.get(), g_strdup(channel->id),
                                g_variant_ref_sink(g_variant_new_int32(defaultTrace - 1)));
            setup.traces.append(defaultTrace);
        }
    }
    for (const GSList *l = decoder->channels; l; l = l->next) {
        const auto *channel = static_cast<const srd_channel *>(l->data);
        if (!g_hash_table_contains(setup.channels.get(), channel->id)) {
            *error = QStringLiteral("%1 needs its channel %2: give %2=traceN in -P, or --trace N")
                         .arg(choice.id, fromUtf8(channel->id));
            return false;
        }
    }
    if (setup.traces.isEmpty()) {
        *error =
            QStringLiteral("%1 reads no trace: give one of its channels (%2) as "
                           "channel=traceN in -P, or --trace N")
                .arg(choice.id, (channelIds(decoder->channels) + channelIds(decoder->opt_channels))
                                    .join(QStringLiteral(", ")));
        return false;
    }
    return true;
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

/// One libsigrokdecode session: its stacks and what they put out.
class Session
{
public:
    explicit Session(SigrokDecoders &decoders) : m_decoders(decoders)
    {
        srd_session_new(&m_session);
        srd_pd_output_callback_add(m_session, SRD_OUTPUT_ANN, &Session::onAnnotation, this);
    }
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    bool addStack(const DecoderStack &stack, int defaultTrace, QString *error);
    /// Sets the sample rate and starts the decoders, which check their options.
    bool start(QString *error);
    bool send(const std::vector<std::uint8_t> &samples, QString *error);
    std::vector<Annotation> take() { return std::move(m_annotations); }

private:
    static void onAnnotation(srd_proto_data *data, void *self);
    QString logged() const;

    SigrokDecoders &m_decoders;
    srd_session *m_session = nullptr;
    /// The traces each decoder instance's stack reads.
    QHash<srd_decoder_inst *, QList<int>> m_traces;
    std::mutex m_mutex;
    std::vector<Annotation> m_annotations;
};

Session::~Session()
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

QString Session::logged() const
{
    const QString text = m_decoders.lastLogError();
    return text.isEmpty() ? QStringLiteral("(libsigrokdecode gave no reason)") : text;
}

bool Session::addStack(const DecoderStack &stack, int defaultTrace, QString *error)
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
        Setup setup;
        if (!applySettings(choice, decoder, setup, error))
            return false;
        if (!below) {
            if (!bottomChannels(choice, decoder, defaultTrace, setup, error))
                return false;
            traces = setup.traces;
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
        m_traces.insert(instance, traces);
        below = instance;
    }
    return true;
}

bool Session::start(QString *error)
{
    m_decoders.clearLog();
    GVariant *rate = g_variant_new_uint64(sigrok::kSampleRateHz);
    if (srd_session_metadata_set(m_session, SRD_CONF_SAMPLERATE, rate) == SRD_OK &&
        srd_session_start(m_session) == SRD_OK)
        return true;
    *error = QStringLiteral("the decoders do not start with these options: %1").arg(logged());
    return false;
}

bool Session::send(const std::vector<std::uint8_t> &samples, QString *error)
{
    m_decoders.clearLog();
    if (srd_session_send(m_session, 0, samples.size(), samples.data(), samples.size(), 1) == SRD_OK)
        return true;
    *error = QStringLiteral("a decoder failed: %1").arg(logged());
    return false;
}

void Session::onAnnotation(srd_proto_data *data, void *self)
{
    auto *session = static_cast<Session *>(self);
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

bool SigrokDecoders::readsLogic(const QString &id)
{
    QString why;
    const srd_decoder *decoder = load(id, &why);
    return decoder && takesLogic(decoder);
}

DecodeFailure SigrokDecoders::decode(const QList<DecoderStack> &stacks, int defaultTrace,
                                     const std::vector<std::uint8_t> *samples,
                                     std::vector<Annotation> *annotations, QString *why)
{
    Session session(*this);
    for (const DecoderStack &stack : stacks) {
        if (!session.addStack(stack, defaultTrace, why))
            return DecodeFailure::Setup;
    }
    if (!session.start(why))
        return DecodeFailure::Setup;
    if (!samples)
        return DecodeFailure::None;
    if (!session.send(*samples, why))
        return DecodeFailure::Run;
    if (annotations)
        *annotations = session.take();
    return DecodeFailure::None;
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
