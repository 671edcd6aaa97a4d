// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/about_link.h"
#include "about/form2.h"
#include "app/form1.h"
#include "support/watched_form.h"
#include "platform/interval_timer.h"
#include "platform/label_control.h"
#include "support/recording_opacity.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QtTest>

using wavemill::about::AboutLink;
using wavemill::about::Form2;

namespace {

Form2 *openAboutWindow()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *about = qobject_cast<Form2 *>(window); about && about->isVisible())
            return about;
    }
    return nullptr;
}

void deleteClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestAboutLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void secondClickRaisesOrReloads_data();
    void secondClickRaisesOrReloads();
    void linkBlinksFromStartUp_data();
    void linkBlinksFromStartUp();
    void opensOpaqueWhereTheWindowSystemCannotFade();
    void closingMainWindowClosesAboutAndEndsProgram();
};

void TestAboutLink::secondClickRaisesOrReloads_data()
{
    QTest::addColumn<bool>("translucentFirst");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<bool>("closeFirst");
    QTest::addColumn<bool>("translucentSecond");
    QTest::addColumn<QList<int>>("alphasAfterClickAndTick");
    QTest::addColumn<int>("intervalAfter");

    // While open a click only raises the window; the fade goes on.
    QTest::newRow("click while fading") << true << 10 << false << true << QList<int>{55} << 10;
    QTest::newRow("click after the fade") << true << 51 << false << true << QList<int>() << 0;
    // Closed and clicked again: a new load, a new fade from 1.
    QTest::newRow("click after closing mid-fade")
        << true << 20 << true << true << QList<int>{1, 5} << 10;
    QTest::newRow("click after closing a faded window")
        << true << 51 << true << true << QList<int>{1, 5} << 10;
    // The translucency check is made at every load.
    QTest::newRow("translucency lost before reopening")
        << true << 51 << true << false << QList<int>() << 10;
    QTest::newRow("translucency gained before reopening")
        << false << 3 << true << true << QList<int>{1, 5} << 10;
}

void TestAboutLink::secondClickRaisesOrReloads()
{
    QFETCH(bool, translucentFirst);
    QFETCH(int, ticks);
    QFETCH(bool, closeFirst);
    QFETCH(bool, translucentSecond);
    QFETCH(QList<int>, alphasAfterClickAndTick);
    QFETCH(int, intervalAfter);

    QWidget host;
    auto *label =
        new wavemill::platform::LabelControl(&host, wavemill::about::kLinkCaption, 0, 0, 975, 255);
    RecordingOpacity opacity(translucentFirst);
    AboutLink link(label, &opacity);

    link.Label10_Click();
    QPointer<Form2> first = link.window();
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QVERIFY(!first->parentWidget());
    for (int tick = 0; tick < ticks; ++tick)
        first->Timer1_Timer();
    if (closeFirst)
        first->close();

    opacity.translucent = translucentSecond;
    opacity.alphas.clear();
    link.Label10_Click();
    Form2 *second = link.window();
    QVERIFY(second);
    QVERIFY(second->isVisible());
    second->Timer1_Timer();

    QCOMPARE(opacity.alphas, alphasAfterClickAndTick);
    QCOMPARE(second->Timer1->Interval(), intervalAfter);
    deleteClosedWindows();
    // A closed window is destroyed; an open one is the same window raised.
    QCOMPARE(first.isNull(), closeFirst);
    QCOMPARE(second == first, !closeFirst);
}

void TestAboutLink::linkBlinksFromStartUp_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<bool>("aboutOpen");
    QTest::addColumn<QString>("caption");

    const QString about = QStringLiteral("关于本程序");
    const QString clickMe = QStringLiteral("Click Me!!");
    QTest::newRow("start-up") << 0 << false << about;
    QTest::newRow("tick 1 (2 s)") << 1 << false << about;
    QTest::newRow("tick 2 (4 s)") << 2 << false << clickMe;
    QTest::newRow("tick 3 (6 s)") << 3 << false << about;
    QTest::newRow("tick 4 (8 s)") << 4 << false << clickMe;
    QTest::newRow("tick 2 with the About window open") << 2 << true << clickMe;
    QTest::newRow("tick 3 with the About window open") << 3 << true << about;
}

void TestAboutLink::linkBlinksFromStartUp()
{
    QFETCH(int, ticks);
    QFETCH(bool, aboutOpen);
    QFETCH(QString, caption);

    wavemill::testing::WatchedForm watched;
    wavemill::Form1 &form = watched.form;
    QCOMPARE(form.Timer2->Interval(), 2000);
    if (aboutOpen)
        form.Label10_Click();
    for (int tick = 0; tick < ticks; ++tick)
        form.Timer2_Timer();
    QCOMPARE(form.Label10->Caption(), caption);
}

void TestAboutLink::opensOpaqueWhereTheWindowSystemCannotFade()
{
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        QSKIP("needs the offscreen platform, which has no window opacity");

    wavemill::testing::WatchedForm watched;
    wavemill::Form1 &form = watched.form;
    form.Label10_Click();
    Form2 *about = openAboutWindow();
    QVERIFY(about);
    QVERIFY(!about->layered());
    about->Timer1_Timer();
    QCOMPARE(about->windowOpacity(), 1.0);
}

void TestAboutLink::closingMainWindowClosesAboutAndEndsProgram()
{
    wavemill::testing::WatchedForm watched;
    wavemill::Form1 &form = watched.form;
    wavemill::testing::FakeSerialComponent &fake = watched.serial;
    QVERIFY(!form.windowIcon().pixmap(32, 32).isNull());
    form.show();
    form.Label10_Click();
    QPointer<Form2> about = openAboutWindow();
    QVERIFY(about);

    // A capture runs, and every timer is due soon.
    form.Command2_Click();
    QVERIFY(fake.PortOpen());
    form.Timer1->setInterval(20);
    form.Timer2->setInterval(20);
    about->Timer1->setInterval(20);

    QTimer::singleShot(0, &form, [&form] { form.close(); });
    // Should the program go on running, give up after a while.
    QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(about.isNull());
    QVERIFY(!form.isVisible());
    QVERIFY(!fake.PortOpen());

    // No handler runs any more: no tick, no blink, no block, no click.
    const QStringList captions = {form.Label1->Caption(), form.Label2->Caption(),
                                  form.Label10->Caption()};
    fake.feed(QByteArray(1024, '\x55'));
    Q_EMIT form.Label10->Click();
    QTest::qWait(150);
    QCOMPARE(QStringList({form.Label1->Caption(), form.Label2->Caption(), form.Label10->Caption()}),
             captions);
    QVERIFY(about.isNull());
}

QTEST_MAIN(TestAboutLink)
#include "test_about_link.moc"
