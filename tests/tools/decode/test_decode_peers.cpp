// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-decode -P beside sigrok-cli: the sample captures and captures of
// the board's signals of each kind are exported to a session file, which
// sigrok-cli decodes with the same decoders; sigrok's own recordings are
// read by both as they are. Both must give the same annotations, with the
// same sample ranges and texts, for every decoder stack, and the same ones
// again when sigrok-cli shows a single annotation class. sigrok-cli shows
// them in the order the decoders put them out, wavemill-decode in the order
// of their start (the decoders tell some late: ir_nec a code's leader after
// its later parts): the same order once sigrok-cli's are sorted by their
// start, those with equal starts as they came. One run of each tool decodes
// every stack of a file.

#include "tools/decode/decode_test_signals.h"

#include "capture_file/capture_file_format.h"
#include "support/program_run.h"

#include <QtTest>

using namespace wavemill;
using namespace wavemill::testing;

namespace {

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

/// Annotations by decoder instance: sigrok-cli's "uart-2" is the second -P
/// whose stack holds uart; ours are told apart by the trace the stack reads.
using ByInstance = QMap<QString, QList<Seen>>;

QString describe(const Seen &s)
{
    return QStringLiteral("%1-%2 %3: %4").arg(s.start).arg(s.end).arg(s.decoder, s.text);
}

/// sigrok-cli's "START-END ID-N: TEXT" lines.
ByInstance sigrokAnnotations(const QByteArray &output)
{
    static const QRegularExpression line(QStringLiteral("^(\\d+)-(\\d+) ((\\w+)-\\d+): (.*)$"));
    ByInstance seen;
    for (const QByteArray &raw : output.split('\n')) {
        if (raw.isEmpty())
            continue;
        const auto m = line.match(QString::fromUtf8(raw));
        if (!m.hasMatch()) {
            qWarning("sigrok-cli said: %s", raw.constData());
            return {};
        }
        seen[m.captured(3)].append(
            {m.captured(1).toLongLong(), m.captured(2).toLongLong(), m.captured(4), m.captured(5)});
    }
    return seen;
}

/// wavemill-decode's JSON lines, those of \a annotationClass only when given,
/// named as sigrok-cli names the instances of \a stacks (the -P texts, each
/// reading a trace of its own, given as "channel=traceN" in its first decoder,
/// or a recording's first channel when given by its name).
ByInstance ourAnnotations(const QByteArray &output, const QStringList &stacks,
                          const QString &annotationClass = {})
{
    // Instance names of each (decoder, trace), in the order of the stacks.
    QMap<QString, int> counts;
    QMap<QPair<QString, int>, QString> names;
    for (const QString &stack : stacks) {
        static const QRegularExpression traceIn(QStringLiteral("=trace(\\d)"));
        const auto match = traceIn.match(stack);
        const int trace = match.hasMatch() ? match.captured(1).toInt() : 1;
        for (const QString &decoder : stack.split(',')) {
            const QString id = decoder.section(':', 0, 0);
            names[{id, trace}] = QStringLiteral("%1-%2").arg(id).arg(++counts[id]);
        }
    }
    ByInstance seen;
    for (const QByteArray &raw : output.split('\n')) {
        if (raw.isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(raw).object();
        if (!annotationClass.isEmpty() && o.value("class").toString() != annotationClass)
            continue;
        const QString decoder = o.value("decoder").toString();
        const int trace = o.value("traces").toArray().first().toInt();
        seen[names.value({decoder, trace}, decoder + QStringLiteral("-?"))].append(
            {qint64(o.value("start_sample").toDouble()), qint64(o.value("end_sample").toDouble()),
             decoder, o.value("text").toString()});
    }
    return seen;
}

void compare(const ByInstance &ours, const ByInstance &theirs)
{
    QVERIFY2(!theirs.isEmpty(), "sigrok-cli decoded nothing");
    QCOMPARE(ours.keys(), theirs.keys());
    for (auto it = theirs.begin(); it != theirs.end(); ++it) {
        const QList<Seen> &mine = ours[it.key()];
        QList<Seen> sigrok = it.value();
        std::stable_sort(sigrok.begin(), sigrok.end(),
                         [](const Seen &a, const Seen &b) { return a.start < b.start; });
        for (qsizetype i = 0; i < std::min(mine.size(), sigrok.size()); ++i) {
            if (!(mine[i] == sigrok[i]))
                QFAIL(qPrintable(QStringLiteral("%1, annotation %2: ours %3, sigrok-cli's %4")
                                     .arg(it.key())
                                     .arg(i)
                                     .arg(describe(mine[i]), describe(sigrok[i]))));
        }
        QCOMPARE(mine.size(), sigrok.size());
    }
}

} // namespace

class TestDecodePeers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void annotatesAsSigrokCliDoes_data();
    void annotatesAsSigrokCliDoes();

private:
    QTemporaryDir m_dir;
    QString m_sigrok;
};

void TestDecodePeers::initTestCase()
{
    WAVEMILL_REQUIRE_PEER(m_sigrok, "sigrok-cli");
    QVERIFY(m_dir.isValid());
}

void TestDecodePeers::annotatesAsSigrokCliDoes_data()
{
    QTest::addColumn<QString>("source");      // an example file, "board:" and a signal per trace,
                                              // or "recording:" and one of sigrok's
    QTest::addColumn<QStringList>("stacks");  // a -P for each, for both tools
    QTest::addColumn<QStringList>("sayings"); // texts the annotations must hold
    QTest::addColumn<QString>("onlyClass");   // decoder=class to compare alone; empty: none

    QTest::newRow("uart-hello, midi stacked on uart")
        << "uart-hello.ird" << QStringList{"uart:baudrate=9600:rx=trace1,midi", "pwm:data=trace2"}
        << QStringList{"48", "26.000000%"} // 25 % is 13 samples of 50 in the first period
        << "uart=rx-data";
    QTest::newRow("pwm") << "pwm.ird"
                         << QStringList{"uart:baudrate=9600:rx=trace1", "pwm:data=trace2"}
                         << QStringList{"25", "2.0 ms"} << "pwm=period";
    QTest::newRow("mixed") << "mixed.ird" << QStringList{"uart:baudrate=9600:rx=trace1"}
                           << QStringList{"63"} << "";
    QTest::newRow("infrared") << "infrared.ird"
                              << QStringList{"ir_nec:ir=trace1", "ir_rc5:ir=trace2",
                                             "ir_rc6:ir=trace3"}
                              << QStringList{"Command: 0x10", "Command: 32", "Address: 1A"}
                              << "ir_nec=cmd";

    // The board's signals of each kind, three to a capture.
    QTest::newRow("board uart 1200, 4800, 9600")
        << "board:uart 1200;uart 4800;uart 9600"
        << QStringList{"uart:baudrate=1200:rx=trace1", "uart:baudrate=4800:rx=trace2",
                       "uart:baudrate=9600:rx=trace3"}
        << QStringList{"48"} << "";
    QTest::newRow("board uart 19200, uart 4800 inverted, nec")
        << "board:uart 19200;uart 4800 inverted;nec 0x04 0x08"
        << QStringList{"uart:baudrate=19200:rx=trace1",
                       "uart:baudrate=4800:invert_rx=yes:rx=trace2", "ir_nec:ir=trace3"}
        << QStringList{"65", "Address: 0x04", "Command: 0x08"} << "";
    QTest::newRow("board rc5, rc6, pwm 10 %")
        << "board:rc5 3 9;rc6 200 100;square 1000 0.1"
        << QStringList{"ir_rc5:ir=trace1", "ir_rc6:ir=trace2", "pwm:data=trace3"}
        << QStringList{"Command: 9", "Data: 64", "10.000000%"} << "";
    // sigrok's own recordings, at their rates, channels given by name.
    QTest::newRow("recording: version 1, 100 kHz, 7 data bits with parity")
        << "recording:uart_es51978.sr"
        << QStringList{"uart:rx=RX:baudrate=2400:data_bits=7:parity=even"}
        << QStringList{"Start bit", "Parity"} << "uart=rx-data";
    QTest::newRow("recording: two bytes a sample, a lighting bus")
        << "recording:dali_rako_rsrdali_query_ballast.sr" << QStringList{"dali:dali=D0"}
        << QStringList{"Startbit"} << "";
    QTest::newRow("board pwm 50 %, 80 %") << "board:square 1000 0.5;square 1000 0.8"
                                          << QStringList{"pwm:data=trace1", "pwm:data=trace2"}
                                          << QStringList{"50.000000%", "80.000000%"} << "";
}

void TestDecodePeers::annotatesAsSigrokCliDoes()
{
    QFETCH(QString, source);
    QFETCH(QStringList, stacks);
    QFETCH(QStringList, sayings);
    QFETCH(QString, onlyClass);

    QString capture = QStringLiteral(WAVEMILL_EXAMPLES_DIR "/") + source;
    QString session = m_dir.filePath(QStringLiteral("capture.sr"));
    if (source.startsWith(QLatin1String("recording:"))) {
        session = QStringLiteral(WAVEMILL_RECORDINGS_DIR "/") + source.mid(10);
        capture = session;
    } else if (source.startsWith(QLatin1String("board:"))) {
        auto traces = std::make_unique<TraceBuffers>();
        const QStringList names = source.mid(6).split(';');
        for (int t = 0; t < names.size(); ++t) {
            auto signal = boardSignal(names[t]);
            QVERIFY(signal);
            *traces->trace(t + 1) = captureOf(*signal);
        }
        capture = m_dir.filePath(QStringLiteral("board.ird"));
        QVERIFY(capture_file::writeCaptureFile(capture, *traces));
    }
    if (capture != session) {
        QFile::remove(session);
        outputOf(QStringLiteral(WAVEMILL_EXPORT_PATH), {capture, QStringLiteral("-o"), session});
    }
    QVERIFY(QFileInfo::exists(session));

    QStringList protocols;
    QStringList decoders;
    for (const QString &stack : stacks) {
        protocols << QStringLiteral("-P") << stack;
        for (const QString &decoder : stack.split(','))
            decoders << decoder.section(':', 0, 0);
    }
    decoders.removeDuplicates();

    const QByteArray ours = outputOf(QStringLiteral(WAVEMILL_DECODE_PATH),
                                     QStringList{capture, QStringLiteral("--json")} + protocols);
    for (const QString &saying : sayings)
        QVERIFY2(ours.contains(saying.toUtf8()), qPrintable(saying));

    const QStringList sigrok =
        QStringList{QStringLiteral("-i"), session} + protocols +
        QStringList{QStringLiteral("--protocol-decoder-samplenum"), QStringLiteral("-A")};
    compare(ourAnnotations(ours, stacks),
            sigrokAnnotations(outputOf(m_sigrok, sigrok + QStringList{decoders.join(',')})));
    if (onlyClass.isEmpty())
        return;
    const ByInstance theirs =
        sigrokAnnotations(outputOf(m_sigrok, sigrok + QStringList{onlyClass}));
    compare(ourAnnotations(ours, stacks, onlyClass.section('=', 1)), theirs);
}

QTEST_GUILESS_MAIN(TestDecodePeers)
#include "test_decode_peers.moc"
