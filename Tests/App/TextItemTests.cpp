#include "TextItem.h"

#include "XmlTestUtils.h"

#include <gtest/gtest.h>

using namespace lumo::app;
using lumo::test::LoadItem;
using lumo::test::WriteItem;

namespace {

TextItemPtr Item(const QString& name)
{
    auto item = std::make_shared<TextItem>();
    item->SetTextItemName(name);
    return item;
}

std::vector<QUuid> Ids(const TextList& list)
{
    std::vector<QUuid> ids;
    for (auto it = list.Begin(); it != list.End(); ++it)
        ids.push_back((*it)->Id());
    return ids;
}

// Every field away from its default.
TextItemPtr FullItem()
{
    auto item = std::make_shared<TextItem>();
    item->SetEnabled(false);
    item->SetZoom(0.33);
    item->SetTextItemName(QStringLiteral("Text #3 <&>"));
    item->SetUseOption(TextUseFilePath);
    item->SetTextString(QByteArray("SGVsbG8gd8O2cmxk\x80\xff", 18));
    item->SetFontName(QStringLiteral("DejaVu Sans"));
    item->SetBold(true);
    item->SetItalic(true);
    item->SetUnderline(true);
    item->SetTextAlignment(TextAlignmentRight);
    item->SetFontColor(QColor(1, 128, 255));
    item->SetFontSize(13);
    item->SetOpacity(0.4);
    item->SetPosition(QPointF(-12.5, 1e-9));
    item->SetAngle(-90.25);
    return item;
}

QString ItemElement(const QString& useOption = QStringLiteral("0"), const QString& alignment = QStringLiteral("1"),
                    const QString& color = QStringLiteral("<color red=\"10\" green=\"20\" blue=\"30\"/>"))
{
    return QStringLiteral("<textItem isEnabled=\"1\"><zoom>1</zoom><textItemName>t</textItemName>"
                          "<useOption>%1</useOption><textString><![CDATA[QUJD]]></textString>"
                          "<fontName>f</fontName><isBold>0</isBold><isItalic>0</isItalic>"
                          "<isUnderlined>0</isUnderlined><alignment>%2</alignment>%3<fontSize>10</fontSize>"
                          "<opacity>1</opacity><positionX>0</positionX><positionY>0</positionY><angle>0</angle>"
                          "</textItem>")
        .arg(useOption, alignment, color);
}

QString Settings(unsigned index, const QString& items)
{
    return QStringLiteral("<settings><textList><currentSelectedTextIndex>%1</currentSelectedTextIndex>"
                          "<nameSuffix>6</nameSuffix>%2</textList></settings>")
        .arg(index)
        .arg(items);
}

} // namespace

TEST(TextItem, DefaultsAndEquality)
{
    const TextItem item;
    EXPECT_TRUE(item.IsEnabled());
    EXPECT_EQ(item.FontSize(), TextItem::DefaultTextItemSize);
    EXPECT_EQ(item.FontColor(), QColor(255, 255, 255, 255));
    EXPECT_EQ(item.Opacity(), 1.0);
    EXPECT_TRUE(item.TextString().isNull());

    const TextItemPtr full = FullItem();
    TextItem copy(*full);
    EXPECT_EQ(copy.Id(), full->Id());
    EXPECT_TRUE(copy == *full);
    EXPECT_TRUE(TextItem() != TextItem()) << "ids differ";

    copy.SetPosition(QPointF(-12.5 + 1e-11, 1e-9));
    EXPECT_TRUE(copy != *full) << "positions compare with an absolute bound";
    copy.SetPosition(QPointF(-12.5, 1e-9 + 1e-13));
    EXPECT_TRUE(copy == *full);
    copy.SetOpacity(0.4000000001);
    EXPECT_TRUE(copy != *full);
}

TEST(TextItem, RoundTripKeepsEveryValueAndTheBytes)
{
    const TextItemPtr full = FullItem();
    const QString xml = WriteItem(*full);
    TextItem loaded;
    ASSERT_EQ(LoadItem(loaded, xml), 0);
    EXPECT_NE(loaded.Id(), full->Id()) << "ids are not stored";
    EXPECT_EQ(loaded.TextString(), full->TextString());
    EXPECT_EQ(loaded.TextItemName(), full->TextItemName());
    EXPECT_EQ(loaded.Position(), full->Position());
    EXPECT_EQ(loaded.FontColor(), full->FontColor());
    EXPECT_EQ(loaded.Zoom(), 0.33);
    EXPECT_EQ(loaded.Angle(), -90.25);
    // A second save of the reread item is the same text: nothing grows from save to save.
    EXPECT_EQ(WriteItem(loaded).toStdString(), xml.toStdString());
}

TEST(TextItem, LoadFailures)
{
    const struct {
        const char* name;
        QString xml;
    } cases[] = {
        {"use option 3", ItemElement(QStringLiteral("3"))},
        {"alignment 3", ItemElement(QStringLiteral("0"), QStringLiteral("3"))},
        {"alignment -1", ItemElement(QStringLiteral("0"), QStringLiteral("-1"))},
        {"blue 256", ItemElement(QStringLiteral("0"), QStringLiteral("0"),
                                 QStringLiteral("<color red=\"0\" green=\"0\" blue=\"256\"/>"))},
        {"no color", ItemElement(QStringLiteral("0"), QStringLiteral("0"), QString())},
        {"color without red",
         ItemElement(QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("<color green=\"0\" blue=\"0\"/>"))},
        {"enabled flag", ItemElement().replace(QLatin1String("isEnabled=\"1\""), QLatin1String("isEnabled=\"yes\""))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TextItem item;
        EXPECT_EQ(LoadItem(item, c.xml), 4);
    }
    TextItem item;
    ASSERT_EQ(LoadItem(item, ItemElement()), 0);
    EXPECT_EQ(item.FontColor(), QColor(10, 20, 30));
    EXPECT_EQ(item.TextAlignment(), TextAlignmentCentre);
    EXPECT_EQ(item.TextString(), QByteArray("QUJD"));
}

TEST(TextList, AddFindMoveAndRemove)
{
    TextList list;
    auto a = Item(QStringLiteral("a")), b = Item(QStringLiteral("b"));
    b->SetEnabled(false);
    EXPECT_EQ(list.Add(a), 0);
    EXPECT_EQ(list.Add(b), 0);
    EXPECT_EQ(list.Add(std::make_shared<TextItem>(*a)), 52);
    EXPECT_EQ(list.Size(), 2u);
    EXPECT_EQ(list.EnabledCount(), 1u);

    const QUuid missing = QUuid::createUuid();
    TextItemPtr found;
    EXPECT_EQ(list.Get(missing, found), 53);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(list.Remove(missing), 53);
    EXPECT_EQ(list.MoveUp(missing), 53);
    EXPECT_EQ(list.MoveDown(missing), 53);

    EXPECT_EQ(list.MoveUp(a->Id()), 0);
    EXPECT_EQ(list.MoveDown(b->Id()), 0);
    EXPECT_EQ(Ids(list), (std::vector<QUuid>{a->Id(), b->Id()}));
    EXPECT_EQ(list.MoveUp(b->Id()), 0);
    EXPECT_EQ(Ids(list), (std::vector<QUuid>{b->Id(), a->Id()}));
    EXPECT_EQ((*list.RBegin())->Id(), a->Id());

    list.SetCurrentlySelectedTextItem(b->Id());
    EXPECT_EQ(list.Remove(b->Id()), 0);
    EXPECT_EQ(list.CurrentlySelectedTextItem(), b->Id());
    EXPECT_EQ(list.Get(a->Id(), found), 0);
    EXPECT_EQ(found, a);
}

TEST(TextList, CopiesAreDeepAndKeepIds)
{
    TextList source;
    source.Add(FullItem());
    source.Add(Item(QStringLiteral("second")));
    source.SetCurrentlySelectedTextItem((*source.Begin())->Id());
    source.SetNameSuffix(3);

    TextList copy(source);
    EXPECT_EQ(Ids(copy), Ids(source));
    EXPECT_EQ(copy.CurrentlySelectedTextItem(), source.CurrentlySelectedTextItem());
    EXPECT_EQ(copy.NameSuffix(), 3u);
    (*copy.Begin())->SetFontSize(99);
    EXPECT_EQ((*source.Begin())->FontSize(), 13);
    EXPECT_TRUE(**(copy.Begin() + 1) == **(source.Begin() + 1));

    TextList assigned;
    assigned.Add(Item(QStringLiteral("gone")));
    assigned = source;
    EXPECT_EQ(Ids(assigned), Ids(source));
    EXPECT_NE(assigned.Begin()->get(), source.Begin()->get());
}

TEST(TextList, RoundTripKeepsItemsAndSelectionPosition)
{
    TextList list;
    list.Add(Item(QStringLiteral("a")));
    list.Add(FullItem());
    list.SetCurrentlySelectedTextItem((*(list.Begin() + 1))->Id());
    list.SetNameSuffix(8);

    const QString xml = WriteItem(list);
    EXPECT_TRUE(xml.contains(QLatin1String("<currentSelectedTextIndex>1</currentSelectedTextIndex>")));
    TextList loaded;
    ASSERT_EQ(LoadItem(loaded, QStringLiteral("<s>%1</s>").arg(xml)), 0);
    ASSERT_EQ(loaded.Size(), 2u);
    EXPECT_EQ(loaded.NameSuffix(), 8u);
    EXPECT_EQ(loaded.CurrentlySelectedTextItem(), (*(loaded.Begin() + 1))->Id());
    EXPECT_EQ((*(loaded.Begin() + 1))->TextString(), (*(list.Begin() + 1))->TextString());
    EXPECT_EQ(WriteItem(loaded).toStdString(), xml.toStdString());
}

TEST(TextList, ReadsTheSelectionCountingFromZero)
{
    const QString two = ItemElement() + ItemElement();
    const QUuid earlier = QUuid::createUuid();
    const struct {
        unsigned index;
        QString items;
        int result;
        int selectedPosition; // -1: the selection stays as it was
    } cases[] = {
        {0, two, 0, 0},
        {1, two, 0, 1},
        {2, two, 17, -1},
        {5, QString(), 0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        TextList list;
        list.SetCurrentlySelectedTextItem(earlier);
        EXPECT_EQ(LoadItem(list, Settings(c.index, c.items)), c.result);
        if (c.selectedPosition < 0)
            EXPECT_EQ(list.CurrentlySelectedTextItem(), earlier);
        else
            EXPECT_EQ(list.CurrentlySelectedTextItem(), (*(list.Begin() + c.selectedPosition))->Id());
    }
}

TEST(TextList, UnknownSelectionIsWrittenAsTheFirstItem)
{
    TextList list;
    list.Add(Item(QStringLiteral("a")));
    list.Add(Item(QStringLiteral("b")));
    list.SetCurrentlySelectedTextItem(QUuid::createUuid());
    TextList loaded;
    ASSERT_EQ(LoadItem(loaded, QStringLiteral("<s>%1</s>").arg(WriteItem(list))), 0);
    EXPECT_EQ(loaded.CurrentlySelectedTextItem(), (*loaded.Begin())->Id());
}

TEST(TextList, LoadWithoutListOrWithABadItem)
{
    TextList list;
    list.SetNameSuffix(4);
    EXPECT_EQ(LoadItem(list, QStringLiteral("<settings/>")), 0);
    EXPECT_EQ(list.Size(), 0u);
    EXPECT_TRUE(list.CurrentlySelectedTextItem().isNull());
    EXPECT_EQ(list.NameSuffix(), 4u);

    TextList failing;
    EXPECT_EQ(LoadItem(failing, Settings(0, ItemElement() + ItemElement(QStringLiteral("3")))), 4);
    EXPECT_EQ(failing.Size(), 1u) << "items read before the failure stay";
    EXPECT_EQ(LoadItem(failing, QStringLiteral("<s><textList><nameSuffix>1</nameSuffix></textList></s>")), 4);
}

TEST(TextList, NullItemIsRefused)
{
    TextList list;
    EXPECT_EQ(list.Add(nullptr), LMerrInvalidData);
    EXPECT_EQ(list.Size(), 0u);
    ASSERT_EQ(list.Add(std::make_shared<TextItem>()), LMerrSuccess);
    EXPECT_EQ(list.Add(nullptr), LMerrInvalidData);
    EXPECT_EQ(list.Size(), 1u);
    // A null item in the list would crash the save.
    EXPECT_TRUE(WriteItem(list).contains(QStringLiteral("<textItem")));
}
