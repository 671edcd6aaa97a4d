// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The capture end to end: the real serial component reads a real
// pseudo-terminal that the board's end writes into.

#include "acquisition/capture.h"
#include "app/form1.h"
#include "board/board_link.h"
#include "platform/interval_timer.h"
#include "platform/label_control.h"
#include "platform/picture_box.h"
#include "platform/qt_serial_component.h"
#include "platform/serial_component.h"
#include "signals/signals.h"
#include "support/capture_checks.h"
#include "support/recording_surface.h"
#include "support/watched_form.h"

#include <QtTest>

#include <thread>

using namespace wavemill;
namespace acq = wavemill::acquisition;

namespace {

constexpr std::uint8_t kOld = 0x5A;
constexpr std::uint8_t kSentinel = 0xA5;
/// Generous bound for events to travel through the pseudo-terminal.
constexpr int kTimeoutMs = 5000;

QByteArray randomBytes(std::uint32_t seed, std::size_t count)
{
    signals::RandomBytes signal(seed);
    const std::vector<std::uint8_t> bytes = signals::take(signal, count);
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

} // namespace

class TestCapturePty : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void capturesExactlyTheFirstBytesIntoTheChosenBuffer();
    void lostDeviceEndsTheCapture();

private:
    /// Writes from another thread, so that the window's event loop reads
    /// while the link is full.
    void writeInBackground(const QByteArray &bytes);
    void waitForWriter();

    board::BoardLink m_link;
    std::unique_ptr<platform::QtSerialComponent> m_port;
    std::unique_ptr<testing::WatchedForm> m_watched;
    Form1 *m_form = nullptr;
    testing::RecordingSurface *m_rec = nullptr;
    std::thread m_writer;
    std::atomic<bool> m_written{false};
};

void TestCapturePty::init()
{
    const std::string failed = m_link.openPseudoTerminal();
    QVERIFY2(failed.empty(), failed.c_str());
    m_port = std::make_unique<platform::QtSerialComponent>();
    m_watched = std::make_unique<testing::WatchedForm>(nullptr, nullptr, m_port.get());
    m_form = &m_watched->form;
    m_rec = &m_watched->drawing;
    m_form->Combo2->setCurrentText(QString::fromStdString(m_link.path()));
    for (int n = 1; n <= kTraceCount; ++n) {
        TraceBuffer &b = *m_form->state().traces.trace(n);
        b.fill(kOld);
        b[kCaptureLength] = kSentinel;
    }
}

void TestCapturePty::cleanup()
{
    waitForWriter();
    m_watched.reset();
    m_port.reset();
    m_link.close();
}

void TestCapturePty::writeInBackground(const QByteArray &bytes)
{
    waitForWriter();
    m_written = false;
    m_link.serve(); // the writes are for the window, which has the port open
    m_writer = std::thread([this, bytes] {
        m_written = m_link.writeAll(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                    std::size_t(bytes.size()));
    });
}

void TestCapturePty::waitForWriter()
{
    if (m_writer.joinable())
        m_writer.join();
}

void TestCapturePty::capturesExactlyTheFirstBytesIntoTheChosenBuffer()
{
    const QByteArray bytes = randomBytes(42, kCaptureLength + 3000);
    m_form->Combo1->setCurrentText(QStringLiteral("2"));
    m_form->Command2->click();
    QVERIFY2(m_form->MSComm1->PortOpen(), qPrintable(m_form->Label1->Caption()));
    QCOMPARE(m_form->Command2->text(), acq::kCaptionStop);

    // All but one byte: 61 blocks taken, 1,023 bytes waiting, still capturing.
    writeInBackground(bytes.left(kCaptureLength - 1));
    QTRY_COMPARE_WITH_TIMEOUT(m_form->capture().WriteIndex, 62464, kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_form->MSComm1->InBufferCount(), std::int16_t(1023), kTimeoutMs);
    waitForWriter();
    QVERIFY(m_written);
    QVERIFY(m_form->MSComm1->PortOpen());
    QCOMPARE(m_rec->clsCount(), 0);

    // The last byte and more: the 62nd block completes the capture.
    writeInBackground(bytes.mid(kCaptureLength - 1));
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->MSComm1->PortOpen(), kTimeoutMs);
    waitForWriter();
    QCOMPARE(m_form->Label2->Caption(), acq::kRateDone);
    QCOMPARE(m_form->Command2->text(), acq::kCaptionStart);
    QCOMPARE(m_form->Timer1->Interval(), 0);

    // Nothing that came after completion is taken in.
    QTest::qWait(50);
    QCOMPARE(m_form->capture().WriteIndex, kCaptureLength);

    const TraceBuffer &target = *m_form->state().traces.trace(2);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(target.data()), kCaptureLength),
             bytes.left(kCaptureLength));
    QCOMPARE(target[kCaptureLength], kSentinel);
    for (int n : {1, 3}) {
        const TraceBuffer &other = *m_form->state().traces.trace(n);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(other.data()), kTraceBufferSize),
                 QByteArray(kCaptureLength, char(kOld)) + char(kSentinel));
    }

    QVERIFY(m_watched->redraws() == QList<testing::WatchedForm::Drawing>{m_watched->tracesFrom(0)});
}

void TestCapturePty::lostDeviceEndsTheCapture()
{
    const QByteArray bytes = randomBytes(7, 5 * kBlockSize + 100);
    m_form->Combo1->setCurrentText(QStringLiteral("1"));
    m_form->Command2->click();
    QVERIFY2(m_form->MSComm1->PortOpen(), qPrintable(m_form->Label1->Caption()));
    writeInBackground(bytes);
    QTRY_COMPARE_WITH_TIMEOUT(m_form->capture().WriteIndex, 5 * kBlockSize, kTimeoutMs);
    waitForWriter();

    m_link.close();
    QTRY_VERIFY_WITH_TIMEOUT(m_form->Timer1->Interval() == 0, kTimeoutMs);
    testing::checkEndedByLostPort(*m_form);
    if (QTest::currentTestFailed())
        return;
    const TraceBuffer &target = *m_form->state().traces.trace(1);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(target.data()), 5 * kBlockSize),
             bytes.left(5 * kBlockSize));
    QCOMPARE(target[5 * kBlockSize], kOld);

    // Starting again on the vanished device fails and leaves the window idle.
    m_form->Command2->click();
    QVERIFY(!m_form->MSComm1->PortOpen());
    QCOMPARE(m_form->Command2->text(), acq::kCaptionStart);
    QVERIFY(!m_form->Label1->Caption().isEmpty());
}

QTEST_MAIN(TestCapturePty)
#include "test_capture_pty.moc"
