// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Decoding one full trace with sigrok's uart decoder three ways, measured in
// the same run: in this process through libsigrokdecode, straight from the
// trace buffers (the library started once, as a program keeps it); as the
// wavemill-decode program, start-up included; and sigrok-cli reading the
// capture's session file. Then the detection of all three traces of each
// sample capture: the measurements alone, and wavemill-decode describing the
// capture as a process, the sigrok decoding of what it recognised included.
// Medians over the runs; one line per capture:
//
//   decode file=uart-hello.ird annotations=... inprocess_ms=... process_ms=...
//          sigrok_cli_ms=... ratio_inprocess=... ratio_process=...
//   detect file=uart-hello.ird measure_ms=... process_ms=...
//
// (each on one line). Usage: bench_decode [--runs N]

#include "decode/sigrok_decoders.h"
#include "detect/trace_detector.h"
#include "sigrok/protocol_stack.h"
#include "sigrok/sigrok_logic.h"

#include "capture_file/capture_file_format.h"
#include "support/median_time.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

using namespace wavemill;

/// sigrok-cli and the program, given the same decoder.
const QString kProtocol = QStringLiteral("uart:baudrate=9600:rx=trace1");

bool runQuietly(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000))
        return false;
    process.readAllStandardOutput(); // read as a user's terminal would
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int runs = 10;
    const QStringList args = app.arguments();
    const int at = int(args.indexOf(QStringLiteral("--runs")));
    if (at > 0 && at + 1 < args.size())
        runs = std::max(1, args[at + 1].toInt());

    QElapsedTimer startClock;
    startClock.start();
    decode::SigrokDecoders decoders;
    QString why;
    if (!decoders.ready() || !decoders.load(QStringLiteral("uart"), &why)) {
        std::fprintf(stderr, "bench_decode: %s\n", qPrintable(decoders.error() + why));
        return 1;
    }
    const double libraryMs = double(startClock.nsecsElapsed()) / 1e6;
    const QString sigrok = QStandardPaths::findExecutable(QStringLiteral("sigrok-cli"));
    const sigrok::DecoderStack stack = sigrok::parseProtocolStack(kProtocol, &why);

    QTemporaryDir dir;
    int failures = 0;
    for (const QString &name : {QStringLiteral("uart-hello.ird"), QStringLiteral("mixed.ird"),
                                QStringLiteral("infrared.ird")}) {
        const QString capture = QStringLiteral(WAVEMILL_EXAMPLES_DIR "/") + name;
        auto buffers = std::make_unique<TraceBuffers>();
        if (!capture_file::readCaptureFile(capture, *buffers))
            return 1;

        if (name != QLatin1String("infrared.ird")) {
            const QString session = dir.filePath(name + QStringLiteral(".sr"));
            if (!runQuietly(QStringLiteral(WAVEMILL_EXPORT_PATH),
                            {capture, QStringLiteral("-o"), session}))
                return 1;
            std::size_t annotations = 0;
            const double inProcess = bench::medianMs(runs, [&] {
                // From the trace buffers to the annotations, as the program does it.
                const std::vector<std::uint8_t> samples = sigrok::logicSamples(*buffers, {1, 2, 3});
                std::vector<sigrok::Annotation> out;
                QString error;
                const bool ok = decoders.decode({stack}, 0, &samples, &out, &error) ==
                                decode::DecodeFailure::None;
                annotations = out.size();
                return ok;
            });
            const double process = bench::medianMs(runs, [&] {
                return runQuietly(QStringLiteral(WAVEMILL_DECODE_PATH),
                                  {capture, QStringLiteral("-P"), kProtocol});
            });
            const double theirs = sigrok.isEmpty() ? -1 : bench::medianMs(runs, [&] {
                return runQuietly(sigrok,
                                  {QStringLiteral("-i"), session, QStringLiteral("-P"), kProtocol,
                                   QStringLiteral("-A"), QStringLiteral("uart")});
            });
            if (inProcess < 0 || process < 0)
                ++failures;
            std::printf("decode file=%s annotations=%zu inprocess_ms=%.1f process_ms=%.1f "
                        "sigrok_cli_ms=%.1f ratio_inprocess=%.2f ratio_process=%.2f\n",
                        qPrintable(name), annotations, inProcess, process, theirs,
                        theirs > 0 ? inProcess / theirs : 0, theirs > 0 ? process / theirs : 0);
        }

        const double measure = bench::medianMs(runs, [&] {
            for (int trace = 1; trace <= kTraceCount; ++trace)
                detect::describeTrace(*buffers->trace(trace));
            return true;
        });
        const double describe = bench::medianMs(
            runs, [&] { return runQuietly(QStringLiteral(WAVEMILL_DECODE_PATH), {capture}); });
        if (describe < 0)
            ++failures;
        std::printf("detect file=%s measure_ms=%.1f process_ms=%.1f\n", qPrintable(name), measure,
                    describe);
        std::fflush(stdout);
    }
    std::printf("decode_runs %d\n", runs);
    std::printf("decode_library_start_ms %.1f\n", libraryMs);
    return failures == 0 ? 0 : 1;
}
