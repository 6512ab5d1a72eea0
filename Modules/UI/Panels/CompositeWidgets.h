#pragma once

// The panels of the current foreground's composite effects: looks laid over the whole composed
// canvas. Every change asks for the whole-canvas refresh (at the drag's factor, or at full
// resolution), and no layer cache is touched: the pairs keep the render level that names none.

#include "Panels/EffectWidget.h"

#include "CompositeItems.h"
#include "LMerr.h"

#include <array>

class QPushButton;

namespace lumo::ui {

class ButtonDefault;

struct CompositeWidgetInfo : EffectWidgetInfo {
    app::CompositeItemType type = app::CompositeItemTypeTint;
};

std::unique_ptr<CompositeWidgetInfo> CreateCompositeWidgetInfo(const app::AbstractCompositeItem& item, int position);

class AbstractCompositeWidget : public AbstractEffectWidget {
    Q_OBJECT

public:
    CompositeWidgetInfo& Info() const { return static_cast<CompositeWidgetInfo&>(BaseInfo()); }
    // The item in the current foreground's composite list, whatever layer type is current. 0 when found.
    app::LMerr FindItem(std::shared_ptr<app::AbstractCompositeItem>& out) const;

protected:
    // Made without a parent: the effects section's layout adopts it. item must not be null.
    AbstractCompositeWidget(const std::shared_ptr<app::AbstractCompositeItem>& item, const QString& title,
                            int position);

    std::shared_ptr<app::AbstractRenderItem> FindRenderItem() const override;
};

// The panel of a composite item, or null for a type without one (or a null item).
AbstractCompositeWidget* CreateCompositeWidget(const std::shared_ptr<app::AbstractCompositeItem>& item, int position);

// "Tint": black and white or sepia, and its strength in percent. Active while the strength is not 0.
class TintCompositeWidget final : public AbstractCompositeWidget {
    Q_OBJECT

public:
    enum Row { RowType, RowStrength };

    TintCompositeWidget(const std::shared_ptr<app::AbstractCompositeItem>& item, int position);
};

// "Vignette": its colour and three presets ("Light", "Normal", "Bold") that write the shape. The
// five value pairs exist and are wired, but are not shown, loaded or reset. Always active.
class VignetteCompositeWidget final : public AbstractCompositeWidget {
    Q_OBJECT

public:
    enum Row { RowColor, RowHorizontalStretch, RowVerticalStretch, RowSoftness, RowCurvature, RowOpacity };
    enum Preset { PresetLight, PresetNormal, PresetBold, PresetCount };

    VignetteCompositeWidget(const std::shared_ptr<app::AbstractCompositeItem>& item, int position);

    ButtonDefault* PresetButton(int preset) const;

public slots:
    // Writes the preset's type and shape and re-renders once.
    void SlotPresetButtonClicked(int type);
    void SlotResetWidgetParameters(bool update = true) override;

private:
    // Toggles the buttons to the preset (another type changes none); with apply its shape is
    // written into the item, with update too the canvas is re-rendered.
    void ShowPreset(app::VignetteCompositeItem& item, int type, bool apply, bool update);

    std::array<ButtonDefault*, PresetCount> m_presetButtons{};
};

} // namespace lumo::ui
