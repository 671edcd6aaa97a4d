// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "acquisition/capture.h"

#include "acquisition/capture_blocks.h"
#include "acquisition/serial_setup.h"
#include "core/numbers.h"
#include "platform/drawing_surface.h"
#include "platform/interval_timer.h"
#include "platform/label_control.h"
#include "platform/line_control.h"
#include "platform/serial_component.h"

#include <QComboBox>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace wavemill::acquisition {

Capture::Capture(TraceBuffers &traces, TraceView &view, Controls controls)
    : m_traces(traces), m_view(view), m_c(controls)
{
}

int Capture::targetTrace(const QString &selectorText)
{
    const double n = std::floor(comboNumber(selectorText));
    return (n >= 1 && n <= kTraceCount) ? int(n) : 0;
}

void Capture::setControlsEnabled(bool enabled)
{
    m_c.Combo1->setEnabled(enabled);
    m_c.Command1->setEnabled(enabled);
    m_c.Command3->setEnabled(enabled);
}

void Capture::Command2_Click()
{
    platform::SerialComponent &port = *m_c.MSComm1;
    if (!port.PortOpen()) {
        const QString refused = Init_com(port, m_c.Combo2->currentText());
        WriteIndex = 0;
        if (!refused.isEmpty()) {
            // The window stays idle and says why.
            m_c.Label1->setCaption(refused);
            return;
        }
    }

    if (!port.setPortOpen(!port.PortOpen())) {
        m_c.Label1->setCaption(port.errorText());
        return;
    }

    if (port.PortOpen())
        startSteps();
    else
        forcedStopSteps(kStatusStopped);
}

void Capture::startSteps()
{
    m_c.Command2->setText(kCaptionStop);
    m_c.Command2->setEnabled(true);
    setControlsEnabled(false);
    m_c.Label1->setCaption(kStatusWaiting);
    TickCount = 0;
    LastByteCount = 0;
    m_c.Timer1->setInterval(kTickInterval);
}

void Capture::forcedStopSteps(const QString &status)
{
    m_c.Timer1->setInterval(0);
    m_c.Label1->setCaption(status);
    WriteIndex = 0;
    m_c.Label2->setCaption(kRateStopped);
    m_c.Command2->setText(kCaptionStart);
    m_view.Cls();
    setControlsEnabled(true);
}

void Capture::MSComm1_OnComm()
{
    platform::SerialComponent &port = *m_c.MSComm1;
    const CommOutcome outcome = commOutcome(port);
    if (outcome == CommOutcome::DeviceLost) {
        // The device went away: end the capture as a forced stop would,
        // keeping the blocks already stored.
        if (m_c.Timer1->Interval() != 0 || port.PortOpen()) {
            port.setPortOpen(false);
            forcedStopSteps(port.errorText().isEmpty()
                                ? QStringLiteral("串口连接已断开，数据采集已停止")
                                : port.errorText() + QStringLiteral("，数据采集已停止"));
        }
        return;
    }
    if (outcome != CommOutcome::Block)
        return;

    m_c.Label1->setCaption(kStatusReceiving);
    const QByteArray block = port.Input();
    if (storeBlock(block, m_traces.trace(targetTrace(m_c.Combo1->currentText())), WriteIndex))
        completionSteps();
}

void Capture::completionSteps()
{
    m_c.Label2->setCaption(kRateDone);
    m_c.MSComm1->setPortOpen(false);
    m_c.Command2->setText(kCaptionStart);
    m_c.Command2->setEnabled(true);
    setControlsEnabled(true);
    m_c.Label1->setCaption(kStatusDoneBefore + durationText(TickCount / double(kTicksPerSecond)) +
                           kStatusDoneAfter);
    m_view.Cls();
    m_c.Timer1->setInterval(0);
    showProgress();
    m_view.scrollToStart();
    m_view.DrawAllTraces(0);
}

void Capture::showProgress()
{
    const double fraction = std::min(WriteIndex, kCaptureLength) / double(kCaptureLength);
    const double s = m_c.Picture2->ScaleWidth();
    m_c.Line4->setBorderWidth(saturate16(std::floor(fraction * s * 2) + 1));
    m_c.Label12->setCaption(QString::number(int(std::floor(fraction * 100))) + QLatin1Char('%'));
}

void Capture::Timer1_Timer()
{
    // The 16-bit tick count stops at its top (about 109 minutes).
    if (WriteIndex > 0 && TickCount < 32767)
        ++TickCount;
    const std::int32_t waiting = m_c.MSComm1->InBufferCount();
    showProgress();
    const std::int64_t received = std::int64_t(WriteIndex) + waiting;
    m_c.Label2->setCaption(QString::number((received - LastByteCount) * kRateFactor) +
                           QStringLiteral("Bit/s"));
    LastByteCount = std::int32_t(received);
}

} // namespace wavemill::acquisition
