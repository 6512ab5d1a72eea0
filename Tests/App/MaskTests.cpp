#include "Mask.h"

#include "XmlTestUtils.h"

#include <gtest/gtest.h>

using namespace lumo::app;
using lumo::test::LoadItem;
using lumo::test::WriteItem;

namespace {

std::vector<QUuid> HandleIds(const Mask& mask)
{
    std::vector<QUuid> ids;
    for (auto it = mask.Begin(); it != mask.End(); ++it)
        ids.push_back((*it)->Id());
    return ids;
}

std::vector<QUuid> MaskIds(const MaskList& list)
{
    std::vector<QUuid> ids;
    for (auto it = list.Begin(); it != list.End(); ++it)
        ids.push_back((*it)->Id());
    return ids;
}

// A closed outline with one handle of each class.
MaskPtr OutlineMask(const QString& name)
{
    auto mask = std::make_shared<Mask>(name, false, true, true, true, 12, 0.5f, 0.25f);
    mask->Add(std::make_shared<MaskHandle>(QPointF(10.5, -3.25)));
    mask->Add(std::make_shared<MonoControlMaskHandle>(QPointF(100.0, 200.0), QPointF(0.1, 0.2)));
    mask->Add(std::make_shared<DualControlMaskHandle>(QPointF(1e-7, 3.0), QPointF(-4.0, 5.0), QPointF(6.0, -7.0)));
    return mask;
}

QString MaskElement(const QString& handles, const QString& name = QStringLiteral("m"))
{
    return QStringLiteral("<mask isRemove=\"1\" isInverted=\"0\" isClosed=\"1\" isEnabled=\"1\">"
                          "<maskName><![CDATA[%1]]></maskName><feather>3</feather><scale>1</scale>"
                          "<zoom>0.5</zoom>%2</mask>")
        .arg(name, handles);
}

QString PlainHandle(double x, double y)
{
    return QStringLiteral("<handle><type>0</type><positionX>%1</positionX><positionY>%2</positionY></handle>")
        .arg(x)
        .arg(y);
}

QString Settings(const QString& maskListBody)
{
    return QStringLiteral("<settings><maskList>%1</maskList></settings>").arg(maskListBody);
}

QString ListBody(unsigned index, const QString& masks, const QString& mode = QStringLiteral("<currentMaskMode>1</currentMaskMode>"))
{
    return QStringLiteral("<currentSelectedMaskIndex>%1</currentSelectedMaskIndex><nameSuffix>4</nameSuffix>%2%3")
        .arg(index)
        .arg(mode, masks);
}

} // namespace

TEST(MaskHandles, CompareByPointsWithinAnAbsoluteBoundAndIgnoreIds)
{
    // Qt 6's QPointF == is relative: near 100 it would call points 1e-11 apart equal.
    const struct {
        double dx;
        bool equal;
    } cases[] = {{0.0, true}, {1e-13, true}, {1e-11, false}, {-1e-11, false}, {1.0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dx);
        const QPointF p(100.0, 100.0), moved(100.0 + c.dx, 100.0);
        EXPECT_EQ(MaskHandle(p) == MaskHandle(moved), c.equal);
        EXPECT_EQ(MonoControlMaskHandle(p, p) == MonoControlMaskHandle(p, moved), c.equal);
        EXPECT_EQ(DualControlMaskHandle(p, p, p) == DualControlMaskHandle(p, moved, p), c.equal);
        EXPECT_EQ(DualControlMaskHandle(p, p, p) != DualControlMaskHandle(p, p, moved), !c.equal);
    }
    MaskHandle a(QPointF(1, 2)), b(QPointF(1, 2));
    EXPECT_NE(a.Id(), b.Id());
    EXPECT_TRUE(a == b);
}

TEST(Mask, HandlePathOperations)
{
    Mask mask;
    EXPECT_TRUE(mask.IsRemove());
    EXPECT_FALSE(mask.IsClosed());
    EXPECT_TRUE(mask.IsEnabled());
    auto first = std::make_shared<MaskHandle>(QPointF(1, 1));
    auto second = std::make_shared<MaskHandle>(QPointF(2, 2));
    auto inserted = std::make_shared<MonoControlMaskHandle>();
    EXPECT_EQ(mask.Add(first), 0);
    EXPECT_EQ(mask.Add(second), 0);

    EXPECT_EQ(mask.AddBefore(inserted, QUuid::createUuid()), 48);
    EXPECT_EQ(mask.Size(), 2u);
    EXPECT_EQ(mask.AddBefore(inserted, first->Id()), 0);
    EXPECT_EQ(HandleIds(mask), (std::vector<QUuid>{inserted->Id(), first->Id(), second->Id()}));

    MaskHandlePtr found;
    EXPECT_EQ(mask.GetHandle(QUuid::createUuid(), found), 49);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(mask.GetHandle(second->Id(), found), 0);
    EXPECT_EQ(found, second);
    EXPECT_EQ(mask.RemoveHandle(QUuid::createUuid()), 49);
    EXPECT_EQ(mask.RemoveHandle(first->Id()), 0);
    EXPECT_EQ(HandleIds(mask), (std::vector<QUuid>{inserted->Id(), second->Id()}));
    mask.Clear();
    EXPECT_EQ(mask.Size(), 0u);
}

TEST(Mask, EqualityComparesHandlesIdentityAndZoomButNotScale)
{
    const MaskPtr source = OutlineMask(QStringLiteral("a"));
    const Mask copy(*source);
    EXPECT_TRUE(copy == *source);

    Mask scaled(copy);
    scaled.SetScale(3.0f);
    EXPECT_TRUE(scaled == *source);

    Mask zoomed(copy);
    zoomed.SetZoom(0.2500001f);
    EXPECT_TRUE(zoomed != *source);

    Mask fresh(QStringLiteral("a"), false, true, true, true, 12, 0.5f, 0.25f);
    for (auto it = source->Begin(); it != source->End(); ++it)
        fresh.Add(*it);
    EXPECT_TRUE(fresh != *source) << "the id differs";

    Mask reordered(copy);
    MaskHandlePtr last = *(reordered.End() - 1);
    reordered.RemoveHandle(last->Id());
    reordered.AddBefore(last, (*reordered.Begin())->Id());
    EXPECT_TRUE(reordered != *source);

    Mask moved(copy);
    (*(moved.Begin() + 1))->SetPosition(QPointF(100.0 + 1e-11, 200.0));
    EXPECT_TRUE(moved != *source);

    Mask otherClass(copy);
    const QUuid firstId = (*otherClass.Begin())->Id();
    otherClass.AddBefore(std::make_shared<MonoControlMaskHandle>(QPointF(10.5, -3.25), QPointF()), firstId);
    otherClass.RemoveHandle(firstId);
    EXPECT_TRUE(otherClass != *source) << "same position, different class";
}

TEST(Mask, CopiesAreDeepAndKeepIds)
{
    const MaskPtr source = OutlineMask(QStringLiteral("deep"));
    Mask copy(*source);
    EXPECT_EQ(copy.Id(), source->Id());
    EXPECT_EQ(HandleIds(copy), HandleIds(*source));
    for (std::size_t i = 0; i < copy.Size(); ++i) {
        EXPECT_NE((copy.Begin() + i)->get(), (source->Begin() + i)->get());
        EXPECT_EQ((*(copy.Begin() + i))->Type(), (*(source->Begin() + i))->Type());
    }
    (*(copy.Begin() + 2))->SetPosition(QPointF(50, 50));
    static_cast<DualControlMaskHandle&>(**(copy.Begin() + 2)).SetLeftControlPosition(QPointF(9, 9));
    EXPECT_EQ((*(source->Begin() + 2))->Position(), QPointF(1e-7, 3.0));
    EXPECT_EQ(static_cast<DualControlMaskHandle&>(**(source->Begin() + 2)).LeftControlPosition(), QPointF(-4, 5));

    Mask assigned;
    assigned.Add(std::make_shared<MaskHandle>());
    assigned = *source;
    EXPECT_TRUE(assigned == *source);
    assigned = assigned;
    EXPECT_EQ(assigned.Size(), 3u);
}

TEST(MaskList, AddFindMoveAndRemove)
{
    MaskList list;
    EXPECT_EQ(list.NameSuffix(), 1u);
    EXPECT_EQ(list.CurrentMaskMode(), MaskModeCreate);
    auto a = OutlineMask(QStringLiteral("a")), b = OutlineMask(QStringLiteral("b"));
    b->SetEnabled(false);
    EXPECT_EQ(list.Add(a), 0);
    EXPECT_EQ(list.Add(b), 0);
    EXPECT_EQ(list.Add(std::make_shared<Mask>(*a)), 50) << "same id";
    EXPECT_EQ(list.Size(), 2u);
    EXPECT_EQ(list.EnabledCount(), 1u);

    const QUuid missing = QUuid::createUuid();
    MaskPtr found;
    EXPECT_EQ(list.Get(missing, found), 51);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(list.Remove(missing), 51);
    EXPECT_EQ(list.MoveUp(missing), 51);
    EXPECT_EQ(list.MoveDown(missing), 51);

    EXPECT_EQ(list.MoveUp(a->Id()), 0);
    EXPECT_EQ(list.MoveDown(b->Id()), 0);
    EXPECT_EQ(MaskIds(list), (std::vector<QUuid>{a->Id(), b->Id()})) << "nothing moves at the ends";
    EXPECT_EQ(list.MoveDown(a->Id()), 0);
    EXPECT_EQ(MaskIds(list), (std::vector<QUuid>{b->Id(), a->Id()}));

    list.SetCurrentlySelectedMask(a->Id());
    EXPECT_EQ(list.Remove(a->Id()), 0);
    EXPECT_EQ(list.CurrentlySelectedMask(), a->Id()) << "the selection is left to the caller";
    EXPECT_EQ(list.Get(b->Id(), found), 0);
    EXPECT_EQ(found, b);
}

TEST(MaskList, CopiesAreDeepAndLeaveTheModeBehind)
{
    MaskList source;
    source.Add(OutlineMask(QStringLiteral("one")));
    source.SetCurrentlySelectedMask((*source.Begin())->Id());
    source.SetNameSuffix(7);
    source.SetCurrentMaskMode(MaskModeSelect);

    MaskList copy(source);
    EXPECT_EQ(copy.CurrentMaskMode(), MaskModeCreate);
    EXPECT_EQ(copy.CurrentlySelectedMask(), source.CurrentlySelectedMask());
    EXPECT_EQ(copy.NameSuffix(), 7u);
    EXPECT_EQ(MaskIds(copy), MaskIds(source));
    EXPECT_NE(copy.Begin()->get(), source.Begin()->get());
    (*copy.Begin())->SetFeather(99);
    (*(*copy.Begin())->Begin())->SetPosition(QPointF(-1, -1));
    EXPECT_EQ((*source.Begin())->Feather(), 12);
    EXPECT_EQ((*(*source.Begin())->Begin())->Position(), QPointF(10.5, -3.25));

    MaskList assigned;
    assigned.SetCurrentMaskMode(MaskModeSelect);
    source.SetCurrentMaskMode(MaskModeCreate);
    assigned.Add(std::make_shared<Mask>());
    assigned = source;
    EXPECT_EQ(assigned.CurrentMaskMode(), MaskModeSelect) << "an assigned list keeps its own mode";
    EXPECT_EQ(MaskIds(assigned), MaskIds(source));
}

TEST(MaskList, RoundTripKeepsMasksHandlesAndSelectionPosition)
{
    MaskList list;
    list.Add(OutlineMask(QStringLiteral("first")));
    list.Add(OutlineMask(QStringLiteral("<second> & ]]> third")));
    list.Add(std::make_shared<Mask>());
    list.SetCurrentlySelectedMask((*(list.Begin() + 1))->Id());
    list.SetNameSuffix(4);
    list.SetCurrentMaskMode(MaskModeSelect);

    const QString xml = WriteItem(list);
    EXPECT_TRUE(xml.contains(QLatin1String("<currentSelectedMaskIndex>2</currentSelectedMaskIndex>"))) << qPrintable(xml);

    MaskList loaded;
    ASSERT_EQ(LoadItem(loaded, QStringLiteral("<settings>%1</settings>").arg(xml)), 0);
    ASSERT_EQ(loaded.Size(), 3u);
    EXPECT_EQ(loaded.NameSuffix(), 4u);
    EXPECT_EQ(loaded.CurrentMaskMode(), MaskModeSelect);
    EXPECT_EQ(loaded.CurrentlySelectedMask(), (*(loaded.Begin() + 1))->Id());
    // Ids are not stored: a reloaded mask equals its source once it carries the source's id.
    for (std::size_t i = 0; i < 3; ++i) {
        const Mask& original = **(list.Begin() + i);
        const Mask& reread = **(loaded.Begin() + i);
        EXPECT_NE(reread.Id(), original.Id());
        EXPECT_EQ(reread.MaskName(), original.MaskName());
        EXPECT_EQ(reread.Scale(), original.Scale());
        EXPECT_EQ(reread.IsRemove(), original.IsRemove());
        EXPECT_EQ(reread.IsInverted(), original.IsInverted());
    }
    EXPECT_EQ(WriteItem(loaded).toStdString(), xml.toStdString());
}

TEST(MaskList, ReadsTheSelectionCountingFromOne)
{
    const QString two = MaskElement(PlainHandle(1, 2)) + MaskElement(QString());
    const QUuid earlier = QUuid::createUuid();
    const struct {
        unsigned index;
        QString masks;
        int result;
        int selectedPosition; // -1: the selection stays as it was
    } cases[] = {
        {2, two, 0, 1},
        {1, two, 0, 0},
        {0, two, 0, -1}, // the form written when nothing is selected
        {3, two, 17, -1},
        {5, QString(), 0, -1}, // no masks: the index is not looked at
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        MaskList list;
        list.SetCurrentlySelectedMask(earlier);
        EXPECT_EQ(LoadItem(list, Settings(ListBody(c.index, c.masks))), c.result);
        if (c.selectedPosition < 0)
            EXPECT_EQ(list.CurrentlySelectedMask(), earlier);
        else
            EXPECT_EQ(list.CurrentlySelectedMask(), (*(list.Begin() + c.selectedPosition))->Id());
    }
}

TEST(MaskList, WritesNoSelectionAsZeroAndReadsItBackUnselected)
{
    MaskList list;
    list.Add(OutlineMask(QStringLiteral("a")));
    list.Add(OutlineMask(QStringLiteral("b")));
    list.SetCurrentlySelectedMask(QUuid::createUuid()); // names no mask of the list
    const QString xml = WriteItem(list);
    EXPECT_TRUE(xml.contains(QLatin1String("<currentSelectedMaskIndex>0</currentSelectedMaskIndex>")));
    MaskList loaded;
    ASSERT_EQ(LoadItem(loaded, QStringLiteral("<s>%1</s>").arg(xml)), 0);
    EXPECT_EQ(loaded.Size(), 2u);
    EXPECT_TRUE(loaded.CurrentlySelectedMask().isNull());
}

TEST(MaskList, LoadFallbacksAndFailures)
{
    MaskList untouched;
    untouched.SetNameSuffix(9);
    EXPECT_EQ(LoadItem(untouched, QStringLiteral("<settings/>")), 0);
    EXPECT_EQ(untouched.NameSuffix(), 9u);
    EXPECT_EQ(untouched.Size(), 0u);

    const struct {
        const char* name;
        QString mode;
        MaskMode expected;
    } modes[] = {{"missing", QString(), MaskModeCreate},
                 {"unreadable", QStringLiteral("<currentMaskMode>x</currentMaskMode>"), MaskModeCreate},
                 {"unknown, kept as read", QStringLiteral("<currentMaskMode>7</currentMaskMode>"), MaskMode(7)},
                 {"beyond int", QStringLiteral("<currentMaskMode>4294967295</currentMaskMode>"), MaskModeCreate},
                 {"select", QStringLiteral("<currentMaskMode>1</currentMaskMode>"), MaskModeSelect}};
    for (const auto& c : modes) {
        SCOPED_TRACE(c.name);
        MaskList list;
        list.SetCurrentMaskMode(MaskModeSelect);
        EXPECT_EQ(LoadItem(list, Settings(ListBody(0, QString(), c.mode))), 0);
        EXPECT_EQ(list.CurrentMaskMode(), c.expected);
        EXPECT_TRUE(WriteItem(list).contains(QStringLiteral("<currentMaskMode>%1<").arg(int(c.expected))))
            << "written back as read";
    }

    MaskList noHandles;
    ASSERT_EQ(LoadItem(noHandles, Settings(ListBody(1, MaskElement(QString())))), 0);
    ASSERT_EQ(noHandles.Size(), 1u);
    EXPECT_EQ((*noHandles.Begin())->Size(), 0u);
    EXPECT_EQ((*noHandles.Begin())->Zoom(), 0.5f);

    const struct {
        const char* name;
        QString body;
    } failures[] = {
        {"handle type 3",
         ListBody(0, MaskElement(QStringLiteral("<handleList><handle><type>3</type><positionX>0</positionX>"
                                                "<positionY>0</positionY></handle></handleList>")))},
        {"handle without type",
         ListBody(0, MaskElement(QStringLiteral("<handleList><handle><positionX>0</positionX>"
                                                "<positionY>0</positionY></handle></handleList>")))},
        {"curved handle without its right control",
         ListBody(0, MaskElement(QStringLiteral(
                         "<handleList><handle><type>2</type><positionX>0</positionX><positionY>0</positionY>"
                         "<leftControlPositionX>1</leftControlPositionX><leftControlPositionY>1"
                         "</leftControlPositionY></handle></handleList>")))},
        {"mask without isClosed",
         ListBody(0, QStringLiteral("<mask isRemove=\"1\" isInverted=\"0\" isEnabled=\"1\"><maskName/>"
                                    "<feather>0</feather><scale>1</scale><zoom>1</zoom></mask>"))},
        {"missing nameSuffix", QStringLiteral("<currentSelectedMaskIndex>0</currentSelectedMaskIndex>")},
        {"negative index", ListBody(0, QString()).replace(QLatin1String(">0<"), QLatin1String(">-1<"))},
    };
    for (const auto& c : failures) {
        SCOPED_TRACE(c.name);
        MaskList list;
        EXPECT_EQ(LoadItem(list, Settings(c.body)), 4);
    }
}

TEST(MaskList, MasksReadBeforeAFailureStay)
{
    const QString body = ListBody(0, MaskElement(PlainHandle(1, 1), QStringLiteral("kept")) +
                                         MaskElement(QStringLiteral("<handleList><handle><type>9</type>"
                                                                    "</handle></handleList>")));
    MaskList list;
    EXPECT_EQ(LoadItem(list, Settings(body)), 4);
    ASSERT_EQ(list.Size(), 1u);
    EXPECT_EQ((*list.Begin())->MaskName(), QStringLiteral("kept"));
}

TEST(MaskList, NullMasksAndHandlesAreRefused)
{
    Mask mask;
    const auto handle = std::make_shared<MaskHandle>(QPointF(1, 2));
    ASSERT_EQ(mask.Add(handle), LMerrSuccess);
    EXPECT_EQ(mask.Add(nullptr), LMerrInvalidData);
    EXPECT_EQ(mask.AddBefore(nullptr, handle->Id()), LMerrInvalidData);
    EXPECT_EQ(mask.Size(), 1u);

    MaskList list;
    EXPECT_EQ(list.Add(nullptr), LMerrInvalidData);
    EXPECT_EQ(list.Size(), 0u);
    ASSERT_EQ(list.Add(std::make_shared<Mask>(mask)), LMerrSuccess);
    // What was refused cannot break a later save or copy.
    EXPECT_TRUE(WriteItem(list).contains(QStringLiteral("<handle>")));
    EXPECT_EQ(MaskList(list).Size(), 1u);
}
