#include "LayerSettings.h"
#include "TransformItems.h"

#include "XmlTestUtils.h"

#include <gtest/gtest.h>

using namespace lumo::app;
using lumo::test::LoadItem;
using lumo::test::ParseElement;
using lumo::test::WriteItem;

namespace {

template <class List>
std::vector<int> Types(const List& list)
{
    std::vector<int> types;
    for (auto it = list.Begin(); it != list.End(); ++it)
        types.push_back((*it)->Type());
    return types;
}

template <class List>
std::vector<QUuid> Ids(const List& list)
{
    std::vector<QUuid> ids;
    for (auto it = list.Begin(); it != list.End(); ++it)
        ids.push_back((*it)->Id());
    return ids;
}

// No object of one list is an object of the other.
template <class List>
bool SharesNothing(const List& a, const List& b)
{
    for (auto i = a.Begin(); i != a.End(); ++i)
        for (auto j = b.Begin(); j != b.End(); ++j)
            if (i->get() == j->get())
                return false;
    return true;
}

std::shared_ptr<TransformationTransformItem> Transformation(double x)
{
    return std::make_shared<TransformationTransformItem>(x, -0.25, 1.5, 1.5, 30.0);
}

// Two items in each list, in an order that differs from the factory order.
void Fill(ForegroundImageLayerSettings& settings)
{
    settings.Keys().Add(CreateKeyItem(QStringLiteral("erodeKeyItem")));
    settings.Keys().Add(CreateKeyItem(QStringLiteral("yuvBlurKeyItem")));
    (*settings.Keys().Begin())->SetEnabled(false);
    settings.Filters().Add(CreateFilterItem(QStringLiteral("blurFilterItem")));
    settings.Filters().Add(CreateFilterItem(QStringLiteral("brightnessFilterItem")));
    (*settings.Filters().Begin())->SetCollapsed(true);
    settings.Compositors().Add(CreateCompositeItem(QStringLiteral("vignetteCompositeItem")));
    settings.Compositors().Add(CreateCompositeItem(QStringLiteral("tintCompositeItem")));
    settings.Transforms().Add(Transformation(0.5));
    settings.Transforms().Add(std::make_shared<FitTransformItem>(FitToBackground));

    auto mask = std::make_shared<Mask>(QStringLiteral("Mask 1"), true, false, true, true, 4, 1.0f, 0.5f);
    mask->Add(std::make_shared<MaskHandle>(QPointF(1, 2)));
    mask->Add(std::make_shared<DualControlMaskHandle>(QPointF(3, 4), QPointF(-1, 0), QPointF(1, 0)));
    settings.Masks().Add(mask);
    settings.Masks().SetCurrentlySelectedMask(mask->Id());
    auto text = std::make_shared<TextItem>();
    text->SetTextString(QByteArray("SGk="));
    settings.TextItems().Add(text);
}

void ExpectSameTypesAndOrder(const ForegroundImageLayerSettings& a, const ForegroundImageLayerSettings& b)
{
    EXPECT_EQ(Types(a.Keys()), Types(b.Keys()));
    EXPECT_EQ(Types(a.Filters()), Types(b.Filters()));
    EXPECT_EQ(Types(a.Compositors()), Types(b.Compositors()));
    EXPECT_EQ(Types(a.Transforms()), Types(b.Transforms()));
    EXPECT_EQ(a.Masks().Size(), b.Masks().Size());
    EXPECT_EQ(a.TextItems().Size(), b.TextItems().Size());
}

QString LayerSetting(const QString& parentId, const QString& lists)
{
    return QStringLiteral("<layerSetting><parentId><![CDATA[%1]]></parentId>%2</layerSetting>").arg(parentId, lists);
}

const QString kTransformList = QStringLiteral(
    "<transformList><transformationTransformItem enabled=\"1\" collapsed=\"0\"><translateX>0.5</translateX>"
    "<translateY>0</translateY><scaleX>1</scaleX><scaleY>1</scaleY><rotation>0</rotation>"
    "</transformationTransformItem></transformList>");

} // namespace

TEST(ForegroundImageLayerSettings, RoundTripKeepsTypesValuesAndOrder)
{
    ForegroundImageLayerSettings settings;
    Fill(settings);
    const QString xml = WriteItem(settings);
    // Written key list first, though the reader takes the filter list first.
    const auto at = [&](const char* name) { return xml.indexOf(QLatin1String(name)); };
    EXPECT_LT(at("<keyList"), at("<filterList"));
    EXPECT_LT(at("<filterList"), at("<compositeList"));
    EXPECT_LT(at("<compositeList"), at("<transformList"));
    EXPECT_LT(at("<transformList"), at("<maskList"));
    EXPECT_LT(at("<maskList"), at("<textList"));

    ForegroundImageLayerSettings loaded;
    ASSERT_EQ(LoadItem(loaded, QStringLiteral("<defaultImageSettings>%1</defaultImageSettings>").arg(xml)), 0);
    ExpectSameTypesAndOrder(loaded, settings);
    // Every load gives items new ids; values and order show in a second save of the same text.
    EXPECT_NE(Ids(loaded.Keys()), Ids(settings.Keys()));
    EXPECT_FALSE((*loaded.Keys().Begin())->IsEnabled());
    EXPECT_TRUE((*loaded.Filters().Begin())->IsCollapsed());
    EXPECT_EQ(loaded.Masks().CurrentlySelectedMask(), (*loaded.Masks().Begin())->Id());
    EXPECT_EQ((*loaded.TextItems().Begin())->TextString(), QByteArray("SGk="));
    EXPECT_EQ(WriteItem(loaded).toStdString(), xml.toStdString());
}

TEST(ForegroundImageLayerSettings, LoadsWhatIsThereAndReportsWhatIsNot)
{
    ForegroundImageLayerSettings none;
    EXPECT_EQ(LoadItem(none, QStringLiteral("<defaultImageSettings><keyList/></defaultImageSettings>")), 11);
    EXPECT_EQ(none.Keys().Count(), 0u);

    ForegroundImageLayerSettings written;
    Fill(written);
    const QString keyList = WriteItem(written.Keys());
    const QString filterList = WriteItem(written.Filters());

    ForegroundImageLayerSettings keysOnly;
    ASSERT_EQ(LoadItem(keysOnly, QStringLiteral("<foregroundImageLayer><foregroundLayerSettings>%1"
                                                "</foregroundLayerSettings></foregroundImageLayer>")
                                     .arg(keyList)),
              0);
    EXPECT_EQ(Types(keysOnly.Keys()), Types(written.Keys()));
    EXPECT_EQ(keysOnly.Filters().Count(), 0u);
    EXPECT_EQ(keysOnly.Compositors().Count(), 0u);
    EXPECT_EQ(keysOnly.Transforms().Count(), 0u);
    EXPECT_EQ(keysOnly.Masks().Size(), 0u);
    EXPECT_EQ(keysOnly.TextItems().Size(), 0u);

    // Filters load before transforms and keep their items when the transforms fail; keys come
    // after and are not read.
    ForegroundImageLayerSettings failing;
    EXPECT_EQ(LoadItem(failing, QStringLiteral("<e><foregroundLayerSettings>%1%2<transformList><unknownItem/>"
                                               "</transformList></foregroundLayerSettings></e>")
                                    .arg(keyList, filterList)),
              4);
    EXPECT_EQ(failing.Filters().Count(), 2u);
    EXPECT_EQ(failing.Keys().Count(), 0u);
}

TEST(ForegroundImageLayerSettings, CopiesKeepIdsAndShareNoItem)
{
    ForegroundImageLayerSettings source;
    Fill(source);
    source.Masks().SetCurrentMaskMode(MaskModeSelect);

    ForegroundImageLayerSettings copy(source);
    ForegroundImageLayerSettings assigned;
    assigned.Transforms().Add(Transformation(9));
    FilterList& assignedFilters = assigned.Filters();
    assigned = source;
    EXPECT_EQ(&assignedFilters, &assigned.Filters()) << "references to the lists stay valid";

    for (const ForegroundImageLayerSettings* target : {&copy, &assigned}) {
        EXPECT_EQ(Ids(target->Keys()), Ids(source.Keys()));
        EXPECT_EQ(Ids(target->Filters()), Ids(source.Filters()));
        EXPECT_EQ(Ids(target->Compositors()), Ids(source.Compositors()));
        EXPECT_EQ(Ids(target->Transforms()), Ids(source.Transforms()));
        EXPECT_EQ(Ids(target->Masks()), Ids(source.Masks()));
        EXPECT_EQ(Ids(target->TextItems()), Ids(source.TextItems()));
        EXPECT_TRUE(SharesNothing(target->Keys(), source.Keys()));
        EXPECT_TRUE(SharesNothing(target->Filters(), source.Filters()));
        EXPECT_TRUE(SharesNothing(target->Compositors(), source.Compositors()));
        EXPECT_TRUE(SharesNothing(target->Transforms(), source.Transforms()));
        EXPECT_TRUE(SharesNothing(target->Masks(), source.Masks()));
        EXPECT_TRUE(SharesNothing(target->TextItems(), source.TextItems()));
        // Same values everywhere but the mask mode, which stays behind.
        const auto modeless = [](const ForegroundImageLayerSettings& settings) {
            return WriteItem(settings).replace(QLatin1String("<currentMaskMode>1<"), QLatin1String("<currentMaskMode>0<")).toStdString();
        };
        EXPECT_EQ(modeless(*target), modeless(source));
    }
    EXPECT_EQ(copy.Masks().CurrentMaskMode(), MaskModeCreate) << "the mask mode is not copied";

    static_cast<TransformationTransformItem&>(**copy.Transforms().Begin()).SetTranslateX(-1);
    (*copy.Masks().Begin())->SetFeather(40);
    (*copy.TextItems().Begin())->SetFontSize(9);
    EXPECT_EQ(static_cast<const TransformationTransformItem&>(**source.Transforms().Begin()).TranslateX(), 0.5);
    EXPECT_EQ((*source.Masks().Begin())->Feather(), 4);
    EXPECT_EQ((*source.TextItems().Begin())->FontSize(), TextItem::DefaultTextItemSize);

    assigned = assigned;
    EXPECT_EQ(Ids(assigned.Keys()), Ids(source.Keys()));
}

TEST(ImageLayerSettings, RoundTripAndParentId)
{
    const QUuid parent = QUuid::createUuid();
    ImageLayerSettings settings;
    EXPECT_TRUE(settings.ParentId().isNull());
    settings.SetParentId(parent);
    settings.Filters().Add(CreateFilterItem(QStringLiteral("contrastFilterItem")));
    settings.Transforms().Add(Transformation(0.75));
    settings.Transforms().Add(std::make_shared<FitTransformItem>(FitToCanvas));

    const QString xml = WriteItem(settings);
    EXPECT_TRUE(xml.contains(QStringLiteral("<parentId><![CDATA[%1]]></parentId>").arg(parent.toString())));
    ImageLayerSettings loaded;
    ASSERT_EQ(LoadItem(loaded, xml), 0);
    EXPECT_EQ(loaded.ParentId(), parent);
    EXPECT_EQ(Types(loaded.Filters()), Types(settings.Filters()));
    EXPECT_EQ(Types(loaded.Transforms()), Types(settings.Transforms()));
    EXPECT_EQ(WriteItem(loaded).toStdString(), xml.toStdString());

    ImageLayerSettings empty;
    EXPECT_TRUE(WriteItem(empty).contains(QLatin1String("<filterList></filterList>")) ||
                WriteItem(empty).contains(QLatin1String("<filterList/>")));

    const struct {
        const char* name;
        QString xml;
        bool nullParent;
        unsigned filters;
    } cases[] = {
        {"parent not an id", LayerSetting(QStringLiteral("layer-7"), kTransformList), true, 0},
        {"no filter list", LayerSetting(parent.toString(), kTransformList), false, 0},
        {"empty filter list", LayerSetting(parent.toString(), QStringLiteral("<filterList/>") + kTransformList), false,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ImageLayerSettings s;
        ASSERT_EQ(LoadItem(s, c.xml), 0);
        EXPECT_EQ(s.ParentId().isNull(), c.nullParent);
        EXPECT_EQ(s.Filters().Count(), c.filters);
        EXPECT_EQ(Types(s.Transforms()), std::vector<int>{TransformItemTypeTransformation});
    }

    // The caller's handler receives a missing parent id.
    ImageLayerSettings noParent;
    QDomElement element = ParseElement(QStringLiteral("<layerSetting>%1</layerSetting>").arg(kTransformList));
    try {
        noParent.LoadFromXml(element);
        ADD_FAILURE() << "a missing parentId must raise";
    } catch (const XmlException& e) {
        EXPECT_EQ(e.code, 4);
        EXPECT_EQ(e.message, "parentId Tag is missing");
    }

    ImageLayerSettings badTransforms;
    EXPECT_EQ(LoadItem(badTransforms,
                       LayerSetting(parent.toString(), QStringLiteral("<transformList><x/></transformList>"))),
              4);
}

TEST(ImageLayerSettings, BuiltFromADefaultsElementAndCopiedDeeply)
{
    const QUuid parent = QUuid::createUuid();
    QDomElement defaults = ParseElement(
        QStringLiteral("<overlayLayerSettings>%1<transformList><unknownItem/></transformList></overlayLayerSettings>")
            .arg(kTransformList));
    const ImageLayerSettings built(parent, defaults);
    EXPECT_EQ(built.ParentId(), parent);
    EXPECT_EQ(Types(built.Transforms()), std::vector<int>{TransformItemTypeTransformation})
        << "the first transformList child is read; its items load";

    ImageLayerSettings source;
    source.SetParentId(parent);
    source.Transforms().Add(Transformation(0.1));
    ImageLayerSettings copy(source);
    ImageLayerSettings assigned;
    assigned.Filters().Add(CreateFilterItem(QStringLiteral("blurFilterItem")));
    assigned = source;
    for (const ImageLayerSettings* target : {&copy, &assigned}) {
        EXPECT_EQ(target->ParentId(), parent);
        EXPECT_EQ(Ids(target->Transforms()), Ids(source.Transforms()));
        EXPECT_TRUE(SharesNothing(target->Transforms(), source.Transforms()));
        EXPECT_EQ(target->Filters().Count(), 0u);
    }
}
