// Looks at a picture the program exported from a saved project, with the places of its layers, its
// mask and its text read from the project and the photograph's true matte from the sample writer:
//   JourneyCheck PROJECT EXPORTED TRUTH_FOLDER [TOLERANCE]
// TOLERANCE is the colour distance a pixel may be off (default 40; a JPEG needs more). Each check
// looks at the pixels where it alone decides what shows:
//   backdrop gone     next to no pixel anywhere is the backdrop's green
//   subject kept      where the photograph is solid subject, not masked and not under the
//                     overlay or the text: the subject's true colours
//   background shows  where the photograph is backdrop, likewise: the background's pixels
//   overlay on top    where the overlay is solid: the overlay's pixels
//   text drawn        the text's box holds its colour
//   mask removes      solid subject inside the removing mask: the background's pixels
// Prints one line per check and answers 0 when all pass.

#include "ItemLists.h"
#include "ImageLayer.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "Mask.h"
#include "Project.h"
#include "TextItem.h"
#include "TransformItems.h"
#include "TransformationFunctions.h"
#include "AlphaMaskRenderer.h"
#include "DrawableValues.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainterPath>

#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>

using namespace lumo::app;

namespace {

double Distance(QRgb a, QRgb b)
{
    const double dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
    return std::sqrt(dr * dr + dg * dg + db * db);
}

bool IsBackdrop(QRgb pixel)
{
    const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
    return g >= 90 && g > r * 1.4 && g > b * 1.4;
}

// A layer image and where its pixels land in the exported picture.
struct Placed {
    QImage image;
    QTransform toExport;
    QTransform fromExport;
    bool valid = false;

    // The layer's pixel under an exported pixel's centre, if the layer covers it.
    std::optional<QPoint> At(int x, int y) const
    {
        if (!valid)
            return std::nullopt;
        const QPointF p = fromExport.map(QPointF(x + 0.5, y + 0.5));
        const QPoint pixel(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
        if (!image.rect().contains(pixel))
            return std::nullopt;
        return pixel;
    }
    // Whether the neighbourhood of the pixel is all inside the layer (no resampled edges).
    bool Inside(const QPoint& pixel, int margin) const
    {
        return image.rect().adjusted(margin, margin, -margin, -margin).contains(pixel);
    }
};

QImage Read(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull())
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
    return image;
}

Placed Place(const ProjectPtr& project, const ImageLayerPtr& layer, TransformList* transforms, const QUuid& foregroundId,
             const QSize& exportSize, bool fit)
{
    Placed placed;
    if (!layer || transforms == nullptr)
        return placed;
    placed.image = Read(layer->Path()).convertToFormat(QImage::Format_ARGB32);
    if (placed.image.isNull())
        return placed;
    if (fit) {
        // The export fits the layer to the exported size by its fit item, as it stands in the project.
        const auto fitItem = FindItemOfType<FitTransformItem>(*transforms, TransformItemTypeFit);
        const auto item =
            FindItemOfType<TransformationTransformItem>(*transforms, TransformItemTypeTransformation);
        FitLayerPlacement(*project->GetLayerManager(), fitItem ? fitItem->Fit() : FitToNone, exportSize, foregroundId,
                          placed.image.size(), item.get());
    }
    placed.toExport = ExportLayerTransform(static_cast<unsigned>(exportSize.width()),
                                           static_cast<unsigned>(exportSize.height()), project,
                                           static_cast<unsigned>(placed.image.width()),
                                           static_cast<unsigned>(placed.image.height()), *transforms);
    bool invertible = false;
    placed.fromExport = placed.toExport.inverted(&invertible);
    placed.valid = invertible;
    return placed;
}

struct Tally {
    const char* name;
    qint64 looked = 0;
    qint64 good = 0;
    double share = 0.9; // of the pixels looked at that must be good
    qint64 least = 200; // pixels to look at, at the least

    void Add(bool ok)
    {
        ++looked;
        good += ok ? 1 : 0;
    }
    bool Passed() const { return looked >= least && good >= share * looked; }
    bool Report() const
    {
        std::printf("%-18s %s  %lld of %lld pixels (%.1f %%)\n", name, Passed() ? "ok    " : "FAILED",
                    static_cast<long long>(good), static_cast<long long>(looked),
                    looked > 0 ? 100.0 * good / looked : 0.0);
        return Passed();
    }
};

QString TextOf(const TextItem& item)
{
    return QString::fromUtf8(QByteArray::fromBase64(item.TextString()));
}

// The box the text item is drawn in, in exported pixels. The export measures and draws the text
// in its working image, at QImage's default resolution, whatever resolution the file then gets.
QPainterPath TextBox(const TextItem& item, const QImage& exported)
{
    const QImage working(1, 1, QImage::Format_ARGB32);
    QFont font(item.FontName(), drawable::FontSize(item.FontSize()), -1, false);
    font.setBold(item.IsBold());
    font.setItalic(item.IsItalic());
    const QSizeF size = QFontMetricsF(font, &working).size(0, TextOf(item));
    double left = 0.0;
    if (item.TextAlignment() == TextAlignmentCentre)
        left = -0.5 * size.width();
    else if (item.TextAlignment() == TextAlignmentRight)
        left = -size.width();
    const double halfWidth = exported.width() * 0.5, halfHeight = exported.height() * 0.5;
    QTransform transform;
    transform.translate(halfWidth + drawable::CanvasFraction(item.Position().x()) * halfWidth,
                        halfHeight + drawable::CanvasFraction(item.Position().y()) * halfHeight);
    transform.rotate(drawable::Degrees(item.Angle()), Qt::ZAxis);
    QPainterPath box;
    box.addRect(QRectF(left, 0.0, size.width(), size.height()));
    return transform.map(box);
}

} // namespace

int main(int argc, char** argv)
{
    // Fonts for the text's box; no screen is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QImageReader::setAllocationLimit(0);
    if (argc < 4) {
        std::fprintf(stderr, "usage: JourneyCheck PROJECT EXPORTED TRUTH_FOLDER [TOLERANCE]\n");
        return 2;
    }
    const QString projectPath = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString exportedPath = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    // Absolute before the project is opened, which moves the working folder to its own.
    const QDir truths(QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath());
    const double tolerance = argc > 4 ? QByteArray(argv[4]).toDouble() : 40.0;

    LMerr result = LMerrSuccess;
    const auto project = std::make_shared<Project>(projectPath, result);
    if (result != 0) {
        std::fprintf(stderr, "cannot load the project (%d)\n", static_cast<int>(result));
        return 1;
    }
    const QImage exported = Read(exportedPath).convertToFormat(QImage::Format_ARGB32);
    if (exported.isNull())
        return 1;
    const QSize size = exported.size();
    const LayerManagerPtr manager = project->GetLayerManager();
    const QUuid foregroundId = manager->CurrentForegroundId();
    const ForegroundImageLayerPtr foregroundLayer = manager->GetForeground(foregroundId);
    const ForegroundImageLayerSettingsPtr foregroundSettings = manager->GetForegroundSettings(foregroundId);
    if (!foregroundLayer || !foregroundSettings || !manager->GetBackground() || !manager->GetOverlay()) {
        std::fprintf(stderr, "the project lacks a foreground, a background or an overlay\n");
        return 1;
    }

    const Placed photo = Place(project, foregroundLayer, &foregroundSettings->Transforms(), foregroundId, size, false);
    const ImageLayerPtr backgroundLayer = manager->GetBackground();
    const ImageLayerPtr overlayLayer = manager->GetOverlay();
    const auto transformsOf = [&](const ImageLayerPtr& layer) {
        const ImageLayerSettingsPtr settings = manager->GetLayerSettings(layer->Id(), foregroundId);
        return settings ? &settings->Transforms() : nullptr;
    };
    const Placed background = Place(project, backgroundLayer, transformsOf(backgroundLayer), foregroundId, size, true);
    const Placed overlay = Place(project, overlayLayer, transformsOf(overlayLayer), foregroundId, size, true);
    const QString base = QFileInfo(foregroundLayer->Path()).completeBaseName();
    const QImage alpha = Read(truths.filePath(base + QStringLiteral(" alpha.png"))).convertToFormat(QImage::Format_Grayscale8);
    const QImage truth = Read(truths.filePath(base + QStringLiteral(" foreground.png"))).convertToFormat(QImage::Format_RGB32);
    if (!photo.valid || !background.valid || !overlay.valid || alpha.isNull() || truth.isNull()) {
        std::fprintf(stderr, "a layer or a truth cannot be placed\n");
        return 1;
    }

    // The masks, in exported pixels, grown and shrunk by their feather and the resampling so that
    // the edges count for neither side.
    QPainterPath removed;
    const MaskList& masks = foregroundSettings->Masks();
    for (auto it = masks.Begin(); it != masks.End(); ++it) {
        const Mask& mask = **it;
        if (!mask.IsEnabled())
            continue;
        QPainterPath outline = photo.toExport.map(MaskOutline(mask));
        outline.closeSubpath();
        if (mask.IsRemove() == mask.IsInverted()) {
            QPainterPath all;
            all.addRect(QRectF(QPointF(0, 0), QSizeF(size)));
            outline = all.subtracted(outline);
        }
        removed = removed.united(outline);
    }
    const double edge = 12.0;
    QPainterPathStroker stroker;
    stroker.setWidth(2 * edge);
    const QPainterPath maskEdge = stroker.createStroke(removed);

    std::vector<QPainterPath> texts;
    const TextList& textItems = foregroundSettings->TextItems();
    for (auto it = textItems.Begin(); it != textItems.End(); ++it)
        if ((*it)->IsEnabled())
            texts.push_back(TextBox(**it, exported));
    QPainterPath textArea;
    for (const QPainterPath& box : texts)
        textArea = textArea.united(box);

    // What an exported pixel must show when nothing but the layers and the mask decide it, by the
    // overlay's, the matte's and the mask's neighbourhood there; edges are left alone.
    enum class Kind { Edge, Overlay, Subject, Background, Removed };
    struct Expected {
        Kind kind = Kind::Edge;
        QRgb colour = 0;
    };
    const auto expectedAt = [&](int x, int y) {
        Expected expected;
        const QPointF centre(x + 0.5, y + 0.5);
        const auto o = overlay.At(x, y);
        if (!o || !overlay.Inside(*o, 3))
            return expected;
        int least = 255, most = 0;
        for (int dy = -3; dy <= 3; dy += 3)
            for (int dx = -3; dx <= 3; dx += 3) {
                const int a = qAlpha(overlay.image.pixel(o->x() + dx, o->y() + dy));
                least = std::min(least, a);
                most = std::max(most, a);
            }
        if (least == 255)
            return Expected{Kind::Overlay, overlay.image.pixel(*o)};
        if (most != 0)
            return expected;
        const auto p = photo.At(x, y);
        int solid = -1; // -1 an edge, 0 backdrop, 1 subject
        if (!p) {
            solid = 0;
        } else if (photo.Inside(*p, 4)) {
            int low = 255, high = 0;
            for (int dy = -4; dy <= 4; dy += 2)
                for (int dx = -4; dx <= 4; dx += 2) {
                    const int a = qGray(alpha.pixel(p->x() + dx, p->y() + dy));
                    low = std::min(low, a);
                    high = std::max(high, a);
                }
            solid = low == 255 ? 1 : high == 0 ? 0 : -1;
        }
        if (solid < 0 || maskEdge.contains(centre))
            return expected;
        const bool isRemoved = removed.contains(centre);
        if (solid == 1 && !isRemoved)
            return Expected{Kind::Subject, truth.pixel(*p)};
        const auto b = background.At(x, y);
        if (!b || !background.Inside(*b, 2))
            return expected;
        return Expected{solid == 1 ? Kind::Removed : Kind::Background, background.image.pixel(*b)};
    };

    Tally backdrop{"backdrop gone", 0, 0, 0.995, 10000};
    Tally subject{"subject kept"};
    Tally shows{"background shows"};
    Tally onTop{"overlay on top"};
    Tally maskShows{"mask removes"};
    // Every third pixel each way: enough to judge, fast on a full-size picture.
    for (int y = 1; y < size.height(); y += 3) {
        const auto* row = reinterpret_cast<const QRgb*>(exported.constScanLine(y));
        for (int x = 1; x < size.width(); x += 3) {
            const QRgb seen = row[x];
            backdrop.Add(!IsBackdrop(seen));
            if (textArea.intersects(QRectF(QPointF(x - 3.5, y - 3.5), QSizeF(8, 8))))
                continue;
            const Expected expected = expectedAt(x, y);
            const bool near = Distance(seen, expected.colour) <= tolerance;
            switch (expected.kind) {
            case Kind::Overlay:
                onTop.Add(near);
                break;
            case Kind::Subject:
                subject.Add(near);
                break;
            case Kind::Background:
                shows.Add(near);
                break;
            case Kind::Removed:
                maskShows.Add(near);
                break;
            case Kind::Edge:
                break;
            }
        }
    }

    bool passed = backdrop.Report();
    passed = subject.Report() && passed;
    passed = shows.Report() && passed;
    passed = onTop.Report() && passed;
    if (masks.Size() > 0)
        passed = maskShows.Report() && passed;
    // The text: its box holds its colour where the layers beneath would not show it (a white
    // caption over a white frame proves nothing).
    int index = 0;
    for (auto it = textItems.Begin(); it != textItems.End(); ++it) {
        if (!(*it)->IsEnabled())
            continue;
        const QPainterPath& box = texts[static_cast<size_t>(index++)];
        const QRect bounds = box.boundingRect().toAlignedRect().intersected(exported.rect());
        const QRgb colour = (*it)->FontColor().rgb();
        qint64 looked = 0, inked = 0;
        for (int y = bounds.top(); y <= bounds.bottom(); ++y)
            for (int x = bounds.left(); x <= bounds.right(); ++x) {
                if (!box.contains(QPointF(x + 0.5, y + 0.5)))
                    continue;
                const Expected beneath = expectedAt(x, y);
                if (beneath.kind == Kind::Edge || Distance(beneath.colour, colour) <= tolerance)
                    continue;
                ++looked;
                inked += Distance(exported.pixel(x, y), colour) <= tolerance ? 1 : 0;
            }
        // Glyphs fill a part of their box.
        const bool drawn = looked >= 2000 && inked >= 200 && inked * 20 >= looked;
        std::printf("%-18s %s  \"%s\": %lld of %lld pixels in its colour\n", "text drawn", drawn ? "ok    " : "FAILED",
                    qPrintable(TextOf(**it)), static_cast<long long>(inked), static_cast<long long>(looked));
        passed = drawn && passed;
    }
    return passed ? 0 : 1;
}
