#include "Panels/EffectWidget.h"

#include "Controls/ColorPickerWidget.h"
#include "Controls/Container.h"
#include "Controls/HueControls.h"
#include "Controls/SmallWidgets.h"
#include "Controls/ValueControls.h"
#include "Shell/Application.h"

#include "Project.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace lumo::ui {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace {

constexpr int kBodyMargin = 10;
constexpr int kGridSpacing = 10;
constexpr int kColourRowIndent = 20;

app::ProjectPtr CurrentProject()
{
    const Application* application = Application::Instance();
    return application != nullptr ? application->GetDocument()->GetProject() : nullptr;
}

// The entry a stored value shows: the row's own mapping, else its entry table, else the value
// itself; -1 for none.
int EntryOf(const EffectRow& spec, int stored)
{
    int entry = stored;
    if (spec.choiceMapping.entryOf) {
        entry = spec.choiceMapping.entryOf(stored);
    } else if (!spec.choiceValues.empty()) {
        const auto found = std::find(spec.choiceValues.begin(), spec.choiceValues.end(), stored);
        entry = found == spec.choiceValues.end() ? -1 : static_cast<int>(found - spec.choiceValues.begin());
    }
    return entry >= 0 && entry < spec.choices.size() ? entry : -1;
}

// The value an entry writes; none for an entry outside the table (unless the row maps it).
std::optional<int> ValueOf(const EffectRow& spec, int entry)
{
    if (spec.choiceMapping.valueOf)
        return spec.choiceMapping.valueOf(entry);
    if (entry < 0 || entry >= spec.choices.size())
        return std::nullopt;
    return spec.choiceValues.empty() ? entry : spec.choiceValues[static_cast<std::size_t>(entry)];
}

} // namespace

int PercentFromFraction(double fraction)
{
    return TruncatedToInt(std::round(fraction * 100.0));
}

namespace conversions {
const Conversion Same{[](double v) { return v; }, [](double v) { return v; }};
const Conversion Truncated{[](double v) { return static_cast<double>(TruncatedToInt(v)); }, [](double v) { return v; }};
const Conversion Percent{[](double v) { return static_cast<double>(PercentFromFraction(v)); },
                         [](double v) { return v / 100.0; }};
const Conversion Kelvin{[](double v) { return static_cast<double>(TruncatedToInt(v + 1500.0)); },
                        [](double v) { return v - 1500.0; }};
// (100 - v) / 100 rather than 1 - v / 100: the stored value is the nearest double to the decimal
// (67 stores 0.33, not 0.32999999999999996).
const Conversion InvertedPercent{[](double v) { return static_cast<double>(100 - PercentFromFraction(v)); },
                                 [](double v) { return (100.0 - v) / 100.0; }};
const Conversion TwoMinus{[](double v) { return 2.0 - v; }, [](double v) { return 2.0 - v; }};
const Conversion RealPercent{[](double v) { return v * 100.0; }, [](double v) { return v / 100.0; }};
} // namespace conversions

EffectRow EffectRow::IntegerPair(int minimum, int defaultValue, int maximum)
{
    EffectRow row;
    row.kind = RowKind::IntegerPair;
    row.minimum = minimum;
    row.defaultValue = defaultValue;
    row.maximum = maximum;
    return row;
}

EffectRow EffectRow::RealPair(double minimum, double defaultValue, double maximum, RealSteps steps)
{
    EffectRow row;
    row.kind = RowKind::RealPair;
    row.minimum = minimum;
    row.defaultValue = defaultValue;
    row.maximum = maximum;
    row.steps = steps;
    return row;
}

EffectRow EffectRow::HuePair(double defaultValue)
{
    EffectRow row;
    row.kind = RowKind::HuePair;
    row.defaultValue = defaultValue;
    row.maximum = 360;
    return row;
}

EffectRow EffectRow::Choice(QStringList choices, int defaultIndex, std::vector<int> values)
{
    EffectRow row;
    row.kind = RowKind::Choice;
    row.choices = std::move(choices);
    row.defaultValue = defaultIndex;
    row.choiceValues = std::move(values);
    return row;
}

EffectRow EffectRow::Colour(const QColor& defaultColour)
{
    EffectRow row;
    row.kind = RowKind::Colour;
    row.defaultColour = defaultColour;
    return row;
}

EffectRow& EffectRow::Label(const QString& text)
{
    label = text;
    return *this;
}

EffectRow& EffectRow::Suffix(const QString& text)
{
    suffix = text;
    return *this;
}

EffectRow& EffectRow::Shows(const Conversion& how)
{
    conversion = &how;
    return *this;
}

EffectRow& EffectRow::Writes(ItemAccess how)
{
    access = std::move(how);
    return *this;
}

EffectRow& EffectRow::Neutral(double value)
{
    neutral = value;
    return *this;
}

EffectRow& EffectRow::Level(app::RenderLevel level)
{
    renderLevel = level;
    return *this;
}

EffectRow& EffectRow::Detached()
{
    detached = true;
    return *this;
}

EffectRow& EffectRow::Maps(ChoiceMapping how)
{
    if (how.entryOf)
        choiceMapping.entryOf = std::move(how.entryOf);
    if (how.valueOf)
        choiceMapping.valueOf = std::move(how.valueOf);
    return *this;
}

EffectRow& EffectRow::InGroup(int rowGroup)
{
    group = rowGroup;
    return *this;
}

EffectRow& EffectRow::AfterUpdate(std::function<void()> call)
{
    afterUpdate = std::move(call);
    return *this;
}

void FillEffectWidgetInfo(EffectWidgetInfo& info, const app::AbstractRenderItem& item, int position)
{
    info.id = item.Id();
    info.enabled = item.IsEnabled();
    info.expanded = item.IsCollapsed();
    info.position = position;
}

AbstractEffectWidget::AbstractEffectWidget(std::unique_ptr<EffectWidgetInfo> info, const QString& title,
                                           const EffectFamily& family, QWidget* parent)
    : QWidget(parent), m_info(std::move(info)), m_family(family)
{
    auto* container = new Container(title, family.containerFeatures, this);
    m_info->container = container;
    connect(container, &Container::SignalExpandBody, this, [this](bool expand) { SlotSetExpanded(expand); });
    connect(container, &Container::SignalEnableBody, this, [this](bool enable) { SlotSetEnabled(enable); });
    connect(container, &Container::SignalReset, this, [this] { SlotResetWidgetParameters(); });
    connect(container, &Container::SignalMoveUp, this, &AbstractEffectWidget::SignalMoveFilterUp);
    connect(container, &Container::SignalMoveDown, this, &AbstractEffectWidget::SignalMoveFilterDown);
}

AbstractEffectWidget::~AbstractEffectWidget() = default;

Container* AbstractEffectWidget::GetContainer() const
{
    return m_info->container;
}

int AbstractEffectWidget::RowCount() const
{
    return static_cast<int>(m_rows.size());
}

QWidget* AbstractEffectWidget::RowControl(int row) const
{
    return row >= 0 && row < RowCount() ? m_rows[static_cast<std::size_t>(row)].control : nullptr;
}

// ---- Building

void AbstractEffectWidget::Build(const std::shared_ptr<app::AbstractRenderItem>& item, RefreshRoad refresh,
                                 std::vector<EffectRow> rows)
{
    CreateRows(refresh, std::move(rows));
    if (item)
        LoadRows(*item);
    LayOutRows();
    if (item)
        FinishBuilding(*item);
}

void AbstractEffectWidget::CreateRows(RefreshRoad refresh, std::vector<EffectRow> rows)
{
    m_refresh = refresh;
    m_rows.clear();
    for (EffectRow& spec : rows)
        m_rows.push_back({std::move(spec), nullptr});
    for (int row = 0; row < RowCount(); ++row) {
        Row& made = m_rows[static_cast<std::size_t>(row)];
        made.control = CreateControl(row);
        // Outside every layout it would sit over the panel's title.
        if (made.spec.detached)
            made.control->hide();
    }
}

QWidget* AbstractEffectWidget::CreateControl(int row)
{
    const EffectRow& spec = m_rows[static_cast<std::size_t>(row)].spec;
    const app::RenderLevel level = spec.renderLevel.value_or(m_family.pairLevel);
    // Functor connections cannot bind the slots' default `update`: lambdas do.
    switch (spec.kind) {
    case RowKind::IntegerPair: {
        auto* pair = new SpinSlider(TruncatedToInt(spec.minimum), TruncatedToInt(spec.defaultValue),
                                    TruncatedToInt(spec.maximum), this);
        pair->renderLevel = level;
        if (!spec.suffix.isEmpty())
            pair->SetSuffix(spec.suffix);
        connect(pair, &SpinSlider::SliderUpdate, this,
                [this, row](int value, HXDownsampleFactor factor) { SlotUpdateValue(row, value, factor); });
        return pair;
    }
    case RowKind::RealPair:
    case RowKind::HuePair: {
        DoubleSpinSlider* pair = spec.kind == RowKind::HuePair
                                     ? new HueSpinSlider(this, spec.defaultValue)
                                     : new DoubleSpinSlider(this, spec.minimum, spec.maximum, spec.defaultValue,
                                                            spec.steps.shift, spec.steps.single, spec.steps.ctrl);
        pair->renderLevel = level;
        if (!spec.suffix.isEmpty())
            pair->SetSuffix(spec.suffix);
        connect(pair, &DoubleSpinSlider::SliderUpdate, this,
                [this, row](double value, HXDownsampleFactor factor) { SlotUpdateValue(row, value, factor); });
        return pair;
    }
    case RowKind::Choice: {
        auto* combo = new ComboBox(this);
        // As wide as the pairs beside it, never narrower than its longest entry.
        combo->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Minimum);
        combo->addItems(spec.choices);
        connect(combo, &QComboBox::currentIndexChanged, this, [this, row](int index) { SlotUpdateChoice(row, index); });
        return combo;
    }
    case RowKind::Colour: {
        auto* picker = new ColorPickerWidget(spec.defaultColour, this);
        connect(picker, &ColorPickerWidget::ColorChanged, this, [this, row] { SlotUpdateColor(row); });
        return picker;
    }
    }
    return nullptr;
}

void AbstractEffectWidget::LoadRows(app::AbstractRenderItem& item)
{
    for (int row = 0; row < RowCount(); ++row) {
        const EffectRow& spec = m_rows[static_cast<std::size_t>(row)].spec;
        if (spec.detached)
            continue;
        if (spec.kind == RowKind::Colour) {
            QColor colour;
            if (spec.access.readColour && spec.access.readColour(item, colour))
                static_cast<ColorPickerWidget*>(RowControl(row))->SetColor(colour);
            continue;
        }
        double stored = 0;
        if (!spec.access.read || !spec.access.read(item, stored))
            continue;
        if (spec.kind == RowKind::Choice) {
            // A value outside the entries leaves the combo box as it is, and the item keeps it.
            if (const int entry = EntryOf(spec, TruncatedToInt(stored)); entry >= 0)
                ShowValue(row, entry);
            continue;
        }
        ShowValue(row, spec.conversion->toControl(stored));
    }
    if (HasActiveRule())
        item.SetActive(AnyRowDiffers(-1, 0));
}

QGridLayout* AbstractEffectWidget::LayOutRows()
{
    QWidget* body = m_info->container->Body();
    std::vector<int> shown;
    for (int row = 0; row < RowCount(); ++row) {
        const EffectRow& spec = m_rows[static_cast<std::size_t>(row)].spec;
        if (!spec.detached && spec.group == 0)
            shown.push_back(row);
    }
    if (shown.size() == 1 && m_rows[static_cast<std::size_t>(shown.front())].spec.label.isEmpty()) {
        auto* layout = new QVBoxLayout(body);
        layout->setContentsMargins(kBodyMargin, kBodyMargin, kBodyMargin, kBodyMargin);
        layout->setSpacing(0);
        layout->addWidget(RowControl(shown.front()));
        return nullptr;
    }
    auto* grid = new QGridLayout(body);
    grid->setContentsMargins(kBodyMargin, kBodyMargin, kBodyMargin, kBodyMargin);
    AddRowsToGrid(*grid, body, shown);
    return grid;
}

QWidget* AbstractEffectWidget::LayOutGroup(int group)
{
    auto* holder = new QWidget(m_info->container->Body());
    auto* grid = new QGridLayout(holder);
    grid->setContentsMargins(0, 0, 0, 0);
    std::vector<int> rows;
    for (int row = 0; row < RowCount(); ++row) {
        const EffectRow& spec = m_rows[static_cast<std::size_t>(row)].spec;
        if (!spec.detached && spec.group == group)
            rows.push_back(row);
    }
    AddRowsToGrid(*grid, holder, rows);
    return holder;
}

void AbstractEffectWidget::AddRowsToGrid(QGridLayout& grid, QWidget* parent, const std::vector<int>& rows)
{
    grid.setHorizontalSpacing(kGridSpacing);
    grid.setVerticalSpacing(kGridSpacing);
    int gridRow = 0;
    for (const int row : rows) {
        const EffectRow& spec = m_rows[static_cast<std::size_t>(row)].spec;
        grid.addWidget(new ToolboxLabel(spec.label, parent), gridRow, 0);
        if (spec.kind == RowKind::Colour) {
            // The swatch button keeps its size, a little in from the captions.
            auto* line = new QHBoxLayout;
            line->setContentsMargins(kColourRowIndent, 0, 0, 0);
            line->setSpacing(0);
            line->addWidget(RowControl(row));
            line->addStretch();
            grid.addLayout(line, gridRow, 1);
        } else {
            grid.addWidget(RowControl(row), gridRow, 1);
        }
        ++gridRow;
    }
}

void AbstractEffectWidget::FinishBuilding(const app::AbstractRenderItem& item)
{
    m_info->container->SetBodyState(item.IsEnabled(), item.IsCollapsed());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_info->container);
}

// ---- Controls

double AbstractEffectWidget::CurrentControlValue(int row) const
{
    QWidget* control = RowControl(row);
    switch (m_rows[static_cast<std::size_t>(row)].spec.kind) {
    case RowKind::IntegerPair:
        return static_cast<SpinSlider*>(control)->GetSpinBox()->value();
    case RowKind::RealPair:
    case RowKind::HuePair:
        return static_cast<DoubleSpinSlider*>(control)->GetSpinBox()->value();
    case RowKind::Choice:
        return static_cast<ComboBox*>(control)->currentIndex();
    case RowKind::Colour:
        break;
    }
    return 0;
}

void AbstractEffectWidget::ShowValue(int row, double controlValue)
{
    QWidget* control = RowControl(row);
    switch (m_rows[static_cast<std::size_t>(row)].spec.kind) {
    case RowKind::IntegerPair:
        static_cast<SpinSlider*>(control)->SetValue(TruncatedToInt(controlValue));
        break;
    case RowKind::RealPair:
    case RowKind::HuePair:
        static_cast<DoubleSpinSlider*>(control)->SetValue(controlValue);
        break;
    case RowKind::Choice: {
        const QSignalBlocker blocker(control);
        static_cast<ComboBox*>(control)->setCurrentIndex(TruncatedToInt(controlValue));
        break;
    }
    case RowKind::Colour:
        break;
    }
}

bool AbstractEffectWidget::HasActiveRule() const
{
    return std::any_of(m_rows.begin(), m_rows.end(), [](const Row& r) { return r.spec.neutral.has_value(); });
}

bool AbstractEffectWidget::AnyRowDiffers(int row, double value) const
{
    for (int other = 0; other < RowCount(); ++other) {
        const EffectRow& spec = m_rows[static_cast<std::size_t>(other)].spec;
        if (!spec.neutral)
            continue;
        const double shown = other == row ? value : CurrentControlValue(other);
        if (!qFuzzyCompare(shown, *spec.neutral))
            return true;
    }
    return false;
}

// ---- Slots

void AbstractEffectWidget::SlotSetEnabled(bool enabled, bool update)
{
    RunGuarded([&] {
        m_info->enabled = enabled;
        if (update)
            emit SignalContainerExpandChanged();
        const std::shared_ptr<app::AbstractRenderItem> item = FindRenderItem();
        if (!item)
            return;
        item->SetEnabled(enabled);
        if (update)
            InvalidateAndRefresh(m_family.enableRefresh);
    });
}

void AbstractEffectWidget::SlotSetExpanded(bool expanded)
{
    RunGuarded([&] {
        m_info->expanded = expanded;
        if (const std::shared_ptr<app::AbstractRenderItem> item = FindRenderItem())
            item->SetCollapsed(expanded);
    });
}

void AbstractEffectWidget::SlotResetWidgetParameters(bool update)
{
    RunGuarded([&] {
        if (ResetRows() && update)
            InvalidateAndRefresh(m_refresh);
    });
}

bool AbstractEffectWidget::ResetRows()
{
    const bool found = FindRenderItem() != nullptr;
    for (int row = 0; row < RowCount(); ++row) {
        const EffectRow& spec = m_rows[static_cast<std::size_t>(row)].spec;
        if (spec.detached)
            continue;
        switch (spec.kind) {
        case RowKind::Colour:
            WriteColour(row, spec.defaultColour, false);
            static_cast<ColorPickerWidget*>(RowControl(row))->SetColor(spec.defaultColour);
            break;
        case RowKind::Choice:
            SlotUpdateChoice(row, TruncatedToInt(spec.defaultValue), false);
            ShowValue(row, spec.defaultValue);
            break;
        default:
            SlotUpdateValue(row, spec.defaultValue, HXDownsampleFactor0, false);
            ShowValue(row, spec.defaultValue);
            break;
        }
    }
    return found;
}

void AbstractEffectWidget::SlotUpdateValue(int row, double value, HXDownsampleFactor factor, bool update)
{
    RunGuarded([&] {
        if (row < 0 || row >= RowCount())
            return;
        const EffectRow& spec = m_rows[static_cast<std::size_t>(row)].spec;
        const std::shared_ptr<app::AbstractRenderItem> item = FindRenderItem();
        if (!item || !spec.access.write || !spec.access.write(*item, spec.conversion->toItem(value)))
            return;
        if (spec.neutral)
            item->SetActive(AnyRowDiffers(row, value));
        if (!update)
            return;
        RequestRefresh(m_refresh, factor);
        if (spec.afterUpdate)
            spec.afterUpdate();
    });
}

void AbstractEffectWidget::SlotUpdateChoice(int row, int index, bool update)
{
    RunGuarded([&] {
        if (row < 0 || row >= RowCount())
            return;
        const EffectRow& spec = m_rows[static_cast<std::size_t>(row)].spec;
        const std::shared_ptr<app::AbstractRenderItem> item = FindRenderItem();
        if (!item)
            return;
        if (const std::optional<int> value = ValueOf(spec, index); value && spec.access.write) {
            if (!spec.access.write(*item, *value))
                return;
            if (spec.neutral)
                item->SetActive(AnyRowDiffers(row, index));
        }
        if (!update)
            return;
        InvalidateAndRefresh(m_refresh);
        if (spec.afterUpdate)
            spec.afterUpdate();
    });
}

void AbstractEffectWidget::SlotUpdateColor(int row, bool update)
{
    RunGuarded([&] {
        if (auto* picker = qobject_cast<ColorPickerWidget*>(RowControl(row)))
            WriteColour(row, picker->Color(), update);
    });
}

void AbstractEffectWidget::WriteColour(int row, const QColor& colour, bool update)
{
    const EffectRow& spec = m_rows[static_cast<std::size_t>(row)].spec;
    const std::shared_ptr<app::AbstractRenderItem> item = FindRenderItem();
    if (!item || !spec.access.writeColour || !spec.access.writeColour(*item, colour))
        return;
    if (update)
        InvalidateAndRefresh(m_refresh);
}

// ---- Renders

void AbstractEffectWidget::InvalidateShadowCacheIfNeeded() const
{
    if (!m_info->invalidatesShadowCache)
        return;
    if (Application* application = Application::Instance()) {
        application->InvalidateShadowCache(HXDownsampleFactor0);
        application->InvalidateShadowCache(HXDownsampleFactor3);
    }
}

namespace {

int LayerKind(const RefreshRoad& road)
{
    if (road.target == RefreshRoad::Foreground)
        return app::LayerTypeForeground;
    const app::ProjectPtr project = CurrentProject();
    return project ? project->CurrentLayerType() : app::LayerTypeForeground;
}

} // namespace

void AbstractEffectWidget::RequestRefresh(const RefreshRoad& road, HXDownsampleFactor factor) const
{
    Application* application = Application::Instance();
    if (application == nullptr)
        return;
    InvalidateShadowCacheIfNeeded();
    if (road.target == RefreshRoad::WholeCanvas)
        emit application->SignalCanvasRefreshRequested(factor);
    else
        application->RequestLayerRefresh(LayerKind(road), road.level, factor);
}

void AbstractEffectWidget::InvalidateAndRefresh(const RefreshRoad& road) const
{
    Application* application = Application::Instance();
    if (application == nullptr)
        return;
    InvalidateShadowCacheIfNeeded();
    if (road.target == RefreshRoad::WholeCanvas) {
        emit application->SignalCanvasRefreshRequested(HXDownsampleFactor0);
        return;
    }
    const int kind = LayerKind(road);
    application->InvalidateLayerCache(kind, road.level, HXDownsampleFactor3);
    application->RequestLayerRefresh(kind, road.level, HXDownsampleFactor0);
}

} // namespace lumo::ui
