// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-board: stands in for the acquisition board. It streams a chosen
// signal, eight samples a byte, into a pseudo-terminal whose device path the
// program's port selector takes, or into a serial device. With --chip the
// bytes come from the board's own firmware running in a simulated chip. See
// --help.

#include "board/board_command.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return wavemill::board::runBoard(QCoreApplication::arguments(), out, err);
}
