// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/trace_buffers.h"
#include "core/trace_view.h"

#include <QString>

namespace wavemill::platform {
class FileDialog;
class MessageBox;
} // namespace wavemill::platform

namespace wavemill::capture_file {

/// The one file type both dialogs offer.
inline const QString kFilter = QStringLiteral("Ird文件|*.ird");
inline const QString kLoadFailed = QStringLiteral("打开文件出错");
inline const QString kSaveFailed = QStringLiteral("保存文件出错");

/// The load and save buttons' commands.
class CaptureFileCommands
{
public:
    struct Controls
    {
        platform::FileDialog *CommonDialog1;
        platform::MessageBox *messageBox;
    };

    CaptureFileCommands(TraceBuffers &traces, TraceView &view, Controls controls);

    void Command1_Click(); // load
    void Command3_Click(); // save

    /// The load after its dialog: the file at \a path into the three
    /// buffers and a redraw, or the failure message and nothing changed.
    void loadFile(const QString &path);

private:
    TraceBuffers &m_traces;
    TraceView &m_view;
    Controls m_c;
};

} // namespace wavemill::capture_file
