#include "FilterItems.h"

#include "XmlValues.h"

#include "hvn/image/HXImageProcessor.h"

#include <limits>

namespace lumo::app {

using namespace hvn::image;

namespace effect {

namespace {

QString Name(const char* name)
{
    return QString::fromLatin1(name);
}

[[noreturn]] void Fail(const char* message)
{
    throw XmlException(LMerrInvalidData, message);
}

QDomElement RequiredChild(const QDomElement& element, const FieldRule& rule)
{
    const QDomElement child = element.firstChildElement(Name(rule.name));
    if (child.isNull())
        Fail(rule.missing);
    return child;
}

void WriteStart(QXmlStreamWriter& writer, const FieldRule& rule)
{
    writer.writeStartElement(Name(rule.name));
}

const char* const kQuadChildren[] = {"topLeftX",     "topLeftY",     "topRightX",   "topRightY",
                                     "bottomRightX", "bottomRightY", "bottomLeftX", "bottomLeftY"};

} // namespace

int ReadInt(const QDomElement& element, const FieldRule& rule)
{
    if (!rule.fallback)
        return ReadXmlTagInt(element, Name(rule.name));
    try {
        return ReadXmlTagInt(element, Name(rule.name));
    } catch (const XmlException&) {
        return rule.fallback(element);
    }
}

int CheckInt(const QDomElement& element, const FieldRule& rule, int value)
{
    if (value >= rule.min && value <= rule.max)
        return value;
    if (rule.fallback)
        return rule.fallback(element);
    Fail(rule.invalid);
}

void Read(const QDomElement& element, const FieldRule& rule, double& value)
{
    value = ReadXmlTagDouble(element, Name(rule.name));
}

void Read(const QDomElement& element, const FieldRule& rule, unsigned int& value)
{
    value = ReadXmlTagUInt(element, Name(rule.name));
}

void Read(const QDomElement& element, const FieldRule& rule, bool& value)
{
    value = ReadXmlTagBool(element, Name(rule.name));
}

void Read(const QDomElement& element, const FieldRule& rule, QColor& value)
{
    const QDomElement child = RequiredChild(element, rule);
    const int red = ReadXmlAttributeUInt(child, QStringLiteral("red"));
    const int green = ReadXmlAttributeUInt(child, QStringLiteral("green"));
    const int blue = ReadXmlAttributeUInt(child, QStringLiteral("blue"));
    const QColor color(red, green, blue, 255);
    if (!color.isValid())
        Fail(rule.invalid);
    value = color;
}

void Read(const QDomElement& element, const FieldRule& rule, hvn::maths::HXQuadF& value)
{
    const QDomElement child = RequiredChild(element, rule);
    double corners[8];
    for (int i = 0; i < 8; ++i)
        corners[i] = ReadXmlTagDouble(child, Name(kQuadChildren[i]));
    value = hvn::maths::HXQuadF({corners[0], corners[1]}, {corners[2], corners[3]}, {corners[4], corners[5]},
                                {corners[6], corners[7]});
}

void Read(const QDomElement& element, const FieldRule& rule, QPointF& value)
{
    const QDomElement child = RequiredChild(element, rule);
    const double x = ReadXmlTagDouble(child, QStringLiteral("x"));
    const double y = ReadXmlTagDouble(child, QStringLiteral("y"));
    value = QPointF(x, y);
}

void Write(QXmlStreamWriter& writer, const FieldRule& rule, double value)
{
    WriteXmlTagDouble(writer, Name(rule.name), value);
}

void Write(QXmlStreamWriter& writer, const FieldRule& rule, int value)
{
    WriteXmlTagInt(writer, Name(rule.name), value);
}

void Write(QXmlStreamWriter& writer, const FieldRule& rule, unsigned int value)
{
    WriteXmlTagUInt(writer, Name(rule.name), value);
}

void Write(QXmlStreamWriter& writer, const FieldRule& rule, bool value)
{
    WriteXmlTagBool(writer, Name(rule.name), value);
}

void Write(QXmlStreamWriter& writer, const FieldRule& rule, const QColor& value)
{
    WriteStart(writer, rule);
    WriteXmlAttributeUInt(writer, QStringLiteral("red"), value.red());
    WriteXmlAttributeUInt(writer, QStringLiteral("green"), value.green());
    WriteXmlAttributeUInt(writer, QStringLiteral("blue"), value.blue());
    writer.writeEndElement();
}

void Write(QXmlStreamWriter& writer, const FieldRule& rule, const hvn::maths::HXQuadF& value)
{
    const double corners[8] = {value.topLeft.x,     value.topLeft.y,     value.topRight.x,   value.topRight.y,
                               value.bottomRight.x, value.bottomRight.y, value.bottomLeft.x, value.bottomLeft.y};
    WriteStart(writer, rule);
    for (int i = 0; i < 8; ++i)
        WriteXmlTagDouble(writer, Name(kQuadChildren[i]), corners[i]);
    writer.writeEndElement();
}

void Write(QXmlStreamWriter& writer, const FieldRule& rule, const QPointF& value)
{
    WriteStart(writer, rule);
    WriteXmlTagDouble(writer, QStringLiteral("x"), value.x());
    WriteXmlTagDouble(writer, QStringLiteral("y"), value.y());
    writer.writeEndElement();
}

unsigned int ToRadius(double value)
{
    constexpr double largest = std::numeric_limits<unsigned int>::max();
    if (!(value > 0.0))
        return 0;
    if (value >= largest)
        return std::numeric_limits<unsigned int>::max();
    return static_cast<unsigned int>(value);
}

HXPixel8_RGB ToPixel(const QColor& color)
{
    return HXPixel8_RGB(static_cast<std::uint8_t>(color.red()), static_cast<std::uint8_t>(color.green()),
                        static_cast<std::uint8_t>(color.blue()));
}

std::span<const Field<DepthOfFieldValues>> DepthOfFieldFields()
{
    using V = DepthOfFieldValues;
    static const Field<V> fields[] = {
        LenientInt("type", &V::type, &Zero),
        Point("origin", &V::origin, "Depth of Field origin element is missing"),
        Double("angle", &V::angle),
        UInt("blur", &V::blur),
        Double("spread", &V::spread),
        Double("range", &V::range),
        Double("transparency", &V::transparency),
    };
    return fields;
}

} // namespace effect

using namespace effect;

// Brightness ---------------------------------------------------------------------------------

BrightnessFilterItem::BrightnessFilterItem() : EffectItem(true, false, {}) {}

BrightnessFilterItem::BrightnessFilterItem(double brightness, HXChannelsToProcess colorOrAlpha)
    : EffectItem(true, false, {brightness, colorOrAlpha})
{
}

const Layout<BrightnessValues>& BrightnessFilterItem::Layout()
{
    using V = BrightnessValues;
    static const Field<V> fields[] = {
        Double("brightness", &V::brightness),
        Int("colorOrAlpha", &V::colorOrAlpha, HXChannelsAlpha, HXChannelsColorAndAlpha, "colorOrAlpha is invalid"),
    };
    static const effect::Layout<V> layout{"brightnessFilterItem", false, fields};
    return layout;
}

void BrightnessFilterItem::AddToImageProcessor(HXImageProcessor& processor, double)
{
    processor.SetBrightness(m_values.brightness, ColorOrAlpha());
}

// Contrast -----------------------------------------------------------------------------------

ContrastFilterItem::ContrastFilterItem() : EffectItem(true, false, {}) {}

ContrastFilterItem::ContrastFilterItem(double contrast) : EffectItem(true, false, {contrast}) {}

const Layout<ContrastValues>& ContrastFilterItem::Layout()
{
    using V = ContrastValues;
    static const Field<V> fields[] = {Double("contrast", &V::contrast)};
    static const effect::Layout<V> layout{"contrastFilterItem", false, fields};
    return layout;
}

void ContrastFilterItem::AddToImageProcessor(HXImageProcessor& processor, double)
{
    processor.SetContrast(m_values.contrast, HXChannelsColor);
}

// Saturation ---------------------------------------------------------------------------------

SaturationFilterItem::SaturationFilterItem() : EffectItem(true, false, {}) {}

SaturationFilterItem::SaturationFilterItem(double saturation) : EffectItem(true, false, {saturation}) {}

const Layout<SaturationValues>& SaturationFilterItem::Layout()
{
    using V = SaturationValues;
    static const Field<V> fields[] = {Double("saturation", &V::saturation)};
    static const effect::Layout<V> layout{"saturationFilterItem", false, fields};
    return layout;
}

void SaturationFilterItem::AddToImageProcessor(HXImageProcessor& processor, double)
{
    processor.SetSaturation(m_values.saturation);
}

// Super contrast -----------------------------------------------------------------------------

SuperContrastFilterItem::SuperContrastFilterItem() : EffectItem(true, false, {}) {}

SuperContrastFilterItem::SuperContrastFilterItem(double blackLevel, double whiteLevel,
                                                 HXChannelsToProcess colorOrAlpha)
    : EffectItem(true, false, {blackLevel, whiteLevel, colorOrAlpha})
{
}

const Layout<SuperContrastValues>& SuperContrastFilterItem::Layout()
{
    using V = SuperContrastValues;
    static const Field<V> fields[] = {
        Double("blackLevel", &V::blackLevel),
        Double("whiteLevel", &V::whiteLevel),
        Int("colorOrAlpha", &V::colorOrAlpha, HXChannelsAlpha, HXChannelsColorAndAlpha, "colorOrAlpha is invalid"),
    };
    static const effect::Layout<V> layout{"superContrastFilterItem", false, fields};
    return layout;
}

void SuperContrastFilterItem::AddToImageProcessor(HXImageProcessor& processor, double)
{
    processor.SetSuperContrast(m_values.blackLevel, m_values.whiteLevel, ColorOrAlpha());
}

// Colour temperature -------------------------------------------------------------------------

ColorTemperatureFilterItem::ColorTemperatureFilterItem() : EffectItem(true, false, {}) {}

ColorTemperatureFilterItem::ColorTemperatureFilterItem(double temperatureShift)
    : EffectItem(true, false, {temperatureShift})
{
}

const Layout<ColorTemperatureValues>& ColorTemperatureFilterItem::Layout()
{
    using V = ColorTemperatureValues;
    static const Field<V> fields[] = {Double("temperatureShift", &V::temperatureShift)};
    static const effect::Layout<V> layout{"colorTemperatureFilterItem", false, fields};
    return layout;
}

void ColorTemperatureFilterItem::AddToImageProcessor(HXImageProcessor& processor, double)
{
    processor.SetColorTemperature(m_values.temperatureShift);
}

// Colour balance -----------------------------------------------------------------------------

ColorBalanceFilterItem::ColorBalanceFilterItem() : EffectItem(true, false, {}) {}

ColorBalanceFilterItem::ColorBalanceFilterItem(double red, double green, double blue)
    : EffectItem(true, false, {red, green, blue})
{
}

const Layout<ColorBalanceValues>& ColorBalanceFilterItem::Layout()
{
    using V = ColorBalanceValues;
    static const Field<V> fields[] = {Double("red", &V::red), Double("green", &V::green), Double("blue", &V::blue)};
    static const effect::Layout<V> layout{"colorBalanceFilterItem", false, fields};
    return layout;
}

void ColorBalanceFilterItem::AddToImageProcessor(HXImageProcessor& processor, double)
{
    processor.SetColorBalance(m_values.red, m_values.green, m_values.blue);
}

// Hue colourise and hue shift ----------------------------------------------------------------

namespace {
std::span<const Field<HueValues>> HueFields()
{
    using V = HueValues;
    static const Field<V> fields[] = {Double("hue", &V::hue), Double("strength", &V::strength)};
    return fields;
}
} // namespace

HueColorizeFilterItem::HueColorizeFilterItem() : HueFilterItem(true, false, {}) {}

HueColorizeFilterItem::HueColorizeFilterItem(double hue, double strength) : HueFilterItem(true, false, {hue, strength})
{
}

const Layout<HueValues>& HueColorizeFilterItem::Layout()
{
    static const effect::Layout<HueValues> layout{"hueColorizeFilterItem", false, HueFields()};
    return layout;
}

void HueColorizeFilterItem::AddToImageProcessor(HXImageProcessor& processor, double)
{
    processor.SetHueColorize(m_values.hue, m_values.strength);
}

HueShiftFilterItem::HueShiftFilterItem() : HueFilterItem(true, false, {}) {}

HueShiftFilterItem::HueShiftFilterItem(double hue, double strength) : HueFilterItem(true, false, {hue, strength}) {}

const Layout<HueValues>& HueShiftFilterItem::Layout()
{
    static const effect::Layout<HueValues> layout{"hueShiftFilterItem", false, HueFields()};
    return layout;
}

void HueShiftFilterItem::AddToImageProcessor(HXImageProcessor& processor, double)
{
    processor.SetHueShift(m_values.hue, m_values.strength);
}

// Transparency -------------------------------------------------------------------------------

TransparencyFilterItem::TransparencyFilterItem() : EffectItem(true, false, {}) {}

TransparencyFilterItem::TransparencyFilterItem(double transparency) : EffectItem(true, false, {transparency}) {}

const Layout<TransparencyValues>& TransparencyFilterItem::Layout()
{
    using V = TransparencyValues;
    static const Field<V> fields[] = {Double("transparency", &V::transparency)};
    static const effect::Layout<V> layout{"transparencyFilterItem", false, fields};
    return layout;
}

void TransparencyFilterItem::AddToImageProcessor(HXImageProcessor& processor, double)
{
    processor.SetOpacity(1.0 - m_values.transparency);
}

// Blur ---------------------------------------------------------------------------------------

BlurFilterItem::BlurFilterItem() : EffectItem(true, false, {}) {}

BlurFilterItem::BlurFilterItem(double radius) : EffectItem(true, false, {radius}) {}

const Layout<BlurValues>& BlurFilterItem::Layout()
{
    using V = BlurValues;
    static const Field<V> fields[] = {Double("blur", &V::radius)};
    static const effect::Layout<V> layout{"blurFilterItem", false, fields};
    return layout;
}

void BlurFilterItem::AddToImageProcessor(HXImageProcessor& processor, double scale)
{
    processor.SetStackBlur(ToRadius(m_values.radius * scale), true, true, HXChannelsColorAndAlpha);
}

// Mirror -------------------------------------------------------------------------------------

MirrorFilterItem::MirrorFilterItem() : EffectItem(true, false, {}) {}

MirrorFilterItem::MirrorFilterItem(bool horizontal, bool vertical) : EffectItem(true, false, {horizontal, vertical}) {}

const Layout<MirrorValues>& MirrorFilterItem::Layout()
{
    using V = MirrorValues;
    static const Field<V> fields[] = {Bool("horizontal", &V::horizontal), Bool("vertical", &V::vertical)};
    static const effect::Layout<V> layout{"mirrorFilterItem", true, fields};
    return layout;
}

void MirrorFilterItem::AddToImageProcessor(HXImageProcessor& processor, double)
{
    processor.SetMirror(m_values.horizontal, m_values.vertical);
}

// Sharpen ------------------------------------------------------------------------------------

SharpenFilterItem::SharpenFilterItem() : EffectItem(true, false, {}) {}

SharpenFilterItem::SharpenFilterItem(int blur, double sharpness, double threshold)
    : EffectItem(true, false, {blur, sharpness, threshold})
{
}

const Layout<SharpenValues>& SharpenFilterItem::Layout()
{
    using V = SharpenValues;
    static const Field<V> fields[] = {
        Int("blur", &V::blur),
        Double("sharpness", &V::sharpness),
        Double("threshold", &V::threshold),
    };
    static const effect::Layout<V> layout{"sharpenFilterItem", false, fields};
    return layout;
}

void SharpenFilterItem::AddToImageProcessor(HXImageProcessor& processor, double scale)
{
    processor.SetSharpen(m_values.blur, m_values.sharpness, m_values.threshold, scale);
}

// Silhouette ---------------------------------------------------------------------------------

SilhouetteFilterItem::SilhouetteFilterItem() : EffectItem(false, true, {}) {}

SilhouetteFilterItem::SilhouetteFilterItem(const QColor& color) : EffectItem(true, false, {color}) {}

const Layout<SilhouetteValues>& SilhouetteFilterItem::Layout()
{
    using V = SilhouetteValues;
    static const Field<V> fields[] = {
        effect::Color("color", &V::color, "Silhouette color element is missing", "Invalid silhouette color"),
    };
    static const effect::Layout<V> layout{"silhouetteFilterItem", false, fields};
    return layout;
}

void SilhouetteFilterItem::AddToImageProcessor(HXImageProcessor& processor, double)
{
    processor.SetSilhouette(ToPixel(m_values.color));
}

// Shadow cast --------------------------------------------------------------------------------

ShadowCastFilterItem::ShadowCastFilterItem() : EffectItem(false, true, {}) {}

ShadowCastFilterItem::ShadowCastFilterItem(HXShadowCastShape shape, unsigned int blur, double transparency,
                                           const QColor& color, HXBlendMode blendMode)
    : EffectItem(true, false, {{}, shape, blur, transparency, blendMode, color})
{
}

const Layout<ShadowCastValues>& ShadowCastFilterItem::Layout()
{
    using V = ShadowCastValues;
    static const Field<V> fields[] = {
        Quad("shadowQuad", &V::shadowQuad, "Shadow Cast quad element is missing"),
        LenientInt("shape", &V::shape, &Zero),
        UInt("blur", &V::blur),
        Double("transparency", &V::transparency),
        Int("blendMode", &V::blendMode),
        effect::Color("color", &V::color, "Shadow Cast color element is missing", "Invalid silhouette color"),
    };
    static const effect::Layout<V> layout{"shadowCastFilterItem", false, fields};
    return layout;
}

void ShadowCastFilterItem::AddToImageProcessor(HXImageProcessor&, double) {}

// Background depth of field ------------------------------------------------------------------

BackgroundDepthOfFieldFilterItem::BackgroundDepthOfFieldFilterItem() : DepthOfFieldItem(false, true, {}) {}

BackgroundDepthOfFieldFilterItem::BackgroundDepthOfFieldFilterItem(HXDepthOfFieldType type, const QPointF& origin,
                                                                   double angle, unsigned int blur, double spread,
                                                                   double range, double transparency)
    : DepthOfFieldItem(true, false, {type, origin, angle, blur, spread, range, transparency})
{
}

const Layout<DepthOfFieldValues>& BackgroundDepthOfFieldFilterItem::Layout()
{
    static const effect::Layout<DepthOfFieldValues> layout{"backgroundDepthOfFieldFilterItem", false,
                                                           DepthOfFieldFields()};
    return layout;
}

void BackgroundDepthOfFieldFilterItem::AddToImageProcessor(HXImageProcessor&, double) {}

// Defocus ------------------------------------------------------------------------------------

DefocusFilterItem::DefocusFilterItem() : EffectItem(true, true, {}) {}

DefocusFilterItem::DefocusFilterItem(unsigned int blur, double bloom) : EffectItem(true, true, {blur, bloom}) {}

const Layout<DefocusValues>& DefocusFilterItem::Layout()
{
    using V = DefocusValues;
    static const Field<V> fields[] = {UInt("blur", &V::blur), Double("bloom", &V::bloom)};
    static const effect::Layout<V> layout{"defocusFilterItem", false, fields};
    return layout;
}

void DefocusFilterItem::AddToImageProcessor(HXImageProcessor& processor, double scale)
{
    processor.SetDefocus(m_values.blur, m_values.bloom, scale);
}

// Diffuse ------------------------------------------------------------------------------------

DiffuseFilterItem::DiffuseFilterItem() : EffectItem(true, true, {}) {}

DiffuseFilterItem::DiffuseFilterItem(unsigned int blur, double opacity) : EffectItem(true, true, {blur, opacity}) {}

const Layout<DiffuseValues>& DiffuseFilterItem::Layout()
{
    using V = DiffuseValues;
    static const Field<V> fields[] = {UInt("blur", &V::blur), Double("opacity", &V::opacity)};
    static const effect::Layout<V> layout{"diffuseFilterItem", false, fields};
    return layout;
}

void DiffuseFilterItem::AddToImageProcessor(HXImageProcessor& processor, double scale)
{
    processor.SetDiffuse(m_values.blur, m_values.opacity, scale);
}

// Factory ------------------------------------------------------------------------------------

std::shared_ptr<AbstractFilterItem> CreateFilterItem(const QString& elementName)
{
    return CreateByElementName<AbstractFilterItem, TransparencyFilterItem, BrightnessFilterItem, ContrastFilterItem,
                               SaturationFilterItem, SuperContrastFilterItem, ColorTemperatureFilterItem,
                               ColorBalanceFilterItem, HueColorizeFilterItem, HueShiftFilterItem, BlurFilterItem,
                               MirrorFilterItem, SharpenFilterItem, SilhouetteFilterItem, ShadowCastFilterItem,
                               BackgroundDepthOfFieldFilterItem, DefocusFilterItem, DiffuseFilterItem>(elementName);
}

} // namespace lumo::app
