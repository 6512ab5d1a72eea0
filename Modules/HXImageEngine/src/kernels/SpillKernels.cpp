#include "kernels/PixelSupport.h"

#include <cmath>

namespace hvn::image::kernels {

namespace {
// A pixel whose smaller other channel is at least kNeutralRatio of the larger is taken as neutral
// enough for its key-colour excess to be a cast; below, the removal fades out to none at
// kSaturatedRatio: the excess of a colour that saturated is its own (cyan on blue, yellow-green on
// green), and taking it off shifts the colour by as much as a cast would have.
constexpr float kNeutralRatio = 0.7f;
constexpr float kSaturatedRatio = 0.25f;
// A dark colour tells little by that ratio: a dark brown's channels lie far apart in ratio but a
// few levels apart, and a cast of the usual size is a large part of it (dark hair over a face turns
// olive). Where the larger other channel is below kDarkStart the extended limit takes the whole
// excess over their mean, neither faded nor held to twice the standard cast; from there to kDarkEnd
// it goes over to the rule above.
constexpr float kDarkStart = 80.0f;
constexpr float kDarkEnd = 120.0f;
// With the key at an end of the spectrum (blue, or red) a dark warm colour's key channel is its
// lowest: a brown falls evenly from red through green to blue, and a cast lifts blue to about
// green, still below both others, where neither limit above sees it. On such a colour (the far
// channel at least kOrderEnd levels above green, fading in from kOrderStart, and the key no more
// than kNearGreen above green, fading out over as much again) the extended limit takes the key
// channel down to the even fall, green - (far - green). A dark rose or purple, whose key stands
// well above green, keeps it.
constexpr float kOrderStart = 3.0f;
constexpr float kOrderEnd = 8.0f;
constexpr float kNearGreen = 6.0f;

std::int32_t ToQ16(double value)
{
    return static_cast<std::int32_t>(std::lround(value * 65536.0));
}

// Gains and bias of the usual settings (opacity 1, strengths 0, bias 1): the key channel loses the
// whole removed amount and the others keep their bytes.
constexpr std::int32_t kUnitQ16 = 65536;
template <int Key>
bool IsPlainSpill(const std::int32_t* gain, std::int32_t biasQ16)
{
    for (int i = 0; i < 3; ++i)
        if (gain[i] != (i == Key ? -kUnitQ16 : 0))
            return false;
    return biasQ16 == kUnitQ16;
}

// One row, the key channel at byte offset Key; pixels as words, so the loop vectorises. Plain: the
// gains and bias are IsPlainSpill's, known to the compiler, which leaves out the multiplications
// by them (same bytes).
template <int Key, bool Extended, bool Plain = false>
[[gnu::always_inline]] inline void SpillRow(std::uint8_t* __restrict row, int width, const std::int32_t* gain,
                                            std::int32_t biasQ16)
{
    constexpr int other1 = Key == 0 ? 1 : 0;
    constexpr int other2 = Key == 2 ? 1 : 2;
    const std::int32_t g0 = Plain ? (Key == 0 ? -kUnitQ16 : 0) : gain[0];
    const std::int32_t g1 = Plain ? (Key == 1 ? -kUnitQ16 : 0) : gain[1];
    const std::int32_t g2 = Plain ? (Key == 2 ? -kUnitQ16 : 0) : gain[2];
    if constexpr (Plain)
        biasQ16 = kUnitQ16;
    for (int x = 0; x < width; ++x) {
        std::uint32_t v = LoadPixel(row + 4 * x);
        const auto byte = [v](int i) { return static_cast<std::int32_t>((v >> (8 * i)) & 255u); };
        const std::int32_t k = byte(Key);
        const std::int32_t a = byte(other1);
        const std::int32_t b = byte(other2);
        // Limits and the removed amount in half levels. The standard limit only ever touches a
        // pixel that is more key-coloured than both other channels: that excess is the cast it
        // visibly holds. The extended limit goes further (to the mean), but by no more than that
        // cast again, so a saturated yellow or cyan without a cast keeps its key channel.
        const std::int32_t standard2 = std::max(0, 2 * k - ((2 * std::max(a, b) * biasQ16 + 32768) >> 16));
        std::int32_t removed2 = standard2;
        if constexpr (Extended)
            removed2 = std::min(std::max(0, 2 * k - (((a + b) * biasQ16 + 32768) >> 16)), 2 * standard2);
        const float ratio = float(std::min(a, b)) / float(std::max(std::max(a, b), 1));
        const float cast =
            std::clamp((ratio - kSaturatedRatio) * (1.0f / (kNeutralRatio - kSaturatedRatio)), 0.0f, 1.0f);
        float removed = float(removed2) * cast;
        if constexpr (Extended) {
            const std::int32_t whole2 = std::max(0, 2 * k - (((a + b) * biasQ16 + 32768) >> 16));
            const float dark =
                std::clamp((kDarkEnd - float(std::max(a, b))) * (1.0f / (kDarkEnd - kDarkStart)), 0.0f, 1.0f);
            removed += (float(whole2) - removed) * dark;
            if constexpr (Key != 1) {
                // Green is byte 1 in either order; the far channel is the other end of the spectrum.
                const std::int32_t green = byte(1);
                const std::int32_t far = byte(2 - Key);
                const std::int32_t even2 = std::max(0, 2 * k - (((2 * green - far) * 2 * biasQ16 + 32768) >> 16));
                const float ordered =
                    std::clamp((float(far - green) - kOrderStart) * (1.0f / (kOrderEnd - kOrderStart)), 0.0f, 1.0f);
                const float near =
                    std::clamp((2.0f * kNearGreen - float(k - green)) * (1.0f / kNearGreen), 0.0f, 1.0f);
                removed = std::max(removed, float(even2) * dark * ordered * near);
            }
        }
        removed2 = static_cast<std::int32_t>(removed + 0.5f);
        const auto channel = [&](int i, std::int32_t g) {
            const std::int32_t value = byte(i) + ((g * removed2 + 65536) >> 17);
            return static_cast<std::uint32_t>(std::clamp(value, 0, 255)) << (8 * i);
        };
        v = channel(0, g0) | channel(1, g1) | channel(2, g2) | (v & 0xff000000u);
        StorePixel(row + 4 * x, v);
    }
}

using SpillRowFn = void (*)(std::uint8_t*, int, const std::int32_t*, std::int32_t);

template <int Key, bool Extended, bool Plain>
struct SpillBuilds {
    static void Base(std::uint8_t* row, int width, const std::int32_t* gain, std::int32_t biasQ16)
    {
        SpillRow<Key, Extended, Plain>(row, width, gain, biasQ16);
    }
    HX_TARGET_AVX2 static void Avx2(std::uint8_t* row, int width, const std::int32_t* gain, std::int32_t biasQ16)
    {
        SpillRow<Key, Extended, Plain>(row, width, gain, biasQ16);
    }
    HX_TARGET_AVX512 static void Avx512(std::uint8_t* row, int width, const std::int32_t* gain, std::int32_t biasQ16)
    {
        SpillRow<Key, Extended, Plain>(row, width, gain, biasQ16);
    }
    static SpillRowFn Choose() { return HasAvx512() ? &Avx512 : HasAvx2() ? &Avx2 : &Base; }
};

template <int Key>
SpillRowFn SpillRowOfKey(bool extended, bool plain)
{
    if (plain)
        return extended ? SpillBuilds<Key, true, true>::Choose() : SpillBuilds<Key, false, true>::Choose();
    return extended ? SpillBuilds<Key, true, false>::Choose() : SpillBuilds<Key, false, false>::Choose();
}

SpillRowFn SpillRowFor(int key, bool extended, const std::int32_t* gain, std::int32_t biasQ16)
{
    if (key == 0)
        return SpillRowOfKey<0>(extended, IsPlainSpill<0>(gain, biasQ16));
    if (key == 1)
        return SpillRowOfKey<1>(extended, IsPlainSpill<1>(gain, biasQ16));
    return SpillRowOfKey<2>(extended, IsPlainSpill<2>(gain, biasQ16));
}
} // namespace

// The key channel K is limited to Ls = bias * max(other two) (standard); the extended type limits
// it towards Le = bias * their mean, weighted by the cast the pixel holds: it removes
// s = min(max(0, K - Le), 2 max(0, K - Ls)), so a grey under a green cast comes back to grey while
// a yellow, cyan or khaki without one is left as it is. Either amount fades out where the two other
// channels lie far apart (a saturated colour of the subject's own rather than a cast on a neutral
// one), except on dark colours, where the extended type takes all of max(0, K - Le), and with a key
// at an end of the spectrum also a dark warm colour's key down to the even fall from the far channel
// through green (see kOrderStart). The removed amount s is taken off K by the
// opacity and added to each channel by its strength: X' = X + opacity * (strength_X - [X is K]) * s.
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

    // Byte offset of the key channel.
    const int ri = image.RedIndex();
    const int bi = image.BlueIndex();
    const int key = channel == HXChannelRed ? ri : channel == HXChannelBlue ? bi : 1;
    // Per byte offset: opacity * (strength - [is key]) in Q16.
    std::int32_t gain[3] = {};
    const int offsets[3] = {ri, 1, bi};
    for (int c = 0; c < 3; ++c)
        gain[offsets[c]] = ToQ16(opacity * (std::clamp(strengths[c], -1.0, 1.0) - (offsets[c] == key ? 1.0 : 0.0)));
    const std::int32_t biasQ16 = ToQ16(std::min(bias, 2.0));

    const SpillRowFn spillRow = SpillRowFor(key, extended, gain, biasQ16);
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            spillRow(image.Row(y), image.width, gain, biasQ16);
    });
    return HXResultOk;
}

} // namespace hvn::image::kernels
