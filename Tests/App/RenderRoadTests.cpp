// The render road over the committed seed corpus: every hostile number and odd file the road was
// found to mishandle is a small edit of one base project (RenderRoad.h), and each gives its
// outcome: refused with a clear code, or opened, rendered at both factors and exported.
#include "RenderRoad.h"

#include <QFile>

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
