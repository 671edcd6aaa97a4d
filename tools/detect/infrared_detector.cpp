// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/infrared_detector.h"

#include "detect/infrared_families.h"
#include "detect/measure_text.h"

#include <algorithm>
#include <map>
#include <vector>

namespace wavemill::detect {

namespace {

/// Spaces inside a code are at most NEC's leader space (4.5 ms); a longer
/// stretch of idle level ends a burst.
constexpr double kBurstGapUs = 7000;
/// Codes shown in a description before "and N more".
constexpr int kShownCodes = 6;

/// The bursts between stretches of idle level of at least kBurstGapUs,
/// leaving out the ones the capture's start or end cuts.
std::vector<Burst> bursts(const PulseTrain &train, bool idleHigh)
{
    const std::vector<Run> &runs = train.runs();
    const double gap = usToSamples(kBurstGapUs);
    std::vector<Burst> out;
    Burst current;
    bool cut = true; // the stretch before the first long idle began before the capture
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Run &run = runs[i];
        const bool idle = run.high == idleHigh;
        if (idle && run.length >= gap) {
            if (!cut && !current.empty())
                out.push_back(current);
            current.clear();
            cut = false;
            continue;
        }
        current.push_back(samplesToUs(run.length));
    }
    return out; // the last stretch is cut by the end, or is idle
}

struct Reading
{
    int bursts = 0;
    std::vector<Frame> frames; // of the family most bursts read as
    QString family;
    double confidence = 0;
};

Reading read(const PulseTrain &train, bool idleHigh)
{
    Reading r;
    const std::vector<Burst> all = bursts(train, idleHigh);
    r.bursts = int(all.size());
    std::map<QString, std::vector<Frame>> byFamily;
    for (const Burst &b : all) {
        if (auto f = readBurst(b))
            byFamily[QString::fromLatin1(f->family->name)].push_back(*f);
    }
    for (auto &[family, frames] : byFamily) {
        if (frames.size() > r.frames.size()) {
            r.family = family;
            r.frames = std::move(frames);
        }
    }
    if (r.bursts > 0)
        r.confidence = double(r.frames.size()) / r.bursts;
    return r;
}

QString measuredTimings(const std::vector<Frame> &frames)
{
    Frame sum;
    int leaders = 0;
    for (const Frame &f : frames) {
        if (f.leaderMarkUs > 0 && !f.repeat) {
            sum.leaderMarkUs += f.leaderMarkUs;
            sum.leaderSpaceUs += f.leaderSpaceUs;
            ++leaders;
        }
        sum.markSum += f.markSum;
        sum.marks += f.marks;
        sum.zeroSum += f.zeroSum;
        sum.zeros += f.zeros;
        sum.oneSum += f.oneSum;
        sum.ones += f.ones;
        sum.unitSum += f.unitSum;
        sum.units += f.units;
    }
    QStringList parts;
    if (leaders > 0)
        parts << QStringLiteral("leader %1 + %2")
                     .arg(microsecondsText(sum.leaderMarkUs / leaders),
                          microsecondsText(sum.leaderSpaceUs / leaders));
    if (sum.marks > 0)
        parts << QStringLiteral("bit mark %1").arg(microsecondsText(sum.markSum / sum.marks));
    if (sum.zeros > 0 && sum.ones > 0)
        parts << QStringLiteral("0 / 1 %1 / %2")
                     .arg(microsecondsText(sum.zeroSum / sum.zeros),
                          microsecondsText(sum.oneSum / sum.ones));
    if (sum.units > 0)
        parts << QStringLiteral("unit %1").arg(microsecondsText(sum.unitSum / sum.units));
    return parts.join(QStringLiteral(", "));
}

/// The codes of the frames that are no repeat codes, in order.
std::vector<Code> codesOf(const std::vector<Frame> &frames)
{
    std::vector<Code> codes;
    for (const Frame &f : frames) {
        if (!f.repeat)
            codes.push_back(f.family->code(f));
    }
    return codes;
}

/// The distinct codes in a row, at most kShownCodes of them, "and N more".
QString codesText(const QStringList &texts)
{
    QStringList distinct;
    for (const QString &text : texts) {
        if (distinct.isEmpty() || distinct.back() != text)
            distinct << text;
    }
    const qint64 more = qint64(distinct.size()) - kShownCodes;
    return distinct.mid(0, kShownCodes).join(QStringLiteral("; ")) +
           (more > 0 ? QStringLiteral("; and %1 more").arg(more) : QString());
}

/// The number in an annotation text such as "Address: 0x04" or "Address: 5
/// (Video cassette recorder 1)"; -1 when there is none.
qint64 annotatedNumber(const QString &text, int base)
{
    QString number = text.section(QLatin1Char(':'), 1).trimmed().section(QLatin1Char(' '), 0, 0);
    if (number.startsWith(QLatin1String("0x")))
        number = number.mid(2);
    bool ok = false;
    const qint64 value = number.toLongLong(&ok, base);
    return ok ? value : -1;
}

/// sigrok's reading of the codes set against the timings' \a ours.
QStringList compareCodes(const InfraredFamily &family, const std::vector<Code> &ours,
                         const std::vector<sigrok::Annotation> &annotations)
{
    QStringList texts;
    std::vector<std::pair<qint64, qint64>> theirs;
    QString address;
    qint64 addressValue = -1;
    int repeats = 0;
    for (const sigrok::Annotation &a : annotations) {
        if (a.texts.isEmpty())
            continue;
        if (a.annotationClass == QLatin1String(family.addressClass)) {
            address = a.texts.front();
            addressValue = annotatedNumber(address, family.sigrokBase);
        } else if (a.annotationClass == QLatin1String(family.commandClass)) {
            texts << address + QStringLiteral(", ") + a.texts.front();
            theirs.emplace_back(addressValue, annotatedNumber(a.texts.front(), family.sigrokBase));
        } else if (a.annotationClass == QLatin1String("repeat-code")) {
            ++repeats;
        }
    }
    QStringList lines{
        QStringLiteral("sigrok %1 decoder: %2 codes%3%4")
            .arg(QLatin1String(family.sigrokDecoder), countText(qint64(texts.size())),
                 repeats > 0 ? QStringLiteral(" and %1 repeat codes").arg(repeats) : QString(),
                 texts.isEmpty() ? QString() : QStringLiteral(": ") + codesText(texts))};
    std::size_t alike = 0;
    for (std::size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i)
        alike += theirs[i] == std::pair<qint64, qint64>(ours[i].address, ours[i].command);
    if (alike != ours.size() || theirs.size() != ours.size())
        lines << QStringLiteral("sigrok's reading differs from the timings': %1 of the %2 codes "
                                "they give read alike, in order")
                     .arg(countText(qint64(alike)), countText(qint64(ours.size())));
    return lines;
}

} // namespace

std::optional<TraceDescription> describeInfrared(const PulseTrain &train)
{
    Reading best;
    bool idleHigh = true;
    for (const bool idle : {true, false}) {
        Reading r = read(train, idle);
        if (r.confidence > best.confidence) {
            best = std::move(r);
            idleHigh = idle;
        }
    }
    const std::vector<Code> codes = codesOf(best.frames);
    if (codes.empty())
        return std::nullopt;
    const InfraredFamily &family = *best.frames.front().family;

    TraceDescription d;
    d.kind = QStringLiteral("infrared");
    d.confidence = best.confidence;
    d.fields.insert(QStringLiteral("family"), best.family);
    d.fields.insert(QStringLiteral("idle_high"), idleHigh);
    const QString polarity = idleHigh ? QStringLiteral("idle high, as a receiver gives it")
                                      : QStringLiteral("idle low (inverted)");
    d.title = QStringLiteral("infrared remote control, %1, %2").arg(best.family, polarity);

    const auto whole = qint64(codes.size());
    const auto repeats = qint64(best.frames.size()) - whole;
    d.evidence << QStringLiteral("%1 of %2 bursts (%3) read as %4: %5 frames%6")
                      .arg(countText(qint64(best.frames.size())), countText(best.bursts),
                           percentText(best.confidence), best.family, countText(whole),
                           repeats > 0 ? QStringLiteral(" and %1 repeat codes").arg(repeats)
                                       : QString());
    d.evidence << QStringLiteral("measured: %1; %2: %3")
                      .arg(measuredTimings(best.frames), best.family, family.nominalTimings());
    QStringList texts;
    for (const Code &code : codes)
        texts << code.text;
    d.evidence << QStringLiteral("codes read from the timings: %1").arg(codesText(texts));

    if (!family.sigrokDecoder) {
        d.evidence << QStringLiteral("sigrok has no decoder for %1").arg(best.family);
        return d;
    }
    d.decoder.id = QString::fromLatin1(family.sigrokDecoder);
    d.decoder.settings.append({QStringLiteral("polarity"), idleHigh
                                                               ? QStringLiteral("active-low")
                                                               : QStringLiteral("active-high")});
    d.channel = QStringLiteral("ir");
    d.compareWithSigrok = [&family, codes](const std::vector<sigrok::Annotation> &annotations) {
        return compareCodes(family, codes, annotations);
    };
    return d;
}

} // namespace wavemill::detect
