#pragma once

#include "AppExport.h"
#include "FilterItems.h"

namespace lumo::app {

// Key items follow the filter items' pattern (FilterItems.h) and queue on the keyer.

struct YuvBlurValues {
    double radius = 0.0;
    int blurType = hvn::image::HXYUVBlurGaussian;
};

class APP_EXPORT YuvBlurKeyItem final : public EffectItem<AbstractKeyItem, YuvBlurKeyItem, YuvBlurValues> {
public:
    YuvBlurKeyItem();
    YuvBlurKeyItem(double radius, hvn::image::HXYUVBlurType blurType);
    static const effect::Layout<YuvBlurValues>& Layout();

    KeyItemType Type() const override { return KeyItemTypeYuvBlur; }
    void AddToImageKeyer(hvn::image::HXImageKeyer& keyer, double scale) override;

    double Radius() const { return m_values.radius; }
    void SetRadius(double value) { m_values.radius = value; }
    hvn::image::HXYUVBlurType BlurType() const { return static_cast<hvn::image::HXYUVBlurType>(m_values.blurType); }
    void SetBlurType(hvn::image::HXYUVBlurType value) { m_values.blurType = value; }
};

struct AutoColorDifferenceValues {
    int keyColor = hvn::image::HXKeyColorGreen;
    double keyDetail = 0.0;
    double greyDetail = 0.0;
    double greyThreshold = 0.0;
    int autoKeyColor = hvn::image::HXKeyColorGreen;
};

class APP_EXPORT AutoColorDifferenceKeyItem final
    : public EffectItem<AbstractKeyItem, AutoColorDifferenceKeyItem, AutoColorDifferenceValues> {
public:
    AutoColorDifferenceKeyItem();
    AutoColorDifferenceKeyItem(hvn::image::HXKeyColor keyColor, double keyDetail, double greyDetail,
                               double greyThreshold);
    static const effect::Layout<AutoColorDifferenceValues>& Layout();

    KeyItemType Type() const override { return KeyItemTypeAutoColorDifference; }
    void AddToImageKeyer(hvn::image::HXImageKeyer& keyer, double scale) override;

    hvn::image::HXKeyColor KeyColor() const { return static_cast<hvn::image::HXKeyColor>(m_values.keyColor); }
    void SetKeyColor(hvn::image::HXKeyColor value) { m_values.keyColor = value; }
    double KeyDetail() const { return m_values.keyDetail; }
    void SetKeyDetail(double value) { m_values.keyDetail = value; }
    double GreyDetail() const { return m_values.greyDetail; }
    void SetGreyDetail(double value) { m_values.greyDetail = value; }
    double GreyThreshold() const { return m_values.greyThreshold; }
    void SetGreyThreshold(double value) { m_values.greyThreshold = value; }
    hvn::image::HXKeyColor AutoKeyColor() const { return static_cast<hvn::image::HXKeyColor>(m_values.autoKeyColor); }
    void SetAutoKeyColor(hvn::image::HXKeyColor value) { m_values.autoKeyColor = value; }
};

// Only the apply method, spill type and opacity are stored; the channel, the strengths and the
// advanced bias come back at these values when a project is opened. A bias of 1 is neutral.
struct SpillSuppressionValues {
    int channel = hvn::image::HXChannelGreen;
    int applyMethod = hvn::image::HXSpillApplyBeforeMasks;
    int spillType = hvn::image::HXSpillTypeExtended;
    double opacity = 0.0;
    double redStrength = 0.0;
    double greenStrength = 0.0;
    double blueStrength = 0.0;
    double advancedBias = 1.0;
};

// Applied by the render pipeline in a keyer pass of its own.
class APP_EXPORT SpillSuppressionKeyItem final
    : public EffectItem<AbstractKeyItem, SpillSuppressionKeyItem, SpillSuppressionValues> {
public:
    SpillSuppressionKeyItem();
    SpillSuppressionKeyItem(hvn::image::HXChannel channel, hvn::image::HXSpillApplyMethod applyMethod,
                            hvn::image::HXSpillType spillType, double opacity, double redStrength,
                            double greenStrength, double blueStrength, double advancedBias);
    static const effect::Layout<SpillSuppressionValues>& Layout();

    KeyItemType Type() const override { return KeyItemTypeSpillSuppression; }
    void AddToImageKeyer(hvn::image::HXImageKeyer& keyer, double scale) override;

    hvn::image::HXChannel Channel() const { return static_cast<hvn::image::HXChannel>(m_values.channel); }
    void SetChannel(hvn::image::HXChannel value) { m_values.channel = value; }
    hvn::image::HXSpillApplyMethod ApplyMethod() const
    {
        return static_cast<hvn::image::HXSpillApplyMethod>(m_values.applyMethod);
    }
    void SetApplyMethod(hvn::image::HXSpillApplyMethod value) { m_values.applyMethod = value; }
    hvn::image::HXSpillType SpillType() const { return static_cast<hvn::image::HXSpillType>(m_values.spillType); }
    void SetSpillType(hvn::image::HXSpillType value) { m_values.spillType = value; }
    double Opacity() const { return m_values.opacity; }
    void SetOpacity(double value) { m_values.opacity = value; }
    double RedStrength() const { return m_values.redStrength; }
    void SetRedStrength(double value) { m_values.redStrength = value; }
    double GreenStrength() const { return m_values.greenStrength; }
    void SetGreenStrength(double value) { m_values.greenStrength = value; }
    double BlueStrength() const { return m_values.blueStrength; }
    void SetBlueStrength(double value) { m_values.blueStrength = value; }
    double AdvancedBias() const { return m_values.advancedBias; }
    void SetAdvancedBias(double value) { m_values.advancedBias = value; }
};

// Fractions of the width or height cut off each edge.
struct CropValues {
    double left = 0.0;
    double right = 0.0;
    double bottom = 0.0;
    double top = 0.0;
};

class APP_EXPORT CropKeyItem final : public EffectItem<AbstractKeyItem, CropKeyItem, CropValues> {
public:
    CropKeyItem();
    CropKeyItem(double left, double right, double bottom, double top);
    static const effect::Layout<CropValues>& Layout();

    KeyItemType Type() const override { return KeyItemTypeCrop; }
    void AddToImageKeyer(hvn::image::HXImageKeyer& keyer, double scale) override;

    double Left() const { return m_values.left; }
    void SetLeft(double value) { m_values.left = value; }
    double Right() const { return m_values.right; }
    void SetRight(double value) { m_values.right = value; }
    double Bottom() const { return m_values.bottom; }
    void SetBottom(double value) { m_values.bottom = value; }
    double Top() const { return m_values.top; }
    void SetTop(double value) { m_values.top = value; }
};

struct LightSpillValues {
    double blur = 10.0;
    int blendMode = hvn::image::HXBlendModeLighten;
};

// Applied by the render pipeline through the compositor: queues nothing itself.
class APP_EXPORT LightSpillKeyItem final : public EffectItem<AbstractKeyItem, LightSpillKeyItem, LightSpillValues> {
public:
    LightSpillKeyItem();
    LightSpillKeyItem(double blur, hvn::image::HXBlendMode blendMode);
    static const effect::Layout<LightSpillValues>& Layout();

    KeyItemType Type() const override { return KeyItemTypeLightSpill; }
    void AddToImageKeyer(hvn::image::HXImageKeyer& keyer, double scale) override;

    double Blur() const { return m_values.blur; }
    void SetBlur(double value) { m_values.blur = value; }
    hvn::image::HXBlendMode BlendMode() const { return static_cast<hvn::image::HXBlendMode>(m_values.blendMode); }
    void SetBlendMode(hvn::image::HXBlendMode value) { m_values.blendMode = value; }
};

struct AlphaSuperContrastValues {
    double blackLevel = 0.0;
    double whiteLevel = 1.0;
};

class APP_EXPORT AlphaSuperContrastKeyItem final
    : public EffectItem<AbstractKeyItem, AlphaSuperContrastKeyItem, AlphaSuperContrastValues> {
public:
    AlphaSuperContrastKeyItem();
    AlphaSuperContrastKeyItem(double blackLevel, double whiteLevel);
    static const effect::Layout<AlphaSuperContrastValues>& Layout();

    KeyItemType Type() const override { return KeyItemTypeAlphaSuperContrast; }
    void AddToImageKeyer(hvn::image::HXImageKeyer& keyer, double scale) override;

    double BlackLevel() const { return m_values.blackLevel; }
    void SetBlackLevel(double value) { m_values.blackLevel = value; }
    double WhiteLevel() const { return m_values.whiteLevel; }
    void SetWhiteLevel(double value) { m_values.whiteLevel = value; }
};

struct AlphaBlurValues {
    double radius = 0.0;
};

class APP_EXPORT AlphaBlurKeyItem final : public EffectItem<AbstractKeyItem, AlphaBlurKeyItem, AlphaBlurValues> {
public:
    AlphaBlurKeyItem();
    explicit AlphaBlurKeyItem(double radius);
    static const effect::Layout<AlphaBlurValues>& Layout();

    KeyItemType Type() const override { return KeyItemTypeAlphaBlur; }
    void AddToImageKeyer(hvn::image::HXImageKeyer& keyer, double scale) override;

    double Radius() const { return m_values.radius; }
    void SetRadius(double value) { m_values.radius = value; }
};

struct ErodeValues {
    int direction = hvn::image::HXWhiteErodeShrink;
    int distance = 0;
};

class APP_EXPORT ErodeKeyItem final : public EffectItem<AbstractKeyItem, ErodeKeyItem, ErodeValues> {
public:
    ErodeKeyItem();
    ErodeKeyItem(hvn::image::HXWhiteErodeDirection direction, int distance);
    static const effect::Layout<ErodeValues>& Layout();

    KeyItemType Type() const override { return KeyItemTypeErode; }
    void AddToImageKeyer(hvn::image::HXImageKeyer& keyer, double scale) override;

    hvn::image::HXWhiteErodeDirection ErodeDirection() const
    {
        return static_cast<hvn::image::HXWhiteErodeDirection>(m_values.direction);
    }
    void SetErodeDirection(hvn::image::HXWhiteErodeDirection value) { m_values.direction = value; }
    int Distance() const { return m_values.distance; }
    void SetDistance(int value) { m_values.distance = value; }
};

} // namespace lumo::app
