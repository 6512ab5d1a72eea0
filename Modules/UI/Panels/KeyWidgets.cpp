#include "Panels/KeyWidgets.h"

#include "Canvas/CanvasView.h"
#include "Controls/Container.h"
#include "Shell/Application.h"
#include "Shell/InterfaceConstants.h"

#include "ItemLists.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "Project.h"

#include <QGridLayout>

namespace lumo::ui {

using namespace app;

namespace {

const RefreshRoad kFromKey{RefreshRoad::Foreground, RenderLevelKey};
// Enabling any key re-keys the foreground; the pairs mark its key stage stale.
const EffectFamily kKeyFamily{KeyPanelContainerFeatures, kFromKey, RenderLevelKey};

const QString kPercent = QStringLiteral("%");

EffectRow Percent(int defaultValue, ItemAccess access)
{
    return EffectRow::IntegerPair(0, defaultValue, 100)
        .Suffix(kPercent)
        .Shows(conversions::Percent)
        .Writes(std::move(access));
}

// A crop edge: the fraction in percent, two decimals; a change shows the edge on the canvas.
EffectRow CropEdge(const QString& label, int edge, ItemAccess access)
{
    return EffectRow::RealPair(0, 0, 100, {0.01, 1, 5})
        .Label(label)
        .Suffix(kPercent)
        .Shows(conversions::RealPercent)
        .Writes(std::move(access))
        .Neutral(0)
        .AfterUpdate([edge] {
            const Application* application = Application::Instance();
            if (CanvasView* view = application != nullptr ? application->GetCanvasView() : nullptr)
                view->UpdateCropItems(edge);
        });
}

// A strength of the never-shown advanced group.
EffectRow Advanced(const QString& label, double minimum, double defaultValue, double maximum, ItemAccess access)
{
    return EffectRow::RealPair(minimum, defaultValue, maximum)
        .Label(label)
        .Writes(std::move(access))
        .Level(RenderLevelFilter)
        .InGroup(1);
}

} // namespace

std::unique_ptr<KeyWidgetInfo> CreateKeyWidgetInfo(const AbstractKeyItem& item, int position)
{
    auto info = std::make_unique<KeyWidgetInfo>();
    FillEffectWidgetInfo(*info, item, position);
    info->type = item.Type();
    return info;
}

AbstractKeyWidget::AbstractKeyWidget(const std::shared_ptr<AbstractKeyItem>& item, const QString& title, int position,
                                     int flags)
    : AbstractEffectWidget(CreateKeyWidgetInfo(*item, position), title, kKeyFamily, nullptr)
{
    Info().invalidatesShadowCache = (flags & ShadowGroup) != 0;
    Info().defaultEnabled = (flags & DefaultOn) != 0;
    Info().defaultExpanded = (flags & DefaultOn) != 0;
}

LMerr AbstractKeyWidget::FindItem(std::shared_ptr<AbstractKeyItem>& out) const
{
    out.reset();
    const Application* application = Application::Instance();
    const ProjectPtr project = application != nullptr ? application->GetDocument()->GetProject() : nullptr;
    if (!project)
        return LMerrKeyNotFound;
    const ForegroundImageLayerSettingsPtr settings = project->GetLayerManager()->GetForegroundSettings();
    return settings ? settings->Keys().Get(Info().id, out) : LMerrKeyNotFound;
}

std::shared_ptr<AbstractRenderItem> AbstractKeyWidget::FindRenderItem() const
{
    std::shared_ptr<AbstractKeyItem> item;
    return FindItem(item) == LMerrSuccess ? item : nullptr;
}

AbstractKeyWidget* CreateKeyWidget(const std::shared_ptr<AbstractKeyItem>& item, int position)
{
    if (!item)
        return nullptr;
    switch (item->Type()) {
    case KeyItemTypeYuvBlur:
        return new YuvBlurKeyWidget(item, position);
    case KeyItemTypeAutoColorDifference:
        return new AutoColorDifferenceKeyWidget(item, position);
    case KeyItemTypeSpillSuppression:
        return new SpillSuppressionKeyWidget(item, position);
    case KeyItemTypeCrop:
        return new CropKeyWidget(item, position);
    case KeyItemTypeLightSpill:
        return new LightSpillKeyWidget(item, position);
    case KeyItemTypeAlphaSuperContrast:
        return new AlphaSuperContrastKeyWidget(item, position);
    case KeyItemTypeAlphaBlur:
        return new AlphaBlurKeyWidget(item, position);
    case KeyItemTypeErode:
        return new ErodeKeyWidget(item, position);
    default:
        return nullptr;
    }
}

// ---- The panels: their rows

AlphaBlurKeyWidget::AlphaBlurKeyWidget(const std::shared_ptr<AbstractKeyItem>& item, int position)
    : AbstractKeyWidget(item, tr("Alpha Blur"), position, ShadowGroup)
{
    Build(item, kFromKey,
          {EffectRow::IntegerPair(0, 0, 200)
               .Shows(conversions::Truncated)
               .Writes(Access(&AlphaBlurKeyItem::Radius, &AlphaBlurKeyItem::SetRadius))
               .Neutral(0)});
}

AlphaSuperContrastKeyWidget::AlphaSuperContrastKeyWidget(const std::shared_ptr<AbstractKeyItem>& item, int position)
    : AbstractKeyWidget(item, tr("Alpha Levels"), position, ShadowGroup)
{
    using Item = AlphaSuperContrastKeyItem;
    Build(item, kFromKey,
          {Percent(0, Access(&Item::BlackLevel, &Item::SetBlackLevel)).Label(tr("Black")).Neutral(0),
           Percent(100, Access(&Item::WhiteLevel, &Item::SetWhiteLevel)).Label(tr("White")).Neutral(100)});
}

AutoColorDifferenceKeyWidget::AutoColorDifferenceKeyWidget(const std::shared_ptr<AbstractKeyItem>& item,
                                                           int position)
    : AbstractKeyWidget(item, tr("Auto Color Difference"), position, ShadowGroup | DefaultOn)
{
    using Item = AutoColorDifferenceKeyItem;
    Build(item, kFromKey,
          {EffectRow::Choice({tr("Automatic", "Type of Color Difference color"),
                              tr("Green", "Type of Color Difference color"),
                              tr("Blue", "Type of Color Difference color")},
                             hvn::image::HXKeyColorAuto)
               .Label(tr("Color"))
               .Writes(Access(&Item::KeyColor, &Item::SetKeyColor)),
           // Full removal stores a grey detail of 0.
           Percent(100, Access(&Item::GreyDetail, &Item::SetGreyDetail))
               .Label(tr("Removal"))
               .Shows(conversions::InvertedPercent),
           Percent(100, Access(&Item::KeyDetail, &Item::SetKeyDetail)).Label(tr("Detail")),
           // The default softness 67 stores a grey threshold of 0.33.
           Percent(67, Access(&Item::GreyThreshold, &Item::SetGreyThreshold))
               .Label(tr("Softness"))
               .Shows(conversions::InvertedPercent)});
}

CropKeyWidget::CropKeyWidget(const std::shared_ptr<AbstractKeyItem>& item, int position)
    : AbstractKeyWidget(item, tr("Crop"), position, ShadowGroup)
{
    using Item = CropKeyItem;
    // The view's edge numbers: 1 left, 2 right, 3 top, 4 bottom.
    Build(item, kFromKey,
          {CropEdge(tr("Left"), 1, Access(&Item::Left, &Item::SetLeft)),
           CropEdge(tr("Right"), 2, Access(&Item::Right, &Item::SetRight)),
           CropEdge(tr("Top"), 3, Access(&Item::Top, &Item::SetTop)),
           CropEdge(tr("Bottom"), 4, Access(&Item::Bottom, &Item::SetBottom))});
}

ErodeKeyWidget::ErodeKeyWidget(const std::shared_ptr<AbstractKeyItem>& item, int position)
    : AbstractKeyWidget(item, tr("Erode"), position, ShadowGroup)
{
    // The erode direction has no control.
    Build(item, kFromKey,
          {EffectRow::IntegerPair(0, 0, 20)
               .Writes(Access(&ErodeKeyItem::Distance, &ErodeKeyItem::SetDistance))
               .Neutral(0)});
}

LightSpillKeyWidget::LightSpillKeyWidget(const std::shared_ptr<AbstractKeyItem>& item, int position)
    : AbstractKeyWidget(item, tr("Light Wrap"), position, DefaultOn)
{
    using Item = LightSpillKeyItem;
    using namespace hvn::image;
    // Applied when the canvas is composed: re-rendered from the placement, and no layer cache
    // holds it, so the size pair makes none stale.
    Build(item, {RefreshRoad::Foreground, RenderLevelPostFilter},
          {EffectRow::IntegerPair(0, 10, 200)
               .Label(tr("Size"))
               .Shows(conversions::Truncated)
               .Writes(Access(&Item::Blur, &Item::SetBlur))
               .Neutral(0)
               .Level(NoRenderLevel),
           EffectRow::Choice({tr("Add", "Type of blend mode"), tr("Lighten", "Type of blend mode"),
                              tr("Normal", "Type of blend mode"), tr("Screen", "Type of blend mode"),
                              tr("Soft Light", "Type of blend mode")},
                             1,
                             {HXBlendModeAdd, HXBlendModeLighten, HXBlendModeNormal, HXBlendModeScreen,
                              HXBlendModeSoftLight})
               .Label(tr("Blend mode"))
               .Writes(Access(&Item::BlendMode, &Item::SetBlendMode))});
}

SpillSuppressionKeyWidget::SpillSuppressionKeyWidget(const std::shared_ptr<AbstractKeyItem>& item, int position)
    : AbstractKeyWidget(item, tr("Spill Suppression"), position, DefaultOn)
{
    using Item = SpillSuppressionKeyItem;
    using namespace hvn::image;
    CreateRows(kFromKey,
               {EffectRow::Choice({tr("Before masks"), tr("After masks")}, HXSpillApplyBeforeMasks)
                    .Label(tr("Process"))
                    .Writes(Access(&Item::ApplyMethod, &Item::SetApplyMethod))
                    .Maps({.entryOf = [](int stored) { return stored == HXSpillApplyAfterMasks ? 1 : 0; },
                           .valueOf = {}}),
                // A type beyond the two shows, and is chosen as, the extended one.
                EffectRow::Choice({tr("Standard", "Type of Spill Suppression"),
                                   tr("Extended", "Type of Spill Suppression")},
                                  HXSpillTypeExtended)
                    .Label(tr("Type"))
                    .Writes(Access(&Item::SpillType, &Item::SetSpillType))
                    .Maps({.entryOf = [](int stored) { return stored > 1 ? 1 : stored; },
                           .valueOf = [](int entry) -> std::optional<int> { return entry == 0 ? 0 : 1; }}),
                // Unlike Light Wrap's size, the strength is held in the foreground's caches: its pair
                // makes the preview stale like the other key pairs, or a typed strength would not
                // reach the next preview.
                Percent(100, Access(&Item::Opacity, &Item::SetOpacity)).Label(tr("Strength")),
                Advanced(tr("Red"), -1, 0, 1, Access(&Item::RedStrength, &Item::SetRedStrength)),
                Advanced(tr("Green"), -1, 0, 1, Access(&Item::GreenStrength, &Item::SetGreenStrength)),
                Advanced(tr("Blue"), -1, 0, 1, Access(&Item::BlueStrength, &Item::SetBlueStrength)),
                Advanced(tr("Strength"), 0, 1, 2, Access(&Item::AdvancedBias, &Item::SetAdvancedBias))
                    .Shows(conversions::TwoMinus)});
    if (item) {
        LoadRows(*item);
        item->SetActive(true);
    }
    QGridLayout* grid = LayOutRows();
    m_advanced = LayOutGroup(1);
    m_advanced->hide();
    grid->addWidget(m_advanced, grid->rowCount(), 0, 1, 2);
    if (item)
        FinishBuilding(*item);
}

YuvBlurKeyWidget::YuvBlurKeyWidget(const std::shared_ptr<AbstractKeyItem>& item, int position)
    : AbstractKeyWidget(item, tr("UV Blur"), position, ShadowGroup)
{
    using Item = YuvBlurKeyItem;
    Build(item, kFromKey,
          {EffectRow::Choice({tr("Horizontal", "Type of YUV Blur"), tr("Vertical", "Type of YUV Blur"),
                              tr("Box", "Type of YUV Blur"), tr("Gaussian", "Type of YUV Blur")},
                             hvn::image::HXYUVBlurGaussian)
               .Label(tr("Type"))
               .Writes(Access(&Item::BlurType, &Item::SetBlurType)),
           EffectRow::IntegerPair(0, 0, 10)
               .Label(tr("Blur"))
               .Shows(conversions::Truncated)
               .Writes(Access(&Item::Radius, &Item::SetRadius))
               .Neutral(0)});
}

} // namespace lumo::ui
