// Draws the images of the canvas items into a folder: the icon the scale handles show while
// hovered (ScaleIcon.png), the cursor over the corners and edges of the shadow quad and the
// mask points (MaskMoveCursor.png, hot spot at its top-left corner), and the icons of the mask
// points' menu (StraightPoint.png, CurvedPoint.png, Minus.png). The images are committed; run
// this only to change them:
//   cmake --build build --target lumora-canvas-images

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cstdio>

namespace {

const QColor kOutline(20, 20, 20, 255);
const QColor kArrow(255, 255, 255, 255);
const QColor kAccent(152, 201, 8, 255);
// The menu's text colour: the icons stand on its dark grey.
const QColor kMenuText(203, 203, 203, 255);

QImage Transparent(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A double-headed arrow from a to b with heads of the given size.
QPainterPath DoubleArrow(const QPointF& a, const QPointF& b, double head)
{
    const QLineF line(a, b);
    const QLineF unit = line.unitVector();
    const QPointF along(unit.dx(), unit.dy());
    const QPointF across(-along.y(), along.x());
    QPainterPath path;
    path.moveTo(a + along * head);
    path.lineTo(b - along * head);
    path.addPolygon(QPolygonF({a, a + along * head + across * head * 0.7, a + along * head - across * head * 0.7, a}));
    path.addPolygon(QPolygonF({b, b - along * head + across * head * 0.7, b - along * head - across * head * 0.7, b}));
    return path;
}

// 16 x 16: a diagonal double arrow on a dark tile, drawn inside the handle's green square.
QImage DrawScaleIcon()
{
    QImage image = Transparent(16, 16);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 150));
    painter.drawRect(QRectF(0, 0, 16, 16));
    const QPainterPath arrow = DoubleArrow(QPointF(3, 3), QPointF(13, 13), 4.0);
    painter.setPen(QPen(kArrow, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(kArrow);
    painter.drawPath(arrow);
    return image;
}

// 32 x 32: the pointer with its tip at (0, 0) and a four-way move cross below right of it.
QImage DrawMoveCursor()
{
    QImage image = Transparent(32, 32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);

    QPainterPath pointer;
    pointer.moveTo(0.5, 0.5);
    pointer.lineTo(0.5, 15);
    pointer.lineTo(4.2, 11.6);
    pointer.lineTo(7, 17.5);
    pointer.lineTo(9.4, 16.4);
    pointer.lineTo(6.7, 10.6);
    pointer.lineTo(11.5, 10.6);
    pointer.closeSubpath();
    painter.setPen(QPen(kOutline, 1.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(kArrow);
    painter.drawPath(pointer);

    const QPointF centre(22, 22);
    QPainterPath cross = DoubleArrow(centre - QPointF(8, 0), centre + QPointF(8, 0), 3.5);
    cross.addPath(DoubleArrow(centre - QPointF(0, 8), centre + QPointF(0, 8), 3.5));
    // A dark rim first so the cross shows on light and dark photographs alike.
    painter.setPen(QPen(kOutline, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(kOutline);
    painter.drawPath(cross);
    painter.setPen(QPen(kAccent, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(kAccent);
    painter.drawPath(cross);
    return image;
}

// 16 x 16: a corner of a path through a square point.
QImage DrawStraightPointIcon()
{
    QImage image = Transparent(16, 16);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(kMenuText, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF({QPointF(1.5, 14.5), QPointF(8, 4), QPointF(14.5, 14.5)}));
    painter.setPen(QPen(kAccent, 1.2));
    painter.setBrush(QColor(44, 44, 44, 255));
    painter.drawRect(QRectF(5.5, 1.5, 5, 5));
    return image;
}

// 16 x 16: an arch of a path through a round point with its tangent.
QImage DrawCurvedPointIcon()
{
    QImage image = Transparent(16, 16);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath arch(QPointF(1.5, 14.5));
    arch.cubicTo(QPointF(2, 6), QPointF(5, 4), QPointF(8, 4));
    arch.cubicTo(QPointF(11, 4), QPointF(14, 6), QPointF(14.5, 14.5));
    painter.setPen(QPen(kMenuText, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(arch);
    painter.setPen(QPen(QColor(70, 180, 193, 255), 1.0));
    painter.drawLine(QPointF(2, 4), QPointF(14, 4));
    painter.setPen(QPen(kAccent, 1.2));
    painter.setBrush(QColor(44, 44, 44, 255));
    painter.drawEllipse(QPointF(8, 4), 2.6, 2.6);
    return image;
}

// 16 x 16: a bar.
QImage DrawMinusIcon()
{
    QImage image = Transparent(16, 16);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kMenuText);
    painter.drawRoundedRect(QRectF(2.5, 6.75, 11, 2.5), 1, 1);
    return image;
}

bool Save(const QImage& image, const QDir& folder, const QString& name)
{
    const QString path = folder.filePath(name);
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    bool written = Save(DrawScaleIcon(), folder, QStringLiteral("ScaleIcon.png"));
    written = Save(DrawMoveCursor(), folder, QStringLiteral("MaskMoveCursor.png")) && written;
    written = Save(DrawStraightPointIcon(), folder, QStringLiteral("StraightPoint.png")) && written;
    written = Save(DrawCurvedPointIcon(), folder, QStringLiteral("CurvedPoint.png")) && written;
    written = Save(DrawMinusIcon(), folder, QStringLiteral("Minus.png")) && written;
    return written ? 0 : 1;
}
