// The 16 x 16 icons of the canvas actions bar and the panels, drawn with the rest of the skin
// images by DrawSkinImages (see its header for how to run it).

#include "SkinPainting.h"

#include <QFont>

namespace skin {

namespace {

// ---- The canvas actions bar's icons, 16 x 16, light glyphs for its dark buttons

// A sheet of paper with its top-right corner folded.
void Page(QPainter& painter, const QRectF& r, const QColor& colour)
{
    const double fold = r.width() * 0.35;
    painter.setPen(GlyphPen(colour));
    painter.setBrush(QColor(colour.red(), colour.green(), colour.blue(), 40));
    const QPointF points[] = {r.topLeft(), {r.right() - fold, r.top()}, {r.right(), r.top() + fold}, r.bottomRight(),
                              r.bottomLeft()};
    painter.drawPolygon(points, 5);
    painter.setBrush(Qt::NoBrush);
    const QPointF corner[] = {{r.right() - fold, r.top()}, {r.right() - fold, r.top() + fold}, {r.right(), r.top() + fold}};
    painter.drawPolyline(corner, 3);
}

QImage NewProjectIcon()
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    Page(painter, QRectF(3.5, 1.5, 9, 13), palette::Text);
    Stroke(painter, {{10.5, 9}, {10.5, 14}}, palette::Accent, 1.8);
    Stroke(painter, {{8, 11.5}, {13, 11.5}}, palette::Accent, 1.8);
    return image;
}

QImage OpenProjectIcon()
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    painter.setPen(GlyphPen(palette::Text));
    painter.setBrush(QColor(0xcb, 0xcb, 0xcb, 40));
    const QPointF back[] = {{1.5, 13.5}, {1.5, 3.5}, {5.5, 3.5}, {7, 5}, {12.5, 5}, {12.5, 7}};
    painter.drawPolyline(back, 6);
    painter.setBrush(QColor(0xcb, 0xcb, 0xcb, 90));
    const QPointF front[] = {{1.5, 13.5}, {4, 7.5}, {14.5, 7.5}, {12, 13.5}};
    painter.drawPolygon(front, 4);
    return image;
}

QImage SaveProjectIcon()
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    // A tray and an arrow down into it.
    Stroke(painter, {{2, 10}, {2, 14}, {14, 14}, {14, 10}}, palette::Text, 1.4);
    Stroke(painter, {{8, 1.5}, {8, 9}}, palette::Accent, 1.8);
    FillPolygon(painter, {{4.5, 7.5}, {11.5, 7.5}, {8, 11.5}}, palette::Accent);
    return image;
}

QImage PrintIcon()
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    painter.setPen(GlyphPen(palette::Text));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(4.5, 1.5, 7, 4));
    painter.setBrush(QColor(0xcb, 0xcb, 0xcb, 70));
    painter.drawRoundedRect(QRectF(1.5, 5.5, 13, 6), 1.5, 1.5);
    painter.setBrush(palette::Toolbox);
    painter.drawRect(QRectF(4.5, 9.5, 7, 5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::Accent);
    painter.drawEllipse(QPointF(12.5, 7.5), 0.9, 0.9);
    return image;
}

// A picture with an arrow leaving it: the quick export.
QImage ExportIcon()
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    painter.setPen(GlyphPen(palette::Text));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(1.5, 4.5, 10, 10), 1, 1);
    FillPolygon(painter, {{2.5, 13.5}, {5.5, 9}, {7.5, 11.5}, {8.5, 10.5}, {10.5, 13.5}}, palette::Text);
    Stroke(painter, {{8.5, 7.5}, {14, 2}}, palette::Accent, 1.8);
    FillPolygon(painter, {{9.5, 1.2}, {14.8, 1.2}, {14.8, 6.5}}, palette::Accent);
    return image;
}

// Four corners round the canvas: fit it to the window.
QImage FitToWindowIcon()
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    const double a = 1.5, b = 14.5, l = 4;
    for (const auto& corner : std::vector<std::vector<QPointF>>{{{a, a + l}, {a, a}, {a + l, a}},
                                                                 {{b - l, a}, {b, a}, {b, a + l}},
                                                                 {{b, b - l}, {b, b}, {b - l, b}},
                                                                 {{a + l, b}, {a, b}, {a, b - l}}})
        Stroke(painter, corner, palette::Text, 1.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::Accent);
    painter.drawRect(QRectF(5, 5, 6, 6));
    return image;
}

QImage HelpIcon()
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::Accent);
    painter.drawEllipse(QRectF(1, 1, 14, 14));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setPen(QColor(0x16, 0x1e, 0x00));
    painter.drawText(QRectF(1, 1, 14, 14.5), Qt::AlignCenter, QStringLiteral("?"));
    return image;
}

// ---- The position, overlay, layer and canvas size panels' icons, 16 x 16

// Two halves mirrored about a dashed axis: the left one solid, the right one its outline.
QImage FlipIcon(bool horizontal)
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    if (!horizontal)
        painter.setTransform(QTransform(0, 1, 1, 0, 0, 0)); // the same drawing about the diagonal
    painter.setPen(QPen(palette::TextDim, 1, Qt::DashLine));
    painter.drawLine(QPointF(8, 0.5), QPointF(8, 15.5));
    FillPolygon(painter, {{6, 3}, {6, 13}, {1, 13}}, palette::Text);
    painter.setPen(GlyphPen(palette::Accent, 1.2));
    painter.setBrush(Qt::NoBrush);
    const QPointF mirrored[] = {{10.5, 3.5}, {10.5, 12.5}, {14.5, 12.5}};
    painter.drawPolygon(mirrored, 3);
    return image;
}

// A sheet standing upright or lying on its side.
QImage OrientationIcon(bool portrait)
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    const QRectF sheet = portrait ? QRectF(3.5, 0.5, 9, 15) : QRectF(0.5, 3.5, 15, 9);
    painter.setPen(GlyphPen(palette::Text, 1.2));
    painter.setBrush(QColor(0xcb, 0xcb, 0xcb, 60));
    painter.drawRoundedRect(sheet, 1, 1);
    // Lines of print along the long side show which way it is read.
    for (int line = 0; line < 3; ++line) {
        const double y = sheet.top() + 3 + line * 2.5;
        Stroke(painter, {{sheet.left() + 2.5, y}, {sheet.right() - 2.5, y}}, palette::TextDim, 1);
    }
    return image;
}

// A layer's picture whose file is missing: a small landscape with a broken corner; `offline`
// draws it lit with a warning badge (the offline marker, which relinks on a click), otherwise
// dimmed (the cell of a layer whose file is where it was).
QImage OfflineMarkerIcon(bool offline)
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    const QColor colour = offline ? palette::Text : palette::GlyphDisabled;
    painter.setPen(GlyphPen(colour, 1.2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF({{9.5, 2.5}, {1.5, 2.5}, {1.5, 13.5}, {13.5, 13.5}, {13.5, 8.5}}));
    FillPolygon(painter, {{3, 12}, {6, 7}, {8.5, 10}, {10, 8.5}, {12, 12}}, colour);
    if (offline) {
        // An amber warning sign over the broken corner.
        FillPolygon(painter, {{12, 0}, {16, 8}, {8, 8}}, QColor(240, 168, 32));
        Stroke(painter, {{12, 2.8}, {12, 5}}, palette::Toolbox, 1.3);
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette::Toolbox);
        painter.drawEllipse(QPointF(12, 6.6), 0.7, 0.7);
    }
    return image;
}

// ---- The masks and text panels' icons, 16 x 16

QImage PlusIcon()
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    Stroke(painter, {{8, 2.5}, {8, 13.5}}, palette::Accent, 2.4);
    Stroke(painter, {{2.5, 8}, {13.5, 8}}, palette::Accent, 2.4);
    return image;
}

// A bin with its lid.
QImage DeleteIcon()
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    painter.setPen(GlyphPen(palette::Text, 1.3));
    painter.setBrush(QColor(0xcb, 0xcb, 0xcb, 40));
    const QPointF bin[] = {{3.5, 4.5}, {4.5, 14.5}, {11.5, 14.5}, {12.5, 4.5}};
    painter.drawPolygon(bin, 4);
    Stroke(painter, {{2, 3.5}, {14, 3.5}}, palette::Text, 1.5);
    Stroke(painter, {{6, 3.5}, {6.5, 1.5}, {9.5, 1.5}, {10, 3.5}}, palette::Text, 1.2);
    for (const double x : {6.5, 8.0, 9.5})
        Stroke(painter, {{x, 6.5}, {x, 12.5}}, palette::TextDim, 1);
    return image;
}

// An outline being drawn point by point, the next point coming.
QImage CreateIcon()
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    QPainterPath path(QPointF(2.5, 13.5));
    path.cubicTo(QPointF(3, 7), QPointF(7, 5.5), QPointF(9.5, 8.5));
    painter.setPen(QPen(palette::Text, 1.3));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    Node(painter, {2.5, 13.5}, palette::Text);
    Node(painter, {9.5, 8.5}, palette::Text);
    Stroke(painter, {{12, 1.5}, {12, 7.5}}, palette::Accent, 1.8);
    Stroke(painter, {{9, 4.5}, {15, 4.5}}, palette::Accent, 1.8);
    return image;
}

// A rubber band round two points, the pointer at its corner.
QImage SelectIcon()
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    painter.setPen(QPen(palette::Text, 1, Qt::DashLine));
    painter.setBrush(QColor(152, 201, 8, 40));
    painter.drawRect(QRectF(1.5, 1.5, 10, 9));
    Node(painter, {4.5, 4.5}, palette::Accent);
    Node(painter, {8.5, 7.5}, palette::Accent);
    painter.setPen(QPen(palette::Shadow, 0.8));
    painter.setBrush(palette::GlyphOver);
    const QPointF arrow[] = {{9, 8}, {9, 15.5}, {11, 13.5}, {12.6, 16}, {13.8, 15.3}, {12.3, 12.8}, {15, 12.5}};
    painter.drawPolygon(arrow, 7);
    return image;
}

// A letter for the text's bold, italic and underline buttons.
QImage LetterIcon(const QString& letter, bool bold, bool italic, bool underline)
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    QFont font(italic ? QStringLiteral("DejaVu Serif") : QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    font.setBold(bold);
    font.setItalic(italic);
    painter.setFont(font);
    painter.setPen(palette::Text);
    painter.drawText(QRectF(0, underline ? -1.5 : 0, 16, 16), Qt::AlignCenter, letter);
    if (underline)
        Stroke(painter, {{3.5, 14.5}, {12.5, 14.5}}, palette::Accent, 1.4);
    return image;
}

// Lines of text, aligned at the left, the centre or the right.
QImage AlignIcon(Qt::Alignment alignment)
{
    QImage image = Blank(16, 16);
    Painter painter(&image);
    const double lengths[] = {12, 8, 12, 6};
    for (int line = 0; line < 4; ++line) {
        const double length = lengths[line];
        const double left = alignment == Qt::AlignLeft    ? 2
                            : alignment == Qt::AlignRight ? 14 - length
                                                          : 8 - length / 2;
        const double y = 3 + line * 3.3;
        Stroke(painter, {{left, y}, {left + length, y}}, palette::Text, 1.4);
    }
    return image;
}

} // namespace

std::vector<SkinImage> IconImages()
{
    return {
        // The canvas actions bar
        {"Icons/NewProject.png", [] { return NewProjectIcon(); }},
        {"Icons/OpenProject.png", [] { return OpenProjectIcon(); }},
        {"Icons/SaveProject.png", [] { return SaveProjectIcon(); }},
        {"Icons/Print.png", [] { return PrintIcon(); }},
        {"Icons/ImageExportedEnabled.png", [] { return ExportIcon(); }},
        {"Icons/FitToWindow.png", [] { return FitToWindowIcon(); }},
        {"Icons/Help.png", [] { return HelpIcon(); }},
        // The position, overlay, layer and canvas size panels; the layers table
        {"Icons/FlipHorizontal.png", [] { return FlipIcon(true); }},
        {"Icons/FlipVertical.png", [] { return FlipIcon(false); }},
        {"Icons/Portrait.png", [] { return OrientationIcon(true); }},
        {"Icons/Landscape.png", [] { return OrientationIcon(false); }},
        // The fixed rows' empty cells keep an icon's room so that every row lines up.
        {"Icons/BlankIcon.png", [] { return Blank(16, 16); }},
        {"Icons/ImageOffline.png", [] { return OfflineMarkerIcon(false); }},
        {"Icons/ImageOfflineEnabled.png", [] { return OfflineMarkerIcon(true); }},
        // The masks and text panels
        {"Icons/Plus.png", [] { return PlusIcon(); }},
        {"Icons/Delete.png", [] { return DeleteIcon(); }},
        {"Icons/Create.png", [] { return CreateIcon(); }},
        {"Icons/Select.png", [] { return SelectIcon(); }},
        {"Icons/TextBold.png", [] { return LetterIcon(QStringLiteral("B"), true, false, false); }},
        {"Icons/TextItalic.png", [] { return LetterIcon(QStringLiteral("I"), false, true, false); }},
        {"Icons/TextUnderline.png", [] { return LetterIcon(QStringLiteral("U"), false, false, true); }},
        {"Icons/TextAlignLeft.png", [] { return AlignIcon(Qt::AlignLeft); }},
        {"Icons/TextAlignCenter.png", [] { return AlignIcon(Qt::AlignHCenter); }},
        {"Icons/TextAlignRight.png", [] { return AlignIcon(Qt::AlignRight); }},
    };
}

} // namespace skin
