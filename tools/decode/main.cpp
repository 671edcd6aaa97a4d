// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-decode: tells what the traces of a capture or a sigrok session
// file carry, and decodes them with sigrok's protocol decoders in this
// process. See --help.

#include "decode/decode_command.h"

#include <QCoreApplication>
#include <QTextStream>

#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    return wavemill::decode::runDecode(QCoreApplication::arguments(), STDOUT_FILENO, err);
}
