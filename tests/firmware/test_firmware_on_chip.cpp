// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The board's firmware, as built, in a simulated ATmega328P: what it sends
// for a known signal on PD2, and when it takes its samples.

#include "core/sample_period.h"
#include "core/samples.h"
#include "board/firmware_image.h"
#include "board/simulated_chip.h"
#include "signals/infrared_remote.h"
#include "signals/signals.h"

#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>

using namespace wavemill;
using namespace wavemill::board;
using namespace wavemill::signals;

namespace {

using SignalMaker = std::function<std::unique_ptr<Signal>()>;

constexpr double kByteCycles = kSamplesPerByte * SimulatedChip::kSampleCycles;

} // namespace

Q_DECLARE_METATYPE(SignalMaker)

class FirmwareOnChip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void sendsTheSignalSampleForSample_data();
    void sendsTheSignalSampleForSample();
    void runsTheHexAsItRunsTheElf();
    void takesOnlyFirmwareItCanRun_data();
    void takesOnlyFirmwareItCanRun();

private:
    SimulatedChip m_chip;
};

void FirmwareOnChip::initTestCase()
{
    const std::string why = m_chip.load(WAVEMILL_FIRMWARE_ELF);
    QVERIFY2(why.empty(), why.c_str());
}

void FirmwareOnChip::sendsTheSignalSampleForSample_data()
{
    QTest::addColumn<SignalMaker>("makeSignal");
    QTest::addColumn<double>("samples");  // how long to run, in samples
    QTest::addColumn<bool>("gridEdges");  // edges only between samples: every sample must match
    QTest::addColumn<double>("squareHz"); // a square wave's frequency, measured from the stream

    // A whole capture: the clock's accuracy and the stream's length show only over it.
    QTest::newRow("square 1 kHz, one capture")
        << SignalMaker([] { return std::make_unique<SquareWave>(1000, 0.5); })
        << double(kCaptureSamples) << false << 1000.0;
    QTest::newRow("uart 9600 text") << SignalMaker([] {
        return std::make_unique<UartText>("Hello, Wavemill!\r\n", 9600, true);
    }) << 25000.0 << false << 0.0;
    QTest::newRow("uart 19200, idling low") << SignalMaker([] {
        return std::make_unique<InvertedSignal>(
            std::make_unique<UartText>("Wavemill", 19200, true));
    }) << 8000.0 << false << 0.0;
    QTest::newRow("nec remote") << SignalMaker([] {
        return std::make_unique<InfraredRemote>(RemoteFamily::Nec, 4, 8);
    }) << 8000.0 << false << 0.0;
    QTest::newRow("rc6 remote") << SignalMaker([] {
        return std::make_unique<InfraredRemote>(RemoteFamily::Rc6, 26, 64);
    }) << 2000.0 << false << 0.0;
    QTest::newRow("random, edges on the sample grid")
        << SignalMaker([] { return std::make_unique<RandomBytes>(7); }) << 8000.0 << true << 0.0;
    QTest::newRow("random inverted") << SignalMaker([] {
        return std::make_unique<InvertedSignal>(std::make_unique<RandomBytes>(7));
    }) << 8000.0 << true << 0.0;
}

void FirmwareOnChip::sendsTheSignalSampleForSample()
{
    QFETCH(SignalMaker, makeSignal);
    QFETCH(double, samples);
    QFETCH(bool, gridEdges);
    QFETCH(double, squareHz);

    const std::unique_ptr<Signal> signal = makeSignal();
    m_chip.reset(signal.get());
    const auto endCycle = std::uint64_t(std::ceil(samples * SimulatedChip::kSampleCycles));
    QVERIFY2(m_chip.runUntil(endCycle), m_chip.why().c_str());
    const std::vector<SimulatedChip::SerialByte> sent = m_chip.takeSerial();
    const SampleTiming &timing = m_chip.sampleTiming();

    // As many bytes as the run holds, one every 8 samples, with no gap.
    // (simavr's UART model hands a byte over a few cycles either way of its
    // time, never anything near a sample's 321.)
    const double expectedBytes = samples / kSamplesPerByte;
    QVERIFY2(std::abs(double(sent.size()) - expectedBytes) <= 2,
             qPrintable(QString::number(sent.size())));
    for (std::size_t i = 1; i < sent.size(); ++i) {
        const double gap = double(sent[i].cycle - sent[i - 1].cycle);
        QVERIFY2(
            std::abs(gap - kByteCycles) < SimulatedChip::kSampleCycles / 10,
            qPrintable(QStringLiteral("byte %1 came %2 cycles after the last").arg(i).arg(gap)));
    }

    // Each sample within 2 cycles of an ideal instant (a spread of 4), the
    // average period within 10 ppm, no sample skipped.
    QVERIFY2(timing.spreadCycles() <= 4, qPrintable(QString::number(timing.spreadCycles())));
    const double periodPpm = (timing.meanPeriodCycles() / SimulatedChip::kSampleCycles - 1) * 1e6;
    QVERIFY2(std::abs(periodPpm) < 10, qPrintable(QString::number(periodPpm)));
    QVERIFY(timing.longestGap() < 2 * SimulatedChip::kSampleCycles - 4);
    QVERIFY(timing.samples() >= sent.size() * kSamplesPerByte);

    // The signal sampled on the grid at the instants the chip read PD2: its
    // first read falls within grid sample `first`, `phase` cycles into it.
    const double firstRead = double(timing.firstCycle()) / SimulatedChip::kSampleCycles;
    const auto first = std::size_t(firstRead);
    const double phaseCycles = (firstRead - double(first)) * SimulatedChip::kSampleCycles;
    std::vector<std::uint8_t> packed;
    for (const SimulatedChip::SerialByte &byte : sent)
        packed.push_back(byte.value);
    const std::vector<bool> got = unpack(packed);
    const std::vector<bool> want =
        unpack(take(*makeSignal(), (first + got.size()) / kSamplesPerByte + 2));

    std::size_t compared = 0;
    for (std::size_t k = 1; k < got.size(); ++k) {
        const std::size_t g = first + k;
        // Within one sample of an edge, either level is right.
        if (!gridEdges && (want[g - 1] != want[g] || want[g] != want[g + 1]))
            continue;
        ++compared;
        if (got[k] != want[g])
            QFAIL(qPrintable(QStringLiteral("sample %1 is %2, the signal %3")
                                 .arg(k)
                                 .arg(int(got[k]))
                                 .arg(int(want[g]))));
    }
    // Grid edges are met exactly only when the reads keep clear of them.
    if (gridEdges)
        QVERIFY2(phaseCycles > 3 && phaseCycles < SimulatedChip::kSampleCycles - 3,
                 qPrintable(QString::number(phaseCycles)));
    // Most samples are away from an edge: the comparison is no formality.
    QVERIFY2(double(compared) > 0.5 * double(got.size()), qPrintable(QString::number(compared)));

    if (squareHz > 0) {
        // Rising edges from the first to the last, over the whole run.
        std::vector<std::size_t> rising;
        for (std::size_t k = 1; k < got.size(); ++k)
            if (!got[k - 1] && got[k])
                rising.push_back(k);
        QVERIFY(rising.size() > 2);
        const double seconds = double(rising.back() - rising.front()) * kSamplePeriodUs / 1e6;
        const double hz = double(rising.size() - 1) / seconds;
        QVERIFY2(std::abs(hz / squareHz - 1) < 20e-6, qPrintable(QString::number(hz, 'f', 4)));
        qInfo("square wave measured at %.4f Hz", hz);
    }
    qInfo("%zu bytes; PD2 read every %.6f cycles (%+.3f ppm), gaps %llu to %llu, spread %.2f "
          "cycles",
          sent.size(), timing.meanPeriodCycles(), periodPpm,
          static_cast<unsigned long long>(timing.shortestGap()),
          static_cast<unsigned long long>(timing.longestGap()), timing.spreadCycles());
}

void FirmwareOnChip::runsTheHexAsItRunsTheElf()
{
    // The package ships the .hex alone: the chip must run it as it runs the ELF.
    SimulatedChip fromHex;
    const std::string why = fromHex.load(WAVEMILL_FIRMWARE_HEX);
    QVERIFY2(why.empty(), why.c_str());
    std::vector<std::uint8_t> sent[2];
    SimulatedChip *chips[2] = {&m_chip, &fromHex};
    for (int i = 0; i < 2; ++i) {
        RandomBytes signal(3);
        chips[i]->reset(&signal);
        QVERIFY(chips[i]->runUntil(SimulatedChip::kClockHz / 20));
        for (const SimulatedChip::SerialByte &byte : chips[i]->takeSerial())
            sent[i].push_back(byte.value);
    }
    QVERIFY(sent[0].size() > 300);
    QVERIFY(sent[0] == sent[1]);
}

using FileChange = std::function<void(QByteArray &)>;
Q_DECLARE_METATYPE(FileChange)

void FirmwareOnChip::takesOnlyFirmwareItCanRun_data()
{
    // The firmware as built, changed, and what reading it says: empty when
    // it is taken, and then the same flash as the .hex the package ships.
    QTest::addColumn<QString>("file");
    QTest::addColumn<FileChange>("change");
    QTest::addColumn<QString>("says");
    const auto same = [](QByteArray &) {};
    const QString elf = QStringLiteral(WAVEMILL_FIRMWARE_ELF);
    const QString hex = QStringLiteral(WAVEMILL_FIRMWARE_HEX);
    QTest::newRow("ELF") << elf << FileChange(same) << "";
    QTest::newRow("hex") << hex << FileChange(same) << "";
    QTest::newRow("hex with bare line feeds")
        << hex << FileChange([](QByteArray &b) { b.replace("\r\n", "\n"); }) << "";
    QTest::newRow("ELF without the device note: its family alone")
        << elf << FileChange([](QByteArray &b) {
               // Each section header's type, NOTE (7), made PROGBITS (1).
               const auto word = [&](qsizetype at, int bytes) { // little-endian
                   quint32 value = 0;
                   for (int k = bytes - 1; k >= 0; --k)
                       value = value << 8 | quint8(b.at(at + k));
                   return qsizetype(value);
               };
               const qsizetype headers = word(32, 4);
               for (qsizetype i = 0; i < word(48, 2); ++i) {
                   if (word(headers + i * 40 + 4, 4) == 7)
                       b[headers + i * 40 + 4] = 1;
               }
           })
        << "";
    QTest::newRow("ELF of the avr4 family") << elf << FileChange([](QByteArray &b) {
        b[36] = 4;
        b.replace("atmega328p", QByteArray("atmega8\0\0\0", 10)); // the same length
    }) << "built for the atmega8";
    QTest::newRow("ELF whose segment lies past its end")
        << elf << FileChange([](QByteArray &b) { b[52 + 16 + 3] = 0x7F; }) // p_filesz
        << "a segment lies past its end";
    QTest::newRow("hex cut after a whole line")
        << hex << FileChange([](QByteArray &b) { b.truncate(b.indexOf('\n', 100) + 1); })
        << "ends before its end-of-file record";
    QTest::newRow("hex past 32 KiB") << hex << FileChange([](QByteArray &b) {
        b.prepend(":020000040001F9\n"); // what follows lies from 0x10000 on
    }) << "does not fit the ATmega328P's 32 KiB";
    QTest::newRow("hex record of an unknown type")
        << hex << FileChange([](QByteArray &b) { b.prepend(":00000007F9\n"); })
        << "a record of an unknown type";
}

void FirmwareOnChip::takesOnlyFirmwareItCanRun()
{
    QFETCH(QString, file);
    QFETCH(FileChange, change);
    QFETCH(QString, says);
    QFile original(file);
    QVERIFY(original.open(QIODevice::ReadOnly));
    QByteArray bytes = original.readAll();
    change(bytes);
    QTemporaryFile changed;
    QVERIFY(changed.open() && changed.write(bytes) == bytes.size() && changed.flush());
    FirmwareImage image;
    const QString why = QString::fromStdString(image.read(changed.fileName().toStdString()));
    QVERIFY2(says.isEmpty() ? why.isEmpty() : why.contains(says), qPrintable(why));
    if (says.isEmpty()) {
        FirmwareImage shipped;
        QVERIFY(shipped.read(WAVEMILL_FIRMWARE_HEX).empty());
        QVERIFY(image.flash().size() > 400 && image.flash() == shipped.flash());
    }
}

QTEST_GUILESS_MAIN(FirmwareOnChip)
#include "test_firmware_on_chip.moc"
