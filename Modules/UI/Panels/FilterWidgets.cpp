#include "Panels/FilterWidgets.h"

#include "Shell/Application.h"
#include "Shell/InterfaceConstants.h"

#include "ItemLists.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "Project.h"

namespace lumo::ui {

using namespace app;

namespace {

const RefreshRoad kCurrentLayer{RefreshRoad::CurrentLayer, RenderLevelFilter};
// Enabling re-renders the current layer's filters; the pairs mark its filter stage stale.
const EffectFamily kFilterFamily{EffectPanelContainerFeatures, kCurrentLayer, RenderLevelFilter};

const QString kPercent = QStringLiteral("%");

// A real between 0 and 2 whose neutral value is 1.
EffectRow Factor(ItemAccess access)
{
    return EffectRow::RealPair(0, 1, 2).Writes(std::move(access)).Neutral(1);
}

EffectRow Percent(int minimum, int defaultValue, int maximum, ItemAccess access)
{
    return EffectRow::IntegerPair(minimum, defaultValue, maximum)
        .Suffix(kPercent)
        .Shows(conversions::Percent)
        .Writes(std::move(access))
        .Neutral(defaultValue);
}

} // namespace

std::unique_ptr<FilterWidgetInfo> CreateFilterWidgetInfo(const AbstractFilterItem& item, int position)
{
    auto info = std::make_unique<FilterWidgetInfo>();
    FillEffectWidgetInfo(*info, item, position);
    info->type = item.Type();
    return info;
}

AbstractFilterWidget::AbstractFilterWidget(const std::shared_ptr<AbstractFilterItem>& item, const QString& title,
                                           int position, QWidget* parent)
    : AbstractEffectWidget(CreateFilterWidgetInfo(*item, position), title, kFilterFamily, parent)
{
}

LMerr AbstractFilterWidget::FindItem(std::shared_ptr<AbstractFilterItem>& out) const
{
    out.reset();
    const Application* application = Application::Instance();
    const ProjectPtr project = application != nullptr ? application->GetDocument()->GetProject() : nullptr;
    if (!project)
        return LMerrFilterNotFound;
    const LayerManagerPtr manager = project->GetLayerManager();
    if (project->CurrentLayerType() == LayerTypeForeground) {
        const ForegroundImageLayerSettingsPtr settings = manager->GetForegroundSettings();
        return settings ? settings->Filters().Get(Info().id, out) : LMerrFilterNotFound;
    }
    const ImageLayerSettingsPtr settings = manager->GetLayerSettings(LayerTypeBackground);
    return settings ? settings->Filters().Get(Info().id, out) : LMerrFilterNotFound;
}

std::shared_ptr<AbstractRenderItem> AbstractFilterWidget::FindRenderItem() const
{
    std::shared_ptr<AbstractFilterItem> item;
    return FindItem(item) == LMerrSuccess ? item : nullptr;
}

AbstractFilterWidget* CreateFilterWidget(const std::shared_ptr<AbstractFilterItem>& item, int position,
                                         QWidget* parent)
{
    if (!item)
        return nullptr;
    switch (item->Type()) {
    case FilterItemTypeBlur:
        return new BlurFilterWidget(item, position, parent);
    case FilterItemTypeBrightness:
        return new BrightnessFilterWidget(item, position, parent);
    case FilterItemTypeContrast:
        return new ContrastFilterWidget(item, position, parent);
    case FilterItemTypeSaturation:
        return new SaturationFilterWidget(item, position, parent);
    case FilterItemTypeSuperContrast:
        return new SuperContrastFilterWidget(item, position, parent);
    case FilterItemTypeColorTemperature:
        return new ColorTemperatureFilterWidget(item, position, parent);
    case FilterItemTypeColorBalance:
        return new ColorBalanceFilterWidget(item, position, parent);
    case FilterItemTypeHueColorize:
        return new HueColorizeFilterWidget(item, position, parent);
    case FilterItemTypeTransparency:
        return new TransparencyFilterWidget(item, position, parent);
    case FilterItemTypeSilhouette:
        return new SilhouetteFilterWidget(item, position, parent);
    default:
        return nullptr;
    }
}

// ---- The panels: their rows

BlurFilterWidget::BlurFilterWidget(const std::shared_ptr<AbstractFilterItem>& item, int position, QWidget* parent)
    : AbstractFilterWidget(item, tr("Blur"), position, parent)
{
    Build(item, kCurrentLayer,
          {EffectRow::IntegerPair(0, 0, 200)
               .Shows(conversions::Truncated)
               .Writes(Access(&BlurFilterItem::Radius, &BlurFilterItem::SetRadius))
               .Neutral(0)});
}

BrightnessFilterWidget::BrightnessFilterWidget(const std::shared_ptr<AbstractFilterItem>& item, int position,
                                               QWidget* parent)
    : AbstractFilterWidget(item, tr("Brightness"), position, parent)
{
    Build(item, kCurrentLayer,
          {Percent(-100, 0, 100, Access(&BrightnessFilterItem::Brightness, &BrightnessFilterItem::SetBrightness))});
}

ContrastFilterWidget::ContrastFilterWidget(const std::shared_ptr<AbstractFilterItem>& item, int position,
                                           QWidget* parent)
    : AbstractFilterWidget(item, tr("Contrast"), position, parent)
{
    Build(item, kCurrentLayer, {Factor(Access(&ContrastFilterItem::Contrast, &ContrastFilterItem::SetContrast))});
}

SaturationFilterWidget::SaturationFilterWidget(const std::shared_ptr<AbstractFilterItem>& item, int position,
                                               QWidget* parent)
    : AbstractFilterWidget(item, tr("Saturation"), position, parent)
{
    Build(item, kCurrentLayer,
          {Factor(Access(&SaturationFilterItem::Saturation, &SaturationFilterItem::SetSaturation))});
}

SuperContrastFilterWidget::SuperContrastFilterWidget(const std::shared_ptr<AbstractFilterItem>& item, int position,
                                                     QWidget* parent)
    : AbstractFilterWidget(item, tr("Levels"), position, parent)
{
    using Item = SuperContrastFilterItem;
    Build(item, kCurrentLayer,
          {Percent(0, 0, 100, Access(&Item::BlackLevel, &Item::SetBlackLevel)).Label(tr("Black")),
           Percent(0, 100, 100, Access(&Item::WhiteLevel, &Item::SetWhiteLevel)).Label(tr("White"))});
}

ColorTemperatureFilterWidget::ColorTemperatureFilterWidget(const std::shared_ptr<AbstractFilterItem>& item,
                                                           int position, QWidget* parent)
    : AbstractFilterWidget(item, tr("Color Temperature"), position, parent)
{
    using Item = ColorTemperatureFilterItem;
    Build(item, kCurrentLayer,
          {EffectRow::IntegerPair(3000, 6500, 15000)
               .Suffix(QStringLiteral("K"))
               .Shows(conversions::Kelvin)
               .Writes(Access(&Item::TemperatureShift, &Item::SetTemperatureShift))
               .Neutral(6500)});
}

ColorBalanceFilterWidget::ColorBalanceFilterWidget(const std::shared_ptr<AbstractFilterItem>& item, int position,
                                                   QWidget* parent)
    : AbstractFilterWidget(item, tr("Color Balance"), position, parent)
{
    using Item = ColorBalanceFilterItem;
    Build(item, kCurrentLayer,
          {Factor(Access(&Item::Red, &Item::SetRed)).Label(tr("Red")),
           Factor(Access(&Item::Green, &Item::SetGreen)).Label(tr("Green")),
           Factor(Access(&Item::Blue, &Item::SetBlue)).Label(tr("Blue"))});
}

HueColorizeFilterWidget::HueColorizeFilterWidget(const std::shared_ptr<AbstractFilterItem>& item, int position,
                                                 QWidget* parent)
    : AbstractFilterWidget(item, tr("Hue Colorize"), position, parent)
{
    using Item = HueColorizeFilterItem;
    Build(item, kCurrentLayer,
          {EffectRow::HuePair(0).Label(tr("Hue")).Writes(Access(&Item::Hue, &Item::SetHue)).Neutral(0),
           Percent(0, 0, 100, Access(&Item::Strength, &Item::SetStrength)).Label(tr("Strength"))});
}

TransparencyFilterWidget::TransparencyFilterWidget(const std::shared_ptr<AbstractFilterItem>& item, int position,
                                                   QWidget* parent)
    : AbstractFilterWidget(item, tr("Transparency"), position, parent)
{
    // The transparency is applied when the foreground is placed, whichever list holds the item.
    Build(item, {RefreshRoad::Foreground, RenderLevelPostFilter},
          {Percent(0, 0, 100, Access(&TransparencyFilterItem::Transparency, &TransparencyFilterItem::SetTransparency))});
}

SilhouetteFilterWidget::SilhouetteFilterWidget(const std::shared_ptr<AbstractFilterItem>& item, int position,
                                               QWidget* parent)
    : AbstractFilterWidget(item, tr("Silhouette"), position, parent)
{
    Build(item, {RefreshRoad::Foreground, RenderLevelFilter},
          {EffectRow::Colour(DefaultSilhouetteColor)
               .Label(tr("Color"))
               .Writes(Access(&SilhouetteFilterItem::Color, &SilhouetteFilterItem::SetColor))});
}

} // namespace lumo::ui
