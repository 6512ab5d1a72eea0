// From image files to the finished export: a green-screen photograph, a background and an overlay
// are written to a folder, put in a project that is saved and reopened, and the export image of
// the reopened project is checked against what the pictures were made of.

#include "ForegroundImageLayer.h"
#include "LayerManager.h"
#include "Project.h"
#include "RenderProcessor.h"

#include <hvn/image/HXOperation.h>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>

namespace lumo::app {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kFrame = 8; // the overlay's opaque border
const QColor kSkin(205, 150, 120);
const QColor kFrameColor(200, 30, 160);
const QPointF kSubjectCentre(160, 130);
constexpr double kRadiusX = 70;
constexpr double kRadiusY = 90;

// Where the subject is, by its distance from the ellipse's edge in pixels (negative inside).
double EdgeDistance(int x, int y)
{
    const double dx = (x + 0.5 - kSubjectCentre.x()) / kRadiusX;
    const double dy = (y + 0.5 - kSubjectCentre.y()) / kRadiusY;
    return (std::sqrt(dx * dx + dy * dy) - 1.0) * std::min(kRadiusX, kRadiusY);
}

// A subject in front of an unevenly lit green backdrop, with sensor noise, as a JPEG.
QImage GreenScreenPhoto()
{
    QImage photo(kWidth, kHeight, QImage::Format_RGB32);
    std::uint32_t noise = 12345;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = static_cast<int>((noise >> 24) % 9) - 4;
            const int light = static_cast<int>(18 * std::sin(x / 45.0) + 10 * std::cos(y / 30.0));
            photo.setPixel(x, y, qRgb(45 + n, std::clamp(175 + light + n, 0, 255), 60 + n));
        }
    }
    QPainter painter(&photo);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kSkin);
    painter.drawEllipse(kSubjectCentre, kRadiusX, kRadiusY);
    return photo;
}

QImage Background()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            image.setPixel(x, y, qRgb(90 + x / 8, 140 - y / 4, 230 - y / 2));
    return image;
}

QImage Overlay()
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
    image.fill(kFrameColor);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(QRect(kFrame, kFrame, kWidth - 2 * kFrame, kHeight - 2 * kFrame), Qt::transparent);
    return image;
}

int ChannelDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// The share of the pixels that the filter picks whose colour lies within tolerance of expected.
double ShareWithin(const QImage& image, const std::function<bool(int, int)>& picks,
                   const std::function<QRgb(int, int)>& expected, int tolerance)
{
    int picked = 0;
    int within = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!picks(x, y))
                continue;
            ++picked;
            within += ChannelDistance(image.pixel(x, y), expected(x, y)) <= tolerance ? 1 : 0;
        }
    }
    return picked == 0 ? 0.0 : static_cast<double>(within) / picked;
}

void Place(const ImageLayerPtr& layer, const QString& path)
{
    layer->SetPath(path);
    layer->SetIsValid(true);
    layer->SetDimensions(QSize(kWidth, kHeight));
}

TEST(ExportEndToEndTest, GreenScreenPhotoOverBackgroundUnderOverlay)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString savedCurrent = QDir::currentPath();
    const QString photoPath = dir.filePath("subject.jpg");
    const QString backgroundPath = dir.filePath("background.png");
    const QString overlayPath = dir.filePath("frame.png");
    const QString projectPath = dir.filePath("portrait.lumo4");
    ASSERT_TRUE(GreenScreenPhoto().save(photoPath, "JPG", 92));
    const QImage background = Background();
    ASSERT_TRUE(background.save(backgroundPath));
    ASSERT_TRUE(Overlay().save(overlayPath));

    {
        LMerr result = LMerrDefaultProject;
        Project project(result);
        ASSERT_EQ(result, LMerrSuccess);
        project.GetCanvas().SetDimensionType(CanvasDimensionCustom);
        project.GetCanvas().SetDimensions(kWidth, kHeight);
        const LayerManagerPtr manager = project.GetLayerManager();
        Place(manager->GetBackground(), backgroundPath);
        Place(manager->GetOverlay(), overlayPath);
        const auto subject = std::make_shared<ForegroundImageLayer>("subject", photoPath);
        Place(subject, photoPath);
        ASSERT_EQ(manager->AddForegroundLayer(subject), LMerrSuccess);
        manager->SetCurrentForegroundId(subject->Id());
        ASSERT_EQ(project.SaveToXml(projectPath, "4.1.0004", "4.0"), LMerrSuccess);
    }

    LMerr result = LMerrFileOpen;
    const auto project = std::make_shared<Project>(projectPath, result);
    QDir::setCurrent(savedCurrent);
    ASSERT_EQ(result, LMerrSuccess);
    const LayerManagerPtr manager = project->GetLayerManager();
    const QUuid subjectId = manager->CurrentForegroundId();
    ASSERT_FALSE(subjectId.isNull());
    RenderProcessor processor(project, hvn::image::HXPixelChannelOrderBGRA, QRect(0, 0, 640, 480), result);
    for (const ImageLayerPtr& layer :
         {manager->GetBackground(), manager->GetOverlay(), ImageLayerPtr(manager->GetForeground(subjectId))}) {
        ASSERT_TRUE(layer && layer->IsValid());
        ASSERT_EQ(processor.SetLayer(layer, QImage(layer->Path())), LMerrSuccess) << layer->Path().toStdString();
    }

    processor.RemoveCacheBeforeExport();
    QImage exported;
    ASSERT_EQ(processor.RenderExportImage(subjectId, exported), LMerrSuccess);
    ASSERT_EQ(processor.RestoreCacheAfterExport(), LMerrSuccess);
    ASSERT_EQ(exported.size(), QSize(kWidth, kHeight));

    const auto inFrame = [](int x, int y) {
        return x >= kFrame && y >= kFrame && x < kWidth - kFrame && y < kHeight - kFrame;
    };
    // The overlay's frame lies on top of everything.
    EXPECT_GE(ShareWithin(exported, [&](int x, int y) { return !inFrame(x, y); },
                          [](int, int) { return kFrameColor.rgb(); }, 2),
              0.999);
    // Well outside the subject the backdrop is gone and the background shows through.
    EXPECT_GE(ShareWithin(exported, [&](int x, int y) { return inFrame(x, y) && EdgeDistance(x, y) > 6; },
                          [&](int x, int y) { return background.pixel(x, y); }, 16),
              0.99);
    // Well inside, the subject keeps its colour (JPEG and spill suppression move it a little).
    EXPECT_GE(ShareWithin(exported, [](int x, int y) { return EdgeDistance(x, y) < -6; },
                          [](int, int) { return kSkin.rgb(); }, 24),
              0.99);
    // Nothing green is left, not even at the subject's edge.
    int green = 0;
    for (int y = kFrame; y < kHeight - kFrame; ++y) {
        for (int x = kFrame; x < kWidth - kFrame; ++x) {
            const QRgb pixel = exported.pixel(x, y);
            green += qGreen(pixel) > std::max(qRed(pixel), qBlue(pixel)) + 40 ? 1 : 0;
        }
    }
    EXPECT_LT(green, kWidth * kHeight / 200);
    for (int y = 0; y < kHeight; y += 7)
        for (int x = 0; x < kWidth; x += 7)
            ASSERT_EQ(qAlpha(exported.pixel(x, y)), 255);

    // The same export on one thread and on eight gives the same bytes (this run is also the
    // thread checker's export of eight threads).
    struct ThreadCount {
        explicit ThreadCount(int n) { hvn::image::SetEngineThreadCount(n); }
        ~ThreadCount() { hvn::image::SetEngineThreadCount(0); }
    };
    for (const int threads : {1, 8}) {
        SCOPED_TRACE(threads);
        const ThreadCount count(threads);
        processor.RemoveCacheBeforeExport();
        QImage again;
        ASSERT_EQ(processor.RenderExportImage(subjectId, again), LMerrSuccess);
        ASSERT_EQ(processor.RestoreCacheAfterExport(), LMerrSuccess);
        EXPECT_EQ(again, exported);
    }
}

} // namespace
} // namespace lumo::app
