// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// A trial of the detection on captures it was not written against: serial
// lines at many rates with jitter, glitches, parity and rates off the
// standard ones; remote controls with a receiver's stretched marks, per-pulse
// timing error, slow clocks and two families on one trace; clocks, PWM,
// gated clocks and carriers near the sample limit; slow pulse trains, noise
// and Manchester. Then the faults real wires, receivers and people bring:
// every serial framing (5 to 9 data bits, parity, two stop bits), breaks,
// a slow coupler's short pulses, long idle, LIN; clocks with glitches and
// jitter, a carrier far past the sample limit; remotes held down (repeat
// codes only), repeated without a leader, with stray pulses, cut by the
// capture, a burst in five damaged, RC-6 in other modes. Each capture is
// described as wavemill-decode describes it, and the verdict (for a serial
// line, with its framing) set against what the capture holds. Prints one
// line a capture, then the confusion table (what it holds against what was
// said), the count of right answers, honest "unrecognised", partly right
// ones (the family or kind, not the framing or rate), wrong claims and
// misses, and the median and longest time one description took. With
// --write DIR, also writes each capture to DIR/NAME.ird (trace 1) for
// wavemill-decode itself.
//
// Usage: bench_decode_trial [--write DIR]

#include "detect/trace_detector.h"
#include "examples/example_signals.h"
#include "signals/infrared_codes.h"
#include "signals/lin_bus.h"
#include "signals/remote_session.h"
#include "signals/rough_square_wave.h"
#include "signals/serial_messages.h"
#include "signals/waveform.h"

#include "capture_file/capture_file_format.h"
#include "core/sample_period.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

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
using examples::TraceSketch;
using signals::IrPulses;

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

/// Serial frames of \a bytes as tools/signals draws them: start bit, 8 data
/// bits, optional parity, stop bit, with \a gapBits of idle after each frame.
Runs uartRuns(const QByteArray &bytes, double baud, char parity, double gapBits)
{
    signals::UartFraming framing;
    framing.parity = parity == 'E'   ? signals::UartFraming::Parity::Even
                     : parity == 'O' ? signals::UartFraming::Parity::Odd
                                     : signals::UartFraming::Parity::None;
    const signals::Waveform wave =
        signals::uartWaveform(0, bytes.toStdString(), baud, framing, gapBits);
    Runs runs;
    for (std::size_t i = 0; i < wave.changes.size(); ++i) {
        const double end = i + 1 < wave.changes.size() ? wave.changes[i + 1].atUs : wave.endUs;
        const double us = end - wave.changes[i].atUs;
        if (!runs.empty() && runs.back().first == wave.changes[i].high)
            runs.back().second += us; // a level held on is one run
        else
            runs.emplace_back(wave.changes[i].high, us);
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
        return repeat == 0 ? signals::necFrame(std::uint8_t(address), std::uint8_t(0x20 + press))
                           : signals::necRepeat();
    };
}

FrameMaker necExtended(std::uint16_t address)
{
    return [address](int press, int repeat) {
        if (repeat > 0)
            return signals::necRepeat();
        const auto command = std::uint8_t(0x40 + press);
        const std::uint32_t word =
            address | std::uint32_t(command) << 16 | std::uint32_t(std::uint8_t(~command)) << 24;
        std::vector<bool> bits;
        bits.reserve(32);
        for (int i = 0; i < 32; ++i)
            bits.push_back((word >> i) & 1u);
        return signals::pulseDistanceFrame(signals::kNec, bits);
    };
}

FrameMaker rc5(int address)
{
    return [address](int press, int) {
        return signals::rc5Frame(address, (7 + press) % 64, press % 2);
    };
}

FrameMaker rc6(int address)
{
    return [address](int press, int) {
        return signals::rc6Frame(address, (0x30 + press) % 256, press % 2);
    };
}

FrameMaker pulseDistance(const signals::PulseDistanceTiming &timing)
{
    return [&timing](int press, int) {
        return signals::pulseDistanceFrame(
            timing, signals::bitsMsbFirst(0x9E3779B9u * std::uint32_t(press + 3) >>
                                              (32 - std::min(32, timing.bits)),
                                          timing.bits));
    };
}

FrameMaker sirc(int bits)
{
    return [bits](int press, int) {
        return signals::pulseWidthFrame(
            signals::kSirc, signals::bitsMsbFirst(std::uint32_t(0x2A5 + 37 * press), bits));
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

/// One board capture of \a signal.
TraceBuffer captureOf(signals::Signal &&signal)
{
    TraceBuffer buffer{};
    const std::vector<std::uint8_t> bytes = signals::take(signal, buffer.size());
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    return buffer;
}

signals::SerialMessages::Options serialOptions(double baud, const char *framing,
                                               std::vector<std::string> messages)
{
    signals::SerialMessages::Options o;
    o.baud = baud;
    o.dataBits = framing[0] - '0';
    o.parity = framing[1];
    o.stopBits = framing[2] - '0';
    o.messages = std::move(messages);
    return o;
}

std::vector<std::string> meterReadings()
{
    return {"V=12.48 ok\r\n", "I=0.731 A\r\n", "T=23.9 C\r\n", "P=9.12 W\r\n"};
}

std::vector<std::string> fiveBitCharacters()
{
    std::string all;
    for (int c = 0; c < 32; ++c)
        all.push_back(char((c * 11) % 32));
    return {all, all.substr(5, 9)};
}

signals::RemoteSession::Options presses(const std::vector<IrPulses> &frames, double firstUs,
                                        double everyUs, int count)
{
    signals::RemoteSession::Options o;
    for (int n = 0; n < count; ++n)
        o.bursts.push_back({firstUs + n * everyUs, frames[std::size_t(n) % frames.size()]});
    return o;
}

/// The shapes real wires, receivers and people give signals: every serial
/// framing, breaks, couplers, LIN; glitches, jitter and aliases on clocks;
/// remotes held down, repeated without leaders, noisy, cut and damaged.
void addFaultCases(std::vector<Case> &cases, std::uint32_t seed)
{
    const auto add = [&](const char *name, const char *truth, const QString &answer, double value,
                         const TraceBuffer &buffer) {
        cases.push_back(
            {QString::fromLatin1(name), QString::fromLatin1(truth), answer, value, buffer});
    };
    using signals::SerialMessages;
    const std::vector<std::pair<double, const char *>> framings{
        {1200, "5N1"}, {2400, "6E1"},  {9600, "7N1"}, {2400, "7E1"}, {4800, "7O1"},
        {4800, "8N2"}, {19200, "7E1"}, {600, "8O1"},  {9600, "9N1"}};
    for (const auto &[rate, framing] : framings) {
        const bool fiveBits = framing[0] == '5' || framing[0] == '6';
        const QString name = QStringLiteral("uart-%1-%2").arg(rate).arg(QLatin1String(framing));
        cases.push_back({name, QStringLiteral("uart framings"),
                         QStringLiteral("uart ") + QLatin1String(framing), rate,
                         captureOf(SerialMessages(serialOptions(
                             rate, framing, fiveBits ? fiveBitCharacters() : meterReadings())))});
    }
    SerialMessages::Options breaks = serialOptions(9600, "8N1", meterReadings());
    breaks.breakUs = 15000;
    breaks.markAfterBreakUs = 400;
    add("uart-9600-break-15ms", "uart faults", "uart 8N1", 9600, captureOf(SerialMessages(breaks)));
    for (const double cut : {20.0, 40.0}) {
        SerialMessages::Options coupler = serialOptions(9600, "8N1", meterReadings());
        coupler.activeCutUs = cut;
        add(cut < 30 ? "uart-9600-lows-20us-short" : "uart-9600-lows-40us-short", "uart faults",
            "uart 8N1", 9600, captureOf(SerialMessages(coupler)));
    }
    SerialMessages::Options idle = serialOptions(19200, "8N1", meterReadings());
    idle.pauseUs = 50000;
    add("uart-19200-idle-50ms", "uart faults", "uart 8N1", 19200, captureOf(SerialMessages(idle)));
    // Text back to back through the whole capture after 50 ms of idle.
    std::string stream;
    while (stream.size() < 21000)
        stream += meterReadings()[stream.size() % 4];
    SerialMessages::Options streaming = serialOptions(19200, "8N1", {stream});
    streaming.pauseUs = 50000;
    add("uart-19200-idle-50ms-then-text", "uart faults", "uart 8N1", 19200,
        captureOf(SerialMessages(streaming)));
    SerialMessages::Options everyByte = serialOptions(9600, "8N1", {"a", "b", "c"});
    everyByte.breakUs = 3000;
    everyByte.markAfterBreakUs = 300;
    add("uart-break-every-byte", "no protocol", "unrecognised", 0,
        captureOf(SerialMessages(everyByte)));

    using signals::LinBus;
    LinBus::Options lin;
    lin.frames = {{0x10, {0x01, 0x02, 0x03, 0x04}}, {0x22, {}}, {0x3C, {0xAA, 0x55}}};
    add("lin-19200", "LIN", "lin", 19200, captureOf(LinBus(lin)));
    lin.baud = 9600;
    lin.enhanced = false;
    lin.everyUs = 120000;
    lin.frames = {{0x05, {0x80, 0x7F}}, {0x06, {0x11}}};
    add("lin-9600-classic", "LIN", "lin", 9600, captureOf(LinBus(lin)));

    using signals::RoughSquareWave;
    add("clock-10hz-8-glitches", "periodic faults", "periodic", 10,
        captureOf(RoughSquareWave({10, 0.5, 0, 8, kSampleUs, 10.2e6, ++seed})));
    add("clock-1500hz-jitter1", "periodic faults", "periodic", 1500,
        captureOf(RoughSquareWave({1500, 0.5, kSampleUs, 0, 0, 10.2e6, ++seed})));
    add("pwm-300hz-20-jitter1", "periodic faults", "periodic", 300,
        captureOf(RoughSquareWave({300, 0.2, kSampleUs, 4, kSampleUs, 10.2e6, ++seed})));
    add("pwm-62500hz", "near the sample limit", "periodic alias", 0,
        captureOf(RoughSquareWave({62500, 0.5})));

    using signals::RemoteSession;
    const IrPulses repeat = signals::necRepeat();
    add("nec-held-repeats-only", "NEC", "ir NEC", 0,
        captureOf(RemoteSession(presses({repeat}, 30000, signals::kNecRepeatUs, 90))));
    RemoteSession::Options stretched = presses({repeat}, 30000, signals::kNecRepeatUs, 90);
    stretched.markStretchUs = 110;
    add("nec-held-repeats-stretched", "NEC", "ir NEC", 0, captureOf(RemoteSession(stretched)));
    RemoteSession::Options strays =
        presses({signals::necFrame(0x12, 0x34), repeat}, 20000, signals::kNecRepeatUs, 90);
    strays.strayPulses = 400;
    strays.seed = ++seed;
    add("nec-stray-pulses", "NEC", "ir NEC", 0, captureOf(RemoteSession(strays)));
    const IrPulses jvc =
        signals::pulseDistanceFrame(signals::kJvc, signals::bitsMsbFirst(0xA5C3, 16));
    const IrPulses jvcAgain = RemoteSession::withoutLeader(jvc);
    add("jvc-leaderless-repeats", "other remote", "ir JVC", 0,
        captureOf(RemoteSession(presses({jvc, jvcAgain, jvcAgain, jvcAgain}, 20000, 55000, 160))));
    const IrPulses sirc =
        signals::pulseWidthFrame(signals::kSirc, signals::bitsMsbFirst(0x5A3, 12));
    RemoteSession::Options cut = presses({sirc}, 500, 0, 1);
    cut.bursts.push_back({TraceSketch::length() - 20000, sirc});
    add("sirc-cut-close-both-ends", "other remote", "ir SIRC", 0, captureOf(RemoteSession(cut)));
    std::vector<IrPulses> rc5s;
    rc5s.reserve(5);
    for (int n = 0; n < 5; ++n)
        rc5s.push_back(signals::rc5Frame(9, 30 + n, n % 2 == 1));
    rc5s[2][6].us += 420; // a half-bit out of every window
    add("rc5-one-in-five-damaged", "RC-5", "ir RC-5", 0,
        captureOf(RemoteSession(presses(rc5s, 20000, signals::kRc5RepeatUs, 85))));
    const IrPulses rc6a =
        RemoteSession::rc6ModeFrame(6, signals::bitsMsbFirst(0x800F0416, 32), false);
    add("rc6-mode6-32bits", "RC-6", "ir RC-6", 0,
        captureOf(RemoteSession(presses({rc6a}, 20000, signals::kRc6RepeatUs, 90))));
    const IrPulses rc6m3 = RemoteSession::rc6ModeFrame(3, signals::bitsMsbFirst(0xC3A5, 16), true);
    add("rc6-mode3-16bits", "RC-6", "ir RC-6", 0,
        captureOf(RemoteSession(presses({rc6m3}, 20000, signals::kRc6RepeatUs, 90))));
    RemoteSession::Options noise;
    noise.strayPulses = 2000;
    noise.seed = ++seed;
    add("stray-pulses-alone", "noise", "unrecognised", 0, captureOf(RemoteSession(noise)));
}

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
        add(QStringLiteral("uart-%1").arg(rate), "uart", "uart 8N1", rate,
            uartCapture(rate, ++seed, {}, false, false, 0));
    for (const double rate : {1200.0, 2400.0, 4800.0, 9600.0})
        add(QStringLiteral("uart-%1-jitter1").arg(rate), "uart", "uart 8N1", rate,
            uartCapture(rate, ++seed, {1.0, 0, seed}, false, false, 0));
    for (const double rate : {2400.0, 9600.0})
        add(QStringLiteral("uart-%1-random-inverted").arg(rate), "uart", "uart 8N1", rate,
            uartCapture(rate, ++seed, {}, true, true, 0));
    for (const double rate : {1200.0, 9600.0})
        add(QStringLiteral("uart-%1-glitches").arg(rate), "uart", "uart 8N1", rate,
            uartCapture(rate, ++seed, {0, 20, seed}, false, false, 0));
    add("uart-9600-even-parity", "uart", "uart 8E1", 9600,
        uartCapture(9600, ++seed, {}, false, true, 'E'));
    add("uart-4800-odd-parity", "uart", "uart 8O1", 4800,
        uartCapture(4800, ++seed, {}, false, true, 'O'));
    add("uart-9888-off-rate", "uart", "uart 8N1", 9888,
        uartCapture(9888, ++seed, {}, false, false, 0));
    add("uart-3300-nonstandard", "uart", "uart 8N1", 3300,
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
        remoteCapture({pulseDistance(signals::kSamsung)}, 200000, 0, 1, receiver, ++seed, false));
    add("jvc", "other remote", "ir JVC", 0,
        remoteCapture({pulseDistance(signals::kJvc)}, 150000, 0, 1, clean, ++seed, false));
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
    // Cycles of 4 samples or less (a quarter of the sample rate, as 14 kHz
    // is, or 36 kHz folds to) are too fast to read: no duty, no protocol.
    add("clock-14khz", "near the sample limit", "too_fast", 0, squareCapture(14000, 0.5, 0, 0));
    add("carrier-36khz", "near the sample limit", "too_fast", 0, squareCapture(36000, 0.5, 0, 0));
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
    add("carrier-30khz-gated-60-90ms", "gated", "too_fast", 0,
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
    add("random-bytes", "noise", "too_fast", 0, randomBytesCapture(++seed));
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
    addFaultCases(cases, seed);
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
    if (d.kind == QLatin1String("uart"))
        return QStringLiteral("uart ") + d.fields.value(QStringLiteral("frame")).toString();
    return d.kind;
}

double valueOf(const detect::TraceDescription &d)
{
    const bool line = d.fields.contains(QLatin1String("bit_rate"));
    return d.fields.value(QLatin1String(line ? "bit_rate" : "frequency_hz")).toDouble();
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

    // Kinds the detection names beyond these get a column of their own.
    QStringList columns{"uart",           "lin",  "infrared",    "periodic", "periodic bursts",
                        "periodic alias", "flat", "unrecognised"};
    std::map<QString, std::map<QString, int>> table;
    QStringList rows;
    int right = 0, honest = 0, wrong = 0, missed = 0, partly = 0;
    std::vector<double> times; // ms a description took
    for (const Case &c : trialCases()) {
        QElapsedTimer clock;
        clock.start();
        const detect::TraceDescription d = detect::describeTrace(c.buffer);
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
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
        std::printf("%-28s %-22s %-8s %7.1f ms  %s\n", qPrintable(c.name), qPrintable(c.truth),
                    qPrintable(outcome), times.back(), qPrintable(d.title));
        QString column = said.startsWith(QLatin1String("ir "))     ? QStringLiteral("infrared")
                         : said.startsWith(QLatin1String("uart ")) ? QStringLiteral("uart")
                                                                   : said;
        if (!columns.contains(column))
            columns.insert(columns.size() - 1, column);
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
    std::sort(times.begin(), times.end());
    std::printf("detection of one trace: median %.1f ms, longest %.1f ms\n",
                times[times.size() / 2], times.back());
    return 0;
}
