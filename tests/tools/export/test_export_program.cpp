// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-export run as a user runs it: exit status, stderr, and what is
// left on disk when it fails.

#include "capture_file/capture_file_format.h"

#include "support/program_run.h"
#include "tools/export/export_vcd_reader.h"

#include <QtTest>

#include <sys/stat.h>

using namespace wavemill;
using namespace wavemill::testing;

namespace {

ProgramRun runExport(const QStringList &arguments, const QString &folder)
{
    return runProgram(QStringLiteral(WAVEMILL_EXPORT_PATH), arguments, folder);
}

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
    void failsWithOneLineAndLeavesNoOutput_data();
    void failsWithOneLineAndLeavesNoOutput();
    void writesTheChosenTraces_data();
    void writesTheChosenTraces();
    void helpExplainsTheFormats();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
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
    writeFile(path(QStringLiteral("short.ird")), QByteArray(capture_file::kFileSize - 1, '\0'));
    writeFile(path(QStringLiteral("empty.ird")), QByteArray());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder.vcd")));
    QCOMPARE(::mkfifo(QFile::encodeName(path(QStringLiteral("fifo.ird"))).constData(), 0600), 0);
    writeFile(path(QStringLiteral("old.vcd")), kOldOutput);
    writeFile(path(QStringLiteral("old.csv")), kOldOutput);
}

void TestExportProgram::failsWithOneLineAndLeavesNoOutput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("saying"); // a word the line must hold

    const QString capture = QStringLiteral("capture.ird");
    QTest::newRow("missing capture")
        << QStringList{"nothing.ird", "-o", "old.vcd"} << 1 << "no such file";
    QTest::newRow("short capture") << QStringList{"short.ird", "-o", "old.vcd"} << 1 << "190467";
    QTest::newRow("empty capture") << QStringList{"empty.ird", "-o", "old.csv"} << 1 << "0 bytes";
    QTest::newRow("capture is a folder")
        << QStringList{"folder.vcd", "-o", "old.vcd"} << 1 << "not a regular file";
    QTest::newRow("capture is a fifo with no writer")
        << QStringList{"fifo.ird", "-o", "old.vcd"} << 1 << "not a regular file";
    QTest::newRow("unknown output extension")
        << QStringList{capture, "-o", "out.txt"} << 2 << "--format";
    QTest::newRow("unknown format")
        << QStringList{capture, "-o", "old.vcd", "--format", "fst"} << 2 << "unknown format";
    QTest::newRow("output folder missing")
        << QStringList{capture, "-o", "no/such/out.vcd"} << 1 << "cannot write";
    QTest::newRow("output is a folder")
        << QStringList{capture, "-o", "folder.vcd"} << 1 << "not a regular file";
    QTest::newRow("output is the capture itself")
        << QStringList{capture, "-o", capture, "--format", "vcd"} << 1 << "capture file itself";
    QTest::newRow("trace 0") << QStringList{capture, "-o", "old.vcd", "--traces", "0"} << 2
                             << "--traces";
    QTest::newRow("trace 4") << QStringList{capture, "-o", "old.vcd", "--traces", "1,4"} << 2
                             << "--traces";
    QTest::newRow("trace twice") << QStringList{capture, "-o", "old.vcd", "--traces", "3,3"} << 2
                                 << "twice";
    QTest::newRow("empty trace list")
        << QStringList{capture, "-o", "old.csv", "--traces", ""} << 2 << "--traces";
    QTest::newRow("every sample in a vcd")
        << QStringList{capture, "-o", "old.vcd", "--every-sample"} << 2 << ".csv";
    QTest::newRow("every sample in a session file")
        << QStringList{capture, "-o", "out.sr", "--every-sample"} << 2 << ".csv";
    QTest::newRow("session file in a missing folder")
        << QStringList{capture, "-o", "no/such/out.sr"} << 1 << "cannot write";
    QTest::newRow("no output") << QStringList{capture} << 2 << "-o";
    QTest::newRow("two captures") << QStringList{capture, capture, "-o", "old.vcd"} << 2
                                  << "one capture";
    QTest::newRow("unknown option")
        << QStringList{capture, "-o", "old.vcd", "--fast"} << 2 << "fast";
}

void TestExportProgram::failsWithOneLineAndLeavesNoOutput()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, saying);

    const QStringList before = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden);
    const QByteArray capture = readFile(path(QStringLiteral("capture.ird")));
    const ProgramRun run = runExport(arguments, m_dir->path());

    QCOMPARE(run.status, status);
    QVERIFY2(run.err.startsWith("wavemill-export: "), run.err.constData());
    QVERIFY2(run.err.endsWith('\n') && run.err.count('\n') == 1, run.err.constData());
    QVERIFY2(run.err.contains(saying.toUtf8()), run.err.constData());
    QVERIFY(run.out.isEmpty());
    // Nothing new, nothing half written, nothing replaced.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    QCOMPARE(readFile(path(QStringLiteral("old.vcd"))), kOldOutput);
    QCOMPARE(readFile(path(QStringLiteral("old.csv"))), kOldOutput);
    QCOMPARE(readFile(path(QStringLiteral("capture.ird"))), capture);
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

QTEST_GUILESS_MAIN(TestExportProgram)
#include "test_export_program.moc"
