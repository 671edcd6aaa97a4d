// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-decode run as a user runs it: what it tells of the sample
// captures and of session files, its annotation lines, its decoder list,
// and every fault a hostile user can put to it: one line on stderr, the
// right status, nothing half-written on stdout, in bounded time.

#include "tools/sigrok/session_files.h"

#include "capture_file/capture_file_format.h"
#include "support/program_run.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace wavemill;
using namespace wavemill::testing;

namespace {

ProgramRun decode(const QStringList &arguments)
{
    return runProgram(QStringLiteral(WAVEMILL_DECODE_PATH), arguments,
                      QStringLiteral(WAVEMILL_EXAMPLES_DIR));
}

void checkFailure(const ProgramRun &run, int status, const QString &saying)
{
    QCOMPARE(run.status, status);
    QVERIFY2(run.out.isEmpty(), run.out.left(200).constData());
    QVERIFY2(run.err.startsWith("wavemill-decode: ") && run.err.count('\n') == 1 &&
                 QString::fromUtf8(run.err).contains(saying),
             run.err.constData());
}

/// The descriptions of a run with --json, one object a trace.
QList<QJsonObject> descriptions(const ProgramRun &run)
{
    QList<QJsonObject> out;
    for (const QByteArray &line : run.out.trimmed().split('\n'))
        out << QJsonDocument::fromJson(line).object();
    return out;
}

/// Where a row sends the program's standard output.
enum Output { Captured, FullDisk, ClosedPipe, AsNobody };

/// The status a shell gives a program ended by a closed pipe (SIGPIPE).
constexpr int kClosedPipeStatus = 128 + 13;

ProgramRun decodeTo(Output output, const QStringList &arguments)
{
    const QString program = QStringLiteral(WAVEMILL_DECODE_PATH);
    if (output == Captured)
        return decode(arguments);
    // "$0" is the program, "$@" its arguments.
    const QString script = output == FullDisk ? QStringLiteral("exec \"$0\" \"$@\" >/dev/full")
                                              : QStringLiteral("\"$0\" \"$@\" | head -c 64 "
                                                               ">/dev/null; exit ${PIPESTATUS[0]}");
    if (output == AsNobody)
        return runProgram(QStringLiteral("setpriv"),
                          QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} +
                              arguments,
                          QStringLiteral(WAVEMILL_EXAMPLES_DIR));
    return runProgram(QStringLiteral("bash"), QStringList{"-c", script, program} + arguments,
                      QStringLiteral(WAVEMILL_EXAMPLES_DIR));
}

/// Sets the uncompressed size of entry \a name to \a size in a zip's local
/// and central headers, as a zip bomb states it.
QByteArray withStatedSize(QByteArray zip, const QByteArray &name, quint32 size)
{
    // The name follows a local header at 30, a central one at 46; their
    // uncompressed size is at 22 and 24.
    for (qsizetype at = zip.indexOf(name); at >= 0; at = zip.indexOf(name, at + 1)) {
        const bool local = zip.mid(at - 30, 4) == QByteArray("PK\x03\x04", 4);
        const qsizetype field = local ? at - 30 + 22 : at - 46 + 24;
        for (int i = 0; i < 4; ++i)
            zip[field + i] = char(size >> (8 * i));
    }
    return zip;
}

} // namespace

class TestDecodeProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void describesTheSampleCaptures_data();
    void describesTheSampleCaptures();
    void writesOneLinePerAnnotation();
    void listsTheSingleChannelDecoders();
    void meetsEachFault_data();
    void meetsEachFault();
    void describesSessionFilesAsTheirCaptures_data();
    void describesSessionFilesAsTheirCaptures();
    void failsWhenSigroksDecodersAreMissing();
    void describesEachCaptureItCanRead();

private:
    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }
    void writeSessions();

    QTemporaryDir m_dir;
};

void TestDecodeProgram::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The folder is open to all, for the rows run as another user.
    QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ExeOwner | QFile::ReadOther |
                                                    QFile::ExeOther));
    QFile shortFile(path("short.ird"));
    QVERIFY(shortFile.open(QIODevice::WriteOnly));
    shortFile.write(QByteArray(capture_file::kFileSize - 1, '\0'));
    for (const char *name : {"fifo.ird", "fifo.sr"})
        QCOMPARE(::mkfifo(QFile::encodeName(path(name)).constData(), 0644), 0);
    for (const char *name : {"folder.ird", "folder.sr"})
        QVERIFY(QDir().mkpath(path(name)));
    // 100 GB of nothing, stored sparse.
    for (const char *name : {"sparse.ird", "sparse.sr", "empty.sr"}) {
        QFile sparse(path(name));
        QVERIFY(sparse.open(QIODevice::WriteOnly));
        QVERIFY(sparse.resize(name[0] == 'e' ? 0 : qint64(100) << 30));
    }
    QVERIFY(QFile::copy(QStringLiteral(WAVEMILL_EXAMPLES_DIR "/uart-hello.ird"),
                        path("unreadable.ird")));
    writeSessions();
    for (const char *name : {"unreadable.ird", "unreadable.sr"})
        QVERIFY(QFile::setPermissions(path(name), {}));
}

void TestDecodeProgram::writeSessions()
{
    const QByteArray one = sessionMetadata("1 MHz", 1, "probe1=D0\n");
    // A square wave of 500-sample halves, 100,000 samples.
    QByteArray square(100000, '\0');
    for (qsizetype i = 0; i < square.size(); ++i)
        square[i] = char(i / 500 % 2);
    QVERIFY(writeSession(path("good.sr"), one, {square}));
    QVERIFY(writeSession(path("unreadable.sr"), one, {square}));
    QFile good(path("good.sr"));
    QVERIFY(good.open(QIODevice::ReadOnly));
    const QByteArray zip = good.readAll();
    const auto write = [&](const char *name, const QByteArray &bytes) {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write("truncated.sr", zip.left(zip.size() / 2));
    write("not-a-zip.sr", QByteArray(5000, 'x'));
    write("bomb.sr", withStatedSize(zip, "logic-1-1", 4000000000U));
    QVERIFY(writeZip(path("version-3.sr"), {{"version", "3"}, {"metadata", one}, {"logic-1-1", square}}));
    QVERIFY(writeZip(path("no-metadata.sr"), {{"version", "2"}, {"logic-1-1", square}}));
    QVERIFY(writeSession(path("rate-0.sr"), sessionMetadata("0 Hz", 1, "probe1=D0\n"), {square}));
    QVERIFY(writeSession(path("rate-absurd.sr"),
                         sessionMetadata("99999999999 GHz", 1, "probe1=D0\n"), {square}));
    QVERIFY(writeSession(path("unit-lies.sr"), sessionMetadata("1 MHz", 2, "probe1=D0\n"),
                         {square + '\0'}));
    QVERIFY(writeSession(path("no-channel.sr"), sessionMetadata("1 MHz", 1, "", 0), {square}));
    QVERIFY(writeZip(path("chunk-missing.sr"), {{"version", "2"}, {"metadata", one},
                                                 {"logic-1-1", square}, {"logic-1-3", square}}));
    // 9600 bit/s serial text at 1 MHz for 2 s, then a stored chunk whose
    // bytes no longer match its CRC.
    QByteArray uart(1000, '\1');
    const QByteArray text = QByteArray("Hello, Wavemill!\r\n").repeated(200);
    for (const char c : text) {
        const int bits = 0x200 | (quint8(c) << 1); // start bit 0, data, stop bit 1
        for (int b = 0; b < 10; ++b)
            uart += QByteArray(104, char((bits >> b) & 1));
    }
    const QByteArray damaged = QByteArray(300000, '\x03');
    QVERIFY(writeZip(path("damaged-late.sr"),
                     {{"version", "2", false},
                      {"metadata", sessionMetadata("1 MHz", 1, "probe1=RX\n"), false},
                      {"logic-1-1", uart, true},
                      {"logic-1-2", damaged, false}}));
    QFile late(path("damaged-late.sr"));
    QVERIFY(late.open(QIODevice::ReadWrite));
    QByteArray bytes = late.readAll();
    bytes[bytes.indexOf(damaged) + damaged.size() / 2] = '\x01';
    QVERIFY(late.seek(0));
    late.write(bytes);
}

void TestDecodeProgram::describesTheSampleCaptures_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("kinds");   // of traces 1 to 3
    QTest::addColumn<QStringList>("sayings"); // what sigrok's decoders read, trace by trace

    QTest::newRow("uart-hello") << "uart-hello.ird"
                                << QStringList{"uart", "periodic", "unrecognised"}
                                << QStringList{"Hello, Wavemill!\\r\\n", "", ""};
    QTest::newRow("pwm") << "pwm.ird" << QStringList{"uart", "periodic", "pulse_width"}
                         << QStringList{"duty 10%\\r\\nduty 20%", "", ""};
    QTest::newRow("mixed") << "mixed.ird" << QStringList{"uart", "periodic", "unrecognised"}
                           << QStringList{"count 0000\\r\\ncount 0001", "", ""};
    QTest::newRow("infrared") << "infrared.ird" << QStringList{"infrared", "infrared", "infrared"}
                              << QStringList{"Address: 0x04, Command: 0x10",
                                             "Address: 5 (Video cassette recorder 1), Command: 32",
                                             "Address: 1A, Data: 40"};
}

void TestDecodeProgram::describesTheSampleCaptures()
{
    QFETCH(QString, fileName);
    QFETCH(QStringList, kinds);
    QFETCH(QStringList, sayings);

    const ProgramRun run = decode({fileName, QStringLiteral("--json")});
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.isEmpty(), run.err.constData());
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    for (int t = 0; t < 3; ++t) {
        const QJsonObject o = QJsonDocument::fromJson(lines[t]).object();
        QCOMPARE(o.value("trace").toInt(), t + 1);
        QCOMPARE(o.value("kind").toString(), kinds[t]);
        const QString decoded = o.value("decoded").toVariant().toStringList().join('\n');
        QVERIFY2(decoded.contains(sayings[t]), qPrintable(decoded));
        // sigrok reads the sample captures as the detection does, code for code.
        QVERIFY2(!decoded.contains(QLatin1String("differs")), qPrintable(decoded));
    }
}

void TestDecodeProgram::writesOneLinePerAnnotation()
{
    // The first frame of uart-hello.ird starts at sample 101 (2.0274336 ms).
    const ProgramRun byChannel = decode({QStringLiteral("uart-hello.ird"), QStringLiteral("-P"),
                                         QStringLiteral("uart:baudrate=9600:rx=trace1")});
    QCOMPARE(byChannel.status, 0);
    QVERIFY(byChannel.out.startsWith(" 2.027ms trace1 uart rx-start: Start bit\n"
                                     " 2.128ms trace1 uart rx-data-bits: 0\n"));
    QVERIFY(byChannel.out.contains(" trace1 uart rx-data: 48\n"));
    // --trace gives a single-channel decoder its channel.
    const ProgramRun byTrace = decode({QStringLiteral("uart-hello.ird"), QStringLiteral("-P"),
                                       QStringLiteral("uart:baudrate=9600"),
                                       QStringLiteral("--trace"), QStringLiteral("1")});
    QCOMPARE(byTrace.out, byChannel.out);
    const ProgramRun pwm =
        decode({QStringLiteral("pwm.ird"), QStringLiteral("-P"), QStringLiteral("pwm"),
                QStringLiteral("--trace"), QStringLiteral("2")});
    QVERIFY(pwm.out.startsWith(" 2.007ms trace2 pwm duty-cycle: "));
}

void TestDecodeProgram::listsTheSingleChannelDecoders()
{
    const ProgramRun run = decode({QStringLiteral("--list")});
    QCOMPARE(run.status, 0);
    QStringList ids;
    for (const QByteArray &line : run.out.split('\n'))
        ids << QString::fromUtf8(line.left(line.indexOf(' ')));
    for (const char *id : {"uart", "ir_nec", "ir_rc5", "ir_rc6", "pwm", "counter"})
        QVERIFY2(ids.contains(QLatin1String(id)), id);
    // Two clocked lines, or a clock and a few data lines, are not one channel.
    for (const char *id : {"i2c", "spi", "parallel"})
        QVERIFY2(!ids.contains(QLatin1String(id)), id);
}

void TestDecodeProgram::meetsEachFault_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("output"); // where standard output goes
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("saying"); // of the one line on stderr; empty: no line
    QTest::addColumn<QString>("shown");  // what stdout starts with; empty: nothing
    QTest::addColumn<int>("seconds");    // time bound, however slow the build

    const QString hello = QStringLiteral("uart-hello.ird");
    const QString shortFile = path("short.ird");
    const auto row = [](const char *name, const QStringList &arguments, int status,
                        const QString &saying, Output output = Captured,
                        const QString &shown = {}) {
        QTest::newRow(name) << arguments << int(output) << status << saying << shown << 60;
    };
    // The command line, refused before any file is read.
    row("no capture", {"-P", "uart"}, 2, "at least one capture");
    row("unknown decoder", {hello, "-P", "nosuch", "--trace", "1"}, 2, "no sigrok decoder named");
    row("unknown option", {hello, "-P", "uart:baud=9600:rx=trace1"}, 2,
        "no option or channel 'baud'");
    row("option not a number", {hello, "-P", "uart:baudrate=fast:rx=trace1"}, 2, "whole number");
    row("option value not listed", {hello, "-P", "uart:parity=strange:rx=trace1"}, 2,
        "none, odd, even");
    row("negative rate", {hello, "-P", "uart:baudrate=-9600:rx=trace1"}, 2, "above 0, not '-9600'");
    row("zero rate", {hello, "-P", "uart:baudrate=0:rx=trace1"}, 2, "above 0, not '0'");
    row("rate not finite", {hello, "-P", "can:sample_point=inf:can_rx=trace1"}, 2, "finite number");
    row("setting without value", {hello, "-P", "uart:baudrate"}, 2, "key=value");
    row("channel on trace 4", {hello, "-P", "uart:rx=trace4"}, 2, "trace1, trace2 or trace3");
    row("--trace 0", {hello, "--trace", "0"}, 2, "1, 2 or 3");
    row("--trace 4 for a decoder", {hello, "-P", "pwm", "--trace", "4"}, 2, "1, 2 or 3");
    row("--trace 65 of a session", {path("good.sr"), "--trace", "65"}, 2, "1 to 64");
    row("decoder given no trace", {hello, "-P", "uart"}, 2, "reads no trace");
    row("required channel missing", {hello, "-P", "ir_nec:polarity=active-low"}, 2,
        "needs its channel ir");
    row("two channels, --trace gives one", {hello, "-P", "i2c", "--trace", "1"}, 2,
        "-P i2c:scl=trace1:sda=trace2");
    row("a decoder of another's output", {hello, "-P", "midi", "--trace", "1"}, 2,
        "stack it on uart, e.g. -P uart:rx=trace1,midi");
    row("stack that does not fit", {hello, "-P", "uart:rx=trace1,ir_nec"}, 2,
        "uart puts out uart, ir_nec reads logic");
    // Files that cannot be read.
    row("missing capture", {"nothing.ird"}, 1, "no such file");
    row("short capture", {shortFile}, 1, "190467");
    row("FIFO capture, never waited on", {path("fifo.ird")}, 1, "not a regular file");
    row("folder capture", {path("folder.ird")}, 1, "not a regular file");
    row("capture 100 GB long: its start", {path("sparse.ird")}, 0, {}, Captured,
        "trace 1: flat: low all along");
    row("missing session", {"nothing.sr"}, 1, "no such file");
    row("empty session", {path("empty.sr")}, 1, "an empty file");
    row("session not a zip", {path("not-a-zip.sr")}, 1, "not a sigrok session file");
    row("session cut short", {path("truncated.sr")}, 1, "not a sigrok session file");
    row("session 100 GB of nothing", {path("sparse.sr")}, 1, "not a sigrok session file");
    row("FIFO session, never waited on", {path("fifo.sr")}, 1, "not a regular file");
    row("folder session", {path("folder.sr")}, 1, "not a regular file");
    row("zip bomb", {path("bomb.sr")}, 1, "a zip bomb");
    row("format version 3", {path("version-3.sr")}, 1, "format version '3'");
    row("no metadata", {path("no-metadata.sr")}, 1, "no 'metadata'");
    row("rate of zero", {path("rate-0.sr")}, 1, "sample rate '0 Hz'");
    row("absurd rate", {path("rate-absurd.sr")}, 1, "sample rate '99999999999 GHz'");
    row("unit size that lies", {path("unit-lies.sr")}, 1, "not whole samples of 2 bytes");
    row("no channel", {path("no-channel.sr")}, 1, "no logic channel");
    row("a chunk missing", {path("chunk-missing.sr")}, 1, "logic-1-2 is missing");
    row("a session's channel it lacks", {path("good.sr"), "-P", "uart:rx=RX"}, 2,
        "cannot read 'RX': give a channel of the file (D0)");
    row("--trace beyond a session's channels", {path("good.sr"), "--trace", "5"}, 2,
        "no channel 5 (its channels: 1 (D0))");
    row("damaged after annotations went out",
        {path("damaged-late.sr"), "-P", "uart:baudrate=9600:rx=RX"}, 1,
        "logic-1-2 is damaged: CRC error", Captured, " 1ms RX uart rx-start: Start bit\n");
    if (::geteuid() == 0 && !QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()) {
        row("unreadable capture", {path("unreadable.ird")}, 1, "cannot read: Permission denied",
            AsNobody);
        row("unreadable session", {path("unreadable.sr")}, 1, "cannot read: Permission denied",
            AsNobody);
    }
    // Results that cannot be written, or are no longer read.
    row("descriptions to a full disk", {hello}, 1, "no space left on the device", FullDisk);
    row("annotations to a full disk", {hello, "-P", "uart:baudrate=9600:rx=trace1"}, 1,
        "no space left on the device", FullDisk);
    row("--help to a full disk", {"--help"}, 1, "no space left on the device", FullDisk);
    QTest::newRow("annotations to a closed pipe")
        << QStringList{hello, "-P", "uart:baudrate=9600:rx=trace1"} << int(ClosedPipe)
        << kClosedPipeStatus << QString() << QString() << 60;
}

void TestDecodeProgram::meetsEachFault()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, output);
    QFETCH(int, status);
    QFETCH(QString, saying);
    QFETCH(QString, shown);
    QFETCH(int, seconds);

    QElapsedTimer clock;
    clock.start();
    const ProgramRun run = decodeTo(Output(output), arguments);
    QVERIFY2(clock.elapsed() < qint64(seconds) * 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(run.status, status);
    if (saying.isEmpty()) {
        QVERIFY2(run.err.isEmpty(), run.err.constData());
    } else {
        QVERIFY2(run.err.startsWith("wavemill-decode: ") && run.err.count('\n') == 1 &&
                     run.err.endsWith('\n') && QString::fromUtf8(run.err).contains(saying),
                 run.err.constData());
    }
    if (shown.isEmpty())
        QVERIFY2(run.out.isEmpty(), run.out.left(200).constData());
    else
        QVERIFY2(run.out.startsWith(shown.toUtf8()), run.out.left(200).constData());
}

void TestDecodeProgram::describesSessionFilesAsTheirCaptures_data()
{
    QTest::addColumn<QString>("source");  // an example exported, or what a board streams
    QTest::addColumn<int>("seconds");     // recorded with --seconds; 0: one capture

    QTest::newRow("uart-hello exported") << "uart-hello.ird" << 0;
    QTest::newRow("pwm exported") << "pwm.ird" << 0;
    QTest::newRow("mixed exported") << "mixed.ird" << 0;
    QTest::newRow("infrared exported") << "infrared.ird" << 0;
    QTest::newRow("a board's capture") << "--signal nec --address 0x04 --command 0x08" << 0;
    // 30 s of text without a pause: more annotations than are kept to compare.
    QTest::newRow("a board's 30 s") << "--signal uart --text Wavemill --baud 9600 --repeat" << 30;
}

void TestDecodeProgram::describesSessionFilesAsTheirCaptures()
{
    QFETCH(QString, source);
    QFETCH(int, seconds);
    const QString capture = path("capture.ird");
    const QString session = path("capture.sr");
    QFile::remove(capture);
    QFile::remove(session);
    if (source.endsWith(QLatin1String(".ird"))) {
        QVERIFY(QFile::copy(QStringLiteral(WAVEMILL_EXAMPLES_DIR "/") + source, capture));
        outputOf(QStringLiteral(WAVEMILL_EXPORT_PATH), {capture, QStringLiteral("-o"), session});
    } else {
        // The board starts its signal afresh each time the port is opened.
        for (const QString &file : {capture, session}) {
            const QString more = file == session && seconds > 0
                                     ? QStringLiteral(" --seconds %1").arg(seconds)
                                     : QString();
            const QString script =
                QStringLiteral("\"$0\" %1 --pace fast %2 | (read -r port && \"$1\" \"$port\" -o "
                               "\"$2\"%3)")
                    .arg(source, more.isEmpty() ? QStringLiteral("--once")
                                                : QStringLiteral("--count 0 --once"),
                         more);
            outputOf(QStringLiteral("bash"),
                     {"-c", script, QStringLiteral(WAVEMILL_BOARD_PATH),
                      QStringLiteral(WAVEMILL_CAPTURE_PATH), file});
        }
    }
    const QList<QJsonObject> fromCapture = descriptions(decode({capture, QStringLiteral("--json")}));
    const ProgramRun fromSession = decode({session, QStringLiteral("--json")});
    QVERIFY2(fromSession.status == 0, fromSession.err.constData());
    const QList<QJsonObject> described = descriptions(fromSession);
    // wavemill-capture writes the one trace it takes.
    QCOMPARE(described.size(), source.endsWith(QLatin1String(".ird")) ? fromCapture.size() : 1);
    for (qsizetype t = 0; t < described.size(); ++t) {
        const QJsonObject &ours = described[t];
        QCOMPARE(ours.value("name").toString(), QStringLiteral("trace%1").arg(t + 1));
        QCOMPARE(ours.value("title"), fromCapture[t].value("title"));
        const QString decoded = ours.value("decoded").toVariant().toStringList().join('\n');
        QVERIFY2(!decoded.contains(QLatin1String("differs")), qPrintable(decoded));
        if (seconds > 0) {
            // Compared over its start, decoded whole.
            QVERIFY2(decoded.contains(QLatin1String("compared over the first")), qPrintable(decoded));
            QVERIFY2(decoded.contains(QStringLiteral("read all %1.0 s").arg(seconds)),
                     qPrintable(decoded));
            continue;
        }
        for (const char *key : {"kind", "evidence", "decoded", "confidence"})
            QCOMPARE(ours.value(key), fromCapture[t].value(key));
    }
}

void TestDecodeProgram::failsWhenSigroksDecodersAreMissing()
{
    // An empty folder mounted over the decoders' folder, in a mount namespace
    // of the program's own: the machine's decoders are not touched.
    const QString decoders = QStringLiteral("/usr/share/libsigrokdecode/decoders");
    if (!QFileInfo(decoders).isDir())
        QSKIP("no decoders folder to hide");
    const QString empty = m_dir.filePath(QStringLiteral("empty"));
    QVERIFY(QDir().mkpath(empty));
    const QString script =
        QStringLiteral("mount --bind \"$1\" \"$2\" || exit 99; shift 2; exec \"$@\"");
    const auto hidden = [&](const QStringList &arguments) {
        return runProgram(QStringLiteral("unshare"),
                          QStringList{"-m", "sh", "-c", script, "sh", empty, decoders,
                                      QStringLiteral(WAVEMILL_DECODE_PATH)} +
                              arguments,
                          QStringLiteral(WAVEMILL_EXAMPLES_DIR));
    };
    const ProgramRun probe = hidden({QStringLiteral("--version")});
    if (probe.status != 0)
        QSKIP("cannot make a mount namespace here (needs root)");
    checkFailure(hidden({QStringLiteral("uart-hello.ird")}), 1, "decoders are not installed");
    checkFailure(hidden({QStringLiteral("uart-hello.ird"), QStringLiteral("-P"),
                         QStringLiteral("uart:rx=trace1")}),
                 1, "decoders are not installed");
}

void TestDecodeProgram::describesEachCaptureItCanRead()
{
    const ProgramRun run = decode({"nothing.ird", "uart-hello.ird", m_dir.filePath("short.ird")});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.out.startsWith("uart-hello.ird:\ntrace 1: UART at 9600 bit/s"),
             run.out.constData());
    const QList<QByteArray> failures = run.err.trimmed().split('\n');
    QCOMPARE(failures.size(), 2);
    QVERIFY(failures[0].startsWith("wavemill-decode: nothing.ird: no such file"));
    QVERIFY(failures[1].contains("short.ird: not a capture file"));
}

QTEST_GUILESS_MAIN(TestDecodeProgram)
#include "test_decode_program.moc"
