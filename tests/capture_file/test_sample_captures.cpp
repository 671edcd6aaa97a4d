// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/sample_period.h"
#include "core/samples.h"
#include "capture_file/capture_file_format.h"
#include "examples/example_signals.h"

#include "capture_file_test_support.h"

#include <QTest>

using namespace wavemill;
using namespace wavemill::testing;

namespace {

constexpr double kPeriodUs = double(kSamplePeriod);
constexpr int kSampleCount = kTraceBufferSize * 8;

int level(const TraceBuffer &buffer, int sample)
{
    return sampleLevel(buffer[sample / kSamplesPerByte], sample % kSamplesPerByte);
}

/// Reads serial frames the way a receiver would: a falling edge from the idle
/// high level starts a frame, each bit is taken in its middle, least
/// significant first, and a frame without its stop bit ends the reading.
QByteArray decodeUart(const TraceBuffer &buffer, double baud)
{
    const double bitUs = 1e6 / baud;
    const auto sampleAt = [&](double us) { return int(us / kPeriodUs); };
    QByteArray text;
    int s = 1;
    while (s < kSampleCount) {
        if (!(level(buffer, s - 1) == 1 && level(buffer, s) == 0)) {
            ++s;
            continue;
        }
        const double start = s * kPeriodUs;
        if (sampleAt(start + 9.5 * bitUs) >= kSampleCount)
            break;
        int byte = 0;
        for (int bit = 0; bit < 8; ++bit)
            byte |= level(buffer, sampleAt(start + (1.5 + bit) * bitUs)) << bit;
        if (level(buffer, sampleAt(start + 9.5 * bitUs)) != 1)
            break; // framing error
        text.append(char(byte));
        s = sampleAt(start + 9.5 * bitUs);
    }
    return text;
}

/// The share of samples at the high level over the first \a samples.
double highShare(const TraceBuffer &buffer, int samples)
{
    int high = 0;
    for (int s = 0; s < samples; ++s)
        high += level(buffer, s);
    return double(high) / samples;
}

} // namespace

class TestSampleCaptures : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exampleLoadsWithItsSignals_data();
    void exampleLoadsWithItsSignals();
};

void TestSampleCaptures::exampleLoadsWithItsSignals_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("firstLines");
    QTest::addColumn<double>("duty");            // of trace 2 over its first 20 ms
    QTest::addColumn<QByteArray>("trace2Start"); // its first bytes

    // 25 % of 1 ms is high for samples 0 to 12: 0xFF 0xF8.
    QTest::newRow("uart-hello.ird") << QStringLiteral("uart-hello.ird")
                                    << QByteArray("Hello, Wavemill!\r\nHello, Wavemill!\r\n")
                                    << 0.25 << QByteArray::fromHex("fff800");
    // 10 % of 2 ms is high for samples 0 to 9: 0xFF 0xC0.
    QTest::newRow("pwm.ird") << QStringLiteral("pwm.ird")
                             << QByteArray("duty 10%\r\nduty 20%\r\nduty 30%\r\n") << 0.10
                             << QByteArray::fromHex("ffc000");
    // 75 % of 0.5 ms is high for samples 0 to 18: 0xFF 0xFF 0xE0.
    QTest::newRow("mixed.ird") << QStringLiteral("mixed.ird")
                               << QByteArray("count 0000\r\ncount 0001\r\n") << 0.75
                               << QByteArray::fromHex("ffffe0");
}

void TestSampleCaptures::exampleLoadsWithItsSignals()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, firstLines);
    QFETCH(double, duty);
    QFETCH(QByteArray, trace2Start);

    const QString path = QStringLiteral(WAVEMILL_EXAMPLES_DIR "/") + fileName;
    QCOMPARE(QFileInfo(path).size(), qint64(190467));
    auto traces = std::make_unique<TraceBuffers>();
    QVERIFY(capture_file::readCaptureFile(path, *traces));

    const TraceBuffer &text = *traces->trace(1);
    QCOMPARE(text[0], std::uint8_t(0xFF)); // the serial line idles high
    const QByteArray decoded = decodeUart(text, 9600);
    QVERIFY2(decoded.startsWith(firstLines), decoded.left(64).constData());

    const TraceBuffer &pwm = *traces->trace(2);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(pwm.data()), trace2Start.size()),
             trace2Start);
    const int twentyMs = int(20000 / kPeriodUs);
    QVERIFY2(qAbs(highShare(pwm, twentyMs) - duty) < 0.01,
             qPrintable(QString::number(highShare(pwm, twentyMs))));

    // Something happens on trace 3: it is neither flat nor a plain copy.
    int changes = 0;
    const TraceBuffer &busy = *traces->trace(3);
    for (int s = 1; s < kSampleCount; ++s)
        changes += level(busy, s) != level(busy, s - 1);
    QVERIFY2(changes > 100, qPrintable(QString::number(changes)));

    // The committed file is what the generator makes now, and all its text decodes.
    for (const auto &example : examples::makeExamples()) {
        if (example.fileName != fileName)
            continue;
        QVERIFY2(sameTraces(*traces, *example.traces),
                 "out of date: run wavemill-make-examples examples");
        QCOMPARE(decoded, example.uartText);
        return;
    }
    QFAIL("the generator makes no such example");
}

QTEST_GUILESS_MAIN(TestSampleCaptures)
#include "test_sample_captures.moc"
