#pragma once

#include "AppExport.h"
#include "RenderItems.h"

#include "hvn/image/HXTypes.h"
#include "hvn/maths/HXGeometry.h"

#include <QColor>
#include <QDomElement>
#include <QPointF>
#include <QString>
#include <QXmlStreamWriter>

#include <limits>
#include <memory>
#include <span>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace lumo::app {

// The pattern every filter, key and composite item follows. An item keeps its parameters in a
// plain values struct; a table of fields over that struct says, in file order, which child holds
// each value and how it is checked, so reading and writing are written once for all items.
namespace effect {

// How one child of an item's element is read and written.
struct FieldRule {
    const char* name = nullptr;
    // Int children: the accepted values and the message of a value outside them.
    int min = std::numeric_limits<int>::min();
    int max = std::numeric_limits<int>::max();
    const char* invalid = nullptr;
    // Lenient int children: the value taken instead of a missing, unreadable or refused one.
    int (*fallback)(const QDomElement& itemElement) = nullptr;
    // Int children checked and stored only after every other child has been read.
    bool checkLast = false;
    // Colour, quad and origin elements: the message when the element is missing (colours use
    // `invalid` for a component outside 0..255).
    const char* missing = nullptr;
};

template <class Values>
struct Field {
    using Member = std::variant<double Values::*, int Values::*, unsigned int Values::*, bool Values::*,
                                QColor Values::*, hvn::maths::HXQuadF Values::*, QPointF Values::*>;
    FieldRule rule;
    Member member;
};

template <class Values>
struct Layout {
    const char* elementName;
    bool enabledFirst; // the `enabled` attribute is read before `collapsed`
    std::span<const Field<Values>> fields;
};

// Table entries.
template <class V>
constexpr Field<V> Double(const char* name, double V::*member)
{
    return {{.name = name}, member};
}
template <class V>
constexpr Field<V> UInt(const char* name, unsigned int V::*member)
{
    return {{.name = name}, member};
}
template <class V>
constexpr Field<V> Bool(const char* name, bool V::*member)
{
    return {{.name = name}, member};
}
template <class V>
constexpr Field<V> Int(const char* name, int V::*member)
{
    return {{.name = name}, member};
}
template <class V>
constexpr Field<V> Int(const char* name, int V::*member, int min, int max, const char* invalid)
{
    return {{.name = name, .min = min, .max = max, .invalid = invalid}, member};
}
template <class V>
constexpr Field<V> LenientInt(const char* name, int V::*member, int (*fallback)(const QDomElement&),
                              int min = std::numeric_limits<int>::min(), int max = std::numeric_limits<int>::max())
{
    return {{.name = name, .min = min, .max = max, .fallback = fallback}, member};
}
// An int child whose check waits until every other child has been read.
template <class V>
constexpr Field<V> CheckedLast(Field<V> field)
{
    field.rule.checkLast = true;
    return field;
}
template <class V>
constexpr Field<V> Color(const char* name, QColor V::*member, const char* missing, const char* invalid)
{
    return {{.name = name, .invalid = invalid, .missing = missing}, member};
}
template <class V>
constexpr Field<V> Quad(const char* name, hvn::maths::HXQuadF V::*member, const char* missing)
{
    return {{.name = name, .missing = missing}, member};
}
template <class V>
constexpr Field<V> Point(const char* name, QPointF V::*member, const char* missing)
{
    return {{.name = name, .missing = missing}, member};
}

// The value readers and writers behind the tables; readers raise XmlException.
APP_EXPORT int ReadInt(const QDomElement& element, const FieldRule& rule);
APP_EXPORT int CheckInt(const QDomElement& element, const FieldRule& rule, int value);
APP_EXPORT void Read(const QDomElement& element, const FieldRule& rule, double& value);
APP_EXPORT void Read(const QDomElement& element, const FieldRule& rule, unsigned int& value);
APP_EXPORT void Read(const QDomElement& element, const FieldRule& rule, bool& value);
APP_EXPORT void Read(const QDomElement& element, const FieldRule& rule, QColor& value);
APP_EXPORT void Read(const QDomElement& element, const FieldRule& rule, hvn::maths::HXQuadF& value);
APP_EXPORT void Read(const QDomElement& element, const FieldRule& rule, QPointF& value);
APP_EXPORT void Write(QXmlStreamWriter& writer, const FieldRule& rule, double value);
APP_EXPORT void Write(QXmlStreamWriter& writer, const FieldRule& rule, int value);
APP_EXPORT void Write(QXmlStreamWriter& writer, const FieldRule& rule, unsigned int value);
APP_EXPORT void Write(QXmlStreamWriter& writer, const FieldRule& rule, bool value);
APP_EXPORT void Write(QXmlStreamWriter& writer, const FieldRule& rule, const QColor& value);
APP_EXPORT void Write(QXmlStreamWriter& writer, const FieldRule& rule, const hvn::maths::HXQuadF& value);
APP_EXPORT void Write(QXmlStreamWriter& writer, const FieldRule& rule, const QPointF& value);

// A radius for the engine: truncated toward zero; negative or NaN gives 0, never a wrapped value.
APP_EXPORT unsigned int ToRadius(double value);
APP_EXPORT hvn::image::HXPixel8_RGB ToPixel(const QColor& color);

// Zero for a lenient child that is missing or refused.
inline int Zero(const QDomElement&)
{
    return 0;
}

// A new default item of the first of Items whose element is elementName; null when none is.
template <class Family, class... Items>
std::shared_ptr<Family> CreateByElementName(const QString& elementName)
{
    std::shared_ptr<Family> item;
    (void)((elementName == QLatin1String(Items::Layout().elementName) && (item = std::make_shared<Items>())) || ...);
    return item;
}

} // namespace effect

// RenderItem plus the item's values and the table-driven reading and writing. Derived provides
// `static const effect::Layout<Values>& Layout()`.
template <class Family, class Derived, class Values>
class EffectItem : public RenderItem<Family, Derived> {
public:
    // Reads the item from its element, storing each value as it is read; raises XmlException
    // with the code and message of the first failure. LoadFromXml returns the code alone.
    void ReadXml(const QDomElement& element);

protected:
    EffectItem(bool enabled, bool collapsed, const Values& values)
        : RenderItem<Family, Derived>(enabled, collapsed, true), m_values(values)
    {
    }
    EffectItem(const EffectItem&) = default;
    EffectItem& operator=(const EffectItem&) = default;

    Values m_values;

private:
    LMerr LoadFromXml(QDomElement& element) override
    {
        return CatchXml([&] { ReadXml(element); });
    }
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;
};

template <class Family, class Derived, class Values>
void EffectItem<Family, Derived, Values>::ReadXml(const QDomElement& element)
{
    using Base = RenderItem<Family, Derived>;
    const effect::Layout<Values>& layout = Derived::Layout();
    this->ReadFlags(element, layout.enabledFirst ? Base::FlagOrder::EnabledFirst : Base::FlagOrder::CollapsedFirst);
    std::vector<std::pair<const effect::Field<Values>*, int>> checkedLast;
    for (const effect::Field<Values>& field : layout.fields) {
        std::visit(
            [&](auto member) {
                auto& target = m_values.*member;
                if constexpr (std::is_same_v<std::remove_reference_t<decltype(target)>, int>) {
                    const int value = effect::ReadInt(element, field.rule);
                    if (field.rule.checkLast)
                        checkedLast.emplace_back(&field, value);
                    else
                        target = effect::CheckInt(element, field.rule, value);
                } else {
                    effect::Read(element, field.rule, target);
                }
            },
            field.member);
    }
    for (const auto& [field, value] : checkedLast)
        m_values.*std::get<int Values::*>(field->member) = effect::CheckInt(element, field->rule, value);
}

template <class Family, class Derived, class Values>
LMerr EffectItem<Family, Derived, Values>::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        const effect::Layout<Values>& layout = Derived::Layout();
        this->WriteStartAndFlags(writer, QString::fromLatin1(layout.elementName));
        for (const effect::Field<Values>& field : layout.fields)
            std::visit([&](auto member) { effect::Write(writer, field.rule, m_values.*member); }, field.member);
        writer.writeEndElement();
    });
}

// ---------------------------------------------------------------------------------------------
// Filter items. Enumerations are held as int, as stored.

struct BrightnessValues {
    double brightness = 0.0;
    int colorOrAlpha = hvn::image::HXChannelsColor;
};

class APP_EXPORT BrightnessFilterItem final
    : public EffectItem<AbstractFilterItem, BrightnessFilterItem, BrightnessValues> {
public:
    BrightnessFilterItem();
    BrightnessFilterItem(double brightness, hvn::image::HXChannelsToProcess colorOrAlpha);
    static const effect::Layout<BrightnessValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeBrightness; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;

    double Brightness() const { return m_values.brightness; }
    void SetBrightness(double value) { m_values.brightness = value; }
    hvn::image::HXChannelsToProcess ColorOrAlpha() const
    {
        return static_cast<hvn::image::HXChannelsToProcess>(m_values.colorOrAlpha);
    }
    void SetColorOrAlpha(hvn::image::HXChannelsToProcess value) { m_values.colorOrAlpha = value; }
};

struct ContrastValues {
    double contrast = 1.0;
};

class APP_EXPORT ContrastFilterItem final : public EffectItem<AbstractFilterItem, ContrastFilterItem, ContrastValues> {
public:
    ContrastFilterItem();
    explicit ContrastFilterItem(double contrast);
    static const effect::Layout<ContrastValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeContrast; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;

    double Contrast() const { return m_values.contrast; }
    void SetContrast(double value) { m_values.contrast = value; }
};

struct SaturationValues {
    double saturation = 0.0;
};

class APP_EXPORT SaturationFilterItem final
    : public EffectItem<AbstractFilterItem, SaturationFilterItem, SaturationValues> {
public:
    SaturationFilterItem();
    explicit SaturationFilterItem(double saturation);
    static const effect::Layout<SaturationValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeSaturation; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;

    double Saturation() const { return m_values.saturation; }
    void SetSaturation(double value) { m_values.saturation = value; }
};

struct SuperContrastValues {
    double blackLevel = 0.0;
    double whiteLevel = 1.0;
    int colorOrAlpha = hvn::image::HXChannelsColor;
};

class APP_EXPORT SuperContrastFilterItem final
    : public EffectItem<AbstractFilterItem, SuperContrastFilterItem, SuperContrastValues> {
public:
    SuperContrastFilterItem();
    SuperContrastFilterItem(double blackLevel, double whiteLevel, hvn::image::HXChannelsToProcess colorOrAlpha);
    static const effect::Layout<SuperContrastValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeSuperContrast; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;

    double BlackLevel() const { return m_values.blackLevel; }
    void SetBlackLevel(double value) { m_values.blackLevel = value; }
    double WhiteLevel() const { return m_values.whiteLevel; }
    void SetWhiteLevel(double value) { m_values.whiteLevel = value; }
    hvn::image::HXChannelsToProcess ColorOrAlpha() const
    {
        return static_cast<hvn::image::HXChannelsToProcess>(m_values.colorOrAlpha);
    }
    void SetColorOrAlpha(hvn::image::HXChannelsToProcess value) { m_values.colorOrAlpha = value; }
};

struct ColorTemperatureValues {
    double temperatureShift = 6500.0;
};

class APP_EXPORT ColorTemperatureFilterItem final
    : public EffectItem<AbstractFilterItem, ColorTemperatureFilterItem, ColorTemperatureValues> {
public:
    ColorTemperatureFilterItem();
    explicit ColorTemperatureFilterItem(double temperatureShift);
    static const effect::Layout<ColorTemperatureValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeColorTemperature; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;

    double TemperatureShift() const { return m_values.temperatureShift; }
    void SetTemperatureShift(double value) { m_values.temperatureShift = value; }
};

struct ColorBalanceValues {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
};

class APP_EXPORT ColorBalanceFilterItem final
    : public EffectItem<AbstractFilterItem, ColorBalanceFilterItem, ColorBalanceValues> {
public:
    ColorBalanceFilterItem();
    ColorBalanceFilterItem(double red, double green, double blue);
    static const effect::Layout<ColorBalanceValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeColorBalance; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;

    double Red() const { return m_values.red; }
    void SetRed(double value) { m_values.red = value; }
    double Green() const { return m_values.green; }
    void SetGreen(double value) { m_values.green = value; }
    double Blue() const { return m_values.blue; }
    void SetBlue(double value) { m_values.blue = value; }
};

// Hue colourise and hue shift share their values and accessors and differ in the engine call.
struct HueValues {
    double hue = 0.0;
    double strength = 0.0;
};

template <class Derived>
class HueFilterItem : public EffectItem<AbstractFilterItem, Derived, HueValues> {
public:
    double Hue() const { return this->m_values.hue; }
    void SetHue(double value) { this->m_values.hue = value; }
    double Strength() const { return this->m_values.strength; }
    void SetStrength(double value) { this->m_values.strength = value; }

protected:
    using EffectItem<AbstractFilterItem, Derived, HueValues>::EffectItem;
};

class APP_EXPORT HueColorizeFilterItem final : public HueFilterItem<HueColorizeFilterItem> {
public:
    HueColorizeFilterItem();
    HueColorizeFilterItem(double hue, double strength);
    static const effect::Layout<HueValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeHueColorize; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;
};

class APP_EXPORT HueShiftFilterItem final : public HueFilterItem<HueShiftFilterItem> {
public:
    HueShiftFilterItem();
    HueShiftFilterItem(double hue, double strength);
    static const effect::Layout<HueValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeHueShift; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;
};

struct TransparencyValues {
    double transparency = 0.0;
};

class APP_EXPORT TransparencyFilterItem final
    : public EffectItem<AbstractFilterItem, TransparencyFilterItem, TransparencyValues> {
public:
    TransparencyFilterItem();
    explicit TransparencyFilterItem(double transparency);
    static const effect::Layout<TransparencyValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeTransparency; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;

    double Transparency() const { return m_values.transparency; }
    void SetTransparency(double value) { m_values.transparency = value; }
};

struct BlurValues {
    double radius = 0.0;
};

class APP_EXPORT BlurFilterItem final : public EffectItem<AbstractFilterItem, BlurFilterItem, BlurValues> {
public:
    BlurFilterItem();
    explicit BlurFilterItem(double radius);
    static const effect::Layout<BlurValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeBlur; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;

    double Radius() const { return m_values.radius; }
    void SetRadius(double value) { m_values.radius = value; }
};

struct MirrorValues {
    bool horizontal = false;
    bool vertical = false;
};

class APP_EXPORT MirrorFilterItem final : public EffectItem<AbstractFilterItem, MirrorFilterItem, MirrorValues> {
public:
    MirrorFilterItem();
    MirrorFilterItem(bool horizontal, bool vertical);
    static const effect::Layout<MirrorValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeMirror; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;

    bool Horizontal() const { return m_values.horizontal; }
    void SetHorizontal(bool value) { m_values.horizontal = value; }
    bool Vertical() const { return m_values.vertical; }
    void SetVertical(bool value) { m_values.vertical = value; }
};

struct SharpenValues {
    int blur = 40;
    double sharpness = 0.4;
    double threshold = 0.0;
};

class APP_EXPORT SharpenFilterItem final : public EffectItem<AbstractFilterItem, SharpenFilterItem, SharpenValues> {
public:
    SharpenFilterItem();
    SharpenFilterItem(int blur, double sharpness, double threshold);
    static const effect::Layout<SharpenValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeSharpen; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;

    int Blur() const { return m_values.blur; }
    void SetBlur(int value) { m_values.blur = value; }
    double Sharpness() const { return m_values.sharpness; }
    void SetSharpness(double value) { m_values.sharpness = value; }
    double Threshold() const { return m_values.threshold; }
    void SetThreshold(double value) { m_values.threshold = value; }
};

struct SilhouetteValues {
    QColor color = QColor(0, 0, 0, 255);
};

class APP_EXPORT SilhouetteFilterItem final
    : public EffectItem<AbstractFilterItem, SilhouetteFilterItem, SilhouetteValues> {
public:
    SilhouetteFilterItem();
    explicit SilhouetteFilterItem(const QColor& color);
    static const effect::Layout<SilhouetteValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeSilhouette; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;

    const QColor& Color() const { return m_values.color; }
    void SetColor(const QColor& value) { m_values.color = value; }
};

struct ShadowCastValues {
    hvn::maths::HXQuadF shadowQuad;
    int shape = hvn::image::HXShadowCastShapeRight;
    unsigned int blur = 20;
    double transparency = 0.0;
    int blendMode = hvn::image::HXBlendModeNormal;
    QColor color = QColor(0, 0, 0, 255);
};

// Applied by the render pipeline from the accessors: queues nothing itself.
class APP_EXPORT ShadowCastFilterItem final
    : public EffectItem<AbstractFilterItem, ShadowCastFilterItem, ShadowCastValues> {
public:
    ShadowCastFilterItem();
    ShadowCastFilterItem(hvn::image::HXShadowCastShape shape, unsigned int blur, double transparency,
                         const QColor& color, hvn::image::HXBlendMode blendMode);
    static const effect::Layout<ShadowCastValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeShadowCast; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;

    const hvn::maths::HXQuadF& ShadowQuad() const { return m_values.shadowQuad; }
    void SetShadowQuad(const hvn::maths::HXQuadF& value) { m_values.shadowQuad = value; }
    hvn::image::HXShadowCastShape Shape() const { return static_cast<hvn::image::HXShadowCastShape>(m_values.shape); }
    void SetShape(hvn::image::HXShadowCastShape value) { m_values.shape = value; }
    unsigned int Blur() const { return m_values.blur; }
    void SetBlur(unsigned int value) { m_values.blur = value; }
    double Transparency() const { return m_values.transparency; }
    void SetTransparency(double value) { m_values.transparency = value; }
    hvn::image::HXBlendMode BlendMode() const { return static_cast<hvn::image::HXBlendMode>(m_values.blendMode); }
    void SetBlendMode(hvn::image::HXBlendMode value) { m_values.blendMode = value; }
    const QColor& Color() const { return m_values.color; }
    void SetColor(const QColor& value) { m_values.color = value; }
};

// The depth of field of the background (a filter) and of the composite share their values and
// their reader.
struct DepthOfFieldValues {
    int type = hvn::image::HXDepthOfFieldLinear;
    QPointF origin = QPointF(0.5, 0.5);
    double angle = 90.0;
    unsigned int blur = 20;
    double spread = 0.0;
    double range = 0.5;
    double transparency = 0.0;
};

namespace effect {
APP_EXPORT std::span<const Field<DepthOfFieldValues>> DepthOfFieldFields();
}

// Both depth-of-field items: the values, the accessors and the reader are the same.
template <class Family, class Derived>
class DepthOfFieldItem : public EffectItem<Family, Derived, DepthOfFieldValues> {
public:
    hvn::image::HXDepthOfFieldType DOFType() const
    {
        return static_cast<hvn::image::HXDepthOfFieldType>(this->m_values.type);
    }
    void SetDOFType(hvn::image::HXDepthOfFieldType value) { this->m_values.type = value; }
    const QPointF& Origin() const { return this->m_values.origin; }
    void SetOrigin(const QPointF& value) { this->m_values.origin = value; }
    double Angle() const { return this->m_values.angle; }
    void SetAngle(double value) { this->m_values.angle = value; }
    unsigned int Blur() const { return this->m_values.blur; }
    void SetBlur(unsigned int value) { this->m_values.blur = value; }
    double Spread() const { return this->m_values.spread; }
    void SetSpread(double value) { this->m_values.spread = value; }
    double Range() const { return this->m_values.range; }
    void SetRange(double value) { this->m_values.range = value; }
    double Transparency() const { return this->m_values.transparency; }
    void SetTransparency(double value) { this->m_values.transparency = value; }

protected:
    using EffectItem<Family, Derived, DepthOfFieldValues>::EffectItem;
};

// Applied by the render pipeline from the accessors: queues nothing itself.
class APP_EXPORT BackgroundDepthOfFieldFilterItem final
    : public DepthOfFieldItem<AbstractFilterItem, BackgroundDepthOfFieldFilterItem> {
public:
    BackgroundDepthOfFieldFilterItem();
    BackgroundDepthOfFieldFilterItem(hvn::image::HXDepthOfFieldType type, const QPointF& origin, double angle,
                                     unsigned int blur, double spread, double range, double transparency);
    static const effect::Layout<DepthOfFieldValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeBackgroundDepthOfField; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;
};

struct DefocusValues {
    unsigned int blur = 0;
    double bloom = 0.0;
};

class APP_EXPORT DefocusFilterItem final : public EffectItem<AbstractFilterItem, DefocusFilterItem, DefocusValues> {
public:
    DefocusFilterItem();
    DefocusFilterItem(unsigned int blur, double bloom);
    static const effect::Layout<DefocusValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeDefocus; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;

    unsigned int Blur() const { return m_values.blur; }
    void SetBlur(unsigned int value) { m_values.blur = value; }
    double Bloom() const { return m_values.bloom; }
    void SetBloom(double value) { m_values.bloom = value; }
};

struct DiffuseValues {
    unsigned int blur = 0;
    double opacity = 0.0;
};

class APP_EXPORT DiffuseFilterItem final : public EffectItem<AbstractFilterItem, DiffuseFilterItem, DiffuseValues> {
public:
    DiffuseFilterItem();
    DiffuseFilterItem(unsigned int blur, double opacity);
    static const effect::Layout<DiffuseValues>& Layout();

    FilterItemType Type() const override { return FilterItemTypeDiffuse; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) override;

    unsigned int Blur() const { return m_values.blur; }
    void SetBlur(unsigned int value) { m_values.blur = value; }
    double Opacity() const { return m_values.opacity; }
    void SetOpacity(double value) { m_values.opacity = value; }
};

} // namespace lumo::app
