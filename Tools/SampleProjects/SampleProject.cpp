#include "SampleProject.h"

#include "ForegroundImageLayer.h"
#include "LayerManager.h"
#include "Project.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <stdexcept>

namespace lumora::samples {

namespace {

using namespace lumo;

// A blue sky fading to a warm horizon: far from the green backdrop, so that what shows through
// where the backdrop was keyed out is plainly the background.
QImage MakeBackground(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const double t = static_cast<double>(y) / std::max(1, height - 1);
        const QRgb colour =
            qRgb(static_cast<int>(60 + 150 * t), static_cast<int>(90 + 60 * t), static_cast<int>(200 - 90 * t));
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(row, row + width, colour);
    }
    return image;
}

constexpr int kDpi = 300;

void SetResolution(QImage& image)
{
    const int dotsPerMetre = qRound(kDpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
}

void Place(const app::ImageLayerPtr& layer, const QString& path, const QSize& size)
{
    layer->SetPath(path);
    layer->SetIsValid(true);
    layer->SetDimensions(size);
    layer->SetDpiX(kDpi);
    layer->SetDpiY(kDpi);
}

void Require(bool condition, const char* what)
{
    if (!condition)
        throw std::runtime_error(what);
}

} // namespace

GreenScreenProjectFiles WriteGreenScreenProject(const QString& folder, const GreenScreenProjectSpec& spec)
{
    GreenScreenProjectFiles result;
    result.scene = lumora::keying::MakeScene({"portrait", false, false, 3}, spec.megapixels);
    const int width = result.scene.width;
    const int height = result.scene.height;
    const QDir dir(folder);
    const QString extension = QString::fromLatin1(spec.imageFormat).toLower();
    result.photoPath = dir.filePath(QStringLiteral("portrait.") + extension);
    result.backgroundPath = dir.filePath(QStringLiteral("sky.") + extension);
    result.projectPath = dir.filePath(QStringLiteral("portrait.lumo4"));
    // PNG at 80 packs tightly enough; JPEG at 90 as a camera writes it.
    const int quality = extension == QLatin1String("png") ? 80 : 90;

    QImage photo(result.scene.photo.data(), width, height, width * 4, QImage::Format_ARGB32);
    // The files carry the resolution the project states, as a camera's photographs do: reopening
    // the project then reads back what it holds.
    SetResolution(photo);
    Require(photo.save(result.photoPath, spec.imageFormat, quality), "cannot write the photograph");
    result.background = MakeBackground(width, height);
    SetResolution(result.background);
    Require(result.background.save(result.backgroundPath, spec.imageFormat, quality), "cannot write the background");

    WriteCompositeProject(result.projectPath, {result.photoPath, QSize(width, height), result.backgroundPath,
                                               QSize(width, height), QString(), QSize()},
                          spec.applicationVersion);
    return result;
}

void WriteCompositeProject(const QString& projectPath, const CompositeProjectFiles& files,
                           const QString& applicationVersion)
{
    const int width = files.photoSize.width();
    const int height = files.photoSize.height();
    app::LMerr code = app::LMerrDefaultProject;
    app::Project project(code);
    Require(code == app::LMerrSuccess, "no default project");
    app::Canvas& canvas = project.GetCanvas();
    canvas.SetDimensionType(app::CanvasDimensionCustom);
    canvas.SetActualDimensions(static_cast<unsigned int>(width), static_cast<unsigned int>(height));
    canvas.SetDimensions(static_cast<unsigned int>(width), static_cast<unsigned int>(height));
    canvas.SetOrientation(width > height ? app::CanvasOrientationLandscape : app::CanvasOrientationPortrait);
    canvas.SetDPI(kDpi);
    const app::LayerManagerPtr manager = project.GetLayerManager();
    Place(manager->GetBackground(), files.backgroundPath, files.backgroundSize);
    if (!files.overlayPath.isEmpty())
        Place(manager->GetOverlay(), files.overlayPath, files.overlaySize);
    const QString name = QFileInfo(files.photoPath).completeBaseName();
    const auto subject = std::make_shared<app::ForegroundImageLayer>(name, files.photoPath);
    Place(subject, files.photoPath, files.photoSize);
    Require(manager->AddForegroundLayer(subject) == app::LMerrSuccess, "cannot add the foreground");
    manager->SetCurrentForegroundId(subject->Id());
    Require(project.SaveToXml(projectPath, applicationVersion, QStringLiteral("4.0")) == app::LMerrSuccess,
            "cannot save the project");
}

} // namespace lumora::samples
