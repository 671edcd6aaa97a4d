// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "session_setup/session_setup.h"

#include "session_setup/decoder_table.h"

#include "sigrok/sigrok_logic.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <optional>

namespace wavemill::session_setup {

namespace {

/// PulseView's time base: whole hertz, as the session file gives it.
constexpr auto kRate = double(sigrok::kSampleRateHz);
/// A flag's label, which PulseView centres on it, takes about 6.5 pixels a
/// character of its font; the view opens with a little room before it.
constexpr double kLabelPixelsPerCharacter = 6.5;
constexpr double kMarkerMarginPixels = 16;

/// Half the width of a flag's label \a text, in samples at \a secondsPerPixel.
double labelHalfSamples(const QString &text, double secondsPerPixel)
{
    return double(text.size()) * kLabelPixelsPerCharacter / 2 * secondsPerPixel * kRate;
}

/// \a text as a value of \a type ('x', 'd' or 's'); nullopt when it is not one.
std::optional<QVariant> typedValue(char type, const QString &text)
{
    bool ok = true;
    QVariant value;
    if (type == 'x')
        value = QVariant::fromValue(text.toLongLong(&ok));
    else if (type == 'd')
        value = QVariant::fromValue(text.toDouble(&ok));
    else
        value = QVariant::fromValue(text);
    return ok ? std::optional<QVariant>(value) : std::nullopt;
}

/// One decoder of a stack with the options that differ from its defaults,
/// the detection's and those the table sets for the view, in the decoder's
/// order as PulseView writes them; nullopt with \a why when the choice
/// cannot be written.
std::optional<SetupDecoder> setupDecoder(const DecoderInfo &info,
                                         const sigrok::DecoderChoice &choice, QString *why)
{
    QHash<QString, QVariant> chosen;
    for (const DecoderOption &view : info.viewOptions)
        chosen.insert(QLatin1String(view.id),
                      *typedValue(view.type, QLatin1String(view.defaultValue)));
    for (const auto &[key, text] : choice.settings) {
        if (info.channelIndex(key) >= 0)
            continue; // the trace a channel reads is the signal's assignment
        const DecoderOption *option = info.option(key);
        if (!option) {
            *why = QStringLiteral("%1 has no option '%2'").arg(choice.id, key);
            return std::nullopt;
        }
        const std::optional<QVariant> value = typedValue(option->type, text);
        if (!value) {
            *why = QStringLiteral("%1's option %2 takes %3, not '%4'")
                       .arg(choice.id, key,
                            option->type == 'x'   ? QStringLiteral("a whole number")
                            : option->type == 'd' ? QStringLiteral("a number")
                                                  : QStringLiteral("a text"),
                            text);
            return std::nullopt;
        }
        chosen.insert(key, *value);
    }
    SetupDecoder decoder{choice.id, {}};
    for (const DecoderOption &option : info.options) {
        const QString id = QLatin1String(option.id);
        if (chosen.contains(id) &&
            chosen[id] != *typedValue(option.type, QLatin1String(option.defaultValue)))
            decoder.options.append({id, chosen[id]});
    }
    return decoder;
}

/// The decode signals of one trace: a decoder that reads traces starts a
/// stack, one that reads another's output goes on the stack before it.
/// Empty with \a why when any of them cannot be written.
QList<DecodeSignal> signalsOf(const DescribedTrace &t, double *framePixels, QString *why)
{
    QList<DecodeSignal> out;
    QStringList labels;
    const auto finish = [&] {
        if (!out.isEmpty())
            out.back().name =
                QStringLiteral("trace%1: %2").arg(t.trace).arg(labels.join(QStringLiteral(" / ")));
        labels.clear();
    };
    const char *lastOutput = nullptr;
    for (const sigrok::DecoderChoice &choice : t.description.decoders) {
        const DecoderInfo *info = findDecoder(choice.id);
        if (!info) {
            *why = QStringLiteral("sigrok decoder %1 is not in the session setup's table")
                       .arg(choice.id);
            return {};
        }
        const std::optional<SetupDecoder> decoder = setupDecoder(*info, choice, why);
        if (!decoder)
            return {};
        if (qstrcmp(info->input, "logic") == 0) {
            finish();
            const int index = info->channelIndex(t.description.channel);
            if (index < 0) {
                *why =
                    QStringLiteral("%1 has no channel '%2'").arg(choice.id, t.description.channel);
                return {};
            }
            DecodeSignal s;
            s.trace = t.trace;
            s.channelIndex = index;
            for (const DecoderChannel &c : info->channels)
                s.channelNames << QLatin1String(c.name);
            out.append(s);
        } else if (out.isEmpty() || !lastOutput || qstrcmp(info->input, lastOutput) != 0) {
            *why = QStringLiteral("%1 reads %2, which the decoder before it does not give")
                       .arg(choice.id, QLatin1String(info->input));
            return {};
        }
        out.back().stack.append(*decoder);
        lastOutput = info->output;
        *framePixels = std::max(*framePixels, info->framePixels);
        const QString summary = info->summary ? info->summary(*info, choice) : QString();
        labels << (summary.isEmpty()
                       ? QLatin1String(info->label)
                       : QStringLiteral("%1 %2").arg(QLatin1String(info->label), summary));
    }
    finish();
    return out;
}

} // namespace

SessionSetup buildSetup(const QList<DescribedTrace> &traces, QStringList *notes)
{
    SessionSetup setup;
    QList<TimeMarker> firstFrames;
    for (const DescribedTrace &t : traces) {
        if (t.description.decoders.isEmpty())
            continue;
        double framePixels = 0;
        QString why;
        const QList<DecodeSignal> found = signalsOf(t, &framePixels, &why);
        if (found.isEmpty()) {
            notes->append(QStringLiteral("trace %1 left out: %2").arg(t.trace).arg(why));
            continue;
        }
        setup.decodeSignals << found;
        if (t.description.frameSamples > 0) {
            const double scale = double(t.description.frameSamples) / kRate / framePixels;
            if (setup.secondsPerPixel == 0 || scale < setup.secondsPerPixel)
                setup.secondsPerPixel = scale;
        }
        if (t.description.firstFrameSample >= 0)
            firstFrames.append({t.description.firstFrameSample, t.description.title});
    }
    if (firstFrames.isEmpty())
        return setup;
    // The earliest first; a flag whose label would run into the one before
    // it at the opening zoom is left out: its trace's name says the same.
    std::stable_sort(firstFrames.begin(), firstFrames.end(),
                     [](const TimeMarker &a, const TimeMarker &b) { return a.sample < b.sample; });
    double labelEnd = 0;
    for (const TimeMarker &m : firstFrames) {
        const double half = labelHalfSamples(m.text, setup.secondsPerPixel);
        if (!setup.markers.isEmpty() && double(m.sample) - half < labelEnd)
            continue;
        setup.markers.append(m);
        labelEnd = double(m.sample) + half;
    }
    // Before a frame near the start too: PulseView shows the time before the
    // capture blank, and the label whole.
    const double half = labelHalfSamples(setup.markers.front().text, setup.secondsPerPixel);
    setup.offsetSample = setup.markers.front().sample -
                         std::llround(half + kMarkerMarginPixels * setup.secondsPerPixel * kRate);
    return setup;
}

} // namespace wavemill::session_setup
