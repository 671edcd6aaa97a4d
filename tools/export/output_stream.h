// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wavemill::command {
class OutputFile;
}

namespace wavemill::exporting {

/// An output format's file written as a recording's samples arrive, so that
/// memory stays flat however long it runs. The file is the command's output
/// file, made beside its target; the command puts it in place after end().
class OutputStream
{
public:
    virtual ~OutputStream() = default;

    /// Begins the content in \a file, already open. Fails the program
    /// (kExitFailed) when it cannot.
    virtual void begin(command::OutputFile &file) = 0;
    /// Hands on the next \a count bytes of each chosen trace (\a traces[i]
    /// points at those of the i-th). False once writing has failed; end()
    /// then says why.
    virtual bool append(const std::vector<const std::uint8_t *> &traces, std::size_t count) = 0;
    /// Completes the content. False, with \a error set, when writing failed
    /// or fewer samples came than announced.
    virtual bool end(QString *error) = 0;
};

} // namespace wavemill::exporting
