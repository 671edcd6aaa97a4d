// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/about_font.h"
#include "about/form2.h"
#include "platform/interval_timer.h"
#include "platform/label_control.h"
#include "support/recording_opacity.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QtTest>

using wavemill::about::Form2;
using wavemill::platform::LabelControl;

namespace {

/// The ticks of a whole fade: 5, 10, ... 255.
constexpr int kFadeTicks = 51;

QWidget *control(Form2 &form, int number)
{
    switch (number) {
    case 1:
        return form.Label1;
    case 2:
        return form.Label2;
    case 3:
        return form.Label3;
    case 4:
        return form.Label4;
    case 5:
        return form.Label5;
    default:
        return form.Image1;
    }
}

QList<int> fadeFromLoad()
{
    QList<int> alphas{1};
    for (int alpha = 5; alpha <= 255; alpha += 5)
        alphas.append(alpha);
    return alphas;
}

} // namespace

class TestAboutWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fadeRunsTickByTickToOpaque_data();
    void fadeRunsTickByTickToOpaque();
    void controlsSitAtTheirTwipPositions_data();
    void controlsSitAtTheirTwipPositions();
    void titleIsBoldNinePoint();
    void windowHasTitleIconAndFixedFrame();
    void sizeFollowsThePictureAndIsCentred_data();
    void sizeFollowsThePictureAndIsCentred();
    void fontFamilyPrefersTheDesignedFace_data();
    void fontFamilyPrefersTheDesignedFace();
};

void TestAboutWindow::fadeRunsTickByTickToOpaque_data()
{
    QTest::addColumn<bool>("translucent");
    QTest::addColumn<QList<int>>("alphas");
    QTest::addColumn<int>("intervalAfter");

    QTest::newRow("translucent window fades from 1 to 255") << true << fadeFromLoad() << 0;
    QTest::newRow("no translucency: never set, ticks do nothing") << false << QList<int>() << 10;
}

void TestAboutWindow::fadeRunsTickByTickToOpaque()
{
    QFETCH(bool, translucent);
    QFETCH(QList<int>, alphas);
    QFETCH(int, intervalAfter);

    RecordingOpacity opacity(translucent);
    Form2 form(&opacity);
    form.Form_Load();
    QCOMPARE(form.layered(), translucent);
    QCOMPARE(form.Timer1->Interval(), 10);
    QCOMPARE(opacity.alphas, alphas.mid(0, 1));

    for (int tick = 1; tick <= kFadeTicks; ++tick) {
        // Still running until the last tick makes the window opaque.
        QCOMPARE(form.Timer1->Interval(), 10);
        form.Timer1_Timer();
        QCOMPARE(opacity.alphas, alphas.mid(0, translucent ? tick + 1 : 0));
    }
    QCOMPARE(form.Timer1->Interval(), intervalAfter);

    // A late tick (one already queued, say) changes nothing.
    for (int tick = 0; tick < 5; ++tick)
        form.Timer1_Timer();
    QCOMPARE(opacity.alphas, alphas);
    QCOMPARE(form.fadeLevel(), translucent ? 255 : 0);
}

void TestAboutWindow::controlsSitAtTheirTwipPositions_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QRect>("pixels");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QColor>("colour");

    const QColor plain = QApplication::palette().color(QPalette::WindowText);
    // Label1 sizes itself to its text, so only its corner is fixed.
    QTest::newRow("Image1 picture") << 0 << QRect(0, 0, 350, 235) << QStringList() << QColor();
    QTest::newRow("Label1 name and version")
        << 1 << QRect(128, 56, -1, -1) << QStringList{"Wavemill Ver1.0"} << QColor(128, 128, 255);
    QTest::newRow("Label2 credit")
        << 2 << QRect(160, 80, 169, 17) << QStringList{"Wavemill", "2026年12月"}
        << QColor(128, 128, 128);
    QTest::newRow("Label3 project address")
        << 3 << QRect(160, 104, 145, 17) << QStringList{"wavemill/issues"} << plain;
    QTest::newRow("Label4 second contact")
        << 4 << QRect(160, 128, 137, 17) << QStringList{"wavemill/"} << plain;
    QTest::newRow("Label5 invitation")
        << 5 << QRect(160, 152, 121, 17) << QStringList{"欢迎交流指导"} << plain;
}

void TestAboutWindow::controlsSitAtTheirTwipPositions()
{
    QFETCH(int, number);
    QFETCH(QRect, pixels);
    QFETCH(QStringList, texts);
    QFETCH(QColor, colour);

    RecordingOpacity opacity;
    Form2 form(&opacity);
    form.Image1->move(30, 40); // the load step puts it back at the corner
    form.Form_Load();
    QWidget *widget = control(form, number);

    QCOMPARE(widget->pos(), pixels.topLeft());
    if (pixels.width() >= 0)
        QCOMPARE(widget->size(), pixels.size());
    QVERIFY(widget->isVisibleTo(&form));

    if (number == 0) {
        QCOMPARE(form.Image1->pixmap().size(), QSize(350, 235));
        return;
    }
    auto *label = static_cast<LabelControl *>(widget);
    for (const QString &text : texts)
        QVERIFY2(label->Caption().contains(text), qPrintable(label->Caption()));
    QCOMPARE(label->palette().color(QPalette::WindowText), colour);
    QVERIFY(!label->autoFillBackground());
    // Stacked above the picture, and its text is not clipped.
    const QObjectList stack = form.children();
    QVERIFY(stack.indexOf(form.Image1) < stack.indexOf(label));
    QVERIFY2(label->fontMetrics().horizontalAdvance(label->Caption()) <= label->width(),
             qPrintable(label->Caption()));
}

void TestAboutWindow::titleIsBoldNinePoint()
{
    RecordingOpacity opacity;
    Form2 form(&opacity);
    const QFont title = form.Label1->font();
    QVERIFY(title.bold());
    QCOMPARE(title.pointSize(), 9);
    QVERIFY(!form.Label2->font().bold());
    const QString family = wavemill::about::aboutFontFamily();
    if (!family.isEmpty())
        QCOMPARE(title.family(), family);
    // The auto-sized title shows all of its text.
    QCOMPARE(form.Label1->width(), form.Label1->sizeHint().width());
}

void TestAboutWindow::windowHasTitleIconAndFixedFrame()
{
    RecordingOpacity opacity;
    Form2 form(&opacity);
    form.Form_Load();
    form.show();

    QCOMPARE(form.windowTitle(), QStringLiteral("关于本程序"));
    const QImage icon(QStringLiteral(":/wavemill/icon32.png"));
    QCOMPARE(icon.size(), QSize(32, 32));
    const QImage shown = form.windowIcon().pixmap(32, 32).toImage();
    QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
             icon.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    QCOMPARE(form.minimumSize(), form.size());
    QCOMPARE(form.maximumSize(), form.size());
    QVERIFY(!form.parentWidget());
}

void TestAboutWindow::sizeFollowsThePictureAndIsCentred_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("outer");

    // 300 twips more height than the picture: 20 pixels.
    QTest::newRow("shipped picture") << QSize() << QSize(350, 255);
    QTest::newRow("smaller picture") << QSize(200, 100) << QSize(200, 120);
    QTest::newRow("larger picture") << QSize(500, 330) << QSize(500, 350);
    // No image plug-in for JPEG: the picture's designed size still holds.
    QTest::newRow("picture that cannot be read") << QSize(0, 0) << QSize(350, 255);
}

void TestAboutWindow::sizeFollowsThePictureAndIsCentred()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, outer);

    RecordingOpacity opacity;
    Form2 form(&opacity);
    if (picture.isValid()) {
        QPixmap other(picture);
        other.fill(Qt::white);
        form.Image1->setPixmap(other);
        form.Image1->adjustSize();
    }
    form.Form_Load();
    form.show();

    QCOMPARE(form.outerSize(), outer);
    // The frame takes its share out of the outer size.
    QCOMPARE(form.frameGeometry().size(), outer);
    const QRect screen = form.screen()->geometry();
    QVERIFY(qAbs(form.frameGeometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(form.frameGeometry().center().y() - screen.center().y()) <= 1);
}

void TestAboutWindow::fontFamilyPrefersTheDesignedFace_data()
{
    QTest::addColumn<QStringList>("families");
    QTest::addColumn<QString>("chosen");

    QTest::newRow("designed face by its Chinese name")
        << QStringList{"WenQuanYi Micro Hei", "宋体", "SimSun"} << "宋体";
    QTest::newRow("designed face by its Latin name")
        << QStringList{"Noto Sans CJK SC", "simsun"} << "simsun";
    QTest::newRow("serif fallback before sans")
        << QStringList{"WenQuanYi Micro Hei", "Noto Sans CJK SC", "AR PL UMing CN"}
        << "AR PL UMing CN";
    QTest::newRow("unlisted CJK face") << QStringList{"Some Hei", "Other Song"} << "Some Hei";
    QTest::newRow("no CJK face at all") << QStringList() << QString();
}

void TestAboutWindow::fontFamilyPrefersTheDesignedFace()
{
    QFETCH(QStringList, families);
    QFETCH(QString, chosen);
    QCOMPARE(wavemill::about::aboutFontFamily(families), chosen);
}

QTEST_MAIN(TestAboutWindow)
#include "test_about_window.moc"
