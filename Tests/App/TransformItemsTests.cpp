#include "TransformItems.h"

#include "XmlTestUtils.h"

#include <gtest/gtest.h>

using namespace lumo::app;
using lumo::test::LoadItem;
using lumo::test::WriteItem;

TEST(TransformItems, ConvertTranslationExamples)
{
    struct Case {
        double translate, scale;
        unsigned layer, canvas;
        double expected;
    } cases[] = {
        {1.0, -2.0, 101, 200, 201.0},
        {-0.5, 1.0, 3, 4, -1.5},
        {0.0, 1.0, 500, 800, 0.0},
        {1.0, 0.5, 3, 3, 2.0},
    };
    for (const Case& c : cases) {
        double x = 0, y = 0;
        ConvertTranslation(TransformationTransformItem(c.translate, c.translate, c.scale, c.scale, 0), c.canvas,
                           c.canvas, c.layer, c.layer, x, y);
        EXPECT_EQ(x, c.expected);
        EXPECT_EQ(y, c.expected);
    }
}

TEST(TransformItems, DefaultsAndXmlForm)
{
    TransformationTransformItem item;
    EXPECT_TRUE(item.IsEnabled());
    EXPECT_FALSE(item.IsCollapsed());
    EXPECT_TRUE(item.IsActive());
    EXPECT_FALSE(item.Id().isNull());
    EXPECT_EQ(WriteItem(item), "<transformationTransformItem collapsed=\"0\" enabled=\"1\"><translateX>0</translateX>"
                               "<translateY>0</translateY><scaleX>1</scaleX><scaleY>1</scaleY><rotation>0</rotation>"
                               "</transformationTransformItem>");
    FitTransformItem fit;
    EXPECT_EQ(fit.Fit(), FitToNone);
    EXPECT_EQ(WriteItem(fit), "<fitTransformItem collapsed=\"0\" enabled=\"1\"><fit>3</fit></fitTransformItem>");
}

TEST(TransformItems, ReadingStoresValuesUntilAFailure)
{
    TransformationTransformItem item;
    EXPECT_EQ(LoadItem(item, "<t enabled='0' collapsed='1'><translateX>0.5</translateX><translateY>-1</translateY>"
                             "<scaleX>2</scaleX><scaleY>3</scaleY></t>"),
              4);
    EXPECT_FALSE(item.IsEnabled());
    EXPECT_TRUE(item.IsCollapsed());
    EXPECT_EQ(item.TranslateX(), 0.5);
    EXPECT_EQ(item.ScaleY(), 3.0);
    EXPECT_EQ(item.Rotation(), 0.0);

    FitTransformItem fit(FitToCanvas);
    EXPECT_EQ(LoadItem(fit, "<f enabled='1' collapsed='0'><fit>4</fit></f>"), 4);
    EXPECT_EQ(fit.Fit(), FitToCanvas) << "an invalid fit leaves the previous one";
    EXPECT_EQ(LoadItem(fit, "<f enabled='1' collapsed='0'><fit>3</fit></f>"), 0);
    EXPECT_EQ(fit.Fit(), FitToNone);
    EXPECT_EQ(LoadItem(fit, "<f enabled='1'><fit>3</fit></f>"), 4) << "both attributes are required";
}

TEST(TransformItems, CopiesKeepIdentity)
{
    TransformationTransformItem item(1, 2, 3, 4, 5);
    item.SetActive(false);
    std::vector<std::shared_ptr<AbstractTransformItem>> clones;
    item.CopyToVector(clones);
    ASSERT_EQ(clones.size(), 1u);
    EXPECT_EQ(clones[0]->Id(), item.Id());
    EXPECT_FALSE(clones[0]->IsActive());
    EXPECT_EQ(std::static_pointer_cast<TransformationTransformItem>(clones[0])->Rotation(), 5.0);
}
