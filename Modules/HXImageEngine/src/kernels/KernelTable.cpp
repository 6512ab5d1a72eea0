#include "kernels/Kernels.h"
#include "kernels/PixelSupport.h"

#include <algorithm>
#include <atomic>

namespace hvn::image::kernels {

namespace {
VectorBuild ProcessorBuild()
{
#if defined(__GNUC__) && defined(__x86_64__)
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq"))
        return VectorBuild::Avx512;
    if (__builtin_cpu_supports("avx2"))
        return VectorBuild::Avx2;
#endif
    return VectorBuild::Baseline;
}

std::atomic<VectorBuild> g_widestAllowed{VectorBuild::Avx512};
} // namespace

VectorBuild WidestVectorBuild()
{
    static const VectorBuild processor = ProcessorBuild();
    return std::min(processor, g_widestAllowed.load(std::memory_order_relaxed));
}

void LimitVectorBuild(VectorBuild widest)
{
    g_widestAllowed.store(widest);
}

ImageView ViewOf(const HXAbstractImage& image)
{
    return ImageView{image.Buffer(), image.Width(), image.Height(), image.PixelChannelOrder()};
}

Kernel KernelFor(HXOperationKind kind)
{
    switch (kind) {
    case HXOperationKind::Brightness: return &Brightness;
    case HXOperationKind::Contrast: return &Contrast;
    case HXOperationKind::Saturation: return &Saturation;
    case HXOperationKind::SuperContrast: return &SuperContrast;
    case HXOperationKind::ColorTemperature: return &ColorTemperature;
    case HXOperationKind::ColorBalance: return &ColorBalance;
    case HXOperationKind::HueColorize: return &HueColorize;
    case HXOperationKind::HueShift: return &HueShift;
    case HXOperationKind::Opacity: return &Opacity;
    case HXOperationKind::StackBlur: return &StackBlur;
    case HXOperationKind::Mirror: return &Mirror;
    case HXOperationKind::Sharpen: return &Sharpen;
    case HXOperationKind::Silhouette: return &Silhouette;
    case HXOperationKind::Defocus: return &Defocus;
    case HXOperationKind::Diffuse: return &Diffuse;
    case HXOperationKind::Tint: return &Tint;
    case HXOperationKind::Vignette: return &Vignette;
    case HXOperationKind::SoftFocus: return &SoftFocus;
    case HXOperationKind::ThreeStripColor: return &ThreeStripColor;
    case HXOperationKind::BleachBypass: return &BleachBypass;
    case HXOperationKind::DepthOfField: return &DepthOfField;
    case HXOperationKind::MatteView: return &MatteView;
    case HXOperationKind::YUVBlur: return &YUVBlur;
    case HXOperationKind::AutoColorDifferenceKey: return &AutoColorDifferenceKey;
    case HXOperationKind::SpillSuppression: return &SpillSuppression;
    case HXOperationKind::AlphaCrop: return &AlphaCrop;
    case HXOperationKind::AlphaSuperContrast: return &AlphaSuperContrast;
    case HXOperationKind::AlphaStackBlur: return &AlphaStackBlur;
    case HXOperationKind::WhiteErode: return &WhiteErode;
    case HXOperationKind::Layer: return &Layer;
    case HXOperationKind::LightSpillLayer: return &LightSpillLayer;
    case HXOperationKind::ShadowCastLayer: return &ShadowCastLayer;
    case HXOperationKind::Count: break;
    }
    return nullptr;
}

bool ReadsSource(HXOperationKind kind)
{
    return kind == HXOperationKind::AutoColorDifferenceKey;
}

} // namespace hvn::image::kernels
