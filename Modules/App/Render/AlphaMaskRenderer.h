#pragma once

#include "AppExport.h"

#include <hvn/image/HXImage.h>

#include <QMap>
#include <QPainterPath>
#include <QTransform>
#include <QUuid>

#include <QRect>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <vector>

class QImage;

namespace hvn::common {
class HXLookupTables;
}

namespace lumo::app {

class Mask;
class MaskList;

// An 8-bit coverage buffer, one byte a pixel, rows without gaps; zero-filled when made. It lies at
// (left, top) of the image it is applied to. Without an outside value it changes only the part of
// the image it covers; with one, every pixel of the image outside it has that coverage (a mask is
// drawn within the box where it differs from what lies around it).
struct AlphaMask {
    AlphaMask(unsigned int width, unsigned int height)
        : bytes(static_cast<std::size_t>(width) * height, 0), width(width), height(height)
    {
    }
    AlphaMask(const QRect& box, std::uint8_t outsideCoverage)
        : bytes(static_cast<std::size_t>(std::max(box.width(), 0)) * static_cast<std::size_t>(std::max(box.height(), 0)), 0),
          width(static_cast<unsigned int>(std::max(box.width(), 0))),
          height(static_cast<unsigned int>(std::max(box.height(), 0))), left(box.left()), top(box.top()),
          outside(outsideCoverage)
    {
    }

    std::vector<std::uint8_t> bytes;
    unsigned int width = 0;
    unsigned int height = 0;
    int left = 0;
    int top = 0;
    std::optional<std::uint8_t> outside;
};

// The render processor's mask renderer: the coverage of each mask cached at full and reduced
// resolution, keyed by the mask's id. Built once for the canvas window. Each buffer covers only
// the box of the window its mask reaches, and the buffers together are held within a budget of
// kCacheBudgetScreens window areas: beyond it the buffers used longest ago are dropped (and drawn
// again when next needed), so a project of a thousand masks cannot hold gigabytes. GUI thread only.
class APP_EXPORT AlphaMaskRenderer {
public:
    // What a buffer was drawn from. A buffer is reused only while all of it is unchanged, so a
    // changed crop, placement, feather or outline never shows a stale mask even when nobody
    // invalidated it.
    struct DrawnWith {
        QTransform transform;
        QPainterPath limit;
        QPainterPath outline;
        int radius = 0;
        bool remove = true;
        bool inverted = false;

        bool operator==(const DrawnWith& other) const;
    };

    // A buffer is made when its factor is first drawn, and dropped (stale) when the cache needs
    // the room.
    struct CacheData {
        std::shared_ptr<AlphaMask> fullMask;
        std::shared_ptr<AlphaMask> reducedMask;
        bool fullValid = false;
        bool reducedValid = false;
        DrawnWith fullDrawnWith;
        DrawnWith reducedDrawnWith;
        // The record's place in the order of use.
        std::list<QUuid>::iterator recent;
    };

    static constexpr unsigned int kCacheBudgetScreens = 16;

    AlphaMaskRenderer(unsigned int width, unsigned int height);

    unsigned int Width() const { return m_width; }
    unsigned int Height() const { return m_height; }
    // The size of the reduced buffers: the window times DownsampleValue(3), rounded up, as the
    // preview window caches are.
    unsigned int ReducedWidth() const;
    unsigned int ReducedHeight() const;

    // Both flags of one mask, or of every mask, go stale; an unknown id changes nothing.
    void InvalidateMask(const QUuid& id);
    void InvalidateAllMasks();
    // The next render makes a new record.
    void RemoveMask(const QUuid& id);

    // The mask's coverage at the factor (full at 0, reduced otherwise): the cached buffer while it
    // is valid and was drawn with the same inputs, else drawn anew. The feather is scaled by the
    // factor, the mask's scale and its zoom. Throws std::bad_alloc; a buffer that could not be
    // drawn stays stale.
    std::shared_ptr<AlphaMask> Coverage(const Mask& mask, const hvn::common::HXLookupTables& tables,
                                        const QTransform& transform, const QPainterPath& limit,
                                        hvn::image::HXDownsampleFactor factor);

    // The record of a mask, or null; for tests.
    std::shared_ptr<const CacheData> Record(const QUuid& id) const { return m_cache.value(id); }
    // The bytes the cached buffers hold.
    std::size_t CachedBytes() const { return m_cachedBytes; }

private:
    // Marks the record as the one used last and drops the buffers used longest ago while the cache
    // is over its budget.
    void Used(const QUuid& id);
    static std::size_t BytesOf(const CacheData& record);

    unsigned int m_width;
    unsigned int m_height;
    double m_reducedScale;
    QMap<QUuid, std::shared_ptr<CacheData>> m_cache;
    std::list<QUuid> m_recent; // least recently used first
    std::size_t m_cachedBytes = 0;
};

// The three mask passes. Each applies the enabled, closed masks (with at least one handle) of the
// list to the target's alpha, one after another in list order. transform maps mask coordinates
// to target pixels; limit is the region of the layer's visible pixels in target pixels, to which
// a retaining mask is confined (an empty limit lets it restore nothing). Throw std::bad_alloc.

// The layer render's pass, through the renderer's cache.
APP_EXPORT void RenderLayerMasks(AlphaMaskRenderer& renderer, const MaskList& masks, hvn::image::HXImage8& target,
                                 const hvn::common::HXLookupTables& tables, const QTransform& transform,
                                 const QPainterPath& limit, hvn::image::HXDownsampleFactor factor);
// Without cache; the feather is scaled by the factor only.
APP_EXPORT void RenderCanvasMasks(const MaskList& masks, hvn::image::HXImage8& target,
                                  const hvn::common::HXLookupTables& tables, const QTransform& transform,
                                  const QPainterPath& limit, hvn::image::HXDownsampleFactor factor);
// At full resolution, the feather as stored.
APP_EXPORT void RenderExportMasks(const MaskList& masks, hvn::image::HXImage8& target,
                                  const hvn::common::HXLookupTables& tables, const QTransform& transform,
                                  const QPainterPath& limit);

// The closed outline through the mask's handles (empty without handles).
APP_EXPORT QPainterPath MaskOutline(const Mask& mask);
// The mask's coverage of an image of width x height pixels: drawn, feathered by the radius and, for
// a retaining mask, turned into the coverage the band rule expects, within the box of the image
// where it differs from its outside value (0 for a removing mask, 255 for a retaining one: the
// outline and its feather, and for an inverted retaining mask the limit too). Throws
// std::bad_alloc.
APP_EXPORT std::shared_ptr<AlphaMask> DrawMaskCoverage(const Mask& mask, int width, int height,
                                                      const hvn::common::HXLookupTables& tables,
                                                      const QTransform& transform, const QPainterPath& limit,
                                                      int radius);
// Fills the outline, antialiased, into the alpha of a 32-bit image.
APP_EXPORT void DrawMaskShape(const QTransform& transform, const Mask& mask, QImage& image);
// Feathers the drawn coverage by a stack blur of the radius and, for a retaining mask, turns it
// into the coverage the band rule expects (inverted unless the mask is, and full outside the
// limit). A feather the engine cannot render leaves a hard edge; false then.
APP_EXPORT bool FeatherMaskShape(int radius, const hvn::common::HXLookupTables& tables, bool remove, bool inverted,
                                 const QPainterPath& limit, QImage& image);
// The alpha bytes of the image into the buffer (their overlap).
APP_EXPORT void QImageAlphaToMask(AlphaMask& mask, const QImage& image);

// Applies the coverage to the target's alpha where the mask lies on it (and, when the mask has an
// outside value, everywhere else too), in row bands on one POSIX thread per core (fewer for small
// images), all joined before it returns. With m the coverage and a the alpha:
// removing min(255 - m, a), inverted removing min(m, a), retaining max(255 - m, a). The calling
// thread takes the last band. True when every other band's thread started and was joined.
APP_EXPORT bool CompositeMaskParallel(hvn::image::HXImage8& target, bool remove, bool inverted, const AlphaMask& mask);
// The same with a chosen thread count, clamped to 1 .. min(255, rows). Bands whose thread cannot
// start (startableThreads lets tests refuse them) are done on the calling thread, so the result
// never depends on the threads.
APP_EXPORT bool CompositeMaskBands(hvn::image::HXImage8& target, bool remove, bool inverted, const AlphaMask& mask,
                                   int threads, int startableThreads = INT_MAX);

} // namespace lumo::app
