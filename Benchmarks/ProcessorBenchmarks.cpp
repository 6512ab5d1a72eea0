// Speed of the processor's operations on a 42-megapixel photograph and a 2.6-megapixel preview,
// on every core and on one, and of the foreground filter list at export size (in place and into a
// separate destination).
//
// Arguments of each run: operation, image size (0 photograph, 1 preview, 2 export), threads.

#include "hvn/common/HXLookupTables.h"
#include "hvn/common/HXSystem.h"
#include "hvn/image/HXImageProcessor.h"
#include "hvn/image/HXOperation.h"

#include "BusyMachine.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace hvn::image;

namespace {

struct Size {
    int width;
    int height;
};
constexpr Size kSizes[] = {{7952, 5304}, {1976, 1318}, {8400, 5600}};

const hvn::common::HXLookupTables& Tables()
{
    static const hvn::common::HXLookupTables tables(true);
    return tables;
}

// A photograph-like picture: smooth colour, noise and a soft-edged subject over transparency.
std::unique_ptr<HXImage8> Picture(const Size& size)
{
    auto image = std::make_unique<HXImage8>(size.width, size.height, HXPixelChannelOrderBGRA, false);
    std::uint32_t state = 12345;
    for (int y = 0; y < size.height; ++y) {
        std::uint8_t* p = image->Buffer() + static_cast<std::size_t>(y) * size.width * 4;
        for (int x = 0; x < size.width; ++x, p += 4) {
            state = state * 1664525u + 1013904223u;
            const int noise = static_cast<int>(state >> 28) - 8;
            const double u = double(x) / size.width - 0.5;
            const double v = double(y) / size.height - 0.5;
            const double edge = (0.35 - std::sqrt(u * u + v * v)) * 40.0;
            p[0] = static_cast<std::uint8_t>(std::clamp(60 + int(120 * (u + 0.5)) + noise, 0, 255));
            p[1] = static_cast<std::uint8_t>(std::clamp(90 + int(100 * (v + 0.5)) + noise, 0, 255));
            p[2] = static_cast<std::uint8_t>(std::clamp(150 + noise, 0, 255));
            p[3] = static_cast<std::uint8_t>(std::clamp(edge * 255.0, 0.0, 255.0));
        }
    }
    return image;
}

HXImage8& CachedPicture(int sizeIndex)
{
    static std::map<int, std::unique_ptr<HXImage8>> pictures;
    auto& picture = pictures[sizeIndex];
    if (!picture)
        picture = Picture(kSizes[sizeIndex]);
    return *picture;
}

using Queue = std::function<void(HXImageProcessor&, const Size&)>;

// The foreground filter list with every item switched on and moved off its neutral value
// (transparency is applied by the render pipeline, silhouette would hide the rest).
void EditedFilterList(HXImageProcessor& p, const Size&)
{
    p.SetBrightness(0.08, HXChannelsColor);
    p.SetContrast(1.15, HXChannelsColor);
    p.SetSaturation(1.2);
    p.SetSuperContrast(0.04, 0.96, HXChannelsColor);
    p.SetColorTemperature(5500 - 1500);
    p.SetColorBalance(1.05, 1.0, 0.95);
    p.SetHueColorize(30, 0.2);
    p.SetStackBlur(10, true, true, HXChannelsColorAndAlpha);
}

// The same items at the values the default project gives them: all neutral.
void DefaultFilterList(HXImageProcessor& p, const Size&)
{
    p.SetBrightness(0, HXChannelsColor);
    p.SetContrast(1, HXChannelsColor);
    p.SetSaturation(1);
    p.SetSuperContrast(0, 1, HXChannelsColor);
    p.SetColorTemperature(5000);
    p.SetColorBalance(1, 1, 1);
    p.SetHueColorize(0, 0);
    p.SetStackBlur(0, true, true, HXChannelsColorAndAlpha);
}

const std::vector<std::pair<std::string, Queue>>& Operations()
{
    static const std::vector<std::pair<std::string, Queue>> operations = {
        {"StackBlur5/r10", [](auto& p, auto&) { p.SetStackBlur(10, true, true, HXChannelsColorAndAlpha); }},
        {"StackBlur5/r40", [](auto& p, auto&) { p.SetStackBlur(40, true, true, HXChannelsColorAndAlpha); }},
        {"StackBlur5/r160", [](auto& p, auto&) { p.SetStackBlur(160, true, true, HXChannelsColorAndAlpha); }},
        {"StackBlur3/r40", [](auto& p, auto&) { p.SetStackBlur(40, true, true, HXChannelsAlpha); }},
        {"Brightness", [](auto& p, auto&) { p.SetBrightness(0.1, HXChannelsColor); }},
        {"Contrast", [](auto& p, auto&) { p.SetContrast(1.2, HXChannelsColor); }},
        {"Saturation", [](auto& p, auto&) { p.SetSaturation(1.3); }},
        {"Levels", [](auto& p, auto&) { p.SetSuperContrast(0.05, 0.95, HXChannelsColor); }},
        {"Temperature", [](auto& p, auto&) { p.SetColorTemperature(2500); }},
        {"Balance", [](auto& p, auto&) { p.SetColorBalance(1.1, 1, 0.9); }},
        {"HueColorize", [](auto& p, auto&) { p.SetHueColorize(30, 0.4); }},
        {"HueShift", [](auto& p, auto&) { p.SetHueShift(40, 1); }},
        {"Tint", [](auto& p, auto&) { p.SetTint(HXTintSepia, 1); }},
        {"Mirror", [](auto& p, auto&) { p.SetMirror(true, true); }},
        {"Sharpen/r40", [](auto& p, auto&) { p.SetSharpen(40, 0.4, 0, 1); }},
        {"Vignette",
         [](auto& p, const Size& s) {
             p.SetVignette(HXPixel8_RGB(0, 0, 0), 1, 1, 0.4, 0.8, 0.8, hvn::maths::HXRect(0, 0, s.width, s.height));
         }},
        {"FilterList/edited", EditedFilterList},
        {"FilterList/edited/separate destination", EditedFilterList},
        {"FilterList/defaults", DefaultFilterList},
    };
    return operations;
}

void BM_Processor(benchmark::State& state)
{
    const auto& [name, queue] = Operations()[static_cast<std::size_t>(state.range(0))];
    const int sizeIndex = static_cast<int>(state.range(1));
    const int threads = static_cast<int>(state.range(2));
    HXImage8& image = CachedPicture(sizeIndex);
    // Most runs work in place; the pipeline's foreground pass renders into an image of its own.
    const bool separate = name.find("separate destination") != std::string::npos;
    std::unique_ptr<HXImage8> destination;
    if (separate)
        destination = std::make_unique<HXImage8>(image.Width(), image.Height(), image.PixelChannelOrder(), true);
    SetEngineThreadCount(threads);
    HXImageProcessor processor(image, separate ? *destination : image, Tables(), HXDownsampleFactor0);
    queue(processor, kSizes[sizeIndex]);
    for (auto _ : state) {
        const int result = processor.Render();
        if (result != 0) {
            state.SkipWithError("Render failed");
            break;
        }
        benchmark::ClobberMemory();
    }
    SetEngineThreadCount(0);
    state.SetLabel(name + (sizeIndex == 0 ? " 42MP" : sizeIndex == 1 ? " 2.6MP" : " 47MP") + " threads " +
                   std::to_string(threads));
    state.counters["MPix/s"] = benchmark::Counter(
        double(kSizes[sizeIndex].width) * kSizes[sizeIndex].height / 1e6 * state.iterations(),
        benchmark::Counter::kIsRate);
}

void Arguments(benchmark::internal::Benchmark* b)
{
    const int cores = hvn::common::HXSystem::GetCPUCoreCount();
    const auto& operations = Operations();
    for (std::size_t op = 0; op < operations.size(); ++op) {
        const bool list = operations[op].first.rfind("FilterList", 0) == 0;
        for (int size : list ? std::vector<int>{2, 1} : std::vector<int>{0, 1})
            for (int threads : {cores, 1})
                b->Args({static_cast<long>(op), size, threads});
    }
}

} // namespace

LUMORA_BENCHMARK(BM_Processor, ->Apply(Arguments)->Unit(benchmark::kMillisecond)->UseRealTime());

BENCHMARK_MAIN();
