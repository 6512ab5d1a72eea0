// The compositor at export sizes: light wrap on a 47-megapixel canvas and four 42-megapixel layers.
// Run: build/Benchmarks/CompositorBenchmarks (the first argument is the engine's thread count).

#include "hvn/common/HXLookupTables.h"
#include "hvn/image/HXImageCompositor.h"
#include "hvn/image/HXImageProcessor.h"

#include "BusyMachine.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>

using namespace hvn::image;

namespace {

const hvn::common::HXLookupTables& Tables()
{
    static const hvn::common::HXLookupTables tables(true);
    return tables;
}

std::unique_ptr<HXImage8> Make(int width, int height, const std::function<void(int, int, std::uint8_t*)>& fill)
{
    auto image = std::make_unique<HXImage8>(width, height, HXPixelChannelOrderBGRA, false);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            fill(x, y, image->Buffer() + (static_cast<std::size_t>(y) * width + x) * 4);
    return image;
}

// An opaque photograph-like background: smooth gradients with some texture.
std::unique_ptr<HXImage8> Background(int width, int height)
{
    return Make(width, height, [](int x, int y, std::uint8_t* p) {
        p[0] = static_cast<std::uint8_t>(x / 23 + ((x * 7 + y * 13) & 15));
        p[1] = static_cast<std::uint8_t>(y / 31 + ((x * 5 ^ y * 3) & 31));
        p[2] = static_cast<std::uint8_t>((x + y) / 47);
        p[3] = 255;
    });
}

// A keyed subject: an opaque ellipse with a soft rim of a few pixels, transparent elsewhere.
std::unique_ptr<HXImage8> Subject(int width, int height, double cover)
{
    return Make(width, height, [=](int x, int y, std::uint8_t* p) {
        const double dx = (x - width / 2.0) / (width * cover / 2.0), dy = (y - height / 2.0) / (height * cover / 2.0);
        const double edge = (1.0 - std::sqrt(dx * dx + dy * dy)) * width * cover / 6.0;
        p[0] = 90;
        p[1] = static_cast<std::uint8_t>(x & 255);
        p[2] = 160;
        p[3] = static_cast<std::uint8_t>(std::clamp(edge * 255.0, 0.0, 255.0));
    });
}

// An overlay: a frame around the border, a semi-transparent band, transparent in the middle.
std::unique_ptr<HXImage8> Overlay(int width, int height)
{
    return Make(width, height, [=](int x, int y, std::uint8_t* p) {
        const int border = std::min(std::min(x, width - 1 - x), std::min(y, height - 1 - y));
        p[0] = p[1] = p[2] = 240;
        p[3] = border < 150 ? 255 : (y > height * 3 / 4 && y < height * 4 / 5) ? 128 : 0;
    });
}

void Reset(HXImage8& target, const HXImage8& from)
{
    std::memcpy(target.Buffer(), from.Buffer(), from.BufferByteSize());
}

// 5600 x 8400 (47 megapixels): the export canvas of a 42-megapixel portrait with its margin.
// Arguments: threads, blur (10 the usual; 120 a wide one, where margins outweigh the edge).
void BM_LightWrapExportCanvas(benchmark::State& state)
{
    SetEngineThreadCount(static_cast<int>(state.range(0)));
    const int blur = static_cast<int>(state.range(1));
    const int width = 5600, height = 8400;
    const auto background = Background(width, height);
    const auto subject = Subject(width, height, 0.7);
    HXImage8 target(width, height, HXPixelChannelOrderBGRA, false);
    for (auto _ : state) {
        state.PauseTiming();
        Reset(target, *background);
        state.ResumeTiming();
        HXImageCompositor compositor(target, 1.0, Tables(), HXDownsampleFactor0);
        compositor.AddLightSpillLayer(*subject, blur, 1.0, HXBlendModeLighten, HXDownsampleFactor0);
        if (compositor.Render() != 0)
            state.SkipWithError("render failed");
    }
    SetEngineThreadCount(0);
}
LUMORA_BENCHMARK(BM_LightWrapExportCanvas,
                 ->Args({8, 10})
                 ->Args({1, 10})
                 ->Args({8, 120})
                 ->Args({1, 120})
                 ->Unit(benchmark::kMillisecond)
                 ->UseRealTime());

// Background, a further image layer, the keyed foreground and the overlay, 7920 x 5304 each
// (42 megapixels), the way the export adds them: one Render per layer.
void BM_FourLayers42MP(benchmark::State& state)
{
    SetEngineThreadCount(static_cast<int>(state.range(0)));
    const int width = 7920, height = 5304;
    const auto background = Background(width, height);
    const auto further = Subject(width, height, 0.9);
    const auto foreground = Subject(width, height, 0.6);
    const auto overlay = Overlay(width, height);
    HXImage8 target(width, height, HXPixelChannelOrderBGRA, true);
    for (auto _ : state) {
        state.PauseTiming();
        std::memset(target.Buffer(), 0, target.BufferByteSize());
        state.ResumeTiming();
        HXImageCompositor compositor(target, 1.0, Tables(), HXDownsampleFactor0);
        int result = 0;
        for (const HXImage8* layer : {background.get(), further.get(), foreground.get(), overlay.get()}) {
            compositor.ClearRenderQueue();
            compositor.AddLayer(*layer, 1.0, HXBlendModeNormal,
                                layer == foreground.get() ? HXCompositeTypeOverMasked : HXCompositeTypeOver);
            result |= compositor.Render();
        }
        if (result != 0)
            state.SkipWithError("render failed");
    }
    SetEngineThreadCount(0);
}
LUMORA_BENCHMARK(BM_FourLayers42MP, ->Arg(8)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime());

// The worst case for the layer kernel: every pixel semi-transparent on both sides, Soft Light.
void BM_SemiTransparentSoftLight42MP(benchmark::State& state)
{
    SetEngineThreadCount(static_cast<int>(state.range(0)));
    const int width = 7920, height = 5304;
    const auto below = Make(width, height, [](int x, int y, std::uint8_t* p) {
        p[0] = static_cast<std::uint8_t>(x);
        p[1] = static_cast<std::uint8_t>(y);
        p[2] = 100;
        p[3] = 180;
    });
    const auto layer = Make(width, height, [](int x, int y, std::uint8_t* p) {
        p[0] = static_cast<std::uint8_t>(y);
        p[1] = 200;
        p[2] = static_cast<std::uint8_t>(x + y);
        p[3] = 100;
    });
    HXImage8 target(width, height, HXPixelChannelOrderBGRA, false);
    for (auto _ : state) {
        state.PauseTiming();
        Reset(target, *below);
        state.ResumeTiming();
        HXImageCompositor compositor(target, 1.0, Tables(), HXDownsampleFactor0);
        compositor.AddLayer(*layer, 0.8, HXBlendModeSoftLight, HXCompositeTypeOver);
        if (compositor.Render() != 0)
            state.SkipWithError("render failed");
    }
    SetEngineThreadCount(0);
}
LUMORA_BENCHMARK(BM_SemiTransparentSoftLight42MP, ->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime());

} // namespace

BENCHMARK_MAIN();
