// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture_file/capture_file_commands.h"

#include "capture_file/capture_file_format.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"

namespace wavemill::capture_file {

CaptureFileCommands::CaptureFileCommands(TraceBuffers &traces, TraceView &view, Controls controls)
    : m_traces(traces), m_view(view), m_c(controls)
{
}

void CaptureFileCommands::Command1_Click()
{
    m_c.CommonDialog1->setFilter(kFilter);
    if (!m_c.CommonDialog1->ShowOpen())
        return; // cancelled: nothing is touched
    loadFile(m_c.CommonDialog1->FileName());
}

void CaptureFileCommands::loadFile(const QString &path)
{
    // All or nothing: a bad file changes no buffer and leaves the view as it is.
    if (!readCaptureFile(path, m_traces)) {
        m_c.messageBox->show(kLoadFailed);
        return;
    }
    // Drawn at the scroll bar's position and the current zoom, as a scroll draws.
    m_view.redrawFromScrollBar();
}

void CaptureFileCommands::Command3_Click()
{
    m_c.CommonDialog1->setFilter(kFilter);
    if (!m_c.CommonDialog1->ShowSave())
        return; // cancelled: nothing is touched
    // The old file stays whole unless the new one is complete.
    if (!writeCaptureFile(m_c.CommonDialog1->FileName(), m_traces))
        m_c.messageBox->show(kSaveFailed);
}

} // namespace wavemill::capture_file
