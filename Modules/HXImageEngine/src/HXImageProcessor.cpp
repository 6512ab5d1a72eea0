#include "hvn/image/HXImageProcessor.h"

#include "HXPass.h"

namespace hvn::image {

namespace {
double Flag(bool value)
{
    return value ? 1.0 : 0.0;
}
} // namespace

HXImageProcessor::HXImageProcessor(HXAbstractImage& source, HXAbstractImage& destination,
                                   const common::HXLookupTables& tables, HXDownsampleFactor factor)
    : m_source(source), m_destination(destination), m_tables(tables), m_factor(factor)
{
}

int HXImageProcessor::SetBrightness(double brightness, HXChannelsToProcess channels)
{
    return Enqueue(HXOperationKind::Brightness, {brightness, double(channels)});
}

int HXImageProcessor::SetContrast(double contrast, HXChannelsToProcess channels)
{
    return Enqueue(HXOperationKind::Contrast, {contrast, double(channels)});
}

int HXImageProcessor::SetSaturation(double saturation)
{
    return Enqueue(HXOperationKind::Saturation, {saturation});
}

int HXImageProcessor::SetSuperContrast(double blackLevel, double whiteLevel, HXChannelsToProcess channels)
{
    return Enqueue(HXOperationKind::SuperContrast, {blackLevel, whiteLevel, double(channels)});
}

int HXImageProcessor::SetColorTemperature(double temperatureShift)
{
    return Enqueue(HXOperationKind::ColorTemperature, {temperatureShift});
}

int HXImageProcessor::SetColorBalance(double red, double green, double blue)
{
    return Enqueue(HXOperationKind::ColorBalance, {red, green, blue});
}

int HXImageProcessor::SetHueColorize(double hue, double strength)
{
    return Enqueue(HXOperationKind::HueColorize, {hue, strength});
}

int HXImageProcessor::SetHueShift(double hue, double strength)
{
    return Enqueue(HXOperationKind::HueShift, {hue, strength});
}

int HXImageProcessor::SetOpacity(double opacity)
{
    return Enqueue(HXOperationKind::Opacity, {opacity});
}

int HXImageProcessor::SetStackBlur(unsigned radius, bool horizontal, bool vertical, HXChannelsToProcess channels)
{
    return Enqueue(HXOperationKind::StackBlur, {double(radius), Flag(horizontal), Flag(vertical), double(channels)});
}

int HXImageProcessor::SetMirror(bool horizontal, bool vertical)
{
    return Enqueue(HXOperationKind::Mirror, {Flag(horizontal), Flag(vertical)});
}

int HXImageProcessor::SetSharpen(int blur, double sharpness, double threshold, double scale)
{
    return Enqueue(HXOperationKind::Sharpen, {double(blur), sharpness, threshold, scale});
}

int HXImageProcessor::SetSilhouette(HXPixel8_RGB color)
{
    return Enqueue(HXOperationKind::Silhouette, {double(color.red), double(color.green), double(color.blue)});
}

int HXImageProcessor::SetDefocus(unsigned blur, double bloom, double scale)
{
    return Enqueue(HXOperationKind::Defocus, {double(blur), bloom, scale});
}

int HXImageProcessor::SetDiffuse(unsigned blur, double opacity, double scale)
{
    return Enqueue(HXOperationKind::Diffuse, {double(blur), opacity, scale});
}

int HXImageProcessor::SetTint(HXTintType type, double strength)
{
    return Enqueue(HXOperationKind::Tint, {double(type), strength});
}

int HXImageProcessor::SetVignette(HXPixel8_RGB color, double horizontalStretch, double verticalStretch,
                                  double softness, double curvature, double opacity, const maths::HXRect& rect)
{
    return Enqueue(HXOperationKind::Vignette,
                   {double(color.red), double(color.green), double(color.blue), horizontalStretch, verticalStretch,
                    softness, curvature, opacity, double(rect.left), double(rect.top), double(rect.right),
                    double(rect.bottom)});
}

int HXImageProcessor::SetSoftFocus(HXBlendMode mode, unsigned blur, double opacity, const maths::HXRect& rect,
                                   double scale)
{
    return Enqueue(HXOperationKind::SoftFocus, {double(mode), double(blur), opacity, double(rect.left),
                                                double(rect.top), double(rect.right), double(rect.bottom), scale});
}

int HXImageProcessor::SetThreeStripColor(double red, double green, double blue)
{
    return Enqueue(HXOperationKind::ThreeStripColor, {red, green, blue});
}

int HXImageProcessor::SetBleachBypass(double contrast, double saturation, double strength)
{
    return Enqueue(HXOperationKind::BleachBypass, {contrast, saturation, strength});
}

int HXImageProcessor::SetDepthOfField(HXDepthOfFieldType type, maths::HXPoint2F origin, double angle, unsigned blur,
                                      double spread, double range, double transparency, double size,
                                      const maths::HXRect& rect, double scale)
{
    return Enqueue(HXOperationKind::DepthOfField,
                   {double(type), origin.x, origin.y, angle, double(blur), spread, range, transparency, size,
                    double(rect.left), double(rect.top), double(rect.right), double(rect.bottom), scale});
}

int HXImageProcessor::SetMatteView()
{
    return Enqueue(HXOperationKind::MatteView, {});
}

int HXImageProcessor::Render()
{
    return RunPass(m_queue, m_source, m_destination, m_tables, m_factor, 1.0);
}

} // namespace hvn::image
