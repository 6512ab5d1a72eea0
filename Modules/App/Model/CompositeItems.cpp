#include "CompositeItems.h"

#include "hvn/image/HXImageProcessor.h"

namespace lumo::app {

using namespace hvn::image;
using namespace effect;
using hvn::maths::HXRect;

// Tint ---------------------------------------------------------------------------------------

TintCompositeItem::TintCompositeItem() : EffectItem(false, true, {}) {}

const Layout<TintValues>& TintCompositeItem::Layout()
{
    using V = TintValues;
    static const Field<V> fields[] = {
        Int("type", &V::tintType, HXTintBlackAndWhite, HXTintSepia, "Tint type is invalid"),
        Double("strength", &V::strength),
    };
    static const effect::Layout<V> layout{"tintCompositeItem", false, fields};
    return layout;
}

void TintCompositeItem::AddToImageProcessor(HXImageProcessor& processor, const HXRect&, double)
{
    processor.SetTint(TintType(), m_values.strength);
}

// Vignette -----------------------------------------------------------------------------------

VignetteCompositeItem::VignetteCompositeItem() : EffectItem(false, true, {}) {}

const Layout<VignetteValues>& VignetteCompositeItem::Layout()
{
    using V = VignetteValues;
    static const Field<V> fields[] = {
        effect::Color("color", &V::color, "Vignette color element is missing", "Invalid vignette color"),
        Int("type", &V::vignetteType, HXVignetteTypeLight, HXVignetteTypeBold, "Vignette type is invalid"),
        Double("horizontalStretch", &V::horizontalStretch),
        Double("verticalStretch", &V::verticalStretch),
        Double("softness", &V::softness),
        Double("curvature", &V::curvature),
        Double("opacity", &V::opacity),
    };
    static const effect::Layout<V> layout{"vignetteCompositeItem", false, fields};
    return layout;
}

void VignetteCompositeItem::AddToImageProcessor(HXImageProcessor& processor, const HXRect& rect, double)
{
    processor.SetVignette(ToPixel(m_values.color), m_values.horizontalStretch, m_values.verticalStretch,
                          m_values.softness, m_values.curvature, m_values.opacity, rect);
}

// Depth of field -----------------------------------------------------------------------------

DepthOfFieldCompositeItem::DepthOfFieldCompositeItem() : DepthOfFieldItem(false, true, {}) {}

DepthOfFieldCompositeItem::DepthOfFieldCompositeItem(HXDepthOfFieldType type, const QPointF& origin, double angle,
                                                     unsigned int blur, double spread, double range,
                                                     double transparency)
    : DepthOfFieldItem(true, false, {type, origin, angle, blur, spread, range, transparency})
{
}

const Layout<DepthOfFieldValues>& DepthOfFieldCompositeItem::Layout()
{
    static const effect::Layout<DepthOfFieldValues> layout{"depthOfFieldCompositeItem", false, DepthOfFieldFields()};
    return layout;
}

void DepthOfFieldCompositeItem::AddToImageProcessor(HXImageProcessor&, const HXRect&, double) {}

// Soft focus ---------------------------------------------------------------------------------

SoftFocusCompositeItem::SoftFocusCompositeItem() : EffectItem(true, true, {}) {}

SoftFocusCompositeItem::SoftFocusCompositeItem(HXBlendMode blendMode, unsigned int blur, double opacity)
    : EffectItem(true, true, {blendMode, blur, opacity})
{
}

const Layout<SoftFocusValues>& SoftFocusCompositeItem::Layout()
{
    using V = SoftFocusValues;
    static const Field<V> fields[] = {
        CheckedLast(Int("blendMode", &V::blendMode, HXBlendModeAdd, HXBlendModeSoftLight, "blendmode is invalid")),
        UInt("blur", &V::blur),
        Double("opacity", &V::opacity),
    };
    static const effect::Layout<V> layout{"softFocusCompositeItem", false, fields};
    return layout;
}

void SoftFocusCompositeItem::AddToImageProcessor(HXImageProcessor& processor, const HXRect& rect, double scale)
{
    processor.SetSoftFocus(BlendMode(), ToRadius(scale * m_values.blur), m_values.opacity, rect, scale);
}

// Three-strip colour -------------------------------------------------------------------------

ThreeStripColorCompositeItem::ThreeStripColorCompositeItem() : EffectItem(true, true, {}) {}

ThreeStripColorCompositeItem::ThreeStripColorCompositeItem(double redStrength, double greenStrength,
                                                           double blueStrength)
    : EffectItem(true, true, {redStrength, greenStrength, blueStrength})
{
}

const Layout<ThreeStripColorValues>& ThreeStripColorCompositeItem::Layout()
{
    using V = ThreeStripColorValues;
    static const Field<V> fields[] = {
        Double("redStrength", &V::redStrength),
        Double("greenStrength", &V::greenStrength),
        Double("blueStrength", &V::blueStrength),
    };
    static const effect::Layout<V> layout{"threeStripColorCompositeItem", false, fields};
    return layout;
}

void ThreeStripColorCompositeItem::AddToImageProcessor(HXImageProcessor& processor, const HXRect&, double)
{
    processor.SetThreeStripColor(m_values.redStrength, m_values.greenStrength, m_values.blueStrength);
}

// Bleach bypass ------------------------------------------------------------------------------

BleachBypassCompositeItem::BleachBypassCompositeItem() : EffectItem(true, true, {}) {}

BleachBypassCompositeItem::BleachBypassCompositeItem(double contrast, double saturation, double strength)
    : EffectItem(true, true, {contrast, saturation, strength})
{
}

const Layout<BleachBypassValues>& BleachBypassCompositeItem::Layout()
{
    using V = BleachBypassValues;
    static const Field<V> fields[] = {
        Double("contrast", &V::contrast),
        Double("saturation", &V::saturation),
        Double("strength", &V::strength),
    };
    static const effect::Layout<V> layout{"bleachBypassCompositeItem", false, fields};
    return layout;
}

void BleachBypassCompositeItem::AddToImageProcessor(HXImageProcessor& processor, const HXRect&, double)
{
    processor.SetBleachBypass(m_values.contrast, m_values.saturation, m_values.strength);
}

// Factory ------------------------------------------------------------------------------------

std::shared_ptr<AbstractCompositeItem> CreateCompositeItem(const QString& elementName)
{
    return CreateByElementName<AbstractCompositeItem, ThreeStripColorCompositeItem, DepthOfFieldCompositeItem,
                               SoftFocusCompositeItem, VignetteCompositeItem, TintCompositeItem,
                               BleachBypassCompositeItem>(elementName);
}

} // namespace lumo::app
