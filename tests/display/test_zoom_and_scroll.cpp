// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/sample_period.h"
#include "core/numbers.h"
#include "display/zoom.h"
#include "platform/picture_box.h"
#include "support/recording_surface.h"
#include "support/watched_form.h"

#include <QtTest>

using namespace wavemill;
using testing::RecordingSurface;

namespace {

using Drawings = QList<testing::WatchedForm::Drawing>;

} // namespace

class TestZoomAndScroll : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void stepsTheZoomFactor_data();
    void stepsTheZoomFactor();
    void neverReadsPastTheBuffersAtAnyZoom();
    void sizesTheScrollRangeAfterEveryZoom();
    void zoomingOutMovesTheScrollBarBackFirst();
    void zoomingInAtTheTopStillRedraws();
    void scrollingMovesTheLeftEdge_data();
    void scrollingMovesTheLeftEdge();
    void zoomDrawsFromTheStoredScrollValue();
    void followsTheThumbWhenReleased();

private:
    std::unique_ptr<testing::WatchedForm> m_watched;
    Form1 *m_form = nullptr;
    RecordingSurface *m_surface = nullptr;
};

void TestZoomAndScroll::init()
{
    m_watched = std::make_unique<testing::WatchedForm>();
    m_form = &m_watched->form;
    m_surface = &m_watched->drawing;
}

void TestZoomAndScroll::cleanup()
{
    m_watched.reset();
}

void TestZoomAndScroll::stepsTheZoomFactor_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");
    QTest::newRow("2") << 2 << 4 << 2;
    QTest::newRow("4") << 4 << 8 << 2;
    QTest::newRow("5") << 5 << 10 << 2;
    QTest::newRow("10") << 10 << 20 << 5;
    QTest::newRow("8192") << 8192 << 16384 << 4096;
    QTest::newRow("10240") << 10240 << 20480 << 5120;
    QTest::newRow("16384") << 16384 << 20480 << 8192;
    QTest::newRow("20480") << 20480 << 20480 << 10240;
}

void TestZoomAndScroll::stepsTheZoomFactor()
{
    QFETCH(int, before);
    QFETCH(int, in);
    QFETCH(int, out);
    QCOMPARE(int(display::zoomedIn(std::int16_t(before))), in);
    QCOMPARE(int(display::zoomedOut(std::int16_t(before))), out);

    // Through the buttons, from the factor the window holds.
    m_form->state().zoomFactor = std::int16_t(before);
    QTest::mouseClick(m_form->Command5, Qt::LeftButton);
    QCOMPARE(int(m_form->state().zoomFactor), in);
    m_form->state().zoomFactor = std::int16_t(before);
    QTest::mouseClick(m_form->Command6, Qt::LeftButton);
    QCOMPARE(int(m_form->state().zoomFactor), out);
}

void TestZoomAndScroll::neverReadsPastTheBuffersAtAnyZoom()
{
    // Every factor the buttons can reach, from 10 and from every factor reached.
    QSet<int> reached = {10};
    QList<int> todo = {10};
    while (!todo.isEmpty()) {
        const std::int16_t z = std::int16_t(todo.takeFirst());
        for (std::int16_t next : {display::zoomedIn(z), display::zoomedOut(z)})
            if (!reached.contains(next)) {
                reached.insert(next);
                todo.append(next);
            }
    }
    QCOMPARE(reached.size(), 27); // 2 to 16384 doubling (14), 5 to 20480 doubling (13)
    for (int z : reached) {
        const int maximum = display::scrollMaximum(10215, std::int16_t(z));
        const int n = int(roundHalfEven(10215.0 / z));
        const int lastByte = 2 * maximum + n / 8;
        QVERIFY2(lastByte <= 63487,
                 qPrintable(QStringLiteral("zoom %1 reads byte %2").arg(z).arg(lastByte)));
    }
}

void TestZoomAndScroll::sizesTheScrollRangeAfterEveryZoom()
{
    QCOMPARE(m_form->HScroll1->maximum(), 31615);
    QTest::mouseClick(m_form->Command6, Qt::LeftButton);
    QCOMPARE(m_form->HScroll1->maximum(), 31488);
    QTest::mouseClick(m_form->Command6, Qt::LeftButton);
    QCOMPARE(m_form->HScroll1->maximum(), 31105);
    // From 2 the way in runs 4, 8, 16, ... and never meets 10 again.
    QList<int> factors;
    for (int i = 0; i < 14; ++i) {
        QTest::mouseClick(m_form->Command5, Qt::LeftButton);
        factors.append(m_form->state().zoomFactor);
    }
    QCOMPARE(factors,
             (QList<int>{4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, 20480}));
    QCOMPARE(m_form->HScroll1->maximum(), 31743);
}

void TestZoomAndScroll::zoomingOutMovesTheScrollBarBackFirst()
{
    QTest::mouseClick(m_form->Command6, Qt::LeftButton); // 10 -> 5
    m_form->state().traces.buffers[0][62848] = 0xFF;     // the last byte the redraw may show
    m_form->state().traces.buffers[0][62849] = 0xFF;     // one it must not
    m_form->HScroll1->setValue(31488);
    QCOMPARE(m_form->state().storedScrollValue, 31488);
    m_surface->clear();

    QTest::mouseClick(m_form->Command6, Qt::LeftButton); // 5 -> 2
    QCOMPARE(m_form->HScroll1->maximum(), 31105);
    QCOMPARE(m_form->HScroll1->value(), 31105);
    QCOMPARE(m_form->state().storedScrollValue, 31105);

    // The scroll change is handled (clear, store, redraw) before the zoom's
    // own redraw, both from byte 62,210 at zoom 2.
    const auto fromThere = m_watched->tracesFrom(62210);
    QVERIFY(m_watched->redraws() == (Drawings{fromThere, fromThere}));
}

void TestZoomAndScroll::zoomingInAtTheTopStillRedraws()
{
    m_form->state().zoomFactor = 20480;
    m_surface->clear();
    QTest::mouseClick(m_form->Command5, Qt::LeftButton);
    QCOMPARE(int(m_form->state().zoomFactor), 20480);
    QCOMPARE(m_surface->clsCount(), 1);
    QCOMPARE(m_surface->prints().size(), 3);
}

void TestZoomAndScroll::scrollingMovesTheLeftEdge_data()
{
    QTest::addColumn<int>("position");
    QTest::newRow("one step: 16 samples") << 1;
    QTest::newRow("position 100") << 100;
    QTest::newRow("the maximum at zoom 10") << 31615;
}

void TestZoomAndScroll::scrollingMovesTheLeftEdge()
{
    QFETCH(int, position);
    m_form->HScroll1->setValue(position);
    QCOMPARE(m_form->state().storedScrollValue, position);
    QVERIFY(m_watched->redraws() == Drawings{m_watched->tracesFrom(2 * position)});
}

void TestZoomAndScroll::zoomDrawsFromTheStoredScrollValue()
{
    m_form->HScroll1->setValue(100);
    m_surface->clear();
    QTest::mouseClick(m_form->Command5, Qt::LeftButton);
    QVERIFY(m_watched->redraws() == Drawings{m_watched->tracesFrom(200)});
}

void TestZoomAndScroll::followsTheThumbWhenReleased()
{
    m_form->HScroll1->setValue(100);
    m_surface->clear();
    m_form->HScroll1->setSliderDown(true);
    m_form->HScroll1->setSliderPosition(500);
    QCOMPARE(m_form->state().storedScrollValue, 100); // dragging draws nothing
    QCOMPARE(m_surface->clsCount(), 0);
    m_form->HScroll1->setSliderDown(false);
    QCOMPARE(m_form->state().storedScrollValue, 500);
    QCOMPARE(m_surface->clsCount(), 1);
}

QTEST_MAIN(TestZoomAndScroll)
#include "test_zoom_and_scroll.moc"
