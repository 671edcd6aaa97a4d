// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/form2.h"

#include "about/about_font.h"
#include "about/about_link.h"
#include "about/qt_window_opacity.h"
#include "platform/drawing_surface.h"
#include "platform/interval_timer.h"
#include "platform/label_control.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

namespace wavemill::about {

namespace {

using platform::LabelControl;

const QString kPicture = QStringLiteral(":/wavemill/about.jpg");
const QString kIcon = QStringLiteral(":/wavemill/icon32.png");

const QString kTitle = QStringLiteral("Wavemill Ver1.0");
const QString kCredit = QStringLiteral("Wavemill 项目组 2026年12月");
const QString kIssues = QStringLiteral("反馈: wavemill/issues");
const QString kForum = QStringLiteral("讨论: wavemill/forum");
const QString kWelcome = QStringLiteral("欢迎交流指导");

/// The picture's designed size: 5,250 x 3,525 twips.
constexpr QSize kDesignedPicture(350, 235);
/// The window is as tall as its picture plus this much, in twips.
constexpr int kExtraHeightTwips = 300;
/// Title colour, a light violet blue, and credit colour, a mid grey.
constexpr QRgb kTitleColour = platform::rgb(128, 128, 255);
constexpr QRgb kCreditColour = platform::rgb(128, 128, 128);
/// All texts are 9-point; the title is bold.
constexpr int kPointSize = 9;

/// The fade: opacity 1 of 255 at load, 5 more every 10 ms up to opaque.
constexpr int kFadeInterval = 10;
constexpr std::int16_t kLoadAlpha = 1;
constexpr std::int16_t kFadeStep = 5;
constexpr std::int16_t kOpaqueAlpha = 255;

} // namespace

Form2::Form2(WindowOpacity *opacity, QWidget *parent) : QWidget(parent), m_opacity(opacity)
{
    if (!m_opacity) {
        m_ownOpacity = std::make_unique<QtWindowOpacity>();
        m_opacity = m_ownOpacity.get();
    }

    setWindowTitle(kLinkCaption);
    setWindowIcon(QIcon(kIcon));
    // A fixed frame with only the close box.
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    QFont textFont = font();
    const QString family = aboutFontFamily();
    if (!family.isEmpty())
        textFont.setFamily(family);
    textFont.setPointSize(kPointSize);
    setFont(textFont);

    // The picture first, so that every label lies over it.
    Image1 = new QLabel(this);
    Image1->setPixmap(QPixmap(kPicture));
    Image1->adjustSize();

    QFont titleFont = textFont;
    titleFont.setBold(true);
    Label1 = new LabelControl(this, kTitle, 1920, 840, 2490, 180, true);
    Label1->setFont(titleFont);
    Label1->adjustSize();
    Label1->setForeColor(kTitleColour);
    Label2 = new LabelControl(this, kCredit, 2400, 1200, 2535, 255);
    Label2->setForeColor(kCreditColour);
    Label3 = new LabelControl(this, kIssues, 2400, 1560, 2175, 255);
    Label4 = new LabelControl(this, kForum, 2400, 1920, 2055, 255);
    Label5 = new LabelControl(this, kWelcome, 2400, 2280, 1815, 255);

    Timer1 = new platform::IntervalTimer(this);
    connect(Timer1, &platform::IntervalTimer::Timer, this, &Form2::Timer1_Timer);
}

Form2::~Form2() = default;

void Form2::Form_Load()
{
    Image1->move(0, 0);
    // A picture that could not be read (no JPEG plug-in) still takes its
    // designed size, so the window is the same either way.
    if (Image1->pixmap().isNull())
        Image1->resize(kDesignedPicture);
    m_outerSize =
        QSize(Image1->width(), Image1->height() + kExtraHeightTwips / LabelControl::kTwipsPerPixel);
    fitToFrame();
    centreOnScreen();

    m_fadeLevel = 0;
    m_layered = m_opacity->available();
    if (m_layered)
        m_opacity->setAlpha(*this, kLoadAlpha);
    Timer1->setInterval(kFadeInterval);
}

void Form2::Timer1_Timer()
{
    // A tick that comes after the window became opaque changes nothing: the
    // opacity must never pass 255.
    if (!m_layered || m_fadeLevel >= kOpaqueAlpha)
        return;
    m_fadeLevel = std::int16_t(m_fadeLevel + kFadeStep);
    m_opacity->setAlpha(*this, m_fadeLevel);
    if (m_fadeLevel >= kOpaqueAlpha)
        Timer1->setInterval(0);
}

void Form2::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    fitToFrame();
}

void Form2::moveEvent(QMoveEvent *event)
{
    // The window manager tells the frame's size only once the window is
    // mapped; it arrives with a move.
    QWidget::moveEvent(event);
    fitToFrame();
}

void Form2::fitToFrame()
{
    // The outer size includes the frame, which takes its share out of the
    // client area; the picture's right and bottom edges are cut off by it.
    if (m_outerSize.isEmpty())
        return;
    const QSize share = frameGeometry().size() - geometry().size();
    if (share == m_frameShare && size() == m_outerSize - share)
        return;
    m_frameShare = share;
    setFixedSize(m_outerSize - share);
}

void Form2::centreOnScreen()
{
    const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!where)
        return;
    // move() places the frame's corner, so the outer size centres the frame.
    const QRect area = where->geometry();
    move(area.x() + (area.width() - m_outerSize.width()) / 2,
         area.y() + (area.height() - m_outerSize.height()) / 2);
}

} // namespace wavemill::about
