// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The trace logic on the computed shape of a trace; the painting on the
// surface calls it makes, in their order.

#include "core/sample_period.h"
#include "display/trace_renderer.h"
#include "display/trace_shape.h"
#include "support/recording_surface.h"

#include <QtTest>

using namespace wavemill;
using display::TraceShape;
using display::ViewLine;
using display::ViewPoint;
using testing::RecordingSurface;

namespace {

/// A buffer holding \a bytes from index \a at, zeros elsewhere.
TraceBuffer bufferWith(std::initializer_list<std::uint8_t> bytes, int at = 0)
{
    TraceBuffer buffer{};
    for (const std::uint8_t byte : bytes)
        buffer[std::size_t(at++)] = byte;
    return buffer;
}

TraceShape shape(const TraceBuffer *buffer, std::int32_t start = 0, int y = 900,
                 std::int16_t w = 10, float width = 10215)
{
    return display::shapeTrace(buffer, start, y, w, width, kSamplePeriod);
}

std::vector<ViewPoint> slice(const std::vector<ViewPoint> &points, std::size_t from,
                             std::size_t count)
{
    return {points.begin() + qsizetype(from), points.begin() + qsizetype(from + count)};
}

} // namespace

class TestTraceRenderer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void drawsEverySampleAndEachEdge();
    void startsAHighFirstSampleWithAnEdgeBackToTheLeftEdge();
    void carriesTheLevelAcrossBytes();
    void fillsTheViewWidth_data();
    void fillsTheViewWidth();
    void readsNoBufferForAnyOtherChannel_data();
    void readsNoBufferForAnyOtherChannel();
    void readsOnlyTheBytesItDraws();
    void labelsTheLeftEdgeWithItsTime_data();
    void labelsTheLeftEdgeWithItsTime();
    void placesSeparatorLabelAndTicksUnderTheTrace();
    void paintsTheShapeInItsOrder();
    void printWordLeavesTheCurrentPointAlone();
    void drawsAllThreeTracesOnTheirBaselines();
};

void TestTraceRenderer::drawsEverySampleAndEachEdge()
{
    const TraceBuffer buffer = bufferWith({0xA5, 0x0F});
    const TraceShape s = shape(&buffer);
    QVERIFY(s.opening == (ViewLine{{0, 900}, {1, 900}}));
    const std::vector<ViewPoint> a5 = {{0, 700},  {10, 700}, {10, 900}, {20, 900}, {20, 700},
                                       {30, 700}, {30, 900}, {40, 900}, {50, 900}, {50, 700},
                                       {60, 700}, {60, 900}, {70, 900}, {70, 700}, {80, 700}};
    QVERIFY(slice(s.wave, 0, a5.size()) == a5);
    const std::vector<ViewPoint> x0f = {{80, 900},  {90, 900},  {100, 900}, {110, 900}, {120, 900},
                                        {120, 700}, {130, 700}, {140, 700}, {150, 700}, {160, 700}};
    QVERIFY(slice(s.wave, a5.size(), x0f.size()) == x0f);
}

void TestTraceRenderer::startsAHighFirstSampleWithAnEdgeBackToTheLeftEdge()
{
    const TraceBuffer buffer = bufferWith({0x80});
    const TraceShape s = shape(&buffer);
    // From the opening's end (1, 900) up to the left edge, then high to x = 10.
    QVERIFY(slice(s.wave, 0, 4) ==
            (std::vector<ViewPoint>{{0, 700}, {10, 700}, {10, 900}, {20, 900}}));
}

void TestTraceRenderer::carriesTheLevelAcrossBytes()
{
    // High on the last sample, and still high on the next byte's first: no
    // edge at x = 80.
    const TraceBuffer buffer = bufferWith({0x01, 0x80});
    const TraceShape s = shape(&buffer);
    QVERIFY(slice(s.wave, 6, 5) ==
            (std::vector<ViewPoint>{{70, 900}, {70, 700}, {80, 700}, {90, 700}, {90, 900}}));
}

void TestTraceRenderer::fillsTheViewWidth_data()
{
    QTest::addColumn<float>("width");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("ticks");
    QTest::newRow("zoom 10: 1021.5 samples round to 1022") << 10215.0f << 10 << 128 << 21;
    QTest::newRow("zoom 2") << 10215.0f << 2 << 639 << 103;
    QTest::newRow("ratio 2.5 rounds to 2") << 25.0f << 10 << 1 << 1;
    QTest::newRow("ratio 0.5 rounds to 0") << 10240.0f << 20480 << 1 << 1;
    QTest::newRow("zoom 20480 on the view") << 10215.0f << 20480 << 1 << 1;
}

void TestTraceRenderer::fillsTheViewWidth()
{
    QFETCH(float, width);
    QFETCH(int, zoom);
    QFETCH(int, bytes);
    QFETCH(int, ticks);
    const TraceBuffer buffer{};
    const TraceShape s = shape(&buffer, 100, 900, std::int16_t(zoom), width);

    QCOMPARE(int(s.wave.size()), 8 * bytes); // flat: one point a sample
    QCOMPARE(s.wave.back().x, float(8 * bytes * zoom));
    QCOMPARE(int(s.ticks.size()), ticks);
    for (int m = 0; m < ticks; ++m)
        QVERIFY(s.ticks[std::size_t(m)] ==
                (ViewLine{{float(50 * m * zoom), 1000}, {float(50 * m * zoom), 1100}}));
    QVERIFY(s.separator == (ViewLine{{0, 1100}, {width, 1100}}));
}

void TestTraceRenderer::readsNoBufferForAnyOtherChannel_data()
{
    QTest::addColumn<int>("channel");
    QTest::newRow("0") << 0;
    QTest::newRow("4") << 4;
    QTest::newRow("-1") << -1;
}

void TestTraceRenderer::readsNoBufferForAnyOtherChannel()
{
    QFETCH(int, channel);
    TraceBuffers traces;
    for (auto &buffer : traces.buffers)
        buffer.fill(0xFF);
    const TraceShape s = shape(traces.trace(channel), 0, 2200);
    QCOMPARE(int(s.wave.size()), 8 * 128);
    for (const ViewPoint &point : s.wave)
        QCOMPARE(point.y, 2200.0f);
}

void TestTraceRenderer::readsOnlyTheBytesItDraws()
{
    // From byte 62,210 at zoom 2 the view shows bytes 62,210 to 62,848.
    TraceBuffer buffer{};
    buffer[62848] = 0xFF;
    const TraceShape drawn = shape(&buffer, 62210, 900, 2);
    QVERIFY(drawn.wave.back() == (ViewPoint{639 * 8 * 2, 700})); // the last byte, high
    buffer[62849] = 0xFF;                                        // one it must not read
    QVERIFY(shape(&buffer, 62210, 900, 2).wave == drawn.wave);

    // Bytes outside the buffer, either side, count as low.
    buffer.fill(0xFF);
    QCOMPARE(shape(&buffer, 63480, 900, 2).wave.back().y, 900.0f);
    QCOMPARE(shape(&buffer, -5, 900, 2).wave.front().y, 900.0f);
}

void TestTraceRenderer::labelsTheLeftEdgeWithItsTime_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("label");
    QTest::newRow("byte 0") << 0 << " 0ms";
    QTest::newRow("byte 200") << 200 << " 32.118ms";
    QTest::newRow("byte 1000") << 1000 << " 160.589ms";
    QTest::newRow("one scroll step") << 2 << " 0.321ms";
    QTest::newRow("the last view at zoom 10") << 63230 << " 10154.03ms";
}

void TestTraceRenderer::labelsTheLeftEdgeWithItsTime()
{
    QFETCH(int, start);
    QFETCH(QString, label);
    QCOMPARE(shape(nullptr, start).label, label);
}

void TestTraceRenderer::placesSeparatorLabelAndTicksUnderTheTrace()
{
    const TraceShape s = shape(nullptr, 0, 2200);
    QVERIFY(s.separator == (ViewLine{{0, 2400}, {10215, 2400}}));
    QVERIFY(s.labelAt == (ViewPoint{0, 2220}));
    QVERIFY(s.ticks.front() == (ViewLine{{0, 2300}, {0, 2400}}));
}

void TestTraceRenderer::paintsTheShapeInItsOrder()
{
    TraceBuffers traces;
    traces.buffers[1][0] = 0xA5;
    RecordingSurface surface;
    display::Draw_Square_Wave(surface, traces, kSamplePeriod, 0, 2200, 10, 2);
    const TraceShape s = shape(traces.trace(2), 0, 2200);

    // The opening line, the wave from the current point, the separator, the
    // label, then the ticks, so the tick at x = 0 lies over the label.
    using Kind = RecordingSurface::Kind;
    QList<RecordingSurface::Op> expected;
    const auto line = [&](const ViewLine &l, QRgb colour, bool fromCurrent = false) {
        expected.append(
            {Kind::Line, l.from.x, l.from.y, l.to.x, l.to.y, colour, QString(), fromCurrent});
    };
    line(s.opening, display::kTraceColour);
    ViewPoint at = s.opening.to;
    for (const ViewPoint &point : s.wave) {
        line({at, point}, display::kTraceColour, true);
        at = point;
    }
    line(s.separator, display::kGridColour);
    const qsizetype beforeLabel = expected.size();
    for (const ViewLine &tick : s.ticks)
        line(tick, display::kGridColour);

    QList<RecordingSurface::Op> lines = surface.lines();
    QCOMPARE(lines.size(), expected.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        QVERIFY2(lines[i] == expected[i], qPrintable(QStringLiteral("line %1").arg(i)));
    // The label comes between the separator and the first tick.
    const auto &ops = surface.ops();
    const auto print =
        std::find_if(ops.begin(), ops.end(), [](const auto &op) { return op.kind == Kind::Print; });
    QVERIFY(print != ops.end());
    QCOMPARE(print->text, s.label);
    QCOMPARE(QPointF(print->x1, print->y1), QPointF(0, 2220));
    QCOMPARE(print->colour, display::kLabelColour);
    const qsizetype linesBeforePrint =
        std::count_if(ops.begin(), print, [](const auto &op) { return op.kind == Kind::Line; });
    QCOMPARE(linesBeforePrint, beforeLabel);
}

void TestTraceRenderer::printWordLeavesTheCurrentPointAlone()
{
    RecordingSurface surface;
    surface.Line(0, 0, 321, 654, display::kTraceColour);
    display::PrintWord(surface, 2000.5f, 2000, QStringLiteral(" 4.015ms"));
    QCOMPARE(surface.prints()[0].x1, 2000.5f);
    QCOMPARE(surface.prints()[0].y1, 2000.0f);
    QCOMPARE(surface.CurrentX(), 321.0f);
    QCOMPARE(surface.CurrentY(), 654.0f);
}

void TestTraceRenderer::drawsAllThreeTracesOnTheirBaselines()
{
    SharedState state;
    state.zoomFactor = 20;
    state.samplePeriod = kSamplePeriod;
    state.traces.buffers[1][50] = 0x80; // trace 2 only
    RecordingSurface all;
    display::DrawAllTraces(all, state, 50);

    // Trace 1, 2 and 3 in that order, each as drawn alone.
    RecordingSurface oneByOne;
    for (int channel = 1; channel <= kTraceCount; ++channel)
        display::Draw_Square_Wave(oneByOne, state.traces, kSamplePeriod, 50,
                                  display::kBaseline[channel - 1], 20, std::int16_t(channel));
    QCOMPARE(all.ops().size(), oneByOne.ops().size());
    QVERIFY(all.ops() == oneByOne.ops());
    QCOMPARE(all.prints()[1].y1, 2220.0f);
}

QTEST_GUILESS_MAIN(TestTraceRenderer)
#include "test_trace_renderer.moc"
