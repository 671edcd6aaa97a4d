// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-export run as a user runs it: exit status, stderr, and what is
// left on disk when it fails, also where the disk fills up, files may not
// grow, or the output is not what it seems.

#include "capture_file/capture_file_format.h"

#include "support/program_run.h"
#include "tools/export/export_vcd_reader.h"
#include "tools/export/hostile_outputs.h"

#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>

using namespace wavemill;
using namespace wavemill::testing;

namespace {

ProgramRun runExport(const QStringList &arguments, const QString &folder,
                     const ChildLimits &limits = {})
{
    QProcess process;
    process.setWorkingDirectory(folder);
    limitChild(process, limits);
    process.start(QStringLiteral(WAVEMILL_EXPORT_PATH), arguments);
    ProgramRun run;
    if (!process.waitForFinished(kProgramTimeoutMs)) { // a hang fails the row
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

/// A file limit small enough for every output here to pass it.
constexpr rlim_t kSmallFileLimit = 4096;

/// What an earlier output file held; a failed export must leave it so.
const QByteArray kOldOutput("an earlier export\n");

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestExportProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void failsWithOneLineAndLeavesNoOutput_data();
    void failsWithOneLineAndLeavesNoOutput();
    void writesTheChosenTraces_data();
    void writesTheChosenTraces();
    void helpExplainsTheFormats();
    void replacesAFileKeepingItsOwnerModeAndLinks_data();
    void replacesAFileKeepingItsOwnerModeAndLinks();
    void removesWhatKilledRunsLeftBeside();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    bool m_smallDisk = false; // small/ is a tmpfs that fills up
    QString path(const QString &name) const { return m_dir->filePath(name); }
};

void TestExportProgram::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // A capture with a little on each trace, a short file, an empty one, a folder.
    auto traces = std::make_unique<TraceBuffers>();
    (*traces->trace(1))[0] = 0x0F;
    (*traces->trace(3))[100] = 0x80;
    QVERIFY(capture_file::writeCaptureFile(path(QStringLiteral("capture.ird")), *traces));
    // One whose every output is large: random levels.
    QRandomGenerator random(7);
    for (int n = 1; n <= kTraceCount; ++n) {
        for (std::uint8_t &byte : *traces->trace(n))
            byte = std::uint8_t(random.bounded(256));
    }
    QVERIFY(capture_file::writeCaptureFile(path(QStringLiteral("busy.ird")), *traces));
    writeFile(path(QStringLiteral("short.ird")), QByteArray(capture_file::kFileSize - 1, '\0'));
    writeFile(path(QStringLiteral("empty.ird")), QByteArray());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder.vcd")));
    QCOMPARE(::mkfifo(QFile::encodeName(path(QStringLiteral("fifo.ird"))).constData(), 0600), 0);
    writeFile(path(QStringLiteral("old.vcd")), kOldOutput);
    writeFile(path(QStringLiteral("old.csv")), kOldOutput);
    writeFile(path(QStringLiteral("old.sr")), kOldOutput);
    QCOMPARE(::mkfifo(QFile::encodeName(path(QStringLiteral("fifo.vcd"))).constData(), 0600), 0);
    QVERIFY(QFile::link(QStringLiteral("gone/none.vcd"), path(QStringLiteral("dangling.vcd"))));
    // A file its owner made read-only; nobody's, where the tests run as root.
    writeFile(path(QStringLiteral("readonly.csv")), kOldOutput);
    QVERIFY(::chown(QFile::encodeName(path(QStringLiteral("readonly.csv"))).constData(),
                    ::geteuid() == 0 ? kNobody : uid_t(-1), gid_t(-1)) == 0);
    QCOMPARE(::chmod(QFile::encodeName(path(QStringLiteral("readonly.csv"))).constData(), 0444), 0);
    // A disk that fills up, holding earlier files; a folder of its own where
    // no tmpfs may be mounted, for a limit on file sizes instead.
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("small")));
    m_smallDisk = mountSmallDisk(path(QStringLiteral("small")), 16);
    for (const char *name : {"old.sr", "old.vcd", "old.csv"})
        writeFile(path(QStringLiteral("small/") + QLatin1String(name)), kOldOutput);
}

void TestExportProgram::cleanup()
{
    if (m_smallDisk)
        unmount(path(QStringLiteral("small")));
    m_smallDisk = false;
}

void TestExportProgram::failsWithOneLineAndLeavesNoOutput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("saying"); // what the line must hold, a pattern
    QTest::addColumn<QString>("attack"); // done to the place written to

    const QString capture = QStringLiteral("capture.ird");
    QTest::newRow("missing capture")
        << QStringList{"nothing.ird", "-o", "old.vcd"} << 1 << "no such file"
        << "";
    QTest::newRow("short capture") << QStringList{"short.ird", "-o", "old.vcd"} << 1 << "190467"
                                   << "";
    QTest::newRow("empty capture") << QStringList{"empty.ird", "-o", "old.csv"} << 1 << "0 bytes"
                                   << "";
    QTest::newRow("capture is a folder")
        << QStringList{"folder.vcd", "-o", "old.vcd"} << 1 << "not a regular file"
        << "";
    QTest::newRow("capture is a fifo with no writer")
        << QStringList{"fifo.ird", "-o", "old.vcd"} << 1 << "not a regular file"
        << "";
    QTest::newRow("unknown output extension")
        << QStringList{capture, "-o", "out.txt"} << 2 << "--format"
        << "";
    QTest::newRow("unknown format")
        << QStringList{capture, "-o", "old.vcd", "--format", "fst"} << 2 << "unknown format"
        << "";
    QTest::newRow("output folder missing")
        << QStringList{capture, "-o", "no/such/out.vcd"} << 1 << "cannot write"
        << "";
    QTest::newRow("output is a folder")
        << QStringList{capture, "-o", "folder.vcd"} << 1 << "not a regular file"
        << "";
    QTest::newRow("output is the capture itself")
        << QStringList{capture, "-o", capture, "--format", "vcd"} << 1 << "capture file itself"
        << "";
    QTest::newRow("trace 0") << QStringList{capture, "-o", "old.vcd", "--traces", "0"} << 2
                             << "--traces"
                             << "";
    QTest::newRow("trace 4") << QStringList{capture, "-o", "old.vcd", "--traces", "1,4"} << 2
                             << "--traces"
                             << "";
    QTest::newRow("trace twice") << QStringList{capture, "-o", "old.vcd", "--traces", "3,3"} << 2
                                 << "twice"
                                 << "";
    QTest::newRow("empty trace list")
        << QStringList{capture, "-o", "old.csv", "--traces", ""} << 2 << "--traces"
        << "";
    QTest::newRow("every sample in a vcd")
        << QStringList{capture, "-o", "old.vcd", "--every-sample"} << 2 << ".csv"
        << "";
    QTest::newRow("every sample in a session file")
        << QStringList{capture, "-o", "out.sr", "--every-sample"} << 2 << ".csv"
        << "";
    QTest::newRow("session file in a missing folder")
        << QStringList{capture, "-o", "no/such/out.sr"} << 1 << "cannot write"
        << "";
    QTest::newRow("no output") << QStringList{capture} << 2 << "-o"
                               << "";
    QTest::newRow("two captures") << QStringList{capture, capture, "-o", "old.vcd"} << 2
                                  << "one capture"
                                  << "";
    QTest::newRow("unknown option")
        << QStringList{capture, "-o", "old.vcd", "--fast"} << 2 << "fast"
        << "";
    QTest::newRow("--trace meant as --traces")
        << QStringList{capture, "-o", "old.vcd", "--trace", "1"} << 2 << "did you mean --traces"
        << "";
    // The disk fills up, or the files may not grow: the earlier file stays.
    const QString busy = QStringLiteral("busy.ird");
    const QString full = QStringLiteral("no space left on the device|ulimit -f");
    QTest::newRow("session file on a full disk")
        << QStringList{busy, "-o", "small/old.sr"} << 1 << full << "full disk";
    QTest::newRow("dump on a full disk")
        << QStringList{busy, "-o", "small/old.vcd"} << 1 << full << "full disk";
    QTest::newRow("csv on a full disk")
        << QStringList{busy, "-o", "small/old.csv"} << 1 << full << "full disk";
    QTest::newRow("session file past the file size limit")
        << QStringList{busy, "-o", "old.sr"} << 1 << "ulimit -f"
        << "size limit";
    QTest::newRow("csv past the file size limit")
        << QStringList{busy, "-o", "old.csv"} << 1 << "ulimit -f"
        << "size limit";
    // Outputs that are not what they seem.
    QTest::newRow("output a FIFO nobody reads")
        << QStringList{capture, "-o", "fifo.vcd"} << 1 << "not a regular file: a FIFO"
        << "";
    QTest::newRow("output a link to nothing")
        << QStringList{capture, "-o", "dangling.vcd"} << 1 << "which does not exist"
        << "";
    QTest::newRow("output its owner made read-only")
        << QStringList{capture, "-o", "readonly.csv"} << 1 << "permission denied"
        << "as nobody";
    QTest::newRow("someone else's link in a shared folder")
        << QStringList{capture, "-o", "shared/old.vcd"} << 1 << "someone else made"
        << "foreign link";
}

void TestExportProgram::failsWithOneLineAndLeavesNoOutput()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, saying);
    QFETCH(QString, attack);

    ChildLimits limits;
    if (attack == QLatin1String("size limit") ||
        (attack == QLatin1String("full disk") && !m_smallDisk))
        limits.fileSize = kSmallFileLimit;
    limits.asNobody = attack == QLatin1String("as nobody");
    if (limits.asNobody) // into the folder, to read the capture
        QCOMPARE(::chmod(QFile::encodeName(m_dir->path()).constData(), 0755), 0);
    if (attack == QLatin1String("foreign link")) {
        if (::geteuid() != 0)
            QSKIP("only root may make a link that is another user's");
        // /tmp's kind of folder: anyone may write, the sticky bit on.
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("shared")));
        QCOMPARE(::chmod(QFile::encodeName(path(QStringLiteral("shared"))).constData(), 01777), 0);
        const QByteArray link = QFile::encodeName(path(QStringLiteral("shared/old.vcd")));
        QVERIFY(QFile::link(path(QStringLiteral("old.vcd")), QFile::decodeName(link)));
        QCOMPARE(::lchown(link.constData(), kNobody, kNoGroup), 0);
    }
    const QMap<QString, QByteArray> before = folderSnapshot(m_dir->path());
    const ProgramRun run = runExport(arguments, m_dir->path(), limits);

    QCOMPARE(run.status, status);
    QVERIFY2(run.err.startsWith("wavemill-export: "), run.err.constData());
    QVERIFY2(run.err.endsWith('\n') && run.err.count('\n') == 1, run.err.constData());
    QVERIFY2(QString::fromUtf8(run.err).contains(QRegularExpression(saying)), run.err.constData());
    QVERIFY(run.out.isEmpty());
    // Nothing new, nothing half written, nothing replaced, byte for byte.
    QCOMPARE(folderSnapshot(m_dir->path()), before);
}

void TestExportProgram::writesTheChosenTraces_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QByteArray>("expected"); // the start of the output, after any header

    QTest::newRow("vcd, all traces, over an earlier file")
        << QStringList{} << "old.vcd" << QByteArray("trace1 trace2 trace3");
    QTest::newRow("vcd, traces 1 and 3")
        << QStringList{"--traces", "1,3"} << "out.VCD" << QByteArray("trace1 trace3");
    QTest::newRow("csv by extension, trace 3")
        << QStringList{"--traces", "3"} << "out.csv"
        << QByteArray("time_ms,sample,trace3\n0.0000000,0,0\n16.0588800,800,1\n16.0789536,801,0\n");
    // A zip's first local header; test_export_peers has sigrok read the rest.
    QTest::newRow("session file, traces 3 and 1")
        << QStringList{"--traces", "3,1"} << "out.sr" << QByteArray("PK\x03\x04");
    QTest::newRow("csv by --format, every sample")
        << QStringList{"--format", "csv", "--every-sample", "--traces", "1"} << "levels.dat"
        << QByteArray("time_ms,sample,trace1\n0.0000000,0,0\n0.0200736,1,0\n0.0401472,2,0\n"
                      "0.0602208,3,0\n0.0802944,4,1\n");
}

void TestExportProgram::writesTheChosenTraces()
{
    QFETCH(QStringList, options);
    QFETCH(QString, output);
    QFETCH(QByteArray, expected);

    const ProgramRun run =
        runExport(QStringList{"capture.ird", "-o", output} + options, m_dir->path());
    QVERIFY2(run.status == 0, run.err.constData());
    QVERIFY(run.err.isEmpty());
    const QByteArray written = readFile(path(output));
    if (written.startsWith("$date")) {
        const VcdDump dump = readVcd(written);
        QVERIFY2(dump.error.isEmpty(), dump.error.constData());
        QCOMPARE(dump.names.join(' '), expected);
        QVERIFY(dump.sections.value("version").startsWith("wavemill-export "));
        QVERIFY(!dump.sections.value("date").isEmpty());
    } else {
        QVERIFY2(written.startsWith(expected), written.left(200).constData());
    }
}

void TestExportProgram::helpExplainsTheFormats()
{
    const ProgramRun run = runExport({QStringLiteral("--help")}, m_dir->path());
    QCOMPARE(run.status, 0);
    for (const char *word : {"-o", "--traces", "--every-sample", "200736", "downsample=200736",
                             "trace1", "time_ms", ".sr", "49817 Hz"})
        QVERIFY2(run.out.contains(word), word);
}

void TestExportProgram::replacesAFileKeepingItsOwnerModeAndLinks_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("throughLink");
    QTest::addColumn<QByteArray>("start"); // of the new content

    QTest::newRow("nobody's file, others may read")
        << "old.vcd" << 0604 << false << QByteArray("$date");
    QTest::newRow("no permission at all (root)")
        << "old.csv" << 0 << false << QByteArray("time_ms");
    QTest::newRow("read-only (root)") << "old.csv" << 0444 << false << QByteArray("time_ms");
    QTest::newRow("setuid") << "old.sr" << 04755 << false << QByteArray("PK\x03\x04");
    QTest::newRow("setgid and sticky") << "old.vcd" << 03750 << false << QByteArray("$date");
    QTest::newRow("through a link") << "old.sr" << 0640 << true << QByteArray("PK\x03\x04");
}

void TestExportProgram::replacesAFileKeepingItsOwnerModeAndLinks()
{
    QFETCH(QString, output);
    QFETCH(int, mode);
    QFETCH(bool, throughLink);
    QFETCH(QByteArray, start);

    const bool root = ::geteuid() == 0;
    if (!root && (mode & 0200) == 0)
        QSKIP("only root may write a file that is not writable");
    const QByteArray target = QFile::encodeName(path(output));
    const uid_t owner = root ? kNobody : ::geteuid();
    const gid_t group = root ? kNoGroup : ::getegid();
    QCOMPARE(::chown(target.constData(), owner, group), 0);
    QCOMPARE(::chmod(target.constData(), mode_t(mode)), 0);
    QString written = output;
    if (throughLink) {
        written = QStringLiteral("link-") + output;
        QVERIFY(QFile::link(output, path(written)));
    }
    const QStringList names = folderSnapshot(m_dir->path()).keys();

    const ProgramRun run = runExport({"capture.ird", "-o", written}, m_dir->path());
    QVERIFY2(run.status == 0, run.err.constData());
    QVERIFY(readFile(path(output)).startsWith(start));
    struct stat status;
    QCOMPARE(::stat(target.constData(), &status), 0);
    QCOMPARE(int(status.st_mode & 07777), mode);
    QCOMPARE(status.st_uid, owner);
    QCOMPARE(status.st_gid, group);
    if (throughLink) // still the link, to the file written
        QCOMPARE(QFileInfo(path(written)).symLinkTarget(), QFileInfo(path(output)).filePath());
    QCOMPARE(folderSnapshot(m_dir->path()).keys(), names); // nothing beside
}

void TestExportProgram::removesWhatKilledRunsLeftBeside()
{
    // A process that has ended, and this one, which still runs.
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    QVERIFY(ended > 0 && ::waitpid(ended, nullptr, 0) == ended);
    const QString left = QStringLiteral("old.vcd.wavemill-%1-AbC123").arg(ended);
    const QString leftByLibzip = QStringLiteral("old.sr.wavemill-%1-xyz789.Q1w2E3").arg(ended);
    const QString running = QStringLiteral("old.vcd.wavemill-%1-AbC123").arg(::getpid());
    const QString notOurs = QStringLiteral("old.vcd.wavemill-notes");
    for (const QString &name : {left, leftByLibzip, running, notOurs})
        writeFile(path(name), "half");

    QCOMPARE(runExport({"capture.ird", "-o", "old.vcd"}, m_dir->path()).status, 0);
    QCOMPARE(runExport({"capture.ird", "-o", "old.sr"}, m_dir->path()).status, 0);
    QVERIFY(!QFileInfo::exists(path(left)));
    QVERIFY(!QFileInfo::exists(path(leftByLibzip)));
    QVERIFY(QFileInfo::exists(path(running)));
    QVERIFY(QFileInfo::exists(path(notOurs)));
}

QTEST_GUILESS_MAIN(TestExportProgram)
#include "test_export_program.moc"
