#pragma once

// The properties of the further image layer selected in the layers panel: its thumbnail with
// Change, Remove, a drop and a relink request, a fit to the canvas, the foreground or the
// background, and its position, scale, rotation and flips by hand. It edits the current
// foreground's settings for that layer (its fit item and its transformation item), which the layer
// handles on the canvas move too; the panel keeps only the layer's id and flips.

#include "ImageLayer.h"
#include "TransformItems.h"

#include <hvn/image/HXTypes.h>

#include <QString>
#include <QUuid>
#include <QWidget>

#include <memory>

class QMimeData;

namespace lumo::ui {

class ButtonDefault;
class ButtonPopupMenu;
class CheckBox;
class ComboBox;
class Container;
class DoubleSpinDial;
class DoubleSpinSlider;
class ThumbnailPreview;

class LayerPropertiesWidget : public QWidget {
    Q_OBJECT

public:
    explicit LayerPropertiesWidget(QWidget* parent);
    ~LayerPropertiesWidget() override;

    // Shows the layer (showing the hidden panel when show is set); the canvas handles follow it
    // while the layers toolset is current.
    void SetCurrentLayer(const app::ImageLayerPtr& layer, bool show);
    void EnableWidget(bool enable);
    // Hidden, no layer.
    void Clear();
    // Loads the file into the shown layer, fitting it again when "Fit to" is checked.
    bool SetImage(const QString& path);
    // After a handle drag on the canvas: the controls follow the shown layer's placement.
    void UpdateTransform(const QUuid& layerId);
    void SetLayerName(const QString& name);
    void UpdateTitle(int width);
    // Writes the layer's placement for a fit mode (FitToNone and unknown modes change nothing).
    static void ApplyFit(const QUuid& layerId, app::FitTo mode);

    const QUuid& LayerId() const { return m_layerId; }
    bool IsFlippedHorizontally() const { return m_flipHorizontal; }
    bool IsFlippedVertically() const { return m_flipVertical; }
    Container* GetContainer() const { return m_container; }
    ThumbnailPreview* Thumbnail() const { return m_thumbnail; }
    ButtonPopupMenu* ChangeButton() const { return m_change; }
    ButtonDefault* RemoveButton() const { return m_remove; }
    CheckBox* FitCheckBox() const { return m_fit; }
    ComboBox* FitComboBox() const { return m_fitMode; }
    DoubleSpinSlider* HorizontalControl() const { return m_horizontal; }
    DoubleSpinSlider* VerticalControl() const { return m_vertical; }
    DoubleSpinSlider* ScaleControl() const { return m_scale; }
    DoubleSpinDial* RotationControl() const { return m_rotation; }
    ButtonDefault* FlipHorizontalButton() const { return m_flipHorizontalButton; }
    ButtonDefault* FlipVerticalButton() const { return m_flipVerticalButton; }

signals:
    void SignalRelinkLayer(const QUuid& id);

public slots:
    void SlotChangeImage(const QString& filePath = QString());
    void SlotRemoveImage();
    void SlotReplaceImage(const QMimeData* mimeData);
    void SlotRelinkImage();
    void SlotFitToCanvas(bool update = true);
    void SlotUpdateHorizontalPosition(double value, hvn::image::HXDownsampleFactor downsample, bool update = true);
    void SlotUpdateVerticalPosition(double value, hvn::image::HXDownsampleFactor downsample, bool update = true);
    void SlotUpdateScale(double value, hvn::image::HXDownsampleFactor downsample, bool update = true);
    void SlotUpdateRotation(double value, hvn::image::HXDownsampleFactor downsample, bool update = true);
    void SlotFlipHorizontal(bool update = true);
    void SlotFlipVertical(bool update = true);
    void SlotResetLayerParameters();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    app::ImageLayerPtr Layer() const;
    std::shared_ptr<app::TransformationTransformItem> Placement() const;
    std::shared_ptr<app::FitTransformItem> FitItem() const;
    app::FitTo ComboMode() const;
    // The six hand controls enabled and the combo disabled, or the opposite while fitted.
    void ShowFitted(bool fitted);
    // The four controls from the placement, without announcing anything.
    void LoadControls(const app::TransformationTransformItem* placement);
    void RequestRefresh(hvn::image::HXDownsampleFactor downsample);
    // The layer redrawn from its placement and its canvas handles following.
    void AfterPlacementEdit(hvn::image::HXDownsampleFactor downsample);
    static bool InLayersToolset();

    QUuid m_layerId;
    bool m_flipHorizontal = false;
    bool m_flipVertical = false;
    QString m_layerName;
    Container* m_container = nullptr;
    ThumbnailPreview* m_thumbnail = nullptr;
    ButtonPopupMenu* m_change = nullptr;
    ButtonDefault* m_remove = nullptr;
    CheckBox* m_fit = nullptr;
    ComboBox* m_fitMode = nullptr;
    DoubleSpinSlider* m_horizontal = nullptr;
    DoubleSpinSlider* m_vertical = nullptr;
    DoubleSpinSlider* m_scale = nullptr;
    DoubleSpinDial* m_rotation = nullptr;
    ButtonDefault* m_flipHorizontalButton = nullptr;
    ButtonDefault* m_flipVerticalButton = nullptr;
};

} // namespace lumo::ui
