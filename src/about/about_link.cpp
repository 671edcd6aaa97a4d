// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/about_link.h"

#include "about/form2.h"
#include "platform/label_control.h"

namespace wavemill::about {

AboutLink::AboutLink(platform::LabelControl *Label10, WindowOpacity *opacity)
    : m_label(Label10), m_opacity(opacity)
{
}

AboutLink::~AboutLink()
{
    delete m_form;
}

void AboutLink::Timer2_Timer()
{
    m_blinkToggle = !m_blinkToggle;
    m_label->setCaption(m_blinkToggle ? kLinkCaption : kLinkBlink);
}

void AboutLink::Label10_Click()
{
    if (m_form && m_form->isVisible()) {
        m_form->raise();
        m_form->activateWindow();
        return;
    }
    // Modeless and without an owner; closing it destroys it.
    m_form = new Form2(m_opacity);
    m_form->setAttribute(Qt::WA_DeleteOnClose);
    m_form->Form_Load();
    m_form->show();
}

Form2 *AboutLink::window() const
{
    return m_form;
}

} // namespace wavemill::about
