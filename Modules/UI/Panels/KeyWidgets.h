#pragma once

// The panels of the current foreground's key chain: one per item of its key list, built by the key
// section in list order. Wherever the current layer type points, they edit the foreground's keys.
// Pairs mark the preview cache stale from RenderLevelKey and a change re-renders the foreground from
// there; Light Wrap, applied when the canvas is composed, re-renders from RenderLevelPostFilter.
// The panels of the keyer's own steps (the shadow group) also make the cast shadow's cache stale
// with every change, since the shadow is cut from the matte.

#include "Panels/EffectWidget.h"

#include "KeyItems.h"
#include "LMerr.h"

namespace lumo::ui {

struct KeyWidgetInfo : EffectWidgetInfo {
    app::KeyItemType type = app::KeyItemTypeYuvBlur;
    // What the key section's reset-all gives the panel.
    bool defaultEnabled = false;
    bool defaultExpanded = false;
};

std::unique_ptr<KeyWidgetInfo> CreateKeyWidgetInfo(const app::AbstractKeyItem& item, int position);

class AbstractKeyWidget : public AbstractEffectWidget {
    Q_OBJECT

public:
    KeyWidgetInfo& Info() const { return static_cast<KeyWidgetInfo&>(BaseInfo()); }
    // The item in the current foreground's key list (the shared defaults' when it has no settings
    // of its own), whatever layer type is current. 0 when found.
    app::LMerr FindItem(std::shared_ptr<app::AbstractKeyItem>& out) const;

protected:
    enum Flag {
        ShadowGroup = 0x1, // a step of the keyer: changes make the shadow cache stale
        DefaultOn = 0x2,   // the section's reset-all leaves it enabled and open
    };

    // Made without a parent: the key section's layout adopts it. item must not be null.
    AbstractKeyWidget(const std::shared_ptr<app::AbstractKeyItem>& item, const QString& title, int position,
                      int flags);

    std::shared_ptr<app::AbstractRenderItem> FindRenderItem() const override;
};

// The panel of a key item, or null for a type without one (or a null item).
AbstractKeyWidget* CreateKeyWidget(const std::shared_ptr<app::AbstractKeyItem>& item, int position);

// "Alpha Blur": the matte's blur radius, 0 to 200.
class AlphaBlurKeyWidget final : public AbstractKeyWidget {
    Q_OBJECT

public:
    AlphaBlurKeyWidget(const std::shared_ptr<app::AbstractKeyItem>& item, int position);
};

// "Alpha Levels": the matte's black and white points in percent.
class AlphaSuperContrastKeyWidget final : public AbstractKeyWidget {
    Q_OBJECT

public:
    enum Row { RowBlack, RowWhite };

    AlphaSuperContrastKeyWidget(const std::shared_ptr<app::AbstractKeyItem>& item, int position);
};

// "Auto Color Difference": the keyer itself. Removal and Softness run opposite to the stored grey
// detail and grey threshold. Leaves the active flag alone.
class AutoColorDifferenceKeyWidget final : public AbstractKeyWidget {
    Q_OBJECT

public:
    enum Row { RowColor, RowRemoval, RowDetail, RowSoftness };

    AutoColorDifferenceKeyWidget(const std::shared_ptr<app::AbstractKeyItem>& item, int position);
};

// "Crop": the fractions cut off each edge, shown in percent with two decimals. Each change shows
// that edge on the canvas (the view's crop rectangle); a reset does not.
class CropKeyWidget final : public AbstractKeyWidget {
    Q_OBJECT

public:
    enum Row { RowLeft, RowRight, RowTop, RowBottom };

    CropKeyWidget(const std::shared_ptr<app::AbstractKeyItem>& item, int position);
};

// "Erode": how far the matte shrinks, 0 to 20 pixels.
class ErodeKeyWidget final : public AbstractKeyWidget {
    Q_OBJECT

public:
    ErodeKeyWidget(const std::shared_ptr<app::AbstractKeyItem>& item, int position);
};

// "Light Wrap": the background's light over the subject's edge, its width and blend mode. Drawn
// when the canvas is composed, so the size pair makes no layer cache stale.
class LightSpillKeyWidget final : public AbstractKeyWidget {
    Q_OBJECT

public:
    enum Row { RowSize, RowBlendMode };

    LightSpillKeyWidget(const std::shared_ptr<app::AbstractKeyItem>& item, int position);
};

// "Spill Suppression": when it applies, its type and strength. The per-channel strengths and the
// advanced strength are kept in a group that is never shown, but loaded and reset with the panel.
// Always active.
class SpillSuppressionKeyWidget final : public AbstractKeyWidget {
    Q_OBJECT

public:
    enum Row { RowProcess, RowType, RowStrength, RowRed, RowGreen, RowBlue, RowAdvancedStrength };

    SpillSuppressionKeyWidget(const std::shared_ptr<app::AbstractKeyItem>& item, int position);

    QWidget* AdvancedGroup() const { return m_advanced; }

private:
    QWidget* m_advanced = nullptr;
};

// "UV Blur": the chroma blur's type and radius, 0 to 10.
class YuvBlurKeyWidget final : public AbstractKeyWidget {
    Q_OBJECT

public:
    enum Row { RowType, RowBlur };

    YuvBlurKeyWidget(const std::shared_ptr<app::AbstractKeyItem>& item, int position);
};

} // namespace lumo::ui
