#include "hvn/common/HXLookupTables.h"

#include <algorithm>
#include <cmath>

namespace hvn::common {

namespace {
double SRGBToLinear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
double LinearToSRGB(double l)
{
    return l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1.0 / 2.4) - 0.055;
}
} // namespace

HXLookupTables::HXLookupTables(bool initialise)
    : m_multiply(256 * 256), m_divide(256 * 256), m_toSRGB(65536)
{
    // Filled whatever the flag says: a half-built table would give wrong pixels, never a crash.
    (void)initialise;
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            m_multiply[(a << 8) | b] = static_cast<std::uint8_t>((a * b + 127) / 255);
            const int divided = a == 0 ? 0 : std::min(255, (b * 255 + a / 2) / a);
            m_divide[(a << 8) | b] = static_cast<std::uint8_t>(divided);
        }
    }
    for (int v = 0; v < 256; ++v)
        m_toLinear[v] = static_cast<std::uint16_t>(std::lround(SRGBToLinear(v / 255.0) * 65535.0));
    for (int v = 0; v < 65536; ++v)
        m_toSRGB[v] = static_cast<std::uint8_t>(std::lround(std::clamp(LinearToSRGB(v / 65535.0), 0.0, 1.0) * 255.0));
    m_initialised = true;
}

} // namespace hvn::common
