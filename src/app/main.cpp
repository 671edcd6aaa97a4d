// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/form1.h"
#include "core/numbers.h"
#include "core/version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>
#include <QTimer>

#include <cstring>

namespace {

constexpr auto kProgram = "wavemill";
constexpr int kExitUsage = 2; // as the companion programs: a wrong command line

const char kHelp[] =
    "Usage: wavemill [FILE.ird]\n"
    "\n"
    "Front end for a single-channel logic analyzer board.\n"
    "\n"
    "The board samples one logic input every %1 and streams the samples\n"
    "over a serial port at 115200 baud, eight samples a byte. Wavemill takes in\n"
    "one capture of 63,488 bytes (about 10.2 s) into one of three traces, draws\n"
    "them as square waves, zooms and scrolls, measures, and saves and loads\n"
    "capture files. Everything is done in its window; wavemill(1) lists its\n"
    "controls.\n"
    "\n"
    "With FILE.ird the capture file is loaded as the window opens, as its load\n"
    "button (载入) loads a file: a file that cannot be loaded shows the same\n"
    "message (打开文件出错) and changes nothing.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "  -v, --version  show the version and exit\n"
    "Qt's own options, such as -platform offscreen, are taken too.\n"
    "\n"
    "Exit status:\n"
    "  0  the window was closed, or --help or --version answered\n"
    "  2  a wrong command line\n"
    "Another status when no display can be opened: Qt says why on standard error.\n";

/// --help and --version, answered before the window's toolkit starts, so
/// that they need no display. True when one was answered.
bool answeredWithoutDisplay(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (std::strcmp(argument, "--") == 0)
            return false;
        if (std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0) {
            QTextStream(stdout) << QString::fromUtf8(kHelp).arg(wavemill::samplePeriodText());
            return true;
        }
        if (std::strcmp(argument, "-v") == 0 || std::strcmp(argument, "--version") == 0) {
            QTextStream(stdout) << kProgram << ' ' << wavemill::kVersion << '\n';
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (answeredWithoutDisplay(argc, argv))
        return 0;
    QApplication app(argc, argv);

    // What is left once Qt has taken its own options: at most one file.
    QCommandLineParser parser;
    QString why;
    if (!parser.parse(QCoreApplication::arguments()))
        why = parser.errorText();
    else if (parser.positionalArguments().size() > 1)
        why = QStringLiteral("one capture file at most");
    if (!why.isEmpty()) {
        QTextStream(stderr) << kProgram << ": " << why << " (see --help)\n";
        return kExitUsage;
    }

    wavemill::Form1 form;
    form.show();
    if (!parser.positionalArguments().isEmpty()) {
        const QString file = parser.positionalArguments().front();
        // Once the window is up, so that a failure's message box stands over it.
        QTimer::singleShot(0, &form, [&form, file] { form.openCaptureFile(file); });
    }
    return app.exec();
}
