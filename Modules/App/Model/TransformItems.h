#pragma once

#include "AppExport.h"
#include "RenderItems.h"

namespace lumo::app {

enum FitTo : int {
    FitToCanvas = 0,
    FitToBackground = 1,
    FitToForeground = 2,
    FitToNone = 3,
};

// Translation (normalised, see ConvertTranslation), scale (negative mirrors) and rotation in degrees.
class APP_EXPORT TransformationTransformItem final
    : public RenderItem<AbstractTransformItem, TransformationTransformItem> {
public:
    TransformationTransformItem();
    TransformationTransformItem(double translateX, double translateY, double scaleX, double scaleY, double rotation);

    TransformItemType Type() const override { return TransformItemTypeTransformation; }

    double TranslateX() const { return m_translateX; }
    double TranslateY() const { return m_translateY; }
    double ScaleX() const { return m_scaleX; }
    double ScaleY() const { return m_scaleY; }
    double Rotation() const { return m_rotation; }
    void SetTranslateX(double value) { m_translateX = value; }
    void SetTranslateY(double value) { m_translateY = value; }
    void SetScaleX(double value) { m_scaleX = value; }
    void SetScaleY(double value) { m_scaleY = value; }
    void SetRotation(double value) { m_rotation = value; }

private:
    LMerr LoadFromXml(QDomElement& element) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;

    double m_translateX = 0.0;
    double m_translateY = 0.0;
    double m_scaleX = 1.0;
    double m_scaleY = 1.0;
    double m_rotation = 0.0;
};

// What an overlay or further image layer is fitted to.
class APP_EXPORT FitTransformItem final : public RenderItem<AbstractTransformItem, FitTransformItem> {
public:
    FitTransformItem();
    explicit FitTransformItem(FitTo fit);

    TransformItemType Type() const override { return TransformItemTypeFit; }

    FitTo Fit() const { return m_fit; }
    void SetFit(FitTo fit) { m_fit = fit; }

private:
    LMerr LoadFromXml(QDomElement& element) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;

    FitTo m_fit = FitToNone;
};

// The item's normalised translation in pixels: 1.0 moves the layer's centre by half the canvas
// plus half the scaled layer.
APP_EXPORT void ConvertTranslation(const TransformationTransformItem& item, unsigned int canvasWidth,
                                   unsigned int canvasHeight, unsigned int layerWidth, unsigned int layerHeight,
                                   double& x, double& y);

} // namespace lumo::app
