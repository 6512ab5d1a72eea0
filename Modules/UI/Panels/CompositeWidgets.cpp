#include "Panels/CompositeWidgets.h"

#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Shell/Application.h"
#include "Shell/InterfaceConstants.h"

#include "ItemLists.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "Project.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QSignalBlocker>

namespace lumo::ui {

using namespace app;

namespace {

const RefreshRoad kWholeCanvas{RefreshRoad::WholeCanvas, RenderLevelFilter};
// The pairs keep the level that names no cache: a composite look touches no layer cache.
const EffectFamily kCompositeFamily{EffectPanelContainerFeatures, kWholeCanvas, NoRenderLevel};
const QString kPercent = QStringLiteral("%");
const QString kToggleOn = QStringLiteral(":/Icons/ToggleOn.png");
const QString kToggleOff = QStringLiteral(":/Icons/ToggleOff.png");

// A vignette preset's shape; stretches and opacity in whole percent.
struct VignettePreset {
    const char* name;
    int horizontalStretch;
    int verticalStretch;
    int opacity;
    double softness;
    double curvature;
};

constexpr std::array<VignettePreset, VignetteCompositeWidget::PresetCount> kPresets{{
    {QT_TRANSLATE_NOOP("lumo::ui::VignetteCompositeWidget", "Light"), 110, 110, 60, 0.4, 0.8},
    {QT_TRANSLATE_NOOP("lumo::ui::VignetteCompositeWidget", "Normal"), 100, 100, 80, 0.4, 1.0},
    {QT_TRANSLATE_NOOP("lumo::ui::VignetteCompositeWidget", "Bold"), 80, 80, 100, 0.6, 0.8},
}};

constexpr RealSteps kFineSteps{0.001, 0.01, 0.1};

} // namespace

std::unique_ptr<CompositeWidgetInfo> CreateCompositeWidgetInfo(const AbstractCompositeItem& item, int position)
{
    auto info = std::make_unique<CompositeWidgetInfo>();
    FillEffectWidgetInfo(*info, item, position);
    info->type = item.Type();
    return info;
}

AbstractCompositeWidget::AbstractCompositeWidget(const std::shared_ptr<AbstractCompositeItem>& item,
                                                 const QString& title, int position)
    : AbstractEffectWidget(CreateCompositeWidgetInfo(*item, position), title, kCompositeFamily, nullptr)
{
}

LMerr AbstractCompositeWidget::FindItem(std::shared_ptr<AbstractCompositeItem>& out) const
{
    out.reset();
    const Application* application = Application::Instance();
    const ProjectPtr project = application != nullptr ? application->GetDocument()->GetProject() : nullptr;
    if (!project)
        return LMerrCompositeNotFound;
    const ForegroundImageLayerSettingsPtr settings = project->GetLayerManager()->GetForegroundSettings();
    return settings ? settings->Compositors().Get(Info().id, out) : LMerrCompositeNotFound;
}

std::shared_ptr<AbstractRenderItem> AbstractCompositeWidget::FindRenderItem() const
{
    std::shared_ptr<AbstractCompositeItem> item;
    return FindItem(item) == LMerrSuccess ? item : nullptr;
}

AbstractCompositeWidget* CreateCompositeWidget(const std::shared_ptr<AbstractCompositeItem>& item, int position)
{
    if (!item)
        return nullptr;
    switch (item->Type()) {
    case CompositeItemTypeTint:
        return new TintCompositeWidget(item, position);
    case CompositeItemTypeVignette:
        return new VignetteCompositeWidget(item, position);
    default:
        return nullptr;
    }
}

// ---- Tint

TintCompositeWidget::TintCompositeWidget(const std::shared_ptr<AbstractCompositeItem>& item, int position)
    : AbstractCompositeWidget(item, tr("Tint"), position)
{
    using Item = TintCompositeItem;
    Build(item, kWholeCanvas,
          {EffectRow::Choice({tr("Black & White", "Tint type"), tr("Sepia", "Tint type")}, hvn::image::HXTintSepia)
               .Label(tr("Type"))
               .Writes(Access(&Item::TintType, &Item::SetTintType)),
           EffectRow::IntegerPair(0, 100, 100)
               .Label(tr("Strength"))
               .Suffix(kPercent)
               .Shows(conversions::Percent)
               .Writes(Access(&Item::Strength, &Item::SetStrength))
               .Neutral(0)});
}

// ---- Vignette

VignetteCompositeWidget::VignetteCompositeWidget(const std::shared_ptr<AbstractCompositeItem>& item, int position)
    : AbstractCompositeWidget(item, tr("Vignette"), position)
{
    using Item = VignetteCompositeItem;
    const auto percent = [](int defaultValue, int maximum, ItemAccess access) {
        return EffectRow::IntegerPair(0, defaultValue, maximum)
            .Suffix(kPercent)
            .Shows(conversions::Percent)
            .Writes(std::move(access))
            .Detached();
    };
    const auto real = [](double defaultValue, ItemAccess access) {
        return EffectRow::RealPair(0, defaultValue, 2, kFineSteps).Writes(std::move(access)).Detached();
    };
    CreateRows(kWholeCanvas,
               {EffectRow::Colour(DefaultVignetteColor).Label(tr("Color")).Writes(Access(&Item::Color, &Item::SetColor)),
                percent(100, 200, Access(&Item::HorizontalStretch, &Item::SetHorizontalStretch)),
                percent(100, 200, Access(&Item::VerticalStretch, &Item::SetVerticalStretch)),
                real(0.4, Access(&Item::Softness, &Item::SetSoftness)),
                real(1.0, Access(&Item::Curvature, &Item::SetCurvature)),
                percent(80, 100, Access(&Item::Opacity, &Item::SetOpacity))});

    QWidget* body = GetContainer()->Body();
    auto* presets = new QHBoxLayout;
    presets->setContentsMargins(0, 0, 0, 0);
    presets->setSpacing(10);
    for (int type = 0; type < PresetCount; ++type) {
        auto* button = new ButtonDefault(QIcon(kToggleOff), tr(kPresets[static_cast<std::size_t>(type)].name), body);
        connect(button, &QPushButton::clicked, this, [this, type] { SlotPresetButtonClicked(type); });
        m_presetButtons[static_cast<std::size_t>(type)] = button;
        presets->addWidget(button);
    }

    Item* vignette = dynamic_cast<Item*>(item.get());
    if (vignette != nullptr) {
        LoadRows(*vignette);
        ShowPreset(*vignette, vignette->VignetteType(), false, false);
        // Whole percents, rounded: a rebuild leaves the values as they are.
        vignette->SetHorizontalStretch(PercentFromFraction(vignette->HorizontalStretch()) / 100.0);
        vignette->SetVerticalStretch(PercentFromFraction(vignette->VerticalStretch()) / 100.0);
        vignette->SetOpacity(PercentFromFraction(vignette->Opacity()) / 100.0);
        vignette->SetActive(true);
    }
    QGridLayout* grid = LayOutRows();
    grid->addLayout(presets, grid->rowCount(), 0, 1, 2);
    if (item)
        FinishBuilding(*item);
}

ButtonDefault* VignetteCompositeWidget::PresetButton(int preset) const
{
    return preset >= 0 && preset < PresetCount ? m_presetButtons[static_cast<std::size_t>(preset)] : nullptr;
}

void VignetteCompositeWidget::ShowPreset(VignetteCompositeItem& item, int type, bool apply, bool update)
{
    if (type < 0 || type >= PresetCount)
        return;
    for (int other = 0; other < PresetCount; ++other) {
        ButtonDefault* button = m_presetButtons[static_cast<std::size_t>(other)];
        const QSignalBlocker blocker(button);
        button->setIcon(QIcon(other == type ? kToggleOn : kToggleOff));
    }
    if (!apply)
        return;
    const VignettePreset& preset = kPresets[static_cast<std::size_t>(type)];
    item.SetHorizontalStretch(preset.horizontalStretch / 100.0);
    item.SetVerticalStretch(preset.verticalStretch / 100.0);
    item.SetSoftness(preset.softness);
    item.SetCurvature(preset.curvature);
    item.SetOpacity(preset.opacity / 100.0);
    if (update)
        InvalidateAndRefresh(PanelRefresh());
}

void VignetteCompositeWidget::SlotPresetButtonClicked(int type)
{
    RunGuarded([&] {
        const auto item = std::dynamic_pointer_cast<VignetteCompositeItem>(FindRenderItem());
        if (!item)
            return;
        item->SetVignetteType(static_cast<hvn::image::HXVignetteType>(type));
        ShowPreset(*item, type, true, true);
    });
}

void VignetteCompositeWidget::SlotResetWidgetParameters(bool update)
{
    RunGuarded([&] {
        ResetRows();
        const auto item = std::dynamic_pointer_cast<VignetteCompositeItem>(FindRenderItem());
        if (!item)
            return;
        item->SetVignetteType(hvn::image::HXVignetteTypeNormal);
        ShowPreset(*item, PresetNormal, true, false);
        if (update)
            InvalidateAndRefresh(PanelRefresh());
    });
}

} // namespace lumo::ui
