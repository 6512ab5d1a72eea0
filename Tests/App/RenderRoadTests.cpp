// The render road over the committed seed corpus: every hostile number and odd file the road was
// found to mishandle is a small edit of one base project (RenderRoad.h), and each gives its
// outcome: refused with a clear code, or opened, rendered at both factors and exported.
#include "RenderRoad.h"

#include "FilterItems.h"
#include "KeyItems.h"
#include "LayerManager.h"
#include "Mask.h"
#include "Project.h"
#include "TextItem.h"
#include "TransformItems.h"

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

using namespace lumo::fuzz;

namespace {

QString SeedPath(const std::string& name)
{
    QString root = qEnvironmentVariable("LUMORA_TEST_DATA");
    if (root.isEmpty())
        root = QStringLiteral(LUMORA_SOURCE_TEST_DATA);
    return root + QStringLiteral("/fuzz/render-road/") + QString::fromStdString(name) + QStringLiteral(".lumo4");
}

QByteArray Seed(const std::string& name)
{
    QFile file(SeedPath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

namespace lumo::fuzz {
std::ostream& operator<<(std::ostream& out, const RoadOutcome& o)
{
    return out << "{load " << o.load << ", canvas " << o.canvasFull << "/" << o.canvasPreview << ", export "
               << o.exportCurrent << "/" << o.exportOther << "}";
}
} // namespace lumo::fuzz

TEST(RenderRoad, TheCommittedSeedsAreTheCases)
{
    // The fuzz run starts from these files: each is the base with its case's edit, so the corpus
    // holds every case (WriteRenderRoadSeeds writes them).
    const QByteArray base = Seed("base");
    ASSERT_FALSE(base.isEmpty());
    for (const RoadCase& c : RoadCases()) {
        const QByteArray expected = Mutated(base, c);
        ASSERT_FALSE(expected.isEmpty()) << c.name << ": its text is not in the base exactly once";
        EXPECT_EQ(Seed(c.name), expected) << c.name;
    }
}

TEST(RenderRoad, EveryCaseGivesItsOutcome)
{
    RenderRoad road;
    ASSERT_TRUE(road.IsReady());
    for (const RoadCase& c : RoadCases()) {
        const RoadOutcome outcome = road.Run(Seed(c.name));
        EXPECT_EQ(outcome, c.expected) << c.name << ": " << outcome << " instead of " << c.expected;
    }
}

TEST(RenderRoad, NumbersOnlyAProgramCanSetAreDrawnToo)
{
    // No file holds "nan" or an infinity any more, but a setter stores whatever it is given: the
    // road draws such a project as it draws the hostile files (the numbers made drawable where the
    // pipeline takes them), and saving it is refused with 17 rather than writing what no reader
    // takes back.
    using namespace lumo::app;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* name;
        std::function<void(Project&)> edit;
    } cases[] = {
        {"canvas scale", [&](Project& p) { p.GetCanvas().SetScale(static_cast<float>(nan)); }},
        {"layer placement", [&](Project& p) {
             const auto item = FindItemOfType<TransformationTransformItem>(
                 p.GetLayerManager()->GetForegroundSettings()->Transforms(), TransformItemTypeTransformation);
             item->SetScaleX(nan);
             item->SetScaleY(-inf);
             item->SetTranslateX(inf);
             item->SetRotation(nan);
         }},
        {"mask", [&](Project& p) {
             const MaskPtr mask = *p.GetLayerManager()->GetForegroundSettings()->Masks().Begin();
             mask->SetScale(static_cast<float>(nan));
             mask->SetZoom(static_cast<float>(-inf));
             (*mask->Begin())->SetPosition(QPointF(nan, inf));
         }},
        {"shadow, crop and light wrap", [&](Project& p) {
             const auto settings = p.GetLayerManager()->GetForegroundSettings();
             FindItemOfType<ShadowCastFilterItem>(settings->Filters(), FilterItemTypeShadowCast)
                 ->SetShadowQuad(hvn::maths::HXQuadF({nan, 0}, {inf, 0}, {0, -inf}, {0, 0}));
             FindItemOfType<CropKeyItem>(settings->Keys(), KeyItemTypeCrop)->SetLeft(nan);
             FindItemOfType<LightSpillKeyItem>(settings->Keys(), KeyItemTypeLightSpill)->SetBlur(inf);
         }},
        {"text", [&](Project& p) {
             const TextItemPtr text = *p.GetLayerManager()->GetForegroundSettings()->TextItems().Begin();
             text->SetPosition(QPointF(nan, inf));
             text->SetAngle(inf);
             text->SetOpacity(nan);
             text->SetFontSize(-5);
         }},
    };
    RenderRoad road;
    ASSERT_TRUE(road.IsReady());
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const RoadOutcome outcome = road.Run(Seed("base"), [&](Project& project) {
            c.edit(project);
            EXPECT_EQ(project.SaveToXml(dir.filePath("nan.lumo4"), "v", "4.0"), LMerrCannotWrite) << c.name;
        });
        EXPECT_EQ(outcome, (RoadOutcome{0, 0, 0, 0, 0})) << c.name << ": " << outcome;
    }
}
