// The layer render of a 42-megapixel green-screen foreground in a 1920 x 1080 window: at the
// preview factor from the key stage on (a key slider's change) and from the filter stage on (a
// filter slider's change, on the 480 x 270 window image), at full resolution from the key stage on
// (what a release renders), and ten feathered masks drawn anew and from their cache. These are the layer's render
// alone: a slider's whole frame (input, render, composition, paint) is SliderDragBenchmarks'.
#include "FilterItems.h"
#include "ForegroundImageLayer.h"
#include "LayerManager.h"
#include "Mask.h"
#include "Project.h"
#include "RenderProcessor.h"

#include "BusyMachine.h"

#include <benchmark/benchmark.h>

#include <QImage>

#include <cstdlib>
#include <memory>

namespace {

using namespace lumo::app;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

constexpr int kPhotoWidth = 7952; // 42.2 megapixels, 3:2
constexpr int kPhotoHeight = 5304;

// A lit subject with soft, hair-like edges in front of an unevenly lit green backdrop.
QImage GreenScreenPhoto()
{
    QImage image(kPhotoWidth, kPhotoHeight, QImage::Format_RGB32);
    const int cx = kPhotoWidth / 2;
    const int cy = kPhotoHeight / 2;
    for (int y = 0; y < kPhotoHeight; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kPhotoWidth; ++x) {
            const int dx = (x - cx) / 8;
            const int dy = (y - cy) / 8;
            const int distance = dx * dx + dy * dy;
            const int light = 150 + (x + y) / 160;
            if (distance < 60000 + ((x * 7 + y * 3) & 2047))
                row[x] = qRgb(200, 150 + (x & 15), 120 + (y & 15));
            else
                row[x] = qRgb(40, std::min(light, 235), 60);
        }
    }
    return image;
}

// One project and processor for every benchmark: loading the photo takes seconds.
struct Scene {
    Scene()
    {
        LMerr result = LMerrSuccess;
        project = std::make_shared<Project>(result);
        Canvas& canvas = project->GetCanvas();
        canvas.SetDimensions(kPhotoWidth, kPhotoHeight);
        canvas.SetScale(1080.0f / kPhotoHeight);
        canvas.SetCentre(960, 540);
        processor = std::make_unique<RenderProcessor>(project, hvn::image::HXPixelChannelOrderBGRA,
                                                      QRect(0, 0, 1920, 1080), result);
        foreground = std::make_shared<ForegroundImageLayer>("foreground", QString());
        project->GetLayerManager()->AddForegroundLayer(foreground);
        project->GetLayerManager()->SetCurrentForegroundId(foreground->Id());
        settings = foreground->ForegroundSettings();
        // A typical correction: brightness and saturation.
        for (auto it = settings->Filters().Begin(); it != settings->Filters().End(); ++it) {
            if ((*it)->Type() == FilterItemTypeBrightness)
                static_cast<BrightnessFilterItem&>(**it).SetBrightness(0.1);
            else if ((*it)->Type() == FilterItemTypeSaturation)
                static_cast<SaturationFilterItem&>(**it).SetSaturation(1.2);
            else
                continue;
            (*it)->SetEnabled(true);
            (*it)->SetActive(true);
        }
        if (processor->SetLayer(foreground, GreenScreenPhoto()) != LMerrSuccess)
            std::abort();
        for (const auto factor : {HXDownsampleFactor0, HXDownsampleFactor3})
            processor->RenderLayer(foreground, RenderLevelKey, factor);
    }

    void SetMasks(int count)
    {
        settings->Masks().Clear();
        for (int i = 0; i < count; ++i) {
            const double x = 400 + (i % 5) * 1400;
            const double y = 600 + (i / 5) * 2200;
            auto mask = std::make_shared<Mask>("mask", i % 3 != 0, false, true, true, 20, 1.0f,
                                               project->GetCanvas().Scale());
            for (const QPointF point : {QPointF(x, y), QPointF(x + 1100, y + 100), QPointF(x + 900, y + 1800),
                                        QPointF(x - 100, y + 1500)})
                mask->Add(std::make_shared<MaskHandle>(point));
            settings->Masks().Add(mask);
        }
    }

    std::shared_ptr<Project> project;
    std::unique_ptr<RenderProcessor> processor;
    ForegroundImageLayerPtr foreground;
    ForegroundImageLayerSettingsPtr settings;
};

Scene& TheScene()
{
    static Scene scene;
    return scene;
}

void Render(benchmark::State& state, RenderLevel level, hvn::image::HXDownsampleFactor factor)
{
    Scene& scene = TheScene();
    scene.SetMasks(0);
    for (auto _ : state) {
        scene.processor->SetCacheValid(scene.foreground, level, factor, false);
        if (scene.processor->RenderLayer(scene.foreground, level, factor) != LMerrSuccess)
            state.SkipWithError("RenderLayer failed");
    }
}

// The key, placement, spill and filter stages on the factor-3 preview (the photo at 1988 x 1326,
// the window image at 480 x 270). Target: 33 ms or less on 8 cores.
void BM_LayerRenderFromKeyPreview(benchmark::State& state)
{
    Render(state, RenderLevelKey, HXDownsampleFactor3);
}
LUMORA_BENCHMARK(BM_LayerRenderFromKeyPreview, ->Unit(benchmark::kMillisecond)->UseRealTime());

// The filter stage alone on the preview's 480 x 270 window image. Target: 10 ms or less.
void BM_LayerFilterStage480x270(benchmark::State& state)
{
    Render(state, RenderLevelFilter, HXDownsampleFactor3);
}
LUMORA_BENCHMARK(BM_LayerFilterStage480x270, ->Unit(benchmark::kMillisecond)->UseRealTime());

// The same stages at full resolution (the photo at 7952 x 5304, the window image at 1920 x 1080):
// the layer's part of a release frame, whose whole frame is SliderDragBenchmarks' Release/<case>.
// Target: 250 ms or less.
void BM_LayerRenderFromKeyFull(benchmark::State& state)
{
    Render(state, RenderLevelKey, HXDownsampleFactor0);
}
LUMORA_BENCHMARK(BM_LayerRenderFromKeyFull, ->Unit(benchmark::kMillisecond)->UseRealTime());

// Ten masks with feather 20 from the placement stage on (a mask edit). Argument 1: every mask
// drawn anew; 0: from the cache. Range 1: the factor.
void BM_LayerRenderTenFeatheredMasks(benchmark::State& state)
{
    Scene& scene = TheScene();
    scene.SetMasks(10);
    const auto factor = static_cast<hvn::image::HXDownsampleFactor>(state.range(1));
    scene.processor->RenderLayer(scene.foreground, RenderLevelPostFilter, factor);
    for (auto _ : state) {
        if (state.range(0) == 1)
            scene.processor->InvalidateAllMaskCache();
        scene.processor->SetCacheValid(scene.foreground, RenderLevelPostFilter, factor, false);
        if (scene.processor->RenderLayer(scene.foreground, RenderLevelPostFilter, factor) != LMerrSuccess)
            state.SkipWithError("RenderLayer failed");
    }
    scene.SetMasks(0);
}
LUMORA_BENCHMARK(BM_LayerRenderTenFeatheredMasks,
                 ->ArgsProduct({{1, 0}, {HXDownsampleFactor0, HXDownsampleFactor3}})
                 ->ArgNames({"first", "factor"})
                 ->Unit(benchmark::kMillisecond)
                 ->UseRealTime());

} // namespace

BENCHMARK_MAIN();
