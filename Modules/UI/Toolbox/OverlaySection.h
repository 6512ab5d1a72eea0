#pragma once

// Page 8: the overlay image, fitted to the canvas, the foreground or the background, or placed by
// hand (position, scale, rotation, flips). The placement is the current foreground's overlay
// settings: a transformation item and a fit item. Every change re-renders the overlay from its
// placement and keeps the canvas's layer handles in step.

#include "Toolbox/ToolboxSections.h"

#include "Controls/ChangeProtocol.h"

class QCheckBox;
class QComboBox;
class QHBoxLayout;

namespace lumo::ui {

class ButtonDefault;
class Container;
class DoubleSpinDial;
class DoubleSpinSlider;
class SingleImport;

class OverlaySection final : public AbstractToolboxSection {
    Q_OBJECT

public:
    explicit OverlaySection(QWidget* parent);
    ~OverlaySection() override;

    // Where the overlay import box goes (at index 0, above "Autofit").
    QVBoxLayout* FrameLayout() const { return m_frameLayout; }
    SingleImport* ImportBox() const { return m_import; }
    QCheckBox* FitCheck() const { return m_fitCheck; }
    QComboBox* FitCombo() const { return m_fitCombo; }
    DoubleSpinSlider* HorizontalSlider() const { return m_horizontal; }
    DoubleSpinSlider* VerticalSlider() const { return m_vertical; }
    DoubleSpinSlider* ScaleSlider() const { return m_scale; }
    DoubleSpinDial* RotationDial() const { return m_rotation; }
    Container* PositionContainer() const { return m_position; }
    Container* ScaleContainer() const { return m_scaleBox; }
    Container* RotationContainer() const { return m_rotationBox; }
    ButtonDefault* FlipHorizontalButton() const { return m_flipHorizontal; }
    ButtonDefault* FlipVerticalButton() const { return m_flipVertical; }
    ButtonDefault* ResetButton() const { return m_reset; }
    bool HorizontalFlip() const { return m_flipH; }
    bool VerticalFlip() const { return m_flipV; }

public slots:
    void SlotUpdateHorizontalPosition(double position, hvn::image::HXDownsampleFactor downsample, bool update = true);
    void SlotUpdateVerticalPosition(double position, hvn::image::HXDownsampleFactor downsample, bool update = true);
    void SlotUpdateScale(double scale, hvn::image::HXDownsampleFactor downsample, bool update = true);
    void SlotUpdateRotation(double angle, hvn::image::HXDownsampleFactor downsample, bool update = true);
    void SlotFlipHorizontal(bool update = true);
    void SlotFlipVertical(bool update = true);
    void SlotFitToCanvas(bool update = true);
    void SlotActualSize(bool update = true);
    void SlotResetFitToParameters(bool update = true);
    void SlotResetPositionParameters(bool update = true);
    void SlotResetScaleParameters(bool update = true);
    void SlotResetRotationParameters(bool update = true);
    void SlotResetOverlaySection();
    void SlotNewImageAdded();

protected:
    void Rebuild() override;
    void OtherChange(DataType type, const QUuid& id, FieldType field) override;

private:
    void Refresh(hvn::image::HXDownsampleFactor factor) const;
    static void Invalidate();
    static void UpdateHandles();
    void ShowFitted();

    bool m_flipH = false;
    bool m_flipV = false;
    QVBoxLayout* m_frameLayout = nullptr;
    SingleImport* m_import = nullptr;
    Container* m_autofit = nullptr;
    QCheckBox* m_fitCheck = nullptr;
    QComboBox* m_fitCombo = nullptr;
    Container* m_position = nullptr;
    DoubleSpinSlider* m_horizontal = nullptr;
    DoubleSpinSlider* m_vertical = nullptr;
    Container* m_scaleBox = nullptr;
    DoubleSpinSlider* m_scale = nullptr;
    Container* m_rotationBox = nullptr;
    DoubleSpinDial* m_rotation = nullptr;
    ButtonDefault* m_flipHorizontal = nullptr;
    ButtonDefault* m_flipVertical = nullptr;
    ButtonDefault* m_reset = nullptr;
};

} // namespace lumo::ui
