#include "display/trace_renderer.h"

#include "core/numbers.h"

namespace wavemill::display {

void Draw_Square_Wave(platform::DrawingSurface &picture, const TraceBuffers &traces,
                      float samplePeriod, std::int32_t Start, int Y, std::int16_t Width_per_20us,
                      std::int16_t Channel)
{
    const float W = Width_per_20us;
    const float low = float(Y);
    const float high = float(Y - kHighLevel);

    // The trace starts on the low level, one unit in.
    picture.Line(0, low, 1, low, kTraceColour);
    int previous = 0;

    const std::int16_t n = saturate16(roundHalfEven(double(picture.Width()) / Width_per_20us));
    const TraceBuffer *buffer = traces.trace(Channel);
    const int bytes = n / 8;
    for (int i = 0; i <= bytes; ++i) {
        const std::int64_t index = std::int64_t(Start) + i;
        int b = (buffer && index >= 0 && index < kTraceBufferSize) ? (*buffer)[index] : 0;
        for (int k = 1; k <= 8; ++k) {
            const int bit = 8 - k;
            const int v = b >> bit; // 0 or 1: the higher bits are already taken off
            const float sampleStart = float(8 * i + k - 1) * W;
            const float sampleEnd = float(8 * i + k) * W;
            if (v == 0) {
                if (previous == 1)
                    picture.LineTo(sampleStart, low, kTraceColour); // falling edge
                picture.LineTo(sampleEnd, low, kTraceColour);
            } else {
                b -= 1 << bit;
                if (previous == 0)
                    picture.LineTo(sampleStart, high, kTraceColour); // rising edge
                picture.LineTo(sampleEnd, high, kTraceColour);
            }
            previous = v;
        }
    }

    const float width = picture.Width();
    picture.Line(0, float(Y + 200), width, float(Y + 200), kGridColour);

    const double leftEdge = double(samplePeriod) * double(Start) * 8.0 / 1000.0;
    PrintWord(picture, 0, std::int16_t(Y + 20), timeText(leftEdge));

    for (int m = 0; m <= n / kSamplesPerTick; ++m) {
        const float x = float(kSamplesPerTick * m) * W;
        picture.Line(x, float(Y + 100), x, float(Y + 200), kGridColour);
    }
}

void PrintWord(platform::DrawingSurface &picture, float x, std::int16_t Y, const QString &toprint)
{
    const float savedX = picture.CurrentX();
    const float savedY = picture.CurrentY();
    picture.setCurrentX(x);
    picture.setCurrentY(Y);
    picture.setForeColor(kLabelColour);
    picture.Print(toprint);
    picture.setCurrentX(savedX);
    picture.setCurrentY(savedY);
}

void DrawAllTraces(platform::DrawingSurface &picture, const SharedState &state, std::int32_t Start)
{
    for (int channel = 1; channel <= kTraceCount; ++channel)
        Draw_Square_Wave(picture, state.traces, state.samplePeriod, Start, kBaseline[channel - 1],
                         state.zoomFactor, std::int16_t(channel));
}

} // namespace wavemill::display
