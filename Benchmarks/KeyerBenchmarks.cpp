// The key chain of a new project on a 42-megapixel photograph and on its factor-3 preview.
// Times are reported, never asserted. LUMORA_VECTOR_BUILD=baseline or avx2 limits the engine's
// row loops to that build, to time a processor without the wider ones on this one.

#include "KeyingScenes.h"

#include "hvn/common/HXLookupTables.h"
#include "hvn/image/HXImageKeyer.h"
#include "hvn/image/HXOperation.h"

#include "BusyMachine.h"
#include "kernels/PixelSupport.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

using namespace hvn::image;

namespace {

const hvn::common::HXLookupTables& Tables()
{
    static const hvn::common::HXLookupTables tables(true);
    return tables;
}

// A generated green-screen photograph, made once per size.
const HXImage8& Photo(double megapixels)
{
    static std::map<double, std::unique_ptr<HXImage8>> photos;
    auto& photo = photos[megapixels];
    if (!photo) {
        const lumora::keying::Scene scene = lumora::keying::MakeScene({"bench", false, false, 7}, megapixels);
        photo = std::make_unique<HXImage8>(scene.width, scene.height, HXPixelChannelOrderBGRA, false);
        std::memcpy(photo->Buffer(), scene.photo.data(), scene.photo.size());
    }
    return *photo;
}

// The key pass (automatic colour difference) and the spill pass, as a new project runs them.
void DefaultKeyChain(benchmark::State& state, double megapixels, HXDownsampleFactor factor)
{
    SetEngineThreadCount(static_cast<int>(state.range(0)));
    const HXImage8& source = Photo(megapixels);
    // Written once before timing, so that first-touch page faults of a new buffer (cleared
    // buffers are lazily zeroed pages) are not timed as keying.
    HXImage8 target(source.Width(), source.Height(), HXPixelChannelOrderBGRA, true);
    std::memset(target.Buffer(), 0, target.BufferByteSize());
    for (auto _ : state) {
        HXImageKeyer keyer(const_cast<HXImage8&>(source), target, Tables(), factor);
        keyer.SetAutoColorDifferenceKey(HXKeyColorAuto, 1.0, 0.0, 0.33);
        benchmark::DoNotOptimize(keyer.Render());
        HXImageKeyer spill(target, target, Tables(), HXDownsampleFactor0);
        spill.SetSpillSuppression(HXChannelGreen, HXSpillTypeExtended, 1.0, 0.0, 0.0, 0.0, 1.0);
        benchmark::DoNotOptimize(spill.Render());
    }
    state.counters["MP"] = double(source.Width()) * source.Height() / 1.0e6;
    SetEngineThreadCount(0);
}

void KeyAndDetect(benchmark::State& state, double megapixels)
{
    SetEngineThreadCount(static_cast<int>(state.range(0)));
    HXImage8& source = const_cast<HXImage8&>(Photo(megapixels));
    for (auto _ : state) {
        HXKeyColor color = HXKeyColorGreen;
        benchmark::DoNotOptimize(AutoDetectKeyColor(&source, static_cast<int>(state.range(0)), &color));
    }
    SetEngineThreadCount(0);
}

void BM_DefaultKeyChain42MP(benchmark::State& state) { DefaultKeyChain(state, 42.0, HXDownsampleFactor0); }
void BM_DefaultKeyChainPreview(benchmark::State& state) { DefaultKeyChain(state, 42.0 / 16.0, HXDownsampleFactor3); }
void BM_AutoDetectKeyColor42MP(benchmark::State& state) { KeyAndDetect(state, 42.0); }

} // namespace

LUMORA_BENCHMARK(BM_DefaultKeyChain42MP, ->Arg(8)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime());
LUMORA_BENCHMARK(BM_DefaultKeyChainPreview, ->Arg(8)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime());
LUMORA_BENCHMARK(BM_AutoDetectKeyColor42MP, ->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime());

int main(int argc, char** argv)
{
    namespace k = hvn::image::kernels;
    if (const char* build = std::getenv("LUMORA_VECTOR_BUILD")) {
        const std::string name = build;
        k::LimitVectorBuild(name == "baseline" ? k::VectorBuild::Baseline
                            : name == "avx2"   ? k::VectorBuild::Avx2
                                               : k::VectorBuild::Avx512);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
