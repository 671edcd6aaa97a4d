#pragma once

#include "display/trace_renderer.h"
#include "support/recording_surface.h"

#include <QByteArray>

namespace wavemill::testing {

/// The bytes that the last redraw of a recording drew for trace 1, 2 or 3:
/// every sample is one horizontal line on the trace's low or high level,
/// packed back eight samples a byte, earliest in bit 7. Only whole bytes
/// are returned.
inline QByteArray drawnTraceBytes(const testing::RecordingSurface &rec, int channel)
{
    using Kind = testing::RecordingSurface::Kind;
    const float low = float(display::kBaseline[channel - 1]);
    const float high = low - display::kHighLevel;
    const auto &ops = rec.ops();
    qsizetype first = 0;
    for (qsizetype i = 0; i < ops.size(); ++i) {
        if (ops[i].kind == Kind::Cls)
            first = i + 1;
    }
    QByteArray bytes;
    int packed = 0;
    int samples = 0;
    for (qsizetype i = first; i < ops.size(); ++i) {
        const auto &op = ops[i];
        if (op.kind != Kind::Line || !op.fromCurrent || op.colour != display::kTraceColour ||
            op.y1 != op.y2 || op.x1 == op.x2 || (op.y1 != low && op.y1 != high))
            continue;
        packed = (packed << 1) | (op.y1 == high ? 1 : 0);
        if (++samples % 8 == 0) {
            bytes.append(char(packed));
            packed = 0;
        }
    }
    return bytes;
}

} // namespace wavemill::testing
