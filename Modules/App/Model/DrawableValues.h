#pragma once

// Where a number of the model becomes one that can be drawn. A project file is input from
// anywhere, and its readers take any finite number a field can hold (1e300 for a scale, a
// million for a font size, INT_MIN for a feather); setters store anything. Whatever draws the
// model (the render pipeline, the placement functions the canvas view shares with it) reads those
// numbers through here: each comes back finite and within a range the pipeline can draw without
// overflowing, and every value the program itself writes comes back unchanged. The stored values
// are not touched, so a file keeps what it holds.

#include "AppExport.h"

#include <QPointF>
#include <QRect>
#include <QRectF>

namespace lumo::app {

class TransformationTransformItem;

namespace drawable {

// Ranges. Each is wider than anything the program writes and narrow enough that a placement of
// a 42-megapixel photo on the largest canvas stays far inside what doubles and the rasteriser
// hold exactly.

// A layer's scale: the position panel writes 0.1 to 5, a fit up to the canvas over the layer's
// size (a 10-pixel overlay on a 10,000-pixel canvas: 1000). The sign (mirroring) is kept.
inline constexpr double kMaxLayerScale = 1000.0;
// A layer's translation, a fraction of the way from the canvas centre to its edge plus half the
// layer: beyond 1 the layer is off the canvas already.
inline constexpr double kMaxLayerTranslation = 1000.0;
// The canvas zoom: the zoom control writes 0.01 to 4, a fit whatever puts the canvas in the
// window (a 100,000-pixel canvas in 100 pixels: 0.001).
inline constexpr float kMinCanvasScale = 0.001f;
inline constexpr float kMaxCanvasScale = 100.0f;
// Points in photo pixels (mask handles and their controls, the shadow quad): the widest photo
// the importer takes is 42,250,000 pixels in one row.
inline constexpr double kMaxImageCoordinate = 1.0e8;
// Text positions and depth-of-field origins, fractions of the canvas (or of half of it).
inline constexpr double kMaxCanvasFraction = 1000.0;
// Font sizes in points, as the text panels take them.
inline constexpr int kMinFontSize = 1;
inline constexpr int kMaxFontSize = 2000;

// Toward zero into an int; NaN gives 0, values beyond the range its nearest end.
APP_EXPORT int TruncateToInt(double value);
// The same, rounded half away from zero, as qRound does for values in range.
APP_EXPORT int RoundToInt(double value);
// Toward zero into an unsigned int; NaN and negative values give 0.
APP_EXPORT unsigned int TruncateToUnsigned(double value);

// As QRectF::toRect (edges rounded), with the edges held within half of what an int holds, so the
// right edge and whatever a caller adds to it fit; that far out nothing is in a window anyway.
APP_EXPORT QRect ToRect(const QRectF& rect);

// The value when it is finite, else the fallback; then limited to [low, high].
APP_EXPORT double Limited(double value, double low, double high, double fallback);

// A layer's placement as it is drawn: non-finite values are the neutral ones (no translation,
// scale 1, no rotation), the rest limited as above; rotations are taken modulo 360.
struct Placement {
    double translateX = 0.0;
    double translateY = 0.0;
    double scaleX = 1.0;
    double scaleY = 1.0;
    double rotation = 0.0;
};
APP_EXPORT Placement LayerPlacement(const TransformationTransformItem& item);

// The canvas zoom as it is drawn: not finite, 0 or negative gives 1.
APP_EXPORT float CanvasScale(float scale);
// A mask's scale (the foreground's, sign included) and zoom (the canvas's when it was drawn).
APP_EXPORT double MaskScale(float scale);
APP_EXPORT double MaskZoom(float zoom);
// Degrees, taken modulo 360; non-finite gives 0.
APP_EXPORT double Degrees(double degrees);
// A fraction of the photo cut off at one edge by the crop: 0 to 1, NaN gives 0.
APP_EXPORT double CropFraction(double fraction);
// A point in photo pixels; a non-finite coordinate gives 0.
APP_EXPORT QPointF ImagePoint(const QPointF& point);
// A fraction of the canvas (text positions, depth-of-field origins); non-finite gives fallback.
APP_EXPORT double CanvasFraction(double fraction, double fallback = 0.0);
// An opacity (text): 0 to 1; NaN gives 1.
APP_EXPORT double Opacity(double opacity);
APP_EXPORT int FontSize(int points);

} // namespace drawable
} // namespace lumo::app
