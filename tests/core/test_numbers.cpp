// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/numbers.h"

#include <QLocale>
#include <QtTest>

#include <clocale>

using namespace wavemill;

class TestNumbers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundsHalvesToEven_data();
    void roundsHalvesToEven();
    void readsTheNumberATextBeginsWith_data();
    void readsTheNumberATextBeginsWith();
    void writesTimesAsTheViewShowsThem_data();
    void writesTimesAsTheViewShowsThem();
    void timesIgnoreACommaLocale();
    void writesCaptureDurations_data();
    void writesCaptureDurations();
    void saturatesSixteenBitFields_data();
    void saturatesSixteenBitFields();
};

void TestNumbers::roundsHalvesToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("rounded");
    QTest::newRow("1.5 up to 2") << 1.5 << 2.0;
    QTest::newRow("2.5 down to 2") << 2.5 << 2.0;
    QTest::newRow("3.5 up to 4") << 3.5 << 4.0;
    QTest::newRow("0.5 down to 0") << 0.5 << 0.0;
    QTest::newRow("-2.5 to -2") << -2.5 << -2.0;
    QTest::newRow("view width over zoom 10") << 1021.5 << 1022.0;
    QTest::newRow("scroll maximum at zoom 2") << 31104.5625 << 31105.0;
    QTest::newRow("not a half") << 2.51 << 3.0;
}

void TestNumbers::roundsHalvesToEven()
{
    QFETCH(double, value);
    QFETCH(double, rounded);
    QCOMPARE(roundHalfEven(value), rounded);
}

void TestNumbers::readsTheNumberATextBeginsWith_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("whole") << "2" << 2.0;
    QTest::newRow("fraction") << "2.9" << 2.9;
    QTest::newRow("leading blanks") << "   3" << 3.0;
    QTest::newRow("blanks inside count for nothing") << "1 2" << 12.0;
    QTest::newRow("blank after the sign") << "- 2" << -2.0;
    QTest::newRow("negative") << "-1" << -1.0;
    QTest::newRow("plus sign") << "+4" << 4.0;
    QTest::newRow("trailing text") << "3abc" << 3.0;
    QTest::newRow("no number") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("point alone") << "." << 0.0;
    QTest::newRow("fraction without whole part") << ".5" << 0.5;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("exponent with sign") << "25E-1" << 2.5;
    QTest::newRow("exponent without digits is text") << "7e" << 7.0;
    QTest::newRow("typographic minus is not a sign") << QString::fromUtf8("\u22121") << 0.0;
    QTest::newRow("comma ends the number") << "1,5" << 1.0;
}

void TestNumbers::readsTheNumberATextBeginsWith()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(comboNumber(text), value);
}

void TestNumbers::writesTimesAsTheViewShowsThem_data()
{
    QTest::addColumn<double>("ms");
    QTest::addColumn<QString>("text");
    const double period = double(20.0736f);
    QTest::newRow("cursor at x 1000, zoom 10") << 100 * period / 1000 << " 2.007ms";
    QTest::newRow("left edge of byte 200") << period * 200 * 8 / 1000 << " 32.118ms";
    QTest::newRow("left edge of byte 1000") << period * 1000 * 8 / 1000 << " 160.589ms";
    QTest::newRow("zero has no point") << 0.0 << " 0ms";
    QTest::newRow("negative interval") << -4.01472 << "-4.015ms";
    QTest::newRow("whole number") << 12.0 << " 12ms";
    QTest::newRow("trailing zeros dropped") << 1.5 << " 1.5ms";
    QTest::newRow("below 1 ms keeps its zero") << 0.321 << " 0.321ms";
    QTest::newRow("exact half to even digit, down") << 0.0625 << " 0.062ms";
    QTest::newRow("exact half to even digit, up") << 0.1875 << " 0.188ms";
    QTest::newRow("tiny negative rounds to zero") << -0.0001 << " 0ms";
    QTest::newRow("large, no exponent") << 12345678.9 << " 12345678.9ms";
}

void TestNumbers::writesTimesAsTheViewShowsThem()
{
    QFETCH(double, ms);
    QFETCH(QString, text);
    QCOMPARE(timeText(ms), text);
}

void TestNumbers::timesIgnoreACommaLocale()
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char *cLocale = std::setlocale(LC_ALL, "de_DE.UTF-8");
    QCOMPARE(timeText(2.00736), QStringLiteral(" 2.007ms"));
    QCOMPARE(durationText(10.2), QStringLiteral(" 10.2"));
    QCOMPARE(comboNumber(QStringLiteral("2.9")), 2.9);
    QLocale::setDefault(before);
    std::setlocale(LC_ALL, "C");
    if (!cLocale)
        qInfo("de_DE.UTF-8 is not installed: only Qt's default locale was German");
}

void TestNumbers::writesCaptureDurations_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("51 ticks") << 51 / 5.0 << " 10.2";
    QTest::newRow("50 ticks") << 50 / 5.0 << " 10";
    QTest::newRow("no ticks") << 0 / 5.0 << " 0";
    QTest::newRow("one tick keeps its zero") << 1 / 5.0 << " 0.2";
    QTest::newRow("most ticks") << 32767 / 5.0 << " 6553.4";
}

void TestNumbers::writesCaptureDurations()
{
    QFETCH(double, seconds);
    QFETCH(QString, text);
    QCOMPARE(durationText(seconds), text);
}

void TestNumbers::saturatesSixteenBitFields_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("held");
    QTest::newRow("in range") << 463.0 << 463;
    QTest::newRow("above") << 70000.0 << 32767;
    QTest::newRow("below") << -70000.0 << -32768;
    QTest::newRow("not a number") << std::nan("") << 0;
}

void TestNumbers::saturatesSixteenBitFields()
{
    QFETCH(double, value);
    QFETCH(int, held);
    QCOMPARE(int(saturate16(value)), held);
}

QTEST_GUILESS_MAIN(TestNumbers)
#include "test_numbers.moc"
