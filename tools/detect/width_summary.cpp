// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/width_summary.h"

#include "detect/measure_text.h"

#include <algorithm>
#include <vector>

namespace wavemill::detect {

namespace {

/// Widths within 10 % (and a sample) of a group's first one join it.
constexpr double kGroupSpread = 0.10;
constexpr double kGroupSlackSamples = 1.0;
/// Groups shown for each level.
constexpr std::size_t kShownGroups = 3;
/// Bi-phase: this share of pulses in the two groups, the long one twice the
/// short one within 7 % and half a sample of each (the sampling's share of
/// a ratio), the short one at least four samples (shorter, the sampling
/// alone makes any two widths near 1:2), and both levels holding both
/// widths, each at least this often: a half-bit and a whole bit come at
/// either level in bi-phase, where a pulse code's marks are all alike.
constexpr double kBiphaseShare = 0.95;
constexpr double kBiphaseRatioTolerance = 0.07;
constexpr double kBiphaseSlackSamples = 0.5;
constexpr double kBiphaseShortestSamples = 4;
constexpr double kBiphaseLevelShare = 0.10;

struct Group
{
    double mean; // samples
    int count;
};

std::vector<Group> groups(std::vector<double> widths)
{
    std::sort(widths.begin(), widths.end());
    std::vector<Group> out;
    std::size_t first = 0;
    double sum = 0;
    for (std::size_t i = 0; i <= widths.size(); ++i) {
        if (i == widths.size() ||
            widths[i] > widths[first] * (1 + kGroupSpread) + kGroupSlackSamples) {
            // The mean, not the median: sampling splits a width between two sample counts.
            if (i > first)
                out.push_back({sum / double(i - first), int(i - first)});
            first = i;
            sum = 0;
        }
        if (i < widths.size())
            sum += widths[i];
    }
    std::sort(out.begin(), out.end(),
              [](const Group &a, const Group &b) { return a.count > b.count; });
    return out;
}

QString groupsText(const PulseTrain &train, const std::vector<Group> &g, int total)
{
    QStringList parts;
    for (std::size_t i = 0; i < g.size() && i < kShownGroups; ++i)
        parts << QStringLiteral("%1 (%2)").arg(train.durationOfSamples(g[i].mean),
                                               percentText(double(g[i].count) / total));
    if (g.size() > kShownGroups)
        parts << QStringLiteral("%1 other widths").arg(g.size() - kShownGroups);
    return parts.join(QStringLiteral(", "));
}

} // namespace

QStringList describeWidths(const PulseTrain &train)
{
    const std::vector<Run> &runs = train.runs();
    std::vector<double> high;
    std::vector<double> low;
    std::vector<double> all;
    // The first and last runs are cut by the capture: their widths mean nothing.
    for (std::size_t i = 1; i + 1 < runs.size(); ++i) {
        (runs[i].high ? high : low).push_back(double(runs[i].length));
        all.push_back(double(runs[i].length));
    }
    QStringList lines;
    lines << QStringLiteral("%1 %2 of level in %3 samples")
                 .arg(countText(train.edges()),
                      train.edges() == 1 ? QStringLiteral("change") : QStringLiteral("changes"),
                      countText(train.samples()));
    if (!high.empty())
        lines << QStringLiteral("high pulses: %1").arg(groupsText(train, groups(high), int(high.size())));
    if (!low.empty())
        lines << QStringLiteral("low pulses: %1").arg(groupsText(train, groups(low), int(low.size())));

    const std::vector<Group> g = groups(all);
    if (g.size() >= 2) {
        const double shortW = std::min(g[0].mean, g[1].mean);
        const double longW = std::max(g[0].mean, g[1].mean);
        const double share = double(g[0].count + g[1].count) / double(all.size());
        const double ratioSlack =
            2 * kBiphaseRatioTolerance + kBiphaseSlackSamples * (1 / shortW + 2 / longW);
        // Both widths at both levels: the pulses of each within the slack of either.
        const auto holdsBoth = [&](const std::vector<double> &widths) {
            int shorts = 0;
            int longs = 0;
            for (const double w : widths) {
                shorts += std::fabs(w - shortW) <= kGroupSpread * shortW + kGroupSlackSamples;
                longs += std::fabs(w - longW) <= kGroupSpread * longW + kGroupSlackSamples;
            }
            const auto n = double(widths.size());
            return shorts >= kBiphaseLevelShare * n && longs >= kBiphaseLevelShare * n;
        };
        if (share >= kBiphaseShare && shortW >= kBiphaseShortestSamples &&
            std::fabs(longW / shortW - 2) <= ratioSlack && holdsBoth(high) && holdsBoth(low))
            lines << QStringLiteral("%1 of the pulses are %2 or twice that: the look of bi-phase "
                                    "(Manchester) coding at about %3 bit/s, which no decoder here "
                                    "reads without its framing")
                         .arg(percentText(share), train.durationOfSamples(shortW),
                              QString::number(1e6 / train.toUs(2 * shortW), 'f', 0));
    }
    return lines;
}

} // namespace wavemill::detect
