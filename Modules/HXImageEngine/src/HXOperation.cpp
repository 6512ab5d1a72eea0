#include "hvn/image/HXOperation.h"
#include "hvn/image/HXRenderQueue.h"

#include "hvn/common/HXSystem.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <new>

namespace hvn::image {

namespace {
std::atomic<int> g_threadCount{0};
std::atomic<int> g_injectedFailure{0};
} // namespace

const char* HXOperationName(HXOperationKind kind)
{
    switch (kind) {
    case HXOperationKind::Brightness: return "SetBrightness";
    case HXOperationKind::Contrast: return "SetContrast";
    case HXOperationKind::Saturation: return "SetSaturation";
    case HXOperationKind::SuperContrast: return "SetSuperContrast";
    case HXOperationKind::ColorTemperature: return "SetColorTemperature";
    case HXOperationKind::ColorBalance: return "SetColorBalance";
    case HXOperationKind::HueColorize: return "SetHueColorize";
    case HXOperationKind::HueShift: return "SetHueShift";
    case HXOperationKind::Opacity: return "SetOpacity";
    case HXOperationKind::StackBlur: return "SetStackBlur";
    case HXOperationKind::Mirror: return "SetMirror";
    case HXOperationKind::Sharpen: return "SetSharpen";
    case HXOperationKind::Silhouette: return "SetSilhouette";
    case HXOperationKind::Defocus: return "SetDefocus";
    case HXOperationKind::Diffuse: return "SetDiffuse";
    case HXOperationKind::Tint: return "SetTint";
    case HXOperationKind::Vignette: return "SetVignette";
    case HXOperationKind::SoftFocus: return "SetSoftFocus";
    case HXOperationKind::ThreeStripColor: return "SetThreeStripColor";
    case HXOperationKind::BleachBypass: return "SetBleachBypass";
    case HXOperationKind::DepthOfField: return "SetDepthOfField";
    case HXOperationKind::MatteView: return "SetMatteView";
    case HXOperationKind::YUVBlur: return "SetYUVBlur";
    case HXOperationKind::AutoColorDifferenceKey: return "SetAutoColorDifferenceKey";
    case HXOperationKind::SpillSuppression: return "SetSpillSuppression";
    case HXOperationKind::AlphaCrop: return "SetAlphaCrop";
    case HXOperationKind::AlphaSuperContrast: return "SetAlphaSuperContrast";
    case HXOperationKind::AlphaStackBlur: return "SetAlphaStackBlur";
    case HXOperationKind::WhiteErode: return "SetWhiteErode";
    case HXOperationKind::Layer: return "AddLayer";
    case HXOperationKind::LightSpillLayer: return "AddLightSpillLayer";
    case HXOperationKind::ShadowCastLayer: return "AddShadowCastLayer";
    case HXOperationKind::Count: break;
    }
    return "?";
}

std::string HXOperationToString(const HXOperation& op)
{
    std::string text = HXOperationName(op.kind);
    text += '(';
    for (std::size_t i = 0; i < op.args.size(); ++i) {
        if (i)
            text += ", ";
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, op.args[i]);
        text.append(buffer, result.ptr);
    }
    text += ')';
    return text;
}

void SetEngineThreadCount(int threads)
{
    g_threadCount.store(threads > 0 ? threads : 0);
}

int EngineThreadCount()
{
    const int forced = g_threadCount.load();
    return forced > 0 ? forced : common::HXSystem::GetCPUCoreCount();
}

int EngineThreadCount(long long pixels)
{
    // Waking a thread costs about what a pass over this many pixels takes.
    constexpr long long kPixelsPerThread = 1LL << 16;
    const int forced = g_threadCount.load();
    if (forced > 0)
        return forced;
    const long long worthwhile = std::max(pixels, 0LL) / kPixelsPerThread + 1;
    return static_cast<int>(std::min<long long>(worthwhile, common::HXSystem::GetCPUCoreCount()));
}

namespace testhooks {
void FailNextRender(int code)
{
    g_injectedFailure.store(code);
}
int TakeInjectedFailure()
{
    return g_injectedFailure.exchange(0);
}
} // namespace testhooks

int HXRenderQueue::Enqueue(HXOperationKind kind, std::vector<double> args, const HXAbstractImage* image)
{
    try {
        m_queue.push_back(HXOperation{kind, std::move(args), image});
    } catch (const std::bad_alloc&) {
        return HXResultOutOfMemory;
    }
    return HXResultOk;
}

} // namespace hvn::image
