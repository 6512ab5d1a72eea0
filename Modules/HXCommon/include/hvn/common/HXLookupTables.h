#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace hvn::common {

// Tables shared read-only by every engine pass and worker thread; immutable after construction.
class HXLookupTables {
public:
    explicit HXLookupTables(bool initialise = true);
    HXLookupTables(const HXLookupTables&) = delete;
    HXLookupTables& operator=(const HXLookupTables&) = delete;

    bool IsInitialised() const { return m_initialised; }

    // round(a * b / 255)
    std::uint8_t Multiply(std::uint8_t a, std::uint8_t b) const { return m_multiply[(a << 8) | b]; }
    // round(c * 255 / a), clamped to 255; 0 when a is 0. Undoes Multiply for premultiplied colour.
    std::uint8_t Divide(std::uint8_t c, std::uint8_t a) const { return m_divide[(a << 8) | c]; }
    // sRGB byte to linear light in 0..65535, and back (rounded).
    std::uint16_t ToLinear(std::uint8_t v) const { return m_toLinear[v]; }
    std::uint8_t ToSRGB(std::uint16_t v) const { return m_toSRGB[v]; }

    const std::uint8_t* MultiplyTable() const { return m_multiply.data(); }
    const std::uint8_t* DivideTable() const { return m_divide.data(); }
    const std::uint16_t* ToLinearTable() const { return m_toLinear.data(); }
    const std::uint8_t* ToSRGBTable() const { return m_toSRGB.data(); }

private:
    bool m_initialised = false;
    std::vector<std::uint8_t> m_multiply;
    std::vector<std::uint8_t> m_divide;
    std::array<std::uint16_t, 256> m_toLinear{};
    std::vector<std::uint8_t> m_toSRGB;
};

} // namespace hvn::common
