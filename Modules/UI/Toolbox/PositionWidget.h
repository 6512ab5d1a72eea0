#pragma once

// The placement of a layer by numbers: horizontal and vertical position, scale, rotation and the
// two flips, each group with its reset and one reset for all. The layer edited is the project's
// current layer type at each change (the section makes its visible tab's layer current); the
// panel's own kind only chooses what it reloads from. The flips are the signs of the scales and
// are kept in the panel: the scale control shows the magnitude.

#include <hvn/image/HXTypes.h>

#include <QUuid>
#include <QWidget>

#include <memory>

namespace lumo::app {
class TransformationTransformItem;
}

namespace lumo::ui {

class ButtonDefault;
class Container;
class DoubleSpinDial;
class DoubleSpinSlider;

class PositionWidget : public QWidget {
    Q_OBJECT

public:
    // kind: 1 the foreground, 0 the background.
    PositionWidget(int kind, QWidget* parent);

    // Reloads every control and the flips from this panel's layer.
    void UpdateFromModel();
    // Reloads the values (not the flips) when the id is this panel's layer (a drag on the canvas).
    void UpdateLayer(const QUuid& layerId);

    bool FlippedHorizontally() const { return m_flippedHorizontally; }
    bool FlippedVertically() const { return m_flippedVertically; }
    DoubleSpinSlider* HorizontalSlider() const { return m_horizontal; }
    DoubleSpinSlider* VerticalSlider() const { return m_vertical; }
    DoubleSpinSlider* ScaleSlider() const { return m_scale; }
    DoubleSpinDial* RotationDial() const { return m_rotation; }
    ButtonDefault* FlipHorizontalButton() const { return m_flipHorizontal; }
    ButtonDefault* FlipVerticalButton() const { return m_flipVertical; }
    ButtonDefault* ResetButton() const { return m_resetButton; }
    Container* PositionContainer() const { return m_positionContainer; }
    Container* ScaleContainer() const { return m_scaleContainer; }
    Container* RotationContainer() const { return m_rotationContainer; }

public slots:
    void SlotUpdateHorizontalPosition(double position, hvn::image::HXDownsampleFactor factor, bool update = true);
    void SlotUpdateVerticalPosition(double position, hvn::image::HXDownsampleFactor factor, bool update = true);
    void SlotUpdateScale(double scale, hvn::image::HXDownsampleFactor factor, bool update = true);
    void SlotUpdateRotation(double angle, hvn::image::HXDownsampleFactor factor, bool update = true);
    void SlotFlipHorizontal(bool update = true);
    void SlotFlipVertical(bool update = true);
    void SlotResetPositionParameters(bool update = true);
    void SlotResetScaleParameters(bool update = true);
    void SlotResetRotationParameters(bool update = true);
    void SlotResetPositionSection();

private:
    // The transformation item of the current layer type; null without one.
    std::shared_ptr<app::TransformationTransformItem> FindTransformItem() const;
    // The item of this panel's own layer.
    std::shared_ptr<app::TransformationTransformItem> PanelTransformItem() const;
    int CurrentLayerType() const;
    // The overlay's and the further layers' fits follow the moved layer.
    void Refit(hvn::image::HXDownsampleFactor factor) const;
    // Masks' caches (foreground), the layer from its post-filter stage, the canvas handles.
    void TransformChanged(hvn::image::HXDownsampleFactor factor) const;
    // The full-resolution tail of the resets and flips.
    void FinalRefresh() const;
    void ScaleMasks(double scale) const;
    void FlipScale(bool horizontal, bool update);
    void LoadValues(const app::TransformationTransformItem& item);

    int m_kind;
    bool m_flippedHorizontally = false;
    bool m_flippedVertically = false;
    Container* m_positionContainer;
    DoubleSpinSlider* m_horizontal;
    DoubleSpinSlider* m_vertical;
    Container* m_scaleContainer;
    DoubleSpinSlider* m_scale;
    Container* m_rotationContainer;
    DoubleSpinDial* m_rotation;
    ButtonDefault* m_flipHorizontal;
    ButtonDefault* m_flipVertical;
    ButtonDefault* m_resetButton;
};

} // namespace lumo::ui
