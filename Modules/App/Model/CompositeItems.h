#pragma once

#include "AppExport.h"
#include "FilterItems.h"

namespace lumo::app {

// Composite items follow the filter items' pattern (FilterItems.h) and act on a rectangle of the
// finished composite.

struct TintValues {
    int tintType = hvn::image::HXTintSepia;
    double strength = 1.0;
};

class APP_EXPORT TintCompositeItem final : public EffectItem<AbstractCompositeItem, TintCompositeItem, TintValues> {
public:
    TintCompositeItem();
    static const effect::Layout<TintValues>& Layout();

    CompositeItemType Type() const override { return CompositeItemTypeTint; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, const hvn::maths::HXRect& rect,
                             double scale) override;

    hvn::image::HXTintType TintType() const { return static_cast<hvn::image::HXTintType>(m_values.tintType); }
    void SetTintType(hvn::image::HXTintType value) { m_values.tintType = value; }
    double Strength() const { return m_values.strength; }
    void SetStrength(double value) { m_values.strength = value; }
};

struct VignetteValues {
    QColor color = QColor(0, 0, 0, 255);
    int vignetteType = hvn::image::HXVignetteTypeNormal;
    double horizontalStretch = 1.0;
    double verticalStretch = 1.0;
    double softness = 0.4;
    double curvature = 1.0;
    double opacity = 1.0;
};

class APP_EXPORT VignetteCompositeItem final
    : public EffectItem<AbstractCompositeItem, VignetteCompositeItem, VignetteValues> {
public:
    VignetteCompositeItem();
    static const effect::Layout<VignetteValues>& Layout();

    CompositeItemType Type() const override { return CompositeItemTypeVignette; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, const hvn::maths::HXRect& rect,
                             double scale) override;

    const QColor& Color() const { return m_values.color; }
    void SetColor(const QColor& value) { m_values.color = value; }
    hvn::image::HXVignetteType VignetteType() const
    {
        return static_cast<hvn::image::HXVignetteType>(m_values.vignetteType);
    }
    void SetVignetteType(const hvn::image::HXVignetteType& value) { m_values.vignetteType = value; }
    double HorizontalStretch() const { return m_values.horizontalStretch; }
    void SetHorizontalStretch(double value) { m_values.horizontalStretch = value; }
    double VerticalStretch() const { return m_values.verticalStretch; }
    void SetVerticalStretch(double value) { m_values.verticalStretch = value; }
    double Softness() const { return m_values.softness; }
    void SetSoftness(double value) { m_values.softness = value; }
    double Curvature() const { return m_values.curvature; }
    void SetCurvature(double value) { m_values.curvature = value; }
    double Opacity() const { return m_values.opacity; }
    void SetOpacity(double value) { m_values.opacity = value; }
};

// Applied by the render pipeline's own depth-of-field pass: queues nothing itself.
class APP_EXPORT DepthOfFieldCompositeItem final
    : public DepthOfFieldItem<AbstractCompositeItem, DepthOfFieldCompositeItem> {
public:
    DepthOfFieldCompositeItem();
    DepthOfFieldCompositeItem(hvn::image::HXDepthOfFieldType type, const QPointF& origin, double angle,
                              unsigned int blur, double spread, double range, double transparency);
    static const effect::Layout<DepthOfFieldValues>& Layout();

    CompositeItemType Type() const override { return CompositeItemTypeDepthOfField; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, const hvn::maths::HXRect& rect,
                             double scale) override;
};

struct SoftFocusValues {
    int blendMode = hvn::image::HXBlendModeLighten;
    unsigned int blur = 30;
    double opacity = 0.5;
};

class APP_EXPORT SoftFocusCompositeItem final
    : public EffectItem<AbstractCompositeItem, SoftFocusCompositeItem, SoftFocusValues> {
public:
    SoftFocusCompositeItem();
    SoftFocusCompositeItem(hvn::image::HXBlendMode blendMode, unsigned int blur, double opacity);
    static const effect::Layout<SoftFocusValues>& Layout();

    CompositeItemType Type() const override { return CompositeItemTypeSoftFocus; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, const hvn::maths::HXRect& rect,
                             double scale) override;

    hvn::image::HXBlendMode BlendMode() const { return static_cast<hvn::image::HXBlendMode>(m_values.blendMode); }
    void SetBlendMode(hvn::image::HXBlendMode value) { m_values.blendMode = value; }
    unsigned int Blur() const { return m_values.blur; }
    void SetBlur(unsigned int value) { m_values.blur = value; }
    double Opacity() const { return m_values.opacity; }
    void SetOpacity(double value) { m_values.opacity = value; }
};

struct ThreeStripColorValues {
    double redStrength = 0.5;
    double greenStrength = 0.5;
    double blueStrength = 0.5;
};

class APP_EXPORT ThreeStripColorCompositeItem final
    : public EffectItem<AbstractCompositeItem, ThreeStripColorCompositeItem, ThreeStripColorValues> {
public:
    ThreeStripColorCompositeItem();
    ThreeStripColorCompositeItem(double redStrength, double greenStrength, double blueStrength);
    static const effect::Layout<ThreeStripColorValues>& Layout();

    CompositeItemType Type() const override { return CompositeItemTypeThreeStripColor; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, const hvn::maths::HXRect& rect,
                             double scale) override;

    double RedStrength() const { return m_values.redStrength; }
    void SetRedStrength(double value) { m_values.redStrength = value; }
    double GreenStrength() const { return m_values.greenStrength; }
    void SetGreenStrength(double value) { m_values.greenStrength = value; }
    double BlueStrength() const { return m_values.blueStrength; }
    void SetBlueStrength(double value) { m_values.blueStrength = value; }
};

struct BleachBypassValues {
    double contrast = 1.5;
    double saturation = 0.8;
    double strength = 0.6;
};

class APP_EXPORT BleachBypassCompositeItem final
    : public EffectItem<AbstractCompositeItem, BleachBypassCompositeItem, BleachBypassValues> {
public:
    BleachBypassCompositeItem();
    BleachBypassCompositeItem(double contrast, double saturation, double strength);
    static const effect::Layout<BleachBypassValues>& Layout();

    CompositeItemType Type() const override { return CompositeItemTypeBleachBypass; }
    void AddToImageProcessor(hvn::image::HXImageProcessor& processor, const hvn::maths::HXRect& rect,
                             double scale) override;

    double Contrast() const { return m_values.contrast; }
    void SetContrast(double value) { m_values.contrast = value; }
    double Saturation() const { return m_values.saturation; }
    void SetSaturation(double value) { m_values.saturation = value; }
    double Strength() const { return m_values.strength; }
    void SetStrength(double value) { m_values.strength = value; }
};

} // namespace lumo::app
