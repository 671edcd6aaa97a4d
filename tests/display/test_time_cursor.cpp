// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/waveform_view.h"
#include "platform/label_control.h"
#include "platform/line_control.h"
#include "platform/picture_box.h"
#include "support/recording_surface.h"
#include "support/watched_form.h"

#include <QtTest>

using namespace wavemill;
using testing::RecordingSurface;

namespace {

constexpr QRgb kMarker = qRgb(173, 225, 255);
constexpr QRgb kArrow = qRgb(1, 117, 180);

QList<QLineF> linesIn(const RecordingSurface &surface, QRgb colour)
{
    QList<QLineF> result;
    for (const auto &op : surface.lines())
        if (op.colour == colour)
            result.append(QLineF(op.x1, op.y1, op.x2, op.y2));
    return result;
}

} // namespace

class TestTimeCursor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void showsTheTimeUnderThePointer_data();
    void showsTheTimeUnderThePointer();
    void followsThePointerWithLineAndLabel();
    void followsTheRealMouse();
    void measuresBetweenTwoClicks_data();
    void measuresBetweenTwoClicks();
    void startsAnewOnTheThirdClick();
    void takesAnyButton_data();
    void takesAnyButton();
    void keepsTheFirstMarkAcrossARedraw();

private:
    std::unique_ptr<testing::WatchedForm> m_watched;
    Form1 *m_form = nullptr;
    RecordingSurface *m_surface = nullptr;
};

void TestTimeCursor::init()
{
    m_watched = std::make_unique<testing::WatchedForm>();
    m_form = &m_watched->form;
    m_surface = &m_watched->drawing;
}

void TestTimeCursor::cleanup()
{
    m_watched.reset();
}

void TestTimeCursor::showsTheTimeUnderThePointer_data()
{
    QTest::addColumn<int>("zoomIns");
    QTest::addColumn<int>("scroll");
    QTest::addColumn<float>("x");
    QTest::addColumn<QString>("caption");
    QTest::newRow("zoom 10, x 1000") << 0 << 0 << 1000.0f << " 2.007ms";
    QTest::newRow("scroll 100, x 0") << 0 << 100 << 0.0f << " 32.118ms";
    QTest::newRow("zoom 20, scroll 50, x 4000") << 1 << 50 << 4000.0f << " 20.074ms";
    QTest::newRow("the very start has no point") << 0 << 0 << 0.0f << " 0ms";
    QTest::newRow("x between samples is not truncated") << 0 << 0 << 15.0f << " 0.03ms";
}

void TestTimeCursor::showsTheTimeUnderThePointer()
{
    QFETCH(int, zoomIns);
    QFETCH(int, scroll);
    QFETCH(float, x);
    QFETCH(QString, caption);
    for (int i = 0; i < zoomIns; ++i)
        m_form->Command5_Click();
    m_form->HScroll1->setValue(scroll);
    m_surface->clear();
    m_form->Picture1_MouseMove(Qt::NoButton, Qt::NoModifier, x, 100);
    QCOMPARE(m_form->Label3->text(), caption);
    QVERIFY(m_surface->ops().isEmpty()); // the cursor draws nothing
}

void TestTimeCursor::followsThePointerWithLineAndLabel()
{
    m_form->Picture1_MouseMove(Qt::NoButton, Qt::NoModifier, 1234, 800);
    QCOMPARE(
        QLineF(m_form->Line1->X1(), m_form->Line1->Y1(), m_form->Line1->X2(), m_form->Line1->Y2()),
        QLineF(1234, 0, 1234, 5175));
    QCOMPARE(m_form->Line1->BorderColor(), qRgb(0, 255, 0));
    QCOMPARE(m_form->Label3->Left(), 1234.0);
    QCOMPARE(m_form->Label3->Top(), 1300.0);
    QCOMPARE(m_form->Label3->pos(), QPoint(1234 / 15, 1300 / 15));
}

void TestTimeCursor::followsTheRealMouse()
{
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    QTest::mouseMove(m_form->Picture1, QPoint(100, 40));
    QTRY_COMPARE(m_form->Line1->X1(), 1500.0);
    QCOMPARE(m_form->Label3->Top(), 600.0 + 500.0);
    QTest::mouseClick(m_form->Picture1, Qt::LeftButton, Qt::NoModifier, QPoint(100, 40));
    QCOMPARE(linesIn(*m_surface, kMarker), (QList<QLineF>{QLineF(1500, 0, 1500, 5175)}));
}

void TestTimeCursor::measuresBetweenTwoClicks_data()
{
    QTest::addColumn<float>("first");
    QTest::addColumn<float>("second");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<QLineF>>("arrow");
    QTest::newRow("left to right") << 1000.0f << 3000.0f << " 4.015ms"
                                   << QList<QLineF>{{1000, 2000, 3000, 2000},
                                                    {1000, 2000, 1200, 1900},
                                                    {1000, 2000, 1200, 2100},
                                                    {3000, 2000, 2800, 2100},
                                                    {3000, 2000, 2800, 1900}};
    QTest::newRow("right to left is negative") << 3000.0f << 1000.0f << "-4.015ms"
                                               << QList<QLineF>{{3000, 2000, 1000, 2000},
                                                                {3000, 2000, 3200, 1900},
                                                                {3000, 2000, 3200, 2100},
                                                                {1000, 2000, 800, 2100},
                                                                {1000, 2000, 800, 1900}};
    QTest::newRow("same place") << 2000.0f << 2000.0f << " 0ms"
                                << QList<QLineF>{{2000, 2000, 2000, 2000},
                                                 {2000, 2000, 2200, 1900},
                                                 {2000, 2000, 2200, 2100},
                                                 {2000, 2000, 1800, 2100},
                                                 {2000, 2000, 1800, 1900}};
}

void TestTimeCursor::measuresBetweenTwoClicks()
{
    QFETCH(float, first);
    QFETCH(float, second);
    QFETCH(QString, text);
    QFETCH(QList<QLineF>, arrow);
    m_form->Picture1_MouseDown(Qt::LeftButton, Qt::NoModifier, first, 500);
    QCOMPARE(linesIn(*m_surface, kMarker), (QList<QLineF>{QLineF(first, 0, first, 5175)}));
    QVERIFY(linesIn(*m_surface, kArrow).isEmpty());

    m_form->Picture1_MouseDown(Qt::LeftButton, Qt::NoModifier, second, 2000.7f);
    QCOMPARE(linesIn(*m_surface, kMarker).last(), QLineF(second, 0, second, 5175));
    // The arrow stands at the height of the second click, not rounded.
    QList<QLineF> expected;
    for (QLineF l : arrow)
        expected.append(QLineF(l.x1(), l.y1() + 0.7f, l.x2(), l.y2() + 0.7f));
    const QList<QLineF> drawn = linesIn(*m_surface, kArrow);
    QCOMPARE(drawn.size(), expected.size());
    for (int i = 0; i < drawn.size(); ++i) {
        QVERIFY(qFuzzyCompare(float(drawn[i].y1()), float(expected[i].y1())));
        QCOMPARE(drawn[i].x1(), expected[i].x1());
        QCOMPARE(drawn[i].x2(), expected[i].x2());
        QVERIFY(qFuzzyCompare(float(drawn[i].y2()), float(expected[i].y2())));
    }
    const auto prints = m_surface->prints();
    QCOMPARE(prints.size(), 1);
    QCOMPARE(prints[0].text, text);
    QCOMPARE(QPointF(prints[0].x1, prints[0].y1), QPointF((first + second) / 2, 2000));
    QCOMPARE(prints[0].colour, qRgb(255, 96, 96));
}

void TestTimeCursor::startsAnewOnTheThirdClick()
{
    m_form->Picture1_MouseDown(Qt::LeftButton, Qt::NoModifier, 1000, 100);
    m_form->Picture1_MouseDown(Qt::LeftButton, Qt::NoModifier, 3000, 100);
    m_surface->clear();
    m_form->Picture1_MouseDown(Qt::LeftButton, Qt::NoModifier, 5000, 100);
    QCOMPARE(m_surface->lines().size(), 1);
    QCOMPARE(linesIn(*m_surface, kMarker), (QList<QLineF>{QLineF(5000, 0, 5000, 5175)}));
    QCOMPARE(m_form->view().firstMarkerX(), 5000.0f);
}

void TestTimeCursor::takesAnyButton_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("right") << Qt::RightButton << Qt::KeyboardModifiers(Qt::NoModifier);
    QTest::newRow("middle") << Qt::MiddleButton << Qt::KeyboardModifiers(Qt::NoModifier);
    QTest::newRow("left with shift and control")
        << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::ControlModifier);
}

void TestTimeCursor::takesAnyButton()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    QTest::mouseClick(m_form->Picture1, button, modifiers, QPoint(60, 100));
    QTest::mouseClick(m_form->Picture1, button, modifiers, QPoint(200, 100));
    QCOMPARE(m_surface->prints().size(), 1);
    QCOMPARE(m_surface->prints()[0].text, QStringLiteral(" 4.215ms"));
}

void TestTimeCursor::keepsTheFirstMarkAcrossARedraw()
{
    m_form->Picture1_MouseDown(Qt::LeftButton, Qt::NoModifier, 1000, 100);
    m_form->Command5_Click(); // zoom 20: the view is cleared and redrawn
    QVERIFY(m_form->view().markerToggle());
    m_surface->clear();
    m_form->Picture1_MouseDown(Qt::LeftButton, Qt::NoModifier, 3000, 2000);
    QCOMPARE(linesIn(*m_surface, kArrow).first(), QLineF(1000, 2000, 3000, 2000));
    QCOMPARE(m_surface->prints()[0].text, QStringLiteral(" 2.007ms")); // at the new zoom
}

QTEST_MAIN(TestTimeCursor)
#include "test_time_cursor.moc"
