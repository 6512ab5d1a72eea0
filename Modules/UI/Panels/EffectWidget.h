#pragma once

// The effect-panel pattern that the filter, composite and key panels share (see the README): a
// panel edits one item of an effect list, keeps only the item's id between calls, and on every
// change finds the item again, writes it and asks for a render.
//
// - A family (AbstractFilterWidget, AbstractCompositeWidget, ...) says where its items live
//   (FindRenderItem), how enabling one re-renders (EnableRefresh) and the render level of its pairs.
// - A concrete panel is its title, its refresh road and its rows: each row is data (the control
//   and its range, suffix, conversion to the item's value, accessors, neutral value for the active
//   rule, reset value). The base builds the controls, loads them, wires them to the row slots, lays
//   them out in the container's body and resets them.
// - Slots take a trailing `update`: true writes and asks for the render, false only writes (a
//   reset writes every row with false and asks for one render at the end).
// When the item is gone or the current layer type points at another list, a slot writes nothing and
// asks for nothing.

#include "Controls/ChangeProtocol.h"

#include "RenderItems.h"
#include "RenderProcessor.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

class QGridLayout;

namespace lumo::ui {

class Container;

// The whole percent a panel shows for a stored fraction: rounded to the nearest, so that a stored
// 0.29 shows 29 and a rewrite stores 0.29 again (truncation would show 28). One rule for every panel.
int PercentFromFraction(double fraction);

// How a stored value shows in its control, and how the control's value is written back.
struct Conversion {
    double (*toControl)(double itemValue);
    double (*toItem)(double controlValue);
};

namespace conversions {
extern const Conversion Same;      // the value itself (real and hue pairs)
extern const Conversion Truncated; // a real shown by an integer pair, toward zero
extern const Conversion Percent;   // a fraction shown in whole percent (PercentFromFraction), written / 100
extern const Conversion Kelvin;    // a colour-temperature shift shown as shift + 1500 K, toward zero
} // namespace conversions

// Reads and writes one value of an item of one class: numbers as doubles (integers and enumerations
// converted), colours as they are. On an item of another class the calls return false.
struct ItemAccess {
    std::function<bool(const app::AbstractRenderItem&, double&)> read;
    std::function<bool(app::AbstractRenderItem&, double)> write;
    std::function<bool(const app::AbstractRenderItem&, QColor&)> readColour;
    std::function<bool(app::AbstractRenderItem&, const QColor&)> writeColour;
};

// The access through an item class's getter and setter, e.g.
// Access(&BrightnessFilterItem::Brightness, &BrightnessFilterItem::SetBrightness).
template <class Item, class Value, class Argument>
ItemAccess Access(Value (Item::*get)() const, void (Item::*set)(Argument))
{
    using Stored = std::remove_cvref_t<Argument>;
    ItemAccess access;
    if constexpr (std::is_same_v<Stored, QColor>) {
        access.readColour = [get](const app::AbstractRenderItem& item, QColor& out) {
            const auto* typed = dynamic_cast<const Item*>(&item);
            if (typed != nullptr)
                out = (typed->*get)();
            return typed != nullptr;
        };
        access.writeColour = [set](app::AbstractRenderItem& item, const QColor& colour) {
            auto* typed = dynamic_cast<Item*>(&item);
            if (typed != nullptr)
                (typed->*set)(colour);
            return typed != nullptr;
        };
    } else {
        access.read = [get](const app::AbstractRenderItem& item, double& out) {
            const auto* typed = dynamic_cast<const Item*>(&item);
            if (typed != nullptr)
                out = static_cast<double>((typed->*get)());
            return typed != nullptr;
        };
        access.write = [set](app::AbstractRenderItem& item, double value) {
            auto* typed = dynamic_cast<Item*>(&item);
            if (typed == nullptr)
                return false;
            if constexpr (std::is_enum_v<Stored>)
                (typed->*set)(static_cast<Stored>(TruncatedToInt(value)));
            else
                (typed->*set)(static_cast<Stored>(value));
            return true;
        };
    }
    return access;
}

// The control of a row.
enum class RowKind {
    IntegerPair, // SpinSlider
    RealPair,    // DoubleSpinSlider with the row's steps
    HuePair,     // HueSpinSlider (0 to 360 degrees)
    Choice,      // ComboBox of the row's choices
    Colour,      // ColorPickerWidget
};

// The steps of a real pair's spin box.
struct RealSteps {
    double shift = 0.001;
    double single = 0.01;
    double ctrl = 0.1;
};

// One control of a panel and how it maps onto the item: made by the factory of its kind, then
// completed by the setters, e.g.
//   EffectRow::IntegerPair(-100, 0, 100).Suffix("%").Shows(conversions::Percent)
//       .Writes(Access(&BrightnessFilterItem::Brightness, &BrightnessFilterItem::SetBrightness)).Neutral(0)
struct EffectRow {
    static EffectRow IntegerPair(int minimum, int defaultValue, int maximum);
    static EffectRow RealPair(double minimum, double defaultValue, double maximum, RealSteps steps = {});
    // 0 to 360 degrees.
    static EffectRow HuePair(double defaultValue);
    // values: the item value of each entry; empty: the entry index itself. A stored value in no
    // entry leaves the combo box as it is.
    static EffectRow Choice(QStringList choices, int defaultIndex, std::vector<int> values = {});
    static EffectRow Colour(const QColor& defaultColour);

    EffectRow& Label(const QString& text);
    EffectRow& Suffix(const QString& text);
    EffectRow& Shows(const Conversion& how);
    EffectRow& Writes(ItemAccess how);
    EffectRow& Neutral(double value);
    EffectRow& Level(app::RenderLevel level);
    EffectRow& Detached();

    RowKind kind = RowKind::IntegerPair;
    // The caption in column 0 of the body's grid; a panel whose one row has none shows the control
    // alone.
    QString label;
    double minimum = 0;
    // The control's default, to which a reset returns (a choice: the entry index).
    double defaultValue = 0;
    double maximum = 0;
    RealSteps steps;
    QString suffix;
    QStringList choices;
    std::vector<int> choiceValues;
    QColor defaultColour;
    const Conversion* conversion = &conversions::Same;
    ItemAccess access;
    // In control units: the item is active while any row that has one differs from it (fuzzy for
    // reals); the slots of such rows set the active flag. Rows without one leave it alone.
    std::optional<double> neutral;
    // The pair's cache step; unset: the family's level.
    std::optional<app::RenderLevel> renderLevel;
    // Made and wired, but neither laid out, loaded from the item nor reset.
    bool detached = false;
};

// Where a change is re-rendered from.
struct RefreshRoad {
    enum Target {
        CurrentLayer, // the project's current layer type at the moment of the call
        Foreground,
        WholeCanvas, // the whole-canvas refresh; no layer cache is touched
    };
    Target target = CurrentLayer;
    app::RenderLevel level = app::RenderLevelFilter;
};

// What the panels of one family share: their title's buttons, how enabling an item re-renders, and
// the render level of their pairs' cache step (rows may name their own).
struct EffectFamily {
    int containerFeatures = 0;
    RefreshRoad enableRefresh;
    app::RenderLevel pairLevel = NoRenderLevel;
};

// What a panel keeps of its item: the id is the only link to the model between calls.
struct EffectWidgetInfo {
    virtual ~EffectWidgetInfo() = default;
    QUuid id;
    bool enabled = false;  // the item's at build time, then the last SlotSetEnabled
    bool expanded = false; // the item's collapsed flag (true: shown open), then the last SlotSetExpanded
    int position = 0;      // the panel's row in its list; the list panel rewrites it on moves
    Container* container = nullptr;
    // Enabling or changing the item makes the shadow cache stale (key panels only).
    bool invalidatesShadowCache = false;
};

// Fills a descriptor's common fields from the item (the family's Create...WidgetInfo adds the type).
void FillEffectWidgetInfo(EffectWidgetInfo& info, const app::AbstractRenderItem& item, int position);

class AbstractEffectWidget : public QWidget {
    Q_OBJECT

public:
    ~AbstractEffectWidget() override;

    Container* GetContainer() const;
    int RowCount() const;
    // The row's SpinSlider, DoubleSpinSlider, HueSpinSlider, ComboBox or ColorPickerWidget.
    QWidget* RowControl(int row) const;
    template <class Control>
    Control* RowControlAs(int row) const
    {
        return qobject_cast<Control*>(RowControl(row));
    }

signals:
    void SignalMoveFilterUp();
    void SignalMoveFilterDown();
    // The body was shown or hidden with the enable state: the list re-lays its rows.
    void SignalContainerExpandChanged();

public slots:
    void SlotSetEnabled(bool enabled, bool update = true);
    void SlotSetExpanded(bool expanded);
    // Every row back to its default (writing the item without a render), then, when update is set
    // and the item exists, one render from the panel's road.
    virtual void SlotResetWidgetParameters(bool update = true);
    // A row's pair announced value at factor; the control's range and units.
    void SlotUpdateValue(int row, double value, hvn::image::HXDownsampleFactor factor, bool update = true);
    // A row's combo box chose index; an index outside the entries writes nothing but still renders.
    void SlotUpdateChoice(int row, int index, bool update = true);
    // A row's colour picker chose a colour.
    void SlotUpdateColor(int row, bool update = true);

protected:
    AbstractEffectWidget(std::unique_ptr<EffectWidgetInfo> info, const QString& title, const EffectFamily& family,
                         QWidget* parent);

    EffectWidgetInfo& BaseInfo() const { return *m_info; }

    // Where the family keeps the item: null when it is not there (any more).
    virtual std::shared_ptr<app::AbstractRenderItem> FindRenderItem() const = 0;

    // The concrete panel's constructor: CreateRows, LoadRows, LayOutRows and FinishBuilding.
    void Build(const std::shared_ptr<app::AbstractRenderItem>& item, RefreshRoad refresh,
               std::vector<EffectRow> rows);
    // The steps of Build, for a panel that adds to them.
    void CreateRows(RefreshRoad refresh, std::vector<EffectRow> rows);
    // Shows the item's values (nothing is announced) and applies the active rule.
    void LoadRows(app::AbstractRenderItem& item);
    // The body's layout: a single unlabelled row alone, otherwise a grid of captions and controls
    // (returned, so that a panel can add rows below).
    QGridLayout* LayOutRows();
    // The body's state from the item's flags, and the container into the panel.
    void FinishBuilding(const app::AbstractRenderItem& item);

    // Every row that is not detached to its default with update false; false when the item is gone.
    bool ResetRows();
    const RefreshRoad& PanelRefresh() const { return m_refresh; }
    // A value's render: the layer from the road's level at factor, or the whole canvas at factor.
    void RequestRefresh(const RefreshRoad& road, hvn::image::HXDownsampleFactor factor) const;
    // A final render: the layer's preview cache from the level made stale, then the layer at full
    // resolution; or the whole canvas at full resolution.
    void InvalidateAndRefresh(const RefreshRoad& road) const;

private:
    struct Row {
        EffectRow spec;
        QWidget* control = nullptr;
    };

    QWidget* CreateControl(int row);
    double CurrentControlValue(int row) const;
    void ShowValue(int row, double controlValue);
    // The active rule with row's control at value (row -1: every control as it stands).
    bool AnyRowDiffers(int row, double value) const;
    bool HasActiveRule() const;
    void WriteColour(int row, const QColor& colour, bool update);
    void InvalidateShadowCacheIfNeeded() const;

    std::unique_ptr<EffectWidgetInfo> m_info;
    EffectFamily m_family;
    RefreshRoad m_refresh;
    std::vector<Row> m_rows;
};

} // namespace lumo::ui
