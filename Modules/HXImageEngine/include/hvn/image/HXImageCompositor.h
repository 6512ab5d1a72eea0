#pragma once

#include "hvn/image/HXImage.h"
#include "hvn/image/HXRenderQueue.h"
#include "hvn/maths/HXGeometry.h"

namespace hvn::common {
class HXLookupTables;
}

namespace hvn::image {

// Layers blended onto a destination in the order they are added. Layers are read at Render()
// and must stay alive until then.
class HXImageCompositor : public HXRenderQueue {
public:
    HXImageCompositor(HXAbstractImage& destination, double opacity, const common::HXLookupTables& tables,
                      HXDownsampleFactor factor);

    int AddLayer(const HXAbstractImage& image, double opacity, HXBlendMode mode, HXCompositeType type);
    // The light of what lies below is wrapped onto the layer's inner edge.
    int AddLightSpillLayer(const HXAbstractImage& image, int blur, double opacity, HXBlendMode mode,
                           HXDownsampleFactor factor);
    // sourceRect in source pixels, quad in destination pixels.
    int AddShadowCastLayer(const HXAbstractImage& image, const maths::HXRect& sourceRect, const maths::HXQuad& quad,
                           unsigned blur, double opacity, HXPixel8_RGB color, HXBlendMode mode,
                           bool backgroundVisible, HXDownsampleFactor factor);
    void ClearRenderQueue();

    int Render();

private:
    HXAbstractImage& m_destination;
    double m_opacity;
    const common::HXLookupTables& m_tables;
    HXDownsampleFactor m_factor;
};

} // namespace hvn::image
