// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The PulseView setup beside a session file: its decoder table against
// libsigrokdecode itself, the options of every family the detection
// recognises read back from the file, PulseView's times and text, and what
// wavemill-export and wavemill-capture leave beside a session file.

#include "session_setup/decoder_table.h"
#include "session_setup/pulseview_time.h"
#include "session_setup/setup_beside.h"
#include "session_setup/setup_file.h"
#include "tools/decode/decode_test_signals.h"

#include "capture_file/capture_file_format.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <libsigrokdecode/libsigrokdecode.h>

using namespace wavemill;
using namespace wavemill::session_setup;

namespace {

constexpr int kRunMs = 60000; // a capture on a busy machine

template <typename T> QList<const T *> listOf(const GSList *list)
{
    QList<const T *> out;
    for (; list; list = list->next)
        out << static_cast<const T *>(list->data);
    return out;
}

const srd_decoder *sigrokDecoder(const QString &id)
{
    const QByteArray name = id.toUtf8();
    if (!srd_decoder_get_by_id(name.constData()))
        srd_decoder_load(name.constData());
    return srd_decoder_get_by_id(name.constData());
}

/// Required, then optional channels: "rx:RX".
QStringList channelsOf(const srd_decoder *d)
{
    QStringList out;
    for (const auto *c : listOf<srd_channel>(d->channels) + listOf<srd_channel>(d->opt_channels))
        out << QStringLiteral("%1:%2").arg(QString::fromUtf8(c->id), QString::fromUtf8(c->name));
    return out;
}

/// " id=value" as GVariant prints the value ("9600", "'ascii'"); takes \a value.
QString optionText(const QString &id, GVariant *value)
{
    gchar *printed = g_variant_print(g_variant_ref_sink(value), FALSE);
    QString line = QStringLiteral(" %1=%2").arg(id, QString::fromUtf8(printed));
    g_free(printed);
    g_variant_unref(value);
    return line;
}

/// \a text as a GVariant of the type of libsigrokdecode's default \a def.
GVariant *variantLike(GVariant *def, const QString &text)
{
    if (g_variant_is_of_type(def, G_VARIANT_TYPE_INT64))
        return g_variant_new_int64(text.toLongLong());
    if (g_variant_is_of_type(def, G_VARIANT_TYPE_DOUBLE))
        return g_variant_new_double(text.toDouble());
    return g_variant_new_string(text.toUtf8().constData());
}

/// The decode signals a setup should hold for \a traces, from libsigrokdecode:
/// "trace1 rx uart baudrate=9600 format='ascii'", the options the detection
/// chose that are not the decoder's defaults, and the table's for the view.
QStringList expectedSignals(const QList<DescribedTrace> &traces)
{
    QStringList out;
    for (const DescribedTrace &t : traces) {
        QString line = QStringLiteral("trace%1 %2").arg(t.trace).arg(t.description.channel);
        for (const sigrok::DecoderChoice &choice : t.description.decoders) {
            line += QLatin1Char(' ') + choice.id;
            for (const auto *o : listOf<srd_decoder_option>(sigrokDecoder(choice.id)->options)) {
                QString value;
                for (const DecoderOption &view : findDecoder(choice.id)->viewOptions)
                    value =
                        qstrcmp(view.id, o->id) == 0 ? QString::fromUtf8(view.defaultValue) : value;
                for (const auto &[key, setting] : choice.settings)
                    value = key == QString::fromUtf8(o->id) ? setting : value;
                GVariant *v = g_variant_ref_sink(variantLike(o->def, value));
                if (!value.isEmpty() && !g_variant_equal(v, o->def))
                    line += optionText(QString::fromUtf8(o->id), g_variant_ref(v));
                g_variant_unref(v);
            }
        }
        if (!t.description.decoders.isEmpty())
            out << line;
    }
    return out;
}

/// The same read back from the setup file as PulseView reads it: each
/// option's type and bytes made a GVariant, the channel by its number.
QStringList writtenSignals(const QString &path)
{
    QSettings file(path, QSettings::IniFormat);
    QStringList out;
    for (int i = 0; i < file.value(QStringLiteral("decode_signals")).toInt(); ++i) {
        file.beginGroup(QStringLiteral("decode_signal%1").arg(i));
        QString line;
        const auto *bottom = sigrokDecoder(file.value(QStringLiteral("decoder0/id")).toString());
        const QStringList channels = channelsOf(bottom);
        for (int c = 0; c < channels.size(); ++c) {
            const QString trace =
                file.value(QStringLiteral("channel%1/assigned_signal_name").arg(c)).toString();
            if (!trace.isEmpty())
                line += trace + QLatin1Char(' ') + channels[c].section(QLatin1Char(':'), 0, 0);
        }
        for (int j = 0; j < file.value(QStringLiteral("decoders")).toInt(); ++j) {
            file.beginGroup(QStringLiteral("decoder%1").arg(j));
            const QString id = file.value(QStringLiteral("id")).toString();
            line += QLatin1Char(' ') + id;
            for (int k = 0; k < file.value(QStringLiteral("options")).toInt(); ++k) {
                file.beginGroup(QStringLiteral("option%1").arg(k));
                const QByteArray type = file.value(QStringLiteral("type")).toByteArray();
                const QByteArray bytes = file.value(QStringLiteral("value")).toByteArray();
                void *data = g_memdup2(bytes.constData(), bytes.size());
                line +=
                    optionText(file.value(QStringLiteral("name")).toString(),
                               g_variant_new_from_data(G_VARIANT_TYPE(type.constData()), data,
                                                       gsize(bytes.size()), TRUE, g_free, data));
                file.endGroup();
            }
            file.endGroup();
        }
        file.endGroup();
        out << line;
    }
    return out;
}

/// One capture: board signals on traces 1, 2, ... ("uart 9600 + rc5 5 12"),
/// or an example file.
std::unique_ptr<TraceBuffers> captureOf(const QString &source)
{
    auto buffers = std::make_unique<TraceBuffers>();
    if (source.endsWith(QLatin1String(".ird")))
        return capture_file::readCaptureFile(QStringLiteral(WAVEMILL_EXAMPLES_DIR "/") + source,
                                             *buffers)
                   ? std::move(buffers)
                   : nullptr;
    const QStringList perTrace = source.split(QStringLiteral(" + "));
    for (int i = 0; i < perTrace.size(); ++i)
        *buffers->trace(i + 1) = testing::captureOf(*testing::boardSignal(perTrace[i]));
    return buffers;
}

QString written(const QByteArray &content, const QTemporaryDir &dir)
{
    QFile file(dir.filePath(QStringLiteral("x.pvs")));
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size()
               ? file.fileName()
               : QString();
}

} // namespace

class TestSessionSetup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(srd_init(nullptr) == SRD_OK);
        QVERIFY2(sigrokDecoder(QStringLiteral("uart")), "sigrok's decoders are not installed");
    }
    void cleanupTestCase() { srd_exit(); }

    void decoderTableIsLibsigrokdecodes_data()
    {
        QTest::addColumn<QString>("id");
        for (const DecoderInfo &info : decoderTable())
            QTest::newRow(info.id) << QString::fromUtf8(info.id);
    }

    // The table stands in for the library where setups are written: a wrong
    // type, default, channel number or stacking PulseView refuses or misreads.
    void decoderTableIsLibsigrokdecodes()
    {
        QFETCH(QString, id);
        const DecoderInfo &info = *findDecoder(id);
        const srd_decoder *d = sigrokDecoder(id);
        QVERIFY(d);
        const auto first = [](GSList *l) {
            return l ? static_cast<const char *>(l->data) : nullptr;
        };
        QCOMPARE(QStringList({info.label, info.input, info.output}),
                 QStringList({d->name, first(d->inputs), first(d->outputs)}));
        QStringList ours;
        for (const DecoderChannel &c : info.channels)
            ours << QStringLiteral("%1:%2").arg(QString::fromUtf8(c.id), QString::fromUtf8(c.name));
        QCOMPARE(ours, channelsOf(d));
        ours.clear();
        QStringList theirs;
        for (const auto *o : listOf<srd_decoder_option>(d->options)) {
            const QString oid = QString::fromUtf8(o->id);
            theirs << g_variant_get_type_string(o->def) + optionText(oid, g_variant_ref(o->def));
            const DecoderOption *mine = info.option(oid);
            if (mine)
                ours << QLatin1Char(mine->type) +
                            optionText(oid,
                                       variantLike(o->def, QString::fromUtf8(mine->defaultValue)));
        }
        QCOMPARE(ours, theirs);
        QCOMPARE(info.options.size(), std::size_t(theirs.size()));
    }

    void setupHoldsTheDetectedDecoders_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("flags");
        QTest::newRow("uart 9600") << "uart 9600 repeated" << 1;
        QTest::newRow("uart 2400 inverted") << "uart 2400 repeated inverted" << 1;
        QTest::newRow("uart 19200") << "uart 19200 repeated" << 1;
        QTest::newRow("nec") << "nec 0x04 0x08" << 1;
        QTest::newRow("nec inverted") << "nec 0x04 0x08 inverted" << 1;
        QTest::newRow("rc5") << "rc5 5 12" << 1;
        QTest::newRow("rc6") << "rc6 0x1a 0x40" << 1;
        QTest::newRow("square wave: pwm") << "square 1000 0.25" << 1;
        QTest::newRow("random bytes: nothing recognised") << "random 7" << 0;
        QTest::newRow("three traces") << "uart 9600 + square 50 0.1 + rc5 5 12" << 2;
        QTest::newRow("uart-hello.ird") << "uart-hello.ird" << 1;
        QTest::newRow("pwm.ird") << "pwm.ird" << 2;
        // Three remotes from 20 ms: one flag, the others' labels would overlap it.
        QTest::newRow("infrared.ird") << "infrared.ird" << 1;
        QTest::newRow("mixed.ird") << "mixed.ird" << 1;
    }

    // Written from the detection, read back as PulseView reads it; the view
    // opens before the flags.
    void setupHoldsTheDetectedDecoders()
    {
        QFETCH(QString, source);
        QFETCH(int, flags);
        const QList<DescribedTrace> described = describeTraces(*captureOf(source), {1, 2, 3});
        QStringList notes;
        const SessionSetup setup = buildSetup(described, &notes);
        QVERIFY2(notes.isEmpty(), qPrintable(notes.join(QLatin1Char('\n'))));
        QString why;
        QTemporaryDir dir;
        const QString path = written(setupFileContent(setup, &why), dir);
        QCOMPARE(writtenSignals(path), expectedSignals(described));
        QCOMPARE(QSettings(path, QSettings::IniFormat).value(QStringLiteral("meta_objs")).toInt(),
                 flags);
        for (const TimeMarker &m : setup.markers)
            QVERIFY(m.sample >= setup.offsetSample);
        QCOMPARE(setup.secondsPerPixel > 0, flags > 0);
    }

    void timesAreWrittenAsPulseViewKeepsThem_data()
    {
        QTest::addColumn<qint64>("sample");
        QTest::addColumn<uint>("rate");
        QTest::addColumn<QString>("limbs"); // limbs, exponent, sign
        QTest::newRow("zero") << qint64(0) << 49817u << "0 0 0 0 0 0 0 0";
        QTest::newRow("one second") << qint64(49817) << 49817u << "1 0 0 0 0 0 0 0";
        // 100 / 49817 s = 0.002007346889615994540016460244494851155228134974...
        QTest::newRow("2 ms") << qint64(100) << 49817u
                              << "200734 68896159 94540016 46024449 48511552 28134974 -8 0";
        QTest::newRow("below 10^-8 s") << qint64(1) << 200000000u << "50000000 0 0 0 0 0 -16 0";
        QTest::newRow("10^17 s") << qint64(100000000000000000) << 1u << "10 0 0 0 0 0 16 0";
        QTest::newRow("negative") << qint64(-3) << 2u << "1 50000000 0 0 0 0 0 1";
    }

    void timesAreWrittenAsPulseViewKeepsThem()
    {
        QFETCH(qint64, sample);
        QFETCH(uint, rate);
        QFETCH(QString, limbs);
        QCOMPARE(pulseViewTime(sample, rate),
                 QStringLiteral("22 serialization::archive 18 0 0 0 0 %1 0 6").arg(limbs));
    }

    // PulseView's Qt 5 reads the file as Latin-1: what is not ASCII is escaped.
    void textThatIsNotAsciiIsEscaped()
    {
        SessionSetup setup;
        setup.markers = {{0, QString::fromUtf8("104.2 \u00b5s, \u00b5a, \u6d4b")}};
        QString why;
        const QByteArray content = setupFileContent(setup, &why);
        QVERIFY(content.contains(R"(104.2 \xb5s, \xb5\x61, \x6d4b)"));
        QVERIFY(std::all_of(content.begin(), content.end(), [](char c) { return c > 0; }));
        QTemporaryDir dir;
        QCOMPARE(QSettings(written(content, dir), QSettings::IniFormat)
                     .value(QStringLiteral("meta_obj0/text")),
                 setup.markers[0].text);
    }

    void setupGoesBesideTheSessionFile_data()
    {
        QTest::addColumn<QString>("command"); // the program and its arguments, X the folder
        // In X before: an "old" x.pvs, x.pvs or x.sr a folder ("x.pvs/"); the
        // status; x.pvs after: none, "old", a "folder" or its decoder; stderr's line.
        QTest::addColumn<QString>("outcome");
        const QString hello =
            QStringLiteral("export " WAVEMILL_EXAMPLES_DIR "/uart-hello.ird -o X/x");
        QTest::newRow("export") << hello + ".sr"
                                << "old|0|uart|";
        QTest::newRow("--no-setup leaves one alone") << hello + ".sr --no-setup"
                                                     << "old|0|old|";
        QTest::newRow("nothing recognised: an earlier one goes") << hello + ".sr --traces 3"
                                                                 << "old|0||";
        QTest::newRow("setup not writable: the .sr stands")
            << hello + ".sr"
            << "x.pvs/|0|folder|x.pvs: cannot write";
        QTest::newRow("session file not writable: the setup stays")
            << hello + ".sr"
            << "old x.sr/|1|old|x.sr: cannot write";
        QTest::newRow("no extension: PulseView looks nowhere to write")
            << hello + " --format sr"
            << "|0||no session setup written";
        QTest::newRow("one capture") << "capture -o X/x.sr"
                                     << "|0|uart|";
        QTest::newRow("a recording shorter than a capture") << "capture -o X/x.sr --seconds 3"
                                                            << "|0|uart|";
    }

    void setupGoesBesideTheSessionFile()
    {
        QFETCH(QString, command);
        QFETCH(QString, outcome);
        const QStringList want = outcome.split(QLatin1Char('|')); // before, status, after, err
        QTemporaryDir dir;
        const QString pvs = dir.filePath(QStringLiteral("x.pvs"));
        for (const QString &folder : {QStringLiteral("x.pvs/"), QStringLiteral("x.sr/")})
            QVERIFY(!want[0].contains(folder) || QDir(dir.path()).mkdir(folder));
        QFile old(pvs);
        QVERIFY(!want[0].startsWith(QLatin1String("old")) ||
                (old.open(QIODevice::WriteOnly) && old.write("old") == 3));
        old.close();

        QStringList arguments = command.replace(QLatin1String("X/"), dir.path() + QLatin1Char('/'))
                                    .split(QLatin1Char(' '));
        const bool capture = arguments.takeFirst() == QLatin1String("capture");
        QProcess board;
        if (capture) {
            board.start(
                QStringLiteral(WAVEMILL_BOARD_PATH),
                QStringLiteral("--signal uart --repeat --pace fast").split(QLatin1Char(' ')));
            QVERIFY(board.waitForReadyRead(kRunMs));
            arguments.prepend(QString::fromUtf8(board.readLine()).trimmed());
        }
        QProcess run;
        run.start(capture ? QStringLiteral(WAVEMILL_CAPTURE_PATH)
                          : QStringLiteral(WAVEMILL_EXPORT_PATH),
                  arguments);
        QVERIFY(run.waitForFinished(kRunMs));
        board.terminate();
        board.waitForFinished(kRunMs);
        const QString err = QString::fromUtf8(run.readAllStandardError());
        QCOMPARE(QString::number(run.exitCode()), want[1]);
        QVERIFY2(err.contains(want[3]) &&
                     err.count(QLatin1Char('\n')) == (want[3].isEmpty() ? 0 : 1),
                 qPrintable(err));
        const QFileInfo setup(pvs);
        QCOMPARE(setup.isDir()       ? QStringLiteral("folder")
                 : setup.size() == 3 ? QStringLiteral("old")
                                     : QSettings(pvs, QSettings::IniFormat)
                                           .value(QStringLiteral("decode_signal0/decoder0/id"))
                                           .toString(),
                 want[2]);
        // Nothing left beside them: x.sr and x.pvs at most.
        QVERIFY(
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                .size() <= 2);
    }
};

QTEST_GUILESS_MAIN(TestSessionSetup)
#include "test_session_setup.moc"
