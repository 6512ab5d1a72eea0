#include "kernels/Kernels.h"

#include <cmath>

namespace hvn::image::kernels {

namespace {
std::int32_t ToQ16(double value)
{
    return static_cast<std::int32_t>(std::lround(value * 65536.0));
}
} // namespace

// The key channel K is limited to L = bias * max(other two) (standard) or bias * their mean
// (extended); the removed amount s = max(0, K - L) is taken off K by the opacity and added to
// each channel by its strength: X' = X + opacity * (strength_X - [X is K]) * s.
// Fixed point throughout, so every thread count gives the same bytes.
int SpillSuppression(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    const int channel = static_cast<int>(op.Arg(0));
    const bool extended = op.Arg(1) != 0.0;
    const double opacity = std::clamp(op.Arg(2), 0.0, 1.0);
    const double strengths[3] = {op.Arg(3), op.Arg(4), op.Arg(5)}; // red, green, blue
    const double bias = std::max(0.0, op.Arg(6));
    if (!(opacity > 0.0))
        return HXResultOk;
    if (channel < HXChannelRed || channel > HXChannelGreen)
        return HXResultBadArgument;
    for (const double s : strengths)
        if (!std::isfinite(s))
            return HXResultBadArgument;
    if (!std::isfinite(bias))
        return HXResultBadArgument;

    // Byte offsets of the key channel and the two others.
    const int ri = image.RedIndex();
    const int bi = image.BlueIndex();
    const int key = channel == HXChannelRed ? ri : channel == HXChannelBlue ? bi : 1;
    const int other1 = key == ri ? 1 : ri;
    const int other2 = key == bi ? 1 : bi;
    // Per byte offset: opacity * (strength - [is key]) in Q16.
    std::int32_t gain[3] = {};
    const int offsets[3] = {ri, 1, bi};
    for (int c = 0; c < 3; ++c)
        gain[offsets[c]] = ToQ16(opacity * (std::clamp(strengths[c], -1.0, 1.0) - (offsets[c] == key ? 1.0 : 0.0)));
    const std::int32_t biasQ16 = ToQ16(std::min(bias, 2.0));

    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint8_t* p = image.Row(y);
            for (int x = 0; x < image.width; ++x, p += 4) {
                const std::int32_t k = p[key];
                const std::int32_t a = p[other1];
                const std::int32_t b = p[other2];
                // Limit in half levels, then the removed amount in half levels.
                const std::int32_t limit2 = extended ? a + b : 2 * std::max(a, b);
                const std::int32_t scaledLimit2 = (limit2 * biasQ16 + 32768) >> 16;
                const std::int32_t removed2 = std::max(0, 2 * k - scaledLimit2);
                for (int c = 0; c < 3; ++c) {
                    const std::int32_t value = p[c] + ((gain[c] * removed2 + 65536) >> 17);
                    p[c] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
                }
            }
        }
    });
    return HXResultOk;
}

} // namespace hvn::image::kernels
