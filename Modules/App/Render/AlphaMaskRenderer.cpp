#include "AlphaMaskRenderer.h"

#include "DrawableValues.h"
#include "Mask.h"

#include <QImage>

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

std::shared_ptr<AlphaMask> AlphaMaskRenderer::Coverage(const Mask& mask, const hvn::common::HXLookupTables& tables,
                                                       const QTransform& transform, const QPainterPath& limit,
                                                       HXDownsampleFactor factor)
{
    std::shared_ptr<CacheData>& record = m_cache[mask.Id()];
    if (!record) {
        auto made = std::make_shared<CacheData>();
        made->fullMask = std::make_shared<AlphaMask>(m_width, m_height);
        made->reducedMask = std::make_shared<AlphaMask>(ReducedWidth(), ReducedHeight());
        record = std::move(made);
    }
    const bool full = factor == HXDownsampleFactor0;
    bool& valid = full ? record->fullValid : record->reducedValid;
    DrawnWith& drawnWith = full ? record->fullDrawnWith : record->reducedDrawnWith;
    const std::shared_ptr<AlphaMask>& buffer = full ? record->fullMask : record->reducedMask;

    DrawnWith wanted{transform, limit, MaskOutline(mask), LayerFeatherRadius(mask, factor), mask.IsRemove(),
                     mask.IsInverted()};
    if (valid && drawnWith == wanted)
        return buffer;

    valid = false;
    // Drawn at the buffer's own size, so the last column and row at the preview factor are
    // covered like every other.
    QImage image(static_cast<int>(buffer->width), static_cast<int>(buffer->height), QImage::Format_ARGB32);
    if (image.isNull())
        throw std::bad_alloc();
    image.fill(0);
    DrawMaskShape(transform, mask, image);
    FeatherMaskShape(wanted.radius, tables, wanted.remove, wanted.inverted, limit, image);
    QImageAlphaToMask(*buffer, image);
    drawnWith = std::move(wanted);
    valid = true;
    return buffer;
}

} // namespace lumo::app
