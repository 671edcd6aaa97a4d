// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "decode/output_writer.h"

#include "decode/recording.h"

#include "core/numbers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <utility>

namespace wavemill::decode {

namespace {

QByteArray jsonLine(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

OutputWriter::OutputWriter(bool json, bool severalCaptures)
    : m_json(json), m_severalCaptures(severalCaptures)
{
}

void OutputWriter::beginCapture(const Recording &recording, bool describing)
{
    m_recording = &recording;
    if (m_json)
        return;
    if (recording.isSession() && describing)
        m_out += QStringLiteral("%1: %2\n").arg(recording.path(), recording.summary()).toUtf8();
    else if (m_severalCaptures)
        m_out += recording.path().toUtf8() + ":\n";
}

double OutputWriter::sampleMs(std::uint64_t sample) const
{
    return m_recording->sampleMs(sample);
}

void OutputWriter::writeAnnotation(const sigrok::Annotation &a)
{
    const QString text = a.texts.isEmpty() ? QString() : a.texts.front();
    QStringList names;
    for (const int number : a.traces) {
        const sigrok::SessionChannel *channel = m_recording->channel(number);
        names << (channel ? channel->name : QStringLiteral("trace%1").arg(number));
    }
    if (!m_json) {
        m_out += QStringLiteral("%1 %2 %3 %4: %5\n")
                     .arg(timeText(sampleMs(a.start)), names.join(QLatin1Char(',')), a.decoder,
                          a.annotationClass, text)
                     .toUtf8();
        return;
    }
    QJsonObject o;
    if (m_severalCaptures)
        o.insert(QStringLiteral("file"), m_recording->path());
    o.insert(QStringLiteral("start_sample"), qint64(a.start));
    o.insert(QStringLiteral("end_sample"), qint64(a.end));
    o.insert(QStringLiteral("start_ms"), sampleMs(a.start));
    o.insert(QStringLiteral("end_ms"), sampleMs(a.end));
    QJsonArray traces;
    for (const int t : a.traces)
        traces.append(t);
    o.insert(QStringLiteral("traces"), traces);
    if (m_recording->isSession())
        o.insert(QStringLiteral("channels"), QJsonArray::fromStringList(names));
    o.insert(QStringLiteral("decoder"), a.decoder);
    o.insert(QStringLiteral("class"), a.annotationClass);
    o.insert(QStringLiteral("text"), text);
    o.insert(QStringLiteral("texts"), QJsonArray::fromStringList(a.texts));
    m_out += jsonLine(o);
}

void OutputWriter::writeDescription(int number, const detect::TraceDescription &d,
                                    const QStringList &decoded)
{
    if (!m_json) {
        m_out += QStringLiteral("%1: %2\n").arg(m_recording->channelLabel(number), d.title).toUtf8();
        for (const QString &line : d.evidence + decoded)
            m_out += QStringLiteral("    %1\n").arg(line).toUtf8();
        return;
    }
    QJsonObject o = d.fields;
    o.insert(QStringLiteral("file"), m_recording->path());
    o.insert(QStringLiteral("trace"), number);
    if (m_recording->isSession()) {
        const sigrok::SessionChannel *channel = m_recording->channel(number);
        o.insert(QStringLiteral("name"), channel ? channel->name : QString());
    }
    o.insert(QStringLiteral("kind"), d.kind);
    o.insert(QStringLiteral("title"), d.title);
    o.insert(QStringLiteral("confidence"), d.confidence);
    o.insert(QStringLiteral("evidence"), QJsonArray::fromStringList(d.evidence));
    o.insert(QStringLiteral("decoded"), QJsonArray::fromStringList(decoded));
    // "decoder" and "options" of the first decoder, "decoders" of all of them.
    QJsonArray decoders;
    for (const sigrok::DecoderChoice &choice : d.decoders) {
        QJsonObject options;
        for (const auto &[key, value] : choice.settings)
            options.insert(key, value);
        if (decoders.isEmpty()) {
            o.insert(QStringLiteral("decoder"), choice.id);
            o.insert(QStringLiteral("options"), options);
        }
        decoders.append(QJsonObject{{QStringLiteral("decoder"), choice.id},
                                    {QStringLiteral("options"), options}});
    }
    if (decoders.size() > 1)
        o.insert(QStringLiteral("decoders"), decoders);
    m_out += jsonLine(o);
}

QByteArray OutputWriter::take()
{
    return std::exchange(m_out, {});
}

} // namespace wavemill::decode
