// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "examples/example_signals.h"

#include "core/sample_period.h"
#include "core/samples.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace wavemill::examples {

namespace {

/// The board's sampling period, as the program holds it.
constexpr double kPeriodUs = double(kSamplePeriod);
/// Serial speed of the text on trace 1.
constexpr double kBaud = 9600.0;
constexpr double kMicrosecondsPerSecond = 1e6;

/// Sends \a line every \a everyUs from \a firstUs for as long as a whole line
/// fits in the capture; returns everything sent.
QByteArray repeatLine(TraceSketch &trace, double firstUs, double everyUs,
                      const std::function<QByteArray(int)> &line)
{
    QByteArray sent;
    const double bitUs = kMicrosecondsPerSecond / kBaud;
    for (int n = 0;; ++n) {
        const QByteArray text = line(n);
        const double start = firstUs + n * everyUs;
        // Ten bits a frame; a line cut off at the end would not decode whole.
        if (start + double(text.size()) * 10 * bitUs >= TraceSketch::length())
            break;
        trace.draw(signals::uartWaveform(start, text.toStdString(), kBaud));
        sent += text;
    }
    return sent;
}

Example makeUartHello()
{
    Example e{QStringLiteral("uart-hello.ird"), kBaud, {}, std::make_unique<TraceBuffers>()};
    TraceSketch text(true);
    e.uartText = repeatLine(text, 2000, 250000,
                            [](int) { return QByteArrayLiteral("Hello, Wavemill!\r\n"); });

    TraceSketch pwm(false);
    pwm.draw(signals::pwmWaveform(0, TraceSketch::length(), 1000, 0.25)); // 1 kHz, 25 %

    // A burst of eight bytes at 2 kbit/s every 100 ms.
    TraceSketch bursts(false);
    for (int n = 0; n * 100000.0 < TraceSketch::length(); ++n)
        addManchester(bursts, 5000 + n * 100000.0, 500, pseudoRandomBytes(8, std::uint16_t(n + 1)));

    *e.traces->trace(1) = text.packed();
    *e.traces->trace(2) = pwm.packed();
    *e.traces->trace(3) = bursts.packed();
    return e;
}

Example makePwm()
{
    Example e{QStringLiteral("pwm.ird"), kBaud, {}, std::make_unique<TraceBuffers>()};
    // A 500 Hz PWM whose duty steps every second; trace 1 announces each step.
    const auto dutyPercent = [](int second) { return 10 * (second % 9 + 1); };
    TraceSketch text(true);
    e.uartText = repeatLine(text, 1000, 1000000, [&](int second) {
        return QStringLiteral("duty %1%\r\n").arg(dutyPercent(second)).toLatin1();
    });

    TraceSketch pwm(false);
    for (int second = 0; second * kMicrosecondsPerSecond < TraceSketch::length(); ++second)
        pwm.draw(signals::pwmWaveform(second * kMicrosecondsPerSecond,
                                      (second + 1) * kMicrosecondsPerSecond, 2000,
                                      dutyPercent(second) / 100.0));

    // Servo pulses at 50 Hz sweeping from 1 ms to 2 ms across the capture.
    TraceSketch servo(false);
    constexpr double kServoPeriodUs = 20000;
    for (int pulse = 0; pulse * kServoPeriodUs < TraceSketch::length(); ++pulse) {
        const double t = pulse * kServoPeriodUs;
        const double width = 1000 + 1000 * t / TraceSketch::length();
        servo.set(t, t + width, true);
    }

    *e.traces->trace(1) = text.packed();
    *e.traces->trace(2) = pwm.packed();
    *e.traces->trace(3) = servo.packed();
    return e;
}

Example makeMixed()
{
    Example e{QStringLiteral("mixed.ird"), kBaud, {}, std::make_unique<TraceBuffers>()};
    TraceSketch text(true);
    e.uartText = repeatLine(text, 500, 50000, [](int n) {
        return QStringLiteral("count %1\r\n").arg(n, 4, 10, QLatin1Char('0')).toLatin1();
    });

    TraceSketch pwm(false);
    pwm.draw(signals::pwmWaveform(0, TraceSketch::length(), 500, 0.75)); // 2 kHz, 75 %

    // An unbroken Manchester stream at 1 kbit/s.
    TraceSketch stream(false);
    const int bytes = int(TraceSketch::length() / (8 * 1000.0));
    addManchester(stream, 0, 1000, pseudoRandomBytes(bytes, 0xACE1));

    *e.traces->trace(1) = text.packed();
    *e.traces->trace(2) = pwm.packed();
    *e.traces->trace(3) = stream.packed();
    return e;
}

Example makeInfrared()
{
    Example e{QStringLiteral("infrared.ird"), 0, {}, std::make_unique<TraceBuffers>()};
    // Three remote controls side by side, a different button every 400 ms,
    // each code sent with its repeat as when a button is held a moment.
    TraceSketch nec(true);
    TraceSketch rc5(true);
    TraceSketch rc6(true);
    constexpr double kFirstUs = 20000;
    constexpr double kPressUs = 400000;
    constexpr double kLongestPressUs = 200000; // a code and its repeat, and room after
    for (int press = 0; kFirstUs + press * kPressUs + kLongestPressUs < TraceSketch::length();
         ++press) {
        const double at = kFirstUs + press * kPressUs;
        const bool toggle = press % 2 == 1; // flips with each new press
        nec.draw(signals::infraredWaveform(at, signals::necFrame(0x04, std::uint8_t(0x10 + press))));
        nec.draw(signals::infraredWaveform(at + signals::kNecRepeatUs, signals::necRepeat()));
        for (const double repeat : {0.0, signals::kRc5RepeatUs})
            rc5.draw(signals::infraredWaveform(at + repeat, signals::rc5Frame(5, 32 + press, toggle)));
        for (const double repeat : {0.0, signals::kRc6RepeatUs})
            rc6.draw(signals::infraredWaveform(at + repeat, signals::rc6Frame(0x1A, 0x40 + press, toggle)));
    }
    *e.traces->trace(1) = nec.packed();
    *e.traces->trace(2) = rc5.packed();
    *e.traces->trace(3) = rc6.packed();
    return e;
}

} // namespace

TraceSketch::TraceSketch(bool idleLevel) : m_levels(kSampleCount, idleLevel) {}

void TraceSketch::set(double fromUs, double toUs, bool level)
{
    const auto first = std::clamp(std::ceil(fromUs / kPeriodUs), 0.0, double(kSampleCount));
    const auto end = std::clamp(std::ceil(toUs / kPeriodUs), 0.0, double(kSampleCount));
    std::fill(m_levels.begin() + int(first), m_levels.begin() + std::max(int(first), int(end)),
              level);
}

void TraceSketch::draw(const signals::Waveform &wave)
{
    for (std::size_t i = 0; i < wave.changes.size(); ++i) {
        const double to = i + 1 < wave.changes.size() ? wave.changes[i + 1].atUs : wave.endUs;
        set(wave.changes[i].atUs, to, wave.changes[i].high);
    }
}

TraceBuffer TraceSketch::packed() const
{
    TraceBuffer buffer{};
    for (int s = 0; s < kSampleCount; ++s) {
        if (m_levels[s])
            buffer[s / kSamplesPerByte] |= sampleBit(s % kSamplesPerByte);
    }
    return buffer;
}

double TraceSketch::sampleTime(int index)
{
    return index * kPeriodUs;
}

double TraceSketch::length()
{
    return sampleTime(kSampleCount);
}

double addUart(TraceSketch &trace, double fromUs, double baud, const QByteArray &text)
{
    const signals::Waveform wave = signals::uartWaveform(fromUs, text.toStdString(), baud);
    trace.draw(wave);
    return wave.endUs;
}

void addPwm(TraceSketch &trace, double fromUs, double toUs, double periodUs, double duty)
{
    trace.draw(signals::pwmWaveform(fromUs, toUs, periodUs, duty));
}

double addInfrared(TraceSketch &trace, double fromUs, const signals::IrPulses &pulses)
{
    const signals::Waveform wave = signals::infraredWaveform(fromUs, pulses);
    trace.draw(wave);
    return wave.endUs;
}

double addManchester(TraceSketch &trace, double fromUs, double bitUs, const QByteArray &bytes)
{
    double t = fromUs;
    for (const char c : bytes) {
        for (int bit = 7; bit >= 0; --bit, t += bitUs) {
            const bool one = (std::uint8_t(c) >> bit) & 1;
            trace.set(t, t + bitUs / 2, !one);
            trace.set(t + bitUs / 2, t + bitUs, one);
        }
    }
    trace.set(t, t + bitUs, false); // back to idle
    return t;
}

QByteArray pseudoRandomBytes(int count, std::uint16_t seed)
{
    constexpr std::uint16_t kTaps = 0xB400; // x^16 + x^14 + x^13 + x^11 + 1
    std::uint16_t lfsr = seed ? seed : 1;
    QByteArray bytes;
    bytes.reserve(count);
    for (int n = 0; n < count; ++n) {
        std::uint8_t byte = 0;
        for (int bit = 0; bit < 8; ++bit) {
            const bool out = lfsr & 1;
            lfsr >>= 1;
            if (out)
                lfsr ^= kTaps;
            byte = std::uint8_t((byte << 1) | out);
        }
        bytes.append(char(byte));
    }
    return bytes;
}

std::vector<Example> makeExamples()
{
    std::vector<Example> examples;
    examples.push_back(makeUartHello());
    examples.push_back(makePwm());
    examples.push_back(makeMixed());
    examples.push_back(makeInfrared());
    return examples;
}

} // namespace wavemill::examples
