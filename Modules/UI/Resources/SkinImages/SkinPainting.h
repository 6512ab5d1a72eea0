#pragma once

// What the drawings of the skin images share: the palette, a transparent image to draw on, an
// antialiased painter, strokes and fills, and the table entry of one image.

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <functional>
#include <vector>

namespace skin {

namespace palette {
inline const QColor Toolbox(26, 26, 26);
inline const QColor Text(0xcb, 0xcb, 0xcb);
inline const QColor TextDim(0x98, 0x98, 0x98);
inline const QColor Line(0x4d, 0x4d, 0x4d);
inline const QColor Shadow(0x14, 0x14, 0x14);
inline const QColor Accent(152, 201, 8);
inline const QColor AccentLight(192, 229, 89);
inline const QColor Glyph(0xb4, 0xb4, 0xb4);
inline const QColor GlyphOver(0xec, 0xec, 0xec);
inline const QColor GlyphDisabled(0x55, 0x55, 0x55);
} // namespace palette

inline QImage Blank(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

struct Painter : QPainter {
    explicit Painter(QImage* image) : QPainter(image)
    {
        setRenderHint(QPainter::Antialiasing);
        setRenderHint(QPainter::SmoothPixmapTransform);
    }
};

// A rectangle with its own radius at each corner.
inline QPainterPath RoundedRect(const QRectF& r, double topLeft, double topRight, double bottomRight, double bottomLeft)
{
    QPainterPath path;
    path.moveTo(r.left() + topLeft, r.top());
    path.lineTo(r.right() - topRight, r.top());
    if (topRight > 0)
        path.arcTo(r.right() - 2 * topRight, r.top(), 2 * topRight, 2 * topRight, 90, -90);
    path.lineTo(r.right(), r.bottom() - bottomRight);
    if (bottomRight > 0)
        path.arcTo(r.right() - 2 * bottomRight, r.bottom() - 2 * bottomRight, 2 * bottomRight, 2 * bottomRight, 0, -90);
    path.lineTo(r.left() + bottomLeft, r.bottom());
    if (bottomLeft > 0)
        path.arcTo(r.left(), r.bottom() - 2 * bottomLeft, 2 * bottomLeft, 2 * bottomLeft, 270, -90);
    path.lineTo(r.left(), r.top() + topLeft);
    if (topLeft > 0)
        path.arcTo(r.left(), r.top(), 2 * topLeft, 2 * topLeft, 180, -90);
    path.closeSubpath();
    return path;
}

inline QLinearGradient Vertical(double top, double bottom, const QColor& from, const QColor& to)
{
    QLinearGradient gradient(0, top, 0, bottom);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    return gradient;
}

inline QColor White(int alpha)
{
    return QColor(255, 255, 255, alpha);
}

inline QColor Black(int alpha)
{
    return QColor(0, 0, 0, alpha);
}

// A stroked polyline with round joins and caps.
inline void Stroke(QPainter& painter, const std::vector<QPointF>& points, const QColor& colour, double width)
{
    QPen pen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(points.data(), static_cast<int>(points.size()));
}

inline void FillPolygon(QPainter& painter, const std::vector<QPointF>& points, const QColor& colour)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPolygon(points.data(), static_cast<int>(points.size()));
}

inline QPen GlyphPen(const QColor& colour, double width = 1.2)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A node of a drawn outline.
inline void Node(QPainter& painter, const QPointF& centre, const QColor& fill)
{
    painter.setPen(QPen(palette::Shadow, 1));
    painter.setBrush(fill);
    painter.drawRect(QRectF(centre.x() - 2, centre.y() - 2, 4, 4));
}

struct SkinImage {
    const char* path;
    std::function<QImage()> draw;
};

// The 16 x 16 icons of the canvas actions bar and the panels (DrawIcons.cpp).
std::vector<SkinImage> IconImages();

} // namespace skin
