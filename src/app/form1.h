// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The flow of the program:
//
//   serial bytes ──> MSComm1 (platform/serial_component) ──> Capture
//   (acquisition/capture) ──> trace buffers 1..3 (core/shared_state) ──>
//   WaveformView (display/waveform_view): trace shape ──> renderer ──>
//   Picture1 (platform/picture_box)
//
//   trace buffers <──> capture file (capture_file/capture_file_commands)
//
// Form1 owns the controls and all the state, by composition, and wires each
// event to its handler; the handlers live in their subsystem's folder. The
// capture and the load ask the view to redraw (core/trace_view).

#include "core/shared_state.h"

#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <QWidget>

#include <memory>

namespace wavemill::platform {
class DrawingSurface;
class FileDialog;
class IntervalTimer;
class LabelControl;
class LineControl;
class MessageBox;
class PictureBox;
class SerialComponent;
} // namespace wavemill::platform

namespace wavemill::acquisition {
class Capture;
}
namespace wavemill::display {
class WaveformView;
}
namespace wavemill::capture_file {
class CaptureFileCommands;
}
namespace wavemill::about {
class AboutLink;
}

namespace wavemill {

/// The platform components of the main window; any left null is the real one.
struct PlatformComponents
{
    platform::SerialComponent *serial = nullptr;
    platform::FileDialog *fileDialog = nullptr;
    platform::MessageBox *messageBox = nullptr;
};

/// The main window: the waveform view and every control, and all the state
/// the handlers share.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(PlatformComponents platform = PlatformComponents(), QWidget *parent = nullptr);
    ~Form1() override;

    /// What the subsystems share: the trace buffers, the zoom factor, the
    /// sample period and the stored scroll value.
    SharedState &state() { return m_state; }
    const SharedState &state() const { return m_state; }
    /// The subsystems, each with the state it keeps itself.
    acquisition::Capture &capture() { return *m_capture; }
    const display::WaveformView &view() const { return *m_view; }
    const about::AboutLink &aboutLink() const { return *m_about; }

    /// Makes every drawing of the waveform view go to \a surface (which may
    /// pass it on to Picture1), or back to Picture1 with nullptr.
    void setDrawingSurface(platform::DrawingSurface *surface);

    /// Loads a capture file named on the command line, as 载入 loads the
    /// file chosen in its dialog: the same checks and the same message.
    void openCaptureFile(const QString &path);

    // Handlers, as the events call them.
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command5_Click();
    void Command6_Click();
    void HScroll1_Change();
    void MSComm1_OnComm();
    void Timer1_Timer();
    void Timer2_Timer();
    void Label10_Click();
    void Picture1_MouseMove(Qt::MouseButtons button, Qt::KeyboardModifiers shift, float x, float y);
    void Picture1_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, float x, float y);
    void DrawAllTraces(std::int32_t Start);

    // Controls, by their form names.
    platform::PictureBox *Picture1;
    platform::LabelControl *Label7;
    platform::LineControl *Line2;
    platform::LabelControl *Label8;
    platform::LineControl *Line3;
    platform::LabelControl *Label9;
    platform::LineControl *Line1;
    platform::LabelControl *Label3;
    QScrollBar *HScroll1;
    QPushButton *Command5;
    QPushButton *Command6;
    QPushButton *Command2;
    platform::PictureBox *Picture2;
    platform::LabelControl *Label12;
    platform::LineControl *Line4;
    platform::LabelControl *Label4;
    platform::LabelControl *Label2;
    platform::LabelControl *Label1;
    platform::LabelControl *Label6;
    QComboBox *Combo1;
    QPushButton *Command1;
    QPushButton *Command3;
    platform::LabelControl *Label11;
    QComboBox *Combo2;
    platform::LabelControl *Label10;
    platform::LabelControl *Label5;
    platform::IntervalTimer *Timer1;
    platform::IntervalTimer *Timer2;
    platform::SerialComponent *MSComm1;
    platform::FileDialog *CommonDialog1;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void wireEvents();

    SharedState m_state;
    std::unique_ptr<platform::SerialComponent> m_ownSerial;
    std::unique_ptr<platform::FileDialog> m_ownDialog;
    std::unique_ptr<platform::MessageBox> m_ownMessageBox;
    platform::MessageBox *m_messageBox;
    std::unique_ptr<display::WaveformView> m_view;
    std::unique_ptr<acquisition::Capture> m_capture;
    std::unique_ptr<capture_file::CaptureFileCommands> m_files;
    std::unique_ptr<about::AboutLink> m_about;
    QList<QMetaObject::Connection> m_wiring; // every event to its handler
};

} // namespace wavemill
