// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt_file_dialog.h"
#include "platform/qt_message_box.h"

#include "capture_file_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace wavemill;
using namespace wavemill::testing;

namespace {

/// Waits for the next modal window of type T to open and hands it to \a act,
/// as a user would answer it.
template <typename T> void answerNextModal(std::function<void(T *)> act)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (auto *window = qobject_cast<T *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(window);
        }
    });
    poll->start();
}

/// What a file dialog showed when it opened.
struct Opened
{
    QStringList nameFilters;
    QStringList selected;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
};

/// Answers the next file dialog by choosing \a name, or cancels it when empty.
void answerFileDialog(Opened &opened, const QString &name)
{
    answerNextModal<QFileDialog>([&opened, name](QFileDialog *dialog) {
        opened = {dialog->nameFilters(), dialog->selectedFiles(), dialog->acceptMode()};
        if (name.isEmpty()) {
            dialog->reject();
            return;
        }
        // Typed into the name box, as a user does: selectFile() leaves the box
        // alone while it has the focus.
        auto *nameBox = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!nameBox) {
            dialog->reject(); // the caller then sees a cancel and fails
            return;
        }
        nameBox->setText(name);
        static_cast<QDialog *>(dialog)->accept(); // what its OK button runs
    });
}

} // namespace

class TestQtFileDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filterIsWrittenTheQtWay_data();
    void filterIsWrittenTheQtWay();
    void realDialogsShareTheLastChosenName();
    void messageBoxHasOneOkButtonAndNoIcon();
};

void TestQtFileDialogs::filterIsWrittenTheQtWay_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("shown");

    QTest::newRow("capture files")
        << QStringLiteral("Ird文件|*.ird") << QStringLiteral("Ird文件 (*.ird)");
    QTest::newRow("two types") << QStringLiteral("A|*.a|B|*.b;*.c")
                               << QStringLiteral("A (*.a);;B (*.b;*.c)");
    QTest::newRow("empty") << QString() << QString();
}

void TestQtFileDialogs::filterIsWrittenTheQtWay()
{
    QFETCH(QString, filter);
    QFETCH(QString, shown);
    QCOMPARE(platform::QtFileDialog::toQtFilter(filter), shown);
}

void TestQtFileDialogs::realDialogsShareTheLastChosenName()
{
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("saved.ird"));
    const QString other = dir.filePath(QStringLiteral("other.ird"));
    QVERIFY(writeFile(other, "x")); // the open dialog takes only existing files

    platform::QtFileDialog dialog(nullptr);
    dialog.setFilter(QStringLiteral("Ird文件|*.ird"));
    Opened opened;

    answerFileDialog(opened, saved);
    QVERIFY(dialog.ShowSave());
    QCOMPARE(opened.mode, QFileDialog::AcceptSave);
    QCOMPARE(opened.nameFilters, QStringList{QStringLiteral("Ird文件 (*.ird)")});
    QCOMPARE(dialog.FileName(), saved);

    // The open dialog starts from the name the save dialog chose.
    answerFileDialog(opened, QString());
    QVERIFY(!dialog.ShowOpen());
    QCOMPARE(opened.mode, QFileDialog::AcceptOpen);
    QCOMPARE(opened.selected, QStringList{saved});
    QCOMPARE(dialog.FileName(), saved); // a cancel keeps it

    answerFileDialog(opened, other);
    QVERIFY(dialog.ShowOpen());
    QCOMPARE(opened.selected, QStringList{saved});
    QCOMPARE(dialog.FileName(), other);

    // And the save dialog from the one the open dialog chose.
    answerFileDialog(opened, QString());
    QVERIFY(!dialog.ShowSave());
    QCOMPARE(opened.selected, QStringList{other});
    QCOMPARE(dialog.FileName(), other);
}

void TestQtFileDialogs::messageBoxHasOneOkButtonAndNoIcon()
{
    platform::QtMessageBox box(nullptr);
    QString text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QMessageBox::StandardButtons buttons;
    int buttonCount = 0;
    answerNextModal<QMessageBox>([&](QMessageBox *shown) {
        text = shown->text();
        icon = shown->icon();
        buttons = shown->standardButtons();
        buttonCount = int(shown->buttons().size());
        shown->button(QMessageBox::Ok)->click();
    });
    box.show(QStringLiteral("保存文件出错"));

    QCOMPARE(text, QStringLiteral("保存文件出错"));
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(buttonCount, 1);
}

QTEST_MAIN(TestQtFileDialogs)
#include "test_qt_file_dialogs.moc"
