#pragma once

#include "hvn/image/HXTypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace hvn::image {

class HXAbstractImage {
public:
    HXAbstractImage() = default;
    HXAbstractImage(const HXAbstractImage&) = delete;
    HXAbstractImage& operator=(const HXAbstractImage&) = delete;
    virtual ~HXAbstractImage() = default;

    virtual HXPixelChannelOrder PixelChannelOrder() const = 0;
    virtual HXBitsPerChannel BitsPerChannel() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Number of channel values in the buffer.
    virtual std::size_t BufferSize() const = 0;
    virtual std::size_t BufferByteSize() const = 0;
    virtual std::uint8_t* Buffer() const = 0;
};

// 8 bits a channel, 4 channels, rows without gaps, straight alpha.
class HXImage8 final : public HXAbstractImage {
public:
    // An image with a buffer of its own; zeroFill true clears it. Throws std::bad_alloc. A cleared
    // buffer comes from calloc: large ones are fresh zero pages, so clearing costs nothing until
    // the pixels are first written.
    HXImage8(int width, int height, HXPixelChannelOrder order, bool zeroFill);
    // A view over a caller's buffer of width * height * 4 bytes, which must outlive the image.
    HXImage8(std::uint8_t* bytes, int width, int height, HXPixelChannelOrder order);

    HXPixelChannelOrder PixelChannelOrder() const override { return m_order; }
    HXBitsPerChannel BitsPerChannel() const override { return HXBitsPerChannel8; }
    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    std::size_t BufferSize() const override { return BufferByteSize(); }
    std::size_t BufferByteSize() const override
    {
        return static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height) * 4u;
    }
    std::uint8_t* Buffer() const override { return m_bytes; }

private:
    struct FreeBuffer {
        void operator()(std::uint8_t* bytes) const noexcept;
    };
    std::unique_ptr<std::uint8_t[], FreeBuffer> m_owned;
    std::uint8_t* m_bytes = nullptr;
    int m_width = 0;
    int m_height = 0;
    HXPixelChannelOrder m_order = HXPixelChannelOrderBGRA;
};

// An 8-bit image over the caller's buffer, without copying.
std::shared_ptr<HXAbstractImage> CreateImage(std::uint8_t* bytes, int width, int height, HXPixelChannelOrder order);

} // namespace hvn::image
