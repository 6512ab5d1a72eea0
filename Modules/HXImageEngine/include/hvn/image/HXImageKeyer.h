#pragma once

#include "hvn/image/HXImage.h"
#include "hvn/image/HXRenderQueue.h"

namespace hvn::common {
class HXLookupTables;
}

namespace hvn::image {

// The key chain of one pass: chroma blur, colour-difference key, spill suppression and matte clean-up.
class HXImageKeyer : public HXRenderQueue {
public:
    HXImageKeyer(HXAbstractImage& source, HXAbstractImage& destination, const common::HXLookupTables& tables,
                 HXDownsampleFactor factor);

    int SetYUVBlur(unsigned radius, HXYUVBlurType type);
    int SetAutoColorDifferenceKey(HXKeyColor keyColor, double keyDetail, double greyDetail, double greyThreshold);
    int SetSpillSuppression(HXChannel channel, HXSpillType type, double opacity, double redStrength,
                            double greenStrength, double blueStrength, double advancedBias);
    // Fractions of the width or height cut off each edge.
    int SetAlphaCrop(double left, double top, double right, double bottom);
    int SetAlphaSuperContrast(double blackLevel, double whiteLevel);
    int SetAlphaStackBlur(unsigned radius, bool horizontal, bool vertical);
    int SetWhiteErode(HXWhiteErodeDirection direction, int distance);

    int Render();

private:
    HXAbstractImage& m_source;
    HXAbstractImage& m_destination;
    const common::HXLookupTables& m_tables;
    HXDownsampleFactor m_factor;
};

// Tells whether the image's backdrop is green (1) or blue (2); leaves *result as the caller preset
// it (1) when undecided. The answer does not depend on the thread count.
int AutoDetectKeyColor(HXImage8* image, int threads, HXKeyColor* result);

} // namespace hvn::image
