#include "TextDrawing.h"

#include "ForegroundImageLayer.h"
#include "LayerManager.h"
#include "Project.h"
#include "TextItem.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace lumo::app {
namespace {

// The export image of a 400 x 300 canvas: the canvas runs from (200, 200) to (600, 500).
constexpr int kWidth = 400;
constexpr int kHeight = 300;
constexpr int kCentreX = kExportMargin + kWidth / 2;
constexpr int kCentreY = kExportMargin + kHeight / 2;

// The bounding box of the pixels the text touched, and their largest alpha.
struct Drawn {
    QRect box;
    int maxAlpha = 0;
};

Drawn DrawnPixels(const QImage& image)
{
    Drawn drawn;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(image.pixel(x, y));
            if (alpha == 0)
                continue;
            drawn.box |= QRect(x, y, 1, 1);
            drawn.maxAlpha = std::max(drawn.maxAlpha, alpha);
        }
    }
    return drawn;
}

class TextDrawingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LMerr result = LMerrSuccess;
        project = std::make_shared<Project>(result);
        ASSERT_EQ(result, LMerrSuccess);
        foreground = std::make_shared<ForegroundImageLayer>("a", "/photos/shoot/a.jpg");
        ASSERT_EQ(project->GetLayerManager()->AddForegroundLayer(foreground), LMerrSuccess);
        project->GetLayerManager()->SetCurrentForegroundId(foreground->Id());
    }

    std::shared_ptr<TextItem> AddText(const QString& text, TextAlignmentMethod alignment, QPointF position = {},
                                      double angle = 0.0)
    {
        auto item = std::make_shared<TextItem>();
        item->SetTextString(text.toUtf8().toBase64());
        item->SetFontName("DejaVu Sans");
        item->SetFontSize(24);
        item->SetFontColor(Qt::black);
        item->SetTextAlignment(alignment);
        item->SetPosition(position);
        item->SetAngle(angle);
        EXPECT_EQ(project->GetLayerManager()->GetForegroundSettings()->TextItems().Add(item), LMerrSuccess);
        return item;
    }

    QImage Draw()
    {
        QImage image(kWidth + 2 * kExportMargin, kHeight + 2 * kExportMargin, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        DrawTextItems(foreground->Id(), image, project);
        return image;
    }

    ProjectPtr project;
    ForegroundImageLayerPtr foreground;
};

TEST_F(TextDrawingTest, AlignmentAndPositionPlaceTheTextBoxAnchor)
{
    struct Case {
        const char* name;
        TextAlignmentMethod alignment;
        QPointF position;
        QPoint anchor; // where the top of the text box starts, ends or has its middle
    };
    const Case cases[] = {
        {"left at the centre", TextAlignmentLeft, {0, 0}, {kCentreX, kCentreY}},
        {"centre at the centre", TextAlignmentCentre, {0, 0}, {kCentreX, kCentreY}},
        {"right at the centre", TextAlignmentRight, {0, 0}, {kCentreX, kCentreY}},
        {"right at the bottom-right corner", TextAlignmentRight, {1, 1}, {kExportMargin + kWidth, kExportMargin + kHeight}},
        {"left at the top-left corner", TextAlignmentLeft, {-1, -1}, {kExportMargin, kExportMargin}},
    };
    for (const Case& c : cases) {
        project->GetLayerManager()->GetForegroundSettings()->TextItems().Clear();
        AddText("Lumora", c.alignment, c.position);
        const QRect box = DrawnPixels(Draw()).box;
        ASSERT_FALSE(box.isEmpty()) << c.name;
        // Glyphs sit a little inside their box; a few pixels of side bearing are allowed.
        switch (c.alignment) {
        case TextAlignmentLeft: EXPECT_NEAR(box.left(), c.anchor.x(), 4) << c.name; break;
        case TextAlignmentRight: EXPECT_NEAR(box.right(), c.anchor.x(), 4) << c.name; break;
        case TextAlignmentCentre: EXPECT_NEAR(box.center().x(), c.anchor.x(), 3) << c.name; break;
        }
        // The box hangs below its anchor: the glyphs' tops are under it, within the line height.
        EXPECT_GE(box.top(), c.anchor.y()) << c.name;
        EXPECT_LT(box.top(), c.anchor.y() + 24) << c.name;
    }
}

TEST_F(TextDrawingTest, AngleTurnsTheTextClockwiseAboutItsAnchor)
{
    AddText("Lumora", TextAlignmentLeft, {0, 0}, 90.0);
    const QRect box = DrawnPixels(Draw()).box;
    ASSERT_FALSE(box.isEmpty());
    // The line now runs downwards from the anchor, its glyphs hanging to the anchor's left.
    EXPECT_GT(box.height(), 2 * box.width());
    EXPECT_NEAR(box.top(), kCentreY, 4);
    EXPECT_LE(box.right(), kCentreX + 1);
    EXPECT_GT(box.left(), kCentreX - 48);
}

TEST_F(TextDrawingTest, OpacityScalesTheGlyphAlpha)
{
    const auto item = AddText("Lumora", TextAlignmentCentre);
    const QImage opaque = Draw();
    item->SetOpacity(0.5);
    const QImage half = Draw();
    int compared = 0;
    for (int y = 0; y < opaque.height(); ++y) {
        for (int x = 0; x < opaque.width(); ++x) {
            const int full = qAlpha(opaque.pixel(x, y));
            if (full == 0)
                continue;
            ASSERT_NEAR(qAlpha(half.pixel(x, y)), full * 0.5, 1.5) << x << "," << y;
            ++compared;
        }
    }
    EXPECT_GT(compared, 50);
    EXPECT_EQ(DrawnPixels(opaque).maxAlpha, 255);
}

TEST_F(TextDrawingTest, TextComesFromTheItemOrTheForegroundFile)
{
    const auto drawnAs = [&](TextUseOption option, const QString& text) {
        project->GetLayerManager()->GetForegroundSettings()->TextItems().Clear();
        AddText(text, TextAlignmentLeft)->SetUseOption(option);
        return Draw();
    };
    const QImage fileName = drawnAs(TextUseFilename, "ignored");
    EXPECT_EQ(fileName, drawnAs(TextUseCustom, "a.jpg"));
    EXPECT_NE(fileName, drawnAs(TextUseCustom, "ignored"));
    EXPECT_EQ(drawnAs(TextUseFilePath, "ignored"), drawnAs(TextUseCustom, "/photos/shoot/a.jpg"));
}

TEST_F(TextDrawingTest, DisabledAndEmptyItemsDrawNothing)
{
    AddText("Lumora", TextAlignmentLeft)->SetEnabled(false);
    AddText("", TextAlignmentCentre);
    EXPECT_TRUE(DrawnPixels(Draw()).box.isEmpty());
}

} // namespace
} // namespace lumo::app
