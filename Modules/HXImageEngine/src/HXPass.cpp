#include "HXPass.h"

#include "kernels/PixelSupport.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>
#include <utility>

namespace hvn::image {

namespace {
std::atomic<bool> g_recording{false};
std::mutex g_recordedMutex;
std::vector<std::vector<HXOperation>> g_recorded;

void RecordRender(const std::vector<HXOperation>& queue)
{
    if (!g_recording.load(std::memory_order_relaxed))
        return;
    const std::lock_guard<std::mutex> lock(g_recordedMutex);
    try {
        g_recorded.push_back(queue);
    } catch (const std::bad_alloc&) {
        // A test hook never makes a render fail.
    }
}

bool IsUsable(const HXAbstractImage& image)
{
    return image.BitsPerChannel() == HXBitsPerChannel8 && image.Buffer() != nullptr;
}
} // namespace

int RunPass(const std::vector<HXOperation>& queue, const HXAbstractImage& source, HXAbstractImage& destination,
            const common::HXLookupTables& tables, HXDownsampleFactor factor, double opacity)
{
    RecordRender(queue);
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
        const kernels::KernelContext ctx{tables, factor, DownsampleValue(factor),
                                         EngineThreadCount(static_cast<long long>(destination.Width()) * destination.Height()),
                                         opacity};
        const kernels::ImageView view = kernels::ViewOf(destination);
        // An out-of-place pass starts from a copy of the source. When it starts with colour
        // operations the copy is folded into their pass; otherwise it is made on every thread.
        const std::uint8_t* pendingSource = source.Buffer() != destination.Buffer() ? source.Buffer() : nullptr;
        auto copySource = [&] {
            if (!pendingSource)
                return;
            kernels::ParallelFor(view.height, ctx.threads, [&](int begin, int end) {
                std::memcpy(view.Row(begin), pendingSource + (view.Row(begin) - view.data),
                            view.RowBytes() * static_cast<std::size_t>(end - begin));
            });
            pendingSource = nullptr;
        };
        // Consecutive per-pixel colour operations run together, row by row, in one pass over the
        // image; a refused one stops the run after the ones before it, as one by one.
        std::vector<kernels::PixelStage> stages;
        auto flush = [&] {
            if (pendingSource && !stages.empty()) {
                kernels::RunStagesFrom(pendingSource, view, ctx, stages.data(), stages.size());
                pendingSource = nullptr;
            } else {
                copySource();
                kernels::RunStages(view, ctx, stages.data(), stages.size());
            }
            stages.clear();
        };
        for (const HXOperation& op : queue) {
            if (const kernels::StageBuilder build = kernels::StageBuilderFor(op.kind)) {
                kernels::PixelStage stage;
                if (const int result = build(op, view, ctx, stage)) {
                    flush();
                    return result;
                }
                stages.push_back(stage);
                continue;
            }
            // A kernel that reads the source itself and writes every pixel needs no copy made first.
            const bool readsSource = pendingSource && stages.empty() && kernels::ReadsSource(op.kind);
            if (!readsSource)
                flush();
            const kernels::Kernel kernel = kernels::KernelFor(op.kind);
            if (!kernel)
                return HXResultBadArgument;
            if (readsSource) {
                kernels::KernelContext fromSource = ctx;
                fromSource.source = std::exchange(pendingSource, nullptr);
                int result = HXResultOutOfMemory;
                try {
                    result = kernel(op, view, fromSource);
                } catch (const std::bad_alloc&) {
                }
                if (result) {
                    // A refused or failed pass leaves the copy the kernel would have started from.
                    pendingSource = fromSource.source;
                    copySource();
                    return result;
                }
                continue;
            }
            if (const int result = kernel(op, view, ctx))
                return result;
        }
        flush();
    } catch (const std::bad_alloc&) {
        return HXResultOutOfMemory;
    } catch (...) {
        return HXResultBadArgument;
    }
    return HXResultOk;
}

namespace testhooks {
void RecordRenders(bool enable)
{
    const std::lock_guard<std::mutex> lock(g_recordedMutex);
    g_recording.store(enable);
    g_recorded.clear();
}

std::vector<std::vector<HXOperation>> TakeRecordedRenders()
{
    const std::lock_guard<std::mutex> lock(g_recordedMutex);
    return std::exchange(g_recorded, {});
}
} // namespace testhooks

} // namespace hvn::image
