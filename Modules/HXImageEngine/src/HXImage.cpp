#include "hvn/image/HXImage.h"

#include <cstdlib>
#include <new>

namespace hvn::image {

double DownsampleValue(HXDownsampleFactor factor)
{
    switch (factor) {
    case HXDownsampleFactor0: return 1.0;
    case HXDownsampleFactor1: return 0.75;
    case HXDownsampleFactor2: return 0.5;
    case HXDownsampleFactor3: return 0.25;
    }
    return 1.0;
}

HXImage8::HXImage8(int width, int height, HXPixelChannelOrder order, bool zeroFill)
    : m_width(width > 0 ? width : 0), m_height(height > 0 ? height : 0), m_order(order)
{
    const std::size_t bytes = BufferByteSize();
    if (bytes > 0) {
        void* buffer = zeroFill ? std::calloc(bytes, 1) : std::malloc(bytes);
        if (buffer == nullptr)
            throw std::bad_alloc();
        m_owned.reset(static_cast<std::uint8_t*>(buffer));
        m_bytes = m_owned.get();
    }
}

void HXImage8::FreeBuffer::operator()(std::uint8_t* bytes) const noexcept
{
    std::free(bytes);
}

HXImage8::HXImage8(std::uint8_t* bytes, int width, int height, HXPixelChannelOrder order)
    : m_bytes(bytes), m_width(width > 0 ? width : 0), m_height(height > 0 ? height : 0), m_order(order)
{
}

std::shared_ptr<HXAbstractImage> CreateImage(std::uint8_t* bytes, int width, int height, HXPixelChannelOrder order)
{
    return std::make_shared<HXImage8>(bytes, width, height, order);
}

} // namespace hvn::image
