// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-export: turns a capture file into a Value Change Dump or CSV for
// the tools people already use. See --help.

#include "export/export_command.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return wavemill::exporting::runExport(QCoreApplication::arguments(), out, err);
}
