// wavemill-decode -P beside sigrok-cli: the sample captures and the board's
// signals of each kind are exported to a session file, which sigrok-cli
// decodes with the same decoder; both must give the same annotations, with
// the same sample ranges and texts, in the same order, and the same ones
// again when sigrok-cli shows a single annotation class.

#include "decode_test_signals.h"

#include "capture_file/capture_file_format.h"

#include <QtTest>

using namespace wavemill;
using namespace wavemill::testing;

namespace {

constexpr int kToolTimeoutMs = 120000;

/// One annotation as both tools can show it.
struct Seen
{
    qint64 start;
    qint64 end;
    QString decoder;
    QString text;
    bool operator==(const Seen &o) const
    {
        return start == o.start && end == o.end && decoder == o.decoder && text == o.text;
    }
};

QString describe(const Seen &s)
{
    return QStringLiteral("%1-%2 %3: %4").arg(s.start).arg(s.end).arg(s.decoder, s.text);
}

/// Runs a program to its end; its standard output, or a failed test.
QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(kToolTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        qWarning("%s did not finish", qPrintable(program));
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s %s: exit %d: %s", qPrintable(program), qPrintable(arguments.join(' ')),
                 process.exitCode(), process.readAllStandardError().constData());
        return {};
    }
    return process.readAllStandardOutput();
}

/// sigrok-cli's "START-END ID-N: TEXT" lines.
QList<Seen> sigrokAnnotations(const QByteArray &output)
{
    static const QRegularExpression line(QStringLiteral("^(\\d+)-(\\d+) (\\w+)-\\d+: (.*)$"));
    QList<Seen> seen;
    for (const QByteArray &raw : output.split('\n')) {
        if (raw.isEmpty())
            continue;
        const auto m = line.match(QString::fromUtf8(raw));
        if (!m.hasMatch()) {
            qWarning("sigrok-cli said: %s", raw.constData());
            return {};
        }
        seen.append(
            {m.captured(1).toLongLong(), m.captured(2).toLongLong(), m.captured(3), m.captured(4)});
    }
    return seen;
}

/// wavemill-decode's JSON lines, those of \a annotationClass only when given.
QList<Seen> ourAnnotations(const QByteArray &output, const QString &annotationClass = {})
{
    QList<Seen> seen;
    for (const QByteArray &raw : output.split('\n')) {
        if (raw.isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(raw).object();
        if (!annotationClass.isEmpty() && o.value("class").toString() != annotationClass)
            continue;
        seen.append({qint64(o.value("start_sample").toDouble()),
                     qint64(o.value("end_sample").toDouble()), o.value("decoder").toString(),
                     o.value("text").toString()});
    }
    return seen;
}

void compare(const QList<Seen> &ours, const QList<Seen> &theirs)
{
    QVERIFY2(!theirs.isEmpty(), "sigrok-cli decoded nothing");
    for (qsizetype i = 0; i < std::min(ours.size(), theirs.size()); ++i) {
        if (!(ours[i] == theirs[i]))
            QFAIL(qPrintable(QStringLiteral("annotation %1: ours %2, sigrok-cli's %3")
                                 .arg(i)
                                 .arg(describe(ours[i]), describe(theirs[i]))));
    }
    QCOMPARE(ours.size(), theirs.size());
}

} // namespace

class TestDecodePeers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void annotatesAsSigrokCliDoes_data();
    void annotatesAsSigrokCliDoes();

private:
    QTemporaryDir m_dir;
    QString m_sigrok;
};

void TestDecodePeers::initTestCase()
{
    m_sigrok = QStandardPaths::findExecutable(QStringLiteral("sigrok-cli"));
    if (m_sigrok.isEmpty()) {
        // scripts/test installs it and asks for every peer check to run.
        if (qEnvironmentVariableIsSet("WAVEMILL_REQUIRE_PEERS"))
            QFAIL("sigrok-cli is not installed (Debian package sigrok-cli)");
        QSKIP("sigrok-cli is not installed (Debian package sigrok-cli)");
    }
    QVERIFY(m_dir.isValid());
}

void TestDecodePeers::annotatesAsSigrokCliDoes_data()
{
    QTest::addColumn<QString>("source");    // an example file, or "board:" and a board signal
    QTest::addColumn<QString>("protocol");  // -P for both tools
    QTest::addColumn<QString>("shown");     // -A for sigrok-cli: every class of these decoders
    QTest::addColumn<QString>("onlyClass"); // one class to compare alone; empty: none
    QTest::addColumn<QString>("saying");    // a text one of the annotations must hold

    QTest::newRow("uart-hello, uart") << "uart-hello.ird"
                                      << "uart:baudrate=9600:rx=trace1"
                                      << "uart"
                                      << "rx-data"
                                      << "48";
    QTest::newRow("uart-hello, pwm") << "uart-hello.ird"
                                     << "pwm:data=trace2"
                                     << "pwm"
                                     << "duty-cycle"
                                     << "26.000000%"; // 13 samples of 50
    QTest::newRow("uart-hello, uart with midi stacked") << "uart-hello.ird"
                                                        << "uart:baudrate=9600:rx=trace1,midi"
                                                        << "uart,midi"
                                                        << "rx-data"
                                                        << "65";
    QTest::newRow("pwm, uart") << "pwm.ird"
                               << "uart:baudrate=9600:rx=trace1"
                               << "uart"
                               << "rx-data"
                               << "25";
    QTest::newRow("pwm, pwm") << "pwm.ird"
                              << "pwm:data=trace2"
                              << "pwm"
                              << "period"
                              << "2.0 ms";
    QTest::newRow("mixed, uart") << "mixed.ird"
                                 << "uart:baudrate=9600:rx=trace1"
                                 << "uart"
                                 << "rx-data"
                                 << "63";
    QTest::newRow("infrared, ir_nec") << "infrared.ird"
                                      << "ir_nec:ir=trace1"
                                      << "ir_nec"
                                      << "cmd"
                                      << "Command: 0x10";
    QTest::newRow("infrared, ir_rc5") << "infrared.ird"
                                      << "ir_rc5:ir=trace2"
                                      << "ir_rc5"
                                      << "command"
                                      << "Command: 32";
    QTest::newRow("infrared, ir_rc6") << "infrared.ird"
                                      << "ir_rc6:ir=trace3"
                                      << "ir_rc6"
                                      << "address"
                                      << "Address: 1A";

    for (const int rate : {1200, 4800, 9600, 19200})
        QTest::addRow("board uart %d", rate)
            << QStringLiteral("board:uart %1").arg(rate)
            << QStringLiteral("uart:baudrate=%1:rx=trace1").arg(rate) << "uart"
            << "" << (rate == 19200 ? "65" : "48"); // 19200: the late sample misreads 'H'
    QTest::newRow("board uart 4800 inverted") << "board:uart 4800 inverted"
                                              << "uart:baudrate=4800:invert_rx=yes:rx=trace1"
                                              << "uart"
                                              << ""
                                              << "48";
    QTest::newRow("board nec") << "board:nec 0x04 0x08"
                               << "ir_nec:ir=trace1"
                               << "ir_nec"
                               << "addr"
                               << "Address: 0x04";
    QTest::newRow("board rc5") << "board:rc5 3 9"
                               << "ir_rc5:ir=trace1"
                               << "ir_rc5"
                               << ""
                               << "Command: 9";
    QTest::newRow("board rc6") << "board:rc6 200 100"
                               << "ir_rc6:ir=trace1"
                               << "ir_rc6"
                               << ""
                               << "Data: 64";
    for (const double duty : {0.1, 0.5, 0.8})
        QTest::addRow("board pwm %.0f %%", duty * 100)
            << QStringLiteral("board:square 1000 %1").arg(duty) << "pwm:data=trace1"
            << "pwm"
            << "" << QStringLiteral("%1.000000%").arg(duty * 100);
}

void TestDecodePeers::annotatesAsSigrokCliDoes()
{
    QFETCH(QString, source);
    QFETCH(QString, protocol);
    QFETCH(QString, shown);
    QFETCH(QString, onlyClass);
    QFETCH(QString, saying);

    QString capture = QStringLiteral(WAVEMILL_EXAMPLES_DIR "/") + source;
    if (source.startsWith(QLatin1String("board:"))) {
        auto signal = boardSignal(source.mid(6));
        QVERIFY(signal);
        auto traces = std::make_unique<TraceBuffers>();
        *traces->trace(1) = captureOf(*signal);
        capture = m_dir.filePath(QStringLiteral("board.ird"));
        QVERIFY(capture_file::writeCaptureFile(capture, *traces));
    }
    const QString session = m_dir.filePath(QStringLiteral("capture.sr"));
    QFile::remove(session);
    run(QStringLiteral(WAVEMILL_EXPORT_PATH), {capture, QStringLiteral("-o"), session});
    QVERIFY(QFileInfo::exists(session));

    const QByteArray ours =
        run(QStringLiteral(WAVEMILL_DECODE_PATH),
            {capture, QStringLiteral("-P"), protocol, QStringLiteral("--json")});
    const QList<Seen> all = ourAnnotations(ours);
    QVERIFY(std::any_of(all.begin(), all.end(),
                        [&](const Seen &s) { return s.text.contains(saying); }));

    const QStringList sigrok{QStringLiteral("-i"),
                             session,
                             QStringLiteral("-P"),
                             protocol,
                             QStringLiteral("--protocol-decoder-samplenum"),
                             QStringLiteral("-A")};
    compare(all, sigrokAnnotations(run(m_sigrok, sigrok + QStringList{shown})));
    if (onlyClass.isEmpty())
        return;
    const QString decoder = protocol.section(QLatin1Char(':'), 0, 0);
    compare(ourAnnotations(ours, onlyClass),
            sigrokAnnotations(run(m_sigrok, sigrok + QStringList{decoder + '=' + onlyClass})));
}

QTEST_GUILESS_MAIN(TestDecodePeers)
#include "test_decode_peers.moc"
