#pragma once

// Small images and comparisons shared by the engine tests.

#include "hvn/common/HXLookupTables.h"
#include "hvn/image/HXImage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

namespace hvn::image::test {

inline const common::HXLookupTables& Tables()
{
    static const common::HXLookupTables tables(true);
    return tables;
}

// A BGRA image whose pixels come from fill(x, y, pixel) (pixel points at B, G, R, A).
inline std::unique_ptr<HXImage8> MakeImage(int width, int height,
                                           const std::function<void(int, int, std::uint8_t*)>& fill)
{
    auto image = std::make_unique<HXImage8>(width, height, HXPixelChannelOrderBGRA, true);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            fill(x, y, image->Buffer() + (static_cast<std::size_t>(y) * width + x) * 4);
    return image;
}

// Every pixel the same B, G, R, A.
inline std::unique_ptr<HXImage8> SolidImage(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r,
                                            std::uint8_t a)
{
    return MakeImage(width, height, [&](int, int, std::uint8_t* p) {
        p[0] = b;
        p[1] = g;
        p[2] = r;
        p[3] = a;
    });
}

// Deterministic pseudo-random content with varied alpha.
inline std::unique_ptr<HXImage8> NoiseImage(int width, int height, unsigned seed = 1)
{
    unsigned state = seed * 2654435761u + 1;
    return MakeImage(width, height, [&](int, int, std::uint8_t* p) {
        for (int c = 0; c < 4; ++c) {
            state = state * 1664525u + 1013904223u;
            p[c] = static_cast<std::uint8_t>(state >> 24);
        }
    });
}

inline std::unique_ptr<HXImage8> Clone(const HXAbstractImage& source)
{
    auto image = std::make_unique<HXImage8>(source.Width(), source.Height(), source.PixelChannelOrder(), false);
    std::memcpy(image->Buffer(), source.Buffer(), source.BufferByteSize());
    return image;
}

inline bool SameBytes(const HXAbstractImage& a, const HXAbstractImage& b)
{
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::memcmp(a.Buffer(), b.Buffer(), a.BufferByteSize()) == 0;
}

// The largest difference of any byte.
inline int MaxDifference(const HXAbstractImage& a, const HXAbstractImage& b)
{
    int worst = 0;
    for (std::size_t i = 0; i < a.BufferByteSize(); ++i)
        worst = std::max(worst, std::abs(int(a.Buffer()[i]) - int(b.Buffer()[i])));
    return worst;
}

inline const std::uint8_t* PixelAt(const HXAbstractImage& image, int x, int y)
{
    return image.Buffer() + (static_cast<std::size_t>(y) * image.Width() + x) * 4;
}

} // namespace hvn::image::test
