// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The session setup written beside a session file: its decoder table
// against libsigrokdecode itself, the options of every family the detection
// recognises read back from the file, PulseView's times, and a file that is
// written whole, in its place, or not at all.

#include "session_setup/decoder_table.h"
#include "session_setup/pulseview_time.h"
#include "session_setup/setup_beside.h"
#include "session_setup/setup_file.h"
#include "tools/decode/decode_test_signals.h"

#include "capture_file/capture_file_format.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <libsigrokdecode/libsigrokdecode.h>

using namespace wavemill;
using namespace wavemill::session_setup;

namespace {

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

/// The decoder's channels (required, then optional) or options, as
/// libsigrokdecode lists them.
template <typename T> QList<const T *> listOf(const GSList *list)
{
    QList<const T *> out;
    for (const GSList *l = list; l; l = l->next)
        out << static_cast<const T *>(l->data);
    return out;
}

/// "id=value" with the value in GVariant's own text form ("9600", "'ascii'").
QString optionText(const QString &id, GVariant *value)
{
    gchar *printed = g_variant_print(value, FALSE);
    QString line = id + QLatin1Char('=') + text(printed);
    g_free(printed);
    g_variant_unref(value);
    return line;
}

/// \a value as a GVariant of the type of libsigrokdecode's default \a def.
GVariant *variantLike(GVariant *def, const QString &value)
{
    if (g_variant_is_of_type(def, G_VARIANT_TYPE_INT64))
        return g_variant_new_int64(value.toLongLong());
    if (g_variant_is_of_type(def, G_VARIANT_TYPE_DOUBLE))
        return g_variant_new_double(value.toDouble());
    return g_variant_new_string(value.toUtf8().constData());
}

/// Long enough for one capture at the board's pace (10.2 s) on a busy machine.
constexpr int kRunMs = 60000;

/// A wavemill-board sending text at 9600 bit/s on a pseudo-terminal of its
/// own, ended with the test.
struct Board
{
    Board()
    {
        process.start(QStringLiteral(WAVEMILL_BOARD_PATH),
                      {QStringLiteral("--signal"), QStringLiteral("uart"),
                       QStringLiteral("--repeat"), QStringLiteral("--pace"),
                       QStringLiteral("fast")});
        if (process.waitForReadyRead(kRunMs))
            path = QString::fromUtf8(process.readLine()).trimmed();
    }
    ~Board()
    {
        process.terminate();
        if (!process.waitForFinished(kRunMs))
            process.kill();
    }
    QProcess process;
    QString path;
};

const srd_decoder *sigrokDecoder(const QString &id)
{
    const QByteArray name = id.toUtf8();
    if (!srd_decoder_get_by_id(name.constData()))
        srd_decoder_load(name.constData());
    return srd_decoder_get_by_id(name.constData());
}

/// One capture's traces: board signals on traces 1, 2, ... ("uart 9600 +
/// nec 4 8"), or an example file's three.
std::unique_ptr<TraceBuffers> captureOf(const QString &source)
{
    auto buffers = std::make_unique<TraceBuffers>();
    if (source.endsWith(QLatin1String(".ird")))
        return capture_file::readCaptureFile(QStringLiteral(WAVEMILL_EXAMPLES_DIR "/") + source,
                                             *buffers)
                   ? std::move(buffers)
                   : nullptr;
    const QStringList perTrace = source.split(QStringLiteral(" + "));
    for (int i = 0; i < perTrace.size(); ++i) {
        auto signal = testing::boardSignal(perTrace[i]);
        if (!signal)
            return nullptr;
        *buffers->trace(i + 1) = testing::captureOf(*signal);
    }
    return buffers;
}

} // namespace

class TestSessionSetup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(srd_init(nullptr) == SRD_OK);
        QVERIFY2(QFileInfo::exists(QStringLiteral("/usr/share/libsigrokdecode/decoders/uart")),
                 "sigrok's decoders are not installed (Debian package libsigrokdecode4)");
    }
    void cleanupTestCase() { srd_exit(); }

    void decoderTableIsLibsigrokdecodes_data()
    {
        QTest::addColumn<QString>("id");
        for (const DecoderInfo &info : decoderTable())
            QTest::newRow(info.id) << text(info.id);
    }

    // The table stands in for the library in the programs that write setups:
    // a wrong type, default, channel number or stacking is a setup PulseView
    // refuses or misreads.
    void decoderTableIsLibsigrokdecodes()
    {
        QFETCH(QString, id);
        const DecoderInfo &info = *findDecoder(id);
        const srd_decoder *d = sigrokDecoder(id);
        QVERIFY2(d, "libsigrokdecode has no such decoder");
        QCOMPARE(text(info.label), text(d->name));
        QCOMPARE(text(info.input), text(static_cast<const char *>(d->inputs->data)));
        QCOMPARE(text(info.output),
                 d->outputs ? text(static_cast<const char *>(d->outputs->data)) : QString());

        QStringList theirs;
        const auto channels =
            listOf<srd_channel>(d->channels) + listOf<srd_channel>(d->opt_channels);
        for (const srd_channel *c : channels)
            theirs << text(c->id) + QLatin1Char(':') + text(c->name);
        QStringList ours;
        for (const DecoderChannel &c : info.channels)
            ours << text(c.id) + QLatin1Char(':') + text(c.name);
        QCOMPARE(ours, theirs);

        theirs.clear();
        ours.clear();
        const auto options = listOf<srd_decoder_option>(d->options);
        for (const srd_decoder_option *o : options)
            theirs << text(g_variant_get_type_string(o->def)) + QLatin1Char(' ') +
                          optionText(text(o->id), g_variant_ref(o->def));
        for (const DecoderOption &o : info.options) {
            const srd_decoder_option *match = nullptr;
            for (const srd_decoder_option *x : options)
                match = text(x->id) == text(o.id) ? x : match;
            GVariant *value = match ? variantLike(match->def, text(o.defaultValue))
                                    : g_variant_new_string(o.defaultValue);
            ours << QString(QLatin1Char(o.type)) + QLatin1Char(' ') + optionText(text(o.id), value);
        }
        QCOMPARE(ours, theirs);

        // What the view sets must be a value the decoder offers.
        for (const DecoderOption &view : info.viewOptions) {
            const DecoderOption *option = info.option(text(view.id));
            QVERIFY(option && option->type == view.type);
            QStringList values;
            for (const srd_decoder_option *o : options) {
                for (const GSList *l = text(o->id) == text(view.id) ? o->values : nullptr; l;
                     l = l->next)
                    values << text(g_variant_get_string(static_cast<GVariant *>(l->data), nullptr));
            }
            QVERIFY2(values.contains(text(view.defaultValue)), view.id);
        }
    }

    void setupHoldsTheDetectedDecoders_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("signals"); // decode signals expected
        QTest::addColumn<int>("flags");
        QTest::newRow("uart 9600") << "uart 9600 repeated" << 1 << 1;
        QTest::newRow("uart 2400 inverted") << "uart 2400 repeated inverted" << 1 << 1;
        QTest::newRow("uart 19200") << "uart 19200 repeated" << 1 << 1;
        QTest::newRow("nec") << "nec 0x04 0x08" << 1 << 1;
        QTest::newRow("nec inverted") << "nec 0x04 0x08 inverted" << 1 << 1;
        QTest::newRow("rc5") << "rc5 5 12" << 1 << 1;
        QTest::newRow("rc6") << "rc6 0x1a 0x40" << 1 << 1;
        QTest::newRow("square wave: no decoder") << "square 1000 0.25" << 0 << 0;
        QTest::newRow("random bytes: nothing recognised") << "random 7" << 0 << 0;
        QTest::newRow("three traces") << "uart 9600 + square 50 0.1 + rc5 5 12" << 2 << 2;
        QTest::newRow("uart-hello.ird") << "uart-hello.ird" << 1 << 1;
        QTest::newRow("pwm.ird") << "pwm.ird" << 1 << 1;
        // Three remotes from 20 ms: one flag, the others' labels would overlap it.
        QTest::newRow("infrared.ird") << "infrared.ird" << 3 << 1;
        QTest::newRow("mixed.ird") << "mixed.ird" << 1 << 1;
    }

    // Written from the detection, read back as PulseView reads it: each
    // decoder with the options the description chose less libsigrokdecode's
    // defaults (plus what the table sets for the view), on its channel's
    // number, assigned the trace.
    void setupHoldsTheDetectedDecoders()
    {
        QFETCH(QString, source);
        QFETCH(int, signals);
        QFETCH(int, flags);
        const auto buffers = captureOf(source);
        QVERIFY(buffers);
        const QList<int> traces{1, 2, 3};
        const QList<DescribedTrace> described = describeTraces(*buffers, traces);
        QStringList notes;
        const SessionSetup setup = buildSetup(described, &notes);
        QVERIFY2(notes.isEmpty(), qPrintable(notes.join(QLatin1Char('\n'))));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.pvs"));
        QString why;
        const QByteArray content = setupFileContent(setup, &why);
        QVERIFY2(!content.isEmpty(), qPrintable(why));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(content) == content.size());
        out.close();

        QSettings file(path, QSettings::IniFormat);
        QCOMPARE(file.value(QStringLiteral("decode_signals")).toInt(), signals);
        int n = 0;
        for (const DescribedTrace &t : described) {
            if (t.description.decoders.isEmpty())
                continue;
            file.beginGroup(QStringLiteral("decode_signal%1").arg(n++));
            QVERIFY(file.value(QStringLiteral("name"))
                        .toString()
                        .startsWith(QStringLiteral("trace%1: ").arg(t.trace)));
            QCOMPARE(file.value(QStringLiteral("decoders")).toInt(), t.description.decoders.size());
            for (int j = 0; j < t.description.decoders.size(); ++j) {
                const sigrok::DecoderChoice &choice = t.description.decoders[j];
                const srd_decoder *d = sigrokDecoder(choice.id);
                QVERIFY(d);
                file.beginGroup(QStringLiteral("decoder%1").arg(j));
                QCOMPARE(file.value(QStringLiteral("id")).toString(), choice.id);
                QStringList expected;
                for (const srd_decoder_option *o : listOf<srd_decoder_option>(d->options)) {
                    QString value;
                    for (const auto &[key, setting] : choice.settings)
                        value = key == text(o->id) ? setting : value;
                    for (const DecoderOption &view : findDecoder(choice.id)->viewOptions)
                        value = value.isEmpty() && text(view.id) == text(o->id)
                                    ? text(view.defaultValue)
                                    : value;
                    GVariant *v = value.isEmpty() ? nullptr : variantLike(o->def, value);
                    if (v && !g_variant_equal(v, o->def))
                        expected << optionText(text(o->id), v);
                    else if (v)
                        g_variant_unref(v);
                }
                QStringList written;
                for (int k = 0; k < file.value(QStringLiteral("options")).toInt(); ++k) {
                    file.beginGroup(QStringLiteral("option%1").arg(k));
                    const QByteArray type = file.value(QStringLiteral("type")).toByteArray();
                    const QByteArray bytes = file.value(QStringLiteral("value")).toByteArray();
                    GVariant *v =
                        g_variant_new_from_data(G_VARIANT_TYPE(type.constData()),
                                                g_memdup2(bytes.constData(), bytes.size()),
                                                gsize(bytes.size()), TRUE, g_free, nullptr);
                    QVERIFY(g_variant_is_normal_form(v));
                    written << optionText(file.value(QStringLiteral("name")).toString(),
                                          g_variant_ref_sink(v));
                    file.endGroup();
                }
                expected.sort();
                written.sort();
                QCOMPARE(written, expected);
                file.endGroup();
            }
            const srd_decoder *bottom = sigrokDecoder(t.description.decoders.front().id);
            const auto channels =
                listOf<srd_channel>(bottom->channels) + listOf<srd_channel>(bottom->opt_channels);
            QCOMPARE(file.value(QStringLiteral("channels")).toInt(), channels.size());
            for (int c = 0; c < channels.size(); ++c)
                QCOMPARE(
                    file.value(QStringLiteral("channel%1/assigned_signal_name").arg(c)).toString(),
                    text(channels[c]->id) == t.description.channel
                        ? QStringLiteral("trace%1").arg(t.trace)
                        : QString());
            file.endGroup();
        }
        // The view opens before the first frame, with that frame's flag in it.
        QCOMPARE(setup.markers.size(), flags);
        QCOMPARE(file.value(QStringLiteral("meta_objs")).toInt(), flags);
        for (const TimeMarker &m : setup.markers)
            QVERIFY(m.sample >= setup.offsetSample);
        QCOMPARE(setup.secondsPerPixel > 0, signals > 0);
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

    void setupPathIsWherePulseViewLooks_data()
    {
        QTest::addColumn<QString>("session");
        QTest::addColumn<QString>("setup");
        QTest::newRow("X.sr") << "capture.sr"
                              << "capture.pvs";
        QTest::newRow("two dots") << "dir/a.b.sr"
                                  << "dir/a.b.pvs";
        QTest::newRow("dotted folder") << "d.x/capture.sr"
                                       << "d.x/capture.pvs";
        QTest::newRow("no extension") << "capture"
                                      << "";
        QTest::newRow("no extension, dotted folder") << "d.x/capture"
                                                     << "";
    }

    void setupPathIsWherePulseViewLooks()
    {
        QFETCH(QString, session);
        QFETCH(QString, setup);
        QCOMPARE(setupPathFor(session), setup);
    }

    // PulseView's Qt 5 reads the file as Latin-1: what is not ASCII is escaped.
    void textThatIsNotAsciiIsEscaped()
    {
        const auto buffers = captureOf(QStringLiteral("uart-hello.ird"));
        QStringList notes;
        SessionSetup setup = buildSetup(describeTraces(*buffers, {1}), &notes);
        const QString title = QString::fromUtf8("bit 104.2 \u00b5s, \u00b5a, \u6d4b");
        setup.markers[0].text = title;
        QString why;
        const QByteArray content = setupFileContent(setup, &why);
        QVERIFY(content.contains(R"(bit 104.2 \xb5s, \xb5\x61, \x6d4b)"));
        QVERIFY(std::all_of(content.begin(), content.end(), [](char c) { return c > 0; }));
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("x.pvs")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        QCOMPARE(QSettings(file.fileName(), QSettings::IniFormat)
                     .value(QStringLiteral("meta_obj0/text")),
                 title);
    }

    void setupGoesBesideTheSessionFile_data()
    {
        QTest::addColumn<QString>("command"); // the program's arguments; X stands for the folder
        QTest::addColumn<QString>("before");  // X/x.pvs before: "", "old" or "folder"; x.sr
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("after"); // X/x.pvs after: "", "old", "folder" or a decoder id
        QTest::addColumn<QString>("err");   // what stderr holds
        const QString hello = QStringLiteral("export " WAVEMILL_EXAMPLES_DIR "/uart-hello.ird ");
        QTest::newRow("export") << hello + "-o X/x.sr"
                                << "old" << 0 << "uart"
                                << "";
        QTest::newRow("--no-setup leaves one alone") << hello + "-o X/x.sr --no-setup"
                                                     << "old" << 0 << "old"
                                                     << "";
        QTest::newRow("nothing recognised: the earlier one goes") << hello + "-o X/x.sr --traces 3"
                                                                  << "old" << 0 << ""
                                                                  << "";
        QTest::newRow("setup not writable: the .sr stands") << hello + "-o X/x.sr"
                                                            << "folder" << 0 << "folder"
                                                            << "x.pvs: cannot write";
        QTest::newRow("session file not writable: the setup stays")
            << hello + "-o X/x.sr"
            << "old, x.sr a folder" << 1 << "old"
            << "x.sr: cannot write";
        QTest::newRow("no extension: PulseView looks nowhere to write")
            << hello + "-o X/x --format sr"
            << "" << 0 << ""
            << "no session setup written";
        QTest::newRow("--no-setup for a VCD") << hello + "-o X/x.vcd --no-setup"
                                              << "" << 2 << ""
                                              << "--no-setup is for .sr output";
        QTest::newRow("one capture") << "capture -o X/x.sr"
                                     << "" << 0 << "uart"
                                     << "";
        QTest::newRow("a recording shorter than a capture") << "capture -o X/x.sr --seconds 3"
                                                            << "" << 0 << "uart"
                                                            << "";
    }

    // What wavemill-export and wavemill-capture leave beside a session file.
    void setupGoesBesideTheSessionFile()
    {
        QFETCH(QString, command);
        QFETCH(QString, before);
        QFETCH(int, status);
        QFETCH(QString, after);
        QFETCH(QString, err);
        QTemporaryDir dir;
        const QString pvs = dir.filePath(QStringLiteral("x.pvs"));
        if (before == QLatin1String("folder"))
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("x.pvs")));
        if (before.contains(QLatin1String("x.sr a folder")))
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("x.sr")));
        QFile old(pvs);
        if (before.startsWith(QLatin1String("old")))
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();

        QStringList arguments = command.replace(QLatin1String("X/"), dir.path() + QLatin1Char('/'))
                                    .split(QLatin1Char(' '));
        const QString program = arguments.takeFirst();
        std::unique_ptr<Board> board;
        if (program == QLatin1String("capture")) {
            board = std::make_unique<Board>();
            QVERIFY(!board->path.isEmpty());
            arguments.prepend(board->path);
        }
        QProcess run;
        run.start(program == QLatin1String("export") ? QStringLiteral(WAVEMILL_EXPORT_PATH)
                                                     : QStringLiteral(WAVEMILL_CAPTURE_PATH),
                  arguments);
        QVERIFY(run.waitForFinished(kRunMs));
        const QString stderrText = QString::fromUtf8(run.readAllStandardError());
        QCOMPARE(run.exitCode(), status);
        QVERIFY2(err.isEmpty() ? stderrText.isEmpty() : stderrText.contains(err),
                 qPrintable(stderrText));
        QCOMPARE(stderrText.count(QLatin1Char('\n')), err.isEmpty() ? 0 : 1);
        if (status == 0 && arguments.contains(dir.filePath(QStringLiteral("x.sr"))))
            QVERIFY(QFileInfo(dir.filePath(QStringLiteral("x.sr"))).size() > 0);

        const QFileInfo setup(pvs);
        if (after.isEmpty())
            QVERIFY(!setup.exists());
        else if (after == QLatin1String("folder"))
            QVERIFY(setup.isDir());
        else if (after == QLatin1String("old"))
            QCOMPARE(QFile(pvs).open(QIODevice::ReadOnly) ? QFile(pvs).size() : -1, 3);
        else
            QCOMPARE(QSettings(pvs, QSettings::IniFormat)
                         .value(QStringLiteral("decode_signal0/decoder0/id"))
                         .toString(),
                     after);
        // Nothing left beside them.
        QCOMPARE(QDir(dir.path())
                     .entryList(QDir::Files | QDir::Hidden | QDir::System)
                     .filter(QRegularExpression(QStringLiteral("^x\\.(sr|pvs)\\..|lock$"))),
                 QStringList());
    }
};

QTEST_GUILESS_MAIN(TestSessionSetup)
#include "test_session_setup.moc"
