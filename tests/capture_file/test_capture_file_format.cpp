// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture_file/capture_file_format.h"

#include "capture_file_test_support.h"

#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace wavemill;
using namespace wavemill::capture_file;
using namespace wavemill::testing;

namespace {

/// Limits the size of any file this process writes, as a full disk would, for
/// as long as it lives.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN); // a short write, not a signal
        m_ok = ::getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_ok = m_ok && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

/// An unprivileged user's ids: root may write into any folder.
constexpr uid_t kNobody = 65534;

/// Runs \a work as an unprivileged user in a child process when the tests
/// run as root, else here; returns what it returned.
bool asUnprivilegedUser(const std::function<bool()> &work)
{
    if (::geteuid() != 0)
        return work();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(2);
        ::_exit(work() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace

class TestCaptureFileFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void savedFileLoadsBackByteForByte();
    void eachBufferElementSitsAtItsOffset_data();
    void eachBufferElementSitsAtItsOffset();
    void longerFileLoadsItsFirstImage_data();
    void longerFileLoadsItsFirstImage();
    void savingOverLongerFileLeavesExactlyOneImage_data();
    void savingOverLongerFileLeavesExactlyOneImage();
    void badFileChangesNothing_data();
    void badFileChangesNothing();
    void failedSaveKeepsWhatWasThere_data();
    void failedSaveKeepsWhatWasThere();
    void saveKeepsTheFilesPermissionsInAnyFolder_data();
    void saveKeepsTheFilesPermissionsInAnyFolder();

private:
    static void longerFileTable();
};

void TestCaptureFileFormat::savedFileLoadsBackByteForByte()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("round-trip.ird"));
    const auto saved = patternedTraces(1);

    QVERIFY(writeCaptureFile(path, *saved));
    QCOMPARE(QFileInfo(path).size(), qint64(190467));

    auto loaded = patternedTraces(99);
    QVERIFY(readCaptureFile(path, *loaded));
    for (int channel = 1; channel <= kTraceCount; ++channel) {
        QCOMPARE((*loaded->trace(channel))[63488], (*saved->trace(channel))[63488]);
        QVERIFY2(*loaded->trace(channel) == *saved->trace(channel),
                 qPrintable(QStringLiteral("trace %1 differs").arg(channel)));
    }
    // Nothing but the target is left beside it.
    QCOMPARE(folderListing(dir.path()), QStringList{QStringLiteral("round-trip.ird file 190467")});
}

void TestCaptureFileFormat::eachBufferElementSitsAtItsOffset_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("index");
    QTest::addColumn<qint64>("offset");

    QTest::newRow("trace 1 first element") << 1 << 0 << qint64(0);
    QTest::newRow("trace 1 last element") << 1 << 63488 << qint64(63488);
    QTest::newRow("trace 2 first element") << 2 << 0 << qint64(63489);
    QTest::newRow("trace 2 element 1000") << 2 << 1000 << qint64(64489);
    QTest::newRow("trace 2 last element") << 2 << 63488 << qint64(126977);
    QTest::newRow("trace 3 first element") << 3 << 0 << qint64(126978);
    QTest::newRow("trace 3 last element") << 3 << 63488 << qint64(190466);
}

void TestCaptureFileFormat::eachBufferElementSitsAtItsOffset()
{
    QFETCH(int, channel);
    QFETCH(int, index);
    QFETCH(qint64, offset);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("one-byte.ird"));
    auto traces = std::make_unique<TraceBuffers>();
    (*traces->trace(channel))[index] = 0x5A;
    QVERIFY(writeCaptureFile(path, *traces));

    const QByteArray bytes = fileContents(path);
    QCOMPARE(bytes.size(), 190467);
    QCOMPARE(quint8(bytes[offset]), quint8(0x5A));
    QCOMPARE(bytes.count('\0'), 190466); // and nowhere else

    // And read back from the same place.
    auto loaded = patternedTraces(3);
    QVERIFY(readCaptureFile(path, *loaded));
    QVERIFY(sameTraces(*loaded, *traces));
}

void TestCaptureFileFormat::longerFileTable()
{
    QTest::addColumn<int>("size");
    QTest::newRow("one byte longer") << 190468;
    QTest::newRow("200,000 bytes") << 200000;
    QTest::newRow("one megabyte") << 1048576;
}

void TestCaptureFileFormat::longerFileLoadsItsFirstImage_data()
{
    longerFileTable();
}

void TestCaptureFileFormat::longerFileLoadsItsFirstImage()
{
    QFETCH(int, size);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.ird"));
    const auto traces = patternedTraces(5);
    QVERIFY(writeFile(path, toImage(*traces) + QByteArray(size - 190467, '\xEE')));

    auto loaded = patternedTraces(6);
    QVERIFY(readCaptureFile(path, *loaded));
    QVERIFY(sameTraces(*loaded, *traces));
    QCOMPARE(QFileInfo(path).size(), qint64(size)); // a load never writes
}

void TestCaptureFileFormat::savingOverLongerFileLeavesExactlyOneImage_data()
{
    longerFileTable();
}

void TestCaptureFileFormat::savingOverLongerFileLeavesExactlyOneImage()
{
    QFETCH(int, size);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.ird"));
    QVERIFY(writeFile(path, QByteArray(size, '\xEE')));

    const auto traces = patternedTraces(7);
    QVERIFY(writeCaptureFile(path, *traces));
    QCOMPARE(fileContents(path), toImage(*traces));
    QCOMPARE(folderListing(dir.path()), QStringList{QStringLiteral("old.ird file 190467")});
}

void TestCaptureFileFormat::badFileChangesNothing_data()
{
    QTest::addColumn<QString>("kind");
    for (const QString &kind : badFileKinds())
        QTest::newRow(qPrintable(kind)) << kind;
}

void TestCaptureFileFormat::badFileChangesNothing()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const auto other = patternedTraces(11);
    const BadFile bad = makeBadFile(kind, dir.path(), toImage(*other));
    if (!bad.skipReason.isEmpty())
        QSKIP(qPrintable(bad.skipReason));
    QVERIFY(kind == QLatin1String("empty name") || !bad.path.isEmpty());
    const QStringList before = folderListing(dir.path());

    auto traces = patternedTraces(12);
    const auto expected = patternedTraces(12);
    QVERIFY(!readCaptureFile(bad.path, *traces));
    QVERIFY(sameTraces(*traces, *expected));
    QCOMPARE(folderListing(dir.path()), before);
}

void TestCaptureFileFormat::failedSaveKeepsWhatWasThere_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder that does not exist") << QStringLiteral("missing folder");
    QTest::newRow("target is a directory") << QStringLiteral("directory");
    QTest::newRow("target is a FIFO") << QStringLiteral("FIFO");
    QTest::newRow("disk full part way over an old file") << QStringLiteral("disk full");
    QTest::newRow("empty name") << QStringLiteral("empty name");
}

void TestCaptureFileFormat::failedSaveKeepsWhatWasThere()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("capture.ird"));
    const auto old = patternedTraces(20);
    const QByteArray oldImage = toImage(*old);
    QString path = target;
    if (kind == QLatin1String("missing folder")) {
        path = dir.filePath(QStringLiteral("no-such-folder/capture.ird"));
    } else if (kind == QLatin1String("directory")) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("capture.ird")));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("capture.ird/inside")), "kept"));
    } else if (kind == QLatin1String("FIFO")) {
        QVERIFY(makeFifo(target));
    } else if (kind == QLatin1String("disk full")) {
        QVERIFY(writeFile(target, oldImage));
    } else if (kind == QLatin1String("empty name")) {
        path.clear();
    }
    const QStringList before = folderListing(dir.path());

    const auto traces = patternedTraces(21);
    bool saved = true;
    {
        std::unique_ptr<FileSizeLimit> full;
        if (kind == QLatin1String("disk full")) {
            full = std::make_unique<FileSizeLimit>(100000);
            QVERIFY(full->ok());
        }
        saved = writeCaptureFile(path, *traces);
    }
    QVERIFY(!saved);
    QCOMPARE(folderListing(dir.path()), before); // no half file, no temporary left
    if (kind == QLatin1String("disk full"))
        QCOMPARE(fileContents(target), oldImage);
    if (kind == QLatin1String("directory"))
        QCOMPARE(fileContents(dir.filePath(QStringLiteral("capture.ird/inside"))),
                 QByteArray("kept"));

    // Nothing is left open or locked: a later save elsewhere succeeds.
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere.ird"));
    QVERIFY(writeCaptureFile(elsewhere, *traces));
    QCOMPARE(fileContents(elsewhere), toImage(*traces));
}

void TestCaptureFileFormat::saveKeepsTheFilesPermissionsInAnyFolder_data()
{
    QTest::addColumn<bool>("folderWritable");
    QTest::addColumn<int>("mode");
    QTest::newRow("writable folder, private file") << true << 0600;
    QTest::newRow("writable folder, group-readable file") << true << 0640;
    // No temporary file can be made beside the target: written in place.
    QTest::newRow("folder the user cannot write") << false << 0644;
    QTest::newRow("folder the user cannot write, group-writable file") << false << 0664;
}

void TestCaptureFileFormat::saveKeepsTheFilesPermissionsInAnyFolder()
{
    QFETCH(bool, folderWritable);
    QFETCH(int, mode);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("captures"));
    const QString path = folder + QStringLiteral("/old.ird");
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(writeFile(path, QByteArray(200000, '\xEE')));
    // The user owns the file, not the folder.
    const uid_t user = ::geteuid() == 0 ? kNobody : ::geteuid();
    QCOMPARE(::chown(path.toLocal8Bit().constData(), user, gid_t(-1)), 0);
    QCOMPARE(::chmod(path.toLocal8Bit().constData(), mode_t(mode)), 0);
    QCOMPARE(::chmod(dir.path().toLocal8Bit().constData(), 0755), 0);
    QCOMPARE(::chmod(folder.toLocal8Bit().constData(), folderWritable ? 0777 : 0555), 0);

    const auto traces = patternedTraces(31);
    QVERIFY(asUnprivilegedUser([&] { return writeCaptureFile(path, *traces); }));
    QCOMPARE(fileContents(path), toImage(*traces));
    struct stat status;
    QCOMPARE(::stat(path.toLocal8Bit().constData(), &status), 0);
    QCOMPARE(int(status.st_mode & 07777), mode);
    QCOMPARE(folderListing(folder), QStringList{QStringLiteral("old.ird file 190467")});
    ::chmod(folder.toLocal8Bit().constData(), 0755); // so that it can be removed
}

QTEST_GUILESS_MAIN(TestCaptureFileFormat)
#include "test_capture_file_format.moc"
