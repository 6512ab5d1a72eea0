#include "AlphaMaskRenderer.h"

#include "DrawableValues.h"
#include "Mask.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <new>

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace lumo::app {

namespace {

// The feather in the pixels of the factor: the stored feather follows the foreground's scale
// (mirroring does not change it) and the canvas zoom it was drawn at.
int LayerFeatherRadius(const Mask& mask, HXDownsampleFactor factor)
{
    const double radius = hvn::image::DownsampleValue(factor) * static_cast<double>(mask.Feather()) *
                          std::fabs(drawable::MaskScale(mask.Scale())) * drawable::MaskZoom(mask.Zoom());
    return drawable::TruncateToInt(radius);
}

} // namespace

bool AlphaMaskRenderer::DrawnWith::operator==(const DrawnWith& other) const
{
    return radius == other.radius && remove == other.remove && inverted == other.inverted &&
           transform == other.transform && limit == other.limit && outline == other.outline;
}

AlphaMaskRenderer::AlphaMaskRenderer(unsigned int width, unsigned int height)
    : m_width(width), m_height(height), m_reducedScale(hvn::image::DownsampleValue(HXDownsampleFactor3))
{
}

unsigned int AlphaMaskRenderer::ReducedWidth() const
{
    return static_cast<unsigned int>(std::ceil(m_width * m_reducedScale));
}

unsigned int AlphaMaskRenderer::ReducedHeight() const
{
    return static_cast<unsigned int>(std::ceil(m_height * m_reducedScale));
}

void AlphaMaskRenderer::InvalidateMask(const QUuid& id)
{
    const auto found = m_cache.find(id);
    if (found != m_cache.end() && found.value()) {
        found.value()->fullValid = false;
        found.value()->reducedValid = false;
    }
}

void AlphaMaskRenderer::InvalidateAllMasks()
{
    for (const std::shared_ptr<CacheData>& record : m_cache) {
        if (record) {
            record->fullValid = false;
            record->reducedValid = false;
        }
    }
}

void AlphaMaskRenderer::RemoveMask(const QUuid& id)
{
    const auto found = m_cache.find(id);
    if (found == m_cache.end())
        return;
    if (const std::shared_ptr<CacheData>& record = found.value()) {
        m_cachedBytes -= BytesOf(*record);
        m_recent.erase(record->recent);
    }
    m_cache.erase(found);
}

std::size_t AlphaMaskRenderer::BytesOf(const CacheData& record)
{
    return (record.fullMask ? record.fullMask->bytes.size() : 0) +
           (record.reducedMask ? record.reducedMask->bytes.size() : 0);
}

void AlphaMaskRenderer::Used(const QUuid& id)
{
    const std::shared_ptr<CacheData>& record = m_cache[id];
    m_recent.splice(m_recent.end(), m_recent, record->recent);
    const std::size_t budget =
        std::size_t(kCacheBudgetScreens) * std::max<std::size_t>(std::size_t(m_width) * m_height, 1u << 16);
    for (auto it = m_recent.begin(); m_cachedBytes > budget && *it != id;) {
        CacheData& oldest = *m_cache[*it];
        m_cachedBytes -= BytesOf(oldest);
        oldest.fullMask.reset();
        oldest.reducedMask.reset();
        oldest.fullValid = false;
        oldest.reducedValid = false;
        // Still listed (its drawn-with inputs are kept), now at the end of the order.
        const auto next = std::next(it);
        m_recent.splice(m_recent.end(), m_recent, it);
        it = next;
    }
}

std::shared_ptr<AlphaMask> AlphaMaskRenderer::Coverage(const Mask& mask, const hvn::common::HXLookupTables& tables,
                                                       const QTransform& transform, const QPainterPath& limit,
                                                       HXDownsampleFactor factor)
{
    std::shared_ptr<CacheData>& record = m_cache[mask.Id()];
    if (!record) {
        record = std::make_shared<CacheData>();
        record->recent = m_recent.insert(m_recent.end(), mask.Id());
    }
    const bool full = factor == HXDownsampleFactor0;
    bool& valid = full ? record->fullValid : record->reducedValid;
    DrawnWith& drawnWith = full ? record->fullDrawnWith : record->reducedDrawnWith;
    std::shared_ptr<AlphaMask>& buffer = full ? record->fullMask : record->reducedMask;

    DrawnWith wanted{transform, limit, MaskOutline(mask), LayerFeatherRadius(mask, factor), mask.IsRemove(),
                     mask.IsInverted()};
    std::shared_ptr<AlphaMask> coverage = buffer;
    if (!(valid && coverage && drawnWith == wanted)) {
        valid = false;
        // Drawn at the buffer's own size, so the last column and row at the preview factor are
        // covered like every other.
        coverage = DrawMaskCoverage(mask, static_cast<int>(full ? m_width : ReducedWidth()),
                                    static_cast<int>(full ? m_height : ReducedHeight()), tables, transform, limit,
                                    wanted.radius);
        m_cachedBytes -= buffer ? buffer->bytes.size() : 0;
        buffer = coverage;
        m_cachedBytes += coverage->bytes.size();
        drawnWith = std::move(wanted);
        valid = true;
    }
    // May drop other masks' buffers; this one stays with the caller whatever happens.
    Used(mask.Id());
    return coverage;
}

} // namespace lumo::app
