// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPointer>

namespace wavemill::platform {
class LabelControl;
}

namespace wavemill::about {

inline const QString kLinkCaption = QStringLiteral("关于本程序");
inline const QString kLinkBlink = QStringLiteral("Click Me!!");
/// The link blinks every two seconds.
constexpr int kBlinkInterval = 2000;

class Form2;
class WindowOpacity;

/// The main window's link to the About window, and its blink.
class AboutLink
{
public:
    /// \a opacity is what the About window fades with; nullptr means Qt's.
    explicit AboutLink(platform::LabelControl *Label10, WindowOpacity *opacity = nullptr);
    ~AboutLink();

    /// Opens the About window (loading it anew if it was closed), or only
    /// raises it while it is open.
    void Label10_Click();
    /// The blink: "关于本程序" when the toggle turns true, "Click Me!!" when false.
    void Timer2_Timer();

    /// The About window while it is open, else nullptr.
    Form2 *window() const;
    /// The blink's state: true while the caption is "关于本程序" after a tick.
    bool blinkToggle() const { return m_blinkToggle; }

private:
    bool m_blinkToggle = false;
    platform::LabelControl *m_label;
    WindowOpacity *m_opacity;
    QPointer<Form2> m_form;
};

} // namespace wavemill::about
