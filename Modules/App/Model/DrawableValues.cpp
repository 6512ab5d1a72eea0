#include "DrawableValues.h"

#include "TransformItems.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace lumo::app::drawable {

int TruncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

int RoundToInt(double value)
{
    return TruncateToInt(value >= 0.0 ? value + 0.5 : value - 0.5);
}

unsigned int TruncateToUnsigned(double value)
{
    if (!(value > 0.0))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<unsigned int>::max()))
        return std::numeric_limits<unsigned int>::max();
    return static_cast<unsigned int>(value);
}

QRect ToRect(const QRectF& rect)
{
    constexpr double kReach = double(1 << 30) - 1;
    const auto edge = [&](double value) { return RoundToInt(Limited(value, -kReach, kReach, 0.0)); };
    return QRect(QPoint(edge(rect.left()), edge(rect.top())),
                 QPoint(edge(rect.left() + rect.width()) - 1, edge(rect.top() + rect.height()) - 1));
}

double Limited(double value, double low, double high, double fallback)
{
    return std::clamp(std::isfinite(value) ? value : fallback, low, high);
}

Placement LayerPlacement(const TransformationTransformItem& item)
{
    Placement placement;
    placement.translateX = Limited(item.TranslateX(), -kMaxLayerTranslation, kMaxLayerTranslation, 0.0);
    placement.translateY = Limited(item.TranslateY(), -kMaxLayerTranslation, kMaxLayerTranslation, 0.0);
    placement.scaleX = Limited(item.ScaleX(), -kMaxLayerScale, kMaxLayerScale, 1.0);
    placement.scaleY = Limited(item.ScaleY(), -kMaxLayerScale, kMaxLayerScale, 1.0);
    placement.rotation = Degrees(item.Rotation());
    return placement;
}

float CanvasScale(float scale)
{
    if (!(scale > 0.0f) || !std::isfinite(scale))
        return 1.0f;
    return std::clamp(scale, kMinCanvasScale, kMaxCanvasScale);
}

double MaskScale(float scale)
{
    return Limited(scale, -kMaxLayerScale, kMaxLayerScale, 1.0);
}

double MaskZoom(float zoom)
{
    return CanvasScale(zoom);
}

double Degrees(double degrees)
{
    // Exact for every value a dial writes (0 to 359.99 stays as it is).
    return std::isfinite(degrees) ? std::fmod(degrees, 360.0) : 0.0;
}

double CropFraction(double fraction)
{
    return Limited(fraction, 0.0, 1.0, 0.0);
}

QPointF ImagePoint(const QPointF& point)
{
    return QPointF(Limited(point.x(), -kMaxImageCoordinate, kMaxImageCoordinate, 0.0),
                   Limited(point.y(), -kMaxImageCoordinate, kMaxImageCoordinate, 0.0));
}

double CanvasFraction(double fraction, double fallback)
{
    return Limited(fraction, -kMaxCanvasFraction, kMaxCanvasFraction, fallback);
}

double Opacity(double opacity)
{
    return Limited(opacity, 0.0, 1.0, 1.0);
}

int FontSize(int points)
{
    return std::clamp(points, kMinFontSize, kMaxFontSize);
}

} // namespace lumo::app::drawable
