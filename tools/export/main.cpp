// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-export: turns a capture file into a Value Change Dump or CSV for
// the tools people already use. See --help.

#include "export/export_command.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    // A file size limit (ulimit -f) fails the write, which is reported, rather
    // than ending the program without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return wavemill::exporting::runExport(QCoreApplication::arguments(), out, err);
}
