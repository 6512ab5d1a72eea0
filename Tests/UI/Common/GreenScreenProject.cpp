#include "GreenScreenProject.h"

#include "Shell/Identity.h"

#include "ForegroundImageLayer.h"
#include "LayerManager.h"
#include "Project.h"

#include <QDir>

#include <gtest/gtest.h>

#include <stdexcept>

namespace lumo::ui::testing {

namespace {

// A blue sky fading to a warm horizon: far from the green backdrop, so that what shows through
// where the backdrop was keyed out is plainly the background.
QImage MakeBackground(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const double t = static_cast<double>(y) / std::max(1, height - 1);
        const QRgb colour = qRgb(static_cast<int>(60 + 150 * t), static_cast<int>(90 + 60 * t), static_cast<int>(200 - 90 * t));
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, colour);
    }
    return image;
}

void Place(const app::ImageLayerPtr& layer, const QString& path, const QSize& size)
{
    layer->SetPath(path);
    layer->SetIsValid(true);
    layer->SetDimensions(size);
    layer->SetDpiX(300);
    layer->SetDpiY(300);
}

void Require(bool condition, const char* what)
{
    if (!condition)
        throw std::runtime_error(what);
}

} // namespace

GreenScreenProject WriteGreenScreenProject(const QString& folder, double megapixels)
{
    GreenScreenProject result;
    result.scene = lumora::keying::MakeScene({"portrait", false, false, 3}, megapixels);
    const int width = result.scene.width;
    const int height = result.scene.height;
    const QDir dir(folder);
    result.photoPath = dir.filePath(QStringLiteral("portrait.png"));
    result.backgroundPath = dir.filePath(QStringLiteral("sky.png"));
    result.projectPath = dir.filePath(QStringLiteral("portrait.lumo4"));

    const QImage photo(result.scene.photo.data(), width, height, width * 4, QImage::Format_ARGB32);
    Require(photo.save(result.photoPath, "PNG", 80), "cannot write the photograph");
    result.background = MakeBackground(width, height);
    Require(result.background.save(result.backgroundPath, "PNG", 80), "cannot write the background");

    app::LMerr code = app::LMerrDefaultProject;
    app::Project project(code);
    Require(code == app::LMerrSuccess, "no default project");
    app::Canvas& canvas = project.GetCanvas();
    canvas.SetDimensionType(app::CanvasDimensionCustom);
    canvas.SetActualDimensions(static_cast<unsigned int>(width), static_cast<unsigned int>(height));
    canvas.SetDimensions(static_cast<unsigned int>(width), static_cast<unsigned int>(height));
    canvas.SetOrientation(width > height ? app::CanvasOrientationLandscape : app::CanvasOrientationPortrait);
    canvas.SetDPI(300);
    const app::LayerManagerPtr manager = project.GetLayerManager();
    Place(manager->GetBackground(), result.backgroundPath, QSize(width, height));
    const auto subject = std::make_shared<app::ForegroundImageLayer>(QStringLiteral("portrait"), result.photoPath);
    Place(subject, result.photoPath, QSize(width, height));
    Require(manager->AddForegroundLayer(subject) == app::LMerrSuccess, "cannot add the foreground");
    manager->SetCurrentForegroundId(subject->Id());
    Require(project.SaveToXml(result.projectPath, ApplicationVersion, QStringLiteral("4.0")) == app::LMerrSuccess,
            "cannot save the project");
    return result;
}

void LoadLayerImages(Application& app)
{
    ASSERT_TRUE(app.LoadProjectImages()) << "a layer image of the project did not load";
}

} // namespace lumo::ui::testing
