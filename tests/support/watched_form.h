#pragma once

#include "app/form1.h"
#include "platform/fake_serial_component.h"
#include "platform/recording_surface.h"

namespace wavemill::testing {

/// A main window on a fake serial port (and the dialogs given, else the real
/// ones), with every drawing of the waveform logic recorded on its way to
/// the view.
struct WatchedForm
{
    explicit WatchedForm(platform::FileDialog *dialog = nullptr,
                         platform::MessageBox *messageBox = nullptr)
        : form(PlatformComponents{&serial, dialog, messageBox}), drawing(form.Picture1)
    {
        form.setDrawingSurface(&drawing);
    }

    platform::FakeSerialComponent serial;
    Form1 form;
    platform::RecordingSurface drawing;
};

} // namespace wavemill::testing
