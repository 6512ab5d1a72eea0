#pragma once

// Placing an image through a transform, in parallel: the pixel work behind helper::TransformImage.

#include <QTransform>

#include <cstdint>

namespace lumo::app::resampling {

// 32-bit pixels in the pipeline's layout (bytes B, G, R, A; straight alpha), rows `stride` bytes
// apart.
struct ConstPlane {
    const std::uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;
};

struct Plane {
    std::uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;
};

enum class Target {
    Compose, // the source goes over the target as it is
    Replace, // every target pixel is written: the source drawn onto a transparent target
};

// The whole pixels a transform that only moves is rounded to, as DrawThrough moves an image by
// it (half away from zero); false for any other transform, or one too far to be drawn.
bool WholePixelShift(const QTransform& transform, int& dx, int& dy);

// Draws the source through the transform (source pixels to target pixels) source-over onto the
// target. Every target pixel is sampled at its centre. smooth: bilinear between the four nearest
// source pixels (clamped at the source's edges), on premultiplied values, so the colour of
// transparent pixels never bleeds into edges, and the edge pixels of the drawn quad covered by
// the exact fraction of their area; otherwise the nearest source pixel, and a pixel is covered
// when its centre lies inside the quad (on its left or top edge: outside; on its right or bottom
// edge: inside), and is copied as it is onto a transparent target pixel. A shift alone moves
// whole pixels (rounded half away from zero, as QPainter does). A transform that is not finite or
// not invertible, or a projective one that sends part of the source behind the eye, draws
// nothing. Runs on the engine's threads; the bytes do not depend on their number.
void DrawThrough(const ConstPlane& source, const Plane& target, const QTransform& transform, bool smooth,
                 Target mode);

} // namespace lumo::app::resampling
