// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/drawing_surface.h"

#include <QList>

namespace wavemill::testing {

/// A drawing surface that logs every operation with its exact coordinates,
/// colours and texts. It can pass everything on to another surface, so that
/// a real view can be watched while it draws.
class RecordingSurface : public platform::DrawingSurface
{
public:
    enum class Kind { Line, Cls, Print, ForeColor, MoveTo };

    struct Op
    {
        Kind kind;
        float x1 = 0, y1 = 0, x2 = 0, y2 = 0; // Line: from, to; MoveTo/Print: at (x1, y1)
        QRgb colour = 0;
        QString text;
        bool fromCurrent = false; // a Line drawn from the current point

        bool operator==(const Op &other) const
        {
            return kind == other.kind && x1 == other.x1 && y1 == other.y1 && x2 == other.x2 &&
                   y2 == other.y2 && colour == other.colour && text == other.text &&
                   fromCurrent == other.fromCurrent;
        }
    };

    /// A surface of its own size, drawing nowhere.
    RecordingSurface(float width = 10215, float height = 5175, float scaleWidth = 10215);
    /// A surface that records and passes every operation on to \a inner.
    explicit RecordingSurface(platform::DrawingSurface *inner);

    void Line(float x1, float y1, float x2, float y2, QRgb colour) override;
    void LineTo(float x2, float y2, QRgb colour) override;
    void Cls() override;
    float CurrentX() const override;
    float CurrentY() const override;
    void setCurrentX(float x) override;
    void setCurrentY(float y) override;
    void setForeColor(QRgb colour) override;
    void Print(const QString &text) override;
    float Width() const override;
    float Height() const override;
    float ScaleWidth() const override;

    void setWidth(float width) { m_width = width; }

    const QList<Op> &ops() const { return m_ops; }
    void clear() { m_ops.clear(); }
    /// Only the lines, in order.
    QList<Op> lines() const;
    /// Only the printed texts, in order.
    QList<Op> prints() const;
    int clsCount() const;

private:
    platform::DrawingSurface *m_inner = nullptr;
    QList<Op> m_ops;
    float m_width;
    float m_height;
    float m_scaleWidth;
    float m_x = 0;
    float m_y = 0;
    QRgb m_foreColor = 0;
    static constexpr float kTextLineHeight = 195; // twips of one 9-point text line
};

} // namespace wavemill::testing
