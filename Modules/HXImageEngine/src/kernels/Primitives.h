#pragma once

// Building blocks shared by the operations: blurs and morphology over one channel plane or a
// whole image. Radii and distances are in pixels of the image as it is (already scaled). Each
// returns an HXResult and may throw std::bad_alloc before any parallel work starts.

#include "kernels/Kernels.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace hvn::image::kernels {

// The largest radius any blur or erosion is given: far beyond any image, and small enough that
// sums and paddings over it stay within their types.
constexpr int kMaxRadius = 1 << 20;
// A radius from an argument that may be negative, huge or not a number (0), rounded as given.
inline int CappedRadius(double pixels, bool round)
{
    if (!(pixels > 0.0))
        return 0;
    const double capped = std::min(pixels, double(kMaxRadius));
    return static_cast<int>(round ? std::lround(capped) : capped);
}

// Beyond a few lengths of the image every window holds the whole line and many copies of its
// ends, so a wider blur barely changes the result; the cap keeps padding, rings and running sums
// to the image's own scale (a radius of a billion must not ask for gigabytes).
inline int RadiusWithin(int radius, int width, int height)
{
    const std::int64_t limit = 4 * static_cast<std::int64_t>(std::max(width, height)) + 4;
    return static_cast<int>(std::min<std::int64_t>(radius, limit));
}

// One 8-bit channel inside an image or a buffer of its own: sample (x, y) is at
// data[y * rowStride + x * pixelStep].
struct PlaneView {
    std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t pixelStep = 1;
    std::ptrdiff_t rowStride = 0;

    std::uint8_t& At(int x, int y) const { return data[y * rowStride + x * pixelStep]; }
};

// The alpha channel of an image, or the channel at byteIndex (0..3) of each pixel.
PlaneView AlphaPlane(const ImageView& image);
PlaneView ChannelPlane(const ImageView& image, int byteIndex);

// BlurKernels.cpp
// `passes` box blurs of width 2 * radius + 1 in each chosen direction, edges clamped: 1 is a box,
// 2 the triangle (stack) kernel, 3 close to a Gaussian. Cost per pixel does not depend on the radius.
int BoxBlurPlane(const PlaneView& plane, int radius, bool horizontal, bool vertical, int passes, int threads);
// The triangle (stack) blur of an image's channels: 3 alpha only (colour bytes unchanged),
// 4 colour only (weighted by alpha, alpha unchanged), 5 colour and alpha (premultiplied inside).
// The colour of fully transparent pixels never bleeds into their neighbours.
int StackBlurImage(const ImageView& image, int radius, bool horizontal, bool vertical, HXChannelsToProcess channels,
                   int threads);
// The plain scalar form of StackBlurImage, which the vector form matches byte for byte (for tests).
int StackBlurImageReference(const ImageView& image, int radius, bool horizontal, bool vertical,
                            HXChannelsToProcess channels, int threads);

// MorphologyKernels.cpp
// Grey erosion (minimum) and dilation (maximum) by an octagon of the given radius, close to a disc.
int ErodePlane(const PlaneView& plane, int distance, int threads);
int DilatePlane(const PlaneView& plane, int distance, int threads);

} // namespace hvn::image::kernels
