#include "CanvasRenderFixture.h"
#include "Exif.h"

#include "TextDrawing.h"
#include "TextItem.h"
#include "TransformItems.h"

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <limits>

using hvn::image::HXDownsampleFactor0;

namespace lumo::app {
namespace {

using testing::CanvasRenderTest;
using testing::kCanvasHeight;
using testing::kCanvasWidth;
using testing::RectImage;
using testing::Solid;

const QRgb kRed = qRgb(220, 0, 0);
const QRgb kGreen = qRgb(0, 200, 0);
const QRgb kBlue = qRgb(0, 0, 230);

class ExportRenderingTest : public CanvasRenderTest {
protected:
    void SetUp() override
    {
        CanvasRenderTest::SetUp();
        SwitchOffKeys();
    }

    QImage Export(LMerr expected = LMerrSuccess, const QUuid& id = QUuid())
    {
        QImage image;
        processor->RemoveCacheBeforeExport();
        EXPECT_EQ(processor->RenderExportImage(id.isNull() ? foreground->Id() : id, image), expected);
        EXPECT_EQ(processor->RestoreCacheAfterExport(), LMerrSuccess);
        return image;
    }

    std::shared_ptr<TransformationTransformItem> Placement(const ImageLayerPtr& layer)
    {
        TransformList::Pointer item;
        manager->GetLayerSettings(layer->Id())->Transforms().GetFilterByType(TransformItemTypeTransformation, item);
        return std::dynamic_pointer_cast<TransformationTransformItem>(item);
    }
};

TEST_F(ExportRenderingTest, ExportSizeFollowsTheCanvasDimensionType)
{
    Load(foreground, Solid(24, 16, kBlue));
    Load(background, Solid(50, 20, kRed));
    struct Case {
        const char* name;
        CanvasDimensionType type;
        bool foregroundOffline;
        bool backgroundValid;
        QSize expected;
    };
    const Case cases[] = {
        {"preset", CanvasDimensionPreset, false, true, QSize(kCanvasWidth, kCanvasHeight)},
        {"custom", CanvasDimensionCustom, false, true, QSize(kCanvasWidth, kCanvasHeight)},
        {"foreground", CanvasDimensionForeground, false, true, QSize(24, 16)},
        {"offline foreground", CanvasDimensionForeground, true, true, QSize(kCanvasWidth, kCanvasHeight)},
        {"background", CanvasDimensionBackground, false, true, QSize(50, 20)},
        {"invalid background", CanvasDimensionBackground, false, false, QSize(kCanvasWidth, kCanvasHeight)},
    };
    for (const Case& c : cases) {
        project->GetCanvas().SetDimensionType(c.type);
        foreground->SetOffline(c.foregroundOffline);
        background->SetIsValid(c.backgroundValid);
        const QImage image = Export();
        EXPECT_EQ(image.size(), c.expected) << c.name;
        EXPECT_EQ(image.format(), QImage::Format_ARGB32) << c.name;
    }

    // A size that cannot be held, margin included, is a lack of memory, never an overflow.
    project->GetCanvas().SetDimensionType(CanvasDimensionCustom);
    project->GetCanvas().SetDimensions(std::numeric_limits<int>::max() - 100, 1);
    Export(LMerrRenderOutOfMemory);
}

TEST_F(ExportRenderingTest, LayersStackInTheCompositeOrderAtFullResolution)
{
    // The canvas is 40 x 30; each photo is placed centred at its own size.
    Load(background, Solid(kCanvasWidth, kCanvasHeight, kRed));
    Load(further, RectImage(kCanvasWidth, kCanvasHeight, QRect(0, 0, 20, kCanvasHeight), kGreen));
    Load(foreground, RectImage(kCanvasWidth, kCanvasHeight, QRect(10, 0, 20, kCanvasHeight), kBlue));
    for (const bool above : {true, false}) {
        PlaceFurther(above);
        const QImage image = Export();
        ASSERT_EQ(image.size(), QSize(kCanvasWidth, kCanvasHeight));
        EXPECT_EQ(image.pixel(5, 15), kGreen);
        EXPECT_EQ(image.pixel(15, 15), above ? kGreen : kBlue) << "further layer above the foreground: " << above;
        EXPECT_EQ(image.pixel(25, 15), kBlue);
        EXPECT_EQ(image.pixel(35, 15), kRed);
    }

    // An offline foreground leaves the rest of the picture.
    foreground->SetOffline(true);
    const QImage image = Export();
    EXPECT_EQ(image.pixel(25, 15), kRed);
}

TEST_F(ExportRenderingTest, LayersThatCannotBeDrawnAreSkippedOrFailTheExport)
{
    Load(foreground, Solid(kCanvasWidth, kCanvasHeight, kBlue));
    Load(further, Solid(kCanvasWidth, kCanvasHeight, kGreen));
    for (const auto& [name, change] : std::initializer_list<std::pair<const char*, void (*)(ImageLayer&)>>{
             {"disabled", [](ImageLayer& l) { l.SetEnabled(false); }},
             {"invalid", [](ImageLayer& l) { l.SetIsValid(false); }},
             {"offline", [](ImageLayer& l) { l.SetOffline(true); }},
         }) {
        // The background and overlay have no photo; unless drawn they are no trouble.
        for (const ImageLayerPtr& layer : {background, overlay}) {
            layer->SetIsValid(true);
            layer->SetEnabled(true);
            layer->SetOffline(false);
            change(*layer);
        }
        EXPECT_FALSE(Export().isNull()) << name;
    }
    // A layer that is to be drawn but has no cached photo is a render failure, and the caller's
    // image stays as it was.
    background->SetEnabled(true);
    background->SetIsValid(true);
    background->SetOffline(false);
    QImage kept(2, 2, QImage::Format_ARGB32);
    kept.fill(Qt::yellow);
    EXPECT_EQ(processor->RenderExportImage(foreground->Id(), kept), LMerrRenderFailed);
    EXPECT_EQ(kept.size(), QSize(2, 2));
}

TEST_F(ExportRenderingTest, ExportFitStoresTheOverlayPlacement)
{
    Load(foreground, Solid(kCanvasWidth, kCanvasHeight, kBlue));
    Load(overlay, Solid(20, 10, kGreen));
    const auto placement = Placement(overlay);
    ASSERT_TRUE(placement);
    placement->SetTranslateX(0.5);
    placement->SetRotation(30.0);
    // The default overlay fits the canvas.
    const QImage image = Export();
    EXPECT_DOUBLE_EQ(placement->ScaleX(), 2.0);
    EXPECT_DOUBLE_EQ(placement->ScaleY(), 3.0);
    EXPECT_DOUBLE_EQ(placement->TranslateX(), 0.0);
    EXPECT_DOUBLE_EQ(placement->Rotation(), 0.0);
    EXPECT_EQ(image.pixel(0, 0), kGreen);
    EXPECT_EQ(image.pixel(kCanvasWidth - 1, kCanvasHeight - 1), kGreen);

    // Fitting to a foreground whose settings have no placement item: the start values.
    TransformList::Pointer fit;
    manager->GetLayerSettings(overlay->Id())->Transforms().GetFilterByType(TransformItemTypeFit, fit);
    std::dynamic_pointer_cast<FitTransformItem>(fit)->SetFit(FitToForeground);
    TransformList& foregroundTransforms = manager->GetForegroundSettings()->Transforms();
    TransformList::Pointer foregroundPlacement;
    foregroundTransforms.GetFilterByType(TransformItemTypeTransformation, foregroundPlacement);
    foregroundTransforms.Remove(foregroundPlacement->Id());
    Export();
    EXPECT_DOUBLE_EQ(placement->ScaleX(), 1.0);
    EXPECT_DOUBLE_EQ(placement->ScaleY(), 1.0);
}

TEST_F(ExportRenderingTest, NonCurrentForegroundIsReadFromItsFileWithoutTouchingTheCaches)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("other.png");
    ASSERT_TRUE(Solid(kCanvasWidth, kCanvasHeight, kGreen).save(path));
    const auto other = std::make_shared<ForegroundImageLayer>("other", path);
    ASSERT_EQ(manager->AddForegroundLayer(other), LMerrSuccess);
    Load(foreground, Solid(kCanvasWidth, kCanvasHeight, kBlue));
    const ImagePtr currentSource = Tables().SourceImages.value(foreground->Id()).value(HXDownsampleFactor0);

    const QImage image = Export(LMerrSuccess, other->Id());
    EXPECT_EQ(image.pixel(20, 15), kGreen);
    EXPECT_EQ(other->Dimensions(), QSize(kCanvasWidth, kCanvasHeight));
    EXPECT_TRUE(other->IsValid());
    EXPECT_FALSE(Tables().SourceImages.contains(other->Id()));
    EXPECT_EQ(Tables().SourceImages.value(foreground->Id()).value(HXDownsampleFactor0), currentSource);
    EXPECT_EQ(Export().pixel(20, 15), kBlue);

    // A photo that cannot be read fails the export, and so does one that is a fifo: it is not
    // opened (it would block the export for ever).
    other->SetPath(dir.filePath("missing.png"));
    Export(LMerrExportRender, other->Id());
    const QString fifo = dir.filePath("fifo.png");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    other->SetPath(fifo);
    Export(LMerrExportRender, other->Id());
    EXPECT_EQ(EXIF::CameraOrientation(fifo), EXIF::OrientationNone);
}

// A photo larger than Qt's own allocation limit (128 MB in Qt 6.4) is read by the export road as
// it is: the library lifts the limit itself, whatever program links it.
TEST_F(ExportRenderingTest, APhotoOverQtsImageLimitIsRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("large.jpg");
    {
        QImage large(6000, 6000, QImage::Format_RGB32); // 144 MB decoded
        large.fill(kGreen);
        ASSERT_TRUE(large.save(path, "JPG", 50));
    }
    const auto other = std::make_shared<ForegroundImageLayer>("other", path);
    ASSERT_EQ(manager->AddForegroundLayer(other), LMerrSuccess);
    // This program's start raised the limit; back to Qt's own for the test.
    const int raised = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(128);

    const QImage image = Export(LMerrSuccess, other->Id());
    EXPECT_EQ(other->Dimensions(), QSize(6000, 6000));
    EXPECT_GT(qGreen(image.pixel(20, 15)), 150);
    EXPECT_LT(qRed(image.pixel(20, 15)), 50);
    QImageReader::setAllocationLimit(raised);
}

TEST_F(ExportRenderingTest, TextIsDrawnLastAndCutAtTheCanvasEdge)
{
    Load(foreground, Solid(kCanvasWidth, kCanvasHeight, kBlue));
    Load(overlay, Solid(kCanvasWidth, kCanvasHeight, kGreen));
    const auto text = std::make_shared<TextItem>();
    text->SetTextString(QByteArray("W").toBase64());
    text->SetFontName("DejaVu Sans");
    text->SetFontSize(20);
    text->SetFontColor(Qt::white);
    text->SetTextAlignment(TextAlignmentCentre);
    ASSERT_EQ(Settings().TextItems().Add(text), LMerrSuccess);
    const auto whitePixels = [](const QImage& image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += qRed(image.pixel(x, y)) > 128 ? 1 : 0;
        return count;
    };
    EXPECT_GT(whitePixels(Export()), 10) << "over the overlay";
    // Past the canvas corner the text lies in the margin only.
    text->SetPosition(QPointF(1.2, 1.2));
    EXPECT_EQ(whitePixels(Export()), 0);
}

} // namespace
} // namespace lumo::app
