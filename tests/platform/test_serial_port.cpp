// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "acquisition/serial_setup.h"
#include "platform/qt_serial_component.h"
#include "platform/serial_settings.h"

#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

using namespace wavemill;
using platform::QtSerialComponent;
using platform::SerialComponent;

namespace {

/// A pseudo-terminal: the test writes to the master side as the board would,
/// the component opens the slave device.
class Pty
{
public:
    Pty()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0)
            m_slave = QString::fromLocal8Bit(ptsname(m_master));
    }
    ~Pty() { closeMaster(); }

    bool ok() const { return m_master >= 0 && !m_slave.isEmpty(); }
    QString slave() const { return m_slave; }

    bool write(const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN)
                    continue;
                return false;
            }
            done += n;
        }
        return true;
    }
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_slave;
};

QByteArray pattern(int size, int seed = 7)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = quint32(seed);
    for (int i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        bytes[i] = char(x >> 24);
    }
    return bytes;
}

/// Collects what each receive event delivers.
struct Receiver
{
    explicit Receiver(SerialComponent &port) : port(port)
    {
        QObject::connect(&port, &SerialComponent::OnComm, &port, [this] {
            if (this->port.CommEvent() == SerialComponent::comEventDeviceLost) {
                ++lost;
                return;
            }
            QVERIFY(!inHandler);
            inHandler = true;
            if (duringHandler)
                duringHandler();
            const QByteArray block = this->port.Input();
            sizes.append(int(block.size()));
            received += block;
            inHandler = false;
        });
    }
    SerialComponent &port;
    QByteArray received;
    QList<int> sizes;
    int lost = 0;
    bool inHandler = false;
    std::function<void()> duringHandler;
};

/// The component set up for the board on a fresh pseudo-terminal, its
/// events collected.
struct BoardLine
{
    Pty pty;
    QtSerialComponent port;
    Receiver receiver{port};

    bool configure() { return pty.ok() && acquisition::Init_com(port, pty.slave()).isEmpty(); }
    bool open() { return configure() && port.setPortOpen(true); }
};

} // namespace

class TestSerialPort : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deliversOneBlockPerThousandTwentyFourBytes_data();
    void deliversOneBlockPerThousandTwentyFourBytes();
    void raisesNothingForAnIncompleteBlock();
    void losesNothingThatArrivesDuringAHandler();
    void dropsWhatWaitedBeforeTheOpening();
    void failsCleanlyOnPortsItCannotUse_data();
    void failsCleanlyOnPortsItCannotUse();
    void reportsADeviceThatVanishes();
    void losesTheDeviceInOneStep();
    void reportsAPortHeldByAnotherProgram();
    void ordersPortsUsbFirstInNaturalOrder();
    void parsesSettings_data();
    void parsesSettings();
};

void TestSerialPort::deliversOneBlockPerThousandTwentyFourBytes_data()
{
    QTest::addColumn<int>("chunk");
    QTest::newRow("1 byte at a time") << 1;
    QTest::newRow("7 bytes") << 7;
    QTest::newRow("1000 bytes") << 1000;
    QTest::newRow("5000 bytes") << 5000;
}

void TestSerialPort::deliversOneBlockPerThousandTwentyFourBytes()
{
    QFETCH(int, chunk);
    BoardLine line;
    QVERIFY2(line.open(), qPrintable(line.port.errorText()));
    auto &[pty, port, receiver] = line;

    const QByteArray capture = pattern(63488);
    std::atomic<bool> written{false};
    std::thread writer([&] {
        for (int at = 0; at < capture.size(); at += chunk)
            pty.write(capture.mid(at, chunk));
        written = true;
    });
    QTRY_COMPARE_WITH_TIMEOUT(receiver.sizes.size(), 62, 20000);
    writer.join();
    QVERIFY(written);
    QCOMPARE(receiver.received, capture);
    QCOMPARE(receiver.sizes, QList<int>(62, 1024));
    QTest::qWait(50);
    QCOMPARE(receiver.sizes.size(), 62); // no event beyond the last block
}

void TestSerialPort::raisesNothingForAnIncompleteBlock()
{
    BoardLine line;
    QVERIFY(line.open());
    auto &[pty, port, receiver] = line;
    pty.write(pattern(1023));
    QTRY_COMPARE(int(port.InBufferCount()), 1023);
    QTest::qWait(100);
    QVERIFY(receiver.sizes.isEmpty());
    pty.write(pattern(1));
    QTRY_COMPARE(receiver.sizes.size(), 1);
    QCOMPARE(int(port.InBufferCount()), 0);
}

void TestSerialPort::losesNothingThatArrivesDuringAHandler()
{
    BoardLine line;
    QVERIFY(line.open());
    auto &[pty, port, receiver] = line;

    const QByteArray all = pattern(10 * 1024, 3);
    // The first handler is slow, and 9 more blocks arrive while it runs.
    receiver.duringHandler = [&] {
        if (receiver.sizes.isEmpty()) {
            pty.write(all.mid(1024));
            QThread::msleep(100);
        }
    };
    pty.write(all.left(1024));
    QTRY_COMPARE_WITH_TIMEOUT(receiver.sizes.size(), 10, 10000);
    QCOMPARE(receiver.received, all);
}

void TestSerialPort::dropsWhatWaitedBeforeTheOpening()
{
    BoardLine line;
    QVERIFY(line.configure());
    auto &[pty, port, receiver] = line;
    pty.write(QByteArray(700, 'x')); // before the opening: not part of a capture
    QTest::qWait(20);
    QVERIFY(port.setPortOpen(true));
    const QByteArray block = pattern(1024, 11);
    pty.write(block);
    QTRY_COMPARE(receiver.sizes.size(), 1);
    QCOMPARE(receiver.received, block);
}

void TestSerialPort::failsCleanlyOnPortsItCannotUse_data()
{
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QString>("failure");
    QTest::newRow("missing device") << "/dev/wavemill-no-such-port"
                                    << "串口/dev/wavemill-no-such-port打开失败：设备不存在";
    QTest::newRow("port number beyond the system's ports") << "999"
                                                           << "串口999打开失败：设备不存在";
    QTest::newRow("port number 0") << "abc"
                                   << "串口0打开失败：串口号无效";
    QTest::newRow("negative port number") << "-3"
                                          << "串口-3打开失败：串口号无效";
    QTest::newRow("not a serial device") << "/dev/null"
                                         << "串口/dev/null打开失败：";
}

void TestSerialPort::failsCleanlyOnPortsItCannotUse()
{
    QFETCH(QString, selector);
    QFETCH(QString, failure);
    QtSerialComponent port;
    port.setPortLister([] { return QStringList{QStringLiteral("/dev/wavemill-fake-ttyUSB0")}; });
    QVERIFY(acquisition::Init_com(port, selector).isEmpty());
    QVERIFY(!port.setPortOpen(true));
    QVERIFY(!port.PortOpen());
    QVERIFY2(port.errorText().startsWith(failure), qPrintable(port.errorText()));
    // A failed opening leaves the component usable.
    Pty pty;
    QVERIFY(acquisition::Init_com(port, pty.slave()).isEmpty());
    QVERIFY(port.setPortOpen(true));
}

void TestSerialPort::reportsADeviceThatVanishes()
{
    BoardLine line;
    QVERIFY(line.open());
    auto &[pty, port, receiver] = line;
    pty.write(pattern(2048));
    QTRY_COMPARE(receiver.sizes.size(), 2);
    pty.closeMaster();
    QTRY_COMPARE(receiver.lost, 1);
    QVERIFY(!port.PortOpen());
    QVERIFY2(port.errorText().contains(QStringLiteral("断开")), qPrintable(port.errorText()));
}

void TestSerialPort::losesTheDeviceInOneStep()
{
    BoardLine line;
    QVERIFY(line.open());
    auto &[pty, port, receiver] = line;
    pty.write(pattern(500));
    QTRY_COMPARE(int(port.InBufferCount()), 500);
    pty.closeMaster();
    // Until the loss is reported, a tick must see the port open with its
    // bytes waiting, as before; from the report on, closed with none.
    QElapsedTimer clock;
    clock.start();
    while (receiver.lost == 0 && clock.elapsed() < 5000) {
        QCoreApplication::processEvents();
        if (receiver.lost == 0) {
            QVERIFY(port.PortOpen());
            QCOMPARE(int(port.InBufferCount()), 500);
        }
    }
    QCOMPARE(receiver.lost, 1);
    QVERIFY(!port.PortOpen());
    QCOMPARE(int(port.InBufferCount()), 0);
    QVERIFY(receiver.sizes.isEmpty());
}

void TestSerialPort::reportsAPortHeldByAnotherProgram()
{
    BoardLine line;
    QVERIFY(line.open());
    QtSerialComponent second;
    QVERIFY(acquisition::Init_com(second, line.pty.slave()).isEmpty());
    QVERIFY(!second.setPortOpen(true));
    QCOMPARE(second.errorText(), QStringLiteral("串口") + line.pty.slave() +
                                     QStringLiteral("打开失败：没有访问权限或已被其他程序占用"));
    line.port.setPortOpen(false);
    QVERIFY(second.setPortOpen(true)); // free again
}

void TestSerialPort::ordersPortsUsbFirstInNaturalOrder()
{
    const QStringList ordered = platform::orderSerialPortNames(
        {"ttyS10", "ttyS2", "ttyUSB1", "ttyS0", "ttyACM0", "ttyUSB0", "ttyUSB10", "ttyUSB2"});
    QCOMPARE(ordered, (QStringList{"ttyACM0", "ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyUSB10", "ttyS0",
                                   "ttyS2", "ttyS10"}));
    QtSerialComponent port;
    port.setPortLister([] { return QStringList{"/dev/ttyUSB0", "/dev/ttyS0"}; });
    QCOMPARE(port.deviceForPort(1), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(port.deviceForPort(2), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(port.deviceForPort(3), QString());
    QCOMPARE(port.deviceForPort(0), QString());
}

void TestSerialPort::parsesSettings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("baud");
    QTest::newRow("the board's") << "115200,n,8,1" << true << 115200;
    QTest::newRow("even parity, 7 bits, 2 stops") << "9600,E,7,2" << true << 9600;
    QTest::newRow("one and a half stop bits") << "300,o,5,1.5" << true << 300;
    QTest::newRow("unknown parity") << "9600,x,8,1" << false << 0;
    QTest::newRow("nine data bits") << "9600,n,9,1" << false << 0;
    QTest::newRow("no baud rate") << ",n,8,1" << false << 0;
    QTest::newRow("missing field") << "9600,n,8" << false << 0;
}

void TestSerialPort::parsesSettings()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, baud);
    const auto settings = platform::SerialSettings::parse(text);
    QCOMPARE(settings.has_value(), valid);
    if (valid)
        QCOMPARE(settings->baudRate, baud);
    QtSerialComponent port;
    QCOMPARE(port.setSettings(text), valid);
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "test_serial_port.moc"
