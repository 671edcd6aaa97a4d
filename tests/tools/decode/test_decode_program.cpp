// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-decode run as a user runs it: what it tells of the sample
// captures, its annotation lines, its decoder list, and its failures: one
// line on stderr, a non-zero status and nothing on stdout.

#include "capture_file/capture_file_format.h"
#include "support/program_run.h"

#include <QtTest>

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
                 run.err.endsWith('\n'),
             run.err.constData());
    QVERIFY2(QString::fromUtf8(run.err).contains(saying), run.err.constData());
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
    void failsWithOneLineAndNoOutput_data();
    void failsWithOneLineAndNoOutput();
    void failsWhenSigroksDecodersAreMissing();
    void describesEachCaptureItCanRead();

private:
    QTemporaryDir m_dir;
};

void TestDecodeProgram::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QFile shortFile(m_dir.filePath(QStringLiteral("short.ird")));
    QVERIFY(shortFile.open(QIODevice::WriteOnly));
    shortFile.write(QByteArray(capture_file::kFileSize - 1, '\0'));
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

void TestDecodeProgram::failsWithOneLineAndNoOutput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("saying");

    const QString hello = QStringLiteral("uart-hello.ird");
    const QString shortFile = m_dir.filePath(QStringLiteral("short.ird"));
    QTest::newRow("missing capture") << QStringList{"nothing.ird"} << 1 << "no such file";
    QTest::newRow("short capture") << QStringList{shortFile} << 1 << "190467";
    QTest::newRow("no capture") << QStringList{"-P", "uart"} << 2 << "at least one capture";
    QTest::newRow("unknown decoder")
        << QStringList{hello, "-P", "nosuch", "--trace", "1"} << 2 << "no sigrok decoder named";
    QTest::newRow("unknown option") << QStringList{hello, "-P", "uart:baud=9600:rx=trace1"} << 2
                                    << "no option or channel 'baud'";
    QTest::newRow("option not a number")
        << QStringList{hello, "-P", "uart:baudrate=fast:rx=trace1"} << 2 << "whole number";
    QTest::newRow("option value not listed")
        << QStringList{hello, "-P", "uart:parity=strange:rx=trace1"} << 2 << "none, odd, even";
    QTest::newRow("setting without value")
        << QStringList{hello, "-P", "uart:baudrate"} << 2 << "key=value";
    QTest::newRow("channel on trace 4")
        << QStringList{hello, "-P", "uart:rx=trace4"} << 2 << "trace1, trace2 or trace3";
    QTest::newRow("--trace 0") << QStringList{hello, "--trace", "0"} << 2 << "1, 2 or 3";
    QTest::newRow("--trace 4 for a decoder")
        << QStringList{hello, "-P", "pwm", "--trace", "4"} << 2 << "1, 2 or 3";
    QTest::newRow("decoder given no trace")
        << QStringList{hello, "-P", "uart"} << 2 << "reads no trace";
    QTest::newRow("required channel missing")
        << QStringList{hello, "-P", "ir_nec:polarity=active-low"} << 2 << "needs its channel ir";
    QTest::newRow("option the decoder refuses")
        << QStringList{hello, "-P", "uart:baudrate=0:rx=trace1"} << 2 << "ZeroDivisionError";
    QTest::newRow("stack that does not fit") << QStringList{hello, "-P", "uart:rx=trace1,ir_nec"}
                                             << 2 << "uart puts out uart, ir_nec reads logic";
}

void TestDecodeProgram::failsWithOneLineAndNoOutput()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, saying);
    checkFailure(decode(arguments), status, saying);
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
