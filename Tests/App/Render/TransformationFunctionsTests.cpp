#include "TransformationFunctions.h"

#include "RenderProcessorImpl.h"

#include "ItemLists.h"
#include "LayerManager.h"
#include "Project.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace lumo::app {
namespace {

void ExpectPoint(const QPointF& actual, const QPointF& expected, const char* what)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9) << what;
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9) << what;
}

TEST(CombineLayerTransformation, WorkedExamples)
{
    const struct {
        const char* what;
        TransformationTransformItem item;
        unsigned w, h;
        HXDownsampleFactor factor;
        QPointF centre;  // where the layer's centre lands, canvas coordinates
        QPointF topLeft; // where the layer's (0, 0) lands
    } cases[] = {
        {"untouched layer is centred", {0, 0, 1, 1, 0}, 100, 50, HXDownsampleFactor0, {0, 0}, {-50, -25}},
        {"translate x 1 puts the left edge on the canvas's right edge", {1, 0, 1, 1, 0}, 100, 50, HXDownsampleFactor0,
         {250, 0}, {200, -25}},
        {"scale and negative translation", {0, -0.5, 1, 2, 0}, 100, 50, HXDownsampleFactor0, {0, -100}, {-50, -150}},
        {"quarter turn clockwise", {0, 0, 1, 1, 90}, 100, 50, HXDownsampleFactor0, {0, 0}, {25, -50}},
        {"mirrored", {0, 0, -1, 1, 0}, 100, 50, HXDownsampleFactor0, {0, 0}, {50, -25}},
        // At the preview the layer is 25 x 12 and the canvas length is scaled: trunc(12.5 + 50) = 62.
        {"preview factor", {1, 0, 1, 1, 0}, 25, 12, HXDownsampleFactor3, {62, 0}, {49.5, -6}},
    };
    for (const auto& c : cases) {
        QTransform t;
        CombineLayerTransformation(&c.item, c.w, c.h, 400, 300, t, c.factor);
        ExpectPoint(t.map(QPointF(c.w * 0.5, c.h * 0.5)), c.centre, c.what);
        ExpectPoint(t.map(QPointF(0, 0)), c.topLeft, c.what);
    }
    QTransform unchanged(2, 0, 0, 3, 4, 5);
    CombineLayerTransformation(nullptr, 10, 10, 10, 10, unchanged, HXDownsampleFactor0);
    EXPECT_EQ(unchanged, QTransform(2, 0, 0, 3, 4, 5));
}

TEST(CombineCanvasAndWorkspaceTransformation, WorkedExamples)
{
    QTransform canvas;
    CombineCanvasTransformation(400, 300, canvas, HXDownsampleFactor0);
    ExpectPoint(canvas.map(QPointF(0, 0)), {200, 150}, "canvas factor 0");
    QTransform preview;
    CombineCanvasTransformation(400, 300, preview, HXDownsampleFactor3);
    ExpectPoint(preview.map(QPointF(0, 0)), {50, 37.5}, "canvas factor 3");

    LMerr result = LMerrSuccess;
    const auto project = std::make_shared<Project>(result);
    ASSERT_EQ(result, LMerrSuccess);
    project->GetCanvas().SetCentre(500, 400);
    project->GetCanvas().SetScale(0.5f);
    project->GetCanvas().SetPosition(10, -20);
    // centre + scale * (p + position); at the preview centre and position are scaled and truncated.
    const struct {
        HXDownsampleFactor factor;
        QPointF origin;
        QPointF point;
    } cases[] = {
        {HXDownsampleFactor0, {505, 390}, {555, 440}},
        {HXDownsampleFactor3, {126, 97.5}, {176, 147.5}},
    };
    for (const auto& c : cases) {
        QTransform t;
        CombineWorkspaceTransformation(project, t, c.factor);
        ExpectPoint(t.map(QPointF(0, 0)), c.origin, "workspace origin");
        ExpectPoint(t.map(QPointF(100, 100)), c.point, "workspace point");
    }
}

// How placing was drawn before it ran in parallel, as the reference: an opaque deep copy of the
// source drawn onto the target with QPainter, the source drawn onto a copy of the old target, and
// the alpha taken from that copy.
void PainterTransformImage(const QImage& source, QImage& target, const QTransform& transform, bool smooth)
{
    QImage opaque = source.copy();
    for (int y = 0; y < opaque.height(); ++y)
        for (int x = 0; x < opaque.width(); ++x)
            opaque.scanLine(y)[x * 4 + 3] = 255;
    QImage oldTarget = target.copy();
    auto draw = [&](QImage& device, const QImage& image) {
        QPainter painter(&device);
        painter.setTransform(transform);
        if (smooth)
            painter.setRenderHints(QPainter::SmoothPixmapTransform | QPainter::Antialiasing);
        painter.drawImage(0, 0, image);
    };
    draw(target, opaque);
    draw(oldTarget, source);
    for (int y = 0; y < target.height(); ++y)
        for (int x = 0; x < target.width(); ++x)
            target.scanLine(y)[x * 4 + 3] = oldTarget.constScanLine(y)[x * 4 + 3];
}

// A photo as the keyer leaves it: colours that change by at most a level from pixel to pixel (the
// unmixed colour carries on under the removed backdrop), and, keyed, an alpha that is 0 on the
// left, ramps up steeply and has a half-transparent band.
QImage KeyedPhoto(int width, int height, bool opaque)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int alpha = 255;
            if (!opaque)
                alpha = x < width / 4 ? 0 : y > height / 2 && y < height / 2 + 6 ? 96 : std::min(255, (x - width / 4) * 40);
            image.setPixel(x, y, qRgba(60 + x, 80 + y, 120 + (x + y) / 2, alpha));
        }
    return image;
}

// Placing draws what the two QPainter draws drew, within a level, on a cleared target: the same
// pixels sampled at the same places, the same edge coverage. Two tolerances are wider, where the
// old draw was the less exact one: on the antialiased edges of a turned quad its rasteriser's
// coverage strays from the covered area by up to 6 levels (ours is the exact area: below), and
// colours are compared where both draws drew something (the old also painted the colour of fully
// transparent pixels, which no later stage shows).
TEST(TransformImage, WithinALevelOfThePainterDraws)
{
    QTransform downscale = QTransform::fromScale(0.37, 0.41);
    QTransform fitted; // as a 42-megapixel photo in a window
    fitted.translate(41.5, 35).scale(0.19, 0.19).translate(-48.5, -30.5);
    QTransform turned;
    turned.translate(40, -10).rotate(30).scale(0.8, 1.3);
    QTransform mirrored;
    mirrored.translate(90, 5).scale(-1.7, 1.1);
    // Off exact ties: a pixel centre that maps exactly onto a source pixel's edge went to either
    // neighbour in the old draw's fixed point.
    QTransform upscale;
    upscale.translate(-20.4, -13.25).scale(2.3, 2.3);
    QTransform partlyOutside;
    partlyOutside.translate(60.5, 30.5).rotate(-75);
    const struct {
        const char* what;
        QTransform transform;
        int edgeTolerance;
    } transforms[] = {
        {"shifted", QTransform::fromTranslate(3.25, -2.5), 1},
        {"downscale", downscale, 1},
        {"fitted", fitted, 1},
        {"turned", turned, 6},
        {"mirrored", mirrored, 1},
        {"upscale", upscale, 1},
        {"partly outside", partlyOutside, 6},
    };
    for (const bool opaque : {false, true}) {
        const QImage source = KeyedPhoto(97, 61, opaque);
        for (const auto& t : transforms) {
            for (const bool smooth : {true, false}) {
                const std::string what =
                    std::string(t.what) + (smooth ? " smooth" : " fast") + (opaque ? " opaque" : " keyed");
                QImage expected(83, 71, QImage::Format_ARGB32);
                expected.fill(0);
                QImage actual = expected.copy();
                PainterTransformImage(source, expected, t.transform, smooth);
                QImage sourceCopy = source;
                helper::TransformImage(sourceCopy, actual, t.transform, smooth);
                // An edge pixel: one the quad's outline crosses (a corner of it outside the quad).
                const QTransform inverse = t.transform.inverted();
                const auto inside = [&](double x, double y) {
                    const QPointF p = inverse.map(QPointF(x, y));
                    return p.x() >= 0 && p.x() <= source.width() && p.y() >= 0 && p.y() <= source.height();
                };
                int worstAlpha = 0;
                int worstEdge = 0;
                int worstColour = 0;
                for (int y = 0; y < actual.height(); ++y)
                    for (int x = 0; x < actual.width(); ++x) {
                        const QRgb a = actual.pixel(x, y);
                        const QRgb e = expected.pixel(x, y);
                        const bool edge = smooth && !(inside(x, y) && inside(x + 1, y) && inside(x, y + 1) &&
                                                      inside(x + 1, y + 1));
                        int& worst = edge ? worstEdge : worstAlpha;
                        worst = std::max(worst, std::abs(qAlpha(a) - qAlpha(e)));
                        if (qAlpha(a) > 0 && qAlpha(e) > 0)
                            worstColour = std::max({worstColour, std::abs(qRed(a) - qRed(e)),
                                                    std::abs(qGreen(a) - qGreen(e)), std::abs(qBlue(a) - qBlue(e))});
                    }
                EXPECT_LE(worstAlpha, 1) << what;
                EXPECT_LE(worstEdge, t.edgeTolerance) << what;
                EXPECT_LE(worstColour, 1) << what;

                // The HXImage8 form and the render pass (which replaces the whole target) agree.
                QImage viaPass(83, 71, QImage::Format_ARGB32);
                viaPass.fill(qRgba(1, 2, 3, 4));
                const hvn::image::HXImage8 sourceView(const_cast<uchar*>(source.constBits()), source.width(),
                                                      source.height(), hvn::image::HXPixelChannelOrderBGRA);
                hvn::image::HXImage8 targetView(viaPass.bits(), viaPass.width(), viaPass.height(),
                                                hvn::image::HXPixelChannelOrderBGRA);
                RunTransformPass(t.transform, smooth, sourceView, targetView);
                EXPECT_TRUE(viaPass == actual) << what << " through the render pass";
            }
        }
    }
}

// A smooth placement covers each edge pixel by the part of its area inside the quad.
TEST(TransformImage, EdgeCoverageIsTheCoveredArea)
{
    QImage source(40, 40, QImage::Format_ARGB32);
    source.fill(qRgba(10, 200, 30, 255));
    const auto alphaAt = [&](const QTransform& transform, int x, int y) {
        QImage target(60, 60, QImage::Format_ARGB32);
        target.fill(0);
        helper::TransformImage(source, target, transform, true);
        return qAlpha(target.pixel(x, y));
    };
    // The left edge at x = 10.25 (scaled, so not a plain shift): three quarters of pixel 10.
    EXPECT_EQ(alphaAt(QTransform(1.01, 0, 0, 1, 10.25, 5), 10, 20), 191);
    // A square turned 45 degrees about its corner at (30, 0): its edges run through pixel corners
    // and halve the pixels they cross.
    QTransform diamond;
    diamond.translate(30, 0).rotate(45);
    EXPECT_EQ(alphaAt(diamond, 30, 0), 128);
    EXPECT_EQ(alphaAt(diamond, 29, 0), 128);
    EXPECT_EQ(alphaAt(diamond, 30, 5), 255);
    EXPECT_EQ(alphaAt(diamond, 35, 5), 128);
}

// Over a target that already holds pixels the source goes source-over, premultiplied: where it is
// transparent the target keeps its colour, where it is half transparent the two mix.
TEST(TransformImage, ComposesOverTheTarget)
{
    QImage source(3, 1, QImage::Format_ARGB32);
    source.setPixel(0, 0, qRgba(200, 100, 50, 255));
    source.setPixel(1, 0, qRgba(10, 20, 30, 0));
    source.setPixel(2, 0, qRgba(200, 100, 50, 128));
    QImage target(3, 1, QImage::Format_ARGB32);
    target.fill(qRgba(0, 0, 250, 128));
    helper::TransformImage(source, target, QTransform(), true);
    EXPECT_EQ(target.pixel(0, 0), qRgba(200, 100, 50, 255));
    EXPECT_EQ(target.pixel(1, 0), qRgba(0, 0, 250, 128));
    // 128 over 128: alpha 192; colour two thirds the source's, one third the target's.
    const QRgb mixed = target.pixel(2, 0);
    EXPECT_NEAR(qAlpha(mixed), 192, 1);
    EXPECT_NEAR(qRed(mixed), 133, 1);
    EXPECT_NEAR(qGreen(mixed), 67, 1);
    EXPECT_NEAR(qBlue(mixed), 117, 1);
}

// An opaque rectangle placed by the layer transform covers the window pixels between the corners
// that the transformation functions give, at full quality and at the preview.
TEST(LayerTransform, RenderedRectangleMatchesTheTransformedCorners)
{
    LMerr result = LMerrSuccess;
    const auto project = std::make_shared<Project>(result);
    ASSERT_EQ(result, LMerrSuccess);
    Canvas& canvas = project->GetCanvas();
    canvas.SetDimensions(600, 400);
    canvas.SetCentre(320, 240);
    canvas.SetScale(0.75f);
    canvas.SetPosition(-40, 20);
    TransformList transforms;
    transforms.Add(std::make_shared<TransformationTransformItem>(0.3, -0.2, 0.8, 1.2, 0.0));

    for (const HXDownsampleFactor factor : {HXDownsampleFactor0, HXDownsampleFactor3}) {
        const double ratio = hvn::image::DownsampleValue(factor);
        const int w = static_cast<int>(320 * ratio);
        const int h = static_cast<int>(200 * ratio);
        QImage layer(w, h, QImage::Format_ARGB32);
        layer.fill(qRgba(255, 0, 0, 255));
        QImage window(static_cast<int>(std::ceil(640 * ratio)), static_cast<int>(std::ceil(480 * ratio)),
                      QImage::Format_ARGB32);
        window.fill(0);
        const QTransform t = LayerTransform(project, w, h, transforms, factor);
        helper::TransformImage(layer, window, t, factor == HXDownsampleFactor0);

        const QRectF expected = t.mapRect(QRectF(0, 0, w, h));
        int left = window.width(), top = window.height(), right = -1, bottom = -1;
        for (int y = 0; y < window.height(); ++y)
            for (int x = 0; x < window.width(); ++x)
                if (qAlpha(window.pixel(x, y)) >= 128) {
                    left = std::min(left, x);
                    right = std::max(right, x + 1);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y + 1);
                }
        EXPECT_NEAR(left, expected.left(), 1.0) << "factor " << factor;
        EXPECT_NEAR(right, expected.right(), 1.0) << "factor " << factor;
        EXPECT_NEAR(top, expected.top(), 1.0) << "factor " << factor;
        EXPECT_NEAR(bottom, expected.bottom(), 1.0) << "factor " << factor;
    }
    // Without a transformation item the layer is drawn unplaced.
    EXPECT_TRUE(LayerTransform(project, 10, 10, TransformList(), HXDownsampleFactor0).isIdentity());
}

TEST(ExportLayerTransform, PlacesTheLayerInCanvasPixels)
{
    LMerr result = LMerrSuccess;
    const auto project = std::make_shared<Project>(result);
    ASSERT_EQ(result, LMerrSuccess);
    project->GetCanvas().SetDimensions(600, 400);
    TransformList transforms;
    transforms.Add(std::make_shared<TransformationTransformItem>(1.0, 0.0, 1.0, 1.0, 0.0));
    // Export image with a 200-pixel margin: 1000 x 800, centre (500, 400); X = trunc(50 + 300).
    const QTransform t = ExportLayerTransform(1000, 800, project, 100, 60, transforms);
    ExpectPoint(t.map(QPointF(50, 30)), {850, 400}, "export centre");
}

class FitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LMerr result = LMerrSuccess;
        project = std::make_shared<Project>(result);
        ASSERT_EQ(result, LMerrSuccess);
        manager = project->GetLayerManager();
        project->GetCanvas().SetDimensions(600, 400);
        background = manager->GetBackground();
        overlay = manager->GetOverlay();
        background->SetDimensions(QSize(300, 200));
        background->SetIsValid(true);
        overlay->SetDimensions(QSize(150, 50));
        backgroundItem = Transformation(manager->GetLayerSettings(LayerTypeBackground));
        overlayItem = Transformation(manager->GetLayerSettings(LayerTypeOverlay));
        ASSERT_TRUE(backgroundItem && overlayItem);
    }

    static std::shared_ptr<TransformationTransformItem> Transformation(const ImageLayerSettingsPtr& settings)
    {
        if (!settings)
            return nullptr;
        TransformList::Pointer item;
        settings->Transforms().GetFilterByType(TransformItemTypeTransformation, item);
        return std::dynamic_pointer_cast<TransformationTransformItem>(item);
    }

    ProjectPtr project;
    LayerManagerPtr manager;
    ImageLayerPtr background;
    ImageLayerPtr overlay;
    std::shared_ptr<TransformationTransformItem> backgroundItem;
    std::shared_ptr<TransformationTransformItem> overlayItem;
};

TEST_F(FitTest, OverlayFollowsTheBackgroundOrTheCanvas)
{
    *backgroundItem = TransformationTransformItem(0.25, -0.5, -2.0, 1.5, 30.0);
    const struct {
        const char* what;
        FitTo fit;
        bool backgroundValid;
        TransformationTransformItem expected;
    } cases[] = {
        // Reference 600 x 300 from the mirrored background: the overlay is mirrored too.
        {"background", FitToBackground, true, {0.25, -0.5, -4.0, 6.0, 30.0}},
        {"invalid background keeps the scale", FitToBackground, false, {0.25, -0.5, 1.0, 1.0, 30.0}},
        {"canvas", FitToCanvas, true, {0.0, 0.0, 4.0, 8.0, 0.0}},
    };
    for (const auto& c : cases) {
        *overlayItem = TransformationTransformItem();
        background->SetIsValid(c.backgroundValid);
        EXPECT_TRUE(FitOverlayToTransform(project, c.fit)) << c.what;
        EXPECT_EQ(overlayItem->TranslateX(), c.expected.TranslateX()) << c.what;
        EXPECT_EQ(overlayItem->TranslateY(), c.expected.TranslateY()) << c.what;
        EXPECT_EQ(overlayItem->ScaleX(), c.expected.ScaleX()) << c.what;
        EXPECT_EQ(overlayItem->ScaleY(), c.expected.ScaleY()) << c.what;
        EXPECT_EQ(overlayItem->Rotation(), c.expected.Rotation()) << c.what;
        EXPECT_FALSE(FitOverlayToTransform(project, c.fit)) << c.what << ": nothing changes the second time";
    }
    EXPECT_FALSE(FitOverlayToTransform(project, FitToNone));
    EXPECT_FALSE(FitOverlayToTransform(project, static_cast<FitTo>(7)));
}

TEST_F(FitTest, LayerFitsByItsOwnFitItem)
{
    TransformList::Pointer fitItem;
    const ImageLayerSettingsPtr settings = manager->GetLayerSettings(overlay->Id());
    ASSERT_TRUE(settings);
    ASSERT_EQ(settings->Transforms().GetFilterByType(TransformItemTypeFit, fitItem), LMerrSuccess);
    auto fit = std::dynamic_pointer_cast<FitTransformItem>(fitItem);
    fit->SetFit(FitToCanvas);
    *overlayItem = TransformationTransformItem();
    EXPECT_TRUE(FitLayerToTransform(project, overlay));
    EXPECT_EQ(overlayItem->ScaleX(), 4.0);
    EXPECT_EQ(overlayItem->ScaleY(), 8.0);
    EXPECT_FALSE(FitLayerToTransform(project, overlay));
    fit->SetFit(FitToNone);
    *overlayItem = TransformationTransformItem();
    EXPECT_FALSE(FitLayerToTransform(project, overlay));
    EXPECT_FALSE(FitLayerToTransform(project, nullptr));
}

} // namespace
} // namespace lumo::app
