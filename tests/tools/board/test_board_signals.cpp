// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/sample_period.h"
#include "signals/file_bytes.h"
#include "signals/signals.h"
#include "signals/waveform.h"

#include <QtTest>

#include <cmath>

using namespace wavemill;
using namespace wavemill::signals;

namespace {

/// Runs of equal samples, as (level, length), from the first change on.
std::vector<std::pair<bool, int>> runs(const std::vector<bool> &samples)
{
    std::vector<std::pair<bool, int>> out;
    for (bool s : samples) {
        if (!out.empty() && out.back().first == s)
            ++out.back().second;
        else
            out.push_back({s, 1});
    }
    return out;
}

/// A serial-line receiver as a logic analyser user would write one: wait for
/// a falling edge, then read each bit in its middle.
std::string decodeUart(const std::vector<bool> &samples, double baud, bool *framingOk)
{
    const double samplesPerBit = 1e6 / (baud * kSamplePeriodUs);
    std::string text;
    *framingOk = true;
    std::size_t i = 1;
    while (i < samples.size()) {
        if (!(samples[i - 1] && !samples[i])) {
            ++i;
            continue;
        }
        const double start = double(i);
        auto at = [&](double bit) {
            const auto index = std::size_t(start + (bit + 0.5) * samplesPerBit);
            return index < samples.size() ? samples[index] : true;
        };
        if (std::size_t(start + 10 * samplesPerBit) >= samples.size())
            break;
        if (at(0) || !at(9))
            *framingOk = false;
        unsigned char c = 0;
        for (int b = 0; b < 8; ++b)
            c |= (at(1 + b) ? 1u : 0u) << b;
        text.push_back(char(c));
        i = std::size_t(start + 9.5 * samplesPerBit);
    }
    return text;
}

/// The level of \a wave at \a us.
bool levelAt(const Waveform &wave, double us)
{
    bool level = true;
    for (const Change &change : wave.changes) {
        if (change.atUs > us)
            break;
        level = change.high;
    }
    return level;
}

/// Samples given one by one, to see where they land in the bytes.
class MarkEveryTenth : public SampledSignal
{
public:
    bool level(std::uint64_t i) const override { return i % 10 == 0; }
};

} // namespace

class BoardSignals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void packsTheEarliestSampleIntoBit7();
    void squareWaveHasItsFrequencyAndDuty_data();
    void squareWaveHasItsFrequencyAndDuty();
    void squareWaveExtremesStayFlat();
    void uartTextDecodesBackToTheText_data();
    void uartTextDecodesBackToTheText();
    void uartLineIdlesHighAroundTheText();
    void randomBytesFollowTheirSeed();
    void fileBytesEndOrRepeat();
    void uartWaveformFramesAsAsked_data();
    void uartWaveformFramesAsAsked();
    void pwmWaveformKeepsItsPeriodAndDuty();
};

void BoardSignals::packsTheEarliestSampleIntoBit7()
{
    MarkEveryTenth signal;
    const std::vector<std::uint8_t> bytes = take(signal, 6);
    // Samples 0, 10, 20, 30, 40: bit 7 of byte 0, bit 5 of byte 1, bit 3 of
    // byte 2, bit 1 of byte 3, none in byte 4, bit 7 of byte 5.
    QCOMPARE(bytes, (std::vector<std::uint8_t>{0x80, 0x20, 0x08, 0x02, 0x00, 0x80}));
    signal.rewind();
    QCOMPARE(take(signal, 1), std::vector<std::uint8_t>{0x80});

    const std::vector<bool> samples = unpack({0x80, 0x01});
    QCOMPARE(samples.size(), std::size_t(16));
    QVERIFY(samples[0] && !samples[1] && !samples[14] && samples[15]);
}

void BoardSignals::squareWaveHasItsFrequencyAndDuty_data()
{
    QTest::addColumn<double>("hz");
    QTest::addColumn<double>("duty");
    QTest::newRow("1 kHz half") << 1000.0 << 0.5;
    QTest::newRow("1 kHz quarter") << 1000.0 << 0.25;
    QTest::newRow("440 Hz tenth") << 440.0 << 0.1;
    QTest::newRow("5 kHz three quarters") << 5000.0 << 0.75;
    QTest::newRow("37 Hz slow") << 37.0 << 0.5;
}

void BoardSignals::squareWaveHasItsFrequencyAndDuty()
{
    QFETCH(double, hz);
    QFETCH(double, duty);
    SquareWave signal(hz, duty);
    const std::vector<bool> samples = unpack(take(signal, kCaptureBytes));
    QVERIFY(samples.front());

    const double period = 1e6 / (hz * kSamplePeriodUs); // in samples
    const auto r = runs(samples);
    // Whole periods only: drop the last, possibly cut, run.
    int highs = 0;
    long highSamples = 0;
    long periodSamples = 0;
    for (std::size_t k = 0; k + 2 < r.size(); k += 2) {
        QVERIFY(r[k].first);
        QVERIFY(std::abs(r[k].second - duty * period) <= 1.0);
        QVERIFY(std::abs(r[k].second + r[k + 1].second - period) <= 1.0);
        ++highs;
        highSamples += r[k].second;
        periodSamples += r[k].second + r[k + 1].second;
    }
    QVERIFY(highs > 10);
    // Over the whole capture the rate does not drift.
    const double expectedPeriods = double(samples.size()) / period;
    QVERIFY2(std::abs(std::ceil(expectedPeriods) - double((r.size() + 1) / 2)) <= 1,
             qPrintable(QString::number(r.size())));
    QVERIFY(std::abs(double(highSamples) / periodSamples - duty) < 0.01);
}

void BoardSignals::squareWaveExtremesStayFlat()
{
    SquareWave low(1000, 0);
    SquareWave high(1000, 1);
    QCOMPARE(take(low, 300), std::vector<std::uint8_t>(300, 0x00));
    QCOMPARE(take(high, 300), std::vector<std::uint8_t>(300, 0xFF));
}

void BoardSignals::uartTextDecodesBackToTheText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("baud");
    QTest::newRow("9600 greeting") << QByteArray("Hello, board\r\n") << 9600.0;
    QTest::newRow("2400 letters") << QByteArray("abcXYZ") << 2400.0;
    QTest::newRow("19200 edge bytes") << QByteArray("U\x00\xff\x80\x01", 5) << 19200.0;
    QTest::newRow("300 one letter") << QByteArray("Z") << 300.0;
}

void BoardSignals::uartTextDecodesBackToTheText()
{
    QFETCH(QByteArray, text);
    QFETCH(double, baud);
    UartText signal(text.toStdString(), baud, false);
    const double bytesNeeded = (text.size() + 3) * 10 * 1e6 / baud / kSamplePeriodUs / 8;
    const std::vector<bool> samples = unpack(take(signal, std::size_t(bytesNeeded)));
    bool framingOk = false;
    QCOMPARE(QByteArray::fromStdString(decodeUart(samples, baud, &framingOk)), text);
    QVERIFY(framingOk);

    // With repeat, the text comes again after an idle gap.
    UartText repeated(text.toStdString(), baud, true);
    const std::vector<bool> twice = unpack(take(repeated, std::size_t(2 * bytesNeeded)));
    const QByteArray decoded = QByteArray::fromStdString(decodeUart(twice, baud, &framingOk));
    QVERIFY(decoded.size() >= 2 * text.size());
    QCOMPARE(decoded, text.repeated(3).left(decoded.size()));
    QVERIFY(framingOk);
}

void BoardSignals::uartLineIdlesHighAroundTheText()
{
    const double baud = 9600;
    const double samplesPerBit = 1e6 / (baud * kSamplePeriodUs);
    UartText signal("A", baud, false);
    const std::vector<bool> samples = unpack(take(signal, 200));
    const auto r = runs(samples);
    // Idle for one character time, then 'A' = 0x41: start 0, bits 1000 0010, stop 1.
    QCOMPARE(r.front().first, true);
    QVERIFY(std::abs(r[0].second - UartText::kIdleBits * samplesPerBit) <= 1);
    const std::vector<std::pair<bool, double>> frame = {
        {false, 1}, {true, 1}, {false, 5}, {true, 1}, {false, 1}};
    for (std::size_t k = 0; k < frame.size(); ++k) {
        QCOMPARE(r[k + 1].first, frame[k].first);
        QVERIFY(std::abs(r[k + 1].second - frame[k].second * samplesPerBit) <= 1);
    }
    // Stop bit, then high for good.
    QCOMPARE(r.size(), frame.size() + 2);
    QVERIFY(r.back().first);
}

void BoardSignals::randomBytesFollowTheirSeed()
{
    RandomBytes a(7);
    RandomBytes b(7);
    RandomBytes c(8);
    const std::vector<std::uint8_t> first = take(a, kCaptureBytes);
    QCOMPARE(take(b, kCaptureBytes), first);
    QVERIFY(take(c, kCaptureBytes) != first);
    a.rewind();
    QCOMPARE(take(a, 100), std::vector<std::uint8_t>(first.begin(), first.begin() + 100));
    std::array<int, 256> counts{};
    for (std::uint8_t v : first)
        ++counts[v];
    // Every value turns up, none much more than its share (248 each).
    for (int n : counts)
        QVERIFY2(n > 150 && n < 350, qPrintable(QString::number(n)));
}

void BoardSignals::fileBytesEndOrRepeat()
{
    // Longer than one piece read at a time, and an odd length: the pieces'
    // seams and the repeat's fall anywhere in the stream.
    std::vector<std::uint8_t> content(70001);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = std::uint8_t(i * 7 + i / 256);
    QTemporaryDir dir;
    const auto write = [&](const char *name, const std::vector<std::uint8_t> &bytes) {
        QFile file(dir.filePath(QLatin1String(name)));
        file.open(QIODevice::WriteOnly);
        file.write(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
        return file.fileName().toStdString();
    };
    std::string why;
    auto once = FileBytes::open(write("once", content), false, why);
    auto repeated = FileBytes::open(write("repeated", content), true, why);
    auto empty = FileBytes::open(write("empty", {}), true, why);
    QVERIFY(once && repeated && empty);
    QCOMPARE(take(*once, 100000), content);
    std::vector<std::uint8_t> thrice;
    for (int i = 0; i < 3; ++i)
        thrice.insert(thrice.end(), content.begin(), content.end());
    thrice.resize(140005); // twice, and three bytes of the third time
    QCOMPARE(take(*repeated, 140005), thrice);
    QVERIFY(take(*empty, 5).empty());
    once->rewind();
    QCOMPARE(take(*once, 2), (std::vector<std::uint8_t>{content[0], content[1]}));
    // What cannot start over nor be known to end is refused.
    QVERIFY(!FileBytes::open(dir.path().toStdString(), false, why));
    QVERIFY(!FileBytes::open("/dev/zero", false, why));
}

void BoardSignals::uartWaveformFramesAsAsked_data()
{
    using Parity = UartFraming::Parity;
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<double>("stopBits");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<QString>("frame"); // 'K' (0x4B) bit by bit, then the next frame's start
    QTest::newRow("8N1") << 8 << int(Parity::None) << 1.0 << false << "01101001010";
    QTest::newRow("7E1: four ones, even") << 7 << int(Parity::Even) << 1.0 << false
                                         << "01101001010";
    QTest::newRow("7O2") << 7 << int(Parity::Odd) << 2.0 << false << "011010011110";
    QTest::newRow("5N1.5, the rest of the byte dropped") << 5 << int(Parity::None) << 1.5 << false
                                                        << "01101010";
    QTest::newRow("9E1, the ninth bit 0") << 9 << int(Parity::Even) << 1.0 << false
                                         << "0110100100010";
    QTest::newRow("8N1 inverted") << 8 << int(Parity::None) << 1.0 << true << "10010110101";
}

void BoardSignals::uartWaveformFramesAsAsked()
{
    QFETCH(int, dataBits);
    QFETCH(int, parity);
    QFETCH(double, stopBits);
    QFETCH(bool, inverted);
    QFETCH(QString, frame);
    const UartFraming framing{dataBits, UartFraming::Parity(parity), stopBits, inverted};
    constexpr double kBitUs = 100; // 10 kbit/s
    const Waveform wave = uartWaveform(500, "KK", 1e6 / kBitUs, framing);
    // Read in each bit's middle; a stop bit of 1.5 is read once.
    QString read;
    const double frameBits = 1 + dataBits + (parity ? 1 : 0) + stopBits;
    for (int bit = 0; bit < frame.size() - 1; ++bit)
        read += levelAt(wave, 500 + (bit + 0.5) * kBitUs) ? '1' : '0';
    read += levelAt(wave, 500 + (frameBits + 0.5) * kBitUs) ? '1' : '0';
    QCOMPARE(read, frame);
    QCOMPARE(wave.endUs, 500 + 2 * frameBits * kBitUs);
}

void BoardSignals::pwmWaveformKeepsItsPeriodAndDuty()
{
    // Four periods of 250 us, 20 % high, the last cut at the end.
    const Waveform wave = pwmWaveform(100, 1050, 250, 0.2);
    QCOMPARE(wave.changes.size(), std::size_t(8));
    for (std::size_t i = 0; i < wave.changes.size(); i += 2) {
        QCOMPARE(wave.changes[i].atUs, 100 + 125.0 * double(i));
        QVERIFY(wave.changes[i].high && !wave.changes[i + 1].high);
        QCOMPARE(wave.changes[i + 1].atUs - wave.changes[i].atUs, 50.0);
    }
    QCOMPARE(wave.endUs, 1050.0);
}

QTEST_GUILESS_MAIN(BoardSignals)
#include "test_board_signals.moc"
