// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "acquisition/capture.h"
#include "app/form1.h"
#include "platform/interval_timer.h"
#include "platform/label_control.h"
#include "platform/serial_component.h"

#include <QtTest>

namespace wavemill::testing {

/// The window after the port was lost mid-capture: idle as after a forced
/// stop, the status line saying the connection broke. Callers return when
/// QTest::currentTestFailed().
inline void checkEndedByLostPort(const Form1 &form)
{
    QVERIFY(!form.MSComm1->PortOpen());
    QCOMPARE(form.Timer1->Interval(), 0);
    QCOMPARE(form.Command2->text(), acquisition::kCaptionStart);
    QVERIFY(form.Combo1->isEnabled());
    QVERIFY(form.Command1->isEnabled());
    QVERIFY(form.Command3->isEnabled());
    QVERIFY2(form.Label1->Caption().contains(QStringLiteral("断开")),
             qPrintable(form.Label1->Caption()));
    QCOMPARE(form.Label2->Caption(), acquisition::kRateStopped);
}

} // namespace wavemill::testing
