#pragma once

// The panels of the filter items of the current layer (the foreground's filters, or those the
// foreground keeps for the background): one per item, built by the filters list in list order.
// Pairs mark the preview cache stale from RenderLevelFilter; a change re-renders the current layer
// from RenderLevelFilter, but for Transparency (the foreground from RenderLevelPostFilter) and
// Silhouette (the foreground, its preview cache made stale, at full resolution).

#include "Panels/EffectWidget.h"

#include "FilterItems.h"
#include "LMerr.h"

namespace lumo::ui {

struct FilterWidgetInfo : EffectWidgetInfo {
    app::FilterItemType type = app::FilterItemTypeBrightness;
};

std::unique_ptr<FilterWidgetInfo> CreateFilterWidgetInfo(const app::AbstractFilterItem& item, int position);

class AbstractFilterWidget : public AbstractEffectWidget {
    Q_OBJECT

public:
    FilterWidgetInfo& Info() const { return static_cast<FilterWidgetInfo&>(BaseInfo()); }
    // The item in the filter list of the current layer type: the foreground's own, otherwise the
    // one the foreground keeps for the background. 0 when found.
    app::LMerr FindItem(std::shared_ptr<app::AbstractFilterItem>& out) const;

protected:
    // item must not be null.
    AbstractFilterWidget(const std::shared_ptr<app::AbstractFilterItem>& item, const QString& title, int position,
                         QWidget* parent);

    std::shared_ptr<app::AbstractRenderItem> FindRenderItem() const override;
};

// The panel of a filter item, or null for a type without one (or a null item).
AbstractFilterWidget* CreateFilterWidget(const std::shared_ptr<app::AbstractFilterItem>& item, int position,
                                         QWidget* parent);

// "Blur": radius 0 to 200.
class BlurFilterWidget final : public AbstractFilterWidget {
    Q_OBJECT

public:
    BlurFilterWidget(const std::shared_ptr<app::AbstractFilterItem>& item, int position, QWidget* parent);
};

// "Brightness": -100 % to 100 %.
class BrightnessFilterWidget final : public AbstractFilterWidget {
    Q_OBJECT

public:
    BrightnessFilterWidget(const std::shared_ptr<app::AbstractFilterItem>& item, int position, QWidget* parent);
};

// "Contrast": 0 to 2.
class ContrastFilterWidget final : public AbstractFilterWidget {
    Q_OBJECT

public:
    ContrastFilterWidget(const std::shared_ptr<app::AbstractFilterItem>& item, int position, QWidget* parent);
};

// "Saturation": 0 to 2.
class SaturationFilterWidget final : public AbstractFilterWidget {
    Q_OBJECT

public:
    SaturationFilterWidget(const std::shared_ptr<app::AbstractFilterItem>& item, int position, QWidget* parent);
};

// "Levels": black and white, in percent.
class SuperContrastFilterWidget final : public AbstractFilterWidget {
    Q_OBJECT

public:
    SuperContrastFilterWidget(const std::shared_ptr<app::AbstractFilterItem>& item, int position, QWidget* parent);
};

// "Color Temperature": 3000 K to 15000 K, the item's shift + 1500.
class ColorTemperatureFilterWidget final : public AbstractFilterWidget {
    Q_OBJECT

public:
    ColorTemperatureFilterWidget(const std::shared_ptr<app::AbstractFilterItem>& item, int position, QWidget* parent);
};

// "Color Balance": red, green and blue, 0 to 2.
class ColorBalanceFilterWidget final : public AbstractFilterWidget {
    Q_OBJECT

public:
    ColorBalanceFilterWidget(const std::shared_ptr<app::AbstractFilterItem>& item, int position, QWidget* parent);
};

// "Hue Colorize": hue in degrees and strength in percent.
class HueColorizeFilterWidget final : public AbstractFilterWidget {
    Q_OBJECT

public:
    HueColorizeFilterWidget(const std::shared_ptr<app::AbstractFilterItem>& item, int position, QWidget* parent);
};

// "Transparency": 0 % to 100 %; re-renders the foreground from RenderLevelPostFilter.
class TransparencyFilterWidget final : public AbstractFilterWidget {
    Q_OBJECT

public:
    TransparencyFilterWidget(const std::shared_ptr<app::AbstractFilterItem>& item, int position, QWidget* parent);
};

// "Silhouette": the colour the subject is filled with; leaves the active flag alone.
class SilhouetteFilterWidget final : public AbstractFilterWidget {
    Q_OBJECT

public:
    SilhouetteFilterWidget(const std::shared_ptr<app::AbstractFilterItem>& item, int position, QWidget* parent);
};

} // namespace lumo::ui
