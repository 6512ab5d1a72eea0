// Draws the program's artwork into a folder: the splash picture (SplashScreen_LM.png, which the
// about box shows too) and the program's icon at 256, 48, 32 and 16 pixels (LumoIcon*.png).
// The pictures are committed; run this only to change them:
//   cmake --build build --target lumora-artwork
// The motif is what the program does: a portrait keyed off its green backdrop, the backdrop
// giving way to an evening sky along a diagonal wipe, a rim of light around the hair. The version
// is not drawn here: the windows write it over the picture at run time.

#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>

namespace {

// Colours shared by the splash picture and the icon.
const QColor kBackdropLight(52, 196, 104);
const QColor kBackdropDark(18, 122, 60);
const QColor kSkyTop(38, 24, 78);
const QColor kSkyMiddle(196, 66, 110);
const QColor kSkyHorizon(250, 164, 84);
const QColor kSun(255, 222, 160);
const QColor kSubjectTop(24, 28, 40);
const QColor kSubjectBottom(10, 12, 18);
const QColor kRimWarm(255, 190, 120);
const QColor kRimCool(150, 255, 190);
const QColor kAccentA(92, 214, 140);
const QColor kAccentB(56, 189, 248);

// A head-and-shoulders portrait with long hair, head centre (cx, cy), head radius r; it reaches
// below bottom. hair receives the outline of the hair alone.
QPainterPath Portrait(double cx, double cy, double r, double bottom, QPainterPath* hairOutline = nullptr)
{
    QPainterPath head;
    head.addEllipse(QPointF(cx, cy + r * 0.05), r * 0.74, r * 0.95);
    // Hair falling to the shoulders, fuller on one side, as a photographed head has it.
    QPainterPath hair;
    hair.moveTo(cx - r * 1.22, cy + r * 1.75);
    hair.cubicTo(cx - r * 1.1, cy + r * 1.2, cx - r * 0.92, cy + r * 0.8, cx - r * 0.96, cy + r * 0.1);
    hair.cubicTo(cx - r * 1.02, cy - r * 0.75, cx - r * 0.55, cy - r * 1.18, cx + r * 0.05, cy - r * 1.16);
    hair.cubicTo(cx + r * 0.72, cy - r * 1.14, cx + r * 1.12, cy - r * 0.62, cx + r * 1.04, cy + r * 0.12);
    hair.cubicTo(cx + r * 0.98, cy + r * 0.8, cx + r * 1.18, cy + r * 1.2, cx + r * 1.34, cy + r * 1.75);
    hair.closeSubpath();
    if (hairOutline != nullptr)
        *hairOutline = hair;
    QPainterPath neck;
    neck.addRoundedRect(QRectF(cx - r * 0.34, cy + r * 0.6, r * 0.68, r * 1.0), r * 0.2, r * 0.2);
    QPainterPath body;
    const double shoulderY = cy + r * 1.85;
    body.moveTo(cx - r * 0.4, cy + r * 1.35);
    body.cubicTo(cx - r * 0.7, shoulderY - r * 0.05, cx - r * 2.1, shoulderY - r * 0.1, cx - r * 2.45, shoulderY + r * 0.85);
    body.lineTo(cx - r * 2.8, bottom);
    body.lineTo(cx + r * 2.8, bottom);
    body.lineTo(cx + r * 2.45, shoulderY + r * 0.85);
    body.cubicTo(cx + r * 2.1, shoulderY - r * 0.1, cx + r * 0.7, shoulderY - r * 0.05, cx + r * 0.4, cy + r * 1.35);
    body.closeSubpath();
    return head.united(hair).united(neck).united(body).simplified();
}

// Fine flyaway strands leaving the hair's outline between two fractions of it: the detail a
// good key keeps.
void DrawStrands(QPainter& p, const QPainterPath& hair, double from, double to, int count, double r,
                 const QColor& colour, double width)
{
    p.save();
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < count; ++i) {
        const double t = from + (to - from) * (i + 0.5) / count;
        const QPointF start = hair.pointAtPercent(t);
        const double tangent = hair.angleAtPercent(t) * M_PI / 180.0;
        // Outward: the normal that leaves the hair.
        QPointF normal(std::sin(tangent), std::cos(tangent));
        if (hair.contains(start + normal * 2.0))
            normal = -normal;
        // Hair falls: each strand runs down along the outline and drifts a little away from it.
        QPointF along(std::cos(tangent), -std::sin(tangent));
        if (along.y() < 0)
            along = -along;
        const double reach = r * (0.22 + 0.2 * std::fabs(std::sin(i * 2.7)));
        const double spread = 0.18 + 0.22 * std::fabs(std::cos(i * 1.9));
        const QPointF tip = start + along * reach + normal * reach * spread;
        QPainterPath strand(start - normal * 1.5);
        strand.quadTo(start + along * reach * 0.55 + normal * reach * spread * 0.15, tip);
        QColor c = colour;
        c.setAlphaF(0.3 + 0.35 * std::fabs(std::sin(i * 1.3)));
        p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(strand);
    }
    p.restore();
}

// The scene inside rect: backdrop left of the wipe, sky right of it, the portrait over both; it
// stays inside the painter's clip. detail: strands and rim light (left out at small icon sizes).
void DrawKeyedScene(QPainter& p, const QRectF& rect, double cx, double cy, double r, double wipeTop, double wipeBottom,
                    bool detail)
{
    const double lineWidth = std::max(1.0, r / 34.0);
    // Green backdrop, lit brighter behind the subject as a studio lights it.
    QRadialGradient studio(QPointF(cx - r * 0.8, cy), r * 4.0);
    studio.setColorAt(0.0, kBackdropLight);
    studio.setColorAt(1.0, kBackdropDark);
    p.fillRect(rect, studio);

    // The evening sky replaces the backdrop right of the wipe.
    QPainterPath skyArea;
    skyArea.moveTo(wipeTop, rect.top() - 1);
    skyArea.lineTo(rect.right() + 1, rect.top() - 1);
    skyArea.lineTo(rect.right() + 1, rect.bottom() + 1);
    skyArea.lineTo(wipeBottom, rect.bottom() + 1);
    skyArea.closeSubpath();
    QLinearGradient sky(0, rect.top(), 0, rect.bottom());
    sky.setColorAt(0.0, kSkyTop);
    sky.setColorAt(0.5, kSkyMiddle);
    sky.setColorAt(0.8, kSkyHorizon);
    sky.setColorAt(1.0, kSkyHorizon.darker(140));
    p.fillPath(skyArea, sky);
    p.save();
    p.setClipPath(skyArea, Qt::IntersectClip);
    QRadialGradient sun(QPointF(cx + r * 1.7, rect.top() + rect.height() * 0.74), r * 1.8);
    sun.setColorAt(0.0, kSun);
    sun.setColorAt(0.2, QColor(kSun.red(), kSun.green(), kSun.blue(), 190));
    sun.setColorAt(1.0, QColor(kSun.red(), kSun.green(), kSun.blue(), 0));
    p.fillRect(rect, sun);
    p.restore();

    // The wipe itself, a fine bright line.
    p.setPen(QPen(QColor(255, 255, 255, 140), lineWidth));
    p.drawLine(QPointF(wipeTop, rect.top()), QPointF(wipeBottom, rect.bottom() + 1));

    QPainterPath hair;
    const QPainterPath subject = Portrait(cx, cy, r, rect.bottom() + r, &hair);
    if (detail) {
        // Flyaways glow warm against the sky; against the backdrop they are dark and few.
        p.save();
        p.setClipPath(skyArea, Qt::IntersectClip);
        DrawStrands(p, hair, 0.4, 0.8, 34, r, kRimWarm, lineWidth * 0.75);
        p.restore();
        p.save();
        QPainterPath backdropArea;
        backdropArea.addRect(rect);
        p.setClipPath(backdropArea.subtracted(skyArea), Qt::IntersectClip);
        DrawStrands(p, hair, 0.12, 0.5, 16, r, QColor(12, 40, 24), lineWidth * 0.75);
        p.restore();
    }
    QLinearGradient body(0, cy - r, 0, rect.bottom());
    body.setColorAt(0.0, kSubjectTop);
    body.setColorAt(1.0, kSubjectBottom);
    p.fillPath(subject, body);
    if (detail) {
        // Light wrap: a thin inner rim where the sky lights the subject from behind.
        p.save();
        p.setClipPath(subject.intersected(skyArea), Qt::IntersectClip);
        QLinearGradient rim(0, cy - r, 0, rect.bottom());
        rim.setColorAt(0.0, QColor(kRimWarm.red(), kRimWarm.green(), kRimWarm.blue(), 170));
        rim.setColorAt(0.6, QColor(kRimWarm.red(), kRimWarm.green(), kRimWarm.blue(), 230));
        rim.setColorAt(1.0, QColor(kRimWarm.red(), kRimWarm.green(), kRimWarm.blue(), 120));
        p.setPen(QPen(QBrush(rim), lineWidth * 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(subject);
        p.restore();
    }
}

QImage DrawSplash()
{
    constexpr int kWidth = 640;
    constexpr int kHeight = 400;
    constexpr int kMargin = 14; // room for the shadow around the card
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);

    const QRectF card(kMargin, kMargin - 4, kWidth - 2 * kMargin, kHeight - 2 * kMargin);
    const double radius = 16;
    QPainterPath cardPath;
    cardPath.addRoundedRect(card, radius, radius);

    // A soft shadow below the card, in growing, fading rings.
    for (int i = kMargin; i > 0; --i) {
        QPainterPath ring;
        ring.addRoundedRect(card.adjusted(-i, -i + 4, i, i + 4), radius + i, radius + i);
        p.fillPath(ring, QColor(0, 0, 0, static_cast<int>(7 * (1.0 - double(i) / kMargin) + 1)));
    }

    // The card: deep blue to plum, with a faint glow behind the name.
    QLinearGradient base(card.topLeft(), card.bottomRight());
    base.setColorAt(0.0, QColor(16, 24, 38));
    base.setColorAt(1.0, QColor(30, 18, 44));
    p.fillPath(cardPath, base);
    p.save();
    p.setClipPath(cardPath);
    QRadialGradient glow(QPointF(card.left() + 120, card.top() + 170), 260);
    glow.setColorAt(0.0, QColor(60, 120, 140, 70));
    glow.setColorAt(1.0, QColor(60, 120, 140, 0));
    p.fillRect(card, glow);

    // The keyed portrait on the right, faded into the card on its left.
    const QRectF panel(card.left() + card.width() * 0.46, card.top(), card.width() * 0.54, card.height());
    QImage scene(image.size(), QImage::Format_ARGB32_Premultiplied);
    scene.fill(Qt::transparent);
    {
        QPainter s(&scene);
        s.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        const double cx = panel.left() + panel.width() * 0.55;
        DrawKeyedScene(s, panel, cx, card.top() + 148, 50, cx - 24, cx + 70, true);
        // Faded in from the left, over the whole picture so no edge is left.
        s.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        QLinearGradient fade(panel.left(), 0, panel.left() + 100, 0);
        fade.setColorAt(0.0, QColor(0, 0, 0, 0));
        fade.setColorAt(1.0, QColor(0, 0, 0, 255));
        s.fillRect(scene.rect(), fade);
    }
    p.drawImage(0, 0, scene);
    p.restore();

    // A fine light edge around the card.
    p.setPen(QPen(QColor(255, 255, 255, 28), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(cardPath);

    // The name: "Lumora" light, "4" bold in the accent gradient.
    const double left = 40;
    QFont nameFont(QStringLiteral("DejaVu Sans"));
    nameFont.setPixelSize(58);
    nameFont.setWeight(QFont::Light);
    nameFont.setLetterSpacing(QFont::PercentageSpacing, 97);
    QFont numberFont(QStringLiteral("DejaVu Sans"));
    numberFont.setPixelSize(58);
    numberFont.setWeight(QFont::Bold);
    const double nameBaseline = 196;
    QPainterPath name;
    name.addText(left - 2, nameBaseline, nameFont, QStringLiteral("Lumora"));
    p.fillPath(name, QColor(244, 246, 250));
    const double numberLeft = left + QFontMetricsF(nameFont).horizontalAdvance(QStringLiteral("Lumora")) + 12;
    QPainterPath number;
    number.addText(numberLeft, nameBaseline, numberFont, QStringLiteral("4"));
    QLinearGradient accent(numberLeft, nameBaseline - 44, numberLeft + 36, nameBaseline);
    accent.setColorAt(0.0, kAccentA);
    accent.setColorAt(1.0, kAccentB);
    p.fillPath(number, accent);

    // What it is for.
    QFont tagFont(QStringLiteral("DejaVu Sans"));
    tagFont.setPixelSize(15);
    p.setFont(tagFont);
    p.setPen(QColor(160, 172, 190));
    p.drawText(QPointF(left, nameBaseline + 34), QStringLiteral("Photo keying and compositing"));

    // An accent rule; the version is written below it at run time (baseline 60 above the bottom).
    QLinearGradient rule(left, 0, left + 56, 0);
    rule.setColorAt(0.0, kAccentA);
    rule.setColorAt(1.0, kAccentB);
    p.setPen(Qt::NoPen);
    p.setBrush(rule);
    p.drawRoundedRect(QRectF(left, nameBaseline + 56, 56, 3), 1.5, 1.5);

    // Small print at the foot of the card.
    QFont footFont(QStringLiteral("DejaVu Sans"));
    footFont.setPixelSize(10);
    p.setFont(footFont);
    p.setPen(QColor(120, 130, 148));
    p.drawText(QPointF(left, card.bottom() - 16), QStringLiteral("Halvern"));
    p.end();
    return image;
}

QImage DrawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const double inset = size >= 48 ? size * 0.04 : 0.0;
    const QRectF tile(inset, inset, size - 2 * inset, size - 2 * inset);
    const double radius = tile.width() * 0.22;
    QPainterPath tilePath;
    tilePath.addRoundedRect(tile, radius, radius);
    p.setClipPath(tilePath);
    const double r = tile.width() * 0.17;
    const double cx = tile.left() + tile.width() * 0.5;
    const double cy = tile.top() + tile.height() * 0.42;
    DrawKeyedScene(p, tile, cx, cy, r, cx - r * 0.1, cx + r * 1.6, size >= 48);
    p.setClipping(false);
    // A light edge keeps the tile apart from dark panels.
    p.setPen(QPen(QColor(255, 255, 255, 60), std::max(1.0, size / 128.0)));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tilePath);
    p.end();
    return image;
}

bool Save(const QImage& image, const QDir& folder, const QString& name)
{
    const QString path = folder.filePath(name);
    if (!image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
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
    bool written = Save(DrawSplash(), folder, QStringLiteral("SplashScreen_LM.png"));
    written = Save(DrawIcon(256), folder, QStringLiteral("LumoIcon.png")) && written;
    for (const int size : {48, 32, 16})
        written = Save(DrawIcon(size), folder, QStringLiteral("LumoIcon-%1.png").arg(size)) && written;
    return written ? 0 : 1;
}
