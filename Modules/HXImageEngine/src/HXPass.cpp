#include "HXPass.h"

#include "kernels/Kernels.h"

#include <cstring>
#include <new>

namespace hvn::image {

namespace {
bool IsUsable(const HXAbstractImage& image)
{
    return image.BitsPerChannel() == HXBitsPerChannel8 && image.Buffer() != nullptr;
}
} // namespace

int RunPass(const std::vector<HXOperation>& queue, const HXAbstractImage& source, HXAbstractImage& destination,
            const common::HXLookupTables& tables, HXDownsampleFactor factor, double opacity)
{
    if (const int injected = testhooks::TakeInjectedFailure())
        return injected;
    if (queue.empty())
        return HXResultOk;
    if (destination.Width() <= 0 || destination.Height() <= 0)
        return HXResultOk;
    if (!IsUsable(destination))
        return HXResultBadArgument;
    if (&source != &destination) {
        if (!IsUsable(source) || source.Width() != destination.Width() || source.Height() != destination.Height() ||
            source.PixelChannelOrder() != destination.PixelChannelOrder())
            return HXResultImageMismatch;
    }
    try {
        const kernels::KernelContext ctx{tables, factor, DownsampleValue(factor), EngineThreadCount(), opacity};
        const kernels::ImageView view = kernels::ViewOf(destination);
        if (source.Buffer() != destination.Buffer())
            std::memcpy(view.data, source.Buffer(), view.Bytes());
        for (const HXOperation& op : queue) {
            const kernels::Kernel kernel = kernels::KernelFor(op.kind);
            if (!kernel)
                return HXResultBadArgument;
            if (const int result = kernel(op, view, ctx))
                return result;
        }
    } catch (const std::bad_alloc&) {
        return HXResultOutOfMemory;
    } catch (...) {
        return HXResultBadArgument;
    }
    return HXResultOk;
}

} // namespace hvn::image
