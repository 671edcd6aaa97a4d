// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "acquisition/capture_blocks.h"
#include "core/trace_buffers.h"
#include "core/trace_view.h"

#include <QString>

#include <cstdint>

class QComboBox;
class QPushButton;

namespace wavemill::platform {
class DrawingSurface;
class IntervalTimer;
class LabelControl;
class LineControl;
class SerialComponent;
} // namespace wavemill::platform

namespace wavemill::acquisition {

// Texts of the status line and the rate readout in each phase of a capture.
inline const QString kCaptionStart = QStringLiteral("开始采集");
inline const QString kCaptionStop = QStringLiteral("强行停止");
inline const QString kStatusIdle = QStringLiteral("串口还未开启，请单击开始采集按钮");
inline const QString kStatusWaiting = QStringLiteral("串口已开启，波特率为115200bps,等待数据中");
inline const QString kStatusReceiving = QStringLiteral("数据采集已开始，串口波特率为115200 kbps");
inline const QString kStatusDoneBefore = QStringLiteral("串口已关闭，数据采集已停止。共采集");
inline const QString kStatusDoneAfter = QStringLiteral("秒时长的数据");
inline const QString kStatusStopped = QStringLiteral("串口已关闭，数据采集被强行停止");
inline const QString kRateIdle = QStringLiteral("0Bit/s");
inline const QString kRateStopped = QStringLiteral("0 Bit/s");
inline const QString kRateDone = QStringLiteral("Recieve OK!");

/// The progress and rate timer ticks every kTickInterval (200 ms): 5 ticks a second.
constexpr int kTicksPerSecond = 1000 / kTickInterval;
/// Bits a second from one tick's byte increase: 5 ticks x 8 bits.
constexpr int kRateFactor = kTicksPerSecond * 8;

/// Start, stop and completion of a capture: the start/stop button, the serial
/// receive handler and the 200 ms tick. It fills the trace buffers, keeps the
/// capture's counters and asks the view to redraw.
class Capture
{
public:
    struct Controls
    {
        platform::SerialComponent *MSComm1;
        QPushButton *Command1;
        QPushButton *Command2;
        QPushButton *Command3;
        QComboBox *Combo1;
        QComboBox *Combo2;
        platform::LabelControl *Label1;
        platform::LabelControl *Label2;
        platform::LabelControl *Label12;
        platform::LineControl *Line4;
        platform::DrawingSurface *Picture2;
        platform::IntervalTimer *Timer1;
    };

    Capture(TraceBuffers &traces, TraceView &view, Controls controls);

    void Command2_Click();
    void MSComm1_OnComm();
    void Timer1_Timer();

    /// The trace a capture fills, from the selector's text: its leading
    /// number rounded down; 1, 2 and 3 pick a buffer, anything else none.
    static int targetTrace(const QString &selectorText);

    /// The capture's counters: the index at which the next block goes, the
    /// ticks since the first block, and the bytes received as of the last tick.
    std::int32_t WriteIndex = 0;
    std::int16_t TickCount = 0;
    std::int32_t LastByteCount = 0;

private:
    void startSteps();
    void forcedStopSteps(const QString &status);
    void completionSteps();
    void showProgress();
    void setControlsEnabled(bool enabled);

    TraceBuffers &m_traces;
    TraceView &m_view;
    Controls m_c;
};

} // namespace wavemill::acquisition
