// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The signals of the slow single-wire families as their datasheets and
// standards time them: each row the first stretches of a signal from a
// point in it, level and length, and the period it repeats with. A wrong
// timing here would make the detection's tests pass against a wrong signal.

#include "signals/cec_signal.h"
#include "signals/dcf77_signal.h"
#include "signals/echo_signal.h"
#include "signals/em4100_signal.h"
#include "signals/ev1527_signal.h"
#include "signals/lighting_bus_signal.h"
#include "signals/morse_signal.h"
#include "signals/one_wire_signal.h"
#include "signals/oregon_signal.h"
#include "signals/ppm_signal.h"
#include "signals/pt2262_signal.h"
#include "signals/qi_signal.h"
#include "signals/serial_frames_signal.h"
#include "signals/servo_signal.h"

#include <QtTest>

#include <cmath>
#include <memory>

using namespace wavemill::signals;

namespace {

using SignalPointer = std::shared_ptr<WaveformSignal>;

/// \a count stretches from \a fromUs: "H400 L1200 ...", lengths in µs to
/// a tenth; the first one from \a fromUs on.
QString stretches(const WaveformSignal &signal, double fromUs, int count)
{
    QStringList out;
    double at = fromUs;
    for (int k = 0; k < count; ++k) {
        const Stretch s = signal.stretchAtUs(at);
        const double until = s.until;
        if (std::isinf(until)) {
            out << QStringLiteral("%1...").arg(s.high ? 'H' : 'L');
            break;
        }
        out << QStringLiteral("%1%2")
                   .arg(s.high ? 'H' : 'L')
                   .arg(std::round((until - at) * 10) / 10, 0, 'g', 12);
        at = until;
    }
    return out.join(QLatin1Char(' '));
}

} // namespace

Q_DECLARE_METATYPE(SignalPointer)

class TestFamilySignals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void timesEachFamilyAsSpecified_data();
    void timesEachFamilyAsSpecified();
    void carriesTheBitsItIsGiven();
    void sendsMorseAtTheStandardWordLength();
    void framesATagAsTheDatasheetDoes_data();
    void framesATagAsTheDatasheetDoes();
};

void TestFamilySignals::timesEachFamilyAsSpecified_data()
{
    QTest::addColumn<SignalPointer>("signal");
    QTest::addColumn<double>("fromUs");
    QTest::addColumn<QString>("expected"); // the first stretches from fromUs
    QTest::addColumn<double>("periodUs");  // 0: does not repeat

    // PT2262 at a 100 µs clock: digits 0, F, 1 of two pulses of 4 or 12
    // clocks in 16, then the sync, 4 clocks and 124; a word is 512 clocks.
    QTest::newRow("pt2262 digits and sync")
        << SignalPointer(std::make_shared<Pt2262Signal>("0F1000000000", 100, 1, 100000)) << 20000.0
        << "H400 L1200 H400 L1200 H400 L1200 H1200 L400 H1200 L400 H1200 L400" << 100000.0;
    QTest::newRow("pt2262 sync, then the next word")
        << SignalPointer(std::make_shared<Pt2262Signal>("000000000000", 100, 2, 200000, false))
        << 20000.0 + 384 * 100 << "L400 H12400 L400 H1200" << 200000.0;
    // EV1527 at 300 µs units: sync 1 + 31, then bits of 1 + 3 (0) or 3 + 1
    // (1), the id's most significant first.
    QTest::newRow("ev1527 sync and first bits")
        << SignalPointer(std::make_shared<Ev1527Signal>(0x80001, 0x3, 300, 1, 100000)) << 20000.0
        << "H300 L9300 H900 L300 H300 L900" << 100000.0;
    // DCF77: a 100 ms pulse for a 0, 200 ms for a 1, none in second 59.
    QTest::newRow("dcf77 minute mark")
        << SignalPointer(std::make_shared<Dcf77Signal>(Dcf77Time{}, 58, 2)) << 0.0
        << "H100000 L1900000 H100000 L900000" << 0.0;
    // CEC: start 3.7 ms low of 4.5; a 0 low 1.5 ms of 2.4, a 1 low 0.6 ms.
    QTest::newRow("cec start and header 0x40")
        << SignalPointer(
               std::make_shared<CecSignal>(std::vector<std::vector<std::uint8_t>>{{0x40}}, 10000))
        << 10000.0 << "L3700 H800 L1500 H900 L600 H1800 L1500 H900"
        << 10000 + 4500 + 10 * 2400 + 10000.0;
    // DALI: 416.7 µs half-bits, idle high; the start bit and a 1 low then high.
    QTest::newRow("dali start bit and 0x80")
        << SignalPointer(std::make_shared<LightingBusSignal>(
               false, std::vector<std::vector<std::uint8_t>>{{0x80}}, 5000))
        << 5000.0 << "L416.7 H416.7 L416.7 H833.3 L416.7 H416.7" << 2 * 5000 + 9 * 1e6 / 1200;
    // DSI: 833.3 µs half-bits, idle low; a 0 low then high, the start bit a 0.
    QTest::newRow("dsi start bit and 0x7F")
        << SignalPointer(std::make_shared<LightingBusSignal>(
               true, std::vector<std::vector<std::uint8_t>>{{0x7F}}, 5000))
        << 5000.0 + 1e6 / 1200 << "H833.3 L833.3 H1666.7 L833.3 H833.3" << 2 * 5000 + 9 * 1e6 / 600;
    // Oregon: 488.3 µs half-bits, the carrier in the first half of a 1;
    // the receiver's highs 100 µs short.
    QTest::newRow("oregon preamble with skew")
        << SignalPointer(std::make_shared<OregonSignal>(false, "1D20", 1, 0x10, std::vector<int>{0},
                                                        1e6, 100))
        << 5000.0 << "H388.3 L588.3 H388.3 L588.3" << 1e6;
    // Qi: half-bits of 250 µs; a 1 changes in its middle, a 0 does not.
    QTest::newRow("qi preamble, then a start bit")
        << SignalPointer(std::make_shared<QiSignal>(
               std::vector<std::vector<std::uint8_t>>{{0x01, 0x00}}, 100000))
        << 50000.0 + 20 * 250 << "H250 L250 H500" << 100000.0;
    // EM4100: the header's last 1, then the rows "0001 1": half-bits of 4
    // carrier cycles a bit's divider, a 1 high then low, or low then high.
    QTest::newRow("em4100 RF/64, header into the first row")
        << SignalPointer(std::make_shared<Em4100Signal>(0x12, 0x34567890))
        << 8 * 512.0 << "H256 L512 H256 L256 H256 L256 H512 L256" << 64 * 512.0;
    QTest::newRow("em4100 RF/16, a 1 low then high")
        << SignalPointer(std::make_shared<Em4100Signal>(0x12, 0x34567890, 16, false))
        << 8 * 128.0 << "L64 H128 L64 H64 L64 H64 L128 H64" << 64 * 128.0;
    // Servo at 50 Hz from 1 to 2 ms over 1 s: out in 25 pulses, back in 25.
    QTest::newRow("servo pulses") << SignalPointer(
                                         std::make_shared<ServoSignal>(20000, 1000, 2000, 1e6))
                                  << 0.0 << "H1000 L19000 H1040 L18960" << 1e6;
    // PPM: a marker of 300 µs for each channel and one more, the rest sync.
    QTest::newRow("ppm frame") << SignalPointer(std::make_shared<PpmSignal>(
                                      std::vector<double>{1000, 2000}, 20000, 300))
                               << 0.0 << "H300 L700 H300 L1700 H300 L16700" << 20000.0;
    // Echo: 2 m there and back at 343 m/s is 11.66 ms; out to 3 m and back
    // over ten pings, a cosine.
    double echoes = 0;
    for (int k = 0; k < 10; ++k)
        echoes += 2 * (2.0 + (1 - std::cos(2 * M_PI * k / 10)) / 2) / 343e-6 + 5000;
    QTest::newRow("ultrasonic echo")
        << SignalPointer(std::make_shared<EchoSignal>(2.0, 3.0, 5000, 10)) << 0.0
        << "H11661.8 L5000 H12218.6" << echoes;
    // Serial at 31,250 bit/s: 0xFE is low for its start bit and bit 0.
    QTest::newRow("midi active sensing")
        << SignalPointer(std::make_shared<SerialFramesSignal>(std::vector<std::uint8_t>{0xFE},
                                                              SerialFraming{31250}, 300000))
        << 1000.0 << "L64 H299936" << 300000.0;
    QTest::newRow("dmx break and mark")
        << SignalPointer(std::make_shared<SerialFramesSignal>(
               std::vector<std::uint8_t>{0x00}, SerialFraming{250000, 2, 100, 12}, 10000))
        << 1000.0 << "L100 H12 L36 H9852" << 10000.0;
    QTest::newRow("serial through a coupler that narrows lows")
        << SignalPointer(std::make_shared<SerialFramesSignal>(
               std::vector<std::uint8_t>{0x00}, SerialFraming{9600, 1, 0, 0, 20}, 10000))
        << 1000.0 << "L20 H9980" << 10000.0;
    // 1-Wire: reset 480 µs, presence after 30 µs for 120, slots of 65 µs.
    QTest::newRow("1-wire reset and a 1 and a 0")
        << SignalPointer(std::make_shared<OneWireSignal>(std::vector<std::uint8_t>{0x01}, 10000))
        << 1000.0 << "L480 H30 L120 H330 L6 H59 L60 H5" << 10000.0;
}

void TestFamilySignals::timesEachFamilyAsSpecified()
{
    QFETCH(SignalPointer, signal);
    QFETCH(double, fromUs);
    QFETCH(QString, expected);
    QFETCH(double, periodUs);

    const QString seen = stretches(*signal, fromUs, int(expected.count(QLatin1Char(' '))) + 1);
    QCOMPARE(seen, expected);
    QCOMPARE(signal->periodUs(), periodUs);
    // Repeated, each period begins where the first did.
    if (periodUs > 0)
        QCOMPARE(stretches(*signal, fromUs + periodUs, 3), stretches(*signal, fromUs, 3));
}

void TestFamilySignals::carriesTheBitsItIsGiven()
{
    // 2024-12-31 (a Tuesday) 23:59: minute 59 is BCD 1001 101 from bit 21,
    // hour 23 is 1100 01 from bit 29, and each group's parity makes it even.
    const std::array<int, 59> bits = Dcf77Signal::minuteBits({24, 12, 31, 2, 23, 59, false});
    const std::array<int, 8> minute{1, 0, 0, 1, 1, 0, 1, 0}; // bits 21 to 28, parity 0
    for (std::size_t k = 0; k < minute.size(); ++k)
        QCOMPARE(bits[21 + k], minute[k]);
    const std::array<int, 7> hour{1, 1, 0, 0, 0, 1, 1}; // bits 29 to 35, parity 1
    for (std::size_t k = 0; k < hour.size(); ++k)
        QCOMPARE(bits[29 + k], hour[k]);
    int dateOnes = 0;
    for (std::size_t k = 36; k <= 58; ++k)
        dateOnes += bits[k];
    QCOMPARE(dateOnes % 2, 0);
    QCOMPARE(bits[0], 0);
    QCOMPARE(bits[20], 1);
    QCOMPARE(bits[18], 1); // CET
}

void TestFamilySignals::sendsMorseAtTheStandardWordLength()
{
    // "PARIS " is the standard word, 50 units: at 20 words a minute 3 s, a
    // dot 60 ms (with the 7 units before the text, and 7 after it).
    const MorseSignal morse("PARIS", 20);
    QCOMPARE(morse.periodUs(), 3e6 + 7 * 60000);
    QCOMPARE(stretches(morse, 7 * 60000, 4), QStringLiteral("H60000 L60000 H180000 L60000"));
}

void TestFamilySignals::framesATagAsTheDatasheetDoes_data()
{
    QTest::addColumn<int>("customer");
    QTest::addColumn<uint>("id");
    QTest::addColumn<QString>("bits"); // header, rows with their parity, columns and stop

    QTest::newRow("0x12 34567890")
        << 0x12 << 0x34567890U
        << "111111111 00011 00101 00110 01001 01010 01100 01111 10001 10010 00000 00010";
    QTest::newRow("all ones: every row parity 0")
        << 0xFF << 0xFFFFFFFFU
        << "111111111 11110 11110 11110 11110 11110 11110 11110 11110 11110 11110 00000";
    QTest::newRow("one bit: its row and column odd")
        << 0x00 << 0x00000004U
        << "111111111 00000 00000 00000 00000 00000 00000 00000 00000 00000 01001 01000";
}

void TestFamilySignals::framesATagAsTheDatasheetDoes()
{
    QFETCH(int, customer);
    QFETCH(uint, id);
    QFETCH(QString, bits);
    QString seen;
    for (const bool bit : Em4100Signal::frame(std::uint8_t(customer), id))
        seen += bit ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(seen, QString(bits).remove(QLatin1Char(' ')));
}

QTEST_GUILESS_MAIN(TestFamilySignals)
#include "test_family_signals.moc"
