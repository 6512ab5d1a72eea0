#include "RenderProcessorTestPeer.h"
#include "RenderTestImages.h"

#include "ForegroundImageLayer.h"
#include "ImageBuffers.h"
#include "ImageLayer.h"
#include "LayerManager.h"
#include "PhotoReading.h"
#include "Project.h"

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTransform>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;
using hvn::image::HXPixelChannelOrderBGRA;

namespace lumo::app {
namespace {

using testing::JpegWithOrientation;
using testing::TwoHalves;
using testing::WriteFile;

constexpr RenderLevel kUntouched = static_cast<RenderLevel>(99);

class RenderCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LMerr result = LMerrSuccess;
        project = std::make_shared<Project>(result);
        ASSERT_EQ(result, LMerrSuccess);
        manager = project->GetLayerManager();
        processor = std::make_unique<RenderProcessor>(project, HXPixelChannelOrderBGRA, QRect(0, 0, 201, 101), result);
        foreground = std::make_shared<ForegroundImageLayer>("foreground", QString());
        ASSERT_EQ(manager->AddForegroundLayer(foreground), LMerrSuccess);
        manager->SetCurrentForegroundId(foreground->Id());
        background = manager->GetBackground();
        overlay = manager->GetOverlay();
        ASSERT_TRUE(background && overlay);
        further = std::make_shared<ImageLayer>(LayerTypeImage, "further", QString());
        ASSERT_EQ(manager->AddLayer(further), LMerrSuccess);
        QList<QUuid> order = manager->LayerList()->CompositeOrder();
        order.append(further->Id());
        manager->UpdateCompositionOrderList(order);
    }

    RenderProcessorTestPeer::Tables& Tables() { return RenderProcessorTestPeer::Impl(*processor); }

    void LoadAll()
    {
        const QImage image = TwoHalves(40, 20, qRgb(0, 200, 0), qRgb(200, 0, 0));
        for (const ImageLayerPtr& layer : {ImageLayerPtr(foreground), background, overlay, further})
            ASSERT_EQ(processor->SetLayer(layer, image), LMerrSuccess);
    }

    void SetAllValid(const ImageLayerPtr& layer, HXDownsampleFactor factor)
    {
        for (int level = RenderLevelKey; level <= RenderLevelFinal; ++level)
            processor->SetCacheValid(layer, level, factor, true);
    }

    ImageLayerPtr Layer(LayerType type)
    {
        switch (type) {
        case LayerTypeForeground: return foreground;
        case LayerTypeBackground: return background;
        case LayerTypeOverlay: return overlay;
        default: return further;
        }
    }

    ProjectPtr project;
    LayerManagerPtr manager;
    std::unique_ptr<RenderProcessor> processor;
    ForegroundImageLayerPtr foreground;
    ImageLayerPtr background;
    ImageLayerPtr overlay;
    ImageLayerPtr further;
};

TEST(RenderProcessorConstruction, ScreenCachesAtBothFactors)
{
    LMerr result = LMerrSuccess;
    const struct {
        QRect screen;
        QSize full;
        QSize preview;
    } cases[] = {
        {QRect(QPoint(0, 0), QPoint(200, 100)), QSize(201, 101), QSize(51, 26)},
        {QRect(QPoint(10, 20), QPoint(10, 20)), QSize(1, 1), QSize(1, 1)}, // right == left: one pixel
        {QRect(QPoint(-4, 0), QPoint(3, 7)), QSize(8, 8), QSize(2, 2)},
    };
    for (const auto& c : cases) {
        RenderProcessor processor(nullptr, HXPixelChannelOrderBGRA, c.screen, result);
        auto& d = RenderProcessorTestPeer::Impl(processor);
        EXPECT_EQ(processor.WindowCacheRect(), c.screen);
        EXPECT_EQ(QSize(d.WindowImages[HXDownsampleFactor0]->Width(), d.WindowImages[HXDownsampleFactor0]->Height()), c.full);
        EXPECT_EQ(QSize(d.WindowImages[HXDownsampleFactor3]->Width(), d.WindowImages[HXDownsampleFactor3]->Height()),
                  c.preview);
    }
    EXPECT_THROW(RenderProcessor(nullptr, HXPixelChannelOrderBGRA, QRect(QPoint(5, 0), QPoint(4, 10)), result),
                 std::runtime_error);
    EXPECT_THROW(RenderProcessor(nullptr, HXPixelChannelOrderBGRA, QRect(QPoint(0, 5), QPoint(10, 4)), result),
                 std::runtime_error);
}

// Every combination of stale stages of every layer type: valid only when nothing is stale, and
// the level reported by the priority key, filter, placement, final for a foreground.
TEST_F(RenderCacheTest, IsCacheValidReportsTheStaleStageByPriority)
{
    LoadAll();
    const struct {
        LayerType type;
        std::vector<RenderLevel> stages; // in the order of the bits of the combination
    } types[] = {
        {LayerTypeForeground, {RenderLevelKey, RenderLevelPostFilter, RenderLevelFilter, RenderLevelFinal}},
        {LayerTypeBackground, {RenderLevelPostFilter, RenderLevelFilter}},
        {LayerTypeOverlay, {RenderLevelPostFilter}},
        {LayerTypeImage, {RenderLevelPostFilter}},
    };
    for (const auto& t : types) {
        const ImageLayerPtr layer = Layer(t.type);
        for (unsigned stale = 0; stale < (1u << t.stages.size()); ++stale) {
            SetAllValid(layer, HXDownsampleFactor3);
            for (std::size_t i = 0; i < t.stages.size(); ++i)
                processor->SetCacheValid(layer, t.stages[i], HXDownsampleFactor0, ((stale >> i) & 1u) == 0);
            auto isStale = [&](RenderLevel level) {
                for (std::size_t i = 0; i < t.stages.size(); ++i)
                    if (t.stages[i] == level)
                        return ((stale >> i) & 1u) != 0;
                return false;
            };
            RenderLevel expected = kUntouched;
            for (RenderLevel level : {RenderLevelFinal, RenderLevelPostFilter, RenderLevelFilter, RenderLevelKey})
                if (isStale(level))
                    expected = level;

            RenderLevel level = kUntouched;
            EXPECT_EQ(processor->IsCacheValid(layer, HXDownsampleFactor0, level), stale == 0)
                << "type " << t.type << " stale bits " << stale;
            EXPECT_EQ(level, expected) << "type " << t.type << " stale bits " << stale;
            // The other factor keeps its own flags.
            level = kUntouched;
            EXPECT_TRUE(processor->IsCacheValid(layer, HXDownsampleFactor3, level));
            EXPECT_EQ(level, kUntouched);
        }
    }
}

TEST_F(RenderCacheTest, StartLevelIsNeverLaterThanTheEarliestStaleStage)
{
    LoadAll();
    const struct {
        LayerType type;
        std::vector<RenderLevel> stale;
        RenderLevel requested;
        RenderLevel expected;
    } cases[] = {
        {LayerTypeForeground, {}, RenderLevelFilter, RenderLevelFilter},
        {LayerTypeForeground, {RenderLevelKey}, RenderLevelFinal, RenderLevelKey},
        {LayerTypeForeground, {RenderLevelPostFilter, RenderLevelFilter}, RenderLevelFinal, RenderLevelPostFilter},
        {LayerTypeForeground, {RenderLevelFilter}, RenderLevelPostFilter, RenderLevelPostFilter},
        {LayerTypeForeground, {RenderLevelFinal}, RenderLevelFinal, RenderLevelFinal},
        {LayerTypeBackground, {RenderLevelFilter}, RenderLevelFinal, RenderLevelFilter},
        {LayerTypeBackground, {RenderLevelPostFilter}, RenderLevelFilter, RenderLevelPostFilter},
        {LayerTypeBackground, {}, RenderLevelKey, RenderLevelKey},
        {LayerTypeOverlay, {RenderLevelPostFilter}, RenderLevelFinal, RenderLevelPostFilter},
        {LayerTypeImage, {}, RenderLevelFinal, RenderLevelFinal},
    };
    for (const auto& c : cases) {
        const ImageLayerPtr layer = Layer(c.type);
        SetAllValid(layer, HXDownsampleFactor3);
        for (RenderLevel level : c.stale)
            processor->SetCacheValid(layer, level, HXDownsampleFactor3, false);
        EXPECT_EQ(Tables().StartLevel(*layer, HXDownsampleFactor3, c.requested), c.expected)
            << "type " << c.type << " requested " << c.requested;
    }
}

// Levels a layer's type does not have change nothing; an unknown type is ignored everywhere.
TEST_F(RenderCacheTest, StagesATypeDoesNotHaveAreIgnored)
{
    LoadAll();
    const struct {
        LayerType type;
        std::vector<int> levels;
    } cases[] = {
        {LayerTypeForeground, {0, 5, -1}},
        {LayerTypeBackground, {RenderLevelKey, RenderLevelFinal, 0}},
        {LayerTypeOverlay, {RenderLevelKey, RenderLevelFilter, RenderLevelFinal}},
        {LayerTypeImage, {RenderLevelKey, RenderLevelFilter, RenderLevelFinal}},
    };
    for (const auto& c : cases) {
        const ImageLayerPtr layer = Layer(c.type);
        SetAllValid(layer, HXDownsampleFactor0);
        for (int level : c.levels)
            processor->SetCacheValid(layer, level, HXDownsampleFactor0, false);
        RenderLevel level = kUntouched;
        EXPECT_TRUE(processor->IsCacheValid(layer, HXDownsampleFactor0, level)) << "type " << c.type;
        EXPECT_EQ(level, kUntouched);
    }

    const auto unknown = std::make_shared<ImageLayer>(static_cast<LayerType>(5), "unknown", QString());
    EXPECT_EQ(processor->SetLayer(unknown, QImage(8, 8, QImage::Format_ARGB32)), LMerrInvalidRenderLayer);
    EXPECT_EQ(processor->RemoveLayer(unknown), LMerrInvalidRenderLayer);
    processor->SetCacheValid(unknown, RenderLevelPostFilter, HXDownsampleFactor0, false);
    RenderLevel level = kUntouched;
    EXPECT_TRUE(processor->IsCacheValid(unknown, HXDownsampleFactor0, level));
    EXPECT_EQ(level, kUntouched);
    EXPECT_FALSE(Tables().SourceImages.contains(unknown->Id()));
    EXPECT_FALSE(Tables().PostFilterValid.contains(unknown->Id()));
}

TEST_F(RenderCacheTest, SetLayerOfAForegroundMakesEveryStageStaleAtBothFactors)
{
    LoadAll();
    for (HXDownsampleFactor factor : {HXDownsampleFactor0, HXDownsampleFactor3}) {
        SetAllValid(foreground, factor);
        processor->InvalidateShadowCache(factor);
    }
    ASSERT_EQ(processor->SetLayer(foreground, QImage(12, 8, QImage::Format_RGB32)), LMerrSuccess);
    auto& d = Tables();
    for (HXDownsampleFactor factor : {HXDownsampleFactor0, HXDownsampleFactor3}) {
        RenderLevel level = kUntouched;
        EXPECT_FALSE(processor->IsCacheValid(foreground, factor, level));
        EXPECT_EQ(level, RenderLevelKey) << "factor " << factor;
        // The work image follows the source; the screen caches and mask buffers the window.
        const ImagePtr source = d.SourceImages[foreground->Id()][factor];
        ASSERT_TRUE(source && d.ForegroundWorkImages[factor]);
        EXPECT_EQ(d.ForegroundWorkImages[factor]->Width(), source->Width());
        EXPECT_EQ(d.ForegroundWorkImages[factor]->Height(), source->Height());
        EXPECT_EQ(d.ForegroundMaskBuffers[factor]->width, static_cast<unsigned>(d.WindowImages[factor]->Width()));
        EXPECT_EQ(d.ForegroundMaskBuffers[factor]->bytes.size(),
                  static_cast<std::size_t>(d.WindowImages[factor]->Width()) * d.WindowImages[factor]->Height());
        EXPECT_FALSE(d.ShadowValid[factor]);
    }
    EXPECT_EQ(QSize(d.SourceImages[foreground->Id()][HXDownsampleFactor3]->Width(),
                    d.SourceImages[foreground->Id()][HXDownsampleFactor3]->Height()),
              QSize(3, 2));
    EXPECT_TRUE(d.ForegroundExtraImages.isEmpty());
}

TEST_F(RenderCacheTest, RemovingTheForegroundMakesEveryPlacementStale)
{
    LoadAll();
    for (const ImageLayerPtr& layer : {background, overlay, further})
        SetAllValid(layer, HXDownsampleFactor0);
    ASSERT_EQ(processor->RemoveLayer(foreground), LMerrSuccess);
    for (const ImageLayerPtr& layer : {background, overlay, further}) {
        RenderLevel level = kUntouched;
        EXPECT_FALSE(processor->IsCacheValid(layer, HXDownsampleFactor0, level)) << "type " << layer->Type();
        EXPECT_NE(level, kUntouched);
    }
    auto& d = Tables();
    EXPECT_TRUE(d.SourceImages[foreground->Id()].isEmpty());
    EXPECT_TRUE(d.ForegroundWorkImages.isEmpty());
    EXPECT_TRUE(d.ForegroundMaskBuffers.isEmpty());

    // Removing another layer frees its caches and leaves the others alone.
    SetAllValid(background, HXDownsampleFactor0);
    ASSERT_EQ(processor->RemoveLayer(overlay), LMerrSuccess);
    EXPECT_TRUE(d.SourceImages[overlay->Id()].isEmpty());
    RenderLevel level = kUntouched;
    EXPECT_TRUE(processor->IsCacheValid(background, HXDownsampleFactor0, level));
}

// A snapshot of every image size and flag of the tables that the export frees and rebuilds.
std::map<std::string, std::string> Snapshot(RenderProcessorTestPeer::Tables& d)
{
    std::map<std::string, std::string> out;
    auto size = [](const ImagePtr& image) {
        return image ? std::to_string(image->Width()) + "x" + std::to_string(image->Height()) : std::string("none");
    };
    auto layerImages = [&](const char* name, const LayerImages& table) {
        for (auto layer = table.begin(); layer != table.end(); ++layer)
            for (auto f = layer->begin(); f != layer->end(); ++f)
                out[std::string(name) + layer.key().toString().toStdString() + std::to_string(f.key())] = size(f.value());
    };
    auto factorImages = [&](const char* name, const FactorImages& table) {
        for (auto f = table.begin(); f != table.end(); ++f)
            out[std::string(name) + std::to_string(f.key())] = size(f.value());
    };
    auto layerFlags = [&](const char* name, const LayerFlags& table) {
        for (auto layer = table.begin(); layer != table.end(); ++layer)
            for (auto f = layer->begin(); f != layer->end(); ++f)
                out[std::string(name) + layer.key().toString().toStdString() + std::to_string(f.key())] =
                    f.value() ? "valid" : "stale";
    };
    auto factorFlags = [&](const char* name, const FactorFlags& table) {
        for (auto f = table.begin(); f != table.end(); ++f)
            out[std::string(name) + std::to_string(f.key())] = f.value() ? "valid" : "stale";
    };
    layerImages("source", d.SourceImages);
    layerImages("layerWindow", d.LayerWindowImages);
    layerImages("stage", d.LayerStageImages);
    factorImages("work", d.ForegroundWorkImages);
    factorImages("extra", d.ForegroundExtraImages);
    factorImages("fgWindow", d.ForegroundWindowImages);
    for (auto f = d.ForegroundMaskBuffers.begin(); f != d.ForegroundMaskBuffers.end(); ++f)
        out["mask" + std::to_string(f.key())] = std::to_string(f.value()->width) + "x" + std::to_string(f.value()->height);
    layerFlags("postFilter", d.PostFilterValid);
    layerFlags("filter", d.FilterValid);
    factorFlags("key", d.KeyValid);
    factorFlags("final", d.FinalValid);
    factorFlags("shadow", d.ShadowValid);
    return out;
}

TEST_F(RenderCacheTest, ExportRemoveAndRestoreRebuildTheSameCachesFromTheSources)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Real files, removed before the restore: it must not read them again.
    const QImage photo = TwoHalves(40, 24, qRgb(0, 200, 0), qRgb(200, 0, 0));
    const ImageLayerPtr layers[] = {foreground, background, overlay, further};
    for (int i = 0; i < 4; ++i) {
        const QString path = dir.filePath(QString("layer%1.jpg").arg(i));
        ASSERT_TRUE(WriteFile(path, JpegWithOrientation(photo, i == 0 ? 6 : 1)));
        layers[i]->SetPath(path);
        ASSERT_EQ(processor->SetLayer(layers[i], QImage(path)), LMerrSuccess);
    }
    const auto before = Snapshot(Tables());
    const auto* sourceBytes = Tables().SourceImages[foreground->Id()][HXDownsampleFactor0]->Buffer();

    processor->RemoveCacheBeforeExport();
    auto& d = Tables();
    EXPECT_TRUE(d.LayerWindowImages.isEmpty());
    EXPECT_TRUE(d.LayerStageImages.isEmpty());
    EXPECT_TRUE(d.ForegroundWorkImages.isEmpty() && d.ForegroundWindowImages.isEmpty());
    EXPECT_TRUE(d.ForegroundMaskBuffers.isEmpty() && d.ForegroundExtraImages.isEmpty());
    EXPECT_EQ(d.SourceImages.size(), 4);

    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(QFile::remove(layers[i]->Path()));
    ASSERT_EQ(processor->RestoreCacheAfterExport(), LMerrSuccess);
    EXPECT_EQ(Snapshot(Tables()), before);
    EXPECT_EQ(Tables().SourceImages[foreground->Id()][HXDownsampleFactor0]->Buffer(), sourceBytes);
    // The turned foreground keeps its turned work size.
    EXPECT_EQ(Tables().ForegroundWorkImages[HXDownsampleFactor0]->Width(), 24);
}

TEST_F(RenderCacheTest, PhotosAreCachedUprightByTheirExifOrientation)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Green left half, red right half; 6 turns clockwise (left edge to the top), 8 anticlockwise.
    const QImage photo = TwoHalves(48, 24, qRgb(0, 220, 0), qRgb(220, 0, 0));
    const struct {
        int orientation;
        QSize full;
        bool greenOnTop;
        bool turned;
    } cases[] = {
        {6, QSize(24, 48), true, true},
        {8, QSize(24, 48), false, true},
        {1, QSize(48, 24), true, false},
        {3, QSize(48, 24), true, false}, // only quarter turns are applied
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(QString("photo%1.jpg").arg(c.orientation));
        ASSERT_TRUE(WriteFile(path, JpegWithOrientation(photo, c.orientation)));
        foreground->SetPath(path);
        ASSERT_EQ(processor->SetLayer(foreground, QImage(path)), LMerrSuccess);
        const ImagePtr full = Tables().SourceImages[foreground->Id()][HXDownsampleFactor0];
        const ImagePtr preview = Tables().SourceImages[foreground->Id()][HXDownsampleFactor3];
        ASSERT_TRUE(full && preview);
        EXPECT_EQ(QSize(full->Width(), full->Height()), c.full) << "orientation " << c.orientation;
        EXPECT_EQ(QSize(preview->Width(), preview->Height()), c.full / 4) << "orientation " << c.orientation;
        if (c.turned) {
            // Bytes B, G, R, A: the green channel of the top-centre pixel.
            const std::uint8_t* topCentre = full->Buffer() + (2 * full->Width() + full->Width() / 2) * 4;
            EXPECT_EQ(topCentre[1] > 150, c.greenOnTop) << "orientation " << c.orientation;
            EXPECT_EQ(topCentre[2] > 150, !c.greenOnTop) << "orientation " << c.orientation;
        }
    }
}

// A photo opened preview first: decoded straight at the preview source's size and turned upright
// like the whole photo, renderable at the preview factor at once and not at full quality; the whole
// photo then completes the layer and keeps the preview and what was rendered from it.
TEST_F(RenderCacheTest, PhotoOpenedPreviewFirst)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage photo = TwoHalves(403, 201, qRgb(0, 220, 0), qRgb(220, 0, 0)).convertToFormat(QImage::Format_RGB32);
    for (const int orientation : {1, 6}) {
        const QString path = dir.filePath(QString("photo%1.jpg").arg(orientation));
        ASSERT_TRUE(WriteFile(path, JpegWithOrientation(photo, orientation)));
        foreground->SetPath(path);
        const QSize upright = orientation == 6 ? QSize(201, 403) : QSize(403, 201);

        const PhotoPreview preview = ReadPhotoPreview(path);
        EXPECT_EQ(preview.fullSize, QSize(403, 201));
        ASSERT_EQ(processor->SetLayerPreview(foreground, preview.image, preview.fullSize), LMerrSuccess);
        const ImagePtr previewSource = Tables().SourceImages[foreground->Id()].value(HXDownsampleFactor3);
        ASSERT_TRUE(previewSource);
        EXPECT_EQ(QSize(previewSource->Width(), previewSource->Height()), PreviewSourceSize(upright));
        // Green on the left, or on top once turned clockwise (bytes B, G, R, A).
        const std::uint8_t* first = previewSource->Buffer() + (previewSource->Width() / 8) * 4;
        EXPECT_GT(first[1], 150) << orientation;
        EXPECT_EQ(processor->RenderLayer(foreground, RenderLevelKey, HXDownsampleFactor3), LMerrSuccess);
        EXPECT_EQ(processor->RenderLayer(foreground, RenderLevelKey, HXDownsampleFactor0), LMerrRenderFailed);

        ASSERT_EQ(processor->SetLayer(foreground, ReadPhoto(path)), LMerrSuccess);
        EXPECT_EQ(Tables().SourceImages[foreground->Id()].value(HXDownsampleFactor3), previewSource);
        const ImagePtr full = Tables().SourceImages[foreground->Id()].value(HXDownsampleFactor0);
        ASSERT_TRUE(full);
        EXPECT_EQ(QSize(full->Width(), full->Height()), upright);
        RenderLevel level = kUntouched;
        EXPECT_TRUE(processor->IsCacheValid(foreground, HXDownsampleFactor3, level));
        EXPECT_EQ(processor->RenderLayer(foreground, RenderLevelKey, HXDownsampleFactor0), LMerrSuccess);
    }

    // A preview handed over becomes the cache itself, with the bytes a copied one has.
    {
        const QString path = dir.filePath("photo1.jpg");
        foreground->SetPath(path);
        PhotoPreview preview = ReadPhotoPreview(path);
        ASSERT_EQ(processor->SetLayerPreview(foreground, preview.image, preview.fullSize), LMerrSuccess);
        const ImagePtr copied = Tables().SourceImages[foreground->Id()].value(HXDownsampleFactor3);
        const std::vector<std::uint8_t> copiedBytes(copied->Buffer(), copied->Buffer() + copied->BufferByteSize());
        const uchar* decodedBits = preview.image.constBits();
        ASSERT_EQ(processor->SetLayerPreview(foreground, std::move(preview.image), preview.fullSize), LMerrSuccess);
        const ImagePtr adopted = Tables().SourceImages[foreground->Id()].value(HXDownsampleFactor3);
        EXPECT_EQ(adopted->Buffer(), decodedBits);
        EXPECT_EQ(std::vector<std::uint8_t>(adopted->Buffer(), adopted->Buffer() + adopted->BufferByteSize()), copiedBytes);
    }

    // A file that is not a photo gives no preview, and no preview loads nothing.
    const QString text = dir.filePath("notes.jpg");
    ASSERT_TRUE(WriteFile(text, "not a photo"));
    const PhotoPreview none = ReadPhotoPreview(text);
    EXPECT_TRUE(none.image.isNull());
    EXPECT_EQ(processor->SetLayerPreview(background, none.image, none.fullSize), LMerrRenderFailed);
    EXPECT_FALSE(Tables().SourceImages.contains(background->Id()));
}

// The preview read straight from the file looks like the whole photo made small: channels in
// place, the size that of the preview source (also where the photo's size is no multiple of the
// decoder's scale), opaque; for a grey JPEG and for other formats too.
TEST(PhotoPreviewTest, LooksLikeTheWholePhotoMadeSmall)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto gradient = [](int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y, qRgb(x * 255 / width, 128 + (x + y) % 7, y * 255 / height));
        return image;
    };
    struct Case {
        const char* name;
        QImage image;
        const char* format;
    };
    const Case cases[] = {
        {"colour.jpg", gradient(400, 200), "JPG"},
        {"uneven.jpg", gradient(403, 201), "JPG"},
        {"grey.jpg", gradient(403, 201).convertToFormat(QImage::Format_Grayscale8), "JPG"},
        {"colour.png", gradient(403, 201), "PNG"},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(c.name);
        ASSERT_TRUE(c.image.save(path, c.format, 95)) << c.name;
        const PhotoPreview preview = ReadPhotoPreview(path);
        ASSERT_FALSE(preview.image.isNull()) << c.name;
        EXPECT_EQ(preview.fullSize, c.image.size()) << c.name;
        const QSize size = PreviewSourceSize(c.image.size());
        ASSERT_EQ(preview.image.size(), size) << c.name;
        const QImage expected =
            ReadPhoto(path).convertToFormat(QImage::Format_RGB32).scaled(size, Qt::IgnoreAspectRatio,
                                                                          Qt::SmoothTransformation);
        const QImage actual = preview.image.convertToFormat(QImage::Format_ARGB32);
        double difference = 0.0;
        bool opaque = true;
        for (int y = 0; y < size.height(); ++y) {
            const auto* a = reinterpret_cast<const QRgb*>(actual.constScanLine(y));
            const auto* e = reinterpret_cast<const QRgb*>(expected.constScanLine(y));
            for (int x = 0; x < size.width(); ++x) {
                opaque = opaque && qAlpha(a[x]) == 255;
                difference += std::abs(qRed(a[x]) - qRed(e[x])) + std::abs(qGreen(a[x]) - qGreen(e[x])) +
                              std::abs(qBlue(a[x]) - qBlue(e[x]));
            }
        }
        EXPECT_TRUE(opaque) << c.name;
        EXPECT_LT(difference / (3.0 * size.width() * size.height()), 4.0) << c.name;
    }
}

// A photo cut short decodes with a grey lower part and a note on standard error only: the reads
// refuse it, as they refuse what is no plain file, which they never open (a fifo would block them).
TEST(WholePhotoFileTest, CutJpegsAndOddFilesAreRefusedBeforeAnyDecode)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage photo = TwoHalves(640, 480, qRgb(0, 200, 0), qRgb(200, 0, 0)).convertToFormat(QImage::Format_RGB32);
    const QByteArray baseline = testing::Jpeg(photo);
    const QByteArray progressive = testing::Jpeg(photo, true);
    // Qt writes the end-of-image marker last.
    ASSERT_TRUE(baseline.endsWith("\xFF\xD9") && progressive.endsWith("\xFF\xD9"));
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(photo.save(&buffer, "PNG"));
    }
    const QByteArray exifHeader = JpegWithOrientation(photo, 6);
    struct Case {
        const char* name;
        QByteArray bytes;
        bool whole;
    };
    const std::vector<Case> cases = {
        {"baseline.jpg", baseline, true},
        {"progressive.jpg", progressive, true},
        {"with-exif.jpg", exifHeader, true},
        // A camera's trailer after the end marker is no loss.
        {"trailer.jpg", baseline + QByteArray(300, '\x11'), true},
        {"half.jpg", baseline.left(baseline.size() / 2), false},
        {"progressive-half.jpg", progressive.left(progressive.size() / 2), false},
        {"without-end-marker.jpg", baseline.chopped(2), false},
        {"header-only.jpg", baseline.left(300), false},
        {"exif-cut.jpg", exifHeader.left(20), false},
        {"photo.png", png, true},
        {"empty.jpg", QByteArray(), true}, // no JPEG: left to the decoders, which refuse it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(c.name);
        ASSERT_TRUE(WriteFile(path, c.bytes));
        EXPECT_EQ(IsWholePhotoFile(path), c.whole);
        if (!c.whole) {
            EXPECT_TRUE(ReadPhoto(path).isNull());
            EXPECT_TRUE(ReadPhotoPreview(path).image.isNull());
        } else if (!c.bytes.isEmpty()) {
            EXPECT_EQ(ReadPhoto(path).size(), QSize(640, 480));
        }
    }

    // Never opened: a missing file, a folder, a fifo (opening it would wait for a writer) and a
    // device that streams without end.
    const QString fifo = dir.filePath("fifo.jpg");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {dir.filePath("missing.jpg"), dir.path(), fifo, QStringLiteral("/dev/zero")}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(IsWholePhotoFile(path));
        EXPECT_TRUE(ReadPhoto(path).isNull());
        EXPECT_TRUE(ReadPhotoPreview(path).image.isNull());
    }
}

TEST_F(RenderCacheTest, FailuresAreReportedAndLeaveThePreviousSource)
{
    ASSERT_EQ(processor->SetLayer(foreground, QImage(16, 16, QImage::Format_ARGB32)), LMerrSuccess);
    const ImagePtr previous = Tables().SourceImages[foreground->Id()][HXDownsampleFactor0];

    EXPECT_EQ(processor->SetLayer(foreground, QImage()), LMerrRenderFailed);
    EXPECT_EQ(Tables().SourceImages[foreground->Id()][HXDownsampleFactor0], previous);

    // Out of memory at the first allocation and in the middle of the screen caches.
    for (int allocations : {0, 2}) {
        Tables().allocationsBeforeFailure = allocations;
        EXPECT_EQ(processor->SetLayer(foreground, QImage(20, 20, QImage::Format_ARGB32)), LMerrRenderOutOfMemory)
            << allocations;
        Tables().allocationsBeforeFailure = -1;
        EXPECT_EQ(Tables().SourceImages[foreground->Id()][HXDownsampleFactor0], previous);
        RenderLevel level = kUntouched;
        EXPECT_FALSE(processor->IsCacheValid(foreground, HXDownsampleFactor0, level));
    }
    Tables().allocationsBeforeFailure = 1;
    EXPECT_EQ(processor->SetLayer(background, QImage(20, 20, QImage::Format_ARGB32)), LMerrRenderOutOfMemory);
    Tables().allocationsBeforeFailure = -1;
    EXPECT_FALSE(Tables().SourceImages.contains(background->Id()));
    EXPECT_EQ(processor->RestoreCacheAfterExport(), LMerrSuccess);
    Tables().allocationsBeforeFailure = 0;
    EXPECT_EQ(processor->RestoreCacheAfterExport(), LMerrRenderOutOfMemory);
    Tables().allocationsBeforeFailure = -1;
}

// Photos narrower or lower than four pixels still get a preview of at least one pixel.
TEST_F(RenderCacheTest, TinyPhotosGetAOnePixelPreview)
{
    const struct {
        QSize photo;
        QSize preview;
    } cases[] = {
        {QSize(3, 10), QSize(1, 3)}, {QSize(1, 1), QSize(1, 1)}, {QSize(3, 1), QSize(1, 1)},
        {QSize(400, 2), QSize(100, 1)}, {QSize(2, 400), QSize(1, 200)},
    };
    for (const auto& c : cases) {
        QImage photo(c.photo, QImage::Format_ARGB32);
        photo.fill(qRgba(10, 200, 30, 255));
        ASSERT_EQ(processor->SetLayer(foreground, photo), LMerrSuccess) << c.photo.width() << "x" << c.photo.height();
        const ImagePtr preview = Tables().SourceImages[foreground->Id()][HXDownsampleFactor3];
        ASSERT_TRUE(preview);
        EXPECT_EQ(QSize(preview->Width(), preview->Height()), c.preview) << c.photo.width() << "x" << c.photo.height();
        EXPECT_EQ(preview->Buffer()[1], 200);
    }
}

// Every byte of every pixel varies, the unused byte of RGB32 included: a conversion that keeps it,
// a turn or a sample taken from the wrong place shows.
QImage NoisyImage(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    std::uint32_t state = static_cast<std::uint32_t>(width * 7919 + height);
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < image.bytesPerLine(); ++x) {
            state = state * 1664525u + 1013904223u;
            row[x] = static_cast<uchar>(state >> 24);
        }
    }
    return image;
}

bool SameBytes(const hvn::image::HXImage8& image, const QImage& expected)
{
    if (expected.format() != QImage::Format_ARGB32 || image.Width() != expected.width() ||
        image.Height() != expected.height())
        return false;
    const std::size_t row = static_cast<std::size_t>(image.Width()) * 4u;
    for (int y = 0; y < image.Height(); ++y)
        if (std::memcmp(image.Buffer() + y * row, expected.constScanLine(y), row) != 0)
            return false;
    return true;
}

// The source images are exactly what Qt makes of the photo: converted to ARGB32, turned by the
// EXIF orientation, the preview its fast scaledToWidth (one row when the photo is too low).
TEST_F(RenderCacheTest, SourceImagesEqualQtsConversionTurnAndFastScale)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString orientationFile[9];
    for (int orientation : {1, 6, 8}) {
        orientationFile[orientation] = dir.filePath(QString("orientation%1.jpg").arg(orientation));
        ASSERT_TRUE(WriteFile(orientationFile[orientation], JpegWithOrientation(QImage(8, 8, QImage::Format_RGB32), orientation)));
    }
    // ARGB32 both with noisy alpha and opaque, which take different roads to the preview.
    const QImage::Format formats[] = {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_RGB888,
                                      QImage::Format_ARGB32_Premultiplied, QImage::Format_Invalid};
    // 4235 is a width where a scale computed in plain floating point picks a different column.
    const QSize sizes[] = {QSize(4235, 301), QSize(1201, 803), QSize(640, 427), QSize(333, 1001), QSize(7, 5),
                           QSize(400, 2),    QSize(2, 400),    QSize(3, 10),    QSize(1, 1),      QSize(5, 9)};
    for (const QImage::Format format : formats) {
        for (const QSize size : sizes) {
            const QImage photo = format == QImage::Format_Invalid
                                     ? NoisyImage(size.width(), size.height(), QImage::Format_RGB32)
                                           .convertToFormat(QImage::Format_ARGB32)
                                     : NoisyImage(size.width(), size.height(), format);
            for (int orientation : {1, 6, 8}) {
                QImage full = photo.convertToFormat(QImage::Format_ARGB32);
                if (orientation != 1) {
                    QTransform turn;
                    turn.rotate(orientation == 6 ? 90.0 : -90.0);
                    full = full.transformed(turn, Qt::SmoothTransformation).convertToFormat(QImage::Format_ARGB32);
                }
                const int width = std::max(1, static_cast<int>(full.width() * 0.25));
                const QImage preview =
                    (std::lround(full.height() * (static_cast<double>(width) / full.width())) >= 1
                         ? full.scaledToWidth(width, Qt::FastTransformation)
                         : full.scaled(width, 1, Qt::IgnoreAspectRatio, Qt::FastTransformation))
                        .convertToFormat(QImage::Format_ARGB32);

                foreground->SetPath(orientationFile[orientation]);
                // The caller's image is kept, or handed over (moved): an upright RGB32 one is then
                // taken as the cache itself, with the same bytes.
                for (const bool handedOver : {false, true}) {
                    QImage given = handedOver ? photo.copy() : photo;
                    const uchar* givenBits = given.constBits();
                    ASSERT_EQ(handedOver ? processor->SetLayer(foreground, std::move(given))
                                         : processor->SetLayer(foreground, photo),
                              LMerrSuccess);
                    const FactorImages& sources = Tables().SourceImages[foreground->Id()];
                    ASSERT_TRUE(sources.value(HXDownsampleFactor0) && sources.value(HXDownsampleFactor3));
                    const std::string name = "format " + std::to_string(format) + ", " +
                                             std::to_string(size.width()) + "x" + std::to_string(size.height()) +
                                             ", orientation " + std::to_string(orientation) +
                                             (handedOver ? ", handed over" : "");
                    EXPECT_TRUE(SameBytes(*sources.value(HXDownsampleFactor0), full)) << name;
                    EXPECT_TRUE(SameBytes(*sources.value(HXDownsampleFactor3), preview)) << name;
                    // The cache never shares pixels with an image the caller keeps. (A handed-over
                    // image that is copied is freed, and its memory may serve the copy.)
                    if (handedOver && format == QImage::Format_RGB32 && orientation == 1)
                        EXPECT_EQ(sources.value(HXDownsampleFactor0)->Buffer(), givenBits) << name;
                    else if (!handedOver)
                        EXPECT_NE(sources.value(HXDownsampleFactor0)->Buffer(), photo.constBits()) << name;
                }
            }
        }
    }
}

// The direct scale samples the pixels Qt's fast transformation samples, for every width of a
// range and scales on either axis; where Qt's result is empty so is its.
TEST(ShrinkFast, EqualsQtsFastTransformation)
{
    for (int width = 1; width <= 260; ++width) {
        for (const int height : {1, 3, 7, 40}) {
            // Opaque: only opaque images are scaled directly.
            const QImage photo = NoisyImage(width, height, QImage::Format_RGB32).convertToFormat(QImage::Format_ARGB32);
            const hvn::image::HXImage8 source(const_cast<uchar*>(photo.constBits()), width, height,
                                              HXPixelChannelOrderBGRA);
            const double quarter = static_cast<double>(std::max(1, width / 4)) / width;
            const struct {
                double sx;
                double sy;
            } scales[] = {{quarter, quarter}, {quarter, 1.0 / height}, {0.3, 1.0}, {1.0, 0.2}, {0.9, 0.45}, {0.6, 0.6}};
            for (const auto& scale : scales) {
                const QImage expected = photo.transformed(QTransform::fromScale(scale.sx, scale.sy), Qt::FastTransformation);
                const auto shrunk = ShrinkFast8(source, scale.sx, scale.sy, 3);
                const bool sampled = !expected.isNull();
                const std::string name = std::to_string(width) + "x" + std::to_string(height) + " by " +
                                         std::to_string(scale.sx) + ", " + std::to_string(scale.sy);
                ASSERT_EQ(shrunk != nullptr, sampled) << name;
                if (shrunk) {
                    ASSERT_TRUE(SameBytes(*shrunk, expected)) << name;
                }
            }
        }
    }
}

TEST(RenderErrorCodes, ExceptionsAreMappedByType)
{
    const struct {
        std::exception_ptr error;
        int code;
    } cases[] = {
        {std::make_exception_ptr(std::bad_alloc()), kErrorOutOfMemory},
        {std::make_exception_ptr(std::runtime_error("Render error")), kErrorRuntime},
        {std::make_exception_ptr(std::invalid_argument("x")), kErrorInvalidArgument},
        {std::make_exception_ptr(std::out_of_range("x")), kErrorOutOfRange},
        {std::make_exception_ptr(std::logic_error("x")), kErrorLogic},
        {std::make_exception_ptr(std::bad_array_new_length()), kErrorOutOfMemory}, // derives from bad_alloc
        {std::make_exception_ptr(42), kErrorRuntime},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExceptionToErrorCode(c.error), c.code);
}

} // namespace
} // namespace lumo::app
