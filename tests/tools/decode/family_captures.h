// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Pulse trains for the detection of slow single-wire families: a signal
// given by its changes of level, sampled at any rate for any length, with
// timings off, stray pulses or noise; and what sigrok's decoders, run in this
// process, read from a train at the board's rate.

#include "decode/sigrok_decoders.h"
#include "detect/pulse_train.h"
#include "detect/trace_description.h"
#include "signals/waveform_signal.h"

#include "core/sample_period.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace wavemill::testing {

/// The samples a board taking one every \a periodUs for \a seconds reads of
/// \a signal from \a fromUs on: each sample the level at its instant, so
/// that a pulse between two samples is not seen.
inline detect::PulseTrain trainOf(const signals::WaveformSignal &signal, double seconds,
                                  double periodUs = kSamplePeriodUs, double fromUs = 0)
{
    const auto total = std::int64_t(seconds * 1e6 / periodUs);
    std::vector<detect::Run> runs;
    bool level = signal.levelAtUs(fromUs);
    std::int64_t start = 0;
    const double every = signal.periodUs();
    const std::vector<double> &edges = signal.edgesUs();
    for (double base = 0; !edges.empty() && base < fromUs + seconds * 1e6; base += every) {
        for (const double edge : edges) {
            if (base + edge <= fromUs)
                continue;
            const auto at = std::int64_t(std::ceil((base + edge - fromUs) / periodUs - 1e-9));
            if (at >= total)
                break;
            if (at > start) {
                runs.push_back({start, at - start, level});
                start = at;
                level = !level;
            } else if (!runs.empty()) {
                // Two changes before the same sample: the pulse between them is not seen.
                start = runs.back().start;
                level = runs.back().high;
                runs.pop_back();
            } else {
                level = !level;
            }
        }
        if (every <= 0)
            break;
    }
    runs.push_back({start, total - start, level});
    return detect::PulseTrain(std::move(runs), periodUs);
}

/// \a signal with every high stretch \a highScale times as long and every
/// low stretch \a lowScale times: timings off by a factor, or a receiver
/// that stretches one level.
class ScaledSignal : public signals::WaveformSignal
{
public:
    ScaledSignal(const signals::WaveformSignal &signal, double highScale, double lowScale)
    {
        std::vector<double> edges;
        bool high = signal.startsHigh();
        double last = 0;
        double at = 0;
        for (const double edge : signal.edgesUs()) {
            at += (edge - last) * (high ? highScale : lowScale);
            edges.push_back(at);
            last = edge;
            high = !high;
        }
        const double period = signal.periodUs() > 0
                                  ? at + (signal.periodUs() - last) * (high ? highScale : lowScale)
                                  : 0;
        setEdges(signal.startsHigh(), std::move(edges), period);
    }
};

/// \a signal over \a seconds with a pulse of the other level \a widthUs
/// long every \a everyUs from \a firstUs: stray pulses between its bursts,
/// or damage where one falls inside a burst.
class WithPulses : public signals::WaveformSignal
{
public:
    WithPulses(const signals::WaveformSignal &signal, double seconds, double everyUs,
               double firstUs, double widthUs)
    {
        std::vector<double> edges;
        const double every = signal.periodUs();
        for (double base = 0; base < seconds * 1e6; base += every) {
            for (const double edge : signal.edgesUs())
                edges.push_back(base + edge);
            if (every <= 0)
                break;
        }
        for (double t = firstUs; t < seconds * 1e6; t += everyUs) {
            edges.push_back(t);
            edges.push_back(t + widthUs);
        }
        std::sort(edges.begin(), edges.end());
        setEdges(signal.startsHigh(), std::move(edges), 0);
    }
};

/// Levels that change after random times from \a shortestUs to \a
/// longestUs: noise, or pulses of no family.
class RandomStretches : public signals::WaveformSignal
{
public:
    RandomStretches(double shortestUs, double longestUs, double seconds, std::uint32_t seed)
    {
        std::mt19937 engine(seed);
        std::vector<double> edges;
        for (double t = 0; t < seconds * 1e6;) {
            t += shortestUs + (longestUs - shortestUs) * double(engine()) / 4294967296.0;
            edges.push_back(t);
        }
        setEdges(false, std::move(edges), 0);
    }
};

/// Pulses at \a activeHigh level of the given widths in turn, from \a
/// shortestUs to \a longestUs apart at random.
class IrregularPulses : public signals::WaveformSignal
{
public:
    IrregularPulses(const std::vector<double> &widthsUs, double shortestUs, double longestUs,
                    double seconds, bool activeHigh, std::uint32_t seed)
    {
        std::mt19937 engine(seed);
        signals::Waveform wave;
        wave.hold(!activeHigh, 0);
        for (std::size_t k = 0; wave.endUs < seconds * 1e6; ++k) {
            const double width = widthsUs[k % widthsUs.size()];
            wave.hold(activeHigh, width);
            wave.hold(!activeHigh, shortestUs +
                                       (longestUs - shortestUs) * double(engine()) / 4294967296.0 -
                                       width);
        }
        setWaveform(wave, false);
    }
};

/// What sigrok's decoders the description chose read from \a train, set
/// against the detection's own reading by its comparison; empty when it
/// chose none, or the train is not at the board's rate (the decoders are
/// told the board's). The decoders are one stack, the first reading the
/// trace on the description's channel.
inline QStringList sigrokReading(const detect::TraceDescription &d, const detect::PulseTrain &train,
                                 QString *why)
{
    if (d.decoders.isEmpty() || std::fabs(train.samplePeriodUs() / kSamplePeriodUs - 1) > 1e-4)
        return {};
    static decode::SigrokDecoders decoders; // Python starts once a process
    std::vector<std::uint8_t> samples(std::size_t(train.samples()), 0);
    for (const detect::Run &run : train.runs()) {
        if (run.high)
            std::fill_n(samples.begin() + run.start, run.length, std::uint8_t(1));
    }
    sigrok::DecoderStack stack = d.decoders;
    stack.front().settings.append({d.channel, QStringLiteral("trace1")});
    std::vector<sigrok::Annotation> annotations;
    if (decoders.decode({stack}, 0, &samples, &annotations, why) != decode::DecodeFailure::None)
        return {};
    return d.compareWithSigrok(annotations);
}

} // namespace wavemill::testing
