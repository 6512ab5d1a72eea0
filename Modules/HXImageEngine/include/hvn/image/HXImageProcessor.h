#pragma once

#include "hvn/image/HXImage.h"
#include "hvn/image/HXRenderQueue.h"
#include "hvn/maths/HXGeometry.h"

namespace hvn::common {
class HXLookupTables;
}

namespace hvn::image {

// Colour, blur and look operations of one pass from source to destination (which may be the
// same image). Setters queue; Render() runs the queue in order.
class HXImageProcessor : public HXRenderQueue {
public:
    HXImageProcessor(HXAbstractImage& source, HXAbstractImage& destination, const common::HXLookupTables& tables,
                     HXDownsampleFactor factor);

    int SetBrightness(double brightness, HXChannelsToProcess channels);
    int SetContrast(double contrast, HXChannelsToProcess channels);
    int SetSaturation(double saturation);
    int SetSuperContrast(double blackLevel, double whiteLevel, HXChannelsToProcess channels);
    int SetColorTemperature(double temperatureShift);
    int SetColorBalance(double red, double green, double blue);
    int SetHueColorize(double hue, double strength);
    int SetHueShift(double hue, double strength);
    int SetOpacity(double opacity);
    int SetStackBlur(unsigned radius, bool horizontal, bool vertical, HXChannelsToProcess channels);
    int SetMirror(bool horizontal, bool vertical);
    int SetSharpen(int blur, double sharpness, double threshold, double scale);
    int SetSilhouette(HXPixel8_RGB color);
    int SetDefocus(unsigned blur, double bloom, double scale);
    int SetDiffuse(unsigned blur, double opacity, double scale);
    int SetTint(HXTintType type, double strength);
    int SetVignette(HXPixel8_RGB color, double horizontalStretch, double verticalStretch, double softness,
                    double curvature, double opacity, const maths::HXRect& rect);
    int SetSoftFocus(HXBlendMode mode, unsigned blur, double opacity, const maths::HXRect& rect, double scale);
    int SetThreeStripColor(double red, double green, double blue);
    int SetBleachBypass(double contrast, double saturation, double strength);
    int SetDepthOfField(HXDepthOfFieldType type, maths::HXPoint2F origin, double angle, unsigned blur, double spread,
                        double range, double transparency, double size, const maths::HXRect& rect, double scale);
    int SetMatteView();

    // 0 on success (an empty queue renders nothing), 8 when memory ran out, other codes for bad input.
    int Render();

private:
    HXAbstractImage& m_source;
    HXAbstractImage& m_destination;
    const common::HXLookupTables& m_tables;
    HXDownsampleFactor m_factor;
};

} // namespace hvn::image
