#include "AlphaMaskRenderer.h"
#include "Mask.h"

#include <hvn/common/HXLookupTables.h>
#include <hvn/image/HXImage.h>
#include <hvn/image/HXOperation.h>

#include <QImage>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;
using hvn::image::HXImage8;
using hvn::image::HXOperationKind;
using hvn::image::HXPixelChannelOrderBGRA;

namespace lumo::app {
namespace {

// A target whose colour bytes follow a pattern and whose alpha is given per pixel.
std::unique_ptr<HXImage8> Target(int width, int height, const std::vector<std::uint8_t>& alpha)
{
    auto image = std::make_unique<HXImage8>(width, height, HXPixelChannelOrderBGRA, true);
    for (int i = 0; i < width * height; ++i) {
        std::uint8_t* pixel = image->Buffer() + i * 4;
        pixel[0] = static_cast<std::uint8_t>(i * 7);
        pixel[1] = static_cast<std::uint8_t>(i * 13);
        pixel[2] = static_cast<std::uint8_t>(i * 31);
        pixel[3] = alpha[static_cast<std::size_t>(i)];
    }
    return image;
}

std::vector<std::uint8_t> Bytes(const std::unique_ptr<HXImage8>& image)
{
    return std::vector<std::uint8_t>(image->Buffer(), image->Buffer() + image->BufferByteSize());
}

std::uint8_t AlphaAt(const std::unique_ptr<HXImage8>& image, int x, int y)
{
    return image->Buffer()[(static_cast<std::size_t>(y) * image->Width() + x) * 4 + 3];
}

// Deterministic bytes that cover the whole range.
std::vector<std::uint8_t> Noise(std::size_t count, std::uint32_t seed)
{
    std::vector<std::uint8_t> bytes(count);
    for (std::uint8_t& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(seed >> 24);
    }
    return bytes;
}

TEST(MaskBands, PerPixelRule)
{
    const struct {
        bool remove;
        bool inverted;
        std::uint8_t coverage;
        std::uint8_t alpha;
        std::uint8_t expected;
    } cases[] = {
        // Removing: alpha cleared inside the outline, kept outside, the lower of the two between.
        {true, false, 255, 200, 0},
        {true, false, 0, 200, 200},
        {true, false, 100, 200, 155},
        {true, false, 100, 40, 40},
        // Inverted removing: cleared outside.
        {true, true, 0, 200, 0},
        {true, true, 255, 200, 200},
        {true, true, 100, 200, 100},
        // Retaining (coverage already inverted and limited by the feather step): restores.
        {false, false, 0, 0, 255},
        {false, false, 255, 90, 90},
        {false, false, 100, 90, 155},
        {false, false, 100, 200, 200},
        {false, true, 0, 10, 255},
    };
    for (const auto& c : cases) {
        std::unique_ptr<HXImage8> target = Target(1, 1, {c.alpha});
        AlphaMask mask(1, 1);
        mask.bytes[0] = c.coverage;
        const std::vector<std::uint8_t> before = Bytes(target);
        EXPECT_TRUE(CompositeMaskBands(*target, c.remove, c.inverted, mask, 4));
        const std::string where = "remove " + std::to_string(c.remove) + " inverted " + std::to_string(c.inverted) +
                                  " m " + std::to_string(c.coverage) + " a " + std::to_string(c.alpha);
        EXPECT_EQ(AlphaAt(target, 0, 0), c.expected) << where;
        EXPECT_TRUE(std::equal(before.begin(), before.begin() + 3, target->Buffer())) << where << ": colour changed";
    }
}

// Any split into bands, and bands left to the calling thread when their thread cannot start,
// give the bytes of one band.
TEST(MaskBands, SplitsGiveTheSameBytesAsOneBand)
{
    const int width = 13;
    for (const int height : {1, 7, 100}) {
        const std::size_t pixels = static_cast<std::size_t>(width) * height;
        AlphaMask mask(width, static_cast<unsigned int>(height));
        mask.bytes = Noise(pixels, 11u + height);
        const std::vector<std::uint8_t> alpha = Noise(pixels, 97u + height);
        for (const auto& [remove, inverted] : {std::pair{true, false}, std::pair{true, true}, std::pair{false, false}}) {
            std::unique_ptr<HXImage8> single = Target(width, height, alpha);
            CompositeMaskBands(*single, remove, inverted, mask, 1);
            const std::vector<std::uint8_t> expected = Bytes(single);
            EXPECT_NE(expected, Bytes(Target(width, height, alpha)));
            for (const int threads : {2, 3, 8, 300}) {
                std::unique_ptr<HXImage8> banded = Target(width, height, alpha);
                EXPECT_TRUE(CompositeMaskBands(*banded, remove, inverted, mask, threads));
                EXPECT_EQ(Bytes(banded), expected) << "height " << height << " threads " << threads;
            }
            for (const int startable : {0, 1, 2}) {
                std::unique_ptr<HXImage8> banded = Target(width, height, alpha);
                const bool allStarted = CompositeMaskBands(*banded, remove, inverted, mask, 8, startable);
                EXPECT_EQ(allStarted, startable >= std::min(8, height) - 1) << "height " << height;
                EXPECT_EQ(Bytes(banded), expected) << "height " << height << " startable " << startable;
            }
        }
    }
}

TEST(MaskBands, OnlyTheOverlapOfTargetAndMaskChanges)
{
    const int width = 8;
    const int height = 6;
    std::unique_ptr<HXImage8> target = Target(width, height, std::vector<std::uint8_t>(width * height, 255));
    AlphaMask mask(5, 4);
    std::fill(mask.bytes.begin(), mask.bytes.end(), 255);
    CompositeMaskParallel(*target, true, false, mask);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            EXPECT_EQ(AlphaAt(target, x, y), x < 5 && y < 4 ? 0 : 255) << x << "," << y;
}

TEST(MaskBands, ABoxAppliesItsOutsideCoverageToTheRest)
{
    // A 3 x 2 box at (2, 1) of an 8 x 5 target; every rule, with and without an outside value.
    const int width = 8;
    const int height = 5;
    const std::vector<std::uint8_t> alpha = Noise(width * height, 5);
    AlphaMask mask(QRect(2, 1, 3, 2), 0);
    mask.bytes = {0, 100, 255, 30, 200, 60};
    for (const bool remove : {true, false}) {
        for (const bool inverted : {false, true}) {
            for (const int outside : {-1, 0, 255}) {
                mask.outside = outside < 0 ? std::nullopt : std::optional<std::uint8_t>(std::uint8_t(outside));
                std::unique_ptr<HXImage8> target = Target(width, height, alpha);
                CompositeMaskBands(*target, remove, inverted, mask, 3);
                for (int y = 0; y < height; ++y) {
                    for (int x = 0; x < width; ++x) {
                        const bool inBox = x >= 2 && x < 5 && y >= 1 && y < 3;
                        const std::uint8_t a = alpha[y * width + x];
                        std::uint8_t expected = a;
                        if (inBox || outside >= 0) {
                            const int m = inBox ? mask.bytes[(y - 1) * 3 + (x - 2)] : outside;
                            expected = !remove ? std::max<int>(255 - m, a) : inverted ? std::min<int>(m, a)
                                                                                       : std::min<int>(255 - m, a);
                        }
                        ASSERT_EQ(AlphaAt(target, x, y), expected) << remove << inverted << outside << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

// A square outline from (10, 10) to (30, 30) in mask coordinates.
MaskPtr Square(bool remove, bool inverted, int feather)
{
    auto mask = std::make_shared<Mask>("square", remove, inverted, true, true, feather, 1.0f, 1.0f);
    for (const QPointF point : {QPointF(10, 10), QPointF(30, 10), QPointF(30, 30), QPointF(10, 30)})
        mask->Add(std::make_shared<MaskHandle>(point));
    return mask;
}

struct Probe {
    int x;
    int y;
    std::uint8_t alpha;
};

class MaskPasses : public ::testing::Test {
protected:
    static constexpr int kWidth = 48;
    static constexpr int kHeight = 40;

    std::unique_ptr<HXImage8> Run(const MaskList& masks, std::uint8_t alpha, const QPainterPath& limit)
    {
        std::unique_ptr<HXImage8> target = Target(kWidth, kHeight, std::vector<std::uint8_t>(kWidth * kHeight, alpha));
        RenderExportMasks(masks, *target, tables, QTransform(), limit);
        return target;
    }

    static QPainterPath WholeImage()
    {
        QPainterPath path;
        path.addRect(0, 0, kWidth, kHeight);
        return path;
    }

    hvn::common::HXLookupTables tables{true};
};

TEST_F(MaskPasses, RemoveRetainInvertAndLimit)
{
    QPainterPath leftHalf;
    leftHalf.addRect(0, 0, 20, kHeight);
    const struct {
        const char* name;
        bool remove;
        bool inverted;
        int feather;
        std::uint8_t alpha;
        QPainterPath limit;
        std::vector<Probe> probes;
    } cases[] = {
        {"remove", true, false, 0, 255, WholeImage(), {{20, 20, 0}, {5, 5, 255}, {40, 35, 255}}},
        {"remove inverted", true, true, 0, 255, WholeImage(), {{20, 20, 255}, {5, 5, 0}, {40, 35, 0}}},
        // Feather 0 blurs nothing, yet the retaining mask is still turned into its coverage.
        {"retain", false, false, 0, 0, WholeImage(), {{20, 20, 255}, {5, 5, 0}, {40, 35, 0}}},
        {"retain limited", false, false, 0, 0, leftHalf, {{15, 20, 255}, {25, 20, 0}, {5, 5, 0}}},
        {"retain inverted", false, true, 0, 0, leftHalf, {{15, 20, 0}, {5, 5, 255}, {25, 35, 0}}},
        {"retain keeps alpha", false, false, 0, 120, WholeImage(), {{20, 20, 255}, {5, 5, 120}}},
        // Feathered: the middle and the far outside stay hard, the edge is soft.
        {"remove feathered", true, false, 6, 255, WholeImage(), {{20, 20, 0}, {2, 2, 255}}},
        {"retain feathered", false, false, 6, 0, WholeImage(), {{20, 20, 255}, {2, 2, 0}}},
    };
    for (const auto& c : cases) {
        MaskList masks;
        masks.Add(Square(c.remove, c.inverted, c.feather));
        const std::unique_ptr<HXImage8> target = Run(masks, c.alpha, c.limit);
        for (const Probe& probe : c.probes)
            EXPECT_EQ(AlphaAt(target, probe.x, probe.y), probe.alpha) << c.name << " at " << probe.x << "," << probe.y;
        if (c.feather > 0) {
            const std::uint8_t edge = AlphaAt(target, 10, 20);
            EXPECT_GT(edge, 20) << c.name;
            EXPECT_LT(edge, 235) << c.name;
        }
    }
}

TEST_F(MaskPasses, MasksThatDoNotTakePartChangeNothing)
{
    MaskList masks;
    MaskPtr disabled = Square(true, false, 0);
    disabled->SetEnabled(false);
    MaskPtr open = Square(true, false, 0);
    open->SetClosed(false);
    // A project file can hold a closed mask without handles: it has no outline to draw.
    auto empty = std::make_shared<Mask>("empty", true, true, true, true, 0, 1.0f, 1.0f);
    masks.Add(disabled);
    masks.Add(open);
    masks.Add(empty);
    const std::unique_ptr<HXImage8> target = Run(masks, 255, WholeImage());
    EXPECT_EQ(Bytes(target), Bytes(Target(kWidth, kHeight, std::vector<std::uint8_t>(kWidth * kHeight, 255))));
}

TEST_F(MaskPasses, EachMaskActsOnTheAlphaTheLastOneLeft)
{
    MaskList masks;
    masks.Add(Square(false, false, 0));
    masks.Add(Square(true, false, 0));
    const std::unique_ptr<HXImage8> target = Run(masks, 0, WholeImage());
    EXPECT_EQ(AlphaAt(target, 20, 20), 0);
    EXPECT_EQ(AlphaAt(target, 5, 5), 0);
}

// A feather the engine fails to render leaves the hard edge; a retaining mask is still inverted
// and limited, instead of restoring everything outside its outline.
TEST_F(MaskPasses, FailedFeatherFallsBackToTheHardEdge)
{
    for (const bool remove : {true, false}) {
        MaskList masks;
        masks.Add(Square(remove, false, 5));
        hvn::image::testhooks::FailNextRender(hvn::image::HXResultOutOfMemory);
        const std::unique_ptr<HXImage8> failed = Run(masks, remove ? 255 : 0, WholeImage());
        hvn::image::testhooks::FailNextRender(0);
        masks.Begin()->get()->SetFeather(0);
        const std::unique_ptr<HXImage8> hard = Run(masks, remove ? 255 : 0, WholeImage());
        EXPECT_EQ(Bytes(failed), Bytes(hard)) << "remove " << remove;
    }
}

// The coverage drawn in the box where a mask differs from its outside gives the target exactly
// what the coverage of the whole image gives, for every kind of mask, feathered or not, inside the
// image, across its edge or beyond it.
TEST_F(MaskPasses, MasksDrawnWithinTheirBoxGiveWhatTheWholeImageGives)
{
    QPainterPath leftPart;
    leftPart.addRect(0, 0, 26, kHeight);
    const QTransform placements[] = {QTransform(), QTransform::fromTranslate(25, -12),
                                     QTransform().translate(-30, 20).rotate(30).scale(1.5, 0.75),
                                     QTransform::fromTranslate(500, 0)};
    const std::vector<std::uint8_t> alpha = Noise(kWidth * kHeight, 11);
    for (const bool remove : {true, false}) {
        for (const bool inverted : {false, true}) {
            for (const int feather : {0, 3, 9}) {
                for (const QTransform& placement : placements) {
                    const MaskPtr mask = Square(remove, inverted, feather);
                    // The whole image, as the masks were drawn before boxes.
                    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
                    image.fill(0);
                    DrawMaskShape(placement, *mask, image);
                    FeatherMaskShape(feather, tables, remove, inverted, leftPart, image);
                    AlphaMask whole(kWidth, kHeight);
                    QImageAlphaToMask(whole, image);
                    std::unique_ptr<HXImage8> expected = Target(kWidth, kHeight, alpha);
                    CompositeMaskParallel(*expected, remove, inverted, whole);

                    const auto box = DrawMaskCoverage(*mask, kWidth, kHeight, tables, placement, leftPart, feather);
                    EXPECT_LE(box->bytes.size(), whole.bytes.size());
                    std::unique_ptr<HXImage8> target = Target(kWidth, kHeight, alpha);
                    CompositeMaskParallel(*target, remove, inverted, *box);
                    ASSERT_EQ(Bytes(target), Bytes(expected))
                        << "remove " << remove << " inverted " << inverted << " feather " << feather << " placed at "
                        << placement.dx() << "," << placement.dy();
                }
            }
        }
    }
}

class MaskCache : public ::testing::Test {
protected:
    void SetUp() override
    {
        limit.addRect(0, 0, 201, 101);
        hvn::image::testhooks::RecordRenders(true);
    }
    void TearDown() override { hvn::image::testhooks::RecordRenders(false); }

    // The radii of the feather blurs drawn since the last call.
    static std::vector<double> FeatherBlurs()
    {
        std::vector<double> radii;
        for (const auto& queue : hvn::image::testhooks::TakeRecordedRenders())
            for (const auto& op : queue)
                if (op.kind == HXOperationKind::StackBlur)
                    radii.push_back(op.Arg(0));
        return radii;
    }

    AlphaMaskRenderer renderer{201, 101};
    hvn::common::HXLookupTables tables{true};
    QPainterPath limit;
};

TEST_F(MaskCache, RedrawsOnlyWhenStaleOrDrawnFromOtherInputs)
{
    const MaskPtr mask = Square(false, false, 4);
    const auto first = renderer.Coverage(*mask, tables, QTransform(), limit, HXDownsampleFactor0);
    EXPECT_EQ(FeatherBlurs(), std::vector<double>{4});
    const std::vector<std::uint8_t> drawn = first->bytes;

    EXPECT_EQ(renderer.Coverage(*mask, tables, QTransform(), limit, HXDownsampleFactor0), first);
    EXPECT_TRUE(FeatherBlurs().empty());

    // A changed crop moves the limit: the buffer is redrawn without anyone invalidating it.
    QPainterPath cropped;
    cropped.addRect(0, 0, 20, 101);
    const auto recropped = renderer.Coverage(*mask, tables, QTransform(), cropped, HXDownsampleFactor0);
    EXPECT_EQ(FeatherBlurs().size(), 1u);
    EXPECT_NE(recropped->bytes, drawn);
    EXPECT_EQ(renderer.Record(mask->Id())->fullDrawnWith.limit, cropped);

    // The same for a moved layer, a new feather and a moved handle.
    renderer.Coverage(*mask, tables, QTransform::fromTranslate(3, 0), cropped, HXDownsampleFactor0);
    mask->SetFeather(6);
    renderer.Coverage(*mask, tables, QTransform::fromTranslate(3, 0), cropped, HXDownsampleFactor0);
    (*mask->Begin())->SetPosition(QPointF(12, 10));
    renderer.Coverage(*mask, tables, QTransform::fromTranslate(3, 0), cropped, HXDownsampleFactor0);
    EXPECT_EQ(FeatherBlurs(), (std::vector<double>{4, 6, 6}));

    renderer.InvalidateMask(mask->Id());
    renderer.Coverage(*mask, tables, QTransform::fromTranslate(3, 0), cropped, HXDownsampleFactor0);
    renderer.InvalidateAllMasks();
    renderer.Coverage(*mask, tables, QTransform::fromTranslate(3, 0), cropped, HXDownsampleFactor0);
    EXPECT_EQ(FeatherBlurs().size(), 2u);

    renderer.RemoveMask(mask->Id());
    EXPECT_EQ(renderer.Record(mask->Id()), nullptr);
}

// The reduced buffer is the preview window's size, rounded up, and drawn at that size: a mask
// over the whole window covers its last column and row too.
TEST_F(MaskCache, ReducedBufferIsDrawnAtItsOwnSize)
{
    auto mask = std::make_shared<Mask>("all", true, false, true, true, 0, 1.0f, 1.0f);
    for (const QPointF point : {QPointF(-5, -5), QPointF(300, -5), QPointF(300, 200), QPointF(-5, 200)})
        mask->Add(std::make_shared<MaskHandle>(point));
    const auto reduced = renderer.Coverage(*mask, tables, QTransform::fromScale(0.25, 0.25), limit, HXDownsampleFactor3);
    ASSERT_EQ(reduced->width, 51u);
    ASSERT_EQ(reduced->height, 26u);
    EXPECT_EQ(reduced->bytes.back(), 255);
    EXPECT_EQ(reduced->bytes[50], 255);
    EXPECT_EQ(reduced->bytes[25 * 51], 255);
}

// A thousand masks cannot fill the memory: each buffer covers its mask's box, and the buffers
// used longest ago go once the cache holds more than its budget of window areas.
TEST_F(MaskCache, BuffersCoverTheirMasksAndStayWithinTheBudget)
{
    const MaskPtr small = Square(true, false, 2);
    const auto buffer = renderer.Coverage(*small, tables, QTransform(), limit, HXDownsampleFactor0);
    EXPECT_LT(buffer->bytes.size(), 30u * 30u) << "the square and its feather, not the window";
    EXPECT_EQ(renderer.CachedBytes(), buffer->bytes.size());

    // Masks that cover the whole window: the budget holds a few of them, not a thousand.
    std::vector<MaskPtr> masks;
    for (int i = 0; i < 1000; ++i) {
        auto mask = std::make_shared<Mask>("all", true, false, true, true, 0, 1.0f, 1.0f);
        for (const QPointF point : {QPointF(-5, -5), QPointF(300, -5), QPointF(300, 200), QPointF(-5, 200)})
            mask->Add(std::make_shared<MaskHandle>(point));
        masks.push_back(mask);
        renderer.Coverage(*mask, tables, QTransform(), limit, HXDownsampleFactor0);
    }
    const std::size_t window = 201u * 101u;
    EXPECT_LE(renderer.CachedBytes(), AlphaMaskRenderer::kCacheBudgetScreens * std::max<std::size_t>(window, 1u << 16));
    // The latest stays cached and valid; the earliest was dropped and is drawn again when asked.
    EXPECT_TRUE(renderer.Record(masks.back()->Id())->fullValid);
    EXPECT_FALSE(renderer.Record(masks.front()->Id())->fullValid);
    FeatherBlurs();
    const auto again = renderer.Coverage(*masks.front(), tables, QTransform(), limit, HXDownsampleFactor0);
    EXPECT_EQ(again->bytes.size(), window);
    EXPECT_EQ(again->bytes.front(), 255);

    for (const MaskPtr& mask : masks)
        renderer.RemoveMask(mask->Id());
    renderer.RemoveMask(small->Id());
    EXPECT_EQ(renderer.CachedBytes(), 0u);
}

// The layer render's feather follows the factor, the size of the mask's scale and the zoom.
TEST_F(MaskCache, FeatherScalesWithFactorScaleAndZoom)
{
    const struct {
        int feather;
        float scale;
        float zoom;
        hvn::image::HXDownsampleFactor factor;
        double radius;
    } cases[] = {
        {10, 1.0f, 1.0f, HXDownsampleFactor0, 10},
        {10, -0.5f, 2.0f, HXDownsampleFactor0, 10},
        {10, -0.5f, 2.0f, HXDownsampleFactor3, 2}, // 0.25 * 10 * 0.5 * 2 = 2.5, truncated
        {9, 1.0f, 0.5f, HXDownsampleFactor0, 4},
    };
    for (const auto& c : cases) {
        const MaskPtr mask = Square(true, false, c.feather);
        mask->SetScale(c.scale);
        mask->SetZoom(c.zoom);
        renderer.Coverage(*mask, tables, QTransform(), limit, c.factor);
        EXPECT_EQ(FeatherBlurs(), std::vector<double>{c.radius}) << c.feather << " " << c.scale << " " << c.zoom;
    }
}

} // namespace
} // namespace lumo::app
