// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The real drawing surface: the fast way (runs written straight into the
// backing image) must give exactly the pixels of one QPainter call per line,
// lines must land on the pixels their end points name, and the drawing must
// reach the screen and stay there.

#include "core/sample_period.h"
#include "core/shared_state.h"
#include "display/trace_renderer.h"
#include "platform/line_control.h"
#include "platform/picture_box.h"
#include "support/plain_picture_box.h"

#include <QPixmap>
#include <QScreen>
#include <QTest>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

using wavemill::SharedState;
using wavemill::platform::LineControl;
using wavemill::platform::PictureBox;
using wavemill::platform::SurfacePoint;

namespace {

// The waveform view: 10,215 x 5,175 twips at 15 twips per pixel.
constexpr int kViewWidthPixels = 681;
constexpr int kViewHeightPixels = 345;
constexpr int kTwipsPerPixel = 15;
constexpr float kViewWidth = 10215;
constexpr float kViewHeight = 5175;
constexpr QRgb kBackground = qRgb(255, 253, 242);

// The measurement's marks.
constexpr QRgb kMarkerColour = qRgb(173, 225, 255);
constexpr QRgb kArrowColour = qRgb(1, 117, 180);
constexpr float kBarbLength = 200;
constexpr float kBarbSpread = 100;

constexpr QRgb kInk = qRgb(10, 20, 30);
constexpr QRgb kOtherInk = qRgb(200, 0, 0);

enum class Pattern { Alternating, A5Then0F, Random, Flat00, FlatFF };

struct Op
{
    enum Kind { Line, LineTo, LinesTo, MoveTo, SetX, Print } kind;
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    QRgb colour = kInk;
    QString text = {};
    std::vector<SurfacePoint> points = {};
};
using Ops = QList<Op>;

Op line(float x1, float y1, float x2, float y2, QRgb colour = kInk)
{
    return {Op::Line, x1, y1, x2, y2, colour};
}
Op lineTo(float x, float y, QRgb colour = kInk)
{
    return {Op::LineTo, 0, 0, x, y, colour};
}
Op linesTo(const std::vector<SurfacePoint> &points)
{
    return {Op::LinesTo, 0, 0, 0, 0, kInk, QString(), points};
}
Op moveTo(float x, float y)
{
    return {Op::MoveTo, x, y};
}
Op setX(float x)
{
    return {Op::SetX, x};
}
Op print(const QString &text)
{
    return {Op::Print, 0, 0, 0, 0, kInk, text};
}

void apply(PictureBox &box, const Ops &ops)
{
    for (const Op &op : ops) {
        switch (op.kind) {
        case Op::Line:
            box.Line(op.x1, op.y1, op.x2, op.y2, op.colour);
            break;
        case Op::LineTo:
            box.LineTo(op.x2, op.y2, op.colour);
            break;
        case Op::LinesTo:
            box.LinesTo(op.points.data(), op.points.size(), op.colour);
            break;
        case Op::MoveTo:
            box.setCurrentX(op.x1);
            box.setCurrentY(op.y1);
            break;
        case Op::SetX:
            box.setCurrentX(op.x1);
            break;
        case Op::Print:
            box.setForeColor(op.colour);
            box.Print(op.text);
            break;
        }
    }
}

// Both clicks of an interval measurement, drawn as the view draws them.
Ops measurement(float x1, float x, float y)
{
    return {line(x1, 0, x1, kViewHeight, kMarkerColour),
            line(x, 0, x, kViewHeight, kMarkerColour),
            line(x1, y, x, y, kArrowColour),
            line(x1, y, x1 + kBarbLength, y - kBarbSpread, kArrowColour),
            line(x1, y, x1 + kBarbLength, y + kBarbSpread, kArrowColour),
            line(x, y, x - kBarbLength, y + kBarbSpread, kArrowColour),
            line(x, y, x - kBarbLength, y - kBarbSpread, kArrowColour),
            moveTo((x1 + x) / 2, y),
            print(QStringLiteral(" 4.015ms"))};
}

std::unique_ptr<SharedState> makeState(Pattern pattern, std::int16_t zoom)
{
    auto state = std::make_unique<SharedState>();
    state->zoomFactor = zoom;
    state->samplePeriod = wavemill::kSamplePeriod;
    std::mt19937 random(7);
    for (auto &buffer : state->traces.buffers) {
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            switch (pattern) {
            case Pattern::Alternating:
                buffer[i] = 0x55;
                break;
            case Pattern::A5Then0F:
                buffer[i] = (i % 2 == 0) ? 0xA5 : 0x0F;
                break;
            case Pattern::Random:
                buffer[i] = std::uint8_t(random());
                break;
            case Pattern::Flat00:
                buffer[i] = 0x00;
                break;
            case Pattern::FlatFF:
                buffer[i] = 0xFF;
                break;
            }
        }
    }
    return state;
}

/// Puts a window on the screen of a device pixel ratio: the test runs on
/// offscreen screens of ratios 1, 2, 1.25 and 1.5 (screens.json).
bool placeAtRatio(QWidget &widget, qreal ratio)
{
    for (QScreen *screen : QGuiApplication::screens()) {
        if (qFuzzyCompare(screen->devicePixelRatio(), ratio)) {
            widget.setScreen(screen);
            return qFuzzyCompare(widget.devicePixelRatioF(), ratio);
        }
    }
    return false;
}

std::unique_ptr<PictureBox> makeView(bool plain, qreal ratio = 1)
{
    std::unique_ptr<PictureBox> box =
        plain ? std::make_unique<wavemill::testing::PlainPictureBox>(nullptr, kTwipsPerPixel,
                                                                     kBackground)
              : std::make_unique<PictureBox>(nullptr, kTwipsPerPixel, kBackground);
    box->resize(kViewWidthPixels, kViewHeightPixels);
    if (ratio != 1 && !placeAtRatio(*box, ratio))
        return nullptr;
    return box;
}

// Draws the ops after a different drawing and a Cls, so that nothing left
// over from before the clear may show. A null image: no screen of that ratio.
QImage render(bool plain, const SharedState *state, std::int32_t start, const Ops &ops,
              qreal ratio = 1)
{
    auto box = makeView(plain, ratio);
    if (!box)
        return QImage();
    apply(*box, {line(0, 0, kViewWidth, kViewHeight, kOtherInk), lineTo(5000, 2000, kOtherInk),
                 lineTo(5000, 2500, kOtherInk)});
    box->Cls();
    if (state)
        wavemill::display::DrawAllTraces(*box, *state, start);
    apply(*box, ops);
    return box->image();
}

// Empty when both images are the same, else where they first differ.
QString difference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return QStringLiteral("sizes differ");
    int count = 0;
    QString first;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                if (count++ == 0)
                    first = QStringLiteral("first at (%1, %2): %3 against %4")
                                .arg(x)
                                .arg(y)
                                .arg(a.pixel(x, y), 8, 16)
                                .arg(b.pixel(x, y), 8, 16);
            }
        }
    }
    return count == 0 ? QString() : QStringLiteral("%1 pixels differ, %2").arg(count).arg(first);
}

int countColour(const QImage &image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == colour ? 1 : 0;
    return count;
}

// What the window system shows of a widget.
QImage onScreen(QWidget &widget)
{
    const QPixmap shown = widget.screen()->grabWindow(widget.winId());
    return shown.toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

Q_DECLARE_METATYPE(Pattern)
Q_DECLARE_METATYPE(Ops)

class PictureBoxTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void viewIsTheSameDrawnFastOrPlain_data();
    void viewIsTheSameDrawnFastOrPlain();
    void linesAreTheSameDrawnFastOrPlain_data();
    void linesAreTheSameDrawnFastOrPlain();
    void viewAtOtherRatiosIsTheViewAtRatioOneScaled_data();
    void viewAtOtherRatiosIsTheViewAtRatioOneScaled();
    void lineCoversExactlyThePixelsOfItsEndPoints_data();
    void lineCoversExactlyThePixelsOfItsEndPoints();
    void clsErasesEverythingAndTheCurrentPoint_data();
    void clsErasesEverythingAndTheCurrentPoint();
    void drawingReachesTheScreenAndSurvivesHideAndShow();
    void lineControlStaysAboveTheDrawingAfterCls();
    void resizeKeepsTheDrawingInPlace();
    void progressBarStaysInsideItsFrame_data();
    void progressBarStaysInsideItsFrame();
};

void PictureBoxTest::viewIsTheSameDrawnFastOrPlain_data()
{
    QTest::addColumn<Pattern>("pattern");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("start");
    QTest::addColumn<Ops>("marks");
    QTest::addColumn<qreal>("ratio");

    for (const qreal ratio : {2.0, 1.25, 1.5}) {
        const QByteArray at = " at ratio " + QByteArray::number(ratio);
        QTest::newRow("random at zoom 2" + at) << Pattern::Random << 2 << 0 << Ops() << ratio;
        QTest::newRow("0xA5 then 0x0F at zoom 10" + at)
            << Pattern::A5Then0F << 10 << 0 << Ops() << ratio;
        QTest::newRow("measurement over random at zoom 10" + at)
            << Pattern::Random << 10 << 200 << measurement(1000, 3000, 2000) << ratio;
    }
    QTest::newRow("0x55 at zoom 2, an edge at every sample")
        << Pattern::Alternating << 2 << 0 << Ops() << 1.0;
    QTest::newRow("0x55 at zoom 5") << Pattern::Alternating << 5 << 0 << Ops() << 1.0;
    QTest::newRow("0x55 at zoom 10") << Pattern::Alternating << 10 << 0 << Ops() << 1.0;
    QTest::newRow("0x55 at zoom 40") << Pattern::Alternating << 40 << 0 << Ops() << 1.0;
    QTest::newRow("0x55 at zoom 20480, one byte")
        << Pattern::Alternating << 20480 << 0 << Ops() << 1.0;
    QTest::newRow("0xA5 then 0x0F at zoom 10") << Pattern::A5Then0F << 10 << 0 << Ops() << 1.0;
    QTest::newRow("0xA5 then 0x0F at zoom 2") << Pattern::A5Then0F << 2 << 0 << Ops() << 1.0;
    QTest::newRow("random at zoom 2") << Pattern::Random << 2 << 0 << Ops() << 1.0;
    QTest::newRow("random at zoom 5") << Pattern::Random << 5 << 0 << Ops() << 1.0;
    QTest::newRow("random at zoom 10") << Pattern::Random << 10 << 0 << Ops() << 1.0;
    QTest::newRow("random at zoom 40") << Pattern::Random << 40 << 0 << Ops() << 1.0;
    QTest::newRow("random at zoom 20480") << Pattern::Random << 20480 << 0 << Ops() << 1.0;
    QTest::newRow("flat 0x00 at zoom 2") << Pattern::Flat00 << 2 << 0 << Ops() << 1.0;
    QTest::newRow("flat 0xFF at zoom 2") << Pattern::FlatFF << 2 << 0 << Ops() << 1.0;
    QTest::newRow("flat 0xFF at zoom 20480") << Pattern::FlatFF << 20480 << 0 << Ops() << 1.0;
    QTest::newRow("random at zoom 10 from byte 1000")
        << Pattern::Random << 10 << 1000 << Ops() << 1.0;
    QTest::newRow("random at zoom 2 from byte 62210")
        << Pattern::Random << 2 << 62210 << Ops() << 1.0;
    QTest::newRow("measurement over random at zoom 10")
        << Pattern::Random << 10 << 200 << measurement(1000, 3000, 2000) << 1.0;
    QTest::newRow("reversed measurement across trace 1 at zoom 2")
        << Pattern::Alternating << 2 << 0 << measurement(3000, 1000, 800) << 1.0;
}

void PictureBoxTest::viewIsTheSameDrawnFastOrPlain()
{
    QFETCH(Pattern, pattern);
    QFETCH(int, zoom);
    QFETCH(int, start);
    QFETCH(Ops, marks);
    QFETCH(qreal, ratio);

    const auto state = makeState(pattern, std::int16_t(zoom));
    const QImage plain = render(true, state.get(), start, marks, ratio);
    const QImage fast = render(false, state.get(), start, marks, ratio);

    QVERIFY2(!fast.isNull(), "no screen of that pixel ratio: run with screens.json");
    // One image pixel for every device pixel of the view, none stretched.
    QCOMPARE(fast.size(), QSize(int(std::ceil(kViewWidthPixels * ratio)),
                                int(std::ceil(kViewHeightPixels * ratio))));
    // Not two blank pictures: the traces and the grid are there.
    QVERIFY(countColour(plain, wavemill::display::kTraceColour) > 0);
    QVERIFY(countColour(plain, wavemill::display::kGridColour) > 0);
    const QString diff = difference(plain, fast);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

void PictureBoxTest::linesAreTheSameDrawnFastOrPlain_data()
{
    QTest::addColumn<Ops>("ops");
    QTest::addColumn<qreal>("ratio");
    // Each case at ratio 1 and again at 2 and 1.5 device pixels a screen pixel.
    const auto row = [](const char *name, const Ops &ops) {
        for (const qreal ratio : {1.0, 2.0, 1.5}) {
            const QByteArray at =
                ratio == 1 ? QByteArray() : " at ratio " + QByteArray::number(ratio);
            QTest::newRow(QByteArray(name) + at) << ops << ratio;
        }
    };

    row("diagonal partly left of and above the view", Ops{line(-600, -300, 1200, 600)});
    row("diagonal partly right of and below the view", Ops{line(9000, 4000, 12000, 6000)});
    row("steep diagonal through the whole height", Ops{line(100, -1000, 400, 7000)});
    row("horizontal far beyond both edges", Ops{line(-30000, 1500, 300000, 1500)});
    row("vertical far beyond both edges", Ops{line(3000, -9000, 3000, 90000)});
    row("lines wholly outside", Ops{line(-3000, -3000, -1500, -3000), line(20000, 100, 30000, 100),
                                    line(100, 6000, 100, 9000), line(-14, 100, -14, 900)});
    row("run doubling back over itself",
        Ops{line(0, 900, 1, 900), lineTo(3000, 900), lineTo(1500, 900), lineTo(1500, 700),
            lineTo(200, 700), lineTo(200, 1000)});
    row("zero-length lines",
        Ops{line(300, 300, 300, 300), lineTo(300, 300), line(7, 7, 14, 14), lineTo(20, 14)});
    row("overlapping runs of two colours, last one wins",
        Ops{line(0, 1500, 6000, 1500, kInk), line(3000, 1500, 9000, 1500, kOtherInk),
            lineTo(1000, 1500, kInk), lineTo(1000, 1200, kOtherInk)});
    row("segments of one row with a gap between them",
        Ops{line(0, 2000, 1500, 2000), line(3000, 2000, 4500, 2000)});
    row("current point moved between segments of one row",
        Ops{line(0, 2500, 1500, 2500), moveTo(4500, 2500), lineTo(6000, 2500)});
    row("current point moved along its row only",
        Ops{line(0, 2600, 1500, 2600), setX(4500), lineTo(6000, 2600)});
    row("text between segments of one row",
        Ops{line(0, 2800, 3000, 2800), moveTo(100, 2700), print(QStringLiteral(" 32.118ms")),
            moveTo(3000, 2800), lineTo(6000, 2800)});
    row("diagonal between runs of one colour",
        Ops{line(0, 3000, 3000, 3000), lineTo(3200, 3100), lineTo(6000, 3100),
            line(1000, 2900, 5000, 3200, kOtherInk), lineTo(5000, 3000)});
    row("sub-pixel steps up and down in one column",
        Ops{line(0, 900, 1, 900), lineTo(2, 900), lineTo(2, 700), lineTo(4, 700), lineTo(4, 900),
            lineTo(6, 900), lineTo(6, 700), lineTo(16, 700), lineTo(16, 900)});
    row("steps of two twips across pixel boundaries",
        Ops{line(0, 14, 300, 14), lineTo(300, 16), lineTo(600, 16), lineTo(600, 29),
            lineTo(629, 31), lineTo(629, 44), lineTo(629, 46), lineTo(900, 46)});
    const std::vector<SurfacePoint> points = {{2, 900},    {2, 700},     {16, 700},   {400, 1300},
                                              {400, 1316}, {1000, 1316}, {500, 1316}, {500, 1200}};
    row("points drawn in one call, a diagonal and a backtrack among them",
        Ops{line(0, 900, 1, 900), linesTo(points), lineTo(1000, 900)});
}

void PictureBoxTest::linesAreTheSameDrawnFastOrPlain()
{
    QFETCH(Ops, ops);
    QFETCH(qreal, ratio);

    const QImage plain = render(true, nullptr, 0, ops, ratio);
    const QImage fast = render(false, nullptr, 0, ops, ratio);
    QVERIFY2(!fast.isNull(), "no screen of that pixel ratio: run with screens.json");
    const QString diff = difference(plain, fast);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

void PictureBoxTest::viewAtOtherRatiosIsTheViewAtRatioOneScaled_data()
{
    QTest::addColumn<Pattern>("pattern");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<int>("slack"); // device pixels a line may lie off its scaled place
    const struct
    {
        const char *name;
        Pattern pattern;
        int zoom;
    } views[] = {{"random at zoom 2", Pattern::Random, 2},
                 {"random at zoom 10", Pattern::Random, 10},
                 {"0xA5 then 0x0F at zoom 40", Pattern::A5Then0F, 40}};
    for (const auto &[name, pattern, zoom] : views) {
        QTest::newRow(QByteArray(name) + ", ratio 2") << pattern << zoom << 2.0 << 0;
        QTest::newRow(QByteArray(name) + ", ratio 1.25") << pattern << zoom << 1.25 << 1;
        QTest::newRow(QByteArray(name) + ", ratio 1.5") << pattern << zoom << 1.5 << 1;
    }
}

void PictureBoxTest::viewAtOtherRatiosIsTheViewAtRatioOneScaled()
{
    QFETCH(Pattern, pattern);
    QFETCH(int, zoom);
    QFETCH(qreal, ratio);
    QFETCH(int, slack);
    const auto state = makeState(pattern, std::int16_t(zoom));
    // Traces, ticks, separators and the measurement's marker lines.
    const Ops markers = {line(1000, 0, 1000, kViewHeight, kMarkerColour),
                         line(3000, 0, 3000, kViewHeight, kMarkerColour)};
    const QImage one = render(false, state.get(), 0, markers, 1);
    const QImage other = render(false, state.get(), 0, markers, ratio);
    QVERIFY2(!other.isNull(), "no screen of that pixel ratio: run with screens.json");

    // The time labels are text, drawn at another size: left out.
    const auto inLabel = [](int x, int y) {
        for (const int baseline : wavemill::display::kBaseline)
            if (x < 90 && y >= (baseline + 20) / kTwipsPerPixel - 1 &&
                y <= (baseline + 240) / kTwipsPerPixel)
                return true;
        return false;
    };
    const int t = std::max(1, qRound(ratio)); // a screen pixel, in device pixels
    int lines = 0;
    for (int y = 0; y < one.height(); ++y) {
        for (int x = 0; x < one.width(); ++x) {
            const QRgb colour = one.pixel(x, y);
            if (colour == kBackground || inLabel(x, y))
                continue;
            ++lines;
            // The pixel's place at this ratio, the block of t x t device
            // pixels it becomes, and the slack around it.
            const int left = int(std::floor(x * ratio)), top = int(std::floor(y * ratio));
            int found = 0;
            for (int dy = -slack; dy < t + slack; ++dy)
                for (int dx = -slack; dx < t + slack; ++dx)
                    found += other.valid(left + dx, top + dy) &&
                             other.pixel(left + dx, top + dy) == colour;
            QVERIFY2(slack > 0 ? found > 0 : found == t * t,
                     qPrintable(QStringLiteral("pixel (%1, %2) of colour %3 is not at (%4, %5)")
                                    .arg(x)
                                    .arg(y)
                                    .arg(colour, 8, 16)
                                    .arg(left)
                                    .arg(top)));
        }
    }
    QVERIFY(lines > 1000);
    if (slack == 0) {
        // Nothing else either: no line is thicker or thinner than scaled.
        for (int y = 0; y < other.height(); ++y)
            for (int x = 0; x < other.width(); ++x)
                if (!inLabel(x / t, y / t) && other.pixel(x, y) != one.pixel(x / t, y / t))
                    QFAIL(qPrintable(QStringLiteral("(%1, %2) differs").arg(x).arg(y)));
    }
}

void PictureBoxTest::lineCoversExactlyThePixelsOfItsEndPoints_data()
{
    QTest::addColumn<QLineF>("twips");
    QTest::addColumn<QRect>("pixels"); // empty: nothing inside the view

    QTest::newRow("horizontal, left to right")
        << QLineF(150, 300, 1500, 300) << QRect(10, 20, 91, 1);
    QTest::newRow("horizontal, right to left")
        << QLineF(1500, 300, 150, 300) << QRect(10, 20, 91, 1);
    QTest::newRow("vertical, downwards") << QLineF(300, 150, 300, 1500) << QRect(20, 10, 1, 91);
    QTest::newRow("vertical, upwards") << QLineF(300, 1500, 300, 150) << QRect(20, 10, 1, 91);
    QTest::newRow("zero length") << QLineF(300, 300, 300, 300) << QRect(20, 20, 1, 1);
    QTest::newRow("shorter than a pixel") << QLineF(0, 900, 1, 900) << QRect(0, 60, 1, 1);
    QTest::newRow("ending one twip before a pixel")
        << QLineF(0, 900, 14, 900) << QRect(0, 60, 1, 1);
    QTest::newRow("ending on a pixel's first twip")
        << QLineF(0, 900, 15, 900) << QRect(0, 60, 2, 1);
    QTest::newRow("a twip left of the view is outside it") << QLineF(-1, 900, -1, 1200) << QRect();
    QTest::newRow("a twip above the view is outside it") << QLineF(0, -1, 3000, -1) << QRect();
    QTest::newRow("last column") << QLineF(10214, 0, 10214, 5174) << QRect(680, 0, 1, 345);
    QTest::newRow("past the right edge")
        << QLineF(9000, 5100, 11000, 5100) << QRect(600, 340, 81, 1);
    QTest::newRow("the separator, the view's full width")
        << QLineF(0, 1100, kViewWidth, 1100) << QRect(0, 73, 681, 1);
    QTest::newRow("a marker line, the view's full height")
        << QLineF(1000, 0, 1000, kViewHeight) << QRect(66, 0, 1, 345);
}

void PictureBoxTest::lineCoversExactlyThePixelsOfItsEndPoints()
{
    QFETCH(QLineF, twips);
    QFETCH(QRect, pixels);

    for (const bool plain : {true, false}) {
        const QImage image = render(
            plain, nullptr, 0,
            {line(float(twips.x1()), float(twips.y1()), float(twips.x2()), float(twips.y2()))});
        const char *mode = plain ? "plain" : "fast";
        QVERIFY2(countColour(image, kInk) == pixels.width() * pixels.height(), mode);
        for (int y = pixels.top(); y <= pixels.bottom(); ++y)
            for (int x = pixels.left(); x <= pixels.right(); ++x)
                QVERIFY2(image.pixel(x, y) == kInk, mode);
    }
}

void PictureBoxTest::clsErasesEverythingAndTheCurrentPoint_data()
{
    QTest::addColumn<bool>("plain");
    QTest::newRow("fast") << false;
    QTest::newRow("plain") << true;
}

void PictureBoxTest::clsErasesEverythingAndTheCurrentPoint()
{
    QFETCH(bool, plain);

    const auto state = makeState(Pattern::Random, 2);
    auto box = makeView(plain);
    wavemill::display::DrawAllTraces(*box, *state, 0);
    apply(*box, measurement(3000, 1000, 800));
    // A run still being gathered when the view is cleared.
    apply(*box, {line(0, 4500, 3000, 4500), lineTo(6000, 4500)});
    box->Cls();

    QCOMPARE(box->CurrentX(), 0.0f);
    QCOMPARE(box->CurrentY(), 0.0f);
    const QImage cleared = box->image();
    QCOMPARE(countColour(cleared, kBackground), kViewWidthPixels * kViewHeightPixels);

    // The next line starts from (0, 0).
    box->LineTo(1500, 0, kInk);
    const QImage after = box->image();
    QCOMPARE(countColour(after, kInk), 101);
    QCOMPARE(after.pixel(0, 0), kInk);
    QCOMPARE(after.pixel(100, 0), kInk);
}

void PictureBoxTest::drawingReachesTheScreenAndSurvivesHideAndShow()
{
    const auto state = makeState(Pattern::Random, 10);
    auto box = makeView(false);
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));

    box->Cls();
    wavemill::display::DrawAllTraces(*box, *state, 0);
    apply(*box, measurement(1000, 3000, 2000));
    const QImage drawn = box->image();
    QCOMPARE(drawn.size(), QSize(kViewWidthPixels, kViewHeightPixels)); // a pixel ratio of 1
    QTRY_VERIFY2(difference(onScreen(*box), drawn).isEmpty(),
                 qPrintable(difference(onScreen(*box), drawn)));

    // A small drawing later: its own repaint brings it to the screen.
    box->Line(6000, 4000, 9000, 4000, kOtherInk);
    box->LineTo(9000, 4500, kOtherInk);
    const QImage added = box->image();
    QVERIFY(!difference(added, drawn).isEmpty());
    QTRY_VERIFY2(difference(onScreen(*box), added).isEmpty(),
                 qPrintable(difference(onScreen(*box), added)));

    box->hide();
    QTest::qWait(20);
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));
    const QString kept = difference(box->image(), added);
    QVERIFY2(kept.isEmpty(), qPrintable(kept));
    QTRY_VERIFY2(difference(onScreen(*box), added).isEmpty(),
                 qPrintable(difference(onScreen(*box), added)));
}

void PictureBoxTest::lineControlStaysAboveTheDrawingAfterCls()
{
    constexpr QRgb kCursorColour = qRgb(0, 255, 0);
    const auto state = makeState(Pattern::FlatFF, 10);
    auto box = makeView(false);
    // A cursor line at pixel column 200, across trace 1's high level (row 46).
    LineControl cursor(box.get(), 3000, 0, 3000, 5160, kCursorColour);
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));

    wavemill::display::DrawAllTraces(*box, *state, 0);
    QCOMPARE(box->image().pixel(200, 46), wavemill::display::kTraceColour);
    QTRY_COMPARE(onScreen(*box).pixel(201, 46), wavemill::display::kTraceColour);
    QCOMPARE(onScreen(*box).pixel(200, 46), kCursorColour);

    box->Cls();
    QTRY_COMPARE(onScreen(*box).pixel(201, 46), kBackground);
    QCOMPARE(onScreen(*box).pixel(200, 46), kCursorColour);
    QCOMPARE(onScreen(*box).pixel(200, 300), kCursorColour);
    // The control is not part of the drawing.
    QCOMPARE(countColour(box->image(), kCursorColour), 0);
}

void PictureBoxTest::resizeKeepsTheDrawingInPlace()
{
    auto box = makeView(false);
    box->Line(0, 0, kViewWidth, kViewHeight, kInk);
    box->Line(0, 900, kViewWidth, 900, kInk);
    const QImage before = box->image();

    box->resize(kViewWidthPixels + 40, kViewHeightPixels + 20);
    const QImage after = box->image();
    QCOMPARE(after.size(), QSize(kViewWidthPixels + 40, kViewHeightPixels + 20));
    const QString diff = difference(after.copy(before.rect()), before);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    QCOMPARE(after.pixel(kViewWidthPixels + 20, kViewHeightPixels + 10), kBackground);
}

void PictureBoxTest::progressBarStaysInsideItsFrame_data()
{
    QTest::addColumn<int>("thickness");
    QTest::addColumn<int>("visibleColumns");
    // The progress frame: 233 x 17 pixels with a one-pixel border, so 231
    // inner columns; the bar's thickness is centred on the inner left edge.
    QTest::newRow("empty") << 1 << 1;
    QTest::newRow("thickness 2") << 2 << 1;
    QTest::newRow("thickness 3") << 3 << 2;
    QTest::newRow("half") << 231 << 116;
    QTest::newRow("full, 2 s + 1") << 463 << 231;
}

void PictureBoxTest::progressBarStaysInsideItsFrame()
{
    QFETCH(int, thickness);
    QFETCH(int, visibleColumns);
    constexpr QRgb kBar = qRgb(199, 240, 254);
    constexpr QRgb kFrameBackground = qRgb(255, 255, 242);
    PictureBox frame(nullptr, 1, kFrameBackground, 1);
    frame.resize(233, 17);
    LineControl bar(&frame, 0, 0, 0, 16, kBar, 1);
    bar.setBorderWidth(thickness);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));

    const QRgb border = frame.palette().color(QPalette::Dark).rgb();
    QImage shown;
    QTRY_COMPARE((shown = onScreen(frame)).pixel(1, 8), kBar);
    for (int x = 0; x < shown.width(); ++x) {
        for (int y = 0; y < shown.height(); ++y) {
            const bool onBorder =
                x == 0 || y == 0 || x == shown.width() - 1 || y == shown.height() - 1;
            const QRgb expected =
                onBorder ? border : (x <= visibleColumns ? kBar : kFrameBackground);
            QVERIFY2(
                shown.pixel(x, y) == expected,
                qPrintable(
                    QStringLiteral("(%1, %2) is %3").arg(x).arg(y).arg(shown.pixel(x, y), 8, 16)));
        }
    }
}

QTEST_MAIN(PictureBoxTest)
#include "test_picture_box.moc"
