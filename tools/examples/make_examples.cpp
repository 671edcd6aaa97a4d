// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Writes the sample capture files shipped in examples/ into a folder:
//   wavemill-make-examples <folder>

#include "examples/example_signals.h"

#include "capture_file/capture_file_format.h"

#include <QDir>
#include <QString>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists()) {
        std::fprintf(stderr, "%s: no such folder\n", argv[1]);
        return 1;
    }
    int failures = 0;
    for (const auto &example : wavemill::examples::makeExamples()) {
        const QString path = folder.filePath(example.fileName);
        const bool written = wavemill::capture_file::writeCaptureFile(path, *example.traces);
        std::printf("%s %s\n", written ? "wrote" : "FAILED", qPrintable(path));
        if (!written)
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
