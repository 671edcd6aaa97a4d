// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// A trial of the detection on captures it was not written against: serial
// lines at many rates with jitter, glitches, parity and rates off the
// standard ones; remote controls with a receiver's stretched marks, per-pulse
// timing error, slow clocks and two families on one trace; clocks, PWM,
// gated clocks and carriers near the sample limit; slow pulse trains, noise
// and Manchester. Each capture is described as wavemill-decode describes it,
// and the verdict set against what the capture holds. Prints one line a
// capture, then the confusion table (what it holds against what was said)
// and the count of right answers, honest "unrecognised", wrong claims and
// misses. With --write DIR, also writes each capture to DIR/NAME.ird
// (trace 1) for wavemill-decode itself.
//
// Usage: bench_decode_trial [--write DIR]

#include "detect/trace_detector.h"
#include "examples/example_signals.h"
#include "signals/infrared_codes.h"

#include "capture_file/capture_file_format.h"
#include "core/sample_period.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <utility>
#include <vector>

namespace {

using namespace wavemill;
using board::IrPulses;
using examples::TraceSketch;

constexpr double kSampleUs = kSamplePeriodUs;

/// Uniform in [low, high) from the engine's bits alone, the same everywhere.
double uniform(std::mt19937 &engine, double low, double high)
{
    return low + (high - low) * double(engine()) / 4294967296.0;
}

/// Stretches of level, high or low, and how long each lasts in µs.
using Runs = std::vector<std::pair<bool, double>>;

struct Timing
{
    double edgeJitterSamples = 0; // each edge moved by up to this many samples
    double glitchesPerSecond = 0; // one-sample spikes against the level
    std::uint32_t seed = 1;
};

/// Draws \a runs from \a fromUs on, each edge moved by the timing's jitter.
/// Returns the time past the last run.
double draw(TraceSketch &sketch, double fromUs, const Runs &runs, std::mt19937 &engine,
            const Timing &timing)
{
    double t = fromUs;
    double start = fromUs;
    for (const auto &[level, us] : runs) {
        t += us;
        const double end = t + timing.edgeJitterSamples * kSampleUs * uniform(engine, -1, 1);
        sketch.set(start, end, level);
        start = end;
    }
    return t;
}

void addGlitches(TraceSketch &sketch, std::mt19937 &engine, double perSecond, bool level)
{
    const int count = int(perSecond * TraceSketch::length() / 1e6);
    for (int i = 0; i < count; ++i) {
        const double at = uniform(engine, 0, TraceSketch::length());
        sketch.set(at, at + kSampleUs, level);
    }
}

/// Serial frames of \a bytes: start bit, 8 data bits, optional parity, stop
/// bit, with \a gapBits of idle after each frame.
Runs uartRuns(const QByteArray &bytes, double baud, char parity, double gapBits)
{
    const double bit = 1e6 / baud;
    Runs runs;
    for (const char c : bytes) {
        const auto byte = std::uint8_t(c);
        runs.emplace_back(false, bit);
        int ones = 0;
        for (int k = 0; k < 8; ++k) {
            const bool one = (byte >> k) & 1u;
            ones += one;
            runs.emplace_back(one, bit);
        }
        if (parity == 'E')
            runs.emplace_back(ones % 2 == 1, bit);
        else if (parity == 'O')
            runs.emplace_back(ones % 2 == 0, bit);
        runs.emplace_back(true, bit * (1 + gapBits));
    }
    return runs;
}

QByteArray textOf(int n, std::mt19937 &engine, bool random)
{
    static const char *const kWords[] = {"temp=",          "21.5", " ok\r\n",   "ADC ",
                                         "1023",           ";",    "Hello ",    "node-7 ",
                                         "status: idle\n", "GPS,", "4807.038,N"};
    QByteArray text;
    while (text.size() < n) {
        if (random)
            text.append(char(engine() & 0xFF));
        else
            text.append(kWords[engine() % (sizeof kWords / sizeof *kWords)]);
    }
    return text.left(n);
}

/// A serial line: bursts of text every 50 to 300 ms, idle high unless inverted.
TraceBuffer uartCapture(double baud, std::uint32_t seed, const Timing &timing, bool inverted,
                        bool random, char parity)
{
    std::mt19937 engine(seed);
    TraceSketch sketch(true);
    double t = uniform(engine, 1000, 20000);
    while (t < TraceSketch::length()) {
        const QByteArray text = textOf(int(4 + engine() % 40), engine, random);
        const double gap = (engine() % 4 == 0) ? uniform(engine, 0, 3) : 0;
        t = draw(sketch, t, uartRuns(text, baud, parity, gap), engine, timing);
        t += uniform(engine, 50000, 300000);
    }
    if (timing.glitchesPerSecond > 0)
        addGlitches(sketch, engine, timing.glitchesPerSecond, false);
    TraceBuffer buffer = sketch.packed();
    if (inverted)
        for (auto &b : buffer)
            b = std::uint8_t(~b);
    return buffer;
}

/// How a receiver and a remote's clock bend the nominal pulses.
struct IrBend
{
    double markStretchLowUs = 0; // marks longer by this to the next, spaces shorter as much
    double markStretchHighUs = 0;
    double perPulse = 0; // each pulse scaled by up to this share either way
    double clock = 1;    // every pulse scaled by this
};

Runs bend(const IrPulses &frame, const IrBend &b, std::mt19937 &engine)
{
    // A receiver stretches each mark once, however many half-bits it holds.
    IrPulses pulses;
    for (const auto &p : frame) {
        if (!pulses.empty() && pulses.back().mark == p.mark)
            pulses.back().us += p.us;
        else
            pulses.push_back(p);
    }
    Runs runs;
    for (const auto &p : pulses) {
        double us = p.us * b.clock * (1 + uniform(engine, -b.perPulse, b.perPulse));
        const double stretch = uniform(engine, b.markStretchLowUs, b.markStretchHighUs);
        us += p.mark ? stretch : -stretch;
        runs.emplace_back(!p.mark, us); // a receiver's output is low during a mark
    }
    return runs;
}

using FrameMaker = std::function<IrPulses(int press, int repeat)>;

/// Presses of a remote every \a pressUs, each frame \a repeats times \a
/// frameUs apart; frames of several makers take turns press by press.
TraceBuffer remoteCapture(const std::vector<FrameMaker> &makers, double pressUs, double frameUs,
                          int repeats, const IrBend &bendBy, std::uint32_t seed, bool inverted)
{
    std::mt19937 engine(seed);
    TraceSketch sketch(true);
    int press = 0;
    for (double t = uniform(engine, 5000, 40000); t + pressUs < TraceSketch::length();
         t += pressUs, ++press) {
        const FrameMaker &make = makers[std::size_t(press) % makers.size()];
        for (int r = 0; r < repeats; ++r)
            draw(sketch, t + r * frameUs, bend(make(press, r), bendBy, engine), engine, {});
    }
    TraceBuffer buffer = sketch.packed();
    if (inverted)
        for (auto &b : buffer)
            b = std::uint8_t(~b);
    return buffer;
}

FrameMaker nec(int address)
{
    return [address](int press, int repeat) {
        return repeat == 0 ? board::necFrame(std::uint8_t(address), std::uint8_t(0x20 + press))
                           : board::necRepeat();
    };
}

FrameMaker necExtended(std::uint16_t address)
{
    return [address](int press, int repeat) {
        if (repeat > 0)
            return board::necRepeat();
        const auto command = std::uint8_t(0x40 + press);
        const std::uint32_t word =
            address | std::uint32_t(command) << 16 | std::uint32_t(std::uint8_t(~command)) << 24;
        std::vector<bool> bits;
        bits.reserve(32);
        for (int i = 0; i < 32; ++i)
            bits.push_back((word >> i) & 1u);
        return board::pulseDistanceFrame(board::kNec, bits);
    };
}

FrameMaker rc5(int address)
{
    return
        [address](int press, int) { return board::rc5Frame(address, (7 + press) % 64, press % 2); };
}

FrameMaker rc6(int address)
{
    return [address](int press, int) {
        return board::rc6Frame(address, (0x30 + press) % 256, press % 2);
    };
}

FrameMaker pulseDistance(const board::PulseDistanceTiming &timing)
{
    return [&timing](int press, int) {
        return board::pulseDistanceFrame(
            timing, board::bitsMsbFirst(0x9E3779B9u * std::uint32_t(press + 3) >>
                                            (32 - std::min(32, timing.bits)),
                                        timing.bits));
    };
}

FrameMaker sirc(int bits)
{
    return [bits](int press, int) {
        return board::pulseWidthFrame(board::kSirc,
                                      board::bitsMsbFirst(std::uint32_t(0x2A5 + 37 * press), bits));
    };
}

/// A square wave of \a hz and \a duty, on for \a onUs and off for \a offUs
/// in turn (always on when offUs is 0).
TraceBuffer squareCapture(double hz, double duty, double onUs, double offUs, double phaseUs = 0)
{
    TraceSketch sketch(false);
    const double period = 1e6 / hz;
    if (offUs <= 0) {
        examples::addPwm(sketch, phaseUs, TraceSketch::length(), period, duty);
        return sketch.packed();
    }
    for (int n = 0; phaseUs + n * (onUs + offUs) < TraceSketch::length(); ++n) {
        const double t = phaseUs + n * (onUs + offUs);
        examples::addPwm(sketch, t, std::min(t + onUs, TraceSketch::length()), period, duty);
    }
    return sketch.packed();
}

/// Pulses of the given widths in turn, one every \a everyUs, at \a active level.
TraceBuffer pulseTrainCapture(double everyUs, const std::vector<double> &widthsUs, bool active,
                              double firstUs)
{
    TraceSketch sketch(!active);
    for (int n = 0; firstUs + n * everyUs < TraceSketch::length(); ++n)
        sketch.set(firstUs + n * everyUs,
                   firstUs + n * everyUs + widthsUs[std::size_t(n) % widthsUs.size()], active);
    return sketch.packed();
}

/// Pulses of the given widths in random turn, at random spacings between
/// \a shortestUs and \a longestUs.
TraceBuffer irregularPulsesCapture(const std::vector<double> &widthsUs, double shortestUs,
                                   double longestUs, bool active, std::uint32_t seed)
{
    std::mt19937 engine(seed);
    TraceSketch sketch(!active);
    double t = uniform(engine, 0, longestUs);
    while (t < TraceSketch::length()) {
        sketch.set(t, t + widthsUs[engine() % widthsUs.size()], active);
        t += uniform(engine, shortestUs, longestUs);
    }
    return sketch.packed();
}

/// Levels held for random times between \a shortestUs and \a longestUs.
TraceBuffer randomWidthsCapture(double shortestUs, double longestUs, std::uint32_t seed)
{
    std::mt19937 engine(seed);
    TraceSketch sketch(false);
    bool level = true;
    for (double t = 0; t < TraceSketch::length(); level = !level) {
        const double next = t + uniform(engine, shortestUs, longestUs);
        sketch.set(t, next, level);
        t = next;
    }
    return sketch.packed();
}

TraceBuffer manchesterCapture(double bitUs, double burstUs, double everyUs, std::uint32_t seed)
{
    TraceSketch sketch(false);
    const int bytes = int(burstUs / (8 * bitUs));
    for (int n = 0; 3000 + n * everyUs < TraceSketch::length(); ++n)
        examples::addManchester(sketch, 3000 + n * everyUs, bitUs,
                                examples::pseudoRandomBytes(bytes, std::uint16_t(seed + n)));
    return sketch.packed();
}

TraceBuffer randomBytesCapture(std::uint32_t seed)
{
    std::mt19937 engine(seed);
    TraceBuffer buffer{};
    for (auto &b : buffer)
        b = std::uint8_t(engine() >> 24);
    return buffer;
}

struct Case
{
    QString name;
    QString truth;  // the row of the table
    QString answer; // the verdict that is right
    double value;   // bit rate or frequency to be found within 3 % (0: not checked)
    TraceBuffer buffer;
};

std::vector<Case> trialCases()
{
    std::vector<Case> cases;
    const auto add = [&](const QString &name, const QString &truth, const QString &answer,
                         double value, const TraceBuffer &buffer) {
        cases.push_back({name, truth, answer, value, buffer});
    };
    std::uint32_t seed = 100;

    // Serial lines.
    for (const double rate : {300.0, 600.0, 1200.0, 2400.0, 4800.0, 9600.0, 14400.0, 19200.0})
        add(QStringLiteral("uart-%1").arg(rate), "uart", "uart", rate,
            uartCapture(rate, ++seed, {}, false, false, 0));
    for (const double rate : {1200.0, 2400.0, 4800.0, 9600.0})
        add(QStringLiteral("uart-%1-jitter1").arg(rate), "uart", "uart", rate,
            uartCapture(rate, ++seed, {1.0, 0, seed}, false, false, 0));
    for (const double rate : {2400.0, 9600.0})
        add(QStringLiteral("uart-%1-random-inverted").arg(rate), "uart", "uart", rate,
            uartCapture(rate, ++seed, {}, true, true, 0));
    for (const double rate : {1200.0, 9600.0})
        add(QStringLiteral("uart-%1-glitches").arg(rate), "uart", "uart", rate,
            uartCapture(rate, ++seed, {0, 20, seed}, false, false, 0));
    add("uart-9600-even-parity", "uart", "uart", 9600,
        uartCapture(9600, ++seed, {}, false, true, 'E'));
    add("uart-4800-odd-parity", "uart", "uart", 4800,
        uartCapture(4800, ++seed, {}, false, true, 'O'));
    add("uart-9888-off-rate", "uart", "uart", 9888, uartCapture(9888, ++seed, {}, false, false, 0));
    add("uart-3300-nonstandard", "uart", "uart", 3300,
        uartCapture(3300, ++seed, {0.5, 0, seed}, false, false, 0));

    // Remote controls.
    const IrBend clean;
    const IrBend receiver{40, 110, 0, 1};
    const IrBend sloppy{0, 0, 0.06, 1};
    const IrBend slow{30, 90, 0, 1.05};
    add("nec", "NEC", "ir NEC", 0,
        remoteCapture({nec(0x31)}, 250000, 108000, 2, clean, ++seed, false));
    add("nec-receiver", "NEC", "ir NEC", 0,
        remoteCapture({nec(0x08)}, 300000, 108000, 2, receiver, ++seed, false));
    add("nec-sloppy", "NEC", "ir NEC", 0,
        remoteCapture({nec(0x77)}, 230000, 108000, 2, sloppy, ++seed, false));
    add("nec-extended", "NEC", "ir NEC", 0,
        remoteCapture({necExtended(0x1234)}, 250000, 108000, 2, clean, ++seed, false));
    add("nec-inverted-slow", "NEC", "ir NEC", 0,
        remoteCapture({nec(0x02)}, 250000, 108000, 3, slow, ++seed, true));
    add("rc5", "RC-5", "ir RC-5", 0,
        remoteCapture({rc5(3)}, 240000, 113778, 2, clean, ++seed, false));
    add("rc5-receiver", "RC-5", "ir RC-5", 0,
        remoteCapture({rc5(20)}, 240000, 113778, 2, receiver, ++seed, false));
    add("rc5-sloppy", "RC-5", "ir RC-5", 0,
        remoteCapture({rc5(9)}, 240000, 113778, 2, sloppy, ++seed, false));
    add("rc5-slow", "RC-5", "ir RC-5", 0,
        remoteCapture({rc5(1)}, 240000, 113778, 2, slow, ++seed, false));
    add("rc6", "RC-6", "ir RC-6", 0,
        remoteCapture({rc6(0x10)}, 230000, 106667, 2, clean, ++seed, false));
    add("rc6-receiver", "RC-6", "ir RC-6", 0,
        remoteCapture({rc6(0x80)}, 230000, 106667, 2, receiver, ++seed, false));
    add("rc6-sloppy", "RC-6", "ir RC-6", 0,
        remoteCapture({rc6(0x05)}, 230000, 106667, 2, sloppy, ++seed, false));
    add("rc6-slow", "RC-6", "ir RC-6", 0,
        remoteCapture({rc6(0x44)}, 230000, 106667, 2, slow, ++seed, false));
    add("samsung", "other remote", "ir Samsung", 0,
        remoteCapture({pulseDistance(board::kSamsung)}, 200000, 0, 1, receiver, ++seed, false));
    add("jvc", "other remote", "ir JVC", 0,
        remoteCapture({pulseDistance(board::kJvc)}, 150000, 0, 1, clean, ++seed, false));
    add("sirc-15", "other remote", "ir SIRC", 0,
        remoteCapture({sirc(15)}, 150000, 45000, 3, receiver, ++seed, false));
    add("nec+rc6", "two remotes", "ir NEC + RC-6", 0,
        remoteCapture({nec(0x10), rc6(0x22)}, 260000, 108000, 2, clean, ++seed, false));
    add("rc5+sirc", "two remotes", "ir RC-5 + SIRC", 0,
        remoteCapture({rc5(4), sirc(12)}, 260000, 113778, 2, clean, ++seed, false));
    add("nec+rc5-receiver", "two remotes", "ir NEC + RC-5", 0,
        remoteCapture({nec(0x55), rc5(11)}, 300000, 108000, 2, receiver, ++seed, false));

    // Clocks and PWM.
    for (const double hz : {3.0, 50.0, 440.0, 2500.0, 7000.0})
        add(QStringLiteral("clock-%1hz").arg(hz), "periodic", "periodic", hz,
            squareCapture(hz, 0.5, 0, 0, 123));
    add("pwm-800hz-20", "periodic", "periodic", 800, squareCapture(800, 0.2, 0, 0));
    add("pwm-150hz-90", "periodic", "periodic", 150, squareCapture(150, 0.9, 0, 0));
    add("pwm-5khz-35", "periodic", "periodic", 5000, squareCapture(5000, 0.35, 0, 0));
    add("clock-14khz", "near the sample limit", "periodic alias", 0,
        squareCapture(14000, 0.5, 0, 0));
    add("carrier-36khz", "near the sample limit", "periodic alias", 0,
        squareCapture(36000, 0.5, 0, 0));
    add("carrier-56khz", "near the sample limit", "periodic alias", 0,
        squareCapture(56000, 0.33, 0, 0));

    // Periodic in bursts.
    add("clock-2khz-gated-40-60ms", "gated", "periodic bursts", 2000,
        squareCapture(2000, 0.5, 40000, 60000));
    add("pwm-500hz-gated-300-200ms", "gated", "periodic bursts", 500,
        squareCapture(500, 0.3, 300000, 200000));
    add("clock-5khz-gated-20-180ms", "gated", "periodic bursts", 5000,
        squareCapture(5000, 0.5, 20000, 180000));
    add("carrier-40khz-gated-150ms", "gated", "periodic bursts", 0,
        squareCapture(40000, 0.5, 150000, 150000));
    add("carrier-30khz-gated-60-90ms", "gated", "periodic bursts", 0,
        squareCapture(30000, 0.5, 60000, 90000));

    // Nothing a decoder reads.
    add("pulses-2hz-50-250ms", "slow pulse train", "periodic", 2,
        pulseTrainCapture(500000, {50000, 250000}, true, 70000));
    add("pulses-1hz-300ms-low", "slow pulse train", "periodic", 1,
        pulseTrainCapture(1000000, {300000, 120000}, false, 200000));
    add("pulses-4hz-20-60-100ms", "slow pulse train", "periodic", 4,
        pulseTrainCapture(250000, {20000, 60000, 100000}, true, 10000));
    add("pulses-5hz-10-30ms-low", "slow pulse train", "periodic", 5,
        pulseTrainCapture(200000, {10000, 30000}, false, 33000));
    add("pulses-irregular-100-200ms", "irregular pulses", "unrecognised", 0,
        irregularPulsesCapture({100000, 200000}, 600000, 1500000, true, ++seed));
    add("pulses-irregular-40-80-120ms-low", "irregular pulses", "unrecognised", 0,
        irregularPulsesCapture({40000, 80000, 120000}, 300000, 900000, false, ++seed));
    add("random-bytes", "noise", "unrecognised", 0, randomBytesCapture(++seed));
    add("random-widths-fast", "noise", "unrecognised", 0, randomWidthsCapture(20, 3000, ++seed));
    add("random-widths-slow", "noise", "unrecognised", 0, randomWidthsCapture(5000, 90000, ++seed));
    add("random-widths-mid", "noise", "unrecognised", 0, randomWidthsCapture(300, 2000, ++seed));
    add("manchester-1k", "manchester", "unrecognised", 0,
        manchesterCapture(1000, 1e7, 2e7, ++seed));
    add("manchester-4k-bursts", "manchester", "unrecognised", 0,
        manchesterCapture(250, 4000, 50000, ++seed));
    add("manchester-500-bursts", "manchester", "unrecognised", 0,
        manchesterCapture(2000, 64000, 150000, ++seed));
    TraceBuffer high;
    high.fill(0xFF);
    add("flat-high", "flat", "flat", 0, high);
    return cases;
}

/// The verdict in the table's terms.
QString verdict(const detect::TraceDescription &d)
{
    const QString all = d.title + QLatin1Char('\n') + d.evidence.join(QLatin1Char('\n'));
    if (d.kind == QLatin1String("periodic")) {
        if (all.contains(QLatin1String("in bursts")))
            return QStringLiteral("periodic bursts");
        if (all.contains(QLatin1String("alias")))
            return QStringLiteral("periodic alias");
    }
    if (d.kind == QLatin1String("infrared"))
        return QStringLiteral("ir ") + d.fields.value(QStringLiteral("family")).toString();
    return d.kind;
}

double valueOf(const detect::TraceDescription &d)
{
    return d.fields
        .value(QLatin1String(d.kind == QLatin1String("uart") ? "bit_rate" : "frequency_hz"))
        .toDouble();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const qsizetype writeAt = args.indexOf(QStringLiteral("--write"));
    const QString dir = writeAt > 0 ? args.value(writeAt + 1) : QString();
    if (!dir.isEmpty())
        QDir().mkpath(dir);

    const QStringList columns{"uart",           "infrared", "periodic",    "periodic bursts",
                              "periodic alias", "flat",     "unrecognised"};
    std::map<QString, std::map<QString, int>> table;
    QStringList rows;
    int right = 0, honest = 0, wrong = 0, missed = 0, partly = 0;
    for (const Case &c : trialCases()) {
        const detect::TraceDescription d = detect::describeTrace(c.buffer);
        const QString said = verdict(d);
        const bool rateRight = c.value <= 0 || std::fabs(valueOf(d) / c.value - 1) <= 0.03;
        QString outcome;
        // A caution that a clock may be an alias takes nothing from it.
        const bool cautioned =
            c.answer == QLatin1String("periodic") && said == QLatin1String("periodic alias");
        if ((said == c.answer || cautioned) && rateRight) {
            outcome = QStringLiteral("right");
            ++right;
        } else if (said == QLatin1String("unrecognised")) {
            outcome = QStringLiteral("MISS");
            ++missed;
        } else if (said.section(QLatin1Char(' '), 0, 0) ==
                       c.answer.section(QLatin1Char(' '), 0, 0) &&
                   (c.answer.startsWith(QLatin1String("ir"))
                        ? c.answer.contains(said.mid(3)) || said.contains(c.answer.mid(3))
                        : rateRight)) {
            outcome = QStringLiteral("partly");
            ++partly;
        } else {
            outcome = QStringLiteral("WRONG");
            ++wrong;
        }
        if (said == QLatin1String("unrecognised") && c.answer == said)
            ++honest;
        std::printf("%-28s %-22s %-8s %s\n", qPrintable(c.name), qPrintable(c.truth),
                    qPrintable(outcome), qPrintable(d.title));
        QString column = said.startsWith(QLatin1String("ir ")) ? QStringLiteral("infrared") : said;
        if (column == QLatin1String("infrared") && said.contains(QLatin1Char('+')))
            column = QStringLiteral("infrared");
        if (!rows.contains(c.truth))
            rows << c.truth;
        ++table[c.truth][column];
        if (!dir.isEmpty()) {
            auto buffers = std::make_unique<TraceBuffers>();
            *buffers->trace(1) = c.buffer;
            QString why;
            capture_file::writeCaptureFile(dir + QLatin1Char('/') + c.name + QStringLiteral(".ird"),
                                           *buffers);
        }
    }
    std::printf("\n| holds \\ said |");
    for (const QString &col : columns)
        std::printf(" %s |", qPrintable(col));
    std::printf("\n|---|");
    for (qsizetype i = 0; i < columns.size(); ++i)
        std::printf("---|");
    std::printf("\n");
    for (const QString &row : rows) {
        std::printf("| %s |", qPrintable(row));
        for (const QString &col : columns) {
            const int n = table[row][col];
            std::printf(" %s |", n ? qPrintable(QString::number(n)) : "");
        }
        std::printf("\n");
    }
    std::printf("\n%d captures: %d right (%d of them honestly unrecognised), %d partly right, "
                "%d wrong claims, %d misses\n",
                right + partly + wrong + missed, right, honest, partly, wrong, missed);
    return 0;
}
