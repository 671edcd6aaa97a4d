// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/form1.h"

#include "about/about_link.h"
#include "acquisition/capture.h"
#include "acquisition/serial_setup.h"
#include "core/sample_period.h"
#include "capture_file/capture_file_commands.h"
#include "display/waveform_view.h"
#include "display/zoom.h"
#include "platform/interval_timer.h"
#include "platform/label_control.h"
#include "platform/line_control.h"
#include "platform/picture_box.h"
#include "platform/qt_file_dialog.h"
#include "platform/qt_message_box.h"
#include "platform/qt_serial_component.h"
#include "platform/scroll_bar_control.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>

namespace wavemill {

namespace {

constexpr int kTwips = platform::LabelControl::kTwipsPerPixel;
/// The client area: 10,680 x 7,185 twips.
constexpr int kClientWidth = 10680 / kTwips;
constexpr int kClientHeight = 7185 / kTwips;
constexpr QRgb kViewBackground = platform::rgb(255, 253, 242);
constexpr QRgb kProgressBackground = platform::rgb(255, 255, 242);
constexpr QRgb kProgressColour = platform::rgb(199, 240, 254);
/// The trace captions are black on the pale view under any theme.
constexpr QRgb kCaptionColour = platform::rgb(0, 0, 0);
/// The progress frame has a one-pixel border; the waveform view none.
constexpr int kProgressBorder = 1;

/// A PNG read as PNG: probing for the format would load every image plugin
/// at start-up.
QImage readPng(const QString &path)
{
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QRect twips(int left, int top, int width, int height)
{
    return {left / kTwips, top / kTwips, width / kTwips, height / kTwips};
}

template <typename W> W *placed(W *widget, int left, int top, int width, int height)
{
    widget->setGeometry(twips(left, top, width, height));
    return widget;
}

QComboBox *comboBox(QWidget *parent, const QStringList &items)
{
    auto *combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->addItems(items);
    combo->setCurrentIndex(0);
    combo->setInsertPolicy(QComboBox::NoInsert);
    return combo;
}

} // namespace

Form1::Form1(PlatformComponents platform, QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Wavemill"));
    setWindowIcon(QIcon(QPixmap::fromImage(readPng(QStringLiteral(":/wavemill/icon32.png")))));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);

    if (!platform.serial) {
        m_ownSerial = std::make_unique<platform::QtSerialComponent>();
        platform.serial = m_ownSerial.get();
    }
    if (!platform.fileDialog) {
        m_ownDialog = std::make_unique<platform::QtFileDialog>(this);
        platform.fileDialog = m_ownDialog.get();
    }
    if (!platform.messageBox) {
        m_ownMessageBox = std::make_unique<platform::QtMessageBox>(this);
        platform.messageBox = m_ownMessageBox.get();
    }
    MSComm1 = platform.serial;
    CommonDialog1 = platform.fileDialog;
    m_messageBox = platform.messageBox;

    createControls();

    m_view = std::make_unique<display::WaveformView>(
        m_state, display::WaveformView::Controls{Picture1, HScroll1, Line1, Label3});
    m_capture = std::make_unique<acquisition::Capture>(
        m_state.traces, *m_view,
        acquisition::Capture::Controls{MSComm1, Command1, Command2, Command3, Combo1, Combo2,
                                       Label1, Label2, Label12, Line4, Picture2, Timer1});
    m_files = std::make_unique<capture_file::CaptureFileCommands>(
        m_state.traces, *m_view,
        capture_file::CaptureFileCommands::Controls{CommonDialog1, m_messageBox});
    m_about = std::make_unique<about::AboutLink>(Label10);

    wireEvents();
    Form_Load();
}

Form1::~Form1() = default;

void Form1::createControls()
{
    using platform::LabelControl;
    using platform::LineControl;
    using platform::PictureBox;

    // The waveform view and what lies on it (positions relative to the view).
    Picture1 = placed(new PictureBox(this, kTwips, kViewBackground), 240, 120, 10215, 5175);
    Label7 =
        new LabelControl(Picture1->clientArea(), QStringLiteral("第一通道"), 120, 240, 855, 255);
    Line2 = new LineControl(Picture1, 0, 1320, 10200, 1320);
    Label8 =
        new LabelControl(Picture1->clientArea(), QStringLiteral("第二通道"), 120, 1560, 855, 255);
    Line3 = new LineControl(Picture1, 0, 2640, 10200, 2640);
    Label9 =
        new LabelControl(Picture1->clientArea(), QStringLiteral("第三通道"), 120, 2880, 855, 255);
    Line1 = new LineControl(Picture1, 0, -240, 0, 5160);
    Label3 = new LabelControl(Picture1->clientArea(), QStringLiteral("Label3"), 9960, 5160, 540,
                              180, true);
    for (LabelControl *caption : {Label7, Label8, Label9})
        caption->setForeColor(kCaptionColour);

    HScroll1 = placed(new platform::ScrollBarControl(this), 240, 5400, 10215, 255);
    HScroll1->setMinimum(0);
    HScroll1->setValue(0);
    HScroll1->setSingleStep(2);
    HScroll1->setPageStep(100);
    // The view follows the thumb when it is released, not while it is dragged.
    HScroll1->setTracking(false);

    Command5 = placed(new QPushButton(QStringLiteral("放大"), this), 840, 5880, 975, 375);
    Command6 = placed(new QPushButton(QStringLiteral("缩少"), this), 1920, 5880, 855, 375);
    Command2 = placed(new QPushButton(acquisition::kCaptionStart, this), 3000, 5880, 1455, 375);

    // The progress frame measures in pixels.
    Picture2 = placed(new PictureBox(this, 1, kProgressBackground, kProgressBorder), 4800, 5880,
                      3495, 255);
    Line4 = new LineControl(Picture2, 0, 0, 0, 240.0 / kTwips, kProgressColour, 1);
    Label12 = new LabelControl(Picture2->clientArea(), QStringLiteral("0%"), 1680, 0, 495, 255);

    Label4 = new LabelControl(this, QStringLiteral("数据传输率："), 8400, 5880, 1080, 180, true);
    Label2 = new LabelControl(this, acquisition::kRateIdle, 9480, 5880, 540, 180, true);
    Label1 = new LabelControl(this, acquisition::kStatusIdle, 4800, 6240, 2880, 180, true);
    Label6 = new LabelControl(this, QStringLiteral("显示通道："), 840, 6360, 1335, 255);
    Combo1 = placed(comboBox(this, {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}),
                    2280, 6360, 2055, 300);
    Command1 = placed(new QPushButton(QStringLiteral("载入"), this), 4920, 6600, 1215, 375);
    Command3 = placed(new QPushButton(QStringLiteral("保存"), this), 6480, 6600, 1215, 375);
    Label11 = new LabelControl(this, QStringLiteral("串口选择："), 840, 6720, 1095, 375);
    Combo2 =
        placed(comboBox(this, {QStringLiteral("1"), QStringLiteral("2")}), 2280, 6720, 2055, 300);
    Combo2->setToolTip(QStringLiteral("串口号（1 为第一个串口），或设备路径，例如 /dev/ttyUSB0"));
    Label10 = new LabelControl(this, about::kLinkCaption, 9240, 6720, 975, 255);
    Label10->setClickable(true);
    Label5 = new LabelControl(this, QString(), 8160, 6840, 810, 300, true);

    Timer1 = new platform::IntervalTimer(this, 0);
    Timer2 = new platform::IntervalTimer(this, about::kBlinkInterval);

    const std::pair<QObject *, const char *> names[] = {
        {Picture1, "Picture1"}, {Label7, "Label7"},     {Line2, "Line2"},
        {Label8, "Label8"},     {Line3, "Line3"},       {Label9, "Label9"},
        {Line1, "Line1"},       {Label3, "Label3"},     {HScroll1, "HScroll1"},
        {Command5, "Command5"}, {Command6, "Command6"}, {Command2, "Command2"},
        {Picture2, "Picture2"}, {Line4, "Line4"},       {Label12, "Label12"},
        {Label4, "Label4"},     {Label2, "Label2"},     {Label1, "Label1"},
        {Label6, "Label6"},     {Combo1, "Combo1"},     {Command1, "Command1"},
        {Command3, "Command3"}, {Label11, "Label11"},   {Combo2, "Combo2"},
        {Label10, "Label10"},   {Label5, "Label5"},     {Timer1, "Timer1"},
        {Timer2, "Timer2"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QLatin1String(name));

    // Keyboard focus moves in the order of the capture's work.
    const QList<QWidget *> focusOrder = {Command2, HScroll1, Command5, Command6,
                                         Combo1,   Combo2,   Command1, Command3};
    for (int i = 0; i + 1 < focusOrder.size(); ++i)
        setTabOrder(focusOrder[i], focusOrder[i + 1]);
}

void Form1::wireEvents()
{
    m_wiring = {
        connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click),
        connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click),
        connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click),
        connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click),
        connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click),
        connect(HScroll1, &QScrollBar::valueChanged, this, &Form1::HScroll1_Change),
        connect(MSComm1, &platform::SerialComponent::OnComm, this, &Form1::MSComm1_OnComm),
        connect(Timer1, &platform::IntervalTimer::Timer, this, &Form1::Timer1_Timer),
        connect(Timer2, &platform::IntervalTimer::Timer, this, &Form1::Timer2_Timer),
        connect(Label10, &platform::LabelControl::Click, this, &Form1::Label10_Click),
        connect(Picture1, &platform::PictureBox::mouseMoved, this, &Form1::Picture1_MouseMove),
        connect(Picture1, &platform::PictureBox::mousePressed, this, &Form1::Picture1_MouseDown),
    };
}

void Form1::setDrawingSurface(platform::DrawingSurface *surface)
{
    m_view->setSurface(surface ? surface : Picture1);
}

void Form1::Form_Load()
{
    m_capture->WriteIndex = 0;
    m_state.zoomFactor = display::kInitialZoom;
    acquisition::Init_com(*MSComm1, Combo2->currentText()); // its result is not used here
    m_state.samplePeriod = kSamplePeriod;
    m_view->updateScrollRange();
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing the main window ends the program at once, About window and all,
    // and no handler runs after it: an event or tick already on its way
    // finds nothing connected.
    for (const QMetaObject::Connection &connection : std::as_const(m_wiring))
        disconnect(connection);
    m_wiring.clear();
    Timer1->setInterval(0);
    Timer2->setInterval(0);
    m_about.reset(); // its fade stops with it
    MSComm1->setPortOpen(false);
    event->accept();
    QCoreApplication::quit();
}

void Form1::openCaptureFile(const QString &path)
{
    m_files->loadFile(path);
}

void Form1::Command1_Click()
{
    m_files->Command1_Click();
}
void Form1::Command2_Click()
{
    m_capture->Command2_Click();
}
void Form1::Command3_Click()
{
    m_files->Command3_Click();
}
void Form1::Command5_Click()
{
    m_view->Command5_Click();
}
void Form1::Command6_Click()
{
    m_view->Command6_Click();
}
void Form1::HScroll1_Change()
{
    m_view->HScroll1_Change();
}
void Form1::MSComm1_OnComm()
{
    m_capture->MSComm1_OnComm();
}
void Form1::Timer1_Timer()
{
    m_capture->Timer1_Timer();
}
void Form1::Timer2_Timer()
{
    m_about->Timer2_Timer();
}
void Form1::Label10_Click()
{
    m_about->Label10_Click();
}
void Form1::DrawAllTraces(std::int32_t Start)
{
    m_view->DrawAllTraces(Start);
}

void Form1::Picture1_MouseMove(Qt::MouseButtons button, Qt::KeyboardModifiers shift, float x,
                               float y)
{
    m_view->Picture1_MouseMove(button, shift, x, y);
}

void Form1::Picture1_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, float x,
                               float y)
{
    m_view->Picture1_MouseDown(button, shift, x, y);
}

} // namespace wavemill
