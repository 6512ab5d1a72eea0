// The render pipeline's first stages on a 42-megapixel photo: opening it from its file until the
// canvas shows its preview, loading a foreground into the caches, and placing the photo (and its
// preview) on the canvas window.
#include "ForegroundImageLayer.h"
#include "ImageLayer.h"
#include "LayerManager.h"
#include "PhotoReading.h"
#include "Project.h"
#include "RenderProcessor.h"
#include "TransformationFunctions.h"

#include <hvn/image/HXImage.h>

#include "BusyMachine.h"
#include "GuiBenchmarkMain.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QTransform>

#include <cstdlib>
#include <memory>

namespace {

using namespace lumo::app;
using hvn::image::HXImage8;
using hvn::image::HXPixelChannelOrderBGRA;

constexpr int kPhotoWidth = 7952; // 42.2 megapixels, 3:2
constexpr int kPhotoHeight = 5304;

// A decoded photo as the JPEG reader gives it (32 bits, no alpha).
QImage Photo()
{
    QImage image(kPhotoWidth, kPhotoHeight, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = qRgb((x >> 4) & 0xFF, 180, (y >> 4) & 0xFF);
    }
    return image;
}

// A keyed foreground: the backdrop around the subject transparent, soft edges between.
std::unique_ptr<HXImage8> KeyedImage(int width, int height)
{
    auto image = std::make_unique<HXImage8>(width, height, HXPixelChannelOrderBGRA, false);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image->Buffer() + static_cast<std::size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x) {
            const int distance = std::abs(x - width / 2) * 255 / (width / 2);
            row[x * 4 + 0] = static_cast<std::uint8_t>(x);
            row[x * 4 + 1] = static_cast<std::uint8_t>(y);
            row[x * 4 + 2] = 90;
            row[x * 4 + 3] = static_cast<std::uint8_t>(distance < 128 ? 255 : distance < 192 ? 4 * (192 - distance) : 0);
        }
    }
    return image;
}

// A 42-megapixel green-screen photo as a camera writes it: a subject before an unevenly lit
// backdrop, with sensor noise (the noise is what makes a camera's JPEG large and slow to decode).
const QString& PhotoFile()
{
    static QTemporaryDir folder;
    static const QString path = [] {
        QImage image(kPhotoWidth, kPhotoHeight, QImage::Format_RGB32);
        std::uint32_t noise = 1;
        for (int y = 0; y < kPhotoHeight; ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < kPhotoWidth; ++x) {
                noise = noise * 1664525u + 1013904223u;
                const int n = static_cast<int>(noise >> 28) - 8;
                const int dx = (x - kPhotoWidth / 2) / 8;
                const int dy = (y - kPhotoHeight / 2) / 8;
                if (dx * dx + dy * dy < 60000)
                    row[x] = qRgb(200 + n, 150 + (x & 15) + n, 120 + (y & 15) + n);
                else
                    row[x] = qRgb(40 + n, std::min(150 + (x + y) / 160, 235) + n, 60 + n);
            }
        }
        const QString file = folder.filePath("photo.jpg");
        if (!image.save(file, "JPG", 92))
            std::abort();
        return file;
    }();
    return path;
}

// From a file name to the canvas image rendered from the photo's preview (not yet painted: the
// first picture on screen is StartupBenchmarks'), in a project whose canvas takes the
// photo's size, in a 1920 x 1080 window. Argument 0: the whole photo decoded and loaded first (as
// before); 1: its preview decoded straight from the file and shown, then the whole photo decoded on
// another thread (complete_ms: until the layer has it too).
void BM_OpenPhotoToPreviewCanvasImage42MP(benchmark::State& state)
{
    const QString& path = PhotoFile();
    const bool previewFirst = state.range(0) == 1;
    // One iteration's project and caches; freeing them (half a gigabyte once the whole photo is in)
    // is no part of opening the next photo, so it happens while the time is paused.
    struct Opened {
        LMerr result = LMerrSuccess;
        std::shared_ptr<Project> project = std::make_shared<Project>(result);
        std::unique_ptr<RenderProcessor> processor;
        std::shared_ptr<ForegroundImageLayer> foreground;
        QImage canvasImage; // a view of the processor's window cache
    };
    std::unique_ptr<Opened> opened;
    double completeMs = 0.0;
    double decodeMs = 0.0;
    double renderMs = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        opened.reset();
        opened = std::make_unique<Opened>();
        Canvas& canvas = opened->project->GetCanvas();
        canvas.SetDimensions(kPhotoWidth, kPhotoHeight);
        canvas.SetScale(1080.0f / kPhotoHeight);
        canvas.SetCentre(960, 540);
        opened->processor = std::make_unique<RenderProcessor>(opened->project, HXPixelChannelOrderBGRA,
                                                              QRect(0, 0, 1920, 1080), opened->result);
        RenderProcessor& processor = *opened->processor;
        opened->foreground = std::make_shared<ForegroundImageLayer>("foreground", path);
        const std::shared_ptr<ForegroundImageLayer>& foreground = opened->foreground;
        opened->project->GetLayerManager()->AddForegroundLayer(foreground);
        opened->project->GetLayerManager()->SetCurrentForegroundId(foreground->Id());
        QElapsedTimer clock;
        state.ResumeTiming();

        clock.start();
        LMerr loaded = LMerrSuccess;
        if (previewFirst) {
            PhotoPreview preview = ReadPhotoPreview(path);
            decodeMs += clock.nsecsElapsed() / 1.0e6;
            loaded = processor.SetLayerPreview(foreground, std::move(preview.image), preview.fullSize);
        } else {
            QImage photo = ReadPhoto(path);
            decodeMs += clock.nsecsElapsed() / 1.0e6;
            loaded = processor.SetLayer(foreground, std::move(photo));
        }
        if (loaded != LMerrSuccess)
            state.SkipWithError("loading the layer failed");
        const qint64 loadedAt = clock.nsecsElapsed();
        if (processor.RenderCanvasImage(hvn::image::HXDownsampleFactor3, opened->canvasImage) != LMerrSuccess)
            state.SkipWithError("preview render failed");
        benchmark::DoNotOptimize(opened->canvasImage.constBits());
        renderMs += (clock.nsecsElapsed() - loadedAt) / 1.0e6;

        state.PauseTiming();
        // The whole photo is decoded once the preview shows (while the user looks at it): decoded
        // alongside the preview, the two slowed each other by about half.
        if (previewFirst && processor.SetLayer(foreground, ReadPhotoInBackground(path).result()) != LMerrSuccess)
            state.SkipWithError("SetLayer failed");
        completeMs += clock.nsecsElapsed() / 1.0e6;
        state.ResumeTiming();
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["complete_ms"] = completeMs / iterations;
    // Where the time to the first preview goes: the file's decode, and the canvas render from the
    // loaded layer (what is left of the total is loading the layer).
    state.counters["decode_ms"] = decodeMs / iterations;
    state.counters["render_ms"] = renderMs / iterations;
}
LUMORA_BENCHMARK(BM_OpenPhotoToPreviewCanvasImage42MP, ->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime());

void BM_SetLayerForeground42MP(benchmark::State& state)
{
    const QImage photo = Photo();
    LMerr result = LMerrSuccess;
    RenderProcessor processor(nullptr, HXPixelChannelOrderBGRA, QRect(0, 0, 1920, 1080), result);
    const auto foreground = std::make_shared<ImageLayer>(LayerTypeForeground, "foreground", QString());
    for (auto _ : state) {
        if (processor.SetLayer(foreground, photo) != LMerrSuccess)
            state.SkipWithError("SetLayer failed");
    }
    state.SetItemsProcessed(state.iterations() * kPhotoWidth * kPhotoHeight);
}
LUMORA_BENCHMARK(BM_SetLayerForeground42MP, ->Unit(benchmark::kMillisecond)->UseRealTime());

// The photo fitted into a 1920 x 1080 window, as the placement stage draws it. Argument 1: the
// keyed foreground (transparent backdrop); 0: an opaque photo.
void PlaceOnWindow(benchmark::State& state, double ratio, bool smooth)
{
    const int width = static_cast<int>(kPhotoWidth * ratio);
    const int height = static_cast<int>(kPhotoHeight * ratio);
    std::unique_ptr<HXImage8> source = KeyedImage(width, height);
    if (state.range(0) == 0) {
        for (std::size_t i = 3; i < source->BufferByteSize(); i += 4)
            source->Buffer()[i] = 255;
    }
    HXImage8 window(static_cast<int>(1920 * ratio), static_cast<int>(1080 * ratio), HXPixelChannelOrderBGRA, true);
    QTransform transform;
    transform.translate(960 * ratio, 540 * ratio).scale(0.19, 0.19).translate(-width * 0.5, -height * 0.5);
    for (auto _ : state) {
        std::memset(window.Buffer(), 0, window.BufferByteSize());
        helper::TransformImage(*source, window, transform, smooth);
        benchmark::DoNotOptimize(window.Buffer());
    }
}

void BM_TransformImage42MPOntoWindow(benchmark::State& state)
{
    PlaceOnWindow(state, 1.0, true);
}
LUMORA_BENCHMARK(BM_TransformImage42MPOntoWindow, ->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime());

void BM_TransformImagePreviewOntoPreviewWindow(benchmark::State& state)
{
    PlaceOnWindow(state, hvn::image::DownsampleValue(hvn::image::HXDownsampleFactor3), false);
}
LUMORA_BENCHMARK(BM_TransformImagePreviewOntoPreviewWindow, ->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime());

} // namespace

int main(int argc, char** argv)
{
    return lumora::bench::RunWithGuiApplication(argc, argv);
}
