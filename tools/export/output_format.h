// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/samples.h"
#include "core/trace_buffers.h"
#include "export/output_stream.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace wavemill::command {
class OutputFile;
}

namespace wavemill::exporting {

/// What a format's writers are told besides the samples.
struct OutputOptions
{
    QList<int> traces{1, 2, 3}; // numbers 1 to 3, in the order wanted
    bool everySample = false;   // a row per sample, where the format has rows
    /// Samples the file will hold: a capture's, or a recording's announced.
    std::int64_t samples = kCaptureSamples;
    QString program; // the program writing, named with its version in a header
    QString origin;  // where the samples come from, for a header's comment
    bool companions = true; // false (--no-setup): none written, earlier ones left as they are
};

/// A file that goes beside an output (a viewer's setup for it): written with
/// it, put in place with it. It never undoes the output: one that cannot be
/// written is told, and the output stands.
struct CompanionFile
{
    QString path;
    /// Empty: none goes there this time, and what an earlier output left at
    /// \a path, which belongs to it, is removed.
    QByteArray content;
    QStringList notes; // what the user should be told of it
};

/// One output format: its names, its help, and its writers. Every format is
/// one unit (its writer and the function that makes its row) and one row of
/// outputFormats(); wavemill-export and wavemill-capture read the table, for
/// the format an output's name picks, their help and their messages.
struct OutputFormat
{
    QString name;           // --format's name
    QStringList extensions; // lower case, without the dot; the first is the usual one
    QString help;           // its lines in --help, without the extension column
    bool everySample;       // takes --every-sample
    /// The file of a whole capture, in memory. Empty, with \a error set, when
    /// it cannot be made.
    QByteArray (*whole)(const TraceBuffers &buffers, const OutputOptions &options, QString *error);
    /// The file written as the samples of a recording come.
    std::unique_ptr<OutputStream> (*stream)(const OutputOptions &options);
    /// The files that go beside an output at \a path, made once its content
    /// is complete; \a capture holds the capture written, or a recording's
    /// first options.samples samples (up to a capture's). Null where there
    /// are none.
    QList<CompanionFile> (*companions)(const QString &path, const OutputOptions &options,
                                       const TraceBuffers *capture);
};

/// Every output format, in the order help texts list them.
const QList<OutputFormat> &outputFormats();
/// The format named \a name (any case), or null.
const OutputFormat *formatNamed(const QString &name);
/// The format \a path's extension picks (any case), or null.
const OutputFormat *formatOfPath(const QString &path);
/// The extensions listed for a message: ".sr, .vcd or .csv".
QString extensionsText();
/// The names listed for a message: "sr, vcd or csv".
QString namesText();
/// The formats' lines for --help: the extension in a column, the help beside.
QString formatsHelp();

/// Puts \a file, written with \a format, in its place, with the format's
/// companions: they are written first, and put in place only after it, so
/// that a failure leaves none of them. Fails the program (kExitFailed) when
/// \a file cannot be put in place; returns the lines to tell the user of
/// the companions (one that could not be written, and why).
QStringList commitOutput(command::OutputFile &file, const OutputFormat &format,
                         const OutputOptions &options, const TraceBuffers *capture);

} // namespace wavemill::exporting
