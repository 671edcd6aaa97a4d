#include "capture_file/capture_file_commands.h"

#include "capture_file/capture_file_format.h"
#include "platform/drawing_surface.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"

#include <QScrollBar>

namespace wavemill::capture_file {

CaptureFileCommands::CaptureFileCommands(MainState &state, Controls controls)
    : m_state(state), m_c(std::move(controls))
{
}

void CaptureFileCommands::Command1_Click()
{
    m_c.CommonDialog1->setFilter(kFilter);
    if (!m_c.CommonDialog1->ShowOpen())
        return; // cancelled: nothing is touched
    // All or nothing: a bad file changes no buffer and leaves the view as it is.
    if (!readCaptureFile(m_c.CommonDialog1->FileName(), m_state.traces)) {
        m_c.messageBox->show(kLoadFailed);
        return;
    }
    m_c.Picture1->Cls();
    // The scroll position is a 16-bit signed number, widened with its sign.
    m_state.storedScrollValue = std::int16_t(m_c.HScroll1->value());
    m_c.DrawAllTraces(2 * m_state.storedScrollValue);
}

void CaptureFileCommands::Command3_Click()
{
    m_c.CommonDialog1->setFilter(kFilter);
    if (!m_c.CommonDialog1->ShowSave())
        return; // cancelled: nothing is touched
    // The old file stays whole unless the new one is complete.
    if (!writeCaptureFile(m_c.CommonDialog1->FileName(), m_state.traces))
        m_c.messageBox->show(kSaveFailed);
}

} // namespace wavemill::capture_file
