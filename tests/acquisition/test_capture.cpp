// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "acquisition/capture.h"
#include "platform/interval_timer.h"
#include "platform/label_control.h"
#include "platform/line_control.h"
#include "platform/picture_box.h"
#include "support/recording_surface.h"
#include "support/capture_checks.h"
#include "support/watched_form.h"

#include <QtTest>

#include <cmath>

using namespace wavemill;
namespace acq = wavemill::acquisition;

namespace {

/// What each buffer holds before a capture, and its last element.
constexpr std::uint8_t kOld = 0x5A;
constexpr std::uint8_t kSentinel = 0xA5;

/// A capture's worth of bytes that differ from block to block and from the
/// old content, so a misplaced or missing block shows.
QByteArray pattern(int seed, int length = kCaptureLength + 3 * kBlockSize)
{
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i)
        bytes[i] = char((i * 7 + i / kBlockSize * 13 + seed * 31) & 0xFF);
    return bytes;
}

using Drawings = QList<testing::WatchedForm::Drawing>;

enum class Phase { IdleAtStart, Waiting, Receiving, Completed, ForcedStop, DeviceLost };

} // namespace

Q_DECLARE_METATYPE(Phase)

class TestCapture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void showsEachPhaseOfTheWindow_data();
    void showsEachPhaseOfTheWindow();
    void completesWithTheSixtySecondBlock();
    void storesIntoTheSelectedBufferOnly_data();
    void storesIntoTheSelectedBufferOnly();
    void forcedStopKeepsTheBlocksThatArrived_data();
    void forcedStopKeepsTheBlocksThatArrived();
    void firstTickBeforeAnyBlockShowsTheWaitingBytes();
    void firstTickOfANewCaptureCountsFromZero_data();
    void firstTickOfANewCaptureCountsFromZero();
    void ticksShowProgressAndRate();
    void reportsTheDurationFromTheTicks_data();
    void reportsTheDurationFromTheTicks();
    void tickCountStopsAtItsTop();
    void failedOpeningLeavesTheWindowIdle_data();
    void failedOpeningLeavesTheWindowIdle();
    void lostDeviceEndsTheCaptureLikeAForcedStop_data();
    void lostDeviceEndsTheCaptureLikeAForcedStop();
    void ignoresEventsOtherThanReceive();
    void completionRedrawsFromTheStartWithTheScrollBarThere();

private:
    void start() { m_form->Command2->click(); }
    void feedBlocks(const QByteArray &bytes, int firstBlock, int count)
    {
        m_fake->feed(bytes.mid(qsizetype(firstBlock) * kBlockSize, qsizetype(count) * kBlockSize));
    }
    TraceBuffer &buffer(int n) { return *m_form->state().traces.trace(n); }
    bool bufferHolds(int n, const QByteArray &bytes, int from, int to) const;
    bool bufferIsOld(int n, int from, int to);

    std::unique_ptr<testing::WatchedForm> m_watched;
    testing::FakeSerialComponent *m_fake = nullptr;
    Form1 *m_form = nullptr;
    testing::RecordingSurface *m_rec = nullptr;
};

void TestCapture::init()
{
    m_watched = std::make_unique<testing::WatchedForm>();
    m_fake = &m_watched->serial;
    m_form = &m_watched->form;
    m_rec = &m_watched->drawing;
    for (int n = 1; n <= kTraceCount; ++n) {
        buffer(n).fill(kOld);
        buffer(n)[kCaptureLength] = kSentinel;
    }
}

void TestCapture::cleanup()
{
    m_watched.reset();
}

bool TestCapture::bufferHolds(int n, const QByteArray &bytes, int from, int to) const
{
    const TraceBuffer &b = *m_form->state().traces.trace(n);
    for (int i = from; i < to; ++i) {
        if (b[i] != std::uint8_t(bytes[i])) {
            qWarning("buffer %d differs at index %d", n, i);
            return false;
        }
    }
    return true;
}

bool TestCapture::bufferIsOld(int n, int from, int to)
{
    for (int i = from; i < to; ++i) {
        if (buffer(n)[i] != kOld) {
            qWarning("buffer %d changed at index %d", n, i);
            return false;
        }
    }
    return true;
}

void TestCapture::showsEachPhaseOfTheWindow_data()
{
    QTest::addColumn<Phase>("phase");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("controlsEnabled");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("percent");

    const QString done = acq::kStatusDoneBefore + QStringLiteral(" 0.4") + acq::kStatusDoneAfter;
    // From receiving on: a tick after 3 blocks, then one after a 4th.
    QTest::newRow("idle at start-up") << Phase::IdleAtStart << false << 0 << "开始采集" << true
                                      << "串口还未开启，请单击开始采集按钮"
                                      << "0Bit/s"
                                      << "0%";
    QTest::newRow("capturing, waiting") << Phase::Waiting << true << 200 << "强行停止" << false
                                        << "串口已开启，波特率为115200bps,等待数据中"
                                        << "0Bit/s"
                                        << "0%";
    QTest::newRow("capturing, receiving") << Phase::Receiving << true << 200 << "强行停止" << false
                                          << "数据采集已开始，串口波特率为115200 kbps"
                                          << "40960Bit/s"
                                          << "6%";
    QTest::newRow("after completion")
        << Phase::Completed << false << 0 << "开始采集" << true << done << "Recieve OK!"
        << "100%";
    QTest::newRow("after forced stop")
        << Phase::ForcedStop << false << 0 << "开始采集" << true << "串口已关闭，数据采集被强行停止"
        << "0 Bit/s"
        << "6%";
}

void TestCapture::showsEachPhaseOfTheWindow()
{
    QFETCH(Phase, phase);
    const QByteArray bytes = pattern(1);
    if (phase != Phase::IdleAtStart) {
        start();
        m_form->Timer1_Timer();
    }
    if (phase >= Phase::Receiving) {
        feedBlocks(bytes, 0, 3);
        m_form->Timer1_Timer();
        feedBlocks(bytes, 3, 1);
        m_form->Timer1_Timer();
    }
    if (phase == Phase::Completed)
        feedBlocks(bytes, 4, kCaptureBlocks - 4);
    if (phase == Phase::ForcedStop)
        m_form->Command2->click();

    QTEST(m_fake->PortOpen(), "portOpen");
    QTEST(m_form->Timer1->Interval(), "interval");
    QTEST(m_form->Command2->text(), "caption");
    QVERIFY(m_form->Command2->isEnabled());
    QTEST(m_form->Combo1->isEnabled(), "controlsEnabled");
    QTEST(m_form->Command1->isEnabled(), "controlsEnabled");
    QTEST(m_form->Command3->isEnabled(), "controlsEnabled");
    QTEST(m_form->Label1->Caption(), "status");
    QTEST(m_form->Label2->Caption(), "rate");
    QTEST(m_form->Label12->Caption(), "percent");

    const double s = m_form->Picture2->ScaleWidth();
    QFETCH(QString, percent);
    if (percent == QLatin1String("0%"))
        QCOMPARE(m_form->Line4->BorderWidth(), 1);
    if (percent == QLatin1String("100%"))
        QCOMPARE(m_form->Line4->BorderWidth(), int(std::floor(2 * s)) + 1);
    if (percent == QLatin1String("6%")) // 4 blocks of 62
        QCOMPARE(m_form->Line4->BorderWidth(),
                 int(std::floor(4096.0 / kCaptureLength * s * 2)) + 1);
}

void TestCapture::completesWithTheSixtySecondBlock()
{
    const QByteArray bytes = pattern(2);
    m_form->Combo1->setCurrentText(QStringLiteral("1"));
    start();
    feedBlocks(bytes, 0, kCaptureBlocks - 1);
    QCOMPARE(m_form->capture().WriteIndex, 62464);
    QVERIFY(m_fake->PortOpen());
    QCOMPARE(m_form->Timer1->Interval(), 200);
    QCOMPARE(m_form->Command2->text(), acq::kCaptionStop);
    QCOMPARE(m_rec->clsCount(), 0);

    // The 62nd block and more behind it: the capture ends with the 62nd.
    m_fake->feed(bytes.mid(62464));
    QCOMPARE(m_form->capture().WriteIndex, kCaptureLength);
    QVERIFY(!m_fake->PortOpen());
    QCOMPARE(m_form->Timer1->Interval(), 0);
    QVERIFY(bufferHolds(1, bytes, 0, kCaptureLength));
    QCOMPARE(buffer(1)[kCaptureLength], kSentinel);
}

void TestCapture::storesIntoTheSelectedBufferOnly_data()
{
    QTest::addColumn<QString>("selector");
    QTest::addColumn<int>("target");
    QTest::newRow("1") << "1" << 1;
    QTest::newRow("2") << "2" << 2;
    QTest::newRow("3") << "3" << 3;
    QTest::newRow("2.9 rounds down") << "2.9" << 2;
    QTest::newRow("blanks before 3") << " 3" << 3;
    QTest::newRow("blanks inside 1") << "1 .5" << 1;
    QTest::newRow("abc") << "abc" << 0;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("4") << "4" << 0;
    QTest::newRow("-1") << "-1" << 0;
    QTest::newRow("0.9") << "0.9" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestCapture::storesIntoTheSelectedBufferOnly()
{
    QFETCH(QString, selector);
    QFETCH(int, target);
    const QByteArray bytes = pattern(3);
    m_form->Combo1->setCurrentText(selector);
    start();
    feedBlocks(bytes, 0, kCaptureBlocks);

    // Whether or not a buffer was chosen, the capture runs to its end.
    QVERIFY(!m_fake->PortOpen());
    QCOMPARE(m_form->capture().WriteIndex, kCaptureLength);
    QVERIFY(m_form->Label1->Caption().startsWith(acq::kStatusDoneBefore));
    QCOMPARE(m_form->Label2->Caption(), acq::kRateDone);
    for (int n = 1; n <= kTraceCount; ++n) {
        if (n == target)
            QVERIFY(bufferHolds(n, bytes, 0, kCaptureLength));
        else
            QVERIFY(bufferIsOld(n, 0, kCaptureLength));
        QCOMPARE(buffer(n)[kCaptureLength], kSentinel);
    }
    // All three traces are drawn again from the start, the new one with the new bytes.
    QVERIFY(m_watched->redraws() == Drawings{m_watched->tracesFrom(0)});
}

void TestCapture::forcedStopKeepsTheBlocksThatArrived_data()
{
    QTest::addColumn<int>("blocks");
    QTest::newRow("no block") << 0;
    QTest::newRow("1 block") << 1;
    QTest::newRow("30 blocks") << 30;
    QTest::newRow("61 blocks") << 61;
}

void TestCapture::forcedStopKeepsTheBlocksThatArrived()
{
    QFETCH(int, blocks);
    const QByteArray bytes = pattern(4);
    m_form->Combo1->setCurrentText(QStringLiteral("2"));
    start();
    feedBlocks(bytes, 0, blocks);
    m_form->Timer1_Timer();
    const int bar = m_form->Line4->BorderWidth();
    const QString percent = m_form->Label12->Caption();
    m_rec->clear();

    m_form->Command2->click();
    QVERIFY(!m_fake->PortOpen());
    QCOMPARE(m_form->capture().WriteIndex, 0);
    QVERIFY(bufferHolds(2, bytes, 0, blocks * kBlockSize));
    QVERIFY(bufferIsOld(2, blocks * kBlockSize, kCaptureLength));
    QCOMPARE(m_form->Label2->Caption(), QStringLiteral("0 Bit/s"));
    QCOMPARE(m_form->Line4->BorderWidth(), bar);
    QCOMPARE(m_form->Label12->Caption(), percent);
    // The view is cleared and left empty.
    QCOMPARE(m_rec->ops().size(), 1);
    QCOMPARE(m_rec->clsCount(), 1);

    // The selector can change before the next start, which writes from 0.
    QVERIFY(m_form->Combo1->isEnabled());
    m_form->Combo1->setCurrentText(QStringLiteral("3"));
    const QByteArray next = pattern(5);
    start();
    feedBlocks(next, 0, 1);
    QVERIFY(bufferHolds(3, next, 0, kBlockSize));
    QVERIFY(bufferIsOld(3, kBlockSize, kCaptureLength));
    QCOMPARE(m_form->capture().WriteIndex, kBlockSize);
}

void TestCapture::firstTickBeforeAnyBlockShowsTheWaitingBytes()
{
    start();
    m_fake->feedQuietly(QByteArray(300, 'x'));
    m_form->Timer1_Timer();
    QCOMPARE(m_form->capture().TickCount, std::int16_t(0));
    QCOMPARE(m_form->Label12->Caption(), QStringLiteral("0%"));
    QCOMPARE(m_form->Line4->BorderWidth(), 1);
    QCOMPARE(m_form->Label2->Caption(), QStringLiteral("12000Bit/s"));
    QCOMPARE(m_form->capture().LastByteCount, 300);
}

void TestCapture::firstTickOfANewCaptureCountsFromZero_data()
{
    QTest::addColumn<int>("blocks");
    QTest::newRow("after a completed capture") << kCaptureBlocks;
    QTest::newRow("after a stop at 10 blocks") << 10;
}

void TestCapture::firstTickOfANewCaptureCountsFromZero()
{
    QFETCH(int, blocks);
    const QByteArray bytes = pattern(6);
    start();
    feedBlocks(bytes, 0, blocks);
    m_form->Timer1_Timer();
    if (m_fake->PortOpen())
        m_form->Command2->click();
    QVERIFY(!m_fake->PortOpen());

    start();
    m_fake->feedQuietly(QByteArray(100, 'x'));
    m_form->Timer1_Timer();
    QCOMPARE(m_form->Label2->Caption(), QStringLiteral("4000Bit/s"));
    QCOMPARE(m_form->capture().TickCount, std::int16_t(0));
}

void TestCapture::ticksShowProgressAndRate()
{
    const QByteArray bytes = pattern(7);
    const double s = m_form->Picture2->ScaleWidth();
    start();
    feedBlocks(bytes, 0, 5);
    m_fake->feedQuietly(bytes.mid(5 * kBlockSize, 221));
    m_form->Timer1_Timer();
    QCOMPARE(m_form->capture().TickCount, std::int16_t(1));
    QCOMPARE(m_form->Label12->Caption(), QStringLiteral("8%")); // 5,120 of 63,488
    QCOMPARE(m_form->Line4->BorderWidth(), int(std::floor(5120.0 / kCaptureLength * s * 2)) + 1);
    QCOMPARE(m_form->Label2->Caption(), QStringLiteral("213640Bit/s")); // 5,341 bytes x 40

    // A rise of 1,245 bytes: one more block and 24 more waiting.
    m_fake->feed(bytes.mid(5 * kBlockSize + 221, 1245));
    QCOMPARE(m_form->capture().WriteIndex, 6 * kBlockSize);
    m_form->Timer1_Timer();
    QCOMPARE(m_form->Label2->Caption(), QStringLiteral("49800Bit/s"));
    QCOMPARE(m_form->Label12->Caption(), QStringLiteral("9%"));

    // A stream that stops: nothing new, the capture waits.
    m_form->Timer1_Timer();
    QCOMPARE(m_form->Label2->Caption(), QStringLiteral("0Bit/s"));
    QCOMPARE(m_form->Label12->Caption(), QStringLiteral("9%"));
    QVERIFY(m_fake->PortOpen());
}

void TestCapture::reportsTheDurationFromTheTicks_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("duration");
    QTest::newRow("51 ticks") << 51 << " 10.2";
    QTest::newRow("50 ticks") << 50 << " 10";
    QTest::newRow("no tick") << 0 << " 0";
    QTest::newRow("1 tick") << 1 << " 0.2";
    QTest::newRow("3 ticks") << 3 << " 0.6";
}

void TestCapture::reportsTheDurationFromTheTicks()
{
    QFETCH(int, ticks);
    QFETCH(QString, duration);
    const QByteArray bytes = pattern(8);
    start();
    // Ticks before the first block do not count.
    m_form->Timer1_Timer();
    m_form->Timer1_Timer();
    feedBlocks(bytes, 0, 1);
    for (int i = 0; i < ticks; ++i)
        m_form->Timer1_Timer();
    feedBlocks(bytes, 1, kCaptureBlocks - 1);
    QCOMPARE(m_form->Label1->Caption(), acq::kStatusDoneBefore + duration + acq::kStatusDoneAfter);
}

void TestCapture::tickCountStopsAtItsTop()
{
    const QByteArray bytes = pattern(9);
    start();
    feedBlocks(bytes, 0, 1);
    m_form->capture().TickCount = 32766;
    for (int i = 0; i < 3; ++i)
        m_form->Timer1_Timer();
    QCOMPARE(m_form->capture().TickCount, std::int16_t(32767));
    feedBlocks(bytes, 1, kCaptureBlocks - 1);
    QCOMPARE(m_form->Label1->Caption(),
             acq::kStatusDoneBefore + QStringLiteral(" 6553.4") + acq::kStatusDoneAfter);
}

void TestCapture::failedOpeningLeavesTheWindowIdle_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("status");
    QTest::newRow("the port cannot be opened") << "1"
                                               << "串口1打开失败：设备不存在"
                                               << "串口1打开失败：设备不存在";
    QTest::newRow("no port 0") << "abc"
                               << ""
                               << "串口0打开失败：串口号无效";
    QTest::newRow("port number out of range") << "40000"
                                              << ""
                                              << "串口40000打开失败：串口号超出范围";
    QTest::newRow("a device that is not there") << "/dev/nothing"
                                                << "串口/dev/nothing打开失败：设备不存在"
                                                << "串口/dev/nothing打开失败：设备不存在";
}

void TestCapture::failedOpeningLeavesTheWindowIdle()
{
    QFETCH(QString, port);
    QFETCH(QString, failure);
    m_form->Combo2->setCurrentText(port);
    if (!failure.isEmpty())
        m_fake->failNextOpen(failure);
    start();

    QVERIFY(!m_fake->PortOpen());
    QTEST(m_form->Label1->Caption(), "status");
    QCOMPARE(m_form->Command2->text(), acq::kCaptionStart);
    QCOMPARE(m_form->Timer1->Interval(), 0);
    QVERIFY(m_form->Combo1->isEnabled());
    QVERIFY(m_form->Command1->isEnabled());
    QVERIFY(m_form->Command3->isEnabled());
    QCOMPARE(m_form->Label2->Caption(), acq::kRateIdle);

    // A later press with a good port starts normally.
    m_form->Combo2->setCurrentText(QStringLiteral("1"));
    start();
    QVERIFY(m_fake->PortOpen());
    QCOMPARE(m_form->Command2->text(), acq::kCaptionStop);
}

void TestCapture::lostDeviceEndsTheCaptureLikeAForcedStop_data()
{
    QTest::addColumn<int>("blocks");
    QTest::newRow("before any block") << 0;
    QTest::newRow("after 7 blocks") << 7;
}

void TestCapture::lostDeviceEndsTheCaptureLikeAForcedStop()
{
    QFETCH(int, blocks);
    const QByteArray bytes = pattern(10);
    m_form->Combo1->setCurrentText(QStringLiteral("3"));
    start();
    feedBlocks(bytes, 0, blocks);
    m_form->Timer1_Timer();
    m_rec->clear();

    m_fake->vanish(QStringLiteral("串口1连接已断开：设备已移除或出错"));
    testing::checkEndedByLostPort(*m_form);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(m_rec->clsCount(), 1);
    QVERIFY(bufferHolds(3, bytes, 0, blocks * kBlockSize));
    QVERIFY(bufferIsOld(3, blocks * kBlockSize, kCaptureLength));

    // The window is usable again.
    start();
    QVERIFY(m_fake->PortOpen());
    feedBlocks(bytes, 0, kCaptureBlocks);
    QCOMPARE(m_form->Label2->Caption(), acq::kRateDone);
}

void TestCapture::ignoresEventsOtherThanReceive()
{
    const QByteArray bytes = pattern(11);
    start();
    m_fake->feedQuietly(bytes.left(2 * kBlockSize));
    m_fake->raise(1);    // a transmit event
    m_fake->raise(1010); // a line-state change
    QCOMPARE(m_form->capture().WriteIndex, 0);
    QCOMPARE(m_form->Label1->Caption(), acq::kStatusWaiting);
    QVERIFY(m_fake->PortOpen());
    // A late device-lost event after the capture ended changes nothing.
    m_form->Command2->click();
    m_fake->raise(platform::SerialComponent::comEventDeviceLost);
    QCOMPARE(m_form->Label1->Caption(), acq::kStatusStopped);
}

void TestCapture::completionRedrawsFromTheStartWithTheScrollBarThere()
{
    const QByteArray bytes = pattern(12);
    m_form->HScroll1->setValue(500);
    QCOMPARE(m_form->state().storedScrollValue, 500);
    m_rec->clear();
    m_form->Combo1->setCurrentText(QStringLiteral("1"));
    start();
    feedBlocks(bytes, 0, kCaptureBlocks);

    // What is drawn, the scroll bar and the time under the pointer agree:
    // one redraw from the start, with 100 samples at zoom 10 reading 2.007 ms.
    QCOMPARE(m_form->HScroll1->value(), 0);
    QCOMPARE(m_form->state().storedScrollValue, 0);
    QVERIFY(bufferHolds(1, bytes, 0, kCaptureLength));
    QVERIFY(m_watched->redraws() == Drawings{m_watched->tracesFrom(0)});
    m_form->Picture1_MouseMove(Qt::NoButton, Qt::NoModifier, 1000, 100);
    QCOMPARE(m_form->Label3->text(), QStringLiteral(" 2.007ms"));
}

QTEST_MAIN(TestCapture)
#include "test_capture.moc"
