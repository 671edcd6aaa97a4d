// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Init_com: the eight configuration writes, in their order, for the port the
// selector names.

#include "acquisition/serial_setup.h"
#include "support/fake_serial_component.h"

#include <QtTest>

using namespace wavemill;

namespace {

const QStringList kBoardConfiguration = {
    "CommPort=1",      "RThreshold=1024",  "SThreshold=0", "Settings=115200,n,8,1",
    "InBufferCount=0", "OutBufferCount=0", "InputMode=1",  "InputLen=1024"};

} // namespace

class TestSerialSetup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsThePortNumberFromTheSelector_data();
    void readsThePortNumberFromTheSelector();
    void configuresTheSameTwice();
};

void TestSerialSetup::readsThePortNumberFromTheSelector_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("firstWrite");
    QTest::newRow("1, as at start-up") << "1"
                                       << "CommPort=1";
    QTest::newRow("2") << "2"
                       << "CommPort=2";
    QTest::newRow("1.5 rounds to 2") << "1.5"
                                     << "CommPort=2";
    QTest::newRow("2.5 rounds to 2") << "2.5"
                                     << "CommPort=2";
    QTest::newRow("3.5 rounds to 4") << "3.5"
                                     << "CommPort=4";
    QTest::newRow("abc gives 0") << "abc"
                                 << "CommPort=0";
    QTest::newRow("a device path") << "/dev/ttyUSB0"
                                   << "CommDevice=/dev/ttyUSB0";
}

void TestSerialSetup::readsThePortNumberFromTheSelector()
{
    QFETCH(QString, text);
    QFETCH(QString, firstWrite);
    testing::FakeSerialComponent port;
    QVERIFY(acquisition::Init_com(port, text).isEmpty());
    QStringList expected = kBoardConfiguration;
    expected[0] = firstWrite;
    QCOMPARE(port.writes(), expected);
    QVERIFY(!port.PortOpen());
}

void TestSerialSetup::configuresTheSameTwice()
{
    testing::FakeSerialComponent port;
    acquisition::Init_com(port, QStringLiteral("2"));
    const QStringList once = port.writes();
    acquisition::Init_com(port, QStringLiteral("2"));
    QCOMPARE(port.writes(), once + once);
    QCOMPARE(int(port.commPort()), 2);
    QCOMPARE(port.settings(), QStringLiteral("115200,n,8,1"));
    QCOMPARE(int(port.rThreshold()), 1024);
    QCOMPARE(int(port.inputLen()), 1024);
}

QTEST_GUILESS_MAIN(TestSerialSetup)
#include "test_serial_setup.moc"
