// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/form1.h"
#include "display/trace_renderer.h"
#include "platform/picture_box.h"
#include "support/fake_serial_component.h"
#include "support/recording_surface.h"

namespace wavemill::testing {

/// The main window every window test builds: on a serial component the test
/// feeds (or the one given, such as a real port), the file dialog and message
/// box given (else the real ones), with every drawing of the view recorded on
/// its way to Picture1.
struct WatchedForm
{
    explicit WatchedForm(platform::FileDialog *dialog = nullptr,
                         platform::MessageBox *messageBox = nullptr,
                         platform::SerialComponent *port = nullptr)
        : form(PlatformComponents{port ? port : &serial, dialog, messageBox}),
          drawing(form.Picture1)
    {
        form.setDrawingSurface(&drawing);
    }

    using Drawing = QList<RecordingSurface::Op>;

    /// What the view drew after each Cls since the recording was cleared.
    /// Moves of the current point are left out: they follow the font.
    QList<Drawing> redraws() const
    {
        QList<Drawing> result;
        for (const auto &op : drawing.ops()) {
            if (op.kind == RecordingSurface::Kind::Cls)
                result.append(Drawing());
            else if (!result.isEmpty() && op.kind != RecordingSurface::Kind::MoveTo)
                result.last().append(op);
        }
        return result;
    }

    /// What a redraw of the three traces from byte \a Start draws, with the
    /// window's buffers and zoom factor as they are now.
    Drawing tracesFrom(std::int32_t Start) const
    {
        RecordingSurface reference(form.Picture1->Width(), form.Picture1->Height(),
                                   form.Picture1->ScaleWidth());
        display::DrawAllTraces(reference, form.state(), Start);
        Drawing result;
        for (const auto &op : reference.ops())
            if (op.kind != RecordingSurface::Kind::MoveTo)
                result.append(op);
        return result;
    }

    FakeSerialComponent serial;
    Form1 form;
    RecordingSurface drawing;
};

} // namespace wavemill::testing
