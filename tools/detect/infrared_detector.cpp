// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/infrared_detector.h"

#include "detect/in_order.h"
#include "detect/infrared_families.h"
#include "detect/measure_text.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace wavemill::detect {

namespace {

/// Spaces inside a code are at most NEC's leader space (4.5 ms); a longer
/// stretch of idle level ends a burst.
constexpr double kBurstGapUs = 7000;
/// Codes shown in a description before "and N more".
constexpr int kShownCodes = 6;
/// A second family on the trace needs this many frames and this share of
/// the bursts: two remotes used in turn, not a stray burst that happens to fit.
constexpr int kMinFamilyFrames = 3;
constexpr double kMinFamilyShare = 0.10;
/// A mark shorter than this is no remote's (the shortest, Kaseikyo's, is
/// 432 µs, and a receiver shortens marks by 100 µs at most): a receiver's
/// output twitching at sunlight or a lamp.
constexpr double kStrayMarkUs = 200;

/// A stretch of the trace between two long idle ones.
struct BurstSpan
{
    Burst pulses;             // µs: mark, space, ..., mark
    std::int64_t start = 0;   // samples
    std::int64_t samples = 0; // how long it lasts
    bool cut = false;         // the capture's start or end falls in the idle around it
};

/// The bursts between stretches of idle level of at least kBurstGapUs. A
/// mark shorter than kStrayMarkUs is no remote's: it is counted in \a
/// strays and read as idle level, so that it splits neither a burst nor a
/// space in one. A burst next to the capture's first or last run may have
/// begun or go on beyond it: it is marked cut.
std::vector<BurstSpan> bursts(const PulseTrain &train, bool idleHigh, int *strays)
{
    const std::vector<Run> &runs = train.runs();
    // The runs with stray marks turned into idle level, neighbours joined.
    std::vector<Run> clean;
    clean.reserve(runs.size());
    *strays = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        Run run = runs[i];
        if (run.high != idleHigh && i > 0 && i + 1 < runs.size() &&
            train.toUs(double(run.length)) < kStrayMarkUs) {
            ++*strays;
            run.high = idleHigh;
        }
        if (!clean.empty() && clean.back().high == run.high)
            clean.back().length += run.length;
        else
            clean.push_back(run);
    }
    const double gap = train.toSamples(kBurstGapUs);
    std::vector<BurstSpan> out;
    BurstSpan current;
    bool open = true; // the stretch before the first long idle began before the capture
    for (std::size_t i = 0; i < clean.size(); ++i) {
        const Run &run = clean[i];
        if (run.high == idleHigh &&
            (double(run.length) >= gap || i == 0 || i + 1 == clean.size())) {
            if (!current.pulses.empty()) {
                current.cut = open || double(run.length) < gap;
                out.push_back(current);
            }
            current = BurstSpan{};
            open = double(run.length) < gap; // a short idle at the start may end a frame
            continue;
        }
        if (current.pulses.empty())
            current.start = run.start;
        current.pulses.push_back(train.toUs(double(run.length)));
        current.samples = run.start + run.length - current.start;
    }
    if (!current.pulses.empty()) {
        current.cut = true; // runs on past the end
        out.push_back(current);
    }
    return out;
}

/// The frames of one family on the trace.
struct Group
{
    const InfraredFamily *family = nullptr;
    std::vector<Frame> frames;
    std::int64_t firstStart = -1; // samples: where its first frame's burst starts
    std::int64_t firstSamples = 0;
    int damaged = 0; // bursts that look like its frames damaged
};

struct Reading
{
    int bursts = 0;  // counted: whole, or read although cut
    int strays = 0;  // stray marks ignored
    int cutRead = 0; // bursts cut by the capture that read whole all the same
    int damaged = 0; // bursts counted as damaged frames of a family read
    /// The families the bursts read as, most frames first, as many as it
    /// takes to cover kConfidenceThreshold of the bursts.
    std::vector<Group> groups;
    double confidence = 0;
};

/// Repeat codes alone (a key held down all through) name NEC from this many.
constexpr int kMinRepeatsAlone = 3;
/// Damaged frames are set aside while they are at most a third of the
/// frames of their family read whole.
constexpr double kMostDamagedPerFrame = 1.0 / 3;

/// Whether a group can name its family: a whole frame, or NEC's repeat code
/// again and again; a JVC frame repeated without its leader only beside one
/// with it.
bool names(const Group &g)
{
    const auto whole =
        std::count_if(g.frames.begin(), g.frames.end(), [](const Frame &f) { return !f.repeat; });
    return whole > 0 ||
           (g.family == &infraredFamilies()[0] && int(g.frames.size()) >= kMinRepeatsAlone);
}

Reading read(const PulseTrain &train, bool idleHigh)
{
    Reading r;
    const double slackUs = train.samplePeriodUs();
    const std::vector<BurstSpan> spans = bursts(train, idleHigh, &r.strays);
    std::map<QString, Group> byFamily;
    std::map<const InfraredFamily *, int> resembling;
    for (const BurstSpan &span : spans) {
        std::optional<Frame> f = readBurst(span.pulses, slackUs);
        if (!f) {
            if (span.cut)
                continue; // part of a frame, or none: the capture does not tell
            ++r.bursts;
            if (const InfraredFamily *family = resembledFamily(span.pulses, slackUs))
                ++resembling[family];
            continue;
        }
        ++r.bursts;
        r.cutRead += span.cut;
        Group &g = byFamily[QString::fromLatin1(f->family->name)];
        g.family = f->family;
        if (g.firstStart < 0) {
            g.firstStart = span.start;
            g.firstSamples = span.samples;
        }
        g.frames.push_back(*f);
    }
    std::vector<Group> groups;
    groups.reserve(byFamily.size());
    for (auto &entry : byFamily) {
        if (names(entry.second))
            groups.push_back(std::move(entry.second));
    }
    std::stable_sort(groups.begin(), groups.end(), [](const Group &x, const Group &y) {
        return x.frames.size() > y.frames.size();
    });
    std::size_t covered = 0;
    for (Group &g : groups) {
        const int counted = r.bursts - r.damaged;
        const bool enough = double(covered) >= kConfidenceThreshold * counted;
        const bool second = !r.groups.empty();
        // A second family counts when it is a remote of its own, not a stray burst.
        if (enough || (second && (int(g.frames.size()) < kMinFamilyFrames ||
                                  double(g.frames.size()) < kMinFamilyShare * counted)))
            break;
        const int damaged = resembling[g.family];
        if (damaged <= kMostDamagedPerFrame * double(g.frames.size())) {
            g.damaged = damaged;
            r.damaged += damaged;
        }
        covered += g.frames.size();
        r.groups.push_back(std::move(g));
    }
    if (r.bursts - r.damaged > 0)
        r.confidence = double(covered) / (r.bursts - r.damaged);
    return r;
}

QString measuredTimings(const std::vector<Frame> &frames)
{
    Frame sum;
    int leaders = 0;
    int stretched = 0;
    for (const Frame &f : frames) {
        if (f.stretchUs != 0) {
            sum.stretchUs += f.stretchUs;
            ++stretched;
        }
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
    if (stretched > 0)
        parts << QStringLiteral("in %1 of the frames marks %2 longer and spaces as much "
                                "shorter, as a receiver stretches them, read with that taken off")
                     .arg(countText(stretched), microsecondsText(sum.stretchUs / stretched));
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
        if (a.texts.isEmpty() || a.decoder != QLatin1String(family.sigrokDecoder))
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
    std::vector<std::pair<qint64, qint64>> given;
    given.reserve(ours.size());
    for (const Code &code : ours)
        given.emplace_back(code.address, code.command);
    const std::size_t alike = matchedInOrder(given, theirs);
    if (alike != ours.size() || theirs.size() != ours.size())
        lines << QStringLiteral("sigrok's %1 reading differs from the timings': it reads %2 of "
                                "the %3 codes they give, and %4 codes they do not give (%5)")
                     .arg(QLatin1String(family.sigrokDecoder), countText(qint64(alike)),
                          countText(qint64(ours.size())), countText(qint64(theirs.size() - alike)),
                          QLatin1String(family.sigrokLimits));
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
    std::vector<std::vector<Code>> codes;
    QStringList names;
    std::size_t frames = 0;
    for (const Group &g : best.groups) {
        codes.push_back(codesOf(g.frames));
        names << QString::fromLatin1(g.family->name);
        frames += g.frames.size();
    }
    if (codes.empty())
        return std::nullopt;
    const bool several = names.size() > 1;

    TraceDescription d;
    d.kind = QStringLiteral("infrared");
    d.confidence = best.confidence;
    d.fields.insert(QStringLiteral("family"), names.join(QStringLiteral(" + ")));
    d.fields.insert(QStringLiteral("idle_high"), idleHigh);
    d.firstFrameSample = best.groups.front().firstStart;
    d.frameSamples = best.groups.front().firstSamples;
    const QString polarity = idleHigh ? QStringLiteral("idle high, as a receiver gives it")
                                      : QStringLiteral("idle low (inverted)");
    d.title = several
                  ? QStringLiteral("infrared remote controls of %1 families, %2, %3")
                        .arg(names.size())
                        .arg(names.join(QStringLiteral(" and ")), polarity)
                  : QStringLiteral("infrared remote control, %1, %2").arg(names.front(), polarity);

    QStringList counts;
    for (std::size_t i = 0; i < best.groups.size(); ++i) {
        const auto whole = qint64(codes[i].size());
        const auto repeats = qint64(best.groups[i].frames.size()) - whole;
        counts << QStringLiteral("%1%2 frames%3")
                      .arg(several ? names[qsizetype(i)] + QStringLiteral(": ") : QString(),
                           countText(whole),
                           repeats > 0 ? QStringLiteral(" and %1 repeat codes").arg(repeats)
                                       : QString());
    }
    d.evidence << QStringLiteral("%1 of %2 bursts (%3) read as %4: %5")
                      .arg(countText(qint64(frames)), countText(best.bursts - best.damaged),
                           shareText(best.confidence, kConfidenceThreshold),
                           names.join(QStringLiteral(" and ")), counts.join(QStringLiteral("; ")));
    if (codes.front().empty())
        d.evidence << QStringLiteral("repeat codes only: a key held down all through the "
                                     "capture, its code sent before it began");
    for (const Group &g : best.groups) {
        if (g.damaged > 0)
            d.evidence << QStringLiteral("%1 more %2 like damaged %3 frames (its leader or "
                                         "its units, but no whole frame), set aside")
                              .arg(countText(g.damaged),
                                   g.damaged == 1 ? QStringLiteral("burst looks")
                                                  : QStringLiteral("bursts look"),
                                   QLatin1String(g.family->name));
    }
    if (best.cutRead > 0)
        d.evidence << QStringLiteral("%1 of the frames read next to the capture's start or end, "
                                     "whole all the same")
                          .arg(countText(best.cutRead));
    if (best.strays > 0)
        d.evidence << QStringLiteral("%1 stray marks shorter than %2 ignored, as noise on the "
                                     "receiver's output")
                          .arg(countText(best.strays), microsecondsText(kStrayMarkUs));
    for (std::size_t i = 0; i < best.groups.size(); ++i) {
        const InfraredFamily &family = *best.groups[i].family;
        const QString name = names[qsizetype(i)];
        d.evidence << QStringLiteral("measured%1: %2; %3: %4")
                          .arg(several ? QStringLiteral(" ") + name : QString(),
                               measuredTimings(best.groups[i].frames), name,
                               family.nominalTimings());
        QStringList texts;
        for (const Code &code : codes[i])
            texts << code.text;
        d.evidence << QStringLiteral("%1codes read from the timings: %2")
                          .arg(several ? name + QStringLiteral(" ") : QString(), codesText(texts));
        if (!family.sigrokDecoder) {
            d.evidence << QStringLiteral("sigrok has no decoder for %1").arg(name);
            continue;
        }
        d.decoders.append(
            {QString::fromLatin1(family.sigrokDecoder),
             {{QStringLiteral("polarity"),
               idleHigh ? QStringLiteral("active-low") : QStringLiteral("active-high")}}});
    }
    if (d.decoders.isEmpty())
        return d;
    d.channel = QStringLiteral("ir");
    std::vector<const InfraredFamily *> families;
    for (const Group &g : best.groups)
        families.push_back(g.family);
    d.compareWithSigrok = [families, codes](const std::vector<sigrok::Annotation> &annotations) {
        QStringList lines;
        for (std::size_t i = 0; i < families.size(); ++i) {
            if (families[i]->sigrokDecoder)
                lines << compareCodes(*families[i], codes[i], annotations);
        }
        return lines;
    };
    return d;
}

} // namespace wavemill::detect
