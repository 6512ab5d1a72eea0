#pragma once

#include "hvn/image/HXOperation.h"

#include <vector>

namespace hvn::image {

// The queue every engine class keeps: operations are recorded by the setters and run by Render().
class HXRenderQueue {
public:
    HXRenderQueue() = default;
    HXRenderQueue(const HXRenderQueue&) = delete;
    HXRenderQueue& operator=(const HXRenderQueue&) = delete;

    int RenderQueueCount() const { return static_cast<int>(m_queue.size()); }
    const std::vector<HXOperation>& Queue() const { return m_queue; }

protected:
    ~HXRenderQueue() = default;
    int Enqueue(HXOperationKind kind, std::vector<double> args, const HXAbstractImage* image = nullptr);
    std::vector<HXOperation> m_queue;
};

} // namespace hvn::image
