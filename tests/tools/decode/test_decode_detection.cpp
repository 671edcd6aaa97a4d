// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// What wavemill-decode tells of a trace without being told: the board's
// signals, remote control families from their timings, the edges of each
// family's timing windows, signals that are no protocol, and the sample
// captures. Each row logs what was detected, as one line of the table of
// signal kind against detection.

#include "detect/lin_frames.h"
#include "detect/measure_text.h"
#include "detect/trace_detector.h"
#include "examples/example_signals.h"
#include "signals/infrared_codes.h"
#include "signals/lin_bus.h"
#include "signals/remote_session.h"
#include "signals/rough_square_wave.h"
#include "signals/serial_messages.h"
#include "tools/decode/decode_test_signals.h"
#include "tools/decode/recording_train.h"
#include "tools/decode/family_captures.h"
#include "signals/cec_signal.h"
#include "signals/dcf77_signal.h"
#include "signals/ev1527_signal.h"
#include "signals/echo_signal.h"
#include "signals/em4100_signal.h"
#include "signals/lighting_bus_signal.h"
#include "signals/morse_signal.h"
#include "signals/one_wire_signal.h"
#include "signals/oregon_signal.h"
#include "signals/ppm_signal.h"
#include "signals/serial_frames_signal.h"
#include "signals/servo_signal.h"
#include "signals/pt2262_signal.h"
#include "signals/qi_signal.h"

#include "capture_file/capture_file_format.h"
#include "support/program_run.h"
#include "core/sample_period.h"
#include "core/samples.h"

#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <string>

using namespace wavemill;
using namespace wavemill::signals;
using namespace wavemill::detect;
using namespace wavemill::testing;

namespace {

QByteArray bytesOf(const TraceBuffer &buffer)
{
    return QByteArray(reinterpret_cast<const char *>(buffer.data()), qsizetype(buffer.size()));
}

QByteArray boardCapture(const QString &name)
{
    auto signal = boardSignal(name);
    return signal ? bytesOf(captureOf(*signal)) : QByteArray();
}

/// A remote's frame, every pulse stretched by \a scale, sent every 110 ms.
QByteArray remoteCapture(IrPulses frame, double scale = 1.0)
{
    constexpr double kFirstUs = 20000;
    constexpr double kEveryUs = 110000;
    for (IrPulse &pulse : frame)
        pulse.us *= scale;
    examples::TraceSketch sketch(true);
    for (double t = kFirstUs; t + kEveryUs < examples::TraceSketch::length(); t += kEveryUs)
        examples::addInfrared(sketch, t, frame);
    return bytesOf(sketch.packed());
}

/// Frames of random bytes every 20 ms, 8N1 or with an even or odd parity bit
/// ('E', 'O'), each edge moved at random by up to \a jitter samples.
QByteArray serialCapture(double baud, char parity, double jitter, std::uint32_t seed)
{
    std::mt19937 engine(seed);
    const auto moved = [&](double us) {
        return us + (double(engine()) / 4294967296.0 * 2 - 1) * jitter * kSamplePeriodUs;
    };
    const double bitUs = 1e6 / baud;
    examples::TraceSketch sketch(true);
    for (double t = 1000; t + 200 * bitUs < examples::TraceSketch::length(); t += 20000) {
        double edge = moved(t);
        for (int n = 0; n < 16; ++n) {
            const unsigned byte = engine() & 0xFF;
            std::vector<bool> bits{false};
            for (int k = 0; k < 8; ++k)
                bits.push_back((byte >> k) & 1);
            if (parity != 'N')
                bits.push_back((__builtin_popcount(byte) + (parity == 'O')) % 2 == 1);
            bits.push_back(true);
            for (const bool bit : bits) {
                const double next = moved(t += bitUs);
                sketch.set(edge, next, bit);
                edge = next;
            }
        }
    }
    return bytesOf(sketch.packed());
}

/// Frames of two remotes in turn every 110 ms, each mark held \a stretchUs
/// longer and each space as much shorter, as a receiver may give them.
QByteArray remotesCapture(const IrPulses &first, const IrPulses &second, double stretchUs)
{
    examples::TraceSketch sketch(true);
    int n = 0;
    for (double t = 20000; t + 110000 < examples::TraceSketch::length(); t += 110000, ++n) {
        IrPulses frame = n % 2 == 0 ? first : second;
        for (IrPulse &pulse : frame)
            pulse.us += pulse.mark ? stretchUs : -stretchUs;
        examples::addInfrared(sketch, t, frame);
    }
    return bytesOf(sketch.packed());
}

/// Pulses at \a active level, their spacings and widths (µs) taken in turn.
QByteArray pulsesCapture(const std::vector<double> &spacings, const std::vector<double> &widths,
                         bool active)
{
    examples::TraceSketch sketch(!active);
    double t = 50000;
    for (std::size_t n = 0; t < examples::TraceSketch::length(); ++n) {
        sketch.set(t, t + widths[n % widths.size()], active);
        t += spacings[n % spacings.size()];
    }
    return bytesOf(sketch.packed());
}

/// A square wave of \a hz and \a duty on for \a onUs, off for \a offUs, in turn.
QByteArray gatedCapture(double hz, double duty, double onUs, double offUs)
{
    examples::TraceSketch sketch(false);
    for (int n = 0; n * (onUs + offUs) < examples::TraceSketch::length(); ++n)
        examples::addPwm(sketch, n * (onUs + offUs), n * (onUs + offUs) + onUs, 1e6 / hz, duty);
    return bytesOf(sketch.packed());
}

/// Pulses of random widths, 1 to 300 samples, at alternating levels.
QByteArray noiseCapture(std::uint32_t seed)
{
    std::mt19937 engine(seed);
    TraceBuffer buffer{};
    bool level = true;
    int left = 0;
    for (int s = 0; s < kCaptureLength * kSamplesPerByte; ++s) {
        if (left-- == 0) {
            level = !level;
            left = int(engine() % 300);
        }
        if (level)
            buffer[std::size_t(s / kSamplesPerByte)] |= sampleBit(s % kSamplesPerByte);
    }
    return bytesOf(buffer);
}

/// What a description says, in a few words a table can hold.
QString signature(const TraceDescription &d)
{
    const auto field = [&](const char *name) { return d.fields.value(QLatin1String(name)); };
    const QString idle = QLatin1String(field("idle_high").toBool() ? "idle high" : "idle low");
    if (d.kind == QLatin1String("flat"))
        return field("high").toBool() ? QStringLiteral("flat high") : QStringLiteral("flat low");
    if (d.kind == QLatin1String("periodic")) {
        // In bursts, and perhaps an alias: said after what the signal is.
        const QString notes =
            QLatin1String(d.title.contains(QLatin1String("in bursts")) ? " in bursts" : "") +
            QLatin1String(d.evidence.join(' ').contains(QLatin1String("alias")) ? " (alias?)" : "");
        if (d.title.contains(QLatin1String(" from ")))
            return QStringLiteral("periodic PWM varying") + notes;
        return QStringLiteral("periodic %1 %2 %")
                   .arg(d.title.contains(QLatin1String("clock")) ? QStringLiteral("clock")
                                                                 : QStringLiteral("PWM"))
                   .arg(std::lround(field("duty").toDouble() * 100)) +
               notes;
    }
    if (d.kind == QLatin1String("uart"))
        return QStringLiteral("uart %1 %2").arg(idle, field("frame").toString());
    if (d.kind == QLatin1String("infrared"))
        return QStringLiteral("infrared %1, %2, %3")
            .arg(field("family").toString(), idle,
                 d.decoders.isEmpty() ? QStringLiteral("no decoder") : d.decoders.front().id);
    return d.kind;
}

/// The bit rate of a UART or LIN bus, the frequency of a periodic signal.
double number(const TraceDescription &d)
{
    const char *key = d.fields.contains(QLatin1String("bit_rate")) ? "bit_rate" : "frequency_hz";
    return d.fields.value(QLatin1String(key)).toDouble();
}

void checkDescription(const QByteArray &capture, const QString &expected, double value)
{
    QCOMPARE(capture.size(), qsizetype(kTraceBufferSize));
    TraceBuffer buffer{};
    std::copy(capture.begin(), capture.end(), buffer.begin());
    const TraceDescription d = describeTrace(buffer);
    qInfo("%s -> %s", QTest::currentDataTag(), qPrintable(d.title));
    if (qEnvironmentVariableIsSet("WAVEMILL_SHOW_DESCRIPTIONS"))
        qInfo("%s", qPrintable(d.evidence.join('\n')));
    // "!x": anything but x.
    const bool match = expected.startsWith(QLatin1Char('!')) ? signature(d) != expected.mid(1)
                                                             : signature(d) == expected;
    QVERIFY2(match, qPrintable(signature(d) + QStringLiteral("\n") + d.evidence.join('\n')));
    if (d.kind != QLatin1String("unrecognised"))
        QVERIFY(d.confidence >= kConfidenceThreshold);
    if (value > 0)
        QVERIFY2(std::fabs(number(d) / value - 1) < 0.01, qPrintable(QString::number(number(d))));
}

} // namespace

class TestDecodeDetection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void namesWhatTheTraceCarries_data();
    void namesWhatTheTraceCarries();
    void namesNewSignalShapes_data();
    void namesNewSignalShapes();
    void describesEverySampleCapture_data();
    void describesEverySampleCapture();
    void namesSlowFamilies_data();
    void namesSlowFamilies();
    void decodesSlowFamiliesAsTheProgram_data();
    void decodesSlowFamiliesAsTheProgram();
    void readsThroughRealWorldFaults_data();
    void readsThroughRealWorldFaults();
    void setsItsReadingAgainstSigroks_data();
    void setsItsReadingAgainstSigroks();
    void printsSharesOnTheirSideOfTheThreshold_data();
    void printsSharesOnTheirSideOfTheThreshold();
    void readsLinFramesWithTheirChecks_data();
    void readsLinFramesWithTheirChecks();
};

void TestDecodeDetection::namesWhatTheTraceCarries_data()
{
    QTest::addColumn<QByteArray>("capture");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<double>("value"); // bit rate or frequency; 0: not checked

    // Serial text at standard rates down to 2.6 samples a bit, inverted, and
    // at a rate 25 % from any standard one, which is measured, not snapped.
    for (const int rate : {1200, 4800, 9600, 19200})
        QTest::addRow("uart %d", rate) << boardCapture(QStringLiteral("uart %1").arg(rate))
                                       << "uart idle high 8N1" << double(rate);
    QTest::newRow("uart 14400 repeated, inverted")
        << boardCapture("uart 14400 repeated inverted") << "uart idle low 8N1" << 14400.0;
    QTest::newRow("uart 6000") << boardCapture("uart 6000") << "uart idle high 8N1" << 6000.0;

    QTest::newRow("nec") << boardCapture("nec 0x04 0x08") << "infrared NEC, idle high, ir_nec"
                         << 0.0;
    QTest::newRow("nec inverted") << boardCapture("nec 0x01 0xFE inverted")
                                  << "infrared NEC, idle low, ir_nec" << 0.0;
    QTest::newRow("rc5") << boardCapture("rc5 3 9") << "infrared RC-5, idle high, ir_rc5" << 0.0;
    QTest::newRow("rc6") << boardCapture("rc6 200 100") << "infrared RC-6, idle high, ir_rc6"
                         << 0.0;

    QTest::newRow("pwm 10 %") << boardCapture("square 1000 0.1") << "periodic PWM 10 %" << 1000.0;
    QTest::newRow("pwm 25 %") << boardCapture("square 1000 0.25") << "periodic PWM 25 %" << 1000.0;
    QTest::newRow("pwm 75 %") << boardCapture("square 2000 0.75") << "periodic PWM 75 %" << 2000.0;
    QTest::newRow("square wave") << boardCapture("square 1000 0.5") << "periodic clock 50 %"
                                 << 1000.0;
    QTest::newRow("slow square wave")
        << boardCapture("square 40 0.5") << "periodic clock 50 %" << 40.0;

    // No protocol at all.
    // Every sample drawn at random: the level changes faster than the board samples.
    QTest::newRow("random data") << boardCapture("random 3") << "too_fast" << 0.0;
    QTest::newRow("noise") << noiseCapture(5) << "unrecognised" << 0.0;
    QTest::newRow("flat high") << QByteArray(kTraceBufferSize, '\xff') << "flat high" << 0.0;
    QTest::newRow("flat low") << QByteArray(kTraceBufferSize, '\0') << "flat low" << 0.0;

    // Families sigrok has no decoder for, told apart by their leaders.
    std::vector<bool> bits = bitsMsbFirst(0xA5C3F00F, 32);
    const std::vector<bool> more = bitsMsbFirst(0x5AA5, 16);
    bits.insert(bits.end(), more.begin(), more.end());
    const auto first = [&](int n) { return std::vector<bool>(bits.begin(), bits.begin() + n); };
    QTest::newRow("samsung") << remoteCapture(pulseDistanceFrame(kSamsung, first(32)))
                             << "infrared Samsung, idle high, no decoder" << 0.0;
    QTest::newRow("jvc") << remoteCapture(pulseDistanceFrame(kJvc, first(16)))
                         << "infrared JVC, idle high, no decoder" << 0.0;
    QTest::newRow("kaseikyo") << remoteCapture(pulseDistanceFrame(kKaseikyo, first(48)))
                              << "infrared Kaseikyo, idle high, no decoder" << 0.0;
    QTest::newRow("sirc") << remoteCapture(pulseWidthFrame(kSirc, first(12)))
                          << "infrared SIRC, idle high, no decoder" << 0.0;

    // Timing windows: a remote a little fast or slow is still itself; one
    // beyond its windows is not. An RC-6 code stretched out of its windows
    // is also valid serial frames (1800 bit/s 8N1 every time, its leader
    // giving the long pulses characters have), so for it only the family is
    // ruled out.
    const IrPulses nec = necFrame(0x10, 0x20);
    QTest::newRow("nec 7 % slow") << remoteCapture(nec, 1.07) << "infrared NEC, idle high, ir_nec"
                                  << 0.0;
    QTest::newRow("nec 7 % fast") << remoteCapture(nec, 0.93) << "infrared NEC, idle high, ir_nec"
                                  << 0.0;
    IrPulses longLeader = nec;
    longLeader[0].us = 10500; // 17 % over NEC's 9 ms, and no other family's
    QTest::newRow("nec leader 10.5 ms") << remoteCapture(longLeader) << "unrecognised" << 0.0;
    IrPulses badBits = nec;
    for (std::size_t i = 3; i < badBits.size(); i += 2)
        badBits[i].us *= 1.45; // the spaces of 0 and 1 bits both out of their windows
    QTest::newRow("nec spaces 45 % long") << remoteCapture(badBits) << "unrecognised" << 0.0;
    const IrPulses rc5 = rc5Frame(7, 40, false);
    QTest::newRow("rc5 10 % slow")
        << remoteCapture(rc5, 1.10) << "infrared RC-5, idle high, ir_rc5" << 0.0;
    // Bi-phase halves of one and two units, and no longer pulses, are no
    // serial characters either.
    QTest::newRow("rc5 half-bit 700 us")
        << remoteCapture(rc5, 700 / kRc5HalfBitUs) << "unrecognised" << 0.0;
    const IrPulses rc6 = rc6Frame(0x33, 0x44, true);
    // Manchester at an RFID tag's 1953 bit/s that is no tag: a square wave
    // of half-bits alone, and RC-5's 14-bit frames at its half-bit.
    QTest::newRow("square wave at 1953 Hz")
        << boardCapture("square 1953 0.5") << "periodic clock 50 %" << 1953.0;
    QTest::newRow("rc5 half-bit 256 us")
        << remoteCapture(rc5, 256 / kRc5HalfBitUs) << "!rfid" << 0.0;
    QTest::newRow("rc6 8 % fast") << remoteCapture(rc6, 0.92) << "infrared RC-6, idle high, ir_rc6"
                                  << 0.0;
    QTest::newRow("rc6 unit 25 % long")
        << remoteCapture(rc6, 1.25) << "!infrared RC-6, idle high, ir_rc6" << 0.0;
}

void TestDecodeDetection::namesWhatTheTraceCarries()
{
    QFETCH(QByteArray, capture);
    QFETCH(QString, expected);
    QFETCH(double, value);
    checkDescription(capture, expected, value);
}

void TestDecodeDetection::namesNewSignalShapes_data()
{
    QTest::addColumn<QByteArray>("capture");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<double>("value");

    QTest::newRow("serial 9600 8N1, edges a sample astray")
        << serialCapture(9600, 'N', 1, 1) << "uart idle high 8N1" << 9600.0;
    QTest::newRow("serial 1200 8O1")
        << serialCapture(1200, 'O', 0, 2) << "uart idle high 8O1" << 1200.0;
    QTest::newRow("serial 19200 8E1")
        << serialCapture(19200, 'E', 0, 3) << "uart idle high 8E1" << 19200.0;
    const IrPulses sirc = pulseWidthFrame(kSirc, bitsMsbFirst(0x5A3, 12));
    QTest::newRow("sirc, marks 180 us long")
        << remotesCapture(sirc, sirc, 180) << "infrared SIRC, idle high, no decoder" << 0.0;
    QTest::newRow("samsung and rc6 in turn")
        << remotesCapture(pulseDistanceFrame(kSamsung, bitsMsbFirst(0x0707E01F, 32)),
                          rc6Frame(0x04, 0x2C, false), 0)
        << "infrared RC-6 + Samsung, idle high, ir_rc6" << 0.0;
    QTest::newRow("pwm 3 kHz on 30 ms, off 70 ms")
        << gatedCapture(3000, 0.25, 30000, 70000) << "periodic PWM 25 % in bursts" << 3000.0;
    QTest::newRow("square 41 kHz")
        << boardCapture("square 41000 0.5") << "periodic clock 50 % (alias?)" << 0.0;
    QTest::newRow("low pulses of 40 and 80 ms at 3 Hz")
        << pulsesCapture({1e6 / 3}, {40000, 80000}, false) << "periodic PWM varying" << 3.0;
    QTest::newRow("pulses of 30 and 90 ms, 0.7 to 1.3 s apart")
        << pulsesCapture({700000, 1300000, 900000, 1100000}, {30000, 90000}, true) << "unrecognised"
        << 0.0;
}

void TestDecodeDetection::namesNewSignalShapes()
{
    QFETCH(QByteArray, capture);
    QFETCH(QString, expected);
    QFETCH(double, value);
    checkDescription(capture, expected, value);
}

void TestDecodeDetection::describesEverySampleCapture_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("trace");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<double>("value");

    QTest::newRow("uart-hello 1") << "uart-hello.ird" << 1 << "uart idle high 8N1" << 9600.0;
    QTest::newRow("uart-hello 2") << "uart-hello.ird" << 2 << "periodic PWM 25 %" << 1000.0;
    QTest::newRow("uart-hello 3 (Manchester bursts)")
        << "uart-hello.ird" << 3 << "unrecognised" << 0.0;
    QTest::newRow("pwm 1") << "pwm.ird" << 1 << "uart idle high 8N1" << 9600.0;
    QTest::newRow("pwm 2") << "pwm.ird" << 2 << "periodic PWM varying" << 500.0;
    QTest::newRow("pwm 3 (servo)") << "pwm.ird" << 3 << "pulse_width" << 50.0;
    QTest::newRow("mixed 1") << "mixed.ird" << 1 << "uart idle high 8N1" << 9600.0;
    QTest::newRow("mixed 2") << "mixed.ird" << 2 << "periodic PWM 75 %" << 2000.0;
    QTest::newRow("mixed 3 (Manchester)") << "mixed.ird" << 3 << "unrecognised" << 0.0;
    QTest::newRow("infrared 1") << "infrared.ird" << 1 << "infrared NEC, idle high, ir_nec" << 0.0;
    QTest::newRow("infrared 2") << "infrared.ird" << 2 << "infrared RC-5, idle high, ir_rc5" << 0.0;
    QTest::newRow("infrared 3") << "infrared.ird" << 3 << "infrared RC-6, idle high, ir_rc6" << 0.0;
}

void TestDecodeDetection::describesEverySampleCapture()
{
    QFETCH(QString, fileName);
    QFETCH(int, trace);
    QFETCH(QString, expected);
    QFETCH(double, value);

    auto traces = std::make_unique<TraceBuffers>();
    QVERIFY(capture_file::readCaptureFile(QStringLiteral(WAVEMILL_EXAMPLES_DIR "/") + fileName,
                                          *traces));
    // The committed file is what the generator makes now.
    bool generated = false;
    for (const auto &example : examples::makeExamples()) {
        if (example.fileName == fileName) {
            QVERIFY2(example.traces->buffers == traces->buffers,
                     "out of date: run wavemill-make-examples examples");
            generated = true;
        }
    }
    QVERIFY(generated);
    checkDescription(bytesOf(*traces->trace(trace)), expected, value);
}

// Slow single-wire families: real recordings and generated signals, each
// named with the content its decoder reads; near misses left unnamed.
// WAVEMILL_SHOW_DESCRIPTIONS=1 logs every description and sigrok's reading
// beside it, the table of family against verdict.

namespace {

using TrainMaker = std::function<PulseTrain()>;

TrainMaker recording(const char *name)
{
    return [name] { return recordingTrain(QLatin1String(name) + QStringLiteral(".sr")); };
}

/// A capture of one of the board's signals ("square 62500 0.25").
TrainMaker board(const char *name)
{
    const QByteArray capture = boardCapture(QLatin1String(name));
    return [capture] {
        TraceBuffer buffer{};
        std::copy(capture.begin(), capture.end(), buffer.begin());
        return PulseTrain(PulseTrain(buffer).runs(), kSamplePeriodUs);
    };
}

/// \a seconds of a signal, sampled every \a periodUs.
template <typename SignalType>
TrainMaker generated(SignalType signal, double seconds, double periodUs = kSamplePeriodUs,
                     double fromUs = 0)
{
    return
        [signal, seconds, periodUs, fromUs] { return trainOf(signal, seconds, periodUs, fromUs); };
}

} // namespace

// Real-world faults and framings, on real recordings and on generated
// signals: the family and framing named, and what was read.

/// A signal of a row, made afresh where the row runs.
using SignalMaker = std::function<std::unique_ptr<signals::Signal>()>;
Q_DECLARE_METATYPE(SignalMaker)

namespace {

/// A trace of \a samples samples of \a signal at the board's rate (a
/// whole capture for 0), as runs.
PulseTrain trainOf(signals::Signal &signal, int samples)
{
    const int bytes =
        samples > 0 ? (samples + kSamplesPerByte - 1) / kSamplesPerByte : int(kCaptureLength);
    const std::vector<bool> levels = signals::unpack(signals::take(signal, std::size_t(bytes)));
    std::vector<Run> runs;
    const auto count = std::int64_t(samples > 0 ? samples : std::int64_t(levels.size()));
    std::int64_t start = 0;
    for (std::int64_t i = 1; i <= count; ++i) {
        if (i == count || levels[std::size_t(i)] != levels[std::size_t(i - 1)]) {
            runs.push_back({start, i - start, levels[std::size_t(i - 1)]});
            start = i;
        }
    }
    return PulseTrain(std::move(runs), kSamplePeriodUs);
}

template <typename T, typename O> SignalMaker make(const O &options)
{
    return [options]() { return std::make_unique<T>(options); };
}

signals::SerialMessages::Options serial(double baud, int dataBits, char parity, int stopBits,
                                        std::vector<std::string> messages)
{
    signals::SerialMessages::Options o;
    o.baud = baud;
    o.dataBits = dataBits;
    o.parity = parity;
    o.stopBits = stopBits;
    o.messages = std::move(messages);
    return o;
}

/// Messages of numbers and words as a meter or a logger sends them.
std::vector<std::string> readings()
{
    return {"V=12.48 ok\r\n", "I=0.731 A\r\n", "T=23.9 C\r\n", "P=9.12 W\r\n"};
}

/// Characters of five bits, all 32 of them in turn, as a teleprinter's code.
std::vector<std::string> fiveBitCodes()
{
    std::string all;
    for (int c = 0; c < 32; ++c)
        all.push_back(char((c * 7) % 32));
    return {all};
}

signals::RemoteSession::Options presses(const std::vector<signals::IrPulses> &frames,
                                        double firstUs, double everyUs, int count)
{
    signals::RemoteSession::Options o;
    for (int n = 0; n < count; ++n)
        o.bursts.push_back({firstUs + n * everyUs, frames[std::size_t(n) % frames.size()]});
    return o;
}

/// The description and what it read for itself, on one text.
QString everythingSaid(const TraceDescription &d)
{
    QStringList all{d.title};
    all << d.evidence;
    if (d.compareWithSigrok)
        all << d.compareWithSigrok({}); // with no annotations: its own reading
    return all.join(QLatin1Char('\n'));
}

} // namespace

Q_DECLARE_METATYPE(TrainMaker)

void TestDecodeDetection::namesSlowFamilies_data()
{
    QTest::addColumn<TrainMaker>("train");
    QTest::addColumn<QString>("kind");        // "!kind|kind": anything but these
    QTest::addColumn<QString>("title");       // in the title
    QTest::addColumn<QStringList>("content"); // in the description or sigrok's reading of it

    QTest::newRow("dcf77 recording, 176 s")
        << recording("dcf77_dcf77_480s") << "dcf77"
        << "Tuesday 2012-01-10 00:04 CET"
        << QStringList{"Minutes: 4, Hours: 0, Day: 10, Day of week: 2 (Tuesday)"};
    const Dcf77Time time{26, 3, 14, 6, 15, 9, false};
    QTest::newRow("dcf77 two minutes")
        << generated(Dcf77Signal(time, 40, 3), 125) << "dcf77"
        << "Saturday 2026-03-14 15:10 CET" << QStringList{"Minutes: 10, Hours: 15, Day: 14"};

    QTest::newRow("cec recording, denon")
        << recording("cec_tv_sony_amp_denon_switch_off_seq") << "cec"
        << "HDMI-CEC" << QStringList{"TV → Broadcast: Standby"};
    QTest::newRow("cec recording, yamaha")
        << recording("cec_tv_sony_amp_yamaha_switch_off_seq") << "cec"
        << "HDMI-CEC" << QStringList{"TV → Broadcast: Standby"};
    QTest::newRow("dali recording")
        << recording("dali_rako_rsrdali_query_ballast") << "lighting_bus"
        << "DALI" << QStringList{"Command: 145 (Query Ballast)"};
    QTest::newRow("dsi recording") << recording("dsi_rako_wda-600_dsi") << "lighting_bus"
                                   << "DSI" << QStringList{"level 0x01 (0 %)", "!differs"};
    QTest::newRow("ook recording, rain")
        << recording("ook_oregon_pcr800") << "oregon"
        << "sensor 2914" << QStringList{"PCR800 - Rain", "Total 38.885 in", "!differs"};
    QTest::newRow("ook recording, temperature")
        << recording("ook_oregon_thgn800") << "oregon"
        << "sensor F824" << QStringList{"THGN800", "+17.3℃", "Hum 74%", "!differs"};
    QTest::newRow("qi recording") << recording("qi_gpmq8005a-nexus5") << "qi"
                                  << "Qi" << QStringList{};
    QTest::newRow("pt2262, a key held")
        << generated(Pt2262Signal("0F10F0011FFF", 110, 6, 400000), 2.0) << "remote_encoder"
        << "PT2262 type (tri-state): word 0F10F0011FFF"
        << QStringList{"word 0F10F0011FFF ×", "!differs"};
    QTest::newRow("pt2262 inverted")
        << generated(Pt2262Signal("11110000FFFF", 90, 4, 300000, false), 2.0) << "remote_encoder"
        << "inverted: word 11110000FFFF" << QStringList{};
    QTest::newRow("ev1527, a key held")
        << generated(Ev1527Signal(0xA53C1, 0x8, 350, 5, 500000), 3.0) << "remote_encoder"
        << "EV1527 type (learning code): id 0xA53C1, data 0x8" << QStringList{"no decoder"};
    QTest::newRow("pt2262, long pulses 40 % short")
        << generated(ScaledSignal(Pt2262Signal("0F10F0011FFF", 110, 6, 400000), 0.6, 1.0), 2.0)
        << "!remote_encoder"
        << "" << QStringList{};
    QTest::newRow("morse at 18 wpm")
        << generated(MorseSignal("CQ CQ DE WAVEMILL K", 18), 40.0) << "morse"
        << "Morse code at 18 words a minute" << QStringList{"\"CQ CQ DE WAVEMILL K", "!differs"};
    QTest::newRow("morse at 12 wpm, inverted")
        << generated(MorseSignal("SOS 73", 12, false), 30.0) << "morse"
        << "key down low (inverted): \"SOS 73" << QStringList{};
    QTest::newRow("morse, marks shortened by a third")
        << generated(ScaledSignal(MorseSignal("PARIS PARIS", 15), 0.67, 1.0), 30.0) << "morse"
        << "\"PARIS PARIS" << QStringList{};
    QTest::newRow("morse, gaps half as long")
        << generated(ScaledSignal(MorseSignal("PARIS PARIS", 15), 1.0, 0.5), 30.0) << "!morse"
        << "" << QStringList{};
    QTest::newRow("servo at 50 Hz, moving")
        << generated(ServoSignal(20000, 1000, 2000, 3e6), 10.0) << "pulse_width"
        << "servo or RC channel pulses, high: 983.6 µs to 1.99 ms wide, one every 19.99 ms"
        << QStringList{"the width moves", "!differs"};
    // A servo held still is a steady PWM, and read as one.
    QTest::newRow("servo at 333 Hz, held, inverted")
        << generated(ServoSignal(3000, 1200, 1200, 0, false), 5.0) << "periodic"
        << "PWM at 333.3 Hz, duty 60.0 %" << QStringList{};
    QTest::newRow("ppm, 8 channels")
        << generated(PpmSignal({1000, 1500, 2000, 1200, 1800, 1100, 1900, 1500}, 22500, 300), 10.0)
        << "pulse_width"
        << "PPM stream, pulses high: 8 channels a frame every 22.50 ms"
        << QStringList{"2: 1.50 ms", "3: 2.00 ms", "!differs"};
    QTest::newRow("ppm, 6 channels, inverted, moving")
        << generated(PpmSignal({1000, 1500, 2000, 1200, 1800, 1100}, 20000, 400, false, 300), 10.0)
        << "pulse_width"
        << "pulses low: 6 channels a frame every 20.00 ms" << QStringList{"1: 983.6 µs to 1.30 ms"};
    QTest::newRow("ultrasonic echo, period 8 to 29 ms")
        << generated(EchoSignal(0.34, 3.95, 6000, 120), 10.0) << "pulse_width"
        << "pulses whose width carries the value" << QStringList{"!differs"};
    // Widths a servo's, but the period wanders with them: no servo frame.
    QTest::newRow("ultrasonic echo, near, period 6.6 to 8.3 ms")
        << generated(EchoSignal(0.1, 0.4, 6000, 120), 10.0) << "pulse_width"
        << "pulses whose width carries the value" << QStringList{"!differs"};
    // Too fast for the board: said so, never a protocol; a serial line at
    // 2.6 samples a bit, or with its lows narrowed, still reads.
    const std::vector<std::uint8_t> notes{0x90, 0x3C, 0x64, 0x80, 0x3C, 0x00, 0xB0, 0x07, 0x55};
    QTest::newRow("midi notes at 31250 bit/s")
        << generated(SerialFramesSignal(notes, {31250}, 20000), 10.0) << "too_fast"
        << "of the pulses last one sample" << QStringList{"bits of 1.6 samples"};
    QTest::newRow("midi active sensing alone")
        << generated(SerialFramesSignal({0xFE}, {31250}, 300000), 10.0) << "too_fast"
        << "every low pulse lasts" << QStringList{"one pulse every 300.00 ms"};
    std::vector<std::uint8_t> dmx(513);
    for (std::size_t k = 1; k < dmx.size(); ++k)
        dmx[k] = std::uint8_t(k * 37);
    QTest::newRow("dmx at 250 kbit/s")
        << generated(SerialFramesSignal(dmx, {250000, 2, 100, 12}, 25000), 5.0) << "too_fast"
        << "of the pulses last one sample" << QStringList{"(DMX) of 0.2"};
    QTest::newRow("1-wire polled")
        << generated(OneWireSignal({0xCC, 0x44, 0xCC, 0xBE, 0x50, 0x05, 0x4B, 0x46}, 100000), 5.0)
        << "too_fast"
        << "" << QStringList{};
    QTest::newRow("pwm at 62.5 kHz, 25 %") << board("square 62500 0.25") << "too_fast"
                                           << "" << QStringList{};
    QTest::newRow("serial 9600 through a slow coupler, lows of 20 us")
        << generated(SerialFramesSignal({'H', 'e', 'l', 'l', 'o', '\r', '\n'}, {9600, 1, 0, 0, 20},
                                        12000),
                     10.0)
        << "!too_fast|pulse_width"
        << "" << QStringList{};
    // Generated families, with the faults of real lines: polarity, stray
    // pulses, a damaged minority, frames cut by the recording, other rates.
    const Dcf77Time night{24, 12, 31, 2, 23, 58, false};
    QTest::newRow("dcf77 inverted, at 1 kHz")
        << generated(Dcf77Signal(night, 10, 3, false), 130, 1000) << "dcf77"
        << "pulses low (inverted): Tuesday 2024-12-31 23:59 CET"
        << QStringList{"reads high pulses only"};
    QTest::newRow("dcf77 with stray pulses")
        << generated(WithPulses(Dcf77Signal(night, 50, 3), 125, 7770000, 400000, 60000), 125)
        << "dcf77"
        << "Tuesday 2024-12-31 23:59 CET" << QStringList{"off the seconds' grid", "restored"};
    QTest::newRow("dcf77, ten seconds")
        << generated(Dcf77Signal(night, 15, 1), 10.2) << "dcf77"
        << "seconds read, no whole minute" << QStringList{"bits read: 00101"};
    const std::vector<std::vector<std::uint8_t>> cec{
        {0x40, 0x04}, {0x4F, 0x82, 0x10, 0x00}, {0x05}, {0x0F, 0x36}, {0x40, 0x8F}};
    QTest::newRow("cec messages") << generated(CecSignal(cec, 30000), 3.0) << "cec"
                                  << "messages between Playback 1, TV"
                                  << QStringList{"Playback 1 → Broadcast: Active Source [10 00]",
                                                 "TV → Broadcast: Standby",
                                                 "TV → Audio system: poll", "!differs"};
    QTest::newRow("cec at 1 MHz, cut at both ends")
        << generated(CecSignal(cec, 30000), 0.5, 1.0, 37000) << "cec"
        << "HDMI-CEC" << QStringList{};
    QTest::newRow("oregon 3, rain gauge")
        << generated(OregonSignal(false, "2914", 0, 0xD2, {0, 0, 0, 0, 5, 8, 8, 8, 3, 0}, 2e6),
                     10.2)
        << "oregon"
        << "protocol 3: sensor 2914" << QStringList{"PCR800 - Rain", "!differs"};
    QTest::newRow("oregon 2.1, temperature, receiver skew")
        << generated(OregonSignal(true, "1D20", 1, 0x5A, {3, 7, 1, 0, 4, 7, 0}, 2.5e6, 120), 10.2)
        << "oregon"
        << "protocol 2.1: sensor 1D20" << QStringList{"checksum right", "!differs"};
    QTest::newRow("oregon 3, inverted")
        << generated(OregonSignal(false, "F824", 1, 0xF6, {3, 7, 1, 0, 4, 7, 0}, 1.5e6, 0, false),
                     10.2)
        << "oregon"
        << "(inverted): sensor F824" << QStringList{"!differs"};
    const std::vector<std::vector<std::uint8_t>> dali{
        {0x01, 0x91}, {0xFF}, {0xFE, 0xFE}, {0xA3, 0x10}, {0x12, 0x34, 0x56}};
    QTest::newRow("dali frames") << generated(LightingBusSignal(false, dali, 15000), 3.0)
                                 << "lighting_bus"
                                 << "DALI"
                                 << QStringList{"broadcast: arc power 254",
                                                "24-bit frame 0x12 0x34 0x56", "!differs"};
    QTest::newRow("dali inverted")
        << generated(LightingBusSignal(false, dali, 15000, true), 3.0) << "lighting_bus"
        << "DALI lighting bus, idle low (inverted)" << QStringList{"!differs"};
    QTest::newRow("dsi levels, stray pulses between them")
        << generated(WithPulses(LightingBusSignal(true, {{0x00}, {0x80}, {0xFF}}, 40000), 5.0,
                                97000, 41000, 60),
                     5.0)
        << "lighting_bus"
        << "DSI" << QStringList{"level 0x80 (50 %)", "stray pulses"};
    const std::vector<std::vector<std::uint8_t>> qi{
        {0x03, 0x10}, {0x03, 0xF0}, {0x04, 0x20}, {0x01, 0x80}, {0x03, 0x00}};
    QTest::newRow("qi packets") << generated(QiSignal(qi, 50000), 3.0) << "qi"
                                << "Qi wireless-charging receiver"
                                << QStringList{"Control Error: -16", "Signal Strength: 128",
                                               "!differs"};
    QTest::newRow("qi, one packet in five damaged")
        << generated(WithPulses(QiSignal(qi, 50000), 3.0, 250000, 33000, 100), 3.0) << "qi"
        << "Qi" << QStringList{"did not"};
    // RFID tags: every data rate, either polarity, at other sample rates.
    QTest::newRow("em4100 RF/64")
        << generated(Em4100Signal(0x12, 0x34567890), 3.0) << "rfid"
        << "RFID tag, EM4100, RF/64 (1953 bit/s): ID 0x12 34567890 (0878082192)"
        << QStringList{"sigrok em4100 decoder: ", "1234567890 ×", "!differs", "!did not",
                       "a 1 high then low (sigrok's active-high)"};
    QTest::newRow("em4100 RF/32, a 1 low then high")
        << generated(Em4100Signal(0x0A, 0x00C0FFEE, 32, false), 2.0) << "rfid"
        << "RF/32 (3906 bit/s): ID 0x0A 00C0FFEE (0012648430)"
        << QStringList{"low then high (sigrok's active-low)", "!differs"};
    QTest::newRow("em4100 RF/16, 3.2 samples a half-bit")
        << generated(Em4100Signal(0xFF, 0xFFFFFFFF, 16), 2.0) << "rfid"
        << "RF/16 (7812 bit/s): ID 0xFF FFFFFFFF (4294967295)" << QStringList{"!differs"};
    QTest::newRow("em4100 of zeros, a carrier 6 % slow")
        << generated(ScaledSignal(Em4100Signal(0x00, 0x00000000), 1.06, 1.06), 3.0) << "rfid"
        << "RF/64 (1953 bit/s): ID 0x00 00000000 (0000000000)" << QStringList{"6.0 % from"};
    QTest::newRow("em4100 at 1 MHz")
        << generated(Em4100Signal(0x12, 0x34567890, 64, false), 0.3, 1.0) << "rfid"
        << "ID 0x12 34567890" << QStringList{"half-bit 256.0 µs"};
    QTest::newRow("em4100, two tags in turn")
        << generated(Em4100Signal({Em4100Signal::frame(0x01, 0x2468ACE0),
                                   Em4100Signal::frame(0x01, 0x13579BDF)},
                                  64, true),
                     2.0)
        << "rfid"
        << "2 tags: ID 0x01 13579BDF (0324508639) ×" << QStringList{"!differs"};
    QTest::newRow("em4100, glitches in one frame in five")
        << generated(WithPulses(Em4100Signal(0x12, 0x34567890), 3.0, 5 * 32768, 20000, 60), 3.0)
        << "rfid"
        << "ID 0x12 34567890"
        << QStringList{"broken by a run of neither one nor two half-bits", "!differs"};
    QTest::newRow("pt2262 cut at both ends")
        << generated(Pt2262Signal("FFFF00001111", 100, 20, 2e6), 0.5, kSamplePeriodUs, 50000)
        << "remote_encoder"
        << "word FFFF00001111" << QStringList{"left out"};

    // At the rates of the recordings' own analyzers: time is the train's.
    QTest::newRow("dali at 100 kHz")
        << generated(LightingBusSignal(false, dali, 15000), 3.0, 10.0) << "lighting_bus"
        << "DALI" << QStringList{"half-bit 416."};
    QTest::newRow("oregon at 25 kHz")
        << generated(OregonSignal(false, "F824", 1, 0xF6, {3, 7, 1, 0, 4, 7, 0}, 1.5e6), 5.0, 40.0)
        << "oregon"
        << "sensor F824" << QStringList{"checksum right"};
    QTest::newRow("qi at 1 MHz") << generated(QiSignal(qi, 50000), 0.5, 1.0) << "qi"
                                 << "Qi" << QStringList{"Control Error: -16"};
    QTest::newRow("servo at 10 kHz")
        << generated(ServoSignal(20000, 1000, 2000, 3e6), 10.0, 100.0) << "pulse_width"
        << "servo or RC channel pulses, high: 1.00 ms to 2.00 ms wide" << QStringList{};

    // Damage: named when most bursts read, the others counted; not named
    // when half or more are lost.
    const std::vector<std::vector<std::uint8_t>> five{
        {0x40, 0x04}, {0x40, 0x8F}, {0x04, 0x90, 0x00}, {0x40, 0x46}, {0x04, 0x47, 0x54, 0x56}};
    QTest::newRow("cec, one message in five damaged")
        << generated(WithPulses(CecSignal(five, 30000), 5.0, CecSignal(five, 30000).periodUs(),
                                30000 + 9000, 300),
                     5.0)
        << "cec"
        << "HDMI-CEC" << QStringList{"did not", "!differs"};
    QTest::newRow("cec, every message damaged")
        << generated(WithPulses(CecSignal(five, 30000), 5.0, 20000, 11000, 300), 5.0)
        << "unrecognised"
        << "" << QStringList{};
    QTest::newRow("oregon, a bit broken in every message")
        << generated(
               WithPulses(OregonSignal(false, "2914", 0, 0xD2, {0, 0, 0, 0, 5, 8, 8, 8, 3, 0}, 2e6),
                          10.2, 2e6, 5000 + 80 * 976.5625, 488.28125),
               10.2)
        << "!oregon"
        << "" << QStringList{};
    QTest::newRow("pt2262 with noise between presses")
        << generated(
               WithPulses(Pt2262Signal("0F10F0011FFF", 110, 4, 400000), 4.0, 400000, 300000, 80),
               4.0)
        << "remote_encoder"
        << "word 0F10F0011FFF" << QStringList{"stray"};

    QTest::newRow("ev1527 inverted")
        << generated(Ev1527Signal(0x5A3C6, 0x9, 420, 4, 400000, false), 2.0) << "remote_encoder"
        << "EV1527 type (learning code), inverted: id 0x5A3C6, data 0x9" << QStringList{};
    // A learning code whose pulses pair up as tri-state digits looks like a
    // PT2262 word, which it is read as; the evidence gives the other reading.
    QTest::newRow("ev1527 code of tri-state pairs")
        << generated(Ev1527Signal(0x0F00F, 0x1, 420, 4, 400000), 2.0) << "remote_encoder"
        << "PT2262 type (tri-state): word 00110000110F" << QStringList{"id 0x0F00F, data 0x1"};
    QTest::newRow("morse at 5 wpm")
        << generated(MorseSignal("SOS", 5), 60.0) << "morse"
        << "Morse code at 5 words a minute" << QStringList{"\"SOS SOS", "!differs"};
    QTest::newRow("servo-like pulses of 3 to 5 ms")
        << generated(ServoSignal(20000, 3000, 5000, 2e6), 10.0) << "!pulse_width"
        << "" << QStringList{};

    // Near misses: no family's timings, or a family's 40 % off.
    QTest::newRow("random widths 20 us to 3 ms")
        << generated(RandomStretches(20, 3000, 10, 11), 10.0) << "unrecognised"
        << "" << QStringList{};
    QTest::newRow("random widths 5 to 90 ms")
        << generated(RandomStretches(5000, 90000, 10, 12), 10.0) << "unrecognised"
        << "" << QStringList{};
    QTest::newRow("random widths 300 us to 2 ms")
        << generated(RandomStretches(300, 2000, 10, 13), 10.0) << "unrecognised"
        << "" << QStringList{};
    QTest::newRow("pulses of 100 and 200 ms, 0.6 to 1.5 s apart")
        << generated(IrregularPulses({100000, 200000}, 600000, 1500000, 60, true, 14), 60.0)
        << "unrecognised"
        << "" << QStringList{};
    QTest::newRow("dali 40 % slow")
        << generated(ScaledSignal(LightingBusSignal(false, dali, 15000), 1.4, 1.4), 3.0)
        << "!lighting_bus"
        << "" << QStringList{};
    QTest::newRow("cec 40 % fast")
        << generated(ScaledSignal(CecSignal(cec, 30000), 0.6, 0.6), 3.0) << "!cec"
        << "" << QStringList{};
    QTest::newRow("qi 40 % slow") << generated(ScaledSignal(QiSignal(qi, 50000), 1.4, 1.4), 3.0)
                                  << "!qi"
                                  << "" << QStringList{};
    QTest::newRow("oregon 40 % fast")
        << generated(ScaledSignal(
                         OregonSignal(false, "2914", 0, 0xD2, {0, 0, 0, 0, 5, 8, 8, 8, 3, 0}, 2e6),
                         0.6, 0.6),
                     10.2)
        << "!oregon"
        << "" << QStringList{};
    QTest::newRow("em4100 40 % slow")
        << generated(ScaledSignal(Em4100Signal(0x12, 0x34567890), 1.4, 1.4), 3.0) << "!rfid"
        << "" << QStringList{};
    QTest::newRow("em4100, glitches in every other frame")
        << generated(WithPulses(Em4100Signal(0x12, 0x34567890), 3.0, 2 * 32768, 20000, 60), 3.0)
        << "!rfid"
        << "" << QStringList{};
    QTest::newRow("am230x recording") << recording("am230x_am2302_1mhz") << "!x"
                                      << "" << QStringList{};
    QTest::newRow("dcc recording") << recording("dcc_decoder_2_light") << "unrecognised"
                                   << "" << QStringList{};
}

void TestDecodeDetection::namesSlowFamilies()
{
    QFETCH(TrainMaker, train);
    QFETCH(QString, kind);
    QFETCH(QString, title);
    QFETCH(QStringList, content);

    const PulseTrain t = train();
    const TraceDescription d = describeTrace(t);
    QString why;
    const QStringList sigrok = sigrokReading(d, t, &why);
    qInfo("%s -> %s", QTest::currentDataTag(), qPrintable(d.title));
    const QString all = QStringList{d.title, d.evidence.join('\n'), sigrok.join('\n')}.join('\n');
    if (qEnvironmentVariableIsSet("WAVEMILL_SHOW_DESCRIPTIONS"))
        qInfo("%s", qPrintable(all));
    const bool match = kind.startsWith(QLatin1Char('!'))
                           ? !kind.mid(1).split(QLatin1Char('|')).contains(d.kind)
                           : d.kind == kind;
    QVERIFY2(match, qPrintable(d.kind + QStringLiteral("\n") + all));
    QVERIFY2(why.isEmpty(), qPrintable(why));
    if (d.kind != QLatin1String("unrecognised"))
        QVERIFY(d.confidence >= kConfidenceThreshold);
    // A decoder comes with the channel it reads and a comparison that holds
    // up against sigrok reading nothing.
    QCOMPARE(d.decoders.isEmpty(), d.channel.isEmpty());
    QCOMPARE(d.decoders.isEmpty(), !d.compareWithSigrok);
    if (d.compareWithSigrok)
        QVERIFY(!d.compareWithSigrok({}).isEmpty());
    QVERIFY2(d.title.contains(title), qPrintable(all));
    // "!text": not in it.
    for (const QString &text : content)
        QVERIFY2(all.contains(text.mid(text.startsWith('!'))) != text.startsWith('!'),
                 qPrintable(text + QStringLiteral("\n--\n") + all));
}

void TestDecodeDetection::decodesSlowFamiliesAsTheProgram_data()
{
    QTest::addColumn<QList<TrainMaker>>("traces");
    QTest::addColumn<QStringList>("sayings"); // in the program's output, in order

    // wavemill-decode on a capture file: each trace named, its decoder run
    // with the options the detection chose, sigrok's reading as the timings'.
    QTest::newRow("cec, dali, pt2262")
        << QList<TrainMaker>{generated(CecSignal({{0x40, 0x04}, {0x0F, 0x36}}, 40000), 10.2),
                             generated(
                                 LightingBusSignal(false, {{0x01, 0x91}, {0xFF}}, 20000, true),
                                 10.2),
                             generated(Pt2262Signal("0F10F0011FFF", 110, 6, 400000), 10.2)}
        << QStringList{"trace 1: HDMI-CEC",
                       "HDR: Playback_1, TV | OPC: IMAGE_VIEW_ON",
                       "trace 2: DALI lighting bus, idle low (inverted)",
                       "Command: 145 (Query Ballast)",
                       "trace 3: 433 MHz remote encoder, PT2262",
                       "sigrok rc_encode decoder"};
    QTest::newRow("oregon, dcf77, ppm")
        << QList<TrainMaker>{generated(
                                 OregonSignal(true, "1D20", 1, 0x5A, {3, 7, 1, 0, 4, 7, 0}, 2.5e6),
                                 10.2),
                             generated(Dcf77Signal({26, 3, 14, 6, 15, 9, false}, 20, 1), 10.2),
                             generated(PpmSignal({1000, 1500, 2000, 1200}, 20000, 300), 10.2)}
        << QStringList{"trace 1: 433 MHz weather sensor, Oregon Scientific protocol 2.1",
                       "sigrok ook and ook_oregon decoders",
                       "trace 2: DCF77 time signal",
                       "sigrok dcf77 decoder: 10 bits",
                       "trace 3: RC receiver PPM stream",
                       "sigrok pwm decoder"};
    QTest::newRow("morse, qi, servo")
        << QList<TrainMaker>{generated(MorseSignal("TEST DE WAVEMILL", 20), 10.2),
                             generated(QiSignal({{0x03, 0x10}, {0x04, 0x20}}, 50000), 10.2),
                             generated(ServoSignal(20000, 1000, 2000, 2e6), 10.2)}
        << QStringList{"trace 1: Morse code at 20 words a minute",
                       "sigrok morse decoder: \"TEST DE WAVEMILL",
                       "trace 2: Qi wireless-charging receiver",
                       "Received Power: 32",
                       "trace 3: servo or RC channel pulses",
                       "sigrok pwm decoder"};
    QTest::newRow("rfid tags at RF/64 and RF/32, either polarity")
        << QList<TrainMaker>{generated(Em4100Signal(0x12, 0x34567890), 10.2),
                             generated(Em4100Signal(0x0A, 0x00C0FFEE, 32, false), 10.2)}
        << QStringList{"trace 1: RFID tag, EM4100, RF/64 (1953 bit/s): ID 0x12 34567890",
                       "sigrok em4100 decoder: 310 tags: 1234567890 ×310",
                       "trace 2: RFID tag, EM4100, RF/32 (3906 bit/s): ID 0x0A 00C0FFEE",
                       "sigrok em4100 decoder: 621 tags: 0A00C0FFEE ×621"};
}

void TestDecodeDetection::decodesSlowFamiliesAsTheProgram()
{
    QFETCH(QList<TrainMaker>, traces);
    QFETCH(QStringList, sayings);

    auto buffers = std::make_unique<TraceBuffers>();
    for (int t = 0; t < traces.size(); ++t) {
        // The train's samples packed as the board sends them.
        const PulseTrain train = traces[t]();
        for (const Run &run : train.runs()) {
            for (std::int64_t s = run.start;
                 run.high && s < run.start + run.length && s < kCaptureSamples; ++s)
                (*buffers->trace(t + 1))[std::size_t(s / kSamplesPerByte)] |=
                    sampleBit(int(s % kSamplesPerByte));
        }
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("families.ird"));
    QVERIFY(capture_file::writeCaptureFile(path, *buffers));
    const ProgramRun run = runProgram(QStringLiteral(WAVEMILL_DECODE_PATH), {path});
    QCOMPARE(run.status, 0);
    const QString out = QString::fromUtf8(run.out);
    QVERIFY2(!out.contains(QLatin1String("differs")), qPrintable(out));
    qsizetype at = 0;
    for (const QString &saying : sayings) {
        const qsizetype found = out.indexOf(saying, at);
        QVERIFY2(found >= 0, qPrintable(saying + QStringLiteral("\n--\n") + out));
        at = found;
    }
}

void TestDecodeDetection::readsThroughRealWorldFaults_data()
{
    QTest::addColumn<QString>("recording");  // in tests/data/recordings, or...
    QTest::addColumn<SignalMaker>("signal"); // ...a signal, played
    QTest::addColumn<int>("samples");        // for so many samples (0: a capture)
    QTest::addColumn<QString>("expected");   // as signature() says it; "*": anything
    QTest::addColumn<QString>("said");       // what must be said ("!": never said)
    QTest::addColumn<double>("value");
    const auto recording = [](const char *name, const char *file, const char *expected,
                              const char *said, double value) {
        QTest::newRow(name) << QString::fromLatin1(file) << SignalMaker() << 0 << expected
                            << QString::fromUtf8(said) << value;
    };
    const auto signal = [](const char *name, const SignalMaker &maker, const char *expected,
                           const char *said, double value, int samples = 0) {
        QTest::newRow(name) << QString() << maker << samples << expected << QString::fromUtf8(said)
                            << value;
    };

    // Serial lines in every framing, their digits and frames read.
    recording("multimeter, 2400 bit/s 7O1 (recording)", "uart_es51978.sr", "uart idle high 7O1",
              R"("506793002\r\n506793002\r\n)", 2400);
    recording("LIN, one frame (recording)", "uart_lin_single_frame.sr", "lin",
              "ID 0x01: 11 11, checksum 0x1C", 19200);
    recording("LIN, malformed frames (recording)", "uart_lin_malformed.sr", "lin",
              "ID 0x23: 00 00, checksum 0x5C", 19200);
    // At its own 50 MHz the slave's pulses run 0.06 bit longer than the master's.
    recording("LIN, malformed frames, two senders (recording at 50 MHz)",
              "../sigrok-dumps/uart_lin_malformed.sr", "lin", "sync, no identifier", 19200);
    using signals::SerialMessages;
    signal("5N1 at 1200 bit/s", make<SerialMessages>(serial(1200, 5, 'N', 1, fiveBitCodes())),
           "uart idle high 5N1", R"("\x00\x07\x0e\x15\x1c\x03)", 1200);
    signal("6E1 at 2400 bit/s", make<SerialMessages>(serial(2400, 6, 'E', 1, fiveBitCodes())),
           "uart idle high 6E1", R"("\x00\x07\x0e\x15\x1c\x03)", 2400);
    signal("7N1 at 9600 bit/s", make<SerialMessages>(serial(9600, 7, 'N', 1, readings())),
           "uart idle high 7N1", "V=12.48 ok", 9600);
    signal("7E1 at 2400 bit/s", make<SerialMessages>(serial(2400, 7, 'E', 1, readings())),
           "uart idle high 7E1", "I=0.731 A", 2400);
    signal("8N2 at 4800 bit/s", make<SerialMessages>(serial(4800, 8, 'N', 2, readings())),
           "uart idle high 8N2", "T=23.9 C", 4800);
    SerialMessages::Options inverted = serial(1200, 7, 'O', 1, readings());
    inverted.inverted = true;
    signal("7O1 at 1200 bit/s, inverted", make<SerialMessages>(inverted), "uart idle low 7O1",
           "P=9.12 W", 1200);

    // Serial lines as real wires and couplers give them.
    SerialMessages::Options breaks = serial(9600, 8, 'N', 1, readings());
    breaks.breakUs = 15000;
    breaks.markAfterBreakUs = 500;
    signal("9600 bit/s, a 15 ms break before each message", make<SerialMessages>(breaks),
           "uart idle high 8N1", "V=12.48 ok", 9600);
    for (const double cut : {20.0, 40.0}) {
        SerialMessages::Options coupler = serial(9600, 8, 'N', 1, readings());
        coupler.activeCutUs = cut;
        signal(cut < 30 ? "9600 bit/s, low pulses 20 µs short (a slow coupler)"
                        : "9600 bit/s, low pulses 40 µs short",
               make<SerialMessages>(coupler), "uart idle high 8N1", "T=23.9 C", 9600);
    }
    SerialMessages::Options idle = serial(19200, 8, 'N', 1, readings());
    idle.pauseUs = 50000;
    signal("19200 bit/s idling high 50 ms between messages", make<SerialMessages>(idle),
           "uart idle high 8N1", "I=0.731 A", 19200);
    SerialMessages::Options everyByte = serial(9600, 8, 'N', 1, {"a", "b", "c"});
    everyByte.breakUs = 3000;
    everyByte.markAfterBreakUs = 300;
    signal("a break before every character is no serial line", make<SerialMessages>(everyByte),
           "!uart idle high 8N1", "", 0);

    // LIN buses of both checksums.
    using signals::LinBus;
    LinBus::Options lin;
    lin.frames = {{0x10, {0x01, 0x02, 0x03, 0x04}}, {0x22, {}}, {0x3C, {0xAA, 0x55}}};
    signal("LIN 2 at 19200 bit/s, a header without response", make<LinBus>(lin), "lin",
           "ID 0x10: 01 02 03 04, checksum", 19200);
    lin.baud = 9600;
    lin.enhanced = false;
    lin.frames = {{0x05, {0x80, 0x7F}}, {0x06, {0x11}}};
    signal("LIN 1 at 9600 bit/s, classic checksums", make<LinBus>(lin), "lin", "classic", 9600);

    // Periodic signals with glitches and jitter; one near the sample limit.
    using signals::RoughSquareWave;
    RoughSquareWave::Options glitched{10, 0.5, 0, 8, kSamplePeriodUs, 10.2e6, 7};
    signal("10 Hz square with eight 1-sample glitches", make<RoughSquareWave>(glitched),
           "periodic clock 50 %", "8 glitches", 10);
    RoughSquareWave::Options jittered{1500, 0.5, kSamplePeriodUs, 0, 0, 10.2e6, 8};
    signal("1.5 kHz square, each edge a sample astray", make<RoughSquareWave>(jittered),
           "periodic clock 50 %", "", 1500);
    signal("62.5 kHz clock: an alias, said in the verdict",
           make<RoughSquareWave>(RoughSquareWave::Options{62500, 0.5}),
           "periodic clock 50 % (alias?)", "or an alias of a faster signal", 0);
    // At a recording's own rate (1 MHz), 62.5 kHz is 16 samples a period: no alias.
    QTest::newRow("62.5 kHz clock sampled at 1 MHz: no alias")
        << QString() << SignalMaker() << -1 << "periodic clock 50 %"
        << "!alias" << 62500.0;
    SerialMessages::Options sensing = serial(31250, 8, 'N', 1, {"\xFE"});
    sensing.pauseUs = 300000;
    signal("MIDI active sensing: no duty of 100 % that is not", make<SerialMessages>(sensing), "*",
           "!100.0 %", 0);

    // Remote controls held, noisy, cut and damaged.
    using signals::RemoteSession;
    const signals::IrPulses repeat = signals::necRepeat();
    signal("NEC key held: repeat codes only",
           make<RemoteSession>(presses({repeat}, 30000, signals::kNecRepeatUs, 90)),
           "infrared NEC, idle high, ir_nec", "repeat codes only", 0);
    RemoteSession::Options stretched = presses({repeat}, 30000, signals::kNecRepeatUs, 90);
    stretched.markStretchUs = 100;
    signal("NEC key held, marks stretched 100 µs", make<RemoteSession>(stretched),
           "infrared NEC, idle high, ir_nec", "repeat codes only", 0);
    const signals::IrPulses jvc =
        signals::pulseDistanceFrame(signals::kJvc, signals::bitsMsbFirst(0xA5C3, 16));
    const signals::IrPulses jvcAgain = RemoteSession::withoutLeader(jvc);
    signal("JVC frames, then repeats without the leader",
           make<RemoteSession>(presses({jvc, jvcAgain, jvcAgain, jvcAgain}, 20000, 55000, 160)),
           "infrared JVC, idle high, no decoder", "40 frames and 120 repeat codes", 0);
    RemoteSession::Options strays =
        presses({signals::necFrame(0x12, 0x34), repeat}, 20000, signals::kNecRepeatUs, 90);
    strays.strayPulses = 400;
    signal("NEC with stray 1-3 sample pulses between presses", make<RemoteSession>(strays),
           "infrared NEC, idle high, ir_nec", "stray marks", 0);
    RemoteSession::Options cut = presses(
        {signals::pulseWidthFrame(signals::kSirc, signals::bitsMsbFirst(0x5A3, 12))}, 1000, 0, 1);
    cut.lengthUs = 25000;
    signal("one SIRC frame, the capture cut close on both sides", make<RemoteSession>(cut),
           "infrared SIRC, idle high, no decoder", "12 bits", 0.0,
           int(cut.lengthUs / kSamplePeriodUs));
    std::vector<signals::IrPulses> rc5s;
    rc5s.reserve(5);
    for (int n = 0; n < 5; ++n)
        rc5s.push_back(signals::rc5Frame(7, 20 + n, n % 2 == 1));
    rc5s[3][5].us += 400; // a half-bit stretched out of every window
    signal("RC-5, one burst in five damaged",
           make<RemoteSession>(presses(rc5s, 20000, signals::kRc5RepeatUs, 85)),
           "infrared RC-5, idle high, ir_rc5", "like damaged RC-5 frames", 0);
    const signals::IrPulses rc6a =
        RemoteSession::rc6ModeFrame(6, signals::bitsMsbFirst(0x800F0416, 32), false);
    signal("RC-6 mode 6 (RC6A, 32 bits)",
           make<RemoteSession>(presses({rc6a}, 20000, signals::kRc6RepeatUs, 90)),
           "infrared RC-6, idle high, ir_rc6", "mode 6, address 0x800F command 0x0416", 0);
    signal("JVC repeats without any leader name nothing",
           make<RemoteSession>(presses({jvcAgain}, 20000, 55000, 160)), "unrecognised", "", 0);
    std::vector<signals::IrPulses> mostlyDamaged = rc5s;
    for (const std::size_t n : {0, 1, 2})
        mostlyDamaged[n][5].us += 400;
    signal("RC-5, three bursts in five damaged: not named",
           make<RemoteSession>(presses(mostlyDamaged, 20000, signals::kRc5RepeatUs, 85)),
           "unrecognised", "", 0);
    RemoteSession::Options noise;
    noise.strayPulses = 2000;
    signal("stray pulses alone are nothing", make<RemoteSession>(noise), "unrecognised", "", 0);

    // Hints only where the timing fits them.
    recording("DCC's 58/100 µs half-bits are no bi-phase (recording)", "dcc_decoder_2_light.sr",
              "*", "!bi-phase", 0);
    recording("a sensor's 26/70 µs bits are no bi-phase (recording)", "am230x_am2302_1mhz.sr", "*",
              "!bi-phase", 0);
}

void TestDecodeDetection::readsThroughRealWorldFaults()
{
    QFETCH(QString, recording);
    QFETCH(SignalMaker, signal);
    QFETCH(int, samples);
    QFETCH(QString, expected);
    QFETCH(QString, said);
    QFETCH(double, value);

    PulseTrain train = !recording.isEmpty() ? recordingTrain(recording)
                       : signal             ? trainOf(*signal(), samples)
                                            : PulseTrain({}, 1);
    if (samples < 0) { // a clock of 8 samples high, 8 low, one sample a microsecond
        std::vector<Run> runs;
        for (std::int64_t at = 0; at < 160000; at += 8)
            runs.push_back({at, 8, at % 16 == 0});
        train = PulseTrain(std::move(runs), 1.0);
    }
    QVERIFY2(train.edges() > 0, "no trace to read");
    const TraceDescription d = describeTrace(train);
    qInfo("%s -> %s", QTest::currentDataTag(), qPrintable(d.title));
    const QString all = everythingSaid(d);
    if (qEnvironmentVariableIsSet("WAVEMILL_SHOW_DESCRIPTIONS"))
        qInfo("%s", qPrintable(all));
    if (expected != QLatin1String("*")) {
        const bool match = expected.startsWith(QLatin1Char('!')) ? signature(d) != expected.mid(1)
                                                                 : signature(d) == expected;
        QVERIFY2(match, qPrintable(signature(d) + QLatin1Char('\n') + all));
    }
    if (d.kind != QLatin1String("unrecognised"))
        QVERIFY(d.confidence >= kConfidenceThreshold);
    if (said.startsWith(QLatin1Char('!')))
        QVERIFY2(!all.contains(said.mid(1)), qPrintable(all));
    else
        QVERIFY2(all.contains(said), qPrintable(all));
    if (value > 0)
        QVERIFY2(std::fabs(number(d) / value - 1) < 0.01, qPrintable(all));
}

void TestDecodeDetection::setsItsReadingAgainstSigroks_data()
{
    QTest::addColumn<QString>("recording");       // in tests/data/recordings, or...
    QTest::addColumn<SignalMaker>("signal");      // ...a signal, played
    QTest::addColumn<int>("samples");             // for so many samples
    QTest::addColumn<QStringList>("annotations"); // "decoder class start end text"
    QTest::addColumn<QString>("said");            // in the comparison ("!": never)

    // As sigrok's lin decoder annotates the recording's one frame.
    const QStringList frame{
        "lin control 9879 9916 Break condition",    "lin data 9927 9948 Sync",
        "lin data 9962 9983 ID: 01 Parity: 3 (ok)", "lin data 9989 10010 Data: 0x11",
        "lin data 10018 10039 Data: 0x11",          "lin data 10046 10067 Checksum: 0x1C"};
    QTest::newRow("LIN: sigrok reads the same frame")
        << "uart_lin_single_frame.sr" << SignalMaker() << 0 << frame << "!differs";
    QStringList otherData = frame;
    otherData[4] = QStringLiteral("lin data 10018 10039 Data: 0x12");
    QTest::newRow("LIN: sigrok reads another byte")
        << "uart_lin_single_frame.sr" << SignalMaker() << 0 << otherData
        << "reads 0 of the 1 frames it gives";
    // sigrok's uart reads a break as a null byte with a frame error: no character.
    signals::SerialMessages::Options o = serial(9600, 8, 'N', 1, {"ok\r\n"});
    o.breakUs = 15000;
    o.markAfterBreakUs = 400;
    QTest::newRow("UART: a break's null byte is no character")
        << QString() << make<signals::SerialMessages>(o) << 2100
        << QStringList{"uart rx-data 1000 1040 00", "uart rx-break 996 1744 Break condition",
                       "uart rx-data 1765 1810 6F", "uart rx-data 1817 1862 6B",
                       "uart rx-data 1869 1914 0D", "uart rx-data 1921 1966 0A"}
        << R"(sigrok uart decoder: 4 bytes: "ok\r\n")";
}

void TestDecodeDetection::setsItsReadingAgainstSigroks()
{
    QFETCH(QString, recording);
    QFETCH(SignalMaker, signal);
    QFETCH(int, samples);
    QFETCH(QStringList, annotations);
    QFETCH(QString, said);

    const TraceDescription d = describeTrace(recording.isEmpty() ? trainOf(*signal(), samples)
                                                                 : recordingTrain(recording));
    QVERIFY2(d.compareWithSigrok, qPrintable(d.title + d.evidence.join(QLatin1Char(10))));
    std::vector<sigrok::Annotation> theirs;
    for (const QString &a : annotations) {
        const QStringList w = a.split(QLatin1Char(' '));
        theirs.push_back({w[2].toULongLong(),
                          w[3].toULongLong(),
                          {1},
                          w[0],
                          w[1],
                          {w.mid(4).join(QLatin1Char(' '))}});
    }
    const QString lines = d.compareWithSigrok(theirs).join(QLatin1Char('\n'));
    if (said.startsWith(QLatin1Char('!')))
        QVERIFY2(!lines.contains(said.mid(1)), qPrintable(lines));
    else
        QVERIFY2(lines.contains(said), qPrintable(lines));
}

void TestDecodeDetection::printsSharesOnTheirSideOfTheThreshold_data()
{
    QTest::addColumn<double>("share");
    QTest::addColumn<double>("threshold"); // 0: none, percentText() alone
    QTest::addColumn<QString>("text");

    QTest::newRow("just short of 95 %") << 0.947 << 0.95 << "94.7 %";
    QTest::newRow("a hair short of 95 %") << 0.94996 << 0.95 << "94.996 %";
    QTest::newRow("on 95 %") << 0.95 << 0.95 << "95 %";
    QTest::newRow("above 95 %, rounded down to it") << 0.9504 << 0.95 << "95 %";
    QTest::newRow("far from 95 %") << 0.63 << 0.95 << "63 %";
    QTest::newRow("all") << 1.0 << 0.95 << "100 %";
    QTest::newRow("a duty just short of all") << 0.9996 << 0.0 << "99.96 %";
    QTest::newRow("a duty a hair short of all") << 0.9999996 << 0.0 << "99.999 %";
    QTest::newRow("a duty of a quarter") << 0.25 << 0.0 << "25 %";
}

void TestDecodeDetection::printsSharesOnTheirSideOfTheThreshold()
{
    QFETCH(double, share);
    QFETCH(double, threshold);
    QFETCH(QString, text);
    QCOMPARE(threshold > 0 ? shareText(share, threshold) : percentText(share), text);
}

void TestDecodeDetection::readsLinFramesWithTheirChecks_data()
{
    QTest::addColumn<QString>("events"); // "B" a break, "P" a pause of three frames, bytes in hex
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("checks"); // per frame: parity right, enhanced right, classic right

    QTest::newRow("the recording's frame")
        << "B 55 C1 11 11 1C" << QStringList{"ID 0x01: 11 11, checksum 0x1C"} << "ye-";
    QTest::newRow("a header without response, then a frame")
        << "B 55 A3 B 55 50 01 02 03 04 A5"
        << QStringList{"ID 0x23, no response", "ID 0x10: 01 02 03 04, checksum 0xA5"} << "y--ye-";
    QTest::newRow("a classic checksum")
        << "B 55 85 80 7F 00" << QStringList{"ID 0x05: 80 7F, checksum 0x00"} << "y-c";
    QTest::newRow("a diagnostic frame sums its data alone in LIN 2 too")
        << "B 55 3C AA 55 00" << QStringList{"ID 0x3C: AA 55, checksum 0x00"} << "yec";
    QTest::newRow("a wrong identifier parity")
        << "B 55 01 11 11 1C" << QStringList{"ID 0x01: 11 11, checksum 0x1C"} << "n--";
    QTest::newRow("no sync after the break, then a sync only")
        << "B 54 C1 B 55" << QStringList{"break without sync", "sync, no identifier"} << "------";
    QTest::newRow("bytes after a pause belong to no frame")
        << "B 55 C1 11 11 1C P 22 33" << QStringList{"ID 0x01: 11 11, checksum 0x1C"} << "ye-";
}

void TestDecodeDetection::readsLinFramesWithTheirChecks()
{
    QFETCH(QString, events);
    QFETCH(QStringList, frames);
    QFETCH(QString, checks);

    constexpr double kFrame = 26; // samples a character takes at 19200 bit/s
    std::vector<UartEvent> read;
    std::int64_t at = 0;
    for (const QString &item : events.split(QLatin1Char(' '))) {
        if (item == QLatin1String("P")) {
            at += std::int64_t(3 * kFrame);
        } else if (item == QLatin1String("B")) {
            read.push_back({at, true, 0, 36});
            at += 40;
        } else {
            read.push_back({at, false, std::uint16_t(item.toUInt(nullptr, 16)), 0});
            at += std::int64_t(kFrame);
        }
    }
    const std::vector<LinFrame> got = linFrames(read, kFrame);
    QStringList texts;
    QString results;
    for (const LinFrame &f : got) {
        texts << f.text();
        const bool checked = f.synced && f.hasId;
        results += !checked          ? QLatin1Char('-')
                   : f.parityRight() ? QLatin1Char('y')
                                     : QLatin1Char('n');
        results += f.checksumRight(true) ? QLatin1Char('e') : QLatin1Char('-');
        results += f.checksumRight(false) ? QLatin1Char('c') : QLatin1Char('-');
    }
    QCOMPARE(texts, frames);
    QCOMPARE(results, checks);
}

QTEST_GUILESS_MAIN(TestDecodeDetection)
#include "test_decode_detection.moc"
