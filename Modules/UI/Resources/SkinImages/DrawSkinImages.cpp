// Draws the program's skin images: the bitmaps that the style sheets and the controls name as
// ":Folder/Name.png". They are committed beside LumoraUI.qrc; run this after changing a drawing:
//
//   cmake --build build --target DrawSkinImages
//   build/Modules/UI/DrawSkinImages Modules/UI/Resources
//
// then add any new file to LumoraUI.qrc. The look: dark greys on the toolbox's (26, 26, 26),
// text #cbcbcb and #989898, the accent green (152, 201, 8) for what is on or under the pointer.
// Outlines run through pixel centres so that they stay sharp.
//
// Every icon the program shows is drawn here or in DrawIcons.cpp (the desktop's icon theme is never
// asked: its glyphs differ from desktop to desktop and some vanish on the dark toolbox). A widget
// that names a new image adds its drawing, in the same palette (SkinPainting.h).

#include "SkinPainting.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <vector>

namespace {

using namespace skin;

// ---- Surfaces: title bars, buttons, tabs

struct Surface {
    QColor top, bottom, outline;
    QColor highlight = Qt::transparent; // a line inside the top edge
    QColor inset = Qt::transparent;     // a shadow inside the top edge (pressed)
};

const Surface kButton{QColor(0x4b, 0x4b, 0x4b), QColor(0x37, 0x37, 0x37), palette::Shadow, White(30)};
const Surface kButtonOver{QColor(0x5a, 0x5a, 0x5a), QColor(0x42, 0x42, 0x42), palette::Shadow, White(42)};
const Surface kButtonDown{QColor(0x28, 0x28, 0x28), QColor(0x34, 0x34, 0x34), QColor(0x10, 0x10, 0x10),
                          Qt::transparent, Black(70)};
const Surface kButtonDisabled{QColor(0x33, 0x33, 0x33), QColor(0x2e, 0x2e, 0x2e), QColor(0x22, 0x22, 0x22)};
// A checked button (an orientation, an alignment): pressed in and ringed in the accent green, so
// that the chosen one of a group stands out from the others at a glance.
const Surface kButtonChecked{QColor(0x24, 0x24, 0x24), QColor(0x30, 0x30, 0x30), palette::Accent, Qt::transparent,
                             Black(70)};

// Fills the shape (drawn through pixel centres) and outlines it, with the top-edge lines.
void PaintSurface(QPainter& painter, const QPainterPath& shape, const QRectF& bounds, const Surface& surface)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(Vertical(bounds.top(), bounds.bottom(), surface.top, surface.bottom));
    painter.drawPath(shape);
    painter.save();
    painter.setClipPath(shape);
    if (surface.highlight.alpha() > 0) {
        painter.setPen(surface.highlight);
        painter.drawLine(QPointF(bounds.left(), bounds.top() + 1), QPointF(bounds.right(), bounds.top() + 1));
    }
    if (surface.inset.alpha() > 0) {
        painter.setPen(QPen(surface.inset, 2));
        painter.drawLine(QPointF(bounds.left(), bounds.top() + 1.5), QPointF(bounds.right(), bounds.top() + 1.5));
    }
    painter.restore();
    painter.setPen(surface.outline);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
}

// A container's title bar, 25 pixels high: its caps are the outer ten columns, the columns between
// are all alike so that they can be tiled. Expanded, it opens into the body below.
QImage Title(bool collapsed)
{
    QImage image = Blank(30, 25);
    Painter painter(&image);
    const QRectF bounds(0.5, 0.5, 29, 24);
    const double bottom = collapsed ? 3 : 0;
    const Surface surface{QColor(0x3e, 0x3e, 0x3e), QColor(0x2d, 0x2d, 0x2d), palette::Shadow, White(26)};
    PaintSurface(painter, RoundedRect(bounds, 3, 3, bottom, bottom), bounds, surface);
    return image;
}

// The panels' button: 29 rows of which the first and last are dropped by its slices (the button is
// 27 high), the corners within the eleven-column side slices.
QImage Button(const Surface& surface)
{
    QImage image = Blank(30, 29);
    Painter painter(&image);
    const QRectF bounds(0.5, 1.5, 29, 26);
    PaintSurface(painter, RoundedRect(bounds, 3, 3, 3, 3), bounds, surface);
    return image;
}

// The text half of the recent-places button: rounded at the left, open at the right where the
// menu half joins it.
QImage PopupText(const Surface& surface)
{
    QImage image = Blank(24, 29);
    Painter painter(&image);
    const QRectF bounds(0.5, 1.5, 30, 26);
    PaintSurface(painter, RoundedRect(bounds, 3, 0, 0, 3), bounds, surface);
    return image;
}

// The menu half: a divider at the left, rounded at the right. 34 columns, so that beside its
// eleven-column left slice it draws unscaled on the 33-pixel button.
QImage PopupMenu(const Surface& surface)
{
    QImage image = Blank(34, 29);
    Painter painter(&image);
    const QRectF bounds(-4.5, 1.5, 38, 26);
    PaintSurface(painter, RoundedRect(bounds, 0, 3, 3, 0), bounds, surface);
    painter.setPen(surface.outline);
    painter.drawLine(QPointF(0.5, 1.5), QPointF(0.5, 27.5));
    if (surface.highlight.alpha() > 0) {
        painter.setPen(surface.highlight);
        painter.drawLine(QPointF(1.5, 2.5), QPointF(1.5, 26.5));
    }
    return image;
}

enum class TabState { Selected, Unselected, UnselectedOver };

// A tab: its first and last rows are dropped by the slices. The selected tab opens into the pane
// (it ends in the pane's colour and covers the pane's top line); the others carry that line at
// their foot.
QImage Tab(TabState state)
{
    QImage image = Blank(12, 26);
    Painter painter(&image);
    if (state == TabState::Selected) {
        const QRectF bounds(0.5, 1.5, 11, 27);
        const Surface surface{QColor(0x3e, 0x3e, 0x3e), palette::Toolbox, QColor(0x5c, 0x5c, 0x5c), White(30)};
        PaintSurface(painter, RoundedRect(bounds, 3, 3, 0, 0), bounds, surface);
        return image;
    }
    const bool over = state == TabState::UnselectedOver;
    const QRectF bounds(0.5, 2.5, 11, 27);
    const Surface surface{over ? QColor(0x31, 0x31, 0x31) : QColor(0x25, 0x25, 0x25),
                          over ? QColor(0x27, 0x27, 0x27) : QColor(0x1e, 0x1e, 0x1e),
                          over ? QColor(0x4a, 0x4a, 0x4a) : QColor(0x35, 0x35, 0x35), White(over ? 16 : 8)};
    PaintSurface(painter, RoundedRect(bounds, 3, 3, 0, 0), bounds, surface);
    painter.setPen(palette::Line);
    painter.drawLine(QPointF(0, 24.5), QPointF(12, 24.5));
    return image;
}

// ---- Glyphs
enum class Direction { Up, Down, Left, Right };

// A solid triangle pointing in the direction, centred on centre, `size` across its base.
void Triangle(QPainter& painter, const QPointF& centre, double size, Direction direction, const QColor& colour)
{
    const double h = size / 2;
    const double d = size / 4;
    std::vector<QPointF> points;
    switch (direction) {
    case Direction::Up:
        points = {{centre.x() - h, centre.y() + d}, {centre.x() + h, centre.y() + d}, {centre.x(), centre.y() - d}};
        break;
    case Direction::Down:
        points = {{centre.x() - h, centre.y() - d}, {centre.x() + h, centre.y() - d}, {centre.x(), centre.y() + d}};
        break;
    case Direction::Left:
        points = {{centre.x() + d, centre.y() - h}, {centre.x() + d, centre.y() + h}, {centre.x() - d, centre.y()}};
        break;
    case Direction::Right:
        points = {{centre.x() - d, centre.y() - h}, {centre.x() - d, centre.y() + h}, {centre.x() + d, centre.y()}};
        break;
    }
    FillPolygon(painter, points, colour);
}

QImage TriangleImage(int width, int height, double size, Direction direction, const QColor& colour)
{
    QImage image = Blank(width, height);
    Painter painter(&image);
    Triangle(painter, QPointF(width / 2.0, height / 2.0), size, direction, colour);
    return image;
}

// An arrow with a stem, for moving a row up or down.
QImage MoveArrow(Direction direction, const QColor& colour)
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    const double sign = direction == Direction::Up ? 1 : -1;
    const double tip = 8 - sign * 5;
    Stroke(painter, {{8, tip + sign * 10}, {8, tip + sign * 1.5}}, colour, 2);
    FillPolygon(painter, {{3.5, tip + sign * 5}, {12.5, tip + sign * 5}, {8, tip}}, colour);
    return image;
}

// An open circle of an arrow with its head at the start, turning anticlockwise (or clockwise).
void CircularArrow(QPainter& painter, const QPointF& centre, double radius, double startDegrees, double spanDegrees,
                   const QColor& colour, double width)
{
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::FlatCap));
    painter.setBrush(Qt::NoBrush);
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    QPainterPath arc;
    arc.arcMoveTo(circle, startDegrees);
    arc.arcTo(circle, startDegrees, spanDegrees);
    painter.drawPath(arc);
    // The head at the arc's end, pointing along it.
    const double end = (startDegrees + spanDegrees) * std::numbers::pi / 180;
    const QPointF at(centre.x() + radius * std::cos(end), centre.y() - radius * std::sin(end));
    const double sign = spanDegrees > 0 ? 1 : -1;
    // The tangent in image coordinates (y down) for the direction of travel.
    const QPointF along(-std::sin(end) * sign, -std::cos(end) * sign);
    const QPointF across(along.y(), -along.x());
    const double head = width * 2.1;
    FillPolygon(painter,
                {at + along * head, at - along * head * 0.25 + across * head, at - along * head * 0.25 - across * head},
                colour);
}

QImage Reset(const QColor& colour)
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    CircularArrow(painter, QPointF(8, 8.5), 5, 100, 260, colour, 1.7);
    return image;
}

QImage Rotate(bool clockwise)
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    if (clockwise)
        CircularArrow(painter, QPointF(7.5, 9), 5, 180, -240, palette::Text, 1.8);
    else
        CircularArrow(painter, QPointF(8.5, 9), 5, 0, 240, palette::Text, 1.8);
    return image;
}

// A small switch, 16 x 16: a dark track with the knob at the left when off; lit green with the
// knob at the right when on (the chosen vignette preset).
QImage Toggle(bool on)
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    const QRectF track(1.5, 4.5, 13, 7);
    const Surface surface = on ? Surface{QColor(178, 222, 48), QColor(134, 182, 0), QColor(62, 86, 0), White(70)}
                               : Surface{QColor(0x1b, 0x1b, 0x1b), QColor(0x26, 0x26, 0x26), QColor(0x5c, 0x5c, 0x5c)};
    PaintSurface(painter, RoundedRect(track, 3.5, 3.5, 3.5, 3.5), track, surface);
    const QRectF knob(on ? 8 : 1, 3, 7, 10);
    painter.setPen(QPen(on ? QColor(62, 86, 0) : palette::Shadow, 1));
    painter.setBrush(Vertical(knob.top(), knob.bottom(), on ? QColor(0xfa, 0xfa, 0xfa) : QColor(0xb4, 0xb4, 0xb4),
                              on ? QColor(0xd0, 0xd0, 0xd0) : QColor(0x80, 0x80, 0x80)));
    painter.drawEllipse(QRectF(knob.center().x() - 3.5, knob.center().y() - 3.5, 7, 7));
    return image;
}

// A round knob, 16 x 16.
QImage SliderHandle(const QColor& top, const QColor& bottom, const QColor& outline, const QColor& ring)
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    const QRectF knob(2, 2, 12, 12);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Black(70));
    painter.drawEllipse(knob.translated(0, 1).adjusted(-0.5, -0.5, 0.5, 0.5));
    painter.setBrush(Vertical(knob.top(), knob.bottom(), top, bottom));
    painter.setPen(QPen(outline, 1));
    painter.drawEllipse(knob.adjusted(0.5, 0.5, -0.5, -0.5));
    if (ring.alpha() > 0) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(ring, 1.5));
        painter.drawEllipse(knob.adjusted(1.5, 1.5, -1.5, -1.5));
    }
    return image;
}

// ---- Check boxes

enum class CheckLook { Plain, Enable };

struct CheckState {
    bool checked = false;
    bool over = false;
    bool disabled = false;
};

void CheckMark(QPainter& painter, const QColor& colour)
{
    Stroke(painter, {{3.5, 7.2}, {6, 9.8}, {10.6, 4.2}}, colour, 2);
}

// 14 x 14. The plain box shows a green mark; the enable box of a title bar lights up green.
QImage CheckBoxImage(CheckLook look, CheckState state)
{
    QImage image = Blank(14, 14);
    Painter painter(&image);
    const QRectF box(0.5, 0.5, 13, 13);
    const QPainterPath shape = RoundedRect(box, 2.5, 2.5, 2.5, 2.5);
    const bool lit = look == CheckLook::Enable && state.checked;
    Surface surface{QColor(0x1b, 0x1b, 0x1b), QColor(0x26, 0x26, 0x26),
                    state.over ? QColor(0x80, 0x80, 0x80) : QColor(0x5c, 0x5c, 0x5c)};
    if (state.disabled)
        surface = {QColor(0x24, 0x24, 0x24), QColor(0x26, 0x26, 0x26), QColor(0x3a, 0x3a, 0x3a)};
    if (lit) {
        surface = state.disabled ? Surface{QColor(0x4a, 0x52, 0x38), QColor(0x3e, 0x45, 0x30), QColor(0x2a, 0x2e, 0x22)}
                  : state.over   ? Surface{QColor(205, 240, 95), QColor(160, 210, 20), QColor(70, 95, 0), White(90)}
                                 : Surface{QColor(178, 222, 48), QColor(134, 182, 0), QColor(62, 86, 0), White(70)};
    }
    PaintSurface(painter, shape, box, surface);
    if (!state.checked)
        return image;
    if (lit)
        CheckMark(painter, state.disabled ? QColor(0x2a, 0x2a, 0x2a) : QColor(0x16, 0x1e, 0x00));
    else
        CheckMark(painter, state.disabled ? QColor(0x5a, 0x5a, 0x5a)
                           : state.over   ? palette::AccentLight
                                          : palette::Accent);
    return image;
}

// ---- The thumbnail pane's placeholders (4:3, on the pane's own dark background)

enum class Placeholder { DragAndDrop, Offline, OfflineClick };

void PictureGlyph(QPainter& painter, const QRectF& frame, const QColor& colour)
{
    painter.setPen(QPen(colour, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(frame, 4, 4);
    const QRectF inside = frame.adjusted(10, 10, -10, -10);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QPointF(inside.right() - 14, inside.top() + 12), 7, 7);
    FillPolygon(painter,
                {{inside.left(), inside.bottom()},
                 {inside.left() + inside.width() * 0.35, inside.top() + inside.height() * 0.35},
                 {inside.left() + inside.width() * 0.6, inside.top() + inside.height() * 0.7},
                 {inside.left() + inside.width() * 0.75, inside.top() + inside.height() * 0.5},
                 {inside.right(), inside.bottom()}},
                colour);
}

QImage PlaceholderImage(Placeholder kind)
{
    QImage image = Blank(400, 300);
    Painter painter(&image);
    const QRectF frame(140, 74, 120, 90);
    if (kind == Placeholder::DragAndDrop) {
        painter.setPen(QPen(QColor(0x44, 0x44, 0x44), 2, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(24, 24, 352, 252), 10, 10);
        PictureGlyph(painter, frame, QColor(0x5a, 0x5a, 0x5a));
        // An arrow dropping into the picture.
        const QPointF tip(frame.right() + 4, frame.bottom() + 2);
        Stroke(painter, {tip + QPointF(0, -40), tip + QPointF(0, -10)}, palette::Accent, 5);
        FillPolygon(painter, {tip + QPointF(-12, -16), tip + QPointF(12, -16), tip + QPointF(0, 2)}, palette::Accent);
    } else {
        PictureGlyph(painter, frame, QColor(0x4a, 0x4a, 0x4a));
        // A warning sign over the picture's corner.
        const QPointF centre(frame.right(), frame.bottom());
        FillPolygon(painter, {centre + QPointF(0, -26), centre + QPointF(26, 20), centre + QPointF(-26, 20)},
                    QColor(232, 170, 40));
        Stroke(painter, {centre + QPointF(0, -10), centre + QPointF(0, 5)}, QColor(0x1a, 0x1a, 0x1a), 4);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x1a, 0x1a, 0x1a));
        painter.drawEllipse(centre + QPointF(0, 12.5), 2.6, 2.6);
    }
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(19);
    painter.setFont(font);
    painter.setPen(palette::TextDim);
    const QString text = kind == Placeholder::DragAndDrop ? QStringLiteral("Drag and drop an image here")
                                                          : QStringLiteral("Image not found");
    painter.drawText(QRectF(0, 192, 400, 30), Qt::AlignHCenter | Qt::AlignVCenter, text);
    if (kind == Placeholder::OfflineClick) {
        font.setPixelSize(16);
        painter.setFont(font);
        painter.setPen(palette::Accent);
        painter.drawText(QRectF(0, 224, 400, 26), Qt::AlignHCenter | Qt::AlignVCenter,
                         QStringLiteral("Click to locate it"));
    }
    return image;
}

QImage Filled(int width, int height, const QColor& colour)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

// The bar's backdrop, rounded on the side away from the window edge where it stands.
QImage ToolsetBackground(bool right)
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    const QRectF r = right ? QRectF(0.5, 0.5, 17, 15) : QRectF(-2.5, 0.5, 18, 15);
    const QPainterPath shape = right ? RoundedRect(r, 5, 0, 0, 5) : RoundedRect(r, 0, 5, 5, 0);
    painter.setPen(palette::Line);
    painter.setBrush(QColor(20, 20, 20, 215));
    painter.drawPath(shape);
    return image;
}

QImage FloatGlyph(const QColor& colour)
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    painter.setPen(QPen(colour, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(2.5, 5.5, 8, 8));
    painter.setBrush(palette::Toolbox);
    painter.drawRect(QRectF(5.5, 2.5, 8, 8));
    painter.fillRect(QRectF(5.5, 2.5, 8.5, 2), colour);
    return image;
}

QImage Chevrons(Direction direction)
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    const double sign = direction == Direction::Right ? 1 : -1;
    for (const double x : {5.5, 10.5})
        Stroke(painter, {{x - sign * 2, 4}, {x + sign * 2, 8}, {x - sign * 2, 12}}, palette::Glyph, 1.6);
    return image;
}

// ---- The toolset bar: section icons (24 x 24), its backgrounds and the slide button

QImage SectionIcon(const std::function<void(QPainter&)>& draw)
{
    QImage image = Blank(24, 24);
    Painter painter(&image);
    painter.setPen(GlyphPen(palette::Glyph, 1.6));
    painter.setBrush(Qt::NoBrush);
    draw(painter);
    return image;
}

void ArrowHead(QPainter& painter, const QPointF& tip, const QPointF& along, double size)
{
    const QPointF across(-along.y(), along.x());
    FillPolygon(painter, {tip, tip - along * size + across * size * 0.6, tip - along * size - across * size * 0.6},
                palette::Glyph);
}

std::vector<SkinImage> ToolsetImages()
{
    using palette::Glyph;
    const QColor veil(Glyph.red(), Glyph.green(), Glyph.blue(), 50);
    return {
        // A page with its size marked along two sides.
        {"Toolset/SectionCanvasSize.png", [] { return SectionIcon([](QPainter& p) {
             p.drawRect(QRectF(7.5, 3.5, 13, 17));
             p.drawLine(QPointF(3.5, 5), QPointF(3.5, 19));
             ArrowHead(p, {3.5, 3.5}, {0, -1}, 3);
             ArrowHead(p, {3.5, 20.5}, {0, 1}, 3);
         }); }},
        // An arrow into a tray.
        {"Toolset/SectionImport.png", [] { return SectionIcon([](QPainter& p) {
             p.drawPolyline(QPolygonF({{3.5, 14}, {3.5, 20.5}, {20.5, 20.5}, {20.5, 14}}));
             p.drawLine(QPointF(12, 3), QPointF(12, 13));
             ArrowHead(p, {12, 17}, {0, 1}, 5);
         }); }},
        // A figure cut from its backdrop.
        {"Toolset/SectionKey.png", [veil] { return SectionIcon([veil](QPainter& p) {
             p.fillRect(QRectF(3, 3, 18, 18), veil);
             p.setPen(Qt::NoPen);
             p.setBrush(palette::Glyph);
             p.drawEllipse(QPointF(12, 9), 3.6, 3.6);
             QPainterPath body;
             body.moveTo(5, 21);
             body.cubicTo(5, 13.5, 19, 13.5, 19, 21);
             body.closeSubpath();
             p.drawPath(body);
         }); }},
        // A curved outline through its points.
        {"Toolset/SectionMask.png", [] { return SectionIcon([](QPainter& p) {
             QPainterPath path;
             path.moveTo(5, 15);
             path.cubicTo(3, 5, 17, 2, 19, 10);
             path.cubicTo(21, 18, 9, 23, 5, 15);
             p.drawPath(path);
             for (const QPointF& node : {QPointF(5, 15), QPointF(19, 10), QPointF(12, 4.7)})
                 Node(p, node, palette::Glyph);
         }); }},
        // Three sliders.
        {"Toolset/SectionFilters.png", [] { return SectionIcon([](QPainter& p) {
             const double knobs[] = {8, 15, 11};
             for (int row = 0; row < 3; ++row) {
                 const double y = 6 + row * 6;
                 p.setPen(GlyphPen(palette::Glyph, 1.6));
                 p.drawLine(QPointF(3.5, y), QPointF(20.5, y));
                 p.setPen(Qt::NoPen);
                 p.setBrush(palette::Glyph);
                 p.drawEllipse(QPointF(knobs[row], y), 2.4, 2.4);
             }
         }); }},
        // Arrows to the four sides.
        {"Toolset/SectionPosition.png", [] { return SectionIcon([](QPainter& p) {
             p.drawLine(QPointF(12, 5), QPointF(12, 19));
             p.drawLine(QPointF(5, 12), QPointF(19, 12));
             ArrowHead(p, {12, 2.5}, {0, -1}, 4);
             ArrowHead(p, {12, 21.5}, {0, 1}, 4);
             ArrowHead(p, {2.5, 12}, {-1, 0}, 4);
             ArrowHead(p, {21.5, 12}, {1, 0}, 4);
         }); }},
        // Sheets stacked.
        {"Toolset/SectionLayers.png", [veil] { return SectionIcon([veil](QPainter& p) {
             for (int sheet = 2; sheet >= 0; --sheet) {
                 const double y = 6 + sheet * 5;
                 const QPointF diamond[] = {{12, y - 4}, {21, y}, {12, y + 4}, {3, y}};
                 p.setBrush(sheet == 0 ? QBrush(veil) : QBrush(palette::Toolbox));
                 p.drawPolygon(diamond, 4);
             }
         }); }},
        // A sparkle.
        {"Toolset/SectionEffects.png", [] { return SectionIcon([](QPainter& p) {
             QPainterPath star;
             star.moveTo(11, 2);
             star.quadTo(12, 10, 20, 11);
             star.quadTo(12, 12, 11, 20);
             star.quadTo(10, 12, 2, 11);
             star.quadTo(10, 10, 11, 2);
             p.setBrush(palette::Glyph);
             p.drawPath(star);
             p.setPen(Qt::NoPen);
             p.drawEllipse(QPointF(19, 4.5), 1.6, 1.6);
             p.drawEllipse(QPointF(19.5, 19.5), 1.2, 1.2);
         }); }},
        // A frame laid over a picture.
        {"Toolset/SectionOverlay.png", [veil] { return SectionIcon([veil](QPainter& p) {
             p.fillRect(QRectF(7, 7, 10, 10), veil);
             QPainterPath frame;
             frame.addRect(QRectF(3, 3, 18, 18));
             frame.addRect(QRectF(7, 7, 10, 10));
             p.setPen(Qt::NoPen);
             p.setBrush(palette::Glyph);
             p.drawPath(frame);
         }); }},
        // A capital T.
        {"Toolset/SectionText.png", [] { return SectionIcon([](QPainter& p) {
             p.setPen(GlyphPen(palette::Glyph, 2.6));
             p.drawLine(QPointF(5, 5), QPointF(19, 5));
             p.drawLine(QPointF(12, 5), QPointF(12, 20));
         }); }},
        // An arrow out of a tray.
        {"Toolset/SectionExport.png", [] { return SectionIcon([](QPainter& p) {
             p.drawPolyline(QPolygonF({{3.5, 14}, {3.5, 20.5}, {20.5, 20.5}, {20.5, 14}}));
             p.drawLine(QPointF(12, 7), QPointF(12, 16));
             ArrowHead(p, {12, 2.5}, {0, -1}, 5);
         }); }},
        {"Toolset/ToolsetBackgroundRight.png", [] { return ToolsetBackground(true); }},
        {"Toolset/ToolsetBackgroundLeft.png", [] { return ToolsetBackground(false); }},
        // The slide button shows where the bar goes when clicked: toward the edge, or out again.
        {"Toolset/ToolsetCollapsed.png", [] { return Chevrons(Direction::Right); }},
        {"Toolset/ToolsetExpanded.png", [] { return Chevrons(Direction::Left); }},
        // The dock's float button: a window lifted off another.
        {"Toolbox/FloatButton.png", [] { return FloatGlyph(palette::Glyph); }},
        {"Toolbox/FloatButtonOver.png", [] { return FloatGlyph(palette::GlyphOver); }},
    };
}

std::vector<SkinImage> SkinImages()
{
    using palette::Glyph, palette::GlyphOver, palette::GlyphDisabled;
    const Surface disabledPopup = kButtonDisabled;
    std::vector<SkinImage> images = {
        // Containers (title bars, their buttons)
        {"Toolbox/FilterTitle.png", [] { return Title(false); }},
        {"Toolbox/FilterTitleCollapsed.png", [] { return Title(true); }},
        {"Toolbox/CollapseOpen.png", [] { return TriangleImage(16, 16, 9, Direction::Down, Glyph); }},
        {"Toolbox/CollapseOpenOver.png", [] { return TriangleImage(16, 16, 9, Direction::Down, GlyphOver); }},
        {"Toolbox/CollapseClosed.png", [] { return TriangleImage(16, 16, 9, Direction::Right, Glyph); }},
        {"Toolbox/CollapseClosedOver.png", [] { return TriangleImage(16, 16, 9, Direction::Right, GlyphOver); }},
        {"Toolbox/CollapseOpenDisabled.png", [] { return TriangleImage(16, 16, 9, Direction::Down, GlyphDisabled); }},
        {"Toolbox/CollapseClosedDisabled.png",
         [] { return TriangleImage(16, 16, 9, Direction::Right, GlyphDisabled); }},
        {"Icons/FilterUp.png", [] { return MoveArrow(Direction::Up, Glyph); }},
        {"Icons/FilterUpOver.png", [] { return MoveArrow(Direction::Up, GlyphOver); }},
        {"Icons/FilterUpDisabled.png", [] { return MoveArrow(Direction::Up, GlyphDisabled); }},
        {"Icons/FilterDown.png", [] { return MoveArrow(Direction::Down, Glyph); }},
        {"Icons/FilterDownOver.png", [] { return MoveArrow(Direction::Down, GlyphOver); }},
        {"Icons/FilterDownDisabled.png", [] { return MoveArrow(Direction::Down, GlyphDisabled); }},
        {"Icons/Reset.png", [] { return Reset(Glyph); }},
        {"Icons/ResetOver.png", [] { return Reset(palette::AccentLight); }},
        {"Icons/ResetDisabled.png", [] { return Reset(GlyphDisabled); }},
        {"Icons/ToggleOff.png", [] { return Toggle(false); }},
        {"Icons/ToggleOn.png", [] { return Toggle(true); }},
        // Check boxes
        {"CheckBox/Unchecked.png", [] { return CheckBoxImage(CheckLook::Plain, {}); }},
        {"CheckBox/UncheckedOver.png", [] { return CheckBoxImage(CheckLook::Plain, {false, true, false}); }},
        {"CheckBox/UncheckedDisabled.png", [] { return CheckBoxImage(CheckLook::Plain, {false, false, true}); }},
        {"CheckBox/Checked.png", [] { return CheckBoxImage(CheckLook::Plain, {true, false, false}); }},
        {"CheckBox/CheckedOver.png", [] { return CheckBoxImage(CheckLook::Plain, {true, true, false}); }},
        {"CheckBox/CheckedDisabled.png", [] { return CheckBoxImage(CheckLook::Plain, {true, false, true}); }},
        {"CheckBox/EnableOff.png", [] { return CheckBoxImage(CheckLook::Enable, {}); }},
        {"CheckBox/EnableOffOver.png", [] { return CheckBoxImage(CheckLook::Enable, {false, true, false}); }},
        {"CheckBox/EnableOffDisabled.png", [] { return CheckBoxImage(CheckLook::Enable, {false, false, true}); }},
        {"CheckBox/EnableOn.png", [] { return CheckBoxImage(CheckLook::Enable, {true, false, false}); }},
        {"CheckBox/EnableOnOver.png", [] { return CheckBoxImage(CheckLook::Enable, {true, true, false}); }},
        {"CheckBox/EnableOnDisabled.png", [] { return CheckBoxImage(CheckLook::Enable, {true, false, true}); }},
        // Sliders, spin boxes, combo boxes, the dial's rotate buttons
        {"Slider/SliderHandle.png",
         [] { return SliderHandle(QColor(0xe4, 0xe4, 0xe4), QColor(0xa6, 0xa6, 0xa6), palette::Shadow, Qt::transparent); }},
        {"Slider/SliderHandleOver.png",
         [] { return SliderHandle(QColor(0xfa, 0xfa, 0xfa), QColor(0xc2, 0xc2, 0xc2), palette::Shadow, palette::Accent); }},
        {"Slider/SliderHandleDisabled.png",
         [] { return SliderHandle(QColor(0x5e, 0x5e, 0x5e), QColor(0x4c, 0x4c, 0x4c), QColor(0x22, 0x22, 0x22), Qt::transparent); }},
        {"Arrows/Up.png", [] { return TriangleImage(9, 6, 8, Direction::Up, Glyph); }},
        {"Arrows/UpDisabled.png", [] { return TriangleImage(9, 6, 8, Direction::Up, GlyphDisabled); }},
        {"Arrows/Down.png", [] { return TriangleImage(9, 6, 8, Direction::Down, Glyph); }},
        {"Arrows/DownDisabled.png", [] { return TriangleImage(9, 6, 8, Direction::Down, GlyphDisabled); }},
        {"Icons/ArrowLeft.png", [] { return Rotate(false); }},
        {"Icons/ArrowRight.png", [] { return Rotate(true); }},
        // Buttons
        {"Button/ButtonDefault.png", [] { return Button(kButton); }},
        {"Button/ButtonOver.png", [] { return Button(kButtonOver); }},
        {"Button/ButtonDown.png", [] { return Button(kButtonDown); }},
        {"Button/ButtonDisabled.png", [] { return Button(kButtonDisabled); }},
        {"Button/ButtonChecked.png", [] { return Button(kButtonChecked); }},
        {"Button/PopupButtonText.png", [] { return PopupText(kButton); }},
        {"Button/PopupButtonTextOver.png", [] { return PopupText(kButtonOver); }},
        {"Button/PopupButtonTextDown.png", [] { return PopupText(kButtonDown); }},
        {"Button/PopupButtonTextDisabled.png", [disabledPopup] { return PopupText(disabledPopup); }},
        {"Button/PopupButtonMenu.png", [] { return PopupMenu(kButton); }},
        {"Button/PopupButtonMenuOver.png", [] { return PopupMenu(kButtonOver); }},
        {"Button/PopupButtonMenuDown.png", [] { return PopupMenu(kButtonDown); }},
        {"Button/PopupButtonMenuDisabled.png", [disabledPopup] { return PopupMenu(disabledPopup); }},
        // Tabs
        {"Tab/TabSelected.png", [] { return Tab(TabState::Selected); }},
        {"Tab/TabUnselectedDefault.png", [] { return Tab(TabState::Unselected); }},
        {"Tab/TabUnselectedOver.png", [] { return Tab(TabState::UnselectedOver); }},
        // The thumbnail pane
        {"DragDropWindow/DragAndDrop.png", [] { return PlaceholderImage(Placeholder::DragAndDrop); }},
        {"DragDropWindow/OfflinePreview.png", [] { return PlaceholderImage(Placeholder::Offline); }},
        {"DragDropWindow/OfflinePreviewClick.png", [] { return PlaceholderImage(Placeholder::OfflineClick); }},
        {"DragDropWindow/ThumbnailInfoBackground.png", [] { return Filled(4, 4, Black(150)); }},
    };
    for (const std::vector<SkinImage>& more : {ToolsetImages(), IconImages()})
        images.insert(images.end(), more.begin(), more.end());
    return images;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <Modules/UI/Resources folder>\n", argv[0]);
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    int failures = 0;
    for (const SkinImage& skin : SkinImages()) {
        const QString path = root.filePath(QString::fromLatin1(skin.path));
        if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !skin.draw().save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
            continue;
        }
        std::printf("    <file>%s</file>\n", skin.path);
    }
    return failures == 0 ? 0 : 1;
}
