#include "core/sample_period.h"
#include "display/trace_renderer.h"
#include "support/recording_surface.h"

#include <QtTest>

using namespace wavemill;
using testing::RecordingSurface;

namespace {

constexpr QRgb kBlue = qRgb(0, 0, 255);
constexpr QRgb kLight = qRgb(200, 200, 255);

/// The lines of one trace, split by role.
struct Drawing
{
    QList<RecordingSurface::Op> wave;      // the opening line and the square wave
    QList<RecordingSurface::Op> separator; // horizontal light line at Y + 200
    QList<RecordingSurface::Op> ticks;     // vertical light lines
    QList<RecordingSurface::Op> prints;
};

Drawing split(const RecordingSurface &surface)
{
    Drawing d;
    for (const auto &op : surface.ops()) {
        if (op.kind == RecordingSurface::Kind::Print)
            d.prints.append(op);
        if (op.kind != RecordingSurface::Kind::Line)
            continue;
        if (op.colour == kBlue)
            d.wave.append(op);
        else if (op.x1 == op.x2)
            d.ticks.append(op);
        else
            d.separator.append(op);
    }
    return d;
}

Drawing draw(const TraceBuffers &traces, std::int32_t start, int y, std::int16_t w,
             std::int16_t channel, float width = 10215)
{
    RecordingSurface surface(width);
    display::Draw_Square_Wave(surface, traces, kSamplePeriod, start, y, w, channel);
    return split(surface);
}

QList<QPointF> ends(const QList<RecordingSurface::Op> &lines, int from, int count)
{
    QList<QPointF> points;
    for (int i = from; i < from + count && i < lines.size(); ++i)
        points.append(QPointF(lines[i].x2, lines[i].y2));
    return points;
}

} // namespace

class TestTraceRenderer : public QObject
{
    Q_OBJECT

private slots:
    void drawsEverySampleFromTheCurrentPoint();
    void startsAHighFirstSampleWithAnEdgeBackToTheLeftEdge();
    void carriesTheLevelAcrossBytes();
    void fillsTheViewWidth_data();
    void fillsTheViewWidth();
    void drawsAnyOtherChannelFlat_data();
    void drawsAnyOtherChannelFlat();
    void neverReadsOutsideTheBuffer();
    void labelsTheLeftEdgeWithItsTime_data();
    void labelsTheLeftEdgeWithItsTime();
    void placesSeparatorLabelAndTicksOfTrace2();
    void printWordLeavesTheCurrentPointAlone();
    void drawsAllThreeTracesOnTheirBaselines();
};

void TestTraceRenderer::drawsEverySampleFromTheCurrentPoint()
{
    TraceBuffers traces;
    traces.buffers[0][0] = 0xA5;
    traces.buffers[0][1] = 0x0F;
    const Drawing d = draw(traces, 0, 900, 10, 1);

    QCOMPARE(d.wave[0].fromCurrent, false);
    QCOMPARE(QLineF(d.wave[0].x1, d.wave[0].y1, d.wave[0].x2, d.wave[0].y2),
             QLineF(0, 900, 1, 900));
    const QList<QPointF> a5 = {{0, 700},  {10, 700}, {10, 900}, {20, 900}, {20, 700},
                               {30, 700}, {30, 900}, {40, 900}, {50, 900}, {50, 700},
                               {60, 700}, {60, 900}, {70, 900}, {70, 700}, {80, 700}};
    QCOMPARE(ends(d.wave, 1, a5.size()), a5);
    const QList<QPointF> x0f = {{80, 900},  {90, 900},  {100, 900}, {110, 900}, {120, 900},
                                {120, 700}, {130, 700}, {140, 700}, {150, 700}, {160, 700}};
    QCOMPARE(ends(d.wave, 1 + a5.size(), x0f.size()), x0f);
    for (int i = 1; i < d.wave.size(); ++i) {
        QVERIFY(d.wave[i].fromCurrent);
        // Each line starts where the previous one ended.
        QCOMPARE(QPointF(d.wave[i].x1, d.wave[i].y1), QPointF(d.wave[i - 1].x2, d.wave[i - 1].y2));
    }
}

void TestTraceRenderer::startsAHighFirstSampleWithAnEdgeBackToTheLeftEdge()
{
    TraceBuffers traces;
    traces.buffers[0][0] = 0x80;
    const Drawing d = draw(traces, 0, 900, 10, 1);
    QCOMPARE(QLineF(d.wave[1].x1, d.wave[1].y1, d.wave[1].x2, d.wave[1].y2),
             QLineF(1, 900, 0, 700));
    QCOMPARE(ends(d.wave, 2, 3), (QList<QPointF>{{10, 700}, {10, 900}, {20, 900}}));
}

void TestTraceRenderer::carriesTheLevelAcrossBytes()
{
    TraceBuffers traces;
    traces.buffers[0][0] = 0x01; // high on the last sample
    traces.buffers[0][1] = 0x80; // and still high on the next byte's first
    const Drawing d = draw(traces, 0, 900, 10, 1);
    // Opening line, 7 low samples, the rising edge and the high sample, then
    // the next byte's first sample continues high with no edge at x = 80.
    QCOMPARE(ends(d.wave, 8, 3), (QList<QPointF>{{70, 700}, {80, 700}, {90, 700}}));
    QCOMPARE(ends(d.wave, 11, 2), (QList<QPointF>{{90, 900}, {100, 900}}));
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
    TraceBuffers traces;
    // A high sample in the first byte past the drawn run would add lines.
    traces.buffers[0][100 + bytes] = 0xFF;
    const Drawing d = draw(traces, 100, 900, std::int16_t(zoom), 1, width);

    QCOMPARE(d.wave.size(), 1 + 8 * bytes); // flat: one line per sample
    QCOMPARE(d.wave.last().x2, float(8 * bytes * zoom));
    QCOMPARE(d.ticks.size(), ticks);
    for (int m = 0; m < ticks; ++m) {
        QCOMPARE(d.ticks[m].x1, float(50 * m * zoom));
        QCOMPARE(d.ticks[m].y1, 1000.0f);
        QCOMPARE(d.ticks[m].y2, 1100.0f);
    }
    QCOMPARE(d.separator.size(), 1);
    QCOMPARE(d.separator[0].x2, width);
}

void TestTraceRenderer::drawsAnyOtherChannelFlat_data()
{
    QTest::addColumn<int>("channel");
    QTest::newRow("0") << 0;
    QTest::newRow("4") << 4;
    QTest::newRow("-1") << -1;
}

void TestTraceRenderer::drawsAnyOtherChannelFlat()
{
    QFETCH(int, channel);
    TraceBuffers traces;
    for (auto &buffer : traces.buffers)
        buffer.fill(0xFF);
    const Drawing d = draw(traces, 0, 2200, 10, std::int16_t(channel));
    QCOMPARE(d.wave.size(), 1 + 8 * 128);
    for (const auto &line : d.wave)
        QCOMPARE(line.y2, 2200.0f);
}

void TestTraceRenderer::neverReadsOutsideTheBuffer()
{
    TraceBuffers traces;
    traces.buffers[0].fill(0xFF);
    // 639 bytes from 63,480 would run far past the end: those count as low.
    const Drawing d = draw(traces, 63480, 900, 2, 1);
    QCOMPARE(d.wave.last().y2, 900.0f);
    const Drawing before = draw(traces, -5, 900, 2, 1);
    QCOMPARE(before.wave[1].y2, 900.0f);
}

void TestTraceRenderer::labelsTheLeftEdgeWithItsTime_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("label");
    QTest::newRow("byte 0") << 0 << " 0ms";
    QTest::newRow("byte 200") << 200 << " 32.118ms";
    QTest::newRow("byte 1000") << 1000 << " 160.589ms";
    QTest::newRow("one scroll step") << 2 << " 0.321ms";
}

void TestTraceRenderer::labelsTheLeftEdgeWithItsTime()
{
    QFETCH(int, start);
    QFETCH(QString, label);
    const Drawing d = draw(TraceBuffers(), start, 900, 10, 1);
    QCOMPARE(d.prints.size(), 1);
    QCOMPARE(d.prints[0].text, label);
    QCOMPARE(d.prints[0].colour, qRgb(255, 96, 96));
}

void TestTraceRenderer::placesSeparatorLabelAndTicksOfTrace2()
{
    RecordingSurface surface;
    display::Draw_Square_Wave(surface, TraceBuffers(), kSamplePeriod, 0, 2200, 10, 2);
    // After the wave: the separator, then the label, then the ticks.
    QList<RecordingSurface::Kind> order;
    QList<RecordingSurface::Op> after;
    bool wavesDone = false;
    for (const auto &op : surface.ops()) {
        if (op.kind == RecordingSurface::Kind::Line && op.colour == kBlue)
            continue;
        wavesDone = true;
        if (op.kind == RecordingSurface::Kind::Line || op.kind == RecordingSurface::Kind::Print)
            after.append(op);
    }
    QVERIFY(wavesDone);
    QCOMPARE(after[0].kind, RecordingSurface::Kind::Line);
    QCOMPARE(QLineF(after[0].x1, after[0].y1, after[0].x2, after[0].y2),
             QLineF(0, 2400, 10215, 2400));
    QCOMPARE(after[0].colour, kLight);
    QCOMPARE(after[1].kind, RecordingSurface::Kind::Print);
    QCOMPARE(QPointF(after[1].x1, after[1].y1), QPointF(0, 2220));
    QCOMPARE(after[2].kind, RecordingSurface::Kind::Line);
    QCOMPARE(QLineF(after[2].x1, after[2].y1, after[2].x2, after[2].y2), QLineF(0, 2300, 0, 2400));
}

void TestTraceRenderer::printWordLeavesTheCurrentPointAlone()
{
    RecordingSurface surface;
    surface.Line(0, 0, 321, 654, kBlue);
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
    RecordingSurface surface;
    display::DrawAllTraces(surface, state, 50);
    const auto prints = surface.prints();
    QCOMPARE(prints.size(), 3);
    QCOMPARE(prints[0].y1, 920.0f);
    QCOMPARE(prints[1].y1, 2220.0f);
    QCOMPARE(prints[2].y1, 3520.0f);
    // The one high sample is trace 2's first, at zoom 20.
    int highs = 0;
    for (const auto &line : surface.lines()) {
        if (line.colour != kBlue || line.y2 != line.y1 || line.y2 >= 2200 || line.y2 < 1800)
            continue;
        QCOMPARE(line.y2, 2000.0f);
        QCOMPARE(line.x2, 20.0f);
        ++highs;
    }
    QCOMPARE(highs, 1);
}

QTEST_GUILESS_MAIN(TestTraceRenderer)
#include "test_trace_renderer.moc"
