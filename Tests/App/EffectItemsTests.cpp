#include "CompositeItems.h"
#include "FilterItems.h"
#include "ItemLists.h"
#include "KeyItems.h"

#include "XmlTestUtils.h"

#include "hvn/common/HXLookupTables.h"
#include "hvn/image/HXImageKeyer.h"
#include "hvn/image/HXImageProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <ostream>
#include <span>
#include <string>

// Readable failure messages for QString comparisons.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

using namespace lumo::app;
using namespace hvn::image;
using lumo::test::LoadItem;
using lumo::test::ParseElement;
using lumo::test::WriteItem;

namespace {

using ItemPtr = std::shared_ptr<AbstractRenderItem>;

// The item the list factories make for an element name, from whichever family knows it.
ItemPtr Create(const QString& name)
{
    if (auto filter = CreateFilterItem(name))
        return filter;
    if (auto key = CreateKeyItem(name))
        return key;
    return CreateCompositeItem(name);
}

int TypeOf(const AbstractRenderItem& item)
{
    if (auto filter = dynamic_cast<const AbstractFilterItem*>(&item))
        return filter->Type();
    if (auto key = dynamic_cast<const AbstractKeyItem*>(&item))
        return key->Type();
    return dynamic_cast<const AbstractCompositeItem&>(item).Type();
}

template <class T, class... Args>
std::function<ItemPtr()> Build(Args... args)
{
    return [=] { return std::make_shared<T>(args...); };
}

template <class T>
std::function<ItemPtr()> BuildWith(std::function<void(T&)> set)
{
    return [=] {
        auto item = std::make_shared<T>();
        set(*item);
        return item;
    };
}

// Each class: its element, type value, what a default item writes, and an item built by the
// second constructor (or setters) with what it writes. The built form doubles as the fixture.
struct ItemCase {
    const char* element;
    int type;
    QString defaults;
    std::function<ItemPtr()> build;
    QString built;
};

const QString kZeroQuad = "<shadowQuad><topLeftX>0</topLeftX><topLeftY>0</topLeftY><topRightX>0</topRightX>"
                          "<topRightY>0</topRightY><bottomRightX>0</bottomRightX><bottomRightY>0</bottomRightY>"
                          "<bottomLeftX>0</bottomLeftX><bottomLeftY>0</bottomLeftY></shadowQuad>";
const QString kDefaultDepthOfField = "<type>0</type><origin><x>0.5</x><y>0.5</y></origin><angle>90</angle>"
                                     "<blur>20</blur><spread>0</spread><range>0.5</range>"
                                     "<transparency>0</transparency>";

const std::vector<ItemCase>& FilterCases()
{
    static const std::vector<ItemCase> cases = {
        {"brightnessFilterItem", 0,
         R"(<brightnessFilterItem collapsed="0" enabled="1"><brightness>0</brightness><colorOrAlpha>4</colorOrAlpha></brightnessFilterItem>)",
         Build<BrightnessFilterItem>(-0.3, HXChannelsColorAndAlpha),
         R"(<brightnessFilterItem collapsed="0" enabled="1"><brightness>-0.29999999999999999</brightness><colorOrAlpha>5</colorOrAlpha></brightnessFilterItem>)"},
        {"contrastFilterItem", 1,
         R"(<contrastFilterItem collapsed="0" enabled="1"><contrast>1</contrast></contrastFilterItem>)",
         Build<ContrastFilterItem>(1.5),
         R"(<contrastFilterItem collapsed="0" enabled="1"><contrast>1.5</contrast></contrastFilterItem>)"},
        {"saturationFilterItem", 2,
         R"(<saturationFilterItem collapsed="0" enabled="1"><saturation>0</saturation></saturationFilterItem>)",
         Build<SaturationFilterItem>(0.75),
         R"(<saturationFilterItem collapsed="0" enabled="1"><saturation>0.75</saturation></saturationFilterItem>)"},
        {"superContrastFilterItem", 3,
         R"(<superContrastFilterItem collapsed="0" enabled="1"><blackLevel>0</blackLevel><whiteLevel>1</whiteLevel><colorOrAlpha>4</colorOrAlpha></superContrastFilterItem>)",
         Build<SuperContrastFilterItem>(0.25, 0.75, HXChannelsAlpha),
         R"(<superContrastFilterItem collapsed="0" enabled="1"><blackLevel>0.25</blackLevel><whiteLevel>0.75</whiteLevel><colorOrAlpha>3</colorOrAlpha></superContrastFilterItem>)"},
        {"colorTemperatureFilterItem", 4,
         R"(<colorTemperatureFilterItem collapsed="0" enabled="1"><temperatureShift>6500</temperatureShift></colorTemperatureFilterItem>)",
         Build<ColorTemperatureFilterItem>(7000.0),
         R"(<colorTemperatureFilterItem collapsed="0" enabled="1"><temperatureShift>7000</temperatureShift></colorTemperatureFilterItem>)"},
        {"colorBalanceFilterItem", 5,
         R"(<colorBalanceFilterItem collapsed="0" enabled="1"><red>0</red><green>0</green><blue>0</blue></colorBalanceFilterItem>)",
         Build<ColorBalanceFilterItem>(0.5, 1.25, 2.0),
         R"(<colorBalanceFilterItem collapsed="0" enabled="1"><red>0.5</red><green>1.25</green><blue>2</blue></colorBalanceFilterItem>)"},
        {"hueColorizeFilterItem", 6,
         R"(<hueColorizeFilterItem collapsed="0" enabled="1"><hue>0</hue><strength>0</strength></hueColorizeFilterItem>)",
         Build<HueColorizeFilterItem>(120.0, 0.5),
         R"(<hueColorizeFilterItem collapsed="0" enabled="1"><hue>120</hue><strength>0.5</strength></hueColorizeFilterItem>)"},
        {"hueShiftFilterItem", 7,
         R"(<hueShiftFilterItem collapsed="0" enabled="1"><hue>0</hue><strength>0</strength></hueShiftFilterItem>)",
         Build<HueShiftFilterItem>(240.0, 1.0),
         R"(<hueShiftFilterItem collapsed="0" enabled="1"><hue>240</hue><strength>1</strength></hueShiftFilterItem>)"},
        {"transparencyFilterItem", 8,
         R"(<transparencyFilterItem collapsed="0" enabled="1"><transparency>0</transparency></transparencyFilterItem>)",
         Build<TransparencyFilterItem>(0.25),
         R"(<transparencyFilterItem collapsed="0" enabled="1"><transparency>0.25</transparency></transparencyFilterItem>)"},
        {"blurFilterItem", 9, R"(<blurFilterItem collapsed="0" enabled="1"><blur>0</blur></blurFilterItem>)",
         Build<BlurFilterItem>(2.5), R"(<blurFilterItem collapsed="0" enabled="1"><blur>2.5</blur></blurFilterItem>)"},
        {"mirrorFilterItem", 10,
         R"(<mirrorFilterItem collapsed="0" enabled="1"><horizontal>0</horizontal><vertical>0</vertical></mirrorFilterItem>)",
         Build<MirrorFilterItem>(true, false),
         R"(<mirrorFilterItem collapsed="0" enabled="1"><horizontal>1</horizontal><vertical>0</vertical></mirrorFilterItem>)"},
        {"sharpenFilterItem", 11,
         R"(<sharpenFilterItem collapsed="0" enabled="1"><blur>40</blur><sharpness>0.40000000000000002</sharpness><threshold>0</threshold></sharpenFilterItem>)",
         Build<SharpenFilterItem>(-12, 0.5, 0.125),
         R"(<sharpenFilterItem collapsed="0" enabled="1"><blur>-12</blur><sharpness>0.5</sharpness><threshold>0.125</threshold></sharpenFilterItem>)"},
        {"silhouetteFilterItem", 12,
         R"(<silhouetteFilterItem collapsed="1" enabled="0"><color red="0" green="0" blue="0"/></silhouetteFilterItem>)",
         Build<SilhouetteFilterItem>(QColor(10, 200, 255)),
         R"(<silhouetteFilterItem collapsed="0" enabled="1"><color red="10" green="200" blue="255"/></silhouetteFilterItem>)"},
        {"shadowCastFilterItem", 13,
         R"(<shadowCastFilterItem collapsed="1" enabled="0">)" + kZeroQuad +
             R"(<shape>0</shape><blur>20</blur><transparency>0</transparency><blendMode>9</blendMode><color red="0" green="0" blue="0"/></shadowCastFilterItem>)",
         [] {
             auto item = std::make_shared<ShadowCastFilterItem>(HXShadowCastShapeLeft, 35u, 0.5, QColor(1, 2, 3),
                                                                HXBlendModeMultiply);
             item->SetShadowQuad({{1.5, 2}, {100, 2.5}, {110, 80}, {-4, 75.25}});
             return item;
         },
         R"(<shadowCastFilterItem collapsed="0" enabled="1"><shadowQuad><topLeftX>1.5</topLeftX><topLeftY>2</topLeftY><topRightX>100</topRightX><topRightY>2.5</topRightY><bottomRightX>110</bottomRightX><bottomRightY>80</bottomRightY><bottomLeftX>-4</bottomLeftX><bottomLeftY>75.25</bottomLeftY></shadowQuad><shape>1</shape><blur>35</blur><transparency>0.5</transparency><blendMode>8</blendMode><color red="1" green="2" blue="3"/></shadowCastFilterItem>)"},
        {"backgroundDepthOfFieldFilterItem", 14,
         R"(<backgroundDepthOfFieldFilterItem collapsed="1" enabled="0">)" + kDefaultDepthOfField +
             "</backgroundDepthOfFieldFilterItem>",
         Build<BackgroundDepthOfFieldFilterItem>(HXDepthOfFieldRadial, QPointF(0.25, 0.75), 45.0, 12u, 0.125, 0.375,
                                                 0.5),
         R"(<backgroundDepthOfFieldFilterItem collapsed="0" enabled="1"><type>1</type><origin><x>0.25</x><y>0.75</y></origin><angle>45</angle><blur>12</blur><spread>0.125</spread><range>0.375</range><transparency>0.5</transparency></backgroundDepthOfFieldFilterItem>)"},
        {"defocusFilterItem", 15,
         R"(<defocusFilterItem collapsed="1" enabled="1"><blur>0</blur><bloom>0</bloom></defocusFilterItem>)",
         Build<DefocusFilterItem>(8u, 0.5),
         R"(<defocusFilterItem collapsed="1" enabled="1"><blur>8</blur><bloom>0.5</bloom></defocusFilterItem>)"},
        {"diffuseFilterItem", 16,
         R"(<diffuseFilterItem collapsed="1" enabled="1"><blur>0</blur><opacity>0</opacity></diffuseFilterItem>)",
         Build<DiffuseFilterItem>(6u, 0.25),
         R"(<diffuseFilterItem collapsed="1" enabled="1"><blur>6</blur><opacity>0.25</opacity></diffuseFilterItem>)"},
    };
    return cases;
}

const std::vector<ItemCase>& KeyCases()
{
    static const std::vector<ItemCase> cases = {
        {"yuvBlurKeyItem", 0,
         R"(<yuvBlurKeyItem collapsed="0" enabled="1"><blur>0</blur><blurType>3</blurType></yuvBlurKeyItem>)",
         Build<YuvBlurKeyItem>(3.7, HXYUVBlurBox),
         R"(<yuvBlurKeyItem collapsed="0" enabled="1"><blur>3.7000000000000002</blur><blurType>2</blurType></yuvBlurKeyItem>)"},
        {"autoColorDifferenceKeyItem", 1,
         R"(<autoColorDifferenceKeyItem collapsed="0" enabled="1"><keyColor>1</keyColor><keyDetail>0</keyDetail><greyDetail>0</greyDetail><greyThreshold>0</greyThreshold><autoKeyColor>1</autoKeyColor></autoColorDifferenceKeyItem>)",
         [] {
             auto item = std::make_shared<AutoColorDifferenceKeyItem>(HXKeyColorAuto, 0.5, 0.25, 0.125);
             item->SetAutoKeyColor(HXKeyColorBlue);
             return item;
         },
         R"(<autoColorDifferenceKeyItem collapsed="0" enabled="1"><keyColor>0</keyColor><keyDetail>0.5</keyDetail><greyDetail>0.25</greyDetail><greyThreshold>0.125</greyThreshold><autoKeyColor>2</autoKeyColor></autoColorDifferenceKeyItem>)"},
        {"spillSuppressionKeyItem", 2,
         R"(<spillSuppressionKeyItem collapsed="0" enabled="1"><applyMethod>0</applyMethod><spillType>1</spillType><transparency>0</transparency></spillSuppressionKeyItem>)",
         Build<SpillSuppressionKeyItem>(HXChannelRed, HXSpillApplyAfterMasks, HXSpillTypeStandard, 0.75, 0.1, 0.2, 0.3,
                                        0.5),
         R"(<spillSuppressionKeyItem collapsed="0" enabled="1"><applyMethod>1</applyMethod><spillType>0</spillType><transparency>0.75</transparency></spillSuppressionKeyItem>)"},
        {"cropKeyItem", 3,
         R"(<cropKeyItem collapsed="0" enabled="1"><left>0</left><right>0</right><bottom>0</bottom><top>0</top></cropKeyItem>)",
         Build<CropKeyItem>(0.125, 0.25, 0.375, 0.5),
         R"(<cropKeyItem collapsed="0" enabled="1"><left>0.125</left><right>0.25</right><bottom>0.375</bottom><top>0.5</top></cropKeyItem>)"},
        {"lightSpillKeyItem", 4,
         R"(<lightSpillKeyItem collapsed="0" enabled="1"><blur>10</blur><blendMode>7</blendMode></lightSpillKeyItem>)",
         Build<LightSpillKeyItem>(4.5, HXBlendModeScreen),
         R"(<lightSpillKeyItem collapsed="0" enabled="1"><blur>4.5</blur><blendMode>11</blendMode></lightSpillKeyItem>)"},
        {"alphaSuperContrastKeyItem", 6,
         R"(<alphaSuperContrastKeyItem collapsed="0" enabled="1"><blackLevel>0</blackLevel><whiteLevel>1</whiteLevel></alphaSuperContrastKeyItem>)",
         Build<AlphaSuperContrastKeyItem>(0.25, 0.875),
         R"(<alphaSuperContrastKeyItem collapsed="0" enabled="1"><blackLevel>0.25</blackLevel><whiteLevel>0.875</whiteLevel></alphaSuperContrastKeyItem>)"},
        {"alphaBlurKeyItem", 7, R"(<alphaBlurKeyItem collapsed="0" enabled="1"><blur>0</blur></alphaBlurKeyItem>)",
         Build<AlphaBlurKeyItem>(3.5),
         R"(<alphaBlurKeyItem collapsed="0" enabled="1"><blur>3.5</blur></alphaBlurKeyItem>)"},
        {"erodeKeyItem", 8,
         R"(<erodeKeyItem collapsed="0" enabled="1"><direction>0</direction><distance>0</distance></erodeKeyItem>)",
         Build<ErodeKeyItem>(HXWhiteErodeShrinkThenGrow, -3),
         R"(<erodeKeyItem collapsed="0" enabled="1"><direction>2</direction><distance>-3</distance></erodeKeyItem>)"},
    };
    return cases;
}

const std::vector<ItemCase>& CompositeCases()
{
    static const std::vector<ItemCase> cases = {
        {"tintCompositeItem", 0,
         R"(<tintCompositeItem collapsed="1" enabled="0"><type>1</type><strength>1</strength></tintCompositeItem>)",
         BuildWith<TintCompositeItem>([](TintCompositeItem& item) {
             item.SetEnabled(true);
             item.SetTintType(HXTintBlackAndWhite);
             item.SetStrength(0.5);
         }),
         R"(<tintCompositeItem collapsed="1" enabled="1"><type>0</type><strength>0.5</strength></tintCompositeItem>)"},
        {"vignetteCompositeItem", 1,
         R"(<vignetteCompositeItem collapsed="1" enabled="0"><color red="0" green="0" blue="0"/><type>1</type><horizontalStretch>1</horizontalStretch><verticalStretch>1</verticalStretch><softness>0.40000000000000002</softness><curvature>1</curvature><opacity>1</opacity></vignetteCompositeItem>)",
         BuildWith<VignetteCompositeItem>([](VignetteCompositeItem& item) {
             item.SetCollapsed(false);
             item.SetColor(QColor(255, 128, 0));
             item.SetVignetteType(HXVignetteTypeBold);
             item.SetHorizontalStretch(1.25);
             item.SetVerticalStretch(0.75);
             item.SetSoftness(0.5);
             item.SetCurvature(2.0);
             item.SetOpacity(0.625);
         }),
         R"(<vignetteCompositeItem collapsed="0" enabled="0"><color red="255" green="128" blue="0"/><type>2</type><horizontalStretch>1.25</horizontalStretch><verticalStretch>0.75</verticalStretch><softness>0.5</softness><curvature>2</curvature><opacity>0.625</opacity></vignetteCompositeItem>)"},
        {"depthOfFieldCompositeItem", 2,
         R"(<depthOfFieldCompositeItem collapsed="1" enabled="0">)" + kDefaultDepthOfField +
             "</depthOfFieldCompositeItem>",
         Build<DepthOfFieldCompositeItem>(HXDepthOfFieldLinear, QPointF(-0.5, 2), 30.0, 0u, 1.0, 0.25, 0.75),
         R"(<depthOfFieldCompositeItem collapsed="0" enabled="1"><type>0</type><origin><x>-0.5</x><y>2</y></origin><angle>30</angle><blur>0</blur><spread>1</spread><range>0.25</range><transparency>0.75</transparency></depthOfFieldCompositeItem>)"},
        {"softFocusCompositeItem", 3,
         R"(<softFocusCompositeItem collapsed="1" enabled="1"><blendMode>7</blendMode><blur>30</blur><opacity>0.5</opacity></softFocusCompositeItem>)",
         Build<SoftFocusCompositeItem>(HXBlendModeOverlay, 12u, 0.25),
         R"(<softFocusCompositeItem collapsed="1" enabled="1"><blendMode>10</blendMode><blur>12</blur><opacity>0.25</opacity></softFocusCompositeItem>)"},
        {"threeStripColorCompositeItem", 4,
         R"(<threeStripColorCompositeItem collapsed="1" enabled="1"><redStrength>0.5</redStrength><greenStrength>0.5</greenStrength><blueStrength>0.5</blueStrength></threeStripColorCompositeItem>)",
         Build<ThreeStripColorCompositeItem>(0.25, 0.75, 1.0),
         R"(<threeStripColorCompositeItem collapsed="1" enabled="1"><redStrength>0.25</redStrength><greenStrength>0.75</greenStrength><blueStrength>1</blueStrength></threeStripColorCompositeItem>)"},
        {"bleachBypassCompositeItem", 5,
         R"(<bleachBypassCompositeItem collapsed="1" enabled="1"><contrast>1.5</contrast><saturation>0.80000000000000004</saturation><strength>0.59999999999999998</strength></bleachBypassCompositeItem>)",
         Build<BleachBypassCompositeItem>(2.0, 0.5, 0.25),
         R"(<bleachBypassCompositeItem collapsed="1" enabled="1"><contrast>2</contrast><saturation>0.5</saturation><strength>0.25</strength></bleachBypassCompositeItem>)"},
    };
    return cases;
}

std::vector<ItemCase> AllCases()
{
    std::vector<ItemCase> all = FilterCases();
    all.insert(all.end(), KeyCases().begin(), KeyCases().end());
    all.insert(all.end(), CompositeCases().begin(), CompositeCases().end());
    return all;
}

} // namespace

TEST(EffectItems, FactoriesMakeEveryClassWithItsDefaults)
{
    const std::vector<ItemCase> all = AllCases();
    ASSERT_EQ(all.size(), 31u);
    for (const ItemCase& c : all) {
        SCOPED_TRACE(c.element);
        const int families = (CreateFilterItem(c.element) != nullptr) + (CreateKeyItem(c.element) != nullptr) +
                             (CreateCompositeItem(c.element) != nullptr);
        EXPECT_EQ(families, 1) << "exactly one family knows the element";
        const ItemPtr item = Create(c.element);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(TypeOf(*item), c.type);
        EXPECT_TRUE(item->IsActive());
        EXPECT_FALSE(item->Id().isNull());
        EXPECT_NE(item->Id(), Create(c.element)->Id()) << "every new item has a new id";
        EXPECT_EQ(WriteItem(*item), c.defaults);

        // The second constructors take the parameters in file order.
        const ItemPtr built = c.build();
        EXPECT_EQ(TypeOf(*built), c.type);
        EXPECT_TRUE(built->IsActive());
        EXPECT_EQ(WriteItem(*built), c.built);
    }
    for (const char* unknown : {"", "BrightnessFilterItem", "keyItem", "fitTransformItem", "filterList"}) {
        EXPECT_EQ(CreateFilterItem(unknown), nullptr) << unknown;
        EXPECT_EQ(CreateKeyItem(unknown), nullptr) << unknown;
        EXPECT_EQ(CreateCompositeItem(unknown), nullptr) << unknown;
    }
}

TEST(EffectItems, EveryElementLoadsAndWritesBackByteIdentical)
{
    for (const ItemCase& c : AllCases()) {
        SCOPED_TRACE(c.element);
        const ItemPtr item = Create(c.element);
        ASSERT_EQ(LoadItem(*item, c.built), LMerrSuccess);
        EXPECT_EQ(WriteItem(*item), c.built);
        // Flags come from the file, not from the constructor.
        const QString flipped = QString(c.built).replace(R"(enabled="1")", R"(enabled="2")")
                                    .replace(R"(enabled="0")", R"(enabled="1")")
                                    .replace(R"(enabled="2")", R"(enabled="0")");
        ASSERT_EQ(LoadItem(*item, flipped), LMerrSuccess);
        EXPECT_EQ(WriteItem(*item), flipped);
    }
}

TEST(EffectItems, ListsLoadEveryFamilyThroughTheirFactories)
{
    auto check = [](AbstractProjectItem& list, const char* listElement, const std::vector<ItemCase>& cases) {
        QString body;
        for (const ItemCase& c : cases)
            body += c.built;
        const QString xml = QStringLiteral("<%1>%2</%1>").arg(QLatin1String(listElement), body);
        QDomElement parent = ParseElement("<settings>" + xml + "</settings>");
        ASSERT_EQ(list.LoadFromXml(parent), LMerrSuccess) << listElement;
        EXPECT_EQ(WriteItem(list), xml);
    };
    FilterList filters;
    KeyList keys;
    CompositeList composites;
    check(filters, "filterList", FilterCases());
    check(keys, "keyList", KeyCases());
    check(composites, "compositeList", CompositeCases());
    EXPECT_EQ(filters.Count(), 17u);
    EXPECT_EQ(keys.Count(), 8u);
    EXPECT_EQ(composites.Count(), 6u);
}

namespace {

// What reading an element into a new item of class T gives: LoadFromXml's code, the message of
// what ReadXml raised, and what the item holds afterwards (LoadFromXml and ReadXml agree on it).
struct ReadResult {
    int code = 0;
    std::string message;
    QString written;
};

template <class T>
ReadResult ReadAs(const QString& xml)
{
    ReadResult result;
    T loaded;
    result.code = LoadItem(loaded, xml);
    T read;
    try {
        read.ReadXml(ParseElement(xml));
    } catch (const XmlException& e) {
        EXPECT_EQ(e.code, result.code);
        result.message = e.message;
    }
    result.written = WriteItem(read);
    EXPECT_EQ(WriteItem(loaded), result.written);
    return result;
}

struct ReadCase {
    ReadResult (*read)(const QString&);
    QString input;
    std::string message; // empty: the read succeeds
    QString after;
};

void ExpectReads(std::span<const ReadCase> cases)
{
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.input.toStdString());
        const ReadResult result = c.read(c.input);
        EXPECT_EQ(result.code, c.message.empty() ? LMerrSuccess : LMerrInvalidData);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(result.written, c.after);
    }
}

} // namespace

TEST(EffectItems, ChecksFailWithTheirMessageAndKeepWhatWasRead)
{
    const ReadCase cases[] = {
        // The two flags, in each class's order.
        {ReadAs<BrightnessFilterItem>, R"(<e collapsed="x" enabled="y"/>)",
         "collapsed data is corrupted, lexical cast failure.",
         R"(<brightnessFilterItem collapsed="0" enabled="1"><brightness>0</brightness><colorOrAlpha>4</colorOrAlpha></brightnessFilterItem>)"},
        {ReadAs<MirrorFilterItem>, R"(<e collapsed="x" enabled="y"/>)",
         "enabled data is corrupted, lexical cast failure.",
         R"(<mirrorFilterItem collapsed="0" enabled="1"><horizontal>0</horizontal><vertical>0</vertical></mirrorFilterItem>)"},
        {ReadAs<AutoColorDifferenceKeyItem>, R"(<e collapsed="1"/>)", "enabled Attribute is missing",
         R"(<autoColorDifferenceKeyItem collapsed="0" enabled="1"><keyColor>1</keyColor><keyDetail>0</keyDetail><greyDetail>0</greyDetail><greyThreshold>0</greyThreshold><autoKeyColor>1</autoKeyColor></autoColorDifferenceKeyItem>)"},
        {ReadAs<SpillSuppressionKeyItem>, R"(<e enabled="0" collapsed="y"/>)",
         "collapsed data is corrupted, lexical cast failure.",
         R"(<spillSuppressionKeyItem collapsed="0" enabled="0"><applyMethod>0</applyMethod><spillType>1</spillType><transparency>0</transparency></spillSuppressionKeyItem>)"},
        {ReadAs<ContrastFilterItem>, R"(<e collapsed="1" enabled="0"/>)", "contrast Tag is missing",
         R"(<contrastFilterItem collapsed="1" enabled="0"><contrast>1</contrast></contrastFilterItem>)"},
        // Value readers.
        {ReadAs<SharpenFilterItem>, R"(<e collapsed="0" enabled="1"><blur>1.5</blur></e>)",
         "blur data is corrupted, lexical cast failure.",
         R"(<sharpenFilterItem collapsed="0" enabled="1"><blur>40</blur><sharpness>0.40000000000000002</sharpness><threshold>0</threshold></sharpenFilterItem>)"},
        {ReadAs<MirrorFilterItem>, R"(<e collapsed="0" enabled="1"><horizontal>1</horizontal><vertical>true</vertical></e>)",
         "vertical data is corrupted, lexical cast failure.",
         R"(<mirrorFilterItem collapsed="0" enabled="1"><horizontal>1</horizontal><vertical>0</vertical></mirrorFilterItem>)"},
        {ReadAs<DefocusFilterItem>, R"(<e collapsed="0" enabled="1"><blur>-5</blur><bloom>1</bloom></e>)",
         "blur data is corrupted, lexical cast failure.",
         R"(<defocusFilterItem collapsed="0" enabled="1"><blur>0</blur><bloom>0</bloom></defocusFilterItem>)"},
        // Range checks: the refused value is not stored, the ones before it are.
        {ReadAs<BrightnessFilterItem>,
         R"(<e collapsed="1" enabled="0"><brightness>0.5</brightness><colorOrAlpha>6</colorOrAlpha></e>)",
         "colorOrAlpha is invalid",
         R"(<brightnessFilterItem collapsed="1" enabled="0"><brightness>0.5</brightness><colorOrAlpha>4</colorOrAlpha></brightnessFilterItem>)"},
        {ReadAs<SuperContrastFilterItem>,
         R"(<e collapsed="0" enabled="1"><blackLevel>0.25</blackLevel><whiteLevel>0.5</whiteLevel><colorOrAlpha>2</colorOrAlpha></e>)",
         "colorOrAlpha is invalid",
         R"(<superContrastFilterItem collapsed="0" enabled="1"><blackLevel>0.25</blackLevel><whiteLevel>0.5</whiteLevel><colorOrAlpha>4</colorOrAlpha></superContrastFilterItem>)"},
        {ReadAs<YuvBlurKeyItem>, R"(<e collapsed="0" enabled="1"><blur>2</blur><blurType>4</blurType></e>)",
         "m_blurType is invalid",
         R"(<yuvBlurKeyItem collapsed="0" enabled="1"><blur>2</blur><blurType>3</blurType></yuvBlurKeyItem>)"},
        {ReadAs<AutoColorDifferenceKeyItem>, R"(<e enabled="1" collapsed="0"><keyColor>3</keyColor></e>)",
         "keyColor is invalid",
         R"(<autoColorDifferenceKeyItem collapsed="0" enabled="1"><keyColor>1</keyColor><keyDetail>0</keyDetail><greyDetail>0</greyDetail><greyThreshold>0</greyThreshold><autoKeyColor>1</autoKeyColor></autoColorDifferenceKeyItem>)"},
        {ReadAs<AutoColorDifferenceKeyItem>,
         R"(<e enabled="1" collapsed="0"><keyColor>0</keyColor><keyDetail>0.5</keyDetail><greyDetail>0.25</greyDetail><greyThreshold>1</greyThreshold><autoKeyColor>0</autoKeyColor></e>)",
         "autoKeyColor is invalid",
         R"(<autoColorDifferenceKeyItem collapsed="0" enabled="1"><keyColor>0</keyColor><keyDetail>0.5</keyDetail><greyDetail>0.25</greyDetail><greyThreshold>1</greyThreshold><autoKeyColor>1</autoKeyColor></autoColorDifferenceKeyItem>)"},
        {ReadAs<LightSpillKeyItem>, R"(<e collapsed="0" enabled="1"><blur>3</blur><blendMode>13</blendMode></e>)",
         "blendmode is invalid",
         R"(<lightSpillKeyItem collapsed="0" enabled="1"><blur>3</blur><blendMode>7</blendMode></lightSpillKeyItem>)"},
        {ReadAs<LightSpillKeyItem>, R"(<e collapsed="0" enabled="1"><blur>3</blur><blendMode>12</blendMode></e>)", "",
         R"(<lightSpillKeyItem collapsed="0" enabled="1"><blur>3</blur><blendMode>12</blendMode></lightSpillKeyItem>)"},
        {ReadAs<ErodeKeyItem>, R"(<e collapsed="0" enabled="1"><direction>-1</direction><distance>2</distance></e>)",
         "erode direction is invalid",
         R"(<erodeKeyItem collapsed="0" enabled="1"><direction>0</direction><distance>0</distance></erodeKeyItem>)"},
        {ReadAs<TintCompositeItem>, R"(<e collapsed="0" enabled="1"><type>2</type><strength>0.5</strength></e>)",
         "Tint type is invalid",
         R"(<tintCompositeItem collapsed="0" enabled="1"><type>1</type><strength>1</strength></tintCompositeItem>)"},
        // Colours, quads and origins.
        {ReadAs<SilhouetteFilterItem>, R"(<e collapsed="0" enabled="1"/>)", "Silhouette color element is missing",
         R"(<silhouetteFilterItem collapsed="0" enabled="1"><color red="0" green="0" blue="0"/></silhouetteFilterItem>)"},
        {ReadAs<SilhouetteFilterItem>, R"(<e collapsed="0" enabled="1"><color red="256" green="0" blue="0"/></e>)",
         "Invalid silhouette color",
         R"(<silhouetteFilterItem collapsed="0" enabled="1"><color red="0" green="0" blue="0"/></silhouetteFilterItem>)"},
        {ReadAs<SilhouetteFilterItem>, R"(<e collapsed="0" enabled="1"><color red="-1" green="0" blue="0"/></e>)",
         "red data is corrupted, lexical cast failure.",
         R"(<silhouetteFilterItem collapsed="0" enabled="1"><color red="0" green="0" blue="0"/></silhouetteFilterItem>)"},
        {ReadAs<SilhouetteFilterItem>, R"(<e collapsed="0" enabled="1"><color red="9" blue="0"/></e>)",
         "green Attribute is missing",
         R"(<silhouetteFilterItem collapsed="0" enabled="1"><color red="0" green="0" blue="0"/></silhouetteFilterItem>)"},
        {ReadAs<ShadowCastFilterItem>, R"(<e collapsed="0" enabled="1"><shape>1</shape></e>)",
         "Shadow Cast quad element is missing",
         R"(<shadowCastFilterItem collapsed="0" enabled="1">)" + kZeroQuad +
             R"(<shape>0</shape><blur>20</blur><transparency>0</transparency><blendMode>9</blendMode><color red="0" green="0" blue="0"/></shadowCastFilterItem>)"},
        {ReadAs<ShadowCastFilterItem>,
         R"(<e collapsed="0" enabled="1"><shadowQuad><topLeftX>1</topLeftX><topLeftY>1</topLeftY><topRightX>1</topRightX><topRightY>1</topRightY><bottomRightX>1</bottomRightX><bottomRightY>1</bottomRightY><bottomLeftX>1</bottomLeftX></shadowQuad></e>)",
         "bottomLeftY Tag is missing",
         R"(<shadowCastFilterItem collapsed="0" enabled="1">)" + kZeroQuad +
             R"(<shape>0</shape><blur>20</blur><transparency>0</transparency><blendMode>9</blendMode><color red="0" green="0" blue="0"/></shadowCastFilterItem>)"},
        {ReadAs<ShadowCastFilterItem>,
         R"(<e collapsed="0" enabled="1">)" + kZeroQuad +
             R"(<shape>1</shape><blur>5</blur><transparency>0.5</transparency><blendMode>3</blendMode></e>)",
         "Shadow Cast color element is missing",
         R"(<shadowCastFilterItem collapsed="0" enabled="1">)" + kZeroQuad +
             R"(<shape>1</shape><blur>5</blur><transparency>0.5</transparency><blendMode>3</blendMode><color red="0" green="0" blue="0"/></shadowCastFilterItem>)"},
        {ReadAs<ShadowCastFilterItem>,
         R"(<e collapsed="0" enabled="1">)" + kZeroQuad +
             R"(<shape>1</shape><blur>5</blur><transparency>0.5</transparency><blendMode>3</blendMode><color red="0" green="300" blue="0"/></e>)",
         "Invalid silhouette color",
         R"(<shadowCastFilterItem collapsed="0" enabled="1">)" + kZeroQuad +
             R"(<shape>1</shape><blur>5</blur><transparency>0.5</transparency><blendMode>3</blendMode><color red="0" green="0" blue="0"/></shadowCastFilterItem>)"},
        {ReadAs<BackgroundDepthOfFieldFilterItem>, R"(<e collapsed="0" enabled="1"><type>1</type></e>)",
         "Depth of Field origin element is missing",
         R"(<backgroundDepthOfFieldFilterItem collapsed="0" enabled="1"><type>1</type><origin><x>0.5</x><y>0.5</y></origin><angle>90</angle><blur>20</blur><spread>0</spread><range>0.5</range><transparency>0</transparency></backgroundDepthOfFieldFilterItem>)"},
        {ReadAs<DepthOfFieldCompositeItem>, R"(<e collapsed="0" enabled="1"><type>1</type><origin><x>2</x></origin></e>)",
         "y Tag is missing",
         R"(<depthOfFieldCompositeItem collapsed="0" enabled="1"><type>1</type><origin><x>0.5</x><y>0.5</y></origin><angle>90</angle><blur>20</blur><spread>0</spread><range>0.5</range><transparency>0</transparency></depthOfFieldCompositeItem>)"},
        {ReadAs<VignetteCompositeItem>, R"(<e collapsed="0" enabled="1"><type>1</type></e>)",
         "Vignette color element is missing",
         R"(<vignetteCompositeItem collapsed="0" enabled="1"><color red="0" green="0" blue="0"/><type>1</type><horizontalStretch>1</horizontalStretch><verticalStretch>1</verticalStretch><softness>0.40000000000000002</softness><curvature>1</curvature><opacity>1</opacity></vignetteCompositeItem>)"},
        {ReadAs<VignetteCompositeItem>, R"(<e collapsed="0" enabled="1"><color red="0" green="0" blue="256"/></e>)",
         "Invalid vignette color",
         R"(<vignetteCompositeItem collapsed="0" enabled="1"><color red="0" green="0" blue="0"/><type>1</type><horizontalStretch>1</horizontalStretch><verticalStretch>1</verticalStretch><softness>0.40000000000000002</softness><curvature>1</curvature><opacity>1</opacity></vignetteCompositeItem>)"},
        {ReadAs<VignetteCompositeItem>,
         R"(<e collapsed="0" enabled="1"><color red="1" green="2" blue="3"/><type>3</type></e>)",
         "Vignette type is invalid",
         R"(<vignetteCompositeItem collapsed="0" enabled="1"><color red="1" green="2" blue="3"/><type>1</type><horizontalStretch>1</horizontalStretch><verticalStretch>1</verticalStretch><softness>0.40000000000000002</softness><curvature>1</curvature><opacity>1</opacity></vignetteCompositeItem>)"},
        // The soft focus checks its blend mode only after the blur and opacity.
        {ReadAs<SoftFocusCompositeItem>,
         R"(<e collapsed="0" enabled="0"><blendMode>13</blendMode><blur>12</blur><opacity>0.25</opacity></e>)",
         "blendmode is invalid",
         R"(<softFocusCompositeItem collapsed="0" enabled="0"><blendMode>7</blendMode><blur>12</blur><opacity>0.25</opacity></softFocusCompositeItem>)"},
        {ReadAs<SoftFocusCompositeItem>, R"(<e collapsed="0" enabled="0"><blendMode>13</blendMode><blur>12</blur></e>)",
         "opacity Tag is missing",
         R"(<softFocusCompositeItem collapsed="0" enabled="0"><blendMode>7</blendMode><blur>12</blur><opacity>0.5</opacity></softFocusCompositeItem>)"},
        {ReadAs<SoftFocusCompositeItem>, R"(<e collapsed="0" enabled="0"><blendMode>x</blendMode></e>)",
         "blendMode data is corrupted, lexical cast failure.",
         R"(<softFocusCompositeItem collapsed="0" enabled="0"><blendMode>7</blendMode><blur>30</blur><opacity>0.5</opacity></softFocusCompositeItem>)"},
    };
    ExpectReads(cases);
}

TEST(EffectItems, LenientChildrenFallBack)
{
    const QString quad = kZeroQuad;
    const QString shadowTail =
        R"(<blur>20</blur><transparency>0</transparency><blendMode>9</blendMode><color red="0" green="0" blue="0"/>)";
    const QString dofTail = R"(<origin><x>0.5</x><y>0.5</y></origin><angle>90</angle><blur>20</blur><spread>0</spread><range>0.5</range><transparency>0</transparency>)";
    const ReadCase cases[] = {
        {ReadAs<ShadowCastFilterItem>, R"(<e collapsed="0" enabled="1">)" + quad + shadowTail + "</e>", "",
         R"(<shadowCastFilterItem collapsed="0" enabled="1">)" + quad + "<shape>0</shape>" + shadowTail +
             "</shadowCastFilterItem>"},
        {ReadAs<ShadowCastFilterItem>, R"(<e collapsed="0" enabled="1">)" + quad + "<shape>wall</shape>" + shadowTail + "</e>",
         "", R"(<shadowCastFilterItem collapsed="0" enabled="1">)" + quad + "<shape>0</shape>" + shadowTail +
                 "</shadowCastFilterItem>"},
        {ReadAs<ShadowCastFilterItem>, R"(<e collapsed="0" enabled="1">)" + quad + "<shape>3</shape>" + shadowTail + "</e>",
         "", R"(<shadowCastFilterItem collapsed="0" enabled="1">)" + quad + "<shape>3</shape>" + shadowTail +
                 "</shadowCastFilterItem>"},
        {ReadAs<BackgroundDepthOfFieldFilterItem>, R"(<e collapsed="0" enabled="1">)" + dofTail + "</e>", "",
         R"(<backgroundDepthOfFieldFilterItem collapsed="0" enabled="1"><type>0</type>)" + dofTail +
             "</backgroundDepthOfFieldFilterItem>"},
        {ReadAs<DepthOfFieldCompositeItem>, R"(<e collapsed="0" enabled="1"><type>1.5</type>)" + dofTail + "</e>", "",
         R"(<depthOfFieldCompositeItem collapsed="0" enabled="1"><type>0</type>)" + dofTail +
             "</depthOfFieldCompositeItem>"},
        // Spill suppression: apply method 0 or 1, else 0; spill type 0 or 1, else the old flag.
        {ReadAs<SpillSuppressionKeyItem>,
         R"(<e enabled="1" collapsed="0"><applyMethod>5</applyMethod><spillType>7</spillType><extended>1</extended><transparency>0.25</transparency></e>)",
         "",
         R"(<spillSuppressionKeyItem collapsed="0" enabled="1"><applyMethod>0</applyMethod><spillType>1</spillType><transparency>0.25</transparency></spillSuppressionKeyItem>)"},
        {ReadAs<SpillSuppressionKeyItem>,
         R"(<e enabled="1" collapsed="0"><applyMethod>1</applyMethod><extended>0</extended><transparency>0.25</transparency></e>)",
         "",
         R"(<spillSuppressionKeyItem collapsed="0" enabled="1"><applyMethod>1</applyMethod><spillType>0</spillType><transparency>0.25</transparency></spillSuppressionKeyItem>)"},
        {ReadAs<SpillSuppressionKeyItem>,
         R"(<e enabled="1" collapsed="0"><spillType>0</spillType><extended>1</extended><transparency>1</transparency></e>)",
         "",
         R"(<spillSuppressionKeyItem collapsed="0" enabled="1"><applyMethod>0</applyMethod><spillType>0</spillType><transparency>1</transparency></spillSuppressionKeyItem>)"},
        {ReadAs<SpillSuppressionKeyItem>,
         R"(<e enabled="1" collapsed="0"><applyMethod>1</applyMethod><spillType>7</spillType><transparency>1</transparency></e>)",
         "extended Tag is missing",
         R"(<spillSuppressionKeyItem collapsed="0" enabled="1"><applyMethod>1</applyMethod><spillType>1</spillType><transparency>0</transparency></spillSuppressionKeyItem>)"},
    };
    ExpectReads(cases);
}

TEST(EffectItems, SpillSuppressionKeepsItsUnstoredValuesAtTheirDefaults)
{
    SpillSuppressionKeyItem item;
    EXPECT_EQ(item.Channel(), HXChannelGreen);
    EXPECT_EQ(item.AdvancedBias(), 1.0) << "a neutral bias";

    SpillSuppressionKeyItem edited(HXChannelRed, HXSpillApplyAfterMasks, HXSpillTypeStandard, 0.75, 0.25, 0.5, 0.125,
                                   0.5);
    SpillSuppressionKeyItem reopened;
    ASSERT_EQ(LoadItem(reopened, WriteItem(edited)), LMerrSuccess);
    EXPECT_EQ(reopened.ApplyMethod(), HXSpillApplyAfterMasks);
    EXPECT_EQ(reopened.SpillType(), HXSpillTypeStandard);
    EXPECT_EQ(reopened.Opacity(), 0.75);
    EXPECT_EQ(reopened.Channel(), HXChannelGreen);
    EXPECT_EQ(reopened.RedStrength(), 0.0);
    EXPECT_EQ(reopened.GreenStrength(), 0.0);
    EXPECT_EQ(reopened.BlueStrength(), 0.0);
    EXPECT_EQ(reopened.AdvancedBias(), 1.0);
}

namespace {

struct EngineImages {
    hvn::common::HXLookupTables tables{true};
    HXImage8 source{2, 2, HXPixelChannelOrderBGRA, true};
    HXImage8 destination{2, 2, HXPixelChannelOrderBGRA, true};
};

EngineImages& Images()
{
    static EngineImages images;
    return images;
}

std::string Describe(const std::vector<HXOperation>& queue)
{
    std::string text;
    for (const HXOperation& op : queue)
        text += (text.empty() ? "" : "; ") + HXOperationToString(op);
    return text;
}

// What the item queues on a fresh processor or keyer of its family.
std::string Queued(AbstractRenderItem& item, double scale)
{
    EngineImages& images = Images();
    if (auto key = dynamic_cast<AbstractKeyItem*>(&item)) {
        HXImageKeyer keyer(images.source, images.destination, images.tables, HXDownsampleFactor3);
        key->AddToImageKeyer(keyer, scale);
        return Describe(keyer.Queue());
    }
    HXImageProcessor processor(images.source, images.destination, images.tables, HXDownsampleFactor3);
    if (auto filter = dynamic_cast<AbstractFilterItem*>(&item))
        filter->AddToImageProcessor(processor, scale);
    else
        dynamic_cast<AbstractCompositeItem&>(item).AddToImageProcessor(processor, hvn::maths::HXRect(1, 2, 30, 40),
                                                                       scale);
    return Describe(processor.Queue());
}

} // namespace

TEST(EffectItems, EngineCalls)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        std::function<ItemPtr()> build;
        double scale;
        std::string expected;
    } cases[] = {
        {Build<BrightnessFilterItem>(-0.5, HXChannelsColorAndAlpha), 0.5, "SetBrightness(-0.5, 5)"},
        {Build<ContrastFilterItem>(1.5), 0.5, "SetContrast(1.5, 4)"},
        {Build<SaturationFilterItem>(0.75), 1.0, "SetSaturation(0.75)"},
        {Build<SuperContrastFilterItem>(0.25, 0.75, HXChannelsAlpha), 1.0, "SetSuperContrast(0.25, 0.75, 3)"},
        {Build<ColorTemperatureFilterItem>(7000.0), 0.5, "SetColorTemperature(7000)"},
        {Build<ColorBalanceFilterItem>(0.5, 1.25, 2.0), 1.0, "SetColorBalance(0.5, 1.25, 2)"},
        {Build<HueColorizeFilterItem>(120.0, 0.5), 1.0, "SetHueColorize(120, 0.5)"},
        {Build<HueShiftFilterItem>(240.0, 1.0), 1.0, "SetHueShift(240, 1)"},
        {Build<TransparencyFilterItem>(0.25), 0.5, "SetOpacity(0.75)"},
        {Build<BlurFilterItem>(2.6), 0.5, "SetStackBlur(1, 1, 1, 5)"},
        {Build<BlurFilterItem>(2.6), 1.0, "SetStackBlur(2, 1, 1, 5)"},
        {Build<BlurFilterItem>(0.9), 1.0, "SetStackBlur(0, 1, 1, 5)"},
        {Build<BlurFilterItem>(-3.0), 1.0, "SetStackBlur(0, 1, 1, 5)"},
        {Build<BlurFilterItem>(5.0), -1.0, "SetStackBlur(0, 1, 1, 5)"},
        {Build<BlurFilterItem>(nan), 1.0, "SetStackBlur(0, 1, 1, 5)"},
        {Build<BlurFilterItem>(1e12), 1.0, "SetStackBlur(4294967295, 1, 1, 5)"},
        {Build<MirrorFilterItem>(false, true), 1.0, "SetMirror(0, 1)"},
        {Build<SharpenFilterItem>(12, 0.5, 0.125), 0.5, "SetSharpen(12, 0.5, 0.125, 0.5)"},
        {Build<SilhouetteFilterItem>(QColor(10, 200, 255)), 1.0, "SetSilhouette(10, 200, 255)"},
        {Build<ShadowCastFilterItem>(HXShadowCastShapeLeft, 35u, 0.5, QColor(1, 2, 3), HXBlendModeMultiply), 1.0, ""},
        {Build<BackgroundDepthOfFieldFilterItem>(HXDepthOfFieldRadial, QPointF(0.25, 0.75), 45.0, 12u, 0.125, 0.375,
                                                 0.5),
         1.0, ""},
        {Build<DefocusFilterItem>(8u, 0.5), 0.25, "SetDefocus(8, 0.5, 0.25)"},
        {Build<DiffuseFilterItem>(6u, 0.25), 0.5, "SetDiffuse(6, 0.25, 0.5)"},

        {Build<YuvBlurKeyItem>(3.7, HXYUVBlurBox), 0.5, "SetYUVBlur(3, 2)"},
        {Build<YuvBlurKeyItem>(3.7, HXYUVBlurGaussian), 1.0, "SetYUVBlur(3, 3)"},
        {Build<YuvBlurKeyItem>(-1.5, HXYUVBlurHorizontal), 1.0, "SetYUVBlur(0, 0)"},
        {[] {
             auto item = std::make_shared<AutoColorDifferenceKeyItem>(HXKeyColorAuto, 0.5, 0.25, 0.125);
             item->SetAutoKeyColor(HXKeyColorBlue);
             return item;
         },
         0.5, "SetAutoColorDifferenceKey(0, 0.5, 0.25, 0.125)"},
        {Build<SpillSuppressionKeyItem>(HXChannelRed, HXSpillApplyAfterMasks, HXSpillTypeStandard, 0.75, 0.25, 0.5,
                                        0.125, 0.5),
         1.0, "SetSpillSuppression(0, 0, 0.75, 0.25, 0.5, 0.125, 0.5)"},
        {Build<CropKeyItem>(0.1, 0.2, 0.3, 0.4), 0.5, "SetAlphaCrop(0.1, 0.4, 0.2, 0.3)"},
        {Build<LightSpillKeyItem>(4.5, HXBlendModeScreen), 1.0, ""},
        {Build<AlphaSuperContrastKeyItem>(0.25, 0.875), 1.0, "SetAlphaSuperContrast(0.25, 0.875)"},
        {Build<AlphaBlurKeyItem>(3.7), 0.5, "SetAlphaStackBlur(1, 1, 1)"},
        {Build<AlphaBlurKeyItem>(3.7), 1.0, "SetAlphaStackBlur(3, 1, 1)"},
        {Build<AlphaBlurKeyItem>(-2.0), 1.0, "SetAlphaStackBlur(0, 1, 1)"},
        {Build<ErodeKeyItem>(HXWhiteErodeGrow, -4), 1.0, "SetWhiteErode(1, -4)"},

        {BuildWith<TintCompositeItem>([](TintCompositeItem& item) { item.SetStrength(0.5); }), 0.5, "SetTint(1, 0.5)"},
        {BuildWith<VignetteCompositeItem>([](VignetteCompositeItem& item) {
             item.SetColor(QColor(255, 128, 0));
             item.SetHorizontalStretch(1.25);
             item.SetVerticalStretch(0.75);
             item.SetSoftness(0.5);
             item.SetCurvature(2.0);
             item.SetOpacity(0.625);
         }),
         0.5, "SetVignette(255, 128, 0, 1.25, 0.75, 0.5, 2, 0.625, 1, 2, 30, 40)"},
        {Build<DepthOfFieldCompositeItem>(HXDepthOfFieldLinear, QPointF(-0.5, 2), 30.0, 5u, 1.0, 0.25, 0.75), 1.0, ""},
        {Build<SoftFocusCompositeItem>(), 0.25, "SetSoftFocus(7, 7, 0.5, 1, 2, 30, 40, 0.25)"},
        {Build<SoftFocusCompositeItem>(HXBlendModeOverlay, 12u, 0.25), 1.0,
         "SetSoftFocus(10, 12, 0.25, 1, 2, 30, 40, 1)"},
        {Build<ThreeStripColorCompositeItem>(0.25, 0.75, 1.0), 1.0, "SetThreeStripColor(0.25, 0.75, 1)"},
        {Build<BleachBypassCompositeItem>(2.0, 0.5, 0.25), 1.0, "SetBleachBypass(2, 0.5, 0.25)"},
    };
    for (const Case& c : cases) {
        const ItemPtr item = c.build();
        EXPECT_EQ(Queued(*item, c.scale), c.expected) << WriteItem(*item).toStdString() << " at " << c.scale;
    }
}

TEST(EffectItems, ClonesKeepIdFlagsAndValuesAndAreIndependent)
{
    for (const ItemCase& c : AllCases()) {
        SCOPED_TRACE(c.element);
        const ItemPtr source = c.build();
        source->SetActive(false);
        source->SetCollapsed(!source->IsCollapsed());
        const QString sourceXml = WriteItem(*source);

        std::vector<ItemPtr> clones;
        if (auto filter = std::dynamic_pointer_cast<AbstractFilterItem>(source)) {
            std::vector<std::shared_ptr<AbstractFilterItem>> copies;
            filter->CopyToVector(copies);
            clones.assign(copies.begin(), copies.end());
        } else if (auto key = std::dynamic_pointer_cast<AbstractKeyItem>(source)) {
            std::vector<std::shared_ptr<AbstractKeyItem>> copies;
            key->CopyToVector(copies);
            clones.assign(copies.begin(), copies.end());
        } else {
            std::vector<std::shared_ptr<AbstractCompositeItem>> copies;
            std::dynamic_pointer_cast<AbstractCompositeItem>(source)->CopyToVector(copies);
            clones.assign(copies.begin(), copies.end());
        }
        ASSERT_EQ(clones.size(), 1u);
        const ItemPtr& clone = clones.front();
        EXPECT_NE(clone, source);
        EXPECT_EQ(clone->Id(), source->Id());
        EXPECT_EQ(TypeOf(*clone), c.type);
        EXPECT_FALSE(clone->IsActive());
        EXPECT_EQ(WriteItem(*clone), sourceXml);

        clone->SetActive(true);
        ASSERT_EQ(LoadItem(*clone, c.defaults), LMerrSuccess);
        EXPECT_EQ(WriteItem(*clone), c.defaults);
        EXPECT_EQ(WriteItem(*source), sourceXml) << "changing the clone leaves the source alone";
        EXPECT_FALSE(source->IsActive());
    }
}

TEST(EffectItems, AccessorsReadWhatTheFileHolds)
{
    ShadowCastFilterItem shadow;
    ASSERT_EQ(LoadItem(shadow, FilterCases()[13].built), LMerrSuccess);
    EXPECT_EQ(shadow.ShadowQuad(), hvn::maths::HXQuadF({1.5, 2}, {100, 2.5}, {110, 80}, {-4, 75.25}));
    EXPECT_EQ(shadow.Shape(), HXShadowCastShapeLeft);
    EXPECT_EQ(shadow.Blur(), 35u);
    EXPECT_EQ(shadow.BlendMode(), HXBlendModeMultiply);
    EXPECT_EQ(shadow.Color(), QColor(1, 2, 3));
    EXPECT_TRUE(ShadowCastFilterItem().ShadowQuad().IsNull());

    DepthOfFieldCompositeItem depth;
    ASSERT_EQ(LoadItem(depth, CompositeCases()[2].built), LMerrSuccess);
    EXPECT_EQ(depth.DOFType(), HXDepthOfFieldLinear);
    EXPECT_EQ(depth.Origin(), QPointF(-0.5, 2));
    EXPECT_EQ(depth.Angle(), 30.0);
    EXPECT_EQ(depth.Spread(), 1.0);
    EXPECT_EQ(depth.Range(), 0.25);
    EXPECT_EQ(depth.Transparency(), 0.75);

    CropKeyItem crop;
    ASSERT_EQ(LoadItem(crop, KeyCases()[3].built), LMerrSuccess);
    EXPECT_EQ(crop.Left(), 0.125);
    EXPECT_EQ(crop.Right(), 0.25);
    EXPECT_EQ(crop.Bottom(), 0.375);
    EXPECT_EQ(crop.Top(), 0.5);
}
