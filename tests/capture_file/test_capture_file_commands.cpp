// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "acquisition/capture.h"
#include "app/form1.h"
#include "capture_file/capture_file_format.h"
#include "platform/label_control.h"
#include "platform/picture_box.h"
#include "support/recording_surface.h"

#include "capture_file_test_support.h"
#include "support/recording_message_box.h"
#include "support/scripted_file_dialog.h"
#include "support/watched_form.h"

#include <QTemporaryDir>
#include <QTest>

using namespace wavemill;
using namespace wavemill::testing;
using testing::RecordingSurface;

namespace {

const QString kFilter = QStringLiteral("Ird文件|*.ird");
const QString kLoadFailed = QStringLiteral("打开文件出错");
const QString kSaveFailed = QStringLiteral("保存文件出错");

/// The watched main window with a scripted file dialog and a recording
/// message box.
struct Rig
{
    ScriptedFileDialog dialog;
    RecordingMessageBox messages;
    WatchedForm watched{&dialog, &messages};
    Form1 &form = watched.form;
    RecordingSurface &drawn = watched.drawing;
};

/// What the user can see of the window's state, besides the buffers.
struct Outside
{
    std::int32_t WriteIndex;
    std::int16_t zoomFactor;
    std::int32_t storedScrollValue;
    int combo1Index;
    QString combo1Text;
    QString label1;
    int scrollMinimum;
    int scrollMaximum;
    int scrollValue;

    explicit Outside(Form1 &form)
        : WriteIndex(form.capture().WriteIndex), zoomFactor(form.state().zoomFactor),
          storedScrollValue(form.state().storedScrollValue),
          combo1Index(form.Combo1->currentIndex()), combo1Text(form.Combo1->currentText()),
          label1(form.Label1->Caption()), scrollMinimum(form.HScroll1->minimum()),
          scrollMaximum(form.HScroll1->maximum()), scrollValue(form.HScroll1->value())
    {
    }

    bool operator==(const Outside &o) const
    {
        return WriteIndex == o.WriteIndex && zoomFactor == o.zoomFactor &&
               storedScrollValue == o.storedScrollValue && combo1Index == o.combo1Index &&
               combo1Text == o.combo1Text && label1 == o.label1 &&
               scrollMinimum == o.scrollMinimum && scrollMaximum == o.scrollMaximum &&
               scrollValue == o.scrollValue;
    }
};

/// Gives the window's state marks that a stray write would disturb.
void unsettle(Form1 &form)
{
    form.capture().WriteIndex = 4096;
    form.Combo1->setCurrentIndex(form.Combo1->count() - 1);
    form.Label1->setCaption(QStringLiteral("status before"));
}

} // namespace

class TestCaptureFileCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loadRedrawsAtScrollBarAndZoom_data();
    void loadRedrawsAtScrollBarAndZoom();
    void savedCaptureLoadsBackThroughTheButtons();
    void badFileLoadChangesNothing_data();
    void badFileLoadChangesNothing();
    void failedSaveShowsMessageAndKeepsOldFile_data();
    void failedSaveShowsMessageAndKeepsOldFile();
    void cancelAfterEarlierChoiceTouchesNothing_data();
    void cancelAfterEarlierChoiceTouchesNothing();
    void lastChosenNameStartsNextDialogOfEitherKind();
};

void TestCaptureFileCommands::loadRedrawsAtScrollBarAndZoom_data()
{
    QTest::addColumn<int>("zoomIns");
    QTest::addColumn<int>("zoomOuts");
    QTest::addColumn<int>("scroll");

    QTest::newRow("start of capture at first zoom") << 0 << 0 << 0;
    QTest::newRow("scrolled at first zoom") << 0 << 0 << 1234;
    QTest::newRow("scrolled after zooming in twice") << 2 << 0 << 20000;
    QTest::newRow("scrolled to the end zoomed out") << 0 << 2 << -1; // -1: the maximum
}

void TestCaptureFileCommands::loadRedrawsAtScrollBarAndZoom()
{
    QFETCH(int, zoomIns);
    QFETCH(int, zoomOuts);
    QFETCH(int, scroll);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("load.ird"));
    const auto onDisk = patternedTraces(30);
    QVERIFY(capture_file::writeCaptureFile(path, *onDisk));

    Rig rig;
    for (int i = 0; i < zoomIns; ++i)
        rig.form.Command5->click();
    for (int i = 0; i < zoomOuts; ++i)
        rig.form.Command6->click();
    rig.form.HScroll1->setValue(scroll < 0 ? rig.form.HScroll1->maximum() : scroll);
    QVERIFY(scroll <= 0 || rig.form.HScroll1->value() == scroll);
    // A stored value that differs from the bar, so that the load must read the bar.
    rig.form.state().storedScrollValue = 3;
    unsettle(rig.form);
    Outside before(rig.form);
    rig.drawn.clear();

    rig.dialog.choose(path);
    rig.form.Command1->click();

    QCOMPARE(rig.messages.texts, QStringList());
    QVERIFY(sameTraces(rig.form.state().traces, *onDisk));
    const int value = rig.form.HScroll1->value();
    QCOMPARE(rig.form.state().storedScrollValue, value);
    before.storedScrollValue = value;
    QVERIFY(Outside(rig.form) == before);

    // A clear, then the three traces from byte 2 x the bar's value at the current zoom.
    QCOMPARE(rig.drawn.ops().first().kind, RecordingSurface::Kind::Cls);
    QVERIFY(rig.watched.redraws() ==
            QList<WatchedForm::Drawing>{rig.watched.tracesFrom(2 * value)});
}

void TestCaptureFileCommands::savedCaptureLoadsBackThroughTheButtons()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saved.ird"));
    Rig rig;
    const auto captured = patternedTraces(40);
    rig.form.state().traces = *captured;
    rig.drawn.clear();

    rig.dialog.choose(path);
    rig.form.Command3->click();
    QCOMPARE(rig.messages.texts, QStringList());
    QCOMPARE(rig.drawn.ops().size(), 0); // a save draws nothing
    QCOMPARE(fileContents(path), capture_file::toImage(*captured));

    rig.form.state().traces = *patternedTraces(41);
    rig.dialog.choose(path);
    rig.form.Command1->click();
    QCOMPARE(rig.messages.texts, QStringList());
    QVERIFY(sameTraces(rig.form.state().traces, *captured));
}

void TestCaptureFileCommands::badFileLoadChangesNothing_data()
{
    QTest::addColumn<QString>("kind");
    for (const QString &kind : badFileKinds())
        QTest::newRow(qPrintable(kind)) << kind;
}

void TestCaptureFileCommands::badFileLoadChangesNothing()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const BadFile bad = makeBadFile(kind, dir.path(), capture_file::toImage(*patternedTraces(50)));
    if (!bad.skipReason.isEmpty())
        QSKIP(qPrintable(bad.skipReason));

    Rig rig;
    const auto held = patternedTraces(51);
    rig.form.state().traces = *held;
    rig.form.HScroll1->setValue(100);
    rig.form.state().storedScrollValue = 7;
    unsettle(rig.form);
    const Outside before(rig.form);
    const QStringList folder = folderListing(dir.path());
    rig.drawn.clear();

    rig.dialog.choose(bad.path);
    rig.form.Command1->click();

    QCOMPARE(rig.messages.texts, QStringList{kLoadFailed});
    QVERIFY(sameTraces(rig.form.state().traces, *held));
    QCOMPARE(rig.drawn.ops().size(), 0); // the view is neither cleared nor redrawn
    QVERIFY(Outside(rig.form) == before);
    QCOMPARE(folderListing(dir.path()), folder);
}

void TestCaptureFileCommands::failedSaveShowsMessageAndKeepsOldFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder that does not exist") << QStringLiteral("missing folder");
    QTest::newRow("target is a directory") << QStringLiteral("directory");
    QTest::newRow("target is a FIFO") << QStringLiteral("FIFO");
}

void TestCaptureFileCommands::failedSaveShowsMessageAndKeepsOldFile()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    // A good capture saved earlier, which the failed save must not disturb.
    const QString old = dir.filePath(QStringLiteral("old.ird"));
    const QByteArray oldImage = capture_file::toImage(*patternedTraces(60));
    QVERIFY(writeFile(old, oldImage));

    QString target = dir.filePath(QStringLiteral("target.ird"));
    if (kind == QLatin1String("missing folder"))
        target = dir.filePath(QStringLiteral("gone/old.ird"));
    else if (kind == QLatin1String("directory"))
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("target.ird")));
    else if (kind == QLatin1String("FIFO"))
        QVERIFY(makeFifo(target));
    const QStringList folder = folderListing(dir.path());

    Rig rig;
    const auto captured = patternedTraces(61);
    rig.form.state().traces = *captured;
    rig.drawn.clear();
    rig.dialog.choose(target);
    rig.form.Command3->click();

    QCOMPARE(rig.messages.texts, QStringList{kSaveFailed});
    QCOMPARE(folderListing(dir.path()), folder);
    QCOMPARE(fileContents(old), oldImage);
    QCOMPARE(rig.drawn.ops().size(), 0);

    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere.ird"));
    rig.dialog.choose(elsewhere);
    rig.form.Command3->click();
    QCOMPARE(rig.messages.texts, QStringList{kSaveFailed}); // no second message
    QCOMPARE(fileContents(elsewhere), capture_file::toImage(*captured));
}

void TestCaptureFileCommands::cancelAfterEarlierChoiceTouchesNothing_data()
{
    QTest::addColumn<bool>("firstIsSave");
    QTest::addColumn<bool>("cancelledIsSave");

    QTest::newRow("load cancelled after a save") << true << false;
    QTest::newRow("save cancelled after a save") << true << true;
    QTest::newRow("load cancelled after a load") << false << false;
    QTest::newRow("save cancelled after a load") << false << true;
}

void TestCaptureFileCommands::cancelAfterEarlierChoiceTouchesNothing()
{
    QFETCH(bool, firstIsSave);
    QFETCH(bool, cancelledIsSave);

    QTemporaryDir dir;
    const QString chosen = dir.filePath(QStringLiteral("chosen.ird"));
    Rig rig;
    if (firstIsSave) {
        rig.form.state().traces = *patternedTraces(70);
        rig.dialog.choose(chosen);
        rig.form.Command3->click();
    } else {
        QVERIFY(writeFile(chosen, capture_file::toImage(*patternedTraces(70))));
        rig.dialog.choose(chosen);
        rig.form.Command1->click();
    }
    QCOMPARE(rig.messages.texts, QStringList());
    QCOMPARE(rig.dialog.FileName(), chosen);

    // The window now holds something other than the file.
    const auto held = patternedTraces(71);
    rig.form.state().traces = *held;
    rig.form.state().storedScrollValue = 9;
    unsettle(rig.form);
    const Outside before(rig.form);
    const QByteArray onDisk = fileContents(chosen);
    const QDateTime modified = QFileInfo(chosen).lastModified();
    const QStringList folder = folderListing(dir.path());
    rig.drawn.clear();

    rig.dialog.cancel();
    if (cancelledIsSave)
        rig.form.Command3->click();
    else
        rig.form.Command1->click();

    QCOMPARE(rig.dialog.shown().size(), 2);
    QCOMPARE(rig.messages.texts, QStringList());
    QVERIFY(sameTraces(rig.form.state().traces, *held));
    QCOMPARE(rig.drawn.ops().size(), 0);
    QVERIFY(Outside(rig.form) == before);
    QCOMPARE(fileContents(chosen), onDisk);
    QCOMPARE(QFileInfo(chosen).lastModified(), modified);
    QCOMPARE(folderListing(dir.path()), folder);
}

void TestCaptureFileCommands::lastChosenNameStartsNextDialogOfEitherKind()
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.ird"));
    const QString second = dir.filePath(QStringLiteral("second.ird"));
    Rig rig;
    rig.dialog.choose(first);
    rig.form.Command3->click(); // save as first
    rig.dialog.choose(second);
    rig.form.Command3->click(); // save as second
    rig.dialog.choose(first);
    rig.form.Command1->click(); // load first
    rig.dialog.cancel();
    rig.form.Command3->click(); // cancelled save
    rig.dialog.cancel();
    rig.form.Command1->click(); // cancelled load

    using Kind = ScriptedFileDialog::Kind;
    const QList<ScriptedFileDialog::Shown> shown = rig.dialog.shown();
    QCOMPARE(shown.size(), 5);
    const QList<Kind> kinds = {Kind::Save, Kind::Save, Kind::Open, Kind::Save, Kind::Open};
    const QStringList startingNames = {QString(), first, second, first, first};
    for (int i = 0; i < shown.size(); ++i) {
        QCOMPARE(shown[i].kind, kinds[i]);
        QCOMPARE(shown[i].startingName, startingNames[i]);
        QCOMPARE(shown[i].filter, kFilter);
    }
    QCOMPARE(rig.messages.texts, QStringList());
}

QTEST_MAIN(TestCaptureFileCommands)
#include "test_capture_file_commands.moc"
