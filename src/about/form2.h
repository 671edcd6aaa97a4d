// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QSize>
#include <QWidget>

#include <cstdint>
#include <memory>

class QLabel;

namespace wavemill::platform {
class IntervalTimer;
class LabelControl;
} // namespace wavemill::platform

namespace wavemill::about {

class WindowOpacity;

/// The About window: name, version, credit and contact lines over a
/// background picture, fading in when it is loaded where the windowing
/// system can draw a translucent window.
class Form2 : public QWidget
{
    Q_OBJECT

public:
    /// \a opacity is the per-window opacity to fade with; nullptr means Qt's.
    explicit Form2(WindowOpacity *opacity = nullptr, QWidget *parent = nullptr);
    ~Form2() override;

    /// The load step: sizes the window from its picture, centres it on the
    /// screen, and starts the fade from opacity 1 when layering is available.
    void Form_Load();
    /// One step of the fade, every 10 ms until the window is opaque.
    void Timer1_Timer();

    /// The opacity last applied, 0 to 255.
    std::int16_t fadeLevel() const { return m_fadeLevel; }
    /// Whether this load fades the window in.
    bool layered() const { return m_layered; }
    /// The outer size, frame included, that the load step gave the window.
    QSize outerSize() const { return m_outerSize; }

    // Controls, by their form names.
    QLabel *Image1;
    platform::LabelControl *Label1;
    platform::LabelControl *Label2;
    platform::LabelControl *Label3;
    platform::LabelControl *Label4;
    platform::LabelControl *Label5;
    platform::IntervalTimer *Timer1;

protected:
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void fitToFrame();
    void centreOnScreen();

    std::unique_ptr<WindowOpacity> m_ownOpacity;
    WindowOpacity *m_opacity;
    std::int16_t m_fadeLevel = 0;
    bool m_layered = false;
    QSize m_outerSize;
    QSize m_frameShare;
};

} // namespace wavemill::about
