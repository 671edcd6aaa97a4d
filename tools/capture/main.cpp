// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-capture: one capture, or a longer recording, from the board's
// serial port into a file, from a terminal or a script. See --help.

#include "capture/capture_command.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // A file size limit (ulimit -f) fails the write, which is reported, rather
    // than ending the program without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return wavemill::capturing::runCapture(QCoreApplication::arguments(), out, err,
                                           ::isatty(STDERR_FILENO) == 1);
}
