// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Time to export one capture file, as wavemill-export does it (read the
// capture, write the whole output beside the target, put it in place), for
// each example capture. Medians over the runs; prints one line per capture:
//
//   export file=mixed.ird changes=62340 vcd_ms=12.3 csv_ms=15.6 csv_every_sample_ms=80.1
//          process_vcd_ms=30.2 vcd_bytes=812345
//
// (on one line). process_vcd_ms is the program started as a process, its
// own start-up included.
//
// Usage: bench_export [--runs N]

#include "export/export_command.h"
#include "export/level_rows.h"

#include "capture_file/capture_file_format.h"
#include "support/median_time.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace wavemill;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int runs = 20;
    const QStringList args = app.arguments();
    const int at = int(args.indexOf(QStringLiteral("--runs")));
    if (at > 0 && at + 1 < args.size())
        runs = std::max(1, args[at + 1].toInt());

    QTemporaryDir dir;
    QString nothing;
    QTextStream quiet(&nothing);
    QTextStream err(stderr);
    int failures = 0;
    for (const QString &name : {QStringLiteral("uart-hello.ird"), QStringLiteral("pwm.ird"),
                                QStringLiteral("mixed.ird")}) {
        const QString capture = QStringLiteral(WAVEMILL_EXAMPLES_DIR "/") + name;
        const QString vcd = dir.filePath(name + QStringLiteral(".vcd"));
        const QString csv = dir.filePath(name + QStringLiteral(".csv"));
        const auto exportTo = [&](const QStringList &options) {
            return [&, options] {
                return exporting::runExport(
                           QStringList{QStringLiteral("wavemill-export"), capture} + options, quiet,
                           err) == exporting::kExitOk;
            };
        };
        const double vcdMs = bench::medianMs(runs, exportTo({QStringLiteral("-o"), vcd}));
        const double csvMs = bench::medianMs(runs, exportTo({QStringLiteral("-o"), csv}));
        const double everyMs = bench::medianMs(
            std::max(1, runs / 4),
            exportTo({QStringLiteral("-o"), csv, QStringLiteral("--every-sample")}));
        const double processMs = bench::medianMs(runs, [&] {
            QProcess process;
            process.start(QStringLiteral(WAVEMILL_EXPORT_PATH),
                          {capture, QStringLiteral("-o"), vcd});
            return process.waitForFinished() && process.exitCode() == 0;
        });

        auto buffers = std::make_unique<TraceBuffers>();
        capture_file::readCaptureFile(capture, *buffers);
        const auto changes = exporting::levelRows(*buffers, {1, 2, 3}, false).size() - 1;

        if (vcdMs < 0 || csvMs < 0 || everyMs < 0 || processMs < 0)
            ++failures;
        std::printf("export file=%s changes=%zu vcd_ms=%.2f csv_ms=%.2f csv_every_sample_ms=%.2f "
                    "process_vcd_ms=%.2f vcd_bytes=%lld\n",
                    qPrintable(name), changes, vcdMs, csvMs, everyMs, processMs,
                    static_cast<long long>(QFileInfo(vcd).size()));
    }
    std::printf("export_runs %d\n", runs);
    return failures == 0 ? 0 : 1;
}
