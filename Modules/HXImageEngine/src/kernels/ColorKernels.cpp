#include "kernels/PixelSupport.h"

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace hvn::image::kernels {

namespace {
std::uint8_t ToByte(double value)
{
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

bool ValidChannels(double value)
{
    return value == double(HXChannelsAlpha) || value == double(HXChannelsColor) ||
           value == double(HXChannelsColorAndAlpha);
}

// ---- colour maths ---------------------------------------------------------------------------

using Matrix3 = std::array<std::array<double, 3>, 3>;

// Rec. 709 luma weights of red, green and blue.
constexpr double kLuma[3] = {0.2126, 0.7152, 0.0722};

Matrix3 Identity()
{
    return Matrix3{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
}

Matrix3 Mix(const Matrix3& a, const Matrix3& b, double t)
{
    Matrix3 m{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] = a[i][j] + (b[i][j] - a[i][j]) * t;
    return m;
}

// Every row the luma weights: the grey of equal luma.
Matrix3 LumaMatrix()
{
    Matrix3 m{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] = kLuma[j];
    return m;
}

Matrix3 SaturationMatrix(double saturation)
{
    return Mix(LumaMatrix(), Identity(), saturation);
}

// The colour of luma L becomes L times a tint whose own luma is 1: the fully saturated hue
// moved onto the grey axis's unit point, so brightness is kept.
Matrix3 ColorizeMatrix(double hueDegrees)
{
    double hue = std::fmod(hueDegrees, 360.0);
    if (hue < 0)
        hue += 360.0;
    // Fully saturated, full-value colour of the hue (HSV).
    const double h = hue / 60.0;
    const double x = 1.0 - std::fabs(std::fmod(h, 2.0) - 1.0);
    std::array<double, 3> c{};
    switch (static_cast<int>(h) % 6) {
    case 0: c = {1, x, 0}; break;
    case 1: c = {x, 1, 0}; break;
    case 2: c = {0, 1, x}; break;
    case 3: c = {0, x, 1}; break;
    case 4: c = {x, 0, 1}; break;
    default: c = {1, 0, x}; break;
    }
    const double luma = kLuma[0] * c[0] + kLuma[1] * c[1] + kLuma[2] * c[2];
    Matrix3 m{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] = (1.0 + c[i] - luma) * kLuma[j];
    return m;
}

// Rotation of hues about the grey axis that keeps luma (the W3C filter effects hue-rotate).
Matrix3 HueRotationMatrix(double degrees)
{
    const double a = degrees * std::acos(-1.0) / 180.0;
    const double c = std::cos(a);
    const double s = std::sin(a);
    return Matrix3{{{0.213 + c * 0.787 - s * 0.213, 0.715 - c * 0.715 - s * 0.715, 0.072 - c * 0.072 + s * 0.928},
                    {0.213 - c * 0.213 + s * 0.143, 0.715 + c * 0.285 + s * 0.140, 0.072 - c * 0.072 - s * 0.283},
                    {0.213 - c * 0.213 - s * 0.787, 0.715 - c * 0.715 + s * 0.715, 0.072 + c * 0.928 + s * 0.072}}};
}

// The sepia of the W3C filter effects.
Matrix3 SepiaMatrix()
{
    return Matrix3{{{0.393, 0.769, 0.189}, {0.349, 0.686, 0.168}, {0.272, 0.534, 0.131}}};
}

// Linear sRGB of the white of a black body (Kim et al. cubic fit of the Planckian locus,
// 1667 K to 25000 K), scaled to luma 1.
std::array<double, 3> PlanckianWhite(double kelvin)
{
    const double t = std::clamp(kelvin, 1667.0, 25000.0);
    const double t2 = t * t;
    const double t3 = t2 * t;
    const double x = t <= 4000.0 ? -0.2661239e9 / t3 - 0.2343589e6 / t2 + 0.8776956e3 / t + 0.179910
                                 : -3.0258469e9 / t3 + 2.1070379e6 / t2 + 0.2226347e3 / t + 0.240390;
    const double x2 = x * x;
    const double x3 = x2 * x;
    const double y = t <= 2222.0   ? -1.1063814 * x3 - 1.34811020 * x2 + 2.18555832 * x - 0.20219683
                     : t <= 4000.0 ? -0.9549476 * x3 - 1.37418593 * x2 + 2.09137015 * x - 0.16748867
                                   : 3.0817580 * x3 - 5.87338670 * x2 + 3.75112997 * x - 0.37001483;
    const double X = x / y;
    const double Z = (1.0 - x - y) / y;
    std::array<double, 3> rgb{std::max(0.0, 3.2404542 * X - 1.5371385 - 0.4985314 * Z),
                              std::max(0.0, -0.9692660 * X + 1.8760108 + 0.0415560 * Z),
                              std::max(0.0, 0.0556434 * X - 0.2040259 + 1.0572252 * Z)};
    const double luma = kLuma[0] * rgb[0] + kLuma[1] * rgb[1] + kLuma[2] * rgb[2];
    for (double& c : rgb)
        c /= luma;
    return rgb;
}

// Linear gains that turn 6500 K light into light of the given temperature, keeping luma.
std::array<double, 3> TemperatureGains(double kelvin)
{
    const std::array<double, 3> target = PlanckianWhite(kelvin);
    const std::array<double, 3> reference = PlanckianWhite(6500.0);
    std::array<double, 3> gains{};
    for (int i = 0; i < 3; ++i)
        gains[i] = target[i] / reference[i];
    const double luma = kLuma[0] * gains[0] + kLuma[1] * gains[1] + kLuma[2] * gains[2];
    for (double& g : gains)
        g /= luma;
    return gains;
}

// ---- passes over the image ------------------------------------------------------------------

using Table = std::array<std::uint8_t, 256>;

Table MakeTable(const std::function<double(int)>& f)
{
    Table table{};
    for (int v = 0; v < 256; ++v)
        table[v] = ToByte(f(v));
    return table;
}

Table IdentityTable()
{
    return MakeTable([](int v) { return v; });
}

// Per-channel tables (red, green, blue, alpha) as a stage.
void TablesStage(const ImageView& image, const Table& red, const Table& green, const Table& blue, const Table& alpha,
                 PixelStage& stage)
{
    stage.type = PixelStage::Type::Tables;
    stage.tables[image.RedIndex()] = red;
    stage.tables[1] = green;
    stage.tables[image.BlueIndex()] = blue;
    stage.tables[3] = alpha;
}

// One table for the channels chosen by an HXChannelsToProcess value.
void ChannelTableStage(const ImageView& image, const Table& table, HXChannelsToProcess channels, PixelStage& stage)
{
    const Table identity = IdentityTable();
    const Table& colour = channels == HXChannelsAlpha ? identity : table;
    const Table& alpha = channels == HXChannelsColor ? identity : table;
    TablesStage(image, colour, colour, colour, alpha, stage);
}

// Multiplies each channel in linear light: the light falling on the scene changes colour.
void LinearGainsStage(const ImageView& image, const KernelContext& ctx, const std::array<double, 3>& gains,
                      PixelStage& stage)
{
    auto table = [&](double gain) {
        return MakeTable([&](int v) {
            const double linear = std::min(65535.0, std::round(ctx.tables.ToLinear(static_cast<std::uint8_t>(v)) * gain));
            return ctx.tables.ToSRGB(static_cast<std::uint16_t>(linear));
        });
    };
    TablesStage(image, table(gains[0]), table(gains[1]), table(gains[2]), IdentityTable(), stage);
}

// A 3 x 3 matrix on the straight colour (rows: red, green, blue out; columns: red, green, blue
// in), in 14-bit fixed point so that every thread computes the same bytes.
void MatrixStage(const ImageView& image, const Matrix3& m, PixelStage& stage)
{
    stage.type = PixelStage::Type::Matrix;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            // Three products of 255 by a coefficient of at most 128 fit the 32-bit sums.
            stage.matrix[i][j] = static_cast<std::int32_t>(
                std::lround(std::clamp(m[i][j], -128.0, 128.0) * (1 << PixelStage::kMatrixShift)));
    stage.redIndex = image.RedIndex();
    stage.blueIndex = image.BlueIndex();
}

void RunTables(const PixelStage& stage, std::uint8_t* p, int count)
{
    const std::uint8_t* t0 = stage.tables[0].data();
    const std::uint8_t* t1 = stage.tables[1].data();
    const std::uint8_t* t2 = stage.tables[2].data();
    const std::uint8_t* t3 = stage.tables[3].data();
    // One load and one store a pixel rather than four of each.
    for (int x = 0; x < count; ++x, p += 4) {
        const std::uint32_t v = LoadPixel(p);
        StorePixel(p, std::uint32_t(t0[v & 0xFF]) | std::uint32_t(t1[(v >> 8) & 0xFF]) << 8 |
                          std::uint32_t(t2[(v >> 16) & 0xFF]) << 16 | std::uint32_t(t3[v >> 24]) << 24);
    }
}

void RunMatrixScalar(const PixelStage& stage, std::uint8_t* p, int count)
{
    constexpr int kShift = PixelStage::kMatrixShift;
    const auto& k = stage.matrix;
    const int ri = stage.redIndex;
    const int bi = stage.blueIndex;
    for (int x = 0; x < count; ++x, p += 4) {
        const std::int32_t r = p[ri];
        const std::int32_t g = p[1];
        const std::int32_t b = p[bi];
        constexpr std::int32_t half = 1 << (kShift - 1);
        const std::int32_t nr = (k[0][0] * r + k[0][1] * g + k[0][2] * b + half) >> kShift;
        const std::int32_t ng = (k[1][0] * r + k[1][1] * g + k[1][2] * b + half) >> kShift;
        const std::int32_t nb = (k[2][0] * r + k[2][1] * g + k[2][2] * b + half) >> kShift;
        p[ri] = static_cast<std::uint8_t>(std::clamp(nr, 0, 255));
        p[1] = static_cast<std::uint8_t>(std::clamp(ng, 0, 255));
        p[bi] = static_cast<std::uint8_t>(std::clamp(nb, 0, 255));
    }
}

#if defined(__SSE2__)
// The vector form of the matrix: each pixel word is split into two 32-bit lanes of 16-bit pairs,
// (byte 0, byte 1) and (byte 2, 1), so that two multiply-adds of 16-bit coefficient pairs give
// k0 * c0 + k1 * c1 + k2 * c2 + half exactly in 32 bits: the scalar sums, the scalar bytes. Only
// for coefficients that fit 16 bits; the sums then stay within 16 bits too, so clamping them with
// 16-bit minimum and maximum on the low halves of the lanes is exact.
struct MatrixPairs {
    std::array<std::int32_t, 3> low;  // (k for byte 0, k for byte 1) of the output at byte o
    std::array<std::int32_t, 3> high; // (k for byte 2, half)
};

bool MatrixFits16(const PixelStage& stage)
{
    for (const auto& row : stage.matrix)
        for (const std::int32_t k : row)
            if (k < std::numeric_limits<std::int16_t>::min() || k > std::numeric_limits<std::int16_t>::max())
                return false;
    return true;
}

MatrixPairs PairsOf(const PixelStage& stage)
{
    // Matrix row and column of each colour byte: red, green and blue are rows and columns 0, 1, 2.
    std::array<int, 3> channelOfByte{};
    channelOfByte[static_cast<std::size_t>(stage.redIndex)] = 0;
    channelOfByte[1] = 1;
    channelOfByte[static_cast<std::size_t>(stage.blueIndex)] = 2;
    const auto pair = [](std::int32_t lo, std::int32_t hi) {
        return static_cast<std::int32_t>(static_cast<std::uint16_t>(lo) | (static_cast<std::uint32_t>(hi) << 16));
    };
    constexpr std::int32_t half = 1 << (PixelStage::kMatrixShift - 1);
    MatrixPairs pairs{};
    for (int o = 0; o < 3; ++o) {
        const auto& k = stage.matrix[static_cast<std::size_t>(channelOfByte[static_cast<std::size_t>(o)])];
        pairs.low[static_cast<std::size_t>(o)] = pair(k[channelOfByte[0]], k[channelOfByte[1]]);
        pairs.high[static_cast<std::size_t>(o)] = pair(k[channelOfByte[2]], half);
    }
    return pairs;
}

// Returns the pixels done (a multiple of 4); the caller finishes the rest.
int RunMatrixSse2(const MatrixPairs& m, std::uint8_t* p, int count)
{
    const __m128i byteMask = _mm_set1_epi32(0xFF);
    const __m128i secondByte = _mm_set1_epi32(0x00FF0000);
    const __m128i one = _mm_set1_epi32(1 << 16);
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i zero = _mm_setzero_si128();
    const __m128i maxByte = _mm_set1_epi32(255);
    __m128i kLow[3], kHigh[3];
    for (int o = 0; o < 3; ++o) {
        kLow[o] = _mm_set1_epi32(m.low[static_cast<std::size_t>(o)]);
        kHigh[o] = _mm_set1_epi32(m.high[static_cast<std::size_t>(o)]);
    }
    int x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * x));
        const __m128i a = _mm_or_si128(_mm_and_si128(w, byteMask), _mm_and_si128(_mm_slli_epi32(w, 8), secondByte));
        const __m128i b = _mm_or_si128(_mm_and_si128(_mm_srli_epi32(w, 16), byteMask), one);
        __m128i out = _mm_and_si128(w, alphaMask);
        for (int o = 0; o < 3; ++o) {
            __m128i v = _mm_add_epi32(_mm_madd_epi16(a, kLow[o]), _mm_madd_epi16(b, kHigh[o]));
            v = _mm_srai_epi32(v, PixelStage::kMatrixShift);
            v = _mm_min_epi16(_mm_max_epi16(v, zero), maxByte);
            out = _mm_or_si128(out, _mm_slli_epi32(v, 8 * o));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * x), out);
    }
    return x;
}

#if defined(__GNUC__) && defined(__x86_64__)
HX_TARGET_AVX2 int RunMatrixAvx2(const MatrixPairs& m, std::uint8_t* p, int count)
{
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    const __m256i secondByte = _mm256_set1_epi32(0x00FF0000);
    const __m256i one = _mm256_set1_epi32(1 << 16);
    const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i maxByte = _mm256_set1_epi32(255);
    __m256i kLow[3], kHigh[3];
    for (int o = 0; o < 3; ++o) {
        kLow[o] = _mm256_set1_epi32(m.low[static_cast<std::size_t>(o)]);
        kHigh[o] = _mm256_set1_epi32(m.high[static_cast<std::size_t>(o)]);
    }
    int x = 0;
    for (; x + 8 <= count; x += 8) {
        const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 4 * x));
        const __m256i a =
            _mm256_or_si256(_mm256_and_si256(w, byteMask), _mm256_and_si256(_mm256_slli_epi32(w, 8), secondByte));
        const __m256i b = _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(w, 16), byteMask), one);
        __m256i out = _mm256_and_si256(w, alphaMask);
        for (int o = 0; o < 3; ++o) {
            __m256i v = _mm256_add_epi32(_mm256_madd_epi16(a, kLow[o]), _mm256_madd_epi16(b, kHigh[o]));
            v = _mm256_srai_epi32(v, PixelStage::kMatrixShift);
            v = _mm256_min_epi16(_mm256_max_epi16(v, zero), maxByte);
            out = _mm256_or_si256(out, _mm256_slli_epi32(v, 8 * o));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 4 * x), out);
    }
    return x;
}
#endif
#endif

} // namespace

void RunMatrixRow(const PixelStage& stage, std::uint8_t* p, int count, RowBuild build)
{
    int done = 0;
#if defined(__SSE2__)
    if (build != RowBuild::Scalar && MatrixFits16(stage)) {
        const MatrixPairs pairs = PairsOf(stage);
#if defined(__GNUC__) && defined(__x86_64__)
        done = build == RowBuild::Best && HasAvx2() ? RunMatrixAvx2(pairs, p, count) : RunMatrixSse2(pairs, p, count);
#else
        done = RunMatrixSse2(pairs, p, count);
#endif
    }
#endif
    RunMatrixScalar(stage, p + 4 * static_cast<std::ptrdiff_t>(done), count - done);
}

namespace {

// Builds an operation's stage and runs it alone.
int RunAlone(int (*build)(const HXOperation&, const ImageView&, const KernelContext&, PixelStage&),
             const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    PixelStage stage;
    if (const int result = build(op, image, ctx, stage))
        return result;
    RunStages(image, ctx, &stage, 1);
    return HXResultOk;
}

} // namespace

namespace {

// Adds brightness x 255 to each chosen channel (-1..1).
int BrightnessStage(const HXOperation& op, const ImageView& image, [[maybe_unused]] const KernelContext& ctx,
                    PixelStage& stage)
{
    if (!FiniteArgs(op) || !ValidChannels(op.Arg(1)))
        return HXResultBadArgument;
    const double shift = std::clamp(op.Arg(0), -1.0, 1.0) * 255.0;
    if (shift == 0.0)
        return HXResultOk;
    ChannelTableStage(image, MakeTable([&](int v) { return v + shift; }),
                      static_cast<HXChannelsToProcess>(static_cast<int>(op.Arg(1))), stage);
    return HXResultOk;
}

// Scales each chosen channel's distance from mid-grey (0..2, 1 neutral).
int ContrastStage(const HXOperation& op, const ImageView& image, [[maybe_unused]] const KernelContext& ctx,
                  PixelStage& stage)
{
    if (!FiniteArgs(op) || !ValidChannels(op.Arg(1)))
        return HXResultBadArgument;
    const double contrast = std::max(0.0, op.Arg(0));
    if (contrast == 1.0)
        return HXResultOk;
    ChannelTableStage(image, MakeTable([&](int v) { return (v - 127.5) * contrast + 127.5; }),
                      static_cast<HXChannelsToProcess>(static_cast<int>(op.Arg(1))), stage);
    return HXResultOk;
}

// Moves each colour from its luma (0 grey, 1 neutral, 2 twice as vivid).
int SaturationStage(const HXOperation& op, const ImageView& image, [[maybe_unused]] const KernelContext& ctx,
                    PixelStage& stage)
{
    if (!FiniteArgs(op))
        return HXResultBadArgument;
    // Far beyond the range of use; keeps the fixed-point matrix within 32 bits.
    const double saturation = std::clamp(op.Arg(0), 0.0, 64.0);
    if (saturation == 1.0)
        return HXResultOk;
    MatrixStage(image, SaturationMatrix(saturation), stage);
    return HXResultOk;
}

// Levels: black and white points (0..1) stretched to 0 and 255. A white point at or below the
// black point is a hard threshold at the black point instead of a division by zero.
int SuperContrastStage(const HXOperation& op, const ImageView& image, [[maybe_unused]] const KernelContext& ctx,
                       PixelStage& stage)
{
    if (!FiniteArgs(op) || !ValidChannels(op.Arg(2)))
        return HXResultBadArgument;
    const double black = std::clamp(op.Arg(0), 0.0, 1.0) * 255.0;
    const double white = std::clamp(op.Arg(1), 0.0, 1.0) * 255.0;
    if (black == 0.0 && white == 255.0)
        return HXResultOk;
    const Table table = MakeTable([&](int v) {
        if (white <= black)
            return v >= black ? 255.0 : 0.0;
        return (v - black) * 255.0 / (white - black);
    });
    ChannelTableStage(image, table, static_cast<HXChannelsToProcess>(static_cast<int>(op.Arg(2))), stage);
    return HXResultOk;
}

// The light of a black body at shift + 1500 kelvin relative to 6500 K (5000 neutral).
int ColorTemperatureStage(const HXOperation& op, const ImageView& image, [[maybe_unused]] const KernelContext& ctx,
                          PixelStage& stage)
{
    if (!FiniteArgs(op))
        return HXResultBadArgument;
    const double kelvin = op.Arg(0) + 1500.0;
    if (kelvin == 6500.0)
        return HXResultOk;
    LinearGainsStage(image, ctx, TemperatureGains(kelvin), stage);
    return HXResultOk;
}

// Red, green and blue gains in linear light (0..2, 1 neutral).
int ColorBalanceStage(const HXOperation& op, const ImageView& image, [[maybe_unused]] const KernelContext& ctx,
                      PixelStage& stage)
{
    if (!FiniteArgs(op))
        return HXResultBadArgument;
    const std::array<double, 3> gains{std::max(0.0, op.Arg(0)), std::max(0.0, op.Arg(1)), std::max(0.0, op.Arg(2))};
    if (gains[0] == 1.0 && gains[1] == 1.0 && gains[2] == 1.0)
        return HXResultOk;
    LinearGainsStage(image, ctx, gains, stage);
    return HXResultOk;
}

// Mixes in a one-hue picture of the image's luma (strength 0..1).
int HueColorizeStage(const HXOperation& op, const ImageView& image, [[maybe_unused]] const KernelContext& ctx,
                     PixelStage& stage)
{
    if (!FiniteArgs(op))
        return HXResultBadArgument;
    const double strength = std::clamp(op.Arg(1), 0.0, 1.0);
    if (strength == 0.0)
        return HXResultOk;
    MatrixStage(image, Mix(Identity(), ColorizeMatrix(op.Arg(0)), strength), stage);
    return HXResultOk;
}

// Turns hues about the grey axis by hue degrees, mixed in by strength (0..1).
int HueShiftStage(const HXOperation& op, const ImageView& image, [[maybe_unused]] const KernelContext& ctx,
                  PixelStage& stage)
{
    if (!FiniteArgs(op))
        return HXResultBadArgument;
    const double strength = std::clamp(op.Arg(1), 0.0, 1.0);
    const double hue = std::fmod(op.Arg(0), 360.0);
    if (strength == 0.0 || hue == 0.0)
        return HXResultOk;
    MatrixStage(image, Mix(Identity(), HueRotationMatrix(hue), strength), stage);
    return HXResultOk;
}

// Black and white (luma) or sepia, mixed in by strength (0..1).
int TintStage(const HXOperation& op, const ImageView& image, [[maybe_unused]] const KernelContext& ctx,
              PixelStage& stage)
{
    if (!FiniteArgs(op))
        return HXResultBadArgument;
    const double type = op.Arg(0);
    if (type != double(HXTintBlackAndWhite) && type != double(HXTintSepia))
        return HXResultBadArgument;
    const double strength = std::clamp(op.Arg(1), 0.0, 1.0);
    if (strength == 0.0)
        return HXResultOk;
    const Matrix3 look = type == double(HXTintSepia) ? SepiaMatrix() : SaturationMatrix(0.0);
    MatrixStage(image, Mix(Identity(), look, strength), stage);
    return HXResultOk;
}

// Alpha times the opacity (0..1); colour untouched.
int OpacityStage(const HXOperation& op, const ImageView& image, [[maybe_unused]] const KernelContext& ctx,
                 PixelStage& stage)
{
    if (!FiniteArgs(op))
        return HXResultBadArgument;
    const double opacity = std::clamp(op.Arg(0), 0.0, 1.0);
    if (opacity >= 1.0)
        return HXResultOk;
    const std::uint8_t factor = ToByte(opacity * 255.0);
    const std::uint8_t* multiply = ctx.tables.MultiplyTable() + (factor << 8);
    Table alpha{};
    std::copy(multiply, multiply + 256, alpha.begin());
    const Table identity = IdentityTable();
    TablesStage(image, identity, identity, identity, alpha, stage);
    return HXResultOk;
}

} // namespace

int Brightness(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    return RunAlone(&BrightnessStage, op, image, ctx);
}

int Contrast(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    return RunAlone(&ContrastStage, op, image, ctx);
}

int Saturation(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    return RunAlone(&SaturationStage, op, image, ctx);
}

int SuperContrast(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    return RunAlone(&SuperContrastStage, op, image, ctx);
}

int ColorTemperature(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    return RunAlone(&ColorTemperatureStage, op, image, ctx);
}

int ColorBalance(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    return RunAlone(&ColorBalanceStage, op, image, ctx);
}

int HueColorize(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    return RunAlone(&HueColorizeStage, op, image, ctx);
}

int HueShift(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    return RunAlone(&HueShiftStage, op, image, ctx);
}

int Tint(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    return RunAlone(&TintStage, op, image, ctx);
}

int Opacity(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    return RunAlone(&OpacityStage, op, image, ctx);
}

StageBuilder StageBuilderFor(HXOperationKind kind)
{
    switch (kind) {
    case HXOperationKind::Brightness: return &BrightnessStage;
    case HXOperationKind::Contrast: return &ContrastStage;
    case HXOperationKind::Saturation: return &SaturationStage;
    case HXOperationKind::SuperContrast: return &SuperContrastStage;
    case HXOperationKind::ColorTemperature: return &ColorTemperatureStage;
    case HXOperationKind::ColorBalance: return &ColorBalanceStage;
    case HXOperationKind::HueColorize: return &HueColorizeStage;
    case HXOperationKind::HueShift: return &HueShiftStage;
    case HXOperationKind::Tint: return &TintStage;
    case HXOperationKind::Opacity: return &OpacityStage;
    default: return nullptr;
    }
}

namespace {

// Runs the stages over the image; with a source, each stretch of a row is first copied from it,
// so an out-of-place pass reads the source once instead of copying it in a pass of its own.
void RunStagesOver(const std::uint8_t* source, const ImageView& image, const KernelContext& ctx,
                   const PixelStage* stages, std::size_t count)
{
    // Consecutive tables fold into one (a table of a table is exact); the rest run row by row
    // while the row is in cache.
    std::vector<PixelStage> fused;
    fused.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const PixelStage& stage = stages[i];
        if (stage.type == PixelStage::Type::None)
            continue;
        if (stage.type == PixelStage::Type::Tables && !fused.empty() && fused.back().type == PixelStage::Type::Tables) {
            for (int c = 0; c < 4; ++c)
                for (auto& v : fused.back().tables[c])
                    v = stage.tables[c][v];
            continue;
        }
        fused.push_back(stage);
    }
    if (fused.empty() && !source)
        return;
    constexpr int kChunk = 2048; // pixels a stage runs over at a time: 8 KB, within the first-level cache
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            for (int x0 = 0; x0 < image.width; x0 += kChunk) {
                std::uint8_t* p = image.Pixel(x0, y);
                const int n = std::min(kChunk, image.width - x0);
                if (source)
                    std::memcpy(p, source + (p - image.data), static_cast<std::size_t>(n) * 4u);
                for (const PixelStage& stage : fused) {
                    if (stage.type == PixelStage::Type::Tables)
                        RunTables(stage, p, n);
                    else
                        RunMatrixRow(stage, p, n, RowBuild::Best);
                }
            }
    });
}

} // namespace

void RunStages(const ImageView& image, const KernelContext& ctx, const PixelStage* stages, std::size_t count)
{
    RunStagesOver(nullptr, image, ctx, stages, count);
}

void RunStagesFrom(const std::uint8_t* source, const ImageView& image, const KernelContext& ctx,
                   const PixelStage* stages, std::size_t count)
{
    RunStagesOver(source, image, ctx, stages, count);
}

// Every pixel takes the colour; alpha keeps the shape.
int Silhouette(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    const std::uint8_t red = ToByte(op.Arg(0));
    const std::uint8_t green = ToByte(op.Arg(1));
    const std::uint8_t blue = ToByte(op.Arg(2));
    const int ri = image.RedIndex();
    const int bi = image.BlueIndex();
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint8_t* p = image.Row(y);
            for (int x = 0; x < image.width; ++x, p += 4) {
                p[ri] = red;
                p[1] = green;
                p[bi] = blue;
            }
        }
    });
    return HXResultOk;
}

// Alpha shown as an opaque grey image.
int MatteView(const HXOperation&, const ImageView& image, const KernelContext& ctx)
{
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint8_t* p = image.Row(y);
            for (int x = 0; x < image.width; ++x, p += 4) {
                const std::uint8_t a = p[3];
                p[0] = a;
                p[1] = a;
                p[2] = a;
                p[3] = 255;
            }
        }
    });
    return HXResultOk;
}

} // namespace hvn::image::kernels
