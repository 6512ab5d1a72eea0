#include "LegacyProjectConverter.h"

#include "CompositeItems.h"
#include "FilterItems.h"
#include "ItemLists.h"
#include "KeyItems.h"
#include "LayerManager.h"
#include "Mask.h"
#include "Project.h"
#include "ProjectFile.h"
#include "TextItem.h"
#include "TransformItems.h"

#include <QDir>
#include <QDomDocument>
#include <QDomElement>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cmath>
#include <limits>
#include <new>
#include <optional>
#include <type_traits>

namespace lumo::app {

using namespace hvn::image;

namespace {

const QString kTemporaryTemplate = QStringLiteral("%1/LM4_XXXXXX.%2");
const QString kProjectExtension = QStringLiteral("lumo4");
const QString kConverterVersion = QStringLiteral("4.0.0000");
const QString kConvertedFileFormat = QStringLiteral("4.0");

// Which picture an old depth of field blurs.
constexpr int kLegacyDepthOfFieldBackground = 0;
constexpr int kLegacyDepthOfFieldComposite = 1;

QDomElement Child(const QDomElement& parent, const char* name)
{
    return parent.firstChildElement(QString::fromLatin1(name));
}

// The text of the named child; nothing when there is no such child.
std::optional<QString> LegacyText(const QDomElement& parent, const QString& name)
{
    const QDomElement child = parent.firstChildElement(name);
    if (child.isNull())
        return std::nullopt;
    return child.text();
}

template <class T, class Convert>
T ReadLegacyNumber(const QDomElement& parent, const QString& name, T fallback, Convert convert)
{
    const std::optional<QString> text = LegacyText(parent, name);
    if (!text)
        return fallback;
    bool ok = false;
    const T value = convert(*text, &ok);
    if constexpr (std::is_floating_point_v<T>)
        ok = ok && std::isfinite(value);
    return ok ? value : fallback;
}

// An old attribute flag: "1" when the attribute (or the element) is absent, otherwise true when
// its integer value is non-zero (text that does not convert counts as 0).
bool ReadLegacyAttributeFlag(const QDomElement& element, const char* name)
{
    const QString attribute = QString::fromLatin1(name);
    if (!element.hasAttribute(attribute))
        return true;
    return element.attribute(attribute).toInt() != 0;
}

// An old enumeration. A number the 4.0 reader would refuse, and with it the whole project, keeps
// the value the new project already has.
template <class Enum>
Enum ReadLegacyEnum(const QDomElement& parent, const char* name, Enum fallback, int low, int high)
{
    const int value = ReadLegacyTagInt(parent, QString::fromLatin1(name), fallback);
    return static_cast<Enum>(value >= low && value <= high ? value : static_cast<int>(fallback));
}

bool ReadLegacyTagFlag(const QDomElement& parent, const char* name, bool fallback)
{
    return ReadLegacyTagInt(parent, QString::fromLatin1(name), fallback ? 1 : 0) != 0;
}

// An opaque colour from the `red`, `green` and `blue` attributes of the named child; a channel
// that is missing or outside 0 to 255 keeps the fallback's.
QColor ReadLegacyColor(const QDomElement& parent, const char* child, const QColor& fallback)
{
    const QString name = QString::fromLatin1(child);
    const auto channel = [&](const char* attribute, int current) {
        const int value = ReadLegacyChildAttributeInt(parent, name, QString::fromLatin1(attribute), current);
        return value >= 0 && value <= 255 ? value : current;
    };
    return QColor(channel("red", fallback.red()), channel("green", fallback.green()), channel("blue", fallback.blue()),
                  255);
}

// Writes an old item onto the new list's item of the same type: flags, then its values. An old
// item that is absent leaves the new one as the default project has it; one whose type the new
// list lacks is dropped.
template <class Item, class List, class Type, class Convert>
void ConvertLegacyItem(const QDomElement& old, const List& list, Type type, Convert convert)
{
    if (old.isNull())
        return;
    const std::shared_ptr<Item> item = FindItemOfType<Item>(list, type);
    if (!item)
        return;
    ReadLegacyItemFlags(old, *item);
    convert(old, *item);
}

// The old composite list's depth of field when it blurs the given picture; null otherwise.
QDomElement LegacyDepthOfField(const QDomElement& settings, int source)
{
    const QDomElement old = Child(Child(settings, "compositeList"), "depthOfFieldCompositeItem");
    if (old.isNull() || ReadLegacyTagInt(old, QStringLiteral("source")) != source)
        return QDomElement();
    return old;
}

template <class Item>
void ReadLegacyDepthOfFieldValues(const QDomElement& old, Item& item)
{
    item.SetDOFType(static_cast<HXDepthOfFieldType>(ReadLegacyTagInt(old, QStringLiteral("type"), item.DOFType())));
    item.SetAngle(ReadLegacyTagDouble(old, QStringLiteral("angle"), item.Angle()));
    item.SetBlur(ReadLegacyTagUInt(old, QStringLiteral("blur"), item.Blur()));
    item.SetSpread(ReadLegacyTagDouble(old, QStringLiteral("spread"), item.Spread()));
    item.SetRange(ReadLegacyTagDouble(old, QStringLiteral("range"), item.Range()));
    item.SetTransparency(ReadLegacyTagDouble(old, QStringLiteral("transparency"), item.Transparency()));
    const QDomElement origin = Child(old, "origin");
    item.SetOrigin(QPointF(ReadLegacyTagDouble(origin, QStringLiteral("x"), item.Origin().x()),
                           ReadLegacyTagDouble(origin, QStringLiteral("y"), item.Origin().y())));
}

void ConvertLegacyTransformList(const QDomElement& settings, const TransformList& list)
{
    const QDomElement transforms = Child(settings, "transformList");
    // The new item's flags stay: they are the new program's, not the user's.
    const QDomElement transformation = Child(transforms, "transformationTransformItem");
    const auto item = FindItemOfType<TransformationTransformItem>(list, TransformItemTypeTransformation);
    if (!transformation.isNull() && item) {
        item->SetTranslateX(ReadLegacyTagDouble(transformation, QStringLiteral("translateX"), item->TranslateX()));
        item->SetTranslateY(ReadLegacyTagDouble(transformation, QStringLiteral("translateY"), item->TranslateY()));
        item->SetScaleX(ReadLegacyTagDouble(transformation, QStringLiteral("scaleX"), item->ScaleX()));
        item->SetScaleY(ReadLegacyTagDouble(transformation, QStringLiteral("scaleY"), item->ScaleY()));
        item->SetRotation(ReadLegacyTagDouble(transformation, QStringLiteral("rotation"), item->Rotation()));
    }
    ConvertLegacyItem<FitTransformItem>(
        Child(transforms, "fitTransformItem"), list, TransformItemTypeFit,
        [](const QDomElement& old, FitTransformItem& fit) {
            fit.SetFit(ReadLegacyEnum(old, "fit", fit.Fit(), FitToCanvas, FitToNone));
        });
}

template <class Item>
void ReadLegacyHueValues(const QDomElement& old, Item& item)
{
    item.SetHue(ReadLegacyTagDouble(old, QStringLiteral("hue"), item.Hue()));
    item.SetStrength(ReadLegacyTagDouble(old, QStringLiteral("strength"), item.Strength()));
}

void ConvertLegacyFilterList(const QDomElement& settings, const FilterList& list)
{
    const QDomElement filters = Child(settings, "filterList");
    ConvertLegacyItem<BrightnessFilterItem>(
        Child(filters, "brightnessFilterItem"), list, FilterItemTypeBrightness,
        [](const QDomElement& old, BrightnessFilterItem& item) {
            item.SetBrightness(ReadLegacyTagDouble(old, QStringLiteral("brightness"), item.Brightness()));
            item.SetColorOrAlpha(ReadLegacyEnum(old, "colorOrAlpha", item.ColorOrAlpha(), HXChannelsAlpha,
                                                HXChannelsColorAndAlpha));
        });
    ConvertLegacyItem<ContrastFilterItem>(
        Child(filters, "contrastFilterItem"), list, FilterItemTypeContrast,
        [](const QDomElement& old, ContrastFilterItem& item) {
            item.SetContrast(ReadLegacyTagDouble(old, QStringLiteral("contrast"), item.Contrast()));
        });
    ConvertLegacyItem<SaturationFilterItem>(
        Child(filters, "saturationFilterItem"), list, FilterItemTypeSaturation,
        [](const QDomElement& old, SaturationFilterItem& item) {
            item.SetSaturation(ReadLegacyTagDouble(old, QStringLiteral("saturation"), item.Saturation()));
        });
    ConvertLegacyItem<SuperContrastFilterItem>(
        Child(filters, "superContrastFilterItem"), list, FilterItemTypeSuperContrast,
        [](const QDomElement& old, SuperContrastFilterItem& item) {
            item.SetBlackLevel(ReadLegacyTagDouble(old, QStringLiteral("blackLevel"), item.BlackLevel()));
            item.SetWhiteLevel(ReadLegacyTagDouble(old, QStringLiteral("whiteLevel"), item.WhiteLevel()));
            item.SetColorOrAlpha(ReadLegacyEnum(old, "colorOrAlpha", item.ColorOrAlpha(), HXChannelsAlpha,
                                                HXChannelsColorAndAlpha));
        });
    ConvertLegacyItem<ColorTemperatureFilterItem>(
        Child(filters, "colorTemperatureFilterItem"), list, FilterItemTypeColorTemperature,
        [](const QDomElement& old, ColorTemperatureFilterItem& item) {
            item.SetTemperatureShift(
                ReadLegacyTagDouble(old, QStringLiteral("temperatureShift"), item.TemperatureShift()));
        });
    ConvertLegacyItem<ColorBalanceFilterItem>(
        Child(filters, "colorBalanceFilterItem"), list, FilterItemTypeColorBalance,
        [](const QDomElement& old, ColorBalanceFilterItem& item) {
            item.SetRed(ReadLegacyTagDouble(old, QStringLiteral("red"), item.Red()));
            item.SetGreen(ReadLegacyTagDouble(old, QStringLiteral("green"), item.Green()));
            item.SetBlue(ReadLegacyTagDouble(old, QStringLiteral("blue"), item.Blue()));
        });
    ConvertLegacyItem<HueColorizeFilterItem>(Child(filters, "hueColorizeFilterItem"), list, FilterItemTypeHueColorize,
                                             ReadLegacyHueValues<HueColorizeFilterItem>);
    ConvertLegacyItem<HueShiftFilterItem>(Child(filters, "hueShiftFilterItem"), list, FilterItemTypeHueShift,
                                          ReadLegacyHueValues<HueShiftFilterItem>);
    ConvertLegacyItem<SharpenFilterItem>(
        Child(filters, "sharpenFilterItem"), list, FilterItemTypeSharpen,
        [](const QDomElement& old, SharpenFilterItem& item) {
            item.SetBlur(ReadLegacyTagInt(old, QStringLiteral("blur"), item.Blur()));
            item.SetSharpness(ReadLegacyTagDouble(old, QStringLiteral("sharpness"), item.Sharpness()));
            item.SetThreshold(ReadLegacyTagDouble(old, QStringLiteral("threshold"), item.Threshold()));
        });
    ConvertLegacyItem<BlurFilterItem>(
        Child(filters, "blurFilterItem"), list, FilterItemTypeBlur, [](const QDomElement& old, BlurFilterItem& item) {
            item.SetRadius(ReadLegacyTagDouble(old, QStringLiteral("blur"), item.Radius()));
        });

    // The old program kept these filters among its composite effects.
    const QDomElement composites = Child(settings, "compositeList");
    ConvertLegacyItem<TransparencyFilterItem>(
        Child(composites, "flattenCompositeItem"), list, FilterItemTypeTransparency,
        [](const QDomElement& old, TransparencyFilterItem& item) {
            item.SetTransparency(
                ReadLegacyTagDouble(old, QStringLiteral("foregroundTransparency"), item.Transparency()));
        });
    ConvertLegacyItem<SilhouetteFilterItem>(Child(composites, "silhouetteCompositeItem"), list,
                                            FilterItemTypeSilhouette,
                                            [](const QDomElement& old, SilhouetteFilterItem& item) {
                                                item.SetColor(ReadLegacyColor(old, "color", item.Color()));
                                            });
    ConvertLegacyItem<ShadowCastFilterItem>(
        Child(composites, "shadowCastCompositeItem"), list, FilterItemTypeShadowCast,
        [](const QDomElement& old, ShadowCastFilterItem& item) {
            item.SetShape(static_cast<HXShadowCastShape>(ReadLegacyTagInt(old, QStringLiteral("shape"), item.Shape())));
            item.SetBlur(ReadLegacyTagUInt(old, QStringLiteral("blur"), item.Blur()));
            item.SetTransparency(ReadLegacyTagDouble(old, QStringLiteral("transparency"), item.Transparency()));
            item.SetBlendMode(
                static_cast<HXBlendMode>(ReadLegacyTagInt(old, QStringLiteral("blendMode"), item.BlendMode())));
            item.SetColor(ReadLegacyColor(old, "color", item.Color()));
            const QDomElement quad = Child(old, "shadowQuad");
            const hvn::maths::HXQuadF current = item.ShadowQuad();
            const auto corner = [&](const char* x, const char* y, const hvn::maths::HXPoint2F& fallback) {
                return hvn::maths::HXPoint2F(ReadLegacyTagDouble(quad, QString::fromLatin1(x), fallback.x),
                                             ReadLegacyTagDouble(quad, QString::fromLatin1(y), fallback.y));
            };
            item.SetShadowQuad(hvn::maths::HXQuadF(corner("topLeftX", "topLeftY", current.topLeft),
                                                   corner("topRightX", "topRightY", current.topRight),
                                                   corner("bottomRightX", "bottomRightY", current.bottomRight),
                                                   corner("bottomLeftX", "bottomLeftY", current.bottomLeft)));
        });
}

void ConvertLegacyDepthOfField(const QDomElement& settings, const FilterList& list)
{
    ConvertLegacyItem<BackgroundDepthOfFieldFilterItem>(LegacyDepthOfField(settings, kLegacyDepthOfFieldBackground),
                                                        list, FilterItemTypeBackgroundDepthOfField,
                                                        ReadLegacyDepthOfFieldValues<BackgroundDepthOfFieldFilterItem>);
}

void ConvertLegacyKeyList(const QDomElement& settings, const KeyList& list)
{
    const QDomElement keys = Child(settings, "keyList");
    ConvertLegacyItem<YuvBlurKeyItem>(
        Child(keys, "yuvBlurKeyItem"), list, KeyItemTypeYuvBlur, [](const QDomElement& old, YuvBlurKeyItem& item) {
            item.SetRadius(ReadLegacyTagDouble(old, QStringLiteral("blur"), item.Radius()));
            item.SetBlurType(ReadLegacyEnum(old, "blurType", item.BlurType(), HXYUVBlurHorizontal, HXYUVBlurGaussian));
        });
    ConvertLegacyItem<AutoColorDifferenceKeyItem>(
        Child(keys, "autoColorDifferenceKeyItem"), list, KeyItemTypeAutoColorDifference,
        [](const QDomElement& old, AutoColorDifferenceKeyItem& item) {
            item.SetKeyColor(ReadLegacyEnum(old, "keyColor", item.KeyColor(), HXKeyColorAuto, HXKeyColorBlue));
            item.SetKeyDetail(ReadLegacyTagDouble(old, QStringLiteral("keyDetail"), item.KeyDetail()));
            item.SetGreyDetail(ReadLegacyTagDouble(old, QStringLiteral("greyDetail"), item.GreyDetail()));
            item.SetGreyThreshold(ReadLegacyTagDouble(old, QStringLiteral("greyThreshold"), item.GreyThreshold()));
            item.SetAutoKeyColor(
                ReadLegacyEnum(old, "autoKeyColor", item.AutoKeyColor(), HXKeyColorGreen, HXKeyColorBlue));
        });
    ConvertLegacyItem<CropKeyItem>(
        Child(keys, "cropKeyItem"), list, KeyItemTypeCrop, [](const QDomElement& old, CropKeyItem& item) {
            item.SetLeft(ReadLegacyTagDouble(old, QStringLiteral("left"), item.Left()));
            item.SetRight(ReadLegacyTagDouble(old, QStringLiteral("right"), item.Right()));
            item.SetTop(ReadLegacyTagDouble(old, QStringLiteral("top"), item.Top()));
            item.SetBottom(ReadLegacyTagDouble(old, QStringLiteral("bottom"), item.Bottom()));
        });
    // The strengths and the bias are not stored in 4.0 files; they last only until the converted
    // file is read back.
    ConvertLegacyItem<SpillSuppressionKeyItem>(
        Child(keys, "spillSuppressionKeyItem"), list, KeyItemTypeSpillSuppression,
        [](const QDomElement& old, SpillSuppressionKeyItem& item) {
            item.SetSpillType(
                ReadLegacyEnum(old, "spillType", item.SpillType(), HXSpillTypeStandard, HXSpillTypeExtended));
            item.SetOpacity(ReadLegacyTagDouble(old, QStringLiteral("transparency"), item.Opacity()));
            item.SetRedStrength(ReadLegacyTagDouble(old, QStringLiteral("redStrength"), item.RedStrength()));
            item.SetGreenStrength(ReadLegacyTagDouble(old, QStringLiteral("greenStrength"), item.GreenStrength()));
            item.SetBlueStrength(ReadLegacyTagDouble(old, QStringLiteral("blueStrength"), item.BlueStrength()));
            item.SetAdvancedBias(ReadLegacyTagDouble(old, QStringLiteral("advancedBias"), item.AdvancedBias()));
        });
    ConvertLegacyItem<LightSpillKeyItem>(
        Child(Child(settings, "compositeList"), "lightSpillCompositeItem"), list, KeyItemTypeLightSpill,
        [](const QDomElement& old, LightSpillKeyItem& item) {
            item.SetBlur(ReadLegacyTagDouble(old, QStringLiteral("blur"), item.Blur()));
            item.SetBlendMode(ReadLegacyEnum(old, "blendMode", item.BlendMode(), HXBlendModeAdd, HXBlendModeSoftLight));
        });
}

void ConvertLegacyCompositeList(const QDomElement& settings, const CompositeList& list)
{
    const QDomElement composites = Child(settings, "compositeList");
    ConvertLegacyItem<DepthOfFieldCompositeItem>(LegacyDepthOfField(settings, kLegacyDepthOfFieldComposite), list,
                                                 CompositeItemTypeDepthOfField,
                                                 ReadLegacyDepthOfFieldValues<DepthOfFieldCompositeItem>);
    ConvertLegacyItem<SoftFocusCompositeItem>(
        Child(composites, "softFocusCompositeItem"), list, CompositeItemTypeSoftFocus,
        [](const QDomElement& old, SoftFocusCompositeItem& item) {
            item.SetBlendMode(ReadLegacyEnum(old, "blendMode", item.BlendMode(), HXBlendModeAdd, HXBlendModeSoftLight));
            item.SetBlur(ReadLegacyTagUInt(old, QStringLiteral("blur"), item.Blur()));
            item.SetOpacity(ReadLegacyTagDouble(old, QStringLiteral("opacity"), item.Opacity()));
        });
    ConvertLegacyItem<VignetteCompositeItem>(
        Child(composites, "vignetteCompositeItem"), list, CompositeItemTypeVignette,
        [](const QDomElement& old, VignetteCompositeItem& item) {
            item.SetColor(ReadLegacyColor(old, "color", item.Color()));
            item.SetVignetteType(ReadLegacyEnum(old, "type", item.VignetteType(), HXVignetteTypeLight, HXVignetteTypeBold));
            item.SetHorizontalStretch(
                ReadLegacyTagDouble(old, QStringLiteral("horizontalStretch"), item.HorizontalStretch()));
            item.SetVerticalStretch(
                ReadLegacyTagDouble(old, QStringLiteral("verticalStretch"), item.VerticalStretch()));
            item.SetSoftness(ReadLegacyTagDouble(old, QStringLiteral("softness"), item.Softness()));
            item.SetCurvature(ReadLegacyTagDouble(old, QStringLiteral("curvature"), item.Curvature()));
            item.SetOpacity(ReadLegacyTagDouble(old, QStringLiteral("opacity"), item.Opacity()));
        });
    ConvertLegacyItem<TintCompositeItem>(
        Child(composites, "tintCompositeItem"), list, CompositeItemTypeTint,
        [](const QDomElement& old, TintCompositeItem& item) {
            item.SetTintType(ReadLegacyEnum(old, "type", item.TintType(), HXTintBlackAndWhite, HXTintSepia));
            item.SetStrength(ReadLegacyTagDouble(old, QStringLiteral("strength"), item.Strength()));
        });
}

QPointF ReadLegacyPoint(const QDomElement& parent, const char* x, const char* y)
{
    return QPointF(ReadLegacyTagFloat(parent, QString::fromLatin1(x)),
                   ReadLegacyTagFloat(parent, QString::fromLatin1(y)));
}

// Null for a handle type the new program does not know.
MaskHandlePtr ConvertLegacyMaskHandle(const QDomElement& old)
{
    const QPointF position = ReadLegacyPoint(old, "positionX", "positionY");
    switch (ReadLegacyTagInt(old, QStringLiteral("type"))) {
    case MaskHandleTypeNoControl:
        return std::make_shared<MaskHandle>(position);
    case MaskHandleTypeMonoControl:
        return std::make_shared<MonoControlMaskHandle>(position,
                                                       ReadLegacyPoint(old, "controlPositionX", "controlPositionY"));
    case MaskHandleTypeDualControl:
        return std::make_shared<DualControlMaskHandle>(
            position, ReadLegacyPoint(old, "leftControlPositionX", "leftControlPositionY"),
            ReadLegacyPoint(old, "rightControlPositionX", "rightControlPositionY"));
    default:
        return nullptr;
    }
}

void ConvertLegacyMaskList(const QDomElement& settings, MaskList& list)
{
    const QDomElement masks = Child(settings, "maskList");
    list.SetNameSuffix(ReadLegacyTagUInt(masks, QStringLiteral("nameSuffix"), list.NameSuffix()));
    // Kept as read, as the new reader keeps it; the file stores it unsigned.
    list.SetCurrentMaskMode(ReadLegacyEnum(masks, "currentMaskMode", list.CurrentMaskMode(), 0,
                                           std::numeric_limits<int>::max()));

    bool first = true;
    for (QDomElement old = Child(masks, "mask"); !old.isNull(); old = old.nextSiblingElement(QStringLiteral("mask"))) {
        const auto mask = std::make_shared<Mask>();
        mask->SetEnabled(ReadLegacyAttributeFlag(old, "isEnabled"));
        mask->SetClosed(ReadLegacyAttributeFlag(old, "isClosed"));
        mask->SetInverted(ReadLegacyAttributeFlag(old, "isInverted"));
        mask->SetRemove(ReadLegacyAttributeFlag(old, "isRemove"));
        mask->SetMaskName(ReadLegacyTagString(old, QStringLiteral("maskName"), mask->MaskName()));
        mask->SetFeather(ReadLegacyTagInt(old, QStringLiteral("feather"), mask->Feather()));
        mask->SetScale(ReadLegacyTagFloat(old, QStringLiteral("scale"), mask->Scale()));
        mask->SetZoom(ReadLegacyTagFloat(old, QStringLiteral("zoom"), mask->Zoom()));
        const QDomElement handles = Child(old, "handleList");
        for (QDomElement handle = Child(handles, "handle"); !handle.isNull();
             handle = handle.nextSiblingElement(QStringLiteral("handle"))) {
            if (MaskHandlePtr converted = ConvertLegacyMaskHandle(handle))
                mask->Add(std::move(converted));
        }
        if (list.Add(mask) == LMerrSuccess && first) {
            list.SetCurrentlySelectedMask(mask->Id());
            first = false;
        }
    }
}

void ConvertLegacyTextList(const QDomElement& settings, TextList& list)
{
    const QDomElement texts = Child(settings, "textList");
    list.SetNameSuffix(ReadLegacyTagUInt(texts, QStringLiteral("nameSuffix"), list.NameSuffix()));
    for (QDomElement old = Child(texts, "textItem"); !old.isNull();
         old = old.nextSiblingElement(QStringLiteral("textItem"))) {
        const auto item = std::make_shared<TextItem>();
        item->SetEnabled(ReadLegacyAttributeFlag(old, "isEnabled"));
        item->SetZoom(ReadLegacyTagDouble(old, QStringLiteral("zoom"), item->Zoom()));
        item->SetTextItemName(ReadLegacyTagString(old, QStringLiteral("textItemName"), item->TextItemName()));
        item->SetUseOption(ReadLegacyEnum(old, "useOption", item->UseOption(), TextUseCustom, TextUseFilePath));
        // In the form the 4.0 reader gives: the text's UTF-8 bytes.
        if (const std::optional<QString> text = LegacyText(old, QStringLiteral("textString")))
            item->SetTextString(text->toUtf8());
        item->SetFontName(ReadLegacyTagString(old, QStringLiteral("fontName"), item->FontName()));
        item->SetFontSize(ReadLegacyTagInt(old, QStringLiteral("fontSize"), item->FontSize()));
        item->SetFontColor(ReadLegacyColor(old, "color", item->FontColor()));
        item->SetBold(ReadLegacyTagFlag(old, "isBold", item->IsBold()));
        item->SetItalic(ReadLegacyTagFlag(old, "isItalic", item->IsItalic()));
        item->SetUnderline(ReadLegacyTagFlag(old, "isUnderlined", item->IsUnderlined()));
        item->SetTextAlignment(
            ReadLegacyEnum(old, "alignment", item->TextAlignment(), TextAlignmentLeft, TextAlignmentRight));
        item->SetOpacity(ReadLegacyTagDouble(old, QStringLiteral("opacity"), item->Opacity()));
        item->SetAngle(ReadLegacyTagDouble(old, QStringLiteral("angle"), item->Angle()));
        item->SetPosition(QPointF(ReadLegacyTagFloat(old, QStringLiteral("positionX"), item->Position().x()),
                                  ReadLegacyTagFloat(old, QStringLiteral("positionY"), item->Position().y())));
        list.Add(item);
    }
}

void ConvertLegacyCanvas(const QDomElement& root, Canvas& canvas)
{
    const QDomElement old = Child(root, "canvas");
    canvas.SetDimensionType(ReadLegacyEnum(old, "canvasDimensionType", canvas.DimensionType(), CanvasDimensionPreset,
                                           CanvasDimensionCustom));
    canvas.SetPrinterPageSize(
        static_cast<PageSize>(ReadLegacyTagInt(old, QStringLiteral("printerPageSize"), canvas.PrinterPageSize())));
    canvas.SetDimensions(ReadLegacyTagUInt(old, QStringLiteral("width"), canvas.Width()),
                         ReadLegacyTagUInt(old, QStringLiteral("height"), canvas.Height()));
    canvas.SetActualDimensions(ReadLegacyTagUInt(old, QStringLiteral("actualWidth"), canvas.ActualWidth()),
                               ReadLegacyTagUInt(old, QStringLiteral("actualHeight"), canvas.ActualHeight()));
    canvas.SetPosition(ReadLegacyTagInt(old, QStringLiteral("positionX"), canvas.PositionX()),
                       ReadLegacyTagInt(old, QStringLiteral("positionY"), canvas.PositionY()));
    canvas.SetScale(ReadLegacyTagFloat(old, QStringLiteral("scale"), canvas.Scale()));
    canvas.SetOrientation(ReadLegacyEnum(old, "orientation", canvas.Orientation(), CanvasOrientationLandscape,
                                         CanvasOrientationPortrait));
    canvas.SetDPI(ReadLegacyTagInt(old, QStringLiteral("dpi"), canvas.DPI()));
    canvas.SetPrintAsCard(ReadLegacyTagFlag(old, "printAsCard", canvas.PrintAsCard()));
    canvas.SetUseCanvasColor(ReadLegacyTagFlag(old, "useCanvasColor", canvas.UseCanvasColor()));
    canvas.SetCanvasColor(ReadLegacyColor(old, "canvasColor", canvas.CanvasColor()));
}

void ConvertLegacyExportSettings(const QDomElement& root, ExportSettings& settings)
{
    const QDomElement old = Child(root, "exportSettings");
    settings.SetFormat(ReadLegacyEnum(old, "format", settings.Format(), ExportFormatUnused0, ExportFormatJpg));
    settings.SetQuality(ReadLegacyTagInt(old, QStringLiteral("quality"), settings.Quality()));
}

// An old background or overlay onto the default project's layer; its size and resolution are
// found again when the image is read.
void ConvertLegacyLayer(const QDomElement& old, const ImageLayerPtr& layer)
{
    if (old.isNull() || !layer)
        return;
    layer->SetName(ReadLegacyTagString(old, QStringLiteral("filename"), layer->Name()));
    layer->SetPath(ReadLegacyTagString(old, QStringLiteral("path"), layer->Path()));
    layer->SetThumbnailFilename(
        ReadLegacyTagString(old, QStringLiteral("thumbnailFilename"), layer->ThumbnailFilename()));
    layer->SetEnabled(ReadLegacyAttributeFlag(old, "enabled"));
    layer->SetCollapsed(ReadLegacyAttributeFlag(old, "collapsed"));
}

// The first old foreground becomes a foreground on the shared default settings; settings it
// kept for itself are not converted.
void ConvertLegacyImageElement(const QDomElement& old, LayerManager& layers, const QString& currentPath)
{
    const QString path = ReadLegacyTagString(old, QStringLiteral("path"));
    const auto foreground =
        std::make_shared<ForegroundImageLayer>(ReadLegacyTagString(old, QStringLiteral("filename")), path);
    if (layers.AddForegroundLayer(foreground) != LMerrSuccess)
        return;
    foreground->SetEnabled(ReadLegacyAttributeFlag(old, "enabled"));
    foreground->SetThumbnailFilename(
        ReadLegacyTagString(old, QStringLiteral("thumbnail"), foreground->ThumbnailFilename()));
    if (path == currentPath)
        layers.SetCurrentForegroundId(foreground->Id());
}

void ConvertLegacyLayers(const QDomElement& root, LayerManager& layers)
{
    ConvertLegacyLayer(Child(root, "backgroundImage"), layers.GetBackground());
    ConvertLegacyLayer(Child(root, "overlayImage"), layers.GetOverlay());

    const QDomElement foregrounds = Child(root, "foregroundImageList");
    ForegroundImageLayerList& list = *layers.ForegroundLayerList();
    list.SetEnabled(ReadLegacyAttributeFlag(foregrounds, "enabled"));
    list.SetCollapsed(ReadLegacyAttributeFlag(foregrounds, "collapsed"));
    const QString currentPath = ReadLegacyTagString(root, QStringLiteral("currentForegroundFilename"));
    if (const QDomElement first = Child(foregrounds, "foregroundImage"); !first.isNull())
        ConvertLegacyImageElement(first, layers, currentPath);

    const QDomElement defaults = Child(foregrounds, "defaultImageSettings");
    const QDomElement backgroundSettings = Child(defaults, "backgroundImageSettings");
    const QDomElement overlaySettings = Child(defaults, "overlayImageSettings");
    const QDomElement foregroundSettings = Child(defaults, "foregroundImageSettings");

    // The null foreground id names the list's defaults, which every foreground here uses.
    const auto defaultLayerSettings = [&](const ImageLayerPtr& layer) {
        return layer ? layers.GetLayerSettings(layer->Id(), QUuid()) : nullptr;
    };
    if (const ImageLayerSettingsPtr background = defaultLayerSettings(layers.GetBackground())) {
        ConvertLegacyTransformList(backgroundSettings, background->Transforms());
        ConvertLegacyFilterList(backgroundSettings, background->Filters());
        // The old program kept the background's depth of field with the foreground's effects.
        ConvertLegacyDepthOfField(foregroundSettings, background->Filters());
    }
    if (const ImageLayerSettingsPtr overlay = defaultLayerSettings(layers.GetOverlay()))
        ConvertLegacyTransformList(overlaySettings, overlay->Transforms());

    if (const ForegroundImageLayerSettingsPtr settings = layers.GetForegroundSettings(QUuid())) {
        ConvertLegacyTransformList(foregroundSettings, settings->Transforms());
        ConvertLegacyFilterList(foregroundSettings, settings->Filters());
        ConvertLegacyKeyList(foregroundSettings, settings->Keys());
        ConvertLegacyCompositeList(foregroundSettings, settings->Compositors());
        ConvertLegacyMaskList(foregroundSettings, settings->Masks());
        ConvertLegacyTextList(foregroundSettings, settings->TextItems());
    }
}

void ConvertLegacyProject(const QDomElement& root, Project& project)
{
    project.SetCurrentThumbnailFolder(
        ReadLegacyTagString(root, QStringLiteral("currentThumbnailFolder"), project.CurrentThumbnailFolder()));
    // A converted project opens where work on a new one starts, whatever the old file says.
    project.SetCurrentToolset(ToolsetSectionImport);
    project.SetCurrentLayerType(LayerTypeForeground);
    project.SetToolsetPosition(
        ReadLegacyEnum(root, "toolsetPosition", project.ToolsetPosition(), ToolsetPositionLeft, ToolsetPositionRight));
    project.SetToolsetState(
        ReadLegacyEnum(root, "toolsetState", project.ToolsetState(), ToolsetStateExpanded, ToolsetStateCollapsed));
    ConvertLegacyCanvas(root, project.GetCanvas());
    ConvertLegacyExportSettings(root, project.GetExportSettings());
    ConvertLegacyLayers(root, *project.GetLayerManager());
}

// The project as a 4.0 file of its own in the temporary folder; empty, and no file left, when it
// cannot be written (result 17: no temporary folder, a full one, or a failed save).
QString WriteTemporaryProject(const Project& project, LMerr& result)
{
    result = LMerrCannotWrite;
    // Without a temporary folder the path would be empty and the file would land in the root.
    const QString folder = QDir::tempPath();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return QString();
    // Removed when it goes out of scope unless the save succeeded.
    QTemporaryFile file(kTemporaryTemplate.arg(folder, kProjectExtension));
    if (!file.open())
        return QString();
    const QString name = file.fileName();
    file.close();
    if (project.SaveToXml(name, kConverterVersion, kConvertedFileFormat) != LMerrSuccess)
        return QString();
    file.setAutoRemove(false);
    result = LMerrSuccess;
    return name;
}

} // namespace

QString ReadLegacyTagString(const QDomElement& parent, const QString& name, const QString& fallback)
{
    return LegacyText(parent, name).value_or(fallback);
}

int ReadLegacyTagInt(const QDomElement& parent, const QString& name, int fallback)
{
    return ReadLegacyNumber<int>(parent, name, fallback, [](const QString& text, bool* ok) { return text.toInt(ok); });
}

unsigned int ReadLegacyTagUInt(const QDomElement& parent, const QString& name, unsigned int fallback)
{
    return ReadLegacyNumber<unsigned int>(parent, name, fallback, [](const QString& text, bool* ok) {
        // A minus sign makes no unsigned value, however the text would wrap.
        return text.trimmed().startsWith(QLatin1Char('-')) ? (*ok = false, 0u) : text.toUInt(ok);
    });
}

float ReadLegacyTagFloat(const QDomElement& parent, const QString& name, float fallback)
{
    return ReadLegacyNumber<float>(parent, name, fallback,
                                   [](const QString& text, bool* ok) { return text.toFloat(ok); });
}

double ReadLegacyTagDouble(const QDomElement& parent, const QString& name, double fallback)
{
    return ReadLegacyNumber<double>(parent, name, fallback,
                                    [](const QString& text, bool* ok) { return text.toDouble(ok); });
}

int ReadLegacyChildAttributeInt(const QDomElement& parent, const QString& child, const QString& attribute, int fallback)
{
    const QDomElement element = parent.firstChildElement(child);
    if (element.isNull() || !element.hasAttribute(attribute))
        return fallback;
    bool ok = false;
    const int value = element.attribute(attribute).toInt(&ok);
    return ok ? value : fallback;
}

void ReadLegacyItemFlags(const QDomElement& oldItem, AbstractRenderItem& item)
{
    item.SetEnabled(ReadLegacyAttributeFlag(oldItem, "enabled"));
    item.SetCollapsed(ReadLegacyAttributeFlag(oldItem, "collapsed"));
}

QString ConvertFileFormat2Project(const QString& path)
{
    LMerr result = LMerrSuccess;
    return ConvertFileFormat2Project(path, result);
}

QString ConvertFileFormat2Project(const QString& path, LMerr& result)
{
    try {
        QDomDocument old;
        result = ReadXmlDocument(path, old);
        if (result != LMerrSuccess) {
            if (result != LMerrOutOfMemory)
                result = LMerrUnsupportedFormat;
            return QString();
        }
        Project project(result);
        if (result != LMerrSuccess) {
            result = LMerrUnsupportedFormat;
            return QString();
        }
        ConvertLegacyProject(old.firstChildElement(QStringLiteral("project")), project);
        return WriteTemporaryProject(project, result);
    } catch (const std::bad_alloc&) {
        result = LMerrOutOfMemory;
        return QString();
    }
}

} // namespace lumo::app
