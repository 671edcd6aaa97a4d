#pragma once

#include "core/shared_state.h"

#include <QString>

#include <functional>

class QScrollBar;

namespace wavemill::platform {
class DrawingSurface;
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
        platform::DrawingSurface *Picture1;
        QScrollBar *HScroll1;
        /// Draws the three traces from a byte (the view's DrawAllTraces).
        std::function<void(std::int32_t)> DrawAllTraces;
    };

    CaptureFileCommands(SharedState &state, Controls controls);

    void Command1_Click(); // load
    void Command3_Click(); // save

    void setSurface(platform::DrawingSurface *picture) { m_c.Picture1 = picture; }

private:
    SharedState &m_state;
    Controls m_c;
};

} // namespace wavemill::capture_file
