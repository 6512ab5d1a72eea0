#include "KeyItems.h"

#include "XmlValues.h"

#include "hvn/image/HXImageKeyer.h"

namespace lumo::app {

using namespace hvn::image;
using namespace effect;

// YUV blur -----------------------------------------------------------------------------------

YuvBlurKeyItem::YuvBlurKeyItem() : EffectItem(true, false, {}) {}

YuvBlurKeyItem::YuvBlurKeyItem(double radius, HXYUVBlurType blurType) : EffectItem(true, false, {radius, blurType}) {}

const Layout<YuvBlurValues>& YuvBlurKeyItem::Layout()
{
    using V = YuvBlurValues;
    static const Field<V> fields[] = {
        Double("blur", &V::radius),
        Int("blurType", &V::blurType, HXYUVBlurHorizontal, HXYUVBlurGaussian, "m_blurType is invalid"),
    };
    static const effect::Layout<V> layout{"yuvBlurKeyItem", false, fields};
    return layout;
}

// The chroma blur works on the photo before keying: its radius is not scaled.
void YuvBlurKeyItem::AddToImageKeyer(HXImageKeyer& keyer, double)
{
    keyer.SetYUVBlur(ToRadius(m_values.radius), BlurType());
}

// Colour-difference key ----------------------------------------------------------------------

AutoColorDifferenceKeyItem::AutoColorDifferenceKeyItem() : EffectItem(true, false, {}) {}

AutoColorDifferenceKeyItem::AutoColorDifferenceKeyItem(HXKeyColor keyColor, double keyDetail, double greyDetail,
                                                       double greyThreshold)
    : EffectItem(true, false, {keyColor, keyDetail, greyDetail, greyThreshold})
{
}

const Layout<AutoColorDifferenceValues>& AutoColorDifferenceKeyItem::Layout()
{
    using V = AutoColorDifferenceValues;
    static const Field<V> fields[] = {
        Int("keyColor", &V::keyColor, HXKeyColorAuto, HXKeyColorBlue, "keyColor is invalid"),
        Double("keyDetail", &V::keyDetail),
        Double("greyDetail", &V::greyDetail),
        Double("greyThreshold", &V::greyThreshold),
        Int("autoKeyColor", &V::autoKeyColor, HXKeyColorGreen, HXKeyColorBlue, "autoKeyColor is invalid"),
    };
    static const effect::Layout<V> layout{"autoColorDifferenceKeyItem", true, fields};
    return layout;
}

void AutoColorDifferenceKeyItem::AddToImageKeyer(HXImageKeyer& keyer, double)
{
    keyer.SetAutoColorDifferenceKey(KeyColor(), m_values.keyDetail, m_values.greyDetail, m_values.greyThreshold);
}

// Spill suppression --------------------------------------------------------------------------

SpillSuppressionKeyItem::SpillSuppressionKeyItem() : EffectItem(true, false, {}) {}

SpillSuppressionKeyItem::SpillSuppressionKeyItem(HXChannel channel, HXSpillApplyMethod applyMethod,
                                                 HXSpillType spillType, double opacity, double redStrength,
                                                 double greenStrength, double blueStrength, double advancedBias)
    : EffectItem(true, false,
                 {channel, applyMethod, spillType, opacity, redStrength, greenStrength, blueStrength, advancedBias})
{
}

namespace {
// Older files said whether the spill type is extended in a flag of their own.
int SpillTypeFromExtendedFlag(const QDomElement& element)
{
    return ReadXmlTagInt(element, QStringLiteral("extended")) != 0 ? HXSpillTypeExtended : HXSpillTypeStandard;
}
} // namespace

const Layout<SpillSuppressionValues>& SpillSuppressionKeyItem::Layout()
{
    using V = SpillSuppressionValues;
    static const Field<V> fields[] = {
        LenientInt("applyMethod", &V::applyMethod, &Zero, HXSpillApplyBeforeMasks, HXSpillApplyAfterMasks),
        LenientInt("spillType", &V::spillType, &SpillTypeFromExtendedFlag, HXSpillTypeStandard, HXSpillTypeExtended),
        Double("transparency", &V::opacity),
    };
    static const effect::Layout<V> layout{"spillSuppressionKeyItem", true, fields};
    return layout;
}

void SpillSuppressionKeyItem::AddToImageKeyer(HXImageKeyer& keyer, double)
{
    keyer.SetSpillSuppression(Channel(), SpillType(), m_values.opacity, m_values.redStrength, m_values.greenStrength,
                              m_values.blueStrength, m_values.advancedBias);
}

// Crop ---------------------------------------------------------------------------------------

CropKeyItem::CropKeyItem() : EffectItem(true, false, {}) {}

CropKeyItem::CropKeyItem(double left, double right, double bottom, double top)
    : EffectItem(true, false, {left, right, bottom, top})
{
}

const Layout<CropValues>& CropKeyItem::Layout()
{
    using V = CropValues;
    static const Field<V> fields[] = {
        Double("left", &V::left),
        Double("right", &V::right),
        Double("bottom", &V::bottom),
        Double("top", &V::top),
    };
    static const effect::Layout<V> layout{"cropKeyItem", false, fields};
    return layout;
}

void CropKeyItem::AddToImageKeyer(HXImageKeyer& keyer, double)
{
    keyer.SetAlphaCrop(m_values.left, m_values.top, m_values.right, m_values.bottom);
}

// Light spill --------------------------------------------------------------------------------

LightSpillKeyItem::LightSpillKeyItem() : EffectItem(true, false, {}) {}

LightSpillKeyItem::LightSpillKeyItem(double blur, HXBlendMode blendMode) : EffectItem(true, false, {blur, blendMode}) {}

const Layout<LightSpillValues>& LightSpillKeyItem::Layout()
{
    using V = LightSpillValues;
    static const Field<V> fields[] = {
        Double("blur", &V::blur),
        Int("blendMode", &V::blendMode, HXBlendModeAdd, HXBlendModeSoftLight, "blendmode is invalid"),
    };
    static const effect::Layout<V> layout{"lightSpillKeyItem", false, fields};
    return layout;
}

void LightSpillKeyItem::AddToImageKeyer(HXImageKeyer&, double) {}

// Alpha super contrast -----------------------------------------------------------------------

AlphaSuperContrastKeyItem::AlphaSuperContrastKeyItem() : EffectItem(true, false, {}) {}

AlphaSuperContrastKeyItem::AlphaSuperContrastKeyItem(double blackLevel, double whiteLevel)
    : EffectItem(true, false, {blackLevel, whiteLevel})
{
}

const Layout<AlphaSuperContrastValues>& AlphaSuperContrastKeyItem::Layout()
{
    using V = AlphaSuperContrastValues;
    static const Field<V> fields[] = {Double("blackLevel", &V::blackLevel), Double("whiteLevel", &V::whiteLevel)};
    static const effect::Layout<V> layout{"alphaSuperContrastKeyItem", false, fields};
    return layout;
}

void AlphaSuperContrastKeyItem::AddToImageKeyer(HXImageKeyer& keyer, double)
{
    keyer.SetAlphaSuperContrast(m_values.blackLevel, m_values.whiteLevel);
}

// Alpha blur ---------------------------------------------------------------------------------

AlphaBlurKeyItem::AlphaBlurKeyItem() : EffectItem(true, false, {}) {}

AlphaBlurKeyItem::AlphaBlurKeyItem(double radius) : EffectItem(true, false, {radius}) {}

const Layout<AlphaBlurValues>& AlphaBlurKeyItem::Layout()
{
    using V = AlphaBlurValues;
    static const Field<V> fields[] = {Double("blur", &V::radius)};
    static const effect::Layout<V> layout{"alphaBlurKeyItem", false, fields};
    return layout;
}

void AlphaBlurKeyItem::AddToImageKeyer(HXImageKeyer& keyer, double scale)
{
    keyer.SetAlphaStackBlur(ToRadius(m_values.radius * scale), true, true);
}

// Erode --------------------------------------------------------------------------------------

ErodeKeyItem::ErodeKeyItem() : EffectItem(true, false, {}) {}

ErodeKeyItem::ErodeKeyItem(HXWhiteErodeDirection direction, int distance)
    : EffectItem(true, false, {direction, distance})
{
}

const Layout<ErodeValues>& ErodeKeyItem::Layout()
{
    using V = ErodeValues;
    static const Field<V> fields[] = {
        Int("direction", &V::direction, HXWhiteErodeShrink, HXWhiteErodeShrinkThenGrow, "erode direction is invalid"),
        Int("distance", &V::distance),
    };
    static const effect::Layout<V> layout{"erodeKeyItem", false, fields};
    return layout;
}

void ErodeKeyItem::AddToImageKeyer(HXImageKeyer& keyer, double)
{
    keyer.SetWhiteErode(ErodeDirection(), m_values.distance);
}

// Factory ------------------------------------------------------------------------------------

std::shared_ptr<AbstractKeyItem> CreateKeyItem(const QString& elementName)
{
    return CreateByElementName<AbstractKeyItem, AutoColorDifferenceKeyItem, SpillSuppressionKeyItem, YuvBlurKeyItem,
                               AlphaBlurKeyItem, AlphaSuperContrastKeyItem, CropKeyItem, LightSpillKeyItem,
                               ErodeKeyItem>(elementName);
}

} // namespace lumo::app
