// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "acquisition/capture.h"
#include "acquisition/serial_setup.h"
#include "app/form1.h"
#include "capture_file/capture_file_format.h"
#include "support/recording_message_box.h"
#include "support/watched_form.h"
#include "platform/interval_timer.h"
#include "platform/label_control.h"
#include "platform/line_control.h"
#include "platform/picture_box.h"

#include <QtTest>

using namespace wavemill;
using platform::LabelControl;
using platform::LineControl;

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void placesEveryControlInTwips_data();
    void placesEveryControlInTwips();
    void placesTheLinesOnTheirSurfaces_data();
    void placesTheLinesOnTheirSurfaces();
    void cannotBeResized();
    void startsIdleWithNothingDrawn();
    void movesFocusInTheCapturesOrder();
    void writesTheTraceCaptionsBlackUnderAnyTheme();
    void configuresThePortAtLoadWithoutOpeningIt();
    void closingEndsTheProgram();
    void answersItsCommandLine_data();
    void answersItsCommandLine();
    void opensTheFileNamedOnTheCommandLine_data();
    void opensTheFileNamedOnTheCommandLine();

private:
    std::unique_ptr<testing::WatchedForm> m_watched;
    testing::FakeSerialComponent *m_serial = nullptr;
    Form1 *m_form = nullptr;
};

void TestMainWindow::init()
{
    m_watched = std::make_unique<testing::WatchedForm>();
    m_serial = &m_watched->serial;
    m_form = &m_watched->form;
}

void TestMainWindow::cleanup()
{
    m_watched.reset();
}

void TestMainWindow::placesEveryControlInTwips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("sizesToText");
    auto row = [](const char *name, QRect r, const QString &text = QString(),
                  bool autoSize = false) {
        QTest::newRow(name) << QString::fromLatin1(name) << r << text << autoSize;
    };
    row("Picture1", {240, 120, 10215, 5175});
    row("Label7", {120, 240, 855, 255}, "第一通道");
    row("Label8", {120, 1560, 855, 255}, "第二通道");
    row("Label9", {120, 2880, 855, 255}, "第三通道");
    row("Label3", {9960, 5160, 540, 180}, "Label3", true);
    row("HScroll1", {240, 5400, 10215, 255});
    row("Command5", {840, 5880, 975, 375}, "放大");
    row("Command6", {1920, 5880, 855, 375}, "缩少");
    row("Command2", {3000, 5880, 1455, 375}, "开始采集");
    row("Picture2", {4800, 5880, 3495, 255});
    row("Label4", {8400, 5880, 1080, 180}, "数据传输率：", true);
    row("Label2", {9480, 5880, 540, 180}, "0Bit/s", true);
    row("Label1", {4800, 6240, 2880, 180}, "串口还未开启，请单击开始采集按钮", true);
    row("Label6", {840, 6360, 1335, 255}, "显示通道：");
    row("Combo1", {2280, 6360, 2055, 300}, "1");
    row("Command1", {4920, 6600, 1215, 375}, "载入");
    row("Command3", {6480, 6600, 1215, 375}, "保存");
    row("Label11", {840, 6720, 1095, 375}, "串口选择：");
    row("Combo2", {2280, 6720, 2055, 300}, "1");
    row("Label10", {9240, 6720, 975, 255}, "关于本程序");
    row("Label5", {8160, 6840, 810, 300}, "", true);
}

void TestMainWindow::placesEveryControlInTwips()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, text);
    QFETCH(bool, sizesToText);
    auto *control = m_form->findChild<QWidget *>(name);
    QVERIFY2(control, qPrintable(name));
    const QRect pixels(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    QCOMPARE(control->pos(), pixels.topLeft());
    if (!sizesToText)
        QCOMPARE(control->size(), pixels.size());

    if (auto *label = qobject_cast<QLabel *>(control))
        QCOMPARE(label->text(), text);
    else if (auto *button = qobject_cast<QPushButton *>(control))
        QCOMPARE(button->text(), text);
    else if (auto *combo = qobject_cast<QComboBox *>(control))
        QCOMPARE(combo->currentText(), text);
}

void TestMainWindow::placesTheLinesOnTheirSurfaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QLineF>("ends");
    QTest::addColumn<QRgb>("colour");
    QTest::newRow("Line2 between traces 1 and 2")
        << "Line2" << QLineF(0, 1320, 10200, 1320) << qRgb(0, 0, 0);
    QTest::newRow("Line3 between traces 2 and 3")
        << "Line3" << QLineF(0, 2640, 10200, 2640) << qRgb(0, 0, 0);
    QTest::newRow("Line1 the cursor") << "Line1" << QLineF(0, -240, 0, 5160) << qRgb(0, 0, 0);
    QTest::newRow("Line4 the progress bar, in pixels")
        << "Line4" << QLineF(0, 0, 0, 16) << qRgb(199, 240, 254);
}

void TestMainWindow::placesTheLinesOnTheirSurfaces()
{
    QFETCH(QString, name);
    QFETCH(QLineF, ends);
    QFETCH(QRgb, colour);
    auto *line = m_form->findChild<LineControl *>(name);
    QVERIFY(line);
    QCOMPARE(QLineF(line->X1(), line->Y1(), line->X2(), line->Y2()), ends);
    QCOMPARE(line->BorderColor(), colour);
    QCOMPARE(line->BorderWidth(), 1);
}

void TestMainWindow::cannotBeResized()
{
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Wavemill"));
    QCOMPARE(m_form->size(), QSize(712, 479));
    QCOMPARE(m_form->minimumSize(), QSize(712, 479));
    QCOMPARE(m_form->maximumSize(), QSize(712, 479));
    QVERIFY(!(m_form->windowFlags() & Qt::WindowMaximizeButtonHint));
}

void TestMainWindow::startsIdleWithNothingDrawn()
{
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    QCOMPARE(m_form->HScroll1->maximum(), 31615);
    QCOMPARE(m_form->HScroll1->value(), 0);
    QCOMPARE(m_form->HScroll1->singleStep(), 2);
    QCOMPARE(m_form->HScroll1->pageStep(), 100);
    QCOMPARE(m_form->Label12->text(), QStringLiteral("0%"));
    QCOMPARE(m_form->Label2->text(), QStringLiteral("0Bit/s"));
    QCOMPARE(m_form->Timer1->Interval(), 0);
    QCOMPARE(m_form->Timer2->Interval(), 2000);
    QVERIFY(!m_serial->PortOpen());
    for (QWidget *w :
         {static_cast<QWidget *>(m_form->Command1), static_cast<QWidget *>(m_form->Command2),
          static_cast<QWidget *>(m_form->Command3), static_cast<QWidget *>(m_form->Combo1)})
        QVERIFY(w->isEnabled());

    const SharedState &state = m_form->state();
    QCOMPARE(state.zoomFactor, std::int16_t(10));
    QCOMPARE(state.samplePeriod, 20.0736f);
    QCOMPARE(double(state.samplePeriod), 20.07360076904296875);
    QCOMPARE(m_form->capture().WriteIndex, 0);
    for (const TraceBuffer &buffer : state.traces.buffers)
        QVERIFY(std::all_of(buffer.begin(), buffer.end(), [](std::uint8_t b) { return b == 0; }));

    // Nothing is drawn: the view is its background colour throughout.
    const QImage image = m_form->Picture1->image();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            QCOMPARE(image.pixel(x, y), qRgb(255, 253, 242));
}

void TestMainWindow::movesFocusInTheCapturesOrder()
{
    m_form->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    const QList<QWidget *> order = {m_form->Command2, m_form->HScroll1, m_form->Command5,
                                    m_form->Command6, m_form->Combo1,   m_form->Combo2,
                                    m_form->Command1, m_form->Command3, m_form->Command2};
    m_form->Command2->setFocus(Qt::OtherFocusReason);
    // The scroll bar shows the focus, and only while it has it.
    const QImage scrollBarWithoutFocus = m_form->HScroll1->grab().toImage();
    for (int i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *focused = QApplication::focusWidget();
        // An editable combo box hands its focus to its line edit.
        if (focused && order[i] != focused && order[i]->isAncestorOf(focused))
            focused = order[i];
        QCOMPARE(focused ? focused->objectName() : QString(), order[i]->objectName());
        QCOMPARE(m_form->HScroll1->grab().toImage() == scrollBarWithoutFocus,
                 focused != m_form->HScroll1);
    }

    // With the focus, the keys move the view by the scroll bar's steps.
    const QList<QPair<Qt::Key, int>> keys = {{Qt::Key_Right, 2},
                                             {Qt::Key_Right, 4},
                                             {Qt::Key_Left, 2},
                                             {Qt::Key_PageDown, 102},
                                             {Qt::Key_PageUp, 2}};
    m_form->HScroll1->setFocus(Qt::TabFocusReason);
    for (const auto &[key, value] : keys) {
        QTest::keyClick(m_form->HScroll1, key);
        QCOMPARE(m_form->HScroll1->value(), value);
        QCOMPARE(m_form->state().storedScrollValue, value);
    }
}

void TestMainWindow::writesTheTraceCaptionsBlackUnderAnyTheme()
{
    const QPalette original = QApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, QColor(240, 240, 240));
    QApplication::setPalette(dark); // a theme changed under a window that is open
    QCoreApplication::processEvents();
    testing::WatchedForm later; // and a window opened under it
    for (Form1 *form : {m_form, &later.form}) {
        for (QLabel *caption : {form->Label7, form->Label8, form->Label9})
            QCOMPARE(caption->palette().color(caption->foregroundRole()), QColor(Qt::black));
        // Labels of no set colour follow the theme.
        QCOMPARE(form->Label6->palette().color(form->Label6->foregroundRole()),
                 QColor(240, 240, 240));
    }
    QApplication::setPalette(original);
}

void TestMainWindow::configuresThePortAtLoadWithoutOpeningIt()
{
    // As Init_com configures for the selector's "1", and no opening.
    testing::FakeSerialComponent reference;
    QVERIFY(acquisition::Init_com(reference, QStringLiteral("1")).isEmpty());
    QCOMPARE(m_serial->writes(), reference.writes());
    QVERIFY(!m_serial->PortOpen());
}

void TestMainWindow::closingEndsTheProgram()
{
    m_form->show();
    // The capture is left running: closing must not wait for it.
    QTest::mouseClick(m_form->Command2, Qt::LeftButton);
    QVERIFY(m_serial->PortOpen());
    QTimer::singleShot(0, m_form, [this] { m_form->close(); });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!m_serial->PortOpen());
}

void TestMainWindow::answersItsCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    // --help and --version must not need a display; the rest start the toolkit.
    QTest::addColumn<bool>("display");
    QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: wavemill [FILE.ird]" << false;
    QTest::newRow("version") << QStringList{"-v"} << 0 << "wavemill 1." << false;
    QTest::newRow("help after a file") << QStringList{"x.ird", "-h"} << 0 << "Usage:" << false;
    QTest::newRow("unknown option")
        << QStringList{"--bogus"} << 2 << "wavemill: Unknown option 'bogus'." << true;
    QTest::newRow("two files") << QStringList{"a.ird", "b.ird"} << 2
                               << "wavemill: one capture file at most" << true;
}

void TestMainWindow::answersItsCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, display);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                       display ? QStringLiteral("offscreen") : QStringLiteral("xcb"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(WAVEMILL_APP_PATH), arguments);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QTEST(program.exitCode(), "status");
    const QString output =
        QString::fromUtf8(program.readAllStandardOutput() + program.readAllStandardError());
    QFETCH(QString, says);
    QVERIFY2(output.contains(says), qPrintable(output));
}

void TestMainWindow::opensTheFileNamedOnTheCommandLine_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no such file
    QTest::addColumn<bool>("loads");
    QByteArray whole(capture_file::kFileSize, '\0');
    for (int i = 0; i < whole.size(); ++i)
        whole[i] = char(i * 7);
    QTest::newRow("a capture file") << whole << true;
    QTest::newRow("no such file") << QByteArray() << false;
    QTest::newRow("one byte short") << whole.left(whole.size() - 1) << false;
}

void TestMainWindow::opensTheFileNamedOnTheCommandLine()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, loads);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("capture.ird"));
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    testing::RecordingMessageBox messages;
    testing::WatchedForm watched(nullptr, &messages);
    watched.drawing.clear();

    watched.form.openCaptureFile(path);
    // As 载入 loads a file: all three buffers and a redraw, or the message and nothing.
    const auto &buffers = watched.form.state().traces.buffers;
    QByteArray held;
    for (const auto &buffer : buffers)
        held.append(reinterpret_cast<const char *>(buffer.data()), qsizetype(buffer.size()));
    QCOMPARE(held == content, loads);
    QCOMPARE(held.count('\0') == held.size(), !loads);
    QCOMPARE(messages.texts, loads ? QStringList() : QStringList{QStringLiteral("打开文件出错")});
    QCOMPARE(watched.redraws().size(), loads ? 1 : 0);
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
