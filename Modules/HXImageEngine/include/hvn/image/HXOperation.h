#pragma once

#include "hvn/image/HXTypes.h"

#include <string>
#include <vector>

namespace hvn::image {

class HXAbstractImage;

// Every operation the engine classes can queue, one per setter.
enum class HXOperationKind : int {
    // HXImageProcessor
    Brightness,
    Contrast,
    Saturation,
    SuperContrast,
    ColorTemperature,
    ColorBalance,
    HueColorize,
    HueShift,
    Opacity,
    StackBlur,
    Mirror,
    Sharpen,
    Silhouette,
    Defocus,
    Diffuse,
    Tint,
    Vignette,
    SoftFocus,
    ThreeStripColor,
    BleachBypass,
    DepthOfField,
    MatteView,
    // HXImageKeyer
    YUVBlur,
    AutoColorDifferenceKey,
    SpillSuppression,
    AlphaCrop,
    AlphaSuperContrast,
    AlphaStackBlur,
    WhiteErode,
    // HXImageCompositor
    Layer,
    LightSpillLayer,
    ShadowCastLayer,
    Count
};

// One queued operation, kept as plain data so callers and tests can inspect what was queued.
// args hold the setter's arguments in call order; enumerations and flags as numbers, a colour as
// its red, green and blue bytes, a rectangle as left, top, right, bottom, a quad as its corners'
// x and y from top-left clockwise, a point as x and y.
struct HXOperation {
    HXOperationKind kind = HXOperationKind::Count;
    std::vector<double> args;
    const HXAbstractImage* image = nullptr; // compositor layers only; owned by the caller

    double Arg(std::size_t index) const { return index < args.size() ? args[index] : 0.0; }
};

// The setter's name of an operation kind ("SetStackBlur", "AddLayer", ...).
const char* HXOperationName(HXOperationKind kind);
// "SetStackBlur(1, 1, 1, 5)": for test messages.
std::string HXOperationToString(const HXOperation& op);

// Threads used by Render(): 0 means HXSystem::GetCPUCoreCount(), or fewer for an image too small
// to be worth waking them (EngineThreadCount(pixels)). Results never depend on it.
void SetEngineThreadCount(int threads);
int EngineThreadCount();
// The threads a render of an image of this many pixels uses: the count set, or, when none is set,
// one for every 65,536 pixels up to the processor count (a mask's box, a thumbnail: one).
int EngineThreadCount(long long pixels);

namespace testhooks {
// The next Render() of any engine class returns this code without touching pixels (0 cancels).
void FailNextRender(int code);
// Takes the pending failure code, if any; used by the engine classes.
int TakeInjectedFailure();
// While recording, every Render() of any engine class keeps a copy of its queue (also when it
// fails or the queue is empty), so tests can see which passes a higher-level render ran.
void RecordRenders(bool enable);
// The queues recorded since the last call, in Render() order.
std::vector<std::vector<HXOperation>> TakeRecordedRenders();
} // namespace testhooks

} // namespace hvn::image
