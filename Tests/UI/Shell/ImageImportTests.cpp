// Importing photographs into layers: the checks before anything changes, what the layer learns from
// the file, the thumbnail, the refresh that follows, and reloading a reopened project's images.

#include "GreenScreenProject.h"
#include "RenderProcessorTestPeer.h"
#include "RenderTestImages.h"
#include "RefreshSignals.h"
#include "UiTest.h"

#include "Shell/ExportImage.h"

#include "ForegroundImageLayer.h"
#include "ImageLayer.h"
#include "LayerManager.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace lumo::ui::testing {
namespace {

using app::RenderLevel;
using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;

const QString kNotAnImage = QStringLiteral("%1\n\nThis is not a valid image, or its type is not supported.");
const QString kTooLarge =
    QStringLiteral("%1\n\nThis image cannot be imported because its dimensions exceed the maximum that is supported.");

QImage MonoImage(int width, int height)
{
    QImage image(width, height, QImage::Format_Mono);
    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    image.fill(1);
    return image;
}

// A small photograph with a known resolution: 200 dpi across, 300 dpi down.
QImage Photo(int width, int height, QRgb colour = qRgb(40, 160, 90))
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    image.setDotsPerMeterX(7874);
    image.setDotsPerMeterY(11811);
    return image;
}

class ImportTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        manager = CurrentProject()->GetLayerManager();
    }

    QString Write(const QString& name, const QImage& image)
    {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(image.save(path)) << path.toStdString();
        return path;
    }

    app::ImageLayerPtr Foreground() const { return manager->GetForeground(manager->CurrentForegroundId()); }

    QTemporaryDir folder;
    app::LayerManagerPtr manager;
};

TEST_F(ImportTest, TheSizeLimitIsHeldAtExactly6500By6500Pixels)
{
    struct Case {
        int width, height;
        bool passes;
    };
    const std::vector<Case> cases = {{6500, 6500, true}, {6501, 6500, false}, {6500, 6501, false}, {1, 1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << " x " << c.height);
        const QString path = folder.filePath(QStringLiteral("page.png"));
        if (!c.passes)
            Dialogs().AnswerMessage(QMessageBox::Ok).AnswerMessage(QMessageBox::Ok);
        const std::size_t asked = Dialogs().Requests().size();
        EXPECT_EQ(App().CheckImportImage(MonoImage(c.width, c.height), path), c.passes);
        if (c.passes)
            continue;
        // From the file the size is read from the header: the dimensions warning, not "not valid".
        const QString file = Write(QStringLiteral("page-%1x%2.png").arg(c.width).arg(c.height), MonoImage(c.width, c.height));
        EXPECT_FALSE(App().ImportImage(file, QUuid(), app::LayerTypeBackground));
        ASSERT_EQ(Dialogs().Requests().size(), asked + 2);
        EXPECT_EQ(Dialogs().Requests()[asked].message.text, kTooLarge.arg(path));
        EXPECT_EQ(Dialogs().Requests()[asked + 1].message.text, kTooLarge.arg(file));
        EXPECT_EQ(Dialogs().Requests()[asked + 1].message.icon, QMessageBox::Warning);
        EXPECT_TRUE(manager->GetBackground()->Path().isEmpty());
    }
}

TEST_F(ImportTest, APhotographAtTheSizeLimitDecodesAndImports)
{
    // 32-bit pixels: 169 MB decoded, more than Qt decodes by default.
    QImage photo(6500, 6500, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
        const QRgb colour = qRgb(40 + y / 100, 120, 200 - y / 100);
        std::fill_n(reinterpret_cast<QRgb*>(photo.scanLine(y)), photo.width(), colour);
    }
    const QString path = Write(QStringLiteral("limit.png"), photo);
    photo = QImage();

    ASSERT_TRUE(App().ImportImage(path, QUuid(), app::LayerTypeForeground));
    EXPECT_EQ(Foreground()->Dimensions(), QSize(6500, 6500));
    EXPECT_EQ(App().GetThumbnail(Foreground()->Id())->size(), QSize(400, 400));
    EXPECT_TRUE(Dialogs().Requests().empty());
}

TEST_F(ImportTest, EachKindOfLayerTakesTheFileAndAsksForItsRefresh)
{
    const auto further = std::make_shared<app::ImageLayer>(app::LayerTypeImage, "further", QString());
    ASSERT_EQ(manager->AddLayer(further), app::LMerrSuccess);
    Write(QStringLiteral("photo.png"), Photo(240, 160));
    // A relative path is taken from the working folder and stored absolute.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    const auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });
    struct Case {
        app::LayerType kind;
        app::ImageLayerPtr layer;
        RenderLevel level;
    };
    const std::vector<Case> cases = {
        {app::LayerTypeBackground, manager->GetBackground(), app::RenderLevelFilter},
        {app::LayerTypeOverlay, manager->GetOverlay(), app::RenderLevelPostFilter},
        {app::LayerTypeImage, further, app::RenderLevelPostFilter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        c.layer->SetOffline(true);
        QSignalSpy layerSpy(&App(), kLayerSignal);
        QSignalSpy canvasSpy(&App(), kCanvasSignal);
        ASSERT_TRUE(App().ImportImage(QStringLiteral("photo.png"), c.layer->Id(), c.kind));
        EXPECT_EQ(c.layer->Path(), folder.filePath(QStringLiteral("photo.png")));
        EXPECT_EQ(c.layer->Dimensions(), QSize(240, 160));
        EXPECT_EQ(c.layer->DpiX(), 200u);
        EXPECT_EQ(c.layer->DpiY(), 300u);
        EXPECT_TRUE(c.layer->IsValid());
        EXPECT_FALSE(c.layer->IsOffline());
        ASSERT_TRUE(App().GetThumbnail(c.layer->Id()));
        EXPECT_EQ(App().GetThumbnail(c.layer->Id())->size(), QSize(400, 267));
        ASSERT_EQ(layerSpy.count(), 1);
        EXPECT_EQ(layerSpy.at(0).at(0).value<QUuid>(), c.layer->Id());
        EXPECT_EQ(layerSpy.at(0).at(1).value<RenderLevel>(), c.level);
        EXPECT_EQ(layerSpy.at(0).at(2).value<HXDownsampleFactor>(), HXDownsampleFactor0);
        EXPECT_EQ(canvasSpy.count(), 0);
    }

    // A further layer only by its id; other kinds are refused without a word.
    QSignalSpy anySpy(&App(), kLayerSignal);
    const QString path = folder.filePath(QStringLiteral("photo.png"));
    EXPECT_FALSE(App().ImportImage(path, QUuid(), app::LayerTypeImage));
    EXPECT_FALSE(App().ImportImage(path, QUuid::createUuid(), app::LayerTypeImage));
    EXPECT_FALSE(App().ImportImage(path, QUuid(), static_cast<app::LayerType>(4)));
    EXPECT_EQ(anySpy.count(), 0);
    EXPECT_TRUE(Dialogs().Requests().empty());
}

TEST_F(ImportTest, TheFirstForegroundRedrawsTheCanvasAndALaterOneOnlyItself)
{
    const QString first = Write(QStringLiteral("first.png"), Photo(320, 200));
    const QString second = Write(QStringLiteral("second.png"), Photo(200, 320));
    ASSERT_TRUE(App().IsFirstForegroundPending());

    QSignalSpy layerSpy(&App(), kLayerSignal);
    QSignalSpy canvasSpy(&App(), kCanvasSignal);
    ASSERT_TRUE(App().ImportImage(first, QUuid(), app::LayerTypeForeground));
    const app::ImageLayerPtr firstLayer = Foreground();
    ASSERT_TRUE(firstLayer);
    EXPECT_EQ(firstLayer->Path(), first);
    EXPECT_TRUE(firstLayer->Name().isEmpty());
    EXPECT_EQ(App().CurrentForegroundPath(), first);
    EXPECT_EQ(canvasSpy.count(), 1);
    EXPECT_EQ(layerSpy.count(), 0);
    EXPECT_FALSE(App().IsFirstForegroundPending());

    canvasSpy.clear();
    ASSERT_TRUE(App().ImportImage(second, QUuid(), app::LayerTypeForeground));
    EXPECT_EQ(canvasSpy.count(), 0);
    ASSERT_EQ(layerSpy.count(), 1);
    EXPECT_EQ(layerSpy.at(0).at(0).value<QUuid>(), manager->LayerList()->StaticForegroundId());
    EXPECT_EQ(layerSpy.at(0).at(1).value<RenderLevel>(), app::RenderLevelKey);
    EXPECT_EQ(layerSpy.at(0).at(2).value<HXDownsampleFactor>(), HXDownsampleFactor0);

    // The new photograph replaced every earlier foreground.
    EXPECT_EQ(manager->Count(app::LayerTypeForeground), 1);
    EXPECT_FALSE(manager->GetForeground(firstLayer->Id()));
    EXPECT_FALSE(App().GetThumbnail(firstLayer->Id()));
    EXPECT_NE(Foreground(), firstLayer);
    EXPECT_EQ(App().CurrentForegroundPath(), second);
    EXPECT_EQ(Foreground()->Dimensions(), QSize(200, 320));
}

TEST_F(ImportTest, TheCameraOrientationTurnsTheSizeAndTheThumbnail)
{
    struct Case {
        int orientation;
        QSize dimensions, thumbnail;
        QRgb top; // the colour at the top of the thumbnail's centre column
    };
    const QRgb red = qRgb(220, 30, 30), blue = qRgb(30, 30, 220);
    const std::vector<Case> cases = {
        {1, {320, 160}, {400, 200}, 0},
        {6, {160, 320}, {200, 400}, red}, // turned clockwise: the left half goes to the top
        {8, {160, 320}, {200, 400}, blue},
    };
    const QImage halves = app::testing::TwoHalves(320, 160, red, blue);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orientation);
        const QString path = folder.filePath(QStringLiteral("turned-%1.jpg").arg(c.orientation));
        ASSERT_TRUE(app::testing::WriteFile(path, app::testing::JpegWithOrientation(halves, c.orientation)));
        ASSERT_TRUE(App().ImportImage(path, QUuid(), app::LayerTypeForeground));
        EXPECT_EQ(Foreground()->Dimensions(), c.dimensions);
        const std::shared_ptr<QImage> thumbnail = App().GetThumbnail(Foreground()->Id());
        ASSERT_TRUE(thumbnail);
        ASSERT_EQ(thumbnail->size(), c.thumbnail);
        if (c.top != 0) {
            const QRgb top = thumbnail->pixel(thumbnail->width() / 2, 40);
            const QRgb bottom = thumbnail->pixel(thumbnail->width() / 2, thumbnail->height() - 40);
            const QRgb other = c.top == red ? blue : red;
            EXPECT_NEAR(qRed(top), qRed(c.top), 40);
            EXPECT_NEAR(qBlue(top), qBlue(c.top), 40);
            EXPECT_NEAR(qRed(bottom), qRed(other), 40);
            EXPECT_NEAR(qBlue(bottom), qBlue(other), 40);
        }
    }
}

TEST_F(ImportTest, AFileThatIsNoImageIsRefusedAndChangesNothing)
{
    const QString background = Write(QStringLiteral("sky.png"), Photo(120, 80));
    const QString photo = Write(QStringLiteral("subject.png"), Photo(80, 120));
    ASSERT_TRUE(App().ImportImage(background, QUuid(), app::LayerTypeBackground));
    ASSERT_TRUE(App().ImportImage(photo, QUuid(), app::LayerTypeForeground));
    const app::ImageLayerPtr foreground = Foreground();
    const std::shared_ptr<QImage> backgroundThumbnail = App().GetThumbnail(manager->GetBackground()->Id());
    const std::shared_ptr<QImage> foregroundThumbnail = App().GetThumbnail(foreground->Id());

    QFile corrupt(folder.filePath(QStringLiteral("corrupt.png")));
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    corrupt.write("\x89PNG\r\n\x1a\n but the rest is not an image");
    corrupt.close();
    // A JPEG cut short decodes with a grey lower part: refused as well. A folder, a fifo and a
    // device are never opened (the fifo would block the import, the device stream for ever).
    const QByteArray jpeg = app::testing::Jpeg(Photo(200, 160));
    const QString cut = folder.filePath(QStringLiteral("cut.jpg"));
    ASSERT_TRUE(app::testing::WriteFile(cut, jpeg.left(jpeg.size() / 2)));
    const QString fifo = folder.filePath(QStringLiteral("fifo.jpg"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString device = folder.filePath(QStringLiteral("zero.jpg"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), device));
    const QString subfolder = folder.filePath(QStringLiteral("folder.jpg"));
    ASSERT_TRUE(QDir().mkdir(subfolder));
    const QStringList paths = {corrupt.fileName(), folder.filePath(QStringLiteral("missing.png")), cut, fifo, device,
                               subfolder};
    for (const QString& path : paths) {
        for (const app::LayerType kind : {app::LayerTypeBackground, app::LayerTypeForeground}) {
            SCOPED_TRACE(::testing::Message() << path.toStdString() << " kind " << kind);
            QSignalSpy layerSpy(&App(), kLayerSignal);
            QSignalSpy canvasSpy(&App(), kCanvasSignal);
            // The import's caller shows the busy cursor; the warning must not show under it.
            QApplication::setOverrideCursor(Qt::WaitCursor);
            bool cursorRestored = false;
            Dialogs().AnswerMessage(QMessageBox::Ok, [&] { cursorRestored = QApplication::overrideCursor() == nullptr; });
            EXPECT_FALSE(App().ImportImage(path, QUuid(), kind));
            EXPECT_TRUE(cursorRestored);
            while (QApplication::overrideCursor() != nullptr)
                QApplication::restoreOverrideCursor();
            ASSERT_FALSE(Dialogs().Requests().empty());
            EXPECT_EQ(Dialogs().Requests().back().message.text, kNotAnImage.arg(path));
            EXPECT_EQ(Dialogs().Requests().back().message.title, ApplicationName);
            EXPECT_EQ(layerSpy.count() + canvasSpy.count(), 0);
            EXPECT_EQ(manager->GetBackground()->Path(), background);
            EXPECT_EQ(Foreground(), foreground);
            EXPECT_EQ(foreground->Path(), photo);
            EXPECT_EQ(App().GetThumbnail(manager->GetBackground()->Id()), backgroundThumbnail);
            EXPECT_EQ(App().GetThumbnail(foreground->Id()), foregroundThumbnail);
        }
    }
}

TEST_F(ImportTest, WhenTheRenderProcessorCannotTakeTheImageTheUserIsToldAndNoLayerPretends)
{
    const QString first = Write(QStringLiteral("first.png"), Photo(120, 80));
    const QString second = Write(QStringLiteral("second.png"), Photo(60, 40));
    ASSERT_TRUE(App().ImportImage(first, QUuid(), app::LayerTypeBackground));
    const app::ImageLayerPtr background = manager->GetBackground();
    const std::shared_ptr<QImage> thumbnail = App().GetThumbnail(background->Id());
    auto& tables = app::RenderProcessorTestPeer::Impl(*App().GetRenderProcessor());

    // A background keeps the image it had.
    tables.allocationsBeforeFailure = 0;
    Dialogs().AnswerMessage(QMessageBox::Ok);
    EXPECT_FALSE(App().ImportImage(second, QUuid(), app::LayerTypeBackground));
    EXPECT_TRUE(Dialogs().Requests().back().message.text.contains("not enough memory"));
    EXPECT_EQ(background->Path(), first);
    EXPECT_EQ(background->Dimensions(), QSize(120, 80));
    EXPECT_TRUE(background->IsValid());
    EXPECT_EQ(App().GetThumbnail(background->Id()), thumbnail);
    QImage canvas;
    EXPECT_EQ(App().RenderAllLayersToCanvas(canvas, HXDownsampleFactor0), app::LMerrSuccess);

    // A new foreground without pixels is taken away again and the canvas redrawn without it.
    tables.allocationsBeforeFailure = 0;
    Dialogs().AnswerMessage(QMessageBox::Ok);
    QSignalSpy canvasSpy(&App(), kCanvasSignal);
    EXPECT_FALSE(App().ImportImage(second, QUuid(), app::LayerTypeForeground));
    tables.allocationsBeforeFailure = -1;
    EXPECT_EQ(manager->Count(app::LayerTypeForeground), 0);
    EXPECT_TRUE(manager->CurrentForegroundId().isNull());
    EXPECT_TRUE(App().CurrentForegroundPath().isEmpty());
    EXPECT_GE(canvasSpy.count(), 1);
    EXPECT_EQ(App().RenderAllLayersToCanvas(canvas, HXDownsampleFactor0), app::LMerrSuccess);
}

// ---- Large photos shown from their previews first

class PreviewFirstTest : public ImportTest {
protected:
    // Over the size from which a JPEG is shown from its preview first.
    QString WriteLargeJpeg(const QString& name, QRgb colour)
    {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(Photo(2400, 1700, colour).save(path, "JPG", 90)) << path.toStdString();
        return path;
    }

    bool FullResolutionCurrent(const app::ImageLayerPtr& layer) const
    {
        RenderLevel stale = app::RenderLevelFinal;
        return App().GetRenderProcessor()->IsCacheValid(layer, HXDownsampleFactor0, stale);
    }

    QSize WholeSourceSize(const app::ImageLayerPtr& layer) const
    {
        auto& tables = app::RenderProcessorTestPeer::Impl(*App().GetRenderProcessor());
        const auto source = tables.SourceImages.value(layer->Id()).value(HXDownsampleFactor0);
        return source ? QSize(source->Width(), source->Height()) : QSize();
    }
};

TEST_F(PreviewFirstTest, ALargeJpegShowsFromItsPreviewUntilItsWholeDecodeCompletesIt)
{
    const QString path = WriteLargeJpeg(QStringLiteral("large.jpg"), qRgb(40, 160, 90));
    QSignalSpy canvasSpy(&App(), kCanvasSignal);
    ASSERT_TRUE(App().ImportImage(path, QUuid(), app::LayerTypeForeground));
    ASSERT_TRUE(App().AwaitsWholePhotos());
    // The layer learns the whole photo's size and resolution from its preview.
    const app::ImageLayerPtr foreground = Foreground();
    EXPECT_EQ(foreground->Dimensions(), QSize(2400, 1700));
    EXPECT_EQ(foreground->DpiX(), 200u);
    EXPECT_EQ(foreground->DpiY(), 300u);
    EXPECT_EQ(App().GetThumbnail(foreground->Id())->size(), QSize(400, 283));
    EXPECT_FALSE(WholeSourceSize(foreground).isValid());

    // Meanwhile a full-resolution render of the canvas or of one layer shows the preview.
    QImage canvas;
    EXPECT_EQ(App().RenderAllLayersToCanvas(canvas, HXDownsampleFactor0), app::LMerrSuccess);
    EXPECT_EQ(App().RenderLayerToCanvas(canvas, manager->LayerList()->StaticForegroundId(), app::RenderLevelKey,
                                        HXDownsampleFactor0),
              app::LMerrSuccess);
    EXPECT_FALSE(canvas.isNull());
    EXPECT_FALSE(FullResolutionCurrent(foreground));

    // The whole photo completes the layer and the canvas is redrawn at full resolution.
    canvasSpy.clear();
    QTRY_VERIFY_WITH_TIMEOUT(!App().AwaitsWholePhotos(), 20000);
    ASSERT_GE(canvasSpy.count(), 1);
    EXPECT_EQ(canvasSpy.last().at(0).value<HXDownsampleFactor>(), HXDownsampleFactor0);
    EXPECT_EQ(WholeSourceSize(foreground), QSize(2400, 1700));
    EXPECT_EQ(App().RenderAllLayersToCanvas(canvas, HXDownsampleFactor0), app::LMerrSuccess);
    EXPECT_TRUE(FullResolutionCurrent(foreground));
    EXPECT_TRUE(Dialogs().Requests().empty());

    // A small JPEG is decoded whole at once.
    ASSERT_TRUE(App().ImportImage(Write(QStringLiteral("small.jpg"), Photo(600, 400)), QUuid(), app::LayerTypeBackground));
    EXPECT_FALSE(App().AwaitsWholePhotos());
    EXPECT_EQ(WholeSourceSize(manager->GetBackground()), QSize(600, 400));
}

TEST_F(PreviewFirstTest, ExportingWaitsForTheWholePhoto)
{
    // Decoding, or held as at start-up with no render yet: the export starts a held decode itself.
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "held" : "decoding");
        if (held)
            App().HoldPhotoDecodes();
        ASSERT_TRUE(App().ImportImage(WriteLargeJpeg(held ? QStringLiteral("held.jpg") : QStringLiteral("large.jpg"),
                                                     qRgb(40, 160, held ? 200 : 90)),
                                      QUuid(), app::LayerTypeForeground));
        ASSERT_TRUE(App().AwaitsWholePhotos());
        const QString exported = folder.filePath(held ? QStringLiteral("held.png") : QStringLiteral("exported.png"));
        ASSERT_TRUE(ExportCurrentForeground(exported, QStringLiteral("PNG"), 100));
        EXPECT_FALSE(App().AwaitsWholePhotos());
        EXPECT_EQ(WholeSourceSize(Foreground()), QSize(2400, 1700));
        EXPECT_FALSE(QImage(exported).isNull());
        EXPECT_TRUE(Dialogs().Requests().empty());
    }
    // The hold ended with the export: a later large photo is decoded whole without a render.
    ASSERT_TRUE(App().ImportImage(WriteLargeJpeg(QStringLiteral("later.jpg"), qRgb(200, 40, 40)), QUuid(),
                                  app::LayerTypeForeground));
    QTRY_VERIFY_WITH_TIMEOUT(!App().AwaitsWholePhotos(), 20000);
}

TEST_F(PreviewFirstTest, HeldWholeDecodesStartAfterACanvasRender)
{
    // Held, as at start-up: the preview shows and nothing completes it before the canvas is drawn.
    App().HoldPhotoDecodes();
    ASSERT_TRUE(App().ImportImage(WriteLargeJpeg(QStringLiteral("first.jpg"), qRgb(40, 160, 90)), QUuid(),
                                  app::LayerTypeForeground));
    ASSERT_TRUE(App().AwaitsWholePhotos());
    QTest::qWait(200);
    EXPECT_TRUE(App().AwaitsWholePhotos());
    EXPECT_FALSE(WholeSourceSize(Foreground()).isValid());
    // The render for the canvas draws the preview; the decode starts after that paint, from the
    // event loop, and completes the layer.
    QImage canvas;
    EXPECT_EQ(App().RenderAllLayersToCanvas(canvas, HXDownsampleFactor0), app::LMerrSuccess);
    EXPECT_TRUE(App().AwaitsWholePhotos());
    QTRY_VERIFY_WITH_TIMEOUT(!App().AwaitsWholePhotos(), 20000);
    EXPECT_EQ(WholeSourceSize(Foreground()), QSize(2400, 1700));
}

TEST_F(PreviewFirstTest, APhotoReplacedBeforeItsWholeDecodeEndsKeepsTheNewOne)
{
    const app::ImageLayerPtr background = manager->GetBackground();
    ASSERT_TRUE(App().ImportImage(WriteLargeJpeg(QStringLiteral("first.jpg"), qRgb(200, 40, 40)), QUuid(),
                                  app::LayerTypeBackground));
    ASSERT_TRUE(App().AwaitsWholePhotos());
    const QString second = Write(QStringLiteral("second.png"), Photo(300, 200));
    ASSERT_TRUE(App().ImportImage(second, QUuid(), app::LayerTypeBackground));
    EXPECT_FALSE(App().AwaitsWholePhotos());
    // The first photo's decode ends unused.
    App().FinishPhotoDecodes();
    QTest::qWait(50);
    EXPECT_EQ(background->Path(), second);
    EXPECT_EQ(WholeSourceSize(background), QSize(300, 200));

    // And a second large photo takes the place of the first's decode.
    const QString third = WriteLargeJpeg(QStringLiteral("third.jpg"), qRgb(40, 40, 200));
    ASSERT_TRUE(App().ImportImage(WriteLargeJpeg(QStringLiteral("fourth.jpg"), qRgb(200, 40, 40)), QUuid(),
                                  app::LayerTypeBackground));
    ASSERT_TRUE(App().ImportImage(third, QUuid(), app::LayerTypeBackground));
    QTRY_VERIFY_WITH_TIMEOUT(!App().AwaitsWholePhotos(), 20000);
    QTest::qWait(50);
    EXPECT_EQ(background->Path(), third);
    auto& tables = app::RenderProcessorTestPeer::Impl(*App().GetRenderProcessor());
    const auto source = tables.SourceImages.value(background->Id()).value(HXDownsampleFactor0);
    ASSERT_TRUE(source);
    const std::uint8_t* centre = source->Buffer() + (static_cast<std::size_t>(850) * 2400 + 1200) * 4;
    EXPECT_GT(centre[0], 150) << "blue of the third photo (BGRA)";
    EXPECT_LT(centre[2], 100);
    EXPECT_TRUE(Dialogs().Requests().empty());
}

TEST_F(PreviewFirstTest, AWholeDecodeThatCannotBeUsedLeavesTheLayerOfflineAfterAWarning)
{
    const QString path = WriteLargeJpeg(QStringLiteral("large.jpg"), qRgb(40, 160, 90));
    auto& tables = app::RenderProcessorTestPeer::Impl(*App().GetRenderProcessor());
    ASSERT_TRUE(App().ImportImage(path, QUuid(), app::LayerTypeForeground));
    const app::ImageLayerPtr foreground = Foreground();
    // The preview is taken; the whole photo finds no memory.
    tables.allocationsBeforeFailure = 0;
    Dialogs().AnswerMessage(QMessageBox::Ok);
    App().FinishPhotoDecodes();
    tables.allocationsBeforeFailure = -1;
    ASSERT_EQ(Dialogs().Requests().size(), 1u);
    EXPECT_TRUE(Dialogs().Requests().back().message.text.contains("not enough memory"));
    EXPECT_FALSE(App().AwaitsWholePhotos());
    // The project keeps the layer, offline, to be relinked; the renderer holds nothing of it.
    EXPECT_EQ(Foreground(), foreground);
    EXPECT_TRUE(foreground->IsOffline());
    EXPECT_EQ(foreground->Path(), path);
    EXPECT_FALSE(App().GetThumbnail(foreground->Id()));
    EXPECT_FALSE(tables.SourceImages.value(foreground->Id()).value(hvn::image::HXDownsampleFactor3));
    QImage canvas;
    EXPECT_EQ(App().RenderAllLayersToCanvas(canvas, HXDownsampleFactor0), app::LMerrSuccess);
}

TEST_F(PreviewFirstTest, AReopenedProjectShowsItsLargePhotosFromTheirPreviewsFirst)
{
    const auto written = lumora::samples::WriteGreenScreenProject(folder.path(), {.megapixels = 4.2, .imageFormat = "JPG"});
    ASSERT_EQ(App().OpenProject(written.projectPath), app::LMerrSuccess);
    manager = CurrentProject()->GetLayerManager();
    ASSERT_TRUE(App().LoadProjectImages());
    EXPECT_TRUE(App().AwaitsWholePhotos());
    const app::ImageLayerPtr background = manager->GetBackground();
    EXPECT_EQ(Foreground()->Dimensions(), QSize(written.scene.width, written.scene.height));
    QTRY_VERIFY_WITH_TIMEOUT(!App().AwaitsWholePhotos(), 20000);
    EXPECT_EQ(WholeSourceSize(Foreground()), QSize(written.scene.width, written.scene.height));
    EXPECT_EQ(WholeSourceSize(background), written.background.size());
    EXPECT_TRUE(Dialogs().Requests().empty());
}

// A reopened project: its layers name their files, the render processor has none of them yet.
class ReopenedProjectTest : public ImportTest {
protected:
    void SetUp() override
    {
        ImportTest::SetUp();
        written = WriteGreenScreenProject(folder.path(), 0.05);
        ASSERT_EQ(App().OpenProject(written.projectPath), app::LMerrSuccess);
        manager = CurrentProject()->GetLayerManager();
    }

    GreenScreenProject written;
};

TEST_F(ReopenedProjectTest, LoadingTheProjectsImagesKeepsItsLayersAndRedrawsOnce)
{
    const app::ForegroundImageLayerPtr foreground = manager->GetForeground(manager->CurrentForegroundId());
    ASSERT_TRUE(foreground);
    ASSERT_EQ(foreground->SetUnique(true), app::LMerrSuccess);
    const auto ownSettings = foreground->ForegroundSettings();

    QSignalSpy layerSpy(&App(), kLayerSignal);
    QSignalSpy canvasSpy(&App(), kCanvasSignal);
    EXPECT_TRUE(App().LoadProjectImages());
    EXPECT_EQ(canvasSpy.count(), 1);
    EXPECT_EQ(layerSpy.count(), 0);
    EXPECT_FALSE(App().IsFirstForegroundPending());
    // The same foreground, with its own settings.
    EXPECT_EQ(manager->GetForeground(manager->CurrentForegroundId()), foreground);
    EXPECT_TRUE(foreground->IsUnique());
    EXPECT_EQ(foreground->ForegroundSettings(), ownSettings);
    EXPECT_TRUE(App().GetThumbnail(foreground->Id()));
    EXPECT_TRUE(App().GetThumbnail(manager->GetBackground()->Id()));
    QImage canvas;
    EXPECT_EQ(App().RenderAllLayersToCanvas(canvas, HXDownsampleFactor0), app::LMerrSuccess);

    // One layer again, by the foreground slot's id: only the foreground redraws now.
    EXPECT_TRUE(App().ReloadLayerImage(manager->LayerList()->StaticForegroundId()));
    ASSERT_EQ(layerSpy.count(), 1);
    EXPECT_EQ(layerSpy.at(0).at(1).value<RenderLevel>(), app::RenderLevelKey);
    EXPECT_EQ(manager->GetForeground(manager->CurrentForegroundId()), foreground);
}

TEST_F(ReopenedProjectTest, AMovedFileLeavesItsLayerOfflineWithItsPath)
{
    ASSERT_TRUE(QFile::remove(written.backgroundPath));
    Dialogs().AnswerMessage(QMessageBox::Ok);
    EXPECT_FALSE(App().LoadProjectImages());
    ASSERT_EQ(Dialogs().Requests().size(), 1u);
    EXPECT_TRUE(Dialogs().Requests()[0].message.text.contains(written.backgroundPath + " (not found)"));
    EXPECT_TRUE(manager->GetBackground()->IsOffline());
    EXPECT_EQ(manager->GetBackground()->Path(), written.backgroundPath);
    EXPECT_FALSE(App().GetThumbnail(manager->GetBackground()->Id()));
    EXPECT_FALSE(manager->GetForeground(manager->CurrentForegroundId())->IsOffline());
    // Reloading the layer's own missing file says nothing more.
    EXPECT_FALSE(App().ReloadLayerImage(manager->GetBackground()->Id()));
    EXPECT_EQ(Dialogs().Requests().size(), 1u);
    QImage canvas;
    EXPECT_EQ(App().RenderAllLayersToCanvas(canvas, HXDownsampleFactor0), app::LMerrSuccess);
}

TEST_F(ReopenedProjectTest, TheReloadFormPutsAnotherFileIntoTheSameForeground)
{
    const app::ForegroundImageLayerPtr foreground = manager->GetForeground(manager->CurrentForegroundId());
    ASSERT_EQ(foreground->SetUnique(true), app::LMerrSuccess);
    const auto ownSettings = foreground->ForegroundSettings();
    const QString moved = folder.filePath(QStringLiteral("moved.png"));
    ASSERT_TRUE(QFile::rename(written.photoPath, moved));
    Dialogs().AnswerMessage(QMessageBox::Ok);
    EXPECT_FALSE(App().LoadProjectImages());
    EXPECT_TRUE(foreground->IsOffline());

    // A file that cannot be used is reported and leaves the layer as it was.
    const QString notAnImage = folder.filePath(QStringLiteral("notes.png"));
    QFile text(notAnImage);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    Dialogs().AnswerMessage(QMessageBox::Ok);
    EXPECT_FALSE(App().ReloadLayerImage(foreground->Id(), notAnImage));
    EXPECT_EQ(foreground->Path(), written.photoPath);
    EXPECT_TRUE(foreground->IsOffline());

    QSignalSpy canvasSpy(&App(), kCanvasSignal);
    EXPECT_TRUE(App().ReloadLayerImage(manager->LayerList()->StaticForegroundId(), moved));
    EXPECT_EQ(manager->GetForeground(manager->CurrentForegroundId()), foreground);
    EXPECT_EQ(manager->Count(app::LayerTypeForeground), 1);
    EXPECT_EQ(foreground->ForegroundSettings(), ownSettings);
    EXPECT_EQ(foreground->Path(), moved);
    EXPECT_FALSE(foreground->IsOffline());
    EXPECT_TRUE(App().GetThumbnail(foreground->Id()));
    // The project's first foreground places the other layers: the whole canvas redraws.
    EXPECT_EQ(canvasSpy.count(), 1);
    EXPECT_FALSE(App().IsFirstForegroundPending());
}

TEST_F(ReopenedProjectTest, FilesThatCannotBeUsedAreListedInOneMessageInLayerOrderAndTheOthersLoad)
{
    // Photographs are decoded ahead on other threads; the list comes in layer order.
    const QString tooLarge = Write(QStringLiteral("huge.png"), MonoImage(6501, 6500));
    const QString notAnImage = folder.filePath(QStringLiteral("notes.png"));
    QFile text(notAnImage);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    manager->GetBackground()->SetPath(tooLarge);
    const app::ImageLayerPtr overlay = manager->GetOverlay();
    overlay->SetPath(notAnImage);
    overlay->SetIsValid(true);

    Dialogs().AnswerMessage(QMessageBox::Ok);
    EXPECT_FALSE(App().LoadProjectImages());
    ASSERT_EQ(Dialogs().Requests().size(), 1u);
    EXPECT_EQ(Dialogs().Requests()[0].message.text,
              QStringLiteral("These images of the project could not be loaded:\n\n"
                             "%1 (dimensions over the maximum supported)\n"
                             "%2 (not a valid image, or of a type not supported)\n\n"
                             "The project keeps their places: relink them from their panels to show them again.")
                  .arg(tooLarge, notAnImage));
    // They keep their paths, offline, and the canvas is drawn without them.
    EXPECT_EQ(manager->GetBackground()->Path(), tooLarge);
    EXPECT_TRUE(manager->GetBackground()->IsOffline());
    EXPECT_EQ(overlay->Path(), notAnImage);
    EXPECT_TRUE(overlay->IsOffline());
    EXPECT_FALSE(App().GetThumbnail(manager->GetBackground()->Id()));
    EXPECT_FALSE(App().GetThumbnail(overlay->Id()));
    EXPECT_TRUE(App().GetThumbnail(Foreground()->Id()));
    EXPECT_FALSE(App().IsFirstForegroundPending());
    QImage canvas;
    EXPECT_EQ(App().RenderAllLayersToCanvas(canvas, HXDownsampleFactor0), app::LMerrSuccess);

    // Unchanged, they are not tried (nor warned about) again by a reload of the layer's own file.
    EXPECT_TRUE(App().IsUnchangedFailedPhoto(tooLarge));
    EXPECT_FALSE(App().ReloadLayerImage(overlay->Id()));
    EXPECT_EQ(Dialogs().Requests().size(), 1u);
}

} // namespace
} // namespace lumo::ui::testing
