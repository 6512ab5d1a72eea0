#include "ItemLists.h"
#include "TransformItems.h"

#include "XmlTestUtils.h"

#include <gtest/gtest.h>

using namespace lumo::app;
using lumo::test::LoadItem;
using lumo::test::WriteItem;

namespace {

std::shared_ptr<TransformationTransformItem> Transformation(double x)
{
    return std::make_shared<TransformationTransformItem>(x, 0.0, 1.0, 1.0, 0.0);
}

std::vector<QUuid> Ids(const TransformList& list)
{
    std::vector<QUuid> ids;
    for (auto it = list.Begin(); it != list.End(); ++it)
        ids.push_back((*it)->Id());
    return ids;
}

} // namespace

TEST(ItemLists, EmptyListReportsItsNotFoundCode)
{
    TransformList transforms;
    FilterList filters;
    KeyList keys;
    CompositeList composites;
    TransformList::Pointer t;
    FilterList::Pointer f;
    KeyList::Pointer k;
    CompositeList::Pointer c;
    const QUuid id = QUuid::createUuid();
    EXPECT_EQ(transforms.Get(id, t), 21);
    EXPECT_EQ(transforms.Remove(id), 21);
    EXPECT_EQ(transforms.MoveUp(id), 21);
    EXPECT_EQ(transforms.MoveDown(id), 21);
    EXPECT_EQ(transforms.GetFilterByType(TransformItemTypeFit, t), 21);
    EXPECT_EQ(filters.Get(id, f), 18);
    EXPECT_EQ(filters.GetFilterByType(FilterItemTypeBlur, f), 18);
    EXPECT_EQ(keys.Remove(id), 19);
    EXPECT_EQ(keys.GetFilterByType(static_cast<KeyItemType>(5), k), 19);
    EXPECT_EQ(composites.MoveDown(id), 20);
    EXPECT_EQ(transforms.EnabledCount(), 0u);
    EXPECT_EQ(transforms.ActiveCount(), 0u);
    EXPECT_EQ(t, nullptr) << "a failed lookup leaves the out-parameter untouched";
}

TEST(ItemLists, HoldsFindsAndMovesItems)
{
    TransformList list;
    auto a = Transformation(1), b = Transformation(2);
    auto fit = std::make_shared<FitTransformItem>(FitToCanvas);
    auto laterFit = std::make_shared<FitTransformItem>(FitToBackground);
    fit->SetEnabled(false);
    list.Add(a);
    list.Add(fit);
    list.Add(b);
    list.Add(laterFit);

    TransformList::Pointer found;
    ASSERT_EQ(list.Get(b->Id(), found), 0);
    EXPECT_EQ(found, b);
    ASSERT_EQ(list.GetFilterByType(TransformItemTypeFit, found), 0);
    EXPECT_EQ(found, fit) << "the earlier item of a type, even when disabled";
    EXPECT_EQ(list.EnabledCount(), 3u);
    laterFit->SetActive(false);
    EXPECT_EQ(list.ActiveCount(), 3u);

    EXPECT_EQ(list.MoveUp(a->Id()), 0);
    EXPECT_EQ(Ids(list), (std::vector<QUuid>{a->Id(), fit->Id(), b->Id(), laterFit->Id()}));
    EXPECT_EQ(list.MoveDown(laterFit->Id()), 0);
    EXPECT_EQ(Ids(list), (std::vector<QUuid>{a->Id(), fit->Id(), b->Id(), laterFit->Id()}));
    EXPECT_EQ(list.MoveUp(b->Id()), 0);
    EXPECT_EQ(list.MoveDown(a->Id()), 0);
    EXPECT_EQ(Ids(list), (std::vector<QUuid>{b->Id(), a->Id(), fit->Id(), laterFit->Id()}));

    EXPECT_EQ(list.Remove(a->Id()), 0);
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_EQ(a.use_count(), 1) << "removal releases the list's share only";
}

TEST(ItemLists, SamePointerTwiceIsRemovedOnceAtATime)
{
    TransformList list;
    auto a = Transformation(1);
    list.Add(a);
    list.Add(a);
    EXPECT_EQ(list.Remove(a->Id()), 0);
    EXPECT_EQ(list.Count(), 1u);
}

TEST(ItemLists, CopiesCloneItemsKeepingIds)
{
    TransformList source;
    source.Add(Transformation(0.5));
    source.Add(std::make_shared<FitTransformItem>(FitToForeground));

    TransformList copy(source);
    TransformList assigned;
    assigned.Add(Transformation(9));
    assigned = source;
    assigned = assigned;

    for (const TransformList* list : {&copy, &assigned}) {
        ASSERT_EQ(Ids(*list), Ids(source));
        EXPECT_NE(list->Begin()->get(), source.Begin()->get()) << "distinct objects";
    }
    auto cloned = std::dynamic_pointer_cast<TransformationTransformItem>(*copy.Begin());
    cloned->SetTranslateX(7);
    EXPECT_EQ(std::dynamic_pointer_cast<TransformationTransformItem>(*source.Begin())->TranslateX(), 0.5);
}

TEST(ItemLists, RoundTripsThroughXml)
{
    TransformList list;
    list.Add(std::make_shared<TransformationTransformItem>(0.25, -0.5, -2.0, 1.5, 33.3));
    list.Add(std::make_shared<FitTransformItem>(FitToBackground));
    const QString text = "<settings>" + WriteItem(list) + "</settings>";

    TransformList loaded;
    ASSERT_EQ(LoadItem(loaded, text), 0);
    EXPECT_EQ(loaded.Count(), 2u);
    EXPECT_NE(Ids(loaded), Ids(list)) << "every load gives new ids";
    EXPECT_EQ("<settings>" + WriteItem(loaded) + "</settings>", text);

    TransformList empty;
    EXPECT_EQ(WriteItem(empty), "<transformList/>");
    ASSERT_EQ(LoadItem(empty, "<s><transformList/></s>"), 0);
    EXPECT_EQ(empty.Count(), 0u);
}

TEST(ItemLists, LoadingAppendsAndStopsAtTheFirstBadElement)
{
    TransformList list;
    list.Add(Transformation(1));
    EXPECT_EQ(LoadItem(list, "<s/>"), 0) << "no list element leaves the list as it was";
    EXPECT_EQ(list.Count(), 1u);

    const QString good = "<fitTransformItem collapsed='0' enabled='1'><fit>1</fit></fitTransformItem>";
    EXPECT_EQ(LoadItem(list, "<s><transformList>" + good + good + "<bogusItem/>" + good + "</transformList></s>"), 4);
    EXPECT_EQ(list.Count(), 3u) << "items read before the failure stay";

    TransformList failing;
    EXPECT_EQ(LoadItem(failing, "<s><transformList>" + good +
                                    "<fitTransformItem collapsed='0' enabled='1'><fit>9</fit></fitTransformItem>"
                                    "</transformList></s>"),
              4);
    EXPECT_EQ(failing.Count(), 1u) << "the failed item is discarded";

    FilterList filters;
    EXPECT_EQ(LoadItem(filters, "<s><filterList><transformationTransformItem/></filterList></s>"), 4)
        << "names are looked up in the list's own table";
    KeyList keys;
    EXPECT_EQ(LoadItem(keys, "<s><keyList><AutoColorDifferenceKeyItem/></keyList></s>"), 4)
        << "names are case-sensitive";
}

TEST(ItemLists, FindItemOfTypeGivesTheFirstItemOfTheTypeAsItsClass)
{
    TransformList list;
    EXPECT_EQ(FindItemOfType<FitTransformItem>(list, TransformItemTypeFit), nullptr);

    const auto transformation = Transformation(1);
    const auto fit = std::make_shared<FitTransformItem>(FitToCanvas);
    list.Add(transformation);
    list.Add(fit);
    list.Add(std::make_shared<FitTransformItem>(FitToBackground));

    EXPECT_EQ(FindItemOfType<FitTransformItem>(list, TransformItemTypeFit), fit);
    EXPECT_EQ(FindItemOfType<TransformationTransformItem>(list, TransformItemTypeTransformation), transformation);
    // Asking for the wrong class gives null rather than a bad cast.
    EXPECT_EQ(FindItemOfType<FitTransformItem>(list, TransformItemTypeTransformation), nullptr);
}

TEST(ItemLists, NullItemIsNotTaken)
{
    TransformList list;
    list.Add(nullptr);
    list.Add(Transformation(1));
    list.Add(nullptr);
    EXPECT_EQ(list.Count(), 1u);
    // Walks of the list (lookups, counts, copies, saving) meet only real items.
    TransformList::Pointer fit;
    EXPECT_EQ(list.GetFilterByType(TransformItemTypeFit, fit), LMerrTransformNotFound);
    EXPECT_EQ(list.EnabledCount(), 1u);
    EXPECT_EQ(TransformList(list).Count(), 1u);
    EXPECT_TRUE(WriteItem(list).contains(QStringLiteral("transformationTransformItem")));
}
