// The whole picture: the render of a 42-megapixel export image (a 42-megapixel green-screen
// foreground over a 42-megapixel background and under a 42-megapixel overlay, with light wrap and
// a vignette), and the render of the whole canvas window's image at full resolution (the render
// alone: no paint). Peak memory is
// reported as the process's peak resident size (getrusage), setup included; the render's time by
// stage (milliseconds, the last render) as the other counters. The render is only the first step
// of an export: ExportBenchmarks times the whole road (render, onto white, encoding, the write).
#include "CompositeItems.h"
#include "ForegroundImageLayer.h"
#include "KeyItems.h"
#include "LayerManager.h"
#include "Project.h"
#include "RenderProcessor.h"
#include "RenderProcessorTestPeer.h"

#include "BusyMachine.h"
#include "GuiBenchmarkMain.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <sys/resource.h>

#include <memory>

namespace {

using namespace lumo::app;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXPixelChannelOrderBGRA;

constexpr int kWidth = 7952; // 42.2 megapixels, 3:2
constexpr int kHeight = 5304;
const QRect kWindow(0, 0, 1920, 1080);

double PeakRssMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0; // kilobytes on Linux
}

QImage GreenScreenPhoto()
{
    QImage photo(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < kWidth; ++x)
            row[x] = qRgb(40 + (x & 7), 160 + ((x + y) >> 7) % 40, 55 + (y & 7));
    }
    QPainter painter(&photo);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(205, 150, 120));
    painter.drawEllipse(QPointF(kWidth / 2.0, kHeight * 0.55), kWidth * 0.22, kHeight * 0.4);
    return photo;
}

QImage Gradient()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x)
            row[x] = qRgb(90 + (x >> 6) % 100, 140 - (y >> 6), 230 - (y >> 5));
    }
    return image;
}

// A frame with a soft, half-transparent inner band.
QImage Frame()
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
    image.fill(QColor(200, 30, 160));
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(QRect(200, 200, kWidth - 400, kHeight - 400), QColor(255, 255, 255, 90));
    painter.fillRect(QRect(400, 400, kWidth - 800, kHeight - 800), Qt::transparent);
    return image;
}

// A 42-megapixel project with every layer loaded, light wrap on (it is on by default and the
// background is visible) and the vignette switched on.
struct Scene {
    Scene()
    {
        LMerr result = LMerrSuccess;
        project = std::make_shared<Project>(result);
        Canvas& canvas = project->GetCanvas();
        canvas.SetDimensionType(CanvasDimensionCustom);
        canvas.SetDimensions(kWidth, kHeight);
        canvas.SetScale(static_cast<float>(std::min(1920.0 / kWidth, 1080.0 / kHeight)));
        canvas.SetCentre(960, 540);
        manager = project->GetLayerManager();
        processor = std::make_unique<RenderProcessor>(project, HXPixelChannelOrderBGRA, kWindow, result);
        foreground = std::make_shared<ForegroundImageLayer>("subject", "subject.jpg");
        manager->AddForegroundLayer(foreground);
        manager->SetCurrentForegroundId(foreground->Id());
        const CompositeList& composites = manager->GetForegroundSettings()->Compositors();
        for (auto it = composites.Begin(); it != composites.End(); ++it) {
            if ((*it)->Type() == CompositeItemTypeVignette)
                (*it)->SetEnabled(true);
        }
        Load(foreground, GreenScreenPhoto());
        Load(manager->GetBackground(), Gradient());
        Load(manager->GetOverlay(), Frame());
    }

    void Load(const ImageLayerPtr& layer, QImage photo)
    {
        layer->SetIsValid(true);
        layer->SetDimensions(photo.size());
        ok = ok && processor->SetLayer(layer, photo) == LMerrSuccess;
    }

    std::shared_ptr<Project> project;
    LayerManagerPtr manager;
    std::unique_ptr<RenderProcessor> processor;
    ForegroundImageLayerPtr foreground;
    bool ok = true;
};

// RenderProcessor::RenderExportImage alone: no onto-white step, no encoding, no write.
void BM_RenderExportImage42MP(benchmark::State& state)
{
    Scene scene;
    if (!scene.ok) {
        state.SkipWithError("loading the layers failed");
        return;
    }
    scene.processor->RemoveCacheBeforeExport();
    for (auto _ : state) {
        QImage image;
        if (scene.processor->RenderExportImage(scene.foreground->Id(), image) != LMerrSuccess)
            state.SkipWithError("export failed");
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
    state.SetItemsProcessed(state.iterations() * static_cast<long>(kWidth) * kHeight);
    // The last render by stage, in milliseconds.
    for (const auto& [stage, ms] : RenderProcessorTestPeer::Impl(*scene.processor).exportStages)
        state.counters[stage] = ms;
}
LUMORA_BENCHMARK(BM_RenderExportImage42MP, ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3));

// Argument 0: every cache current, as after a composite-effect change (composition only).
// Argument 1: every layer stale from its first stage, as after loading a project.
void BM_RenderCanvasImageFullResolution(benchmark::State& state)
{
    Scene scene;
    if (!scene.ok) {
        state.SkipWithError("loading the layers failed");
        return;
    }
    const bool rerenderLayers = state.range(0) == 1;
    const ImageLayerPtr layers[] = {scene.foreground, scene.manager->GetBackground(), scene.manager->GetOverlay()};
    QImage image;
    scene.processor->RenderCanvasImage(HXDownsampleFactor0, image);
    for (auto _ : state) {
        if (rerenderLayers) {
            for (const ImageLayerPtr& layer : layers)
                for (int level = RenderLevelKey; level <= RenderLevelFinal; ++level)
                    scene.processor->SetCacheValid(layer, level, HXDownsampleFactor0, false);
            scene.processor->InvalidateShadowCache(HXDownsampleFactor0);
        }
        if (scene.processor->RenderCanvasImage(HXDownsampleFactor0, image) != LMerrSuccess)
            state.SkipWithError("canvas render failed");
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
}
LUMORA_BENCHMARK(BM_RenderCanvasImageFullResolution, ->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime());

} // namespace

int main(int argc, char** argv)
{
    return lumora::bench::RunWithGuiApplication(argc, argv);
}
