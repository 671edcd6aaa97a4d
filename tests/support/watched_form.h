#pragma once

#include "app/form1.h"
#include "support/fake_serial_component.h"
#include "support/recording_surface.h"

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

    testing::FakeSerialComponent serial;
    Form1 form;
    testing::RecordingSurface drawing;
};

} // namespace wavemill::testing
