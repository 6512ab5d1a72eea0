#include "Toolbox/OverlaySection.h"
#include "Toolbox/SingleImport.h"

#include "Canvas/CanvasView.h"
#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Controls/DialControls.h"
#include "Controls/SmallWidgets.h"
#include "Controls/ValueControls.h"
#include "Shell/Application.h"
#include "Shell/OverrideCursor.h"
#include "Toolbox/PanelSupport.h"

#include "ItemLists.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "TransformItems.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace lumo::ui {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace {

constexpr int kMargin = 10;
constexpr int kSpacing = 10;
constexpr double kNoScale = 100.0;

// The overlay's transform item of the type, as its class, in the current foreground's settings.
template <class Item>
std::shared_ptr<Item> OverlayItem(app::TransformItemType type)
{
    const Application* app = Application::Instance();
    const app::ProjectPtr project = app != nullptr ? app->GetDocument()->GetProject() : nullptr;
    const app::ImageLayerSettingsPtr settings =
        project ? project->GetLayerManager()->GetLayerSettings(app::LayerTypeOverlay) : nullptr;
    return settings ? app::FindItemOfType<Item>(settings->Transforms(), type) : nullptr;
}

std::shared_ptr<app::TransformationTransformItem> OverlayTransform()
{
    return OverlayItem<app::TransformationTransformItem>(app::TransformItemTypeTransformation);
}

std::shared_ptr<app::FitTransformItem> OverlayFit()
{
    return OverlayItem<app::FitTransformItem>(app::TransformItemTypeFit);
}

// Combo entries in order: "Canvas", "Foreground", "Background".
app::FitTo FitOfEntry(int entry)
{
    switch (entry) {
    case 1:
        return app::FitToForeground;
    case 2:
        return app::FitToBackground;
    default:
        return app::FitToCanvas;
    }
}

int EntryOfFit(app::FitTo fit)
{
    switch (fit) {
    case app::FitToCanvas:
        return 0;
    case app::FitToForeground:
        return 1;
    case app::FitToBackground:
        return 2;
    default:
        return -1;
    }
}

DoubleSpinSlider* PercentSlider(QWidget* parent, double minimum, double maximum, double defaultValue)
{
    auto* slider = new DoubleSpinSlider(parent, minimum, maximum, defaultValue, 0.01, 1, 5);
    slider->SetSuffix(QObject::tr("%"));
    slider->renderLevel = app::RenderLevelPostFilter;
    return slider;
}

} // namespace

OverlaySection::OverlaySection(QWidget* parent)
    : AbstractToolboxSection({app::ToolsetSectionOverlay, app::LayerTypeOverlay, true}, parent)
{
    QFrame* frame = CreateScrollFrame();
    m_frameLayout = new QVBoxLayout(frame);
    m_frameLayout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    m_frameLayout->setSpacing(kSpacing);
    m_import = new SingleImport(tr("Overlay"), app::LayerTypeOverlay, frame);
    m_frameLayout->addWidget(m_import);
    connect(m_import, &SingleImport::SignalNewImageAdded, this, [this] { SlotNewImageAdded(); });

    m_autofit = new Container(tr("Autofit"), ContainerFeatureReset, frame);
    m_fitCheck = new CheckBox(tr("Fit to"), m_autofit->Body());
    m_fitCombo = new ComboBox(m_autofit->Body());
    m_fitCombo->addItems({tr("Canvas"), tr("Foreground"), tr("Background")});
    m_fitCombo->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Minimum);
    auto* fitRow = new QHBoxLayout(m_autofit->Body());
    fitRow->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    fitRow->setSpacing(kSpacing);
    fitRow->addWidget(m_fitCheck);
    fitRow->addWidget(m_fitCombo);

    m_position = new Container(tr("Position"), ContainerFeatureReset, frame);
    m_horizontal = PercentSlider(m_position->Body(), -100, 100, 0);
    m_vertical = PercentSlider(m_position->Body(), -100, 100, 0);
    auto* grid = new QGridLayout(m_position->Body());
    grid->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    grid->setHorizontalSpacing(kSpacing);
    grid->setVerticalSpacing(kSpacing);
    grid->addWidget(new ToolboxLabel(tr("Horizontal"), m_position->Body()), 0, 0);
    grid->addWidget(m_horizontal, 0, 1);
    grid->addWidget(new ToolboxLabel(tr("Vertical"), m_position->Body()), 1, 0);
    grid->addWidget(m_vertical, 1, 1);

    m_scaleBox = new Container(tr("Scale"), ContainerFeatureReset, frame);
    m_scale = PercentSlider(m_scaleBox->Body(), 10, 500, kNoScale);
    auto* scaleLayout = new QVBoxLayout(m_scaleBox->Body());
    scaleLayout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    scaleLayout->setSpacing(0);
    scaleLayout->addWidget(m_scale);

    m_rotationBox = new Container(tr("Rotation"), ContainerFeatureReset, frame);
    QWidget* rotationBody = m_rotationBox->Body();
    m_rotation = new DoubleSpinDial(true, rotationBody, true, 0.0, 359.99, 0.0);
    m_rotation->SetSuffix(tr("°"));
    m_rotation->renderLevel = app::RenderLevelPostFilter;
    m_flipHorizontal =
        new ButtonDefault(QIcon(QStringLiteral(":Icons/FlipHorizontal.png")), tr("Flip Horizontal"), rotationBody);
    m_flipVertical =
        new ButtonDefault(QIcon(QStringLiteral(":Icons/FlipVertical.png")), tr("Flip Vertical"), rotationBody);
    auto* rotationLayout = new QVBoxLayout(rotationBody);
    rotationLayout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    rotationLayout->setSpacing(0);
    rotationLayout->addWidget(m_rotation);
    auto* flips = new QHBoxLayout();
    flips->setContentsMargins(0, 0, 0, 0);
    flips->setSpacing(kSpacing);
    flips->addWidget(m_flipHorizontal);
    flips->addWidget(m_flipVertical);
    rotationLayout->addLayout(flips);

    m_reset = new ButtonDefault(QIcon(QStringLiteral(":Icons/Reset.png")), tr("Reset"), frame);
    auto* resetRow = new QHBoxLayout();
    resetRow->setContentsMargins(0, 0, 0, 0);
    resetRow->setSpacing(kSpacing);
    resetRow->addStretch();
    resetRow->addWidget(m_reset);

    m_frameLayout->addWidget(m_autofit);
    m_frameLayout->addWidget(m_position);
    m_frameLayout->addWidget(m_scaleBox);
    m_frameLayout->addWidget(m_rotationBox);
    m_frameLayout->addLayout(resetRow);
    m_frameLayout->addStretch();

    connect(m_fitCheck, &QCheckBox::stateChanged, this, [this] { SlotFitToCanvas(); });
    connect(m_fitCombo, &QComboBox::currentIndexChanged, this, [this] { SlotFitToCanvas(); });
    connect(m_autofit, &Container::SignalReset, this, [this] { SlotResetFitToParameters(); });
    connect(m_position, &Container::SignalReset, this, [this] { SlotResetPositionParameters(); });
    connect(m_scaleBox, &Container::SignalReset, this, [this] { SlotResetScaleParameters(); });
    connect(m_rotationBox, &Container::SignalReset, this, [this] { SlotResetRotationParameters(); });
    connect(m_horizontal, &DoubleSpinSlider::SliderUpdate, this,
            [this](double value, HXDownsampleFactor factor) { SlotUpdateHorizontalPosition(value, factor); });
    connect(m_vertical, &DoubleSpinSlider::SliderUpdate, this,
            [this](double value, HXDownsampleFactor factor) { SlotUpdateVerticalPosition(value, factor); });
    connect(m_scale, &DoubleSpinSlider::SliderUpdate, this,
            [this](double value, HXDownsampleFactor factor) { SlotUpdateScale(value, factor); });
    connect(m_rotation, &DoubleSpinDial::DialUpdate, this,
            [this](double value, HXDownsampleFactor factor) { SlotUpdateRotation(value, factor); });
    connect(m_flipHorizontal, &QPushButton::clicked, this, [this] { SlotFlipHorizontal(); });
    connect(m_flipVertical, &QPushButton::clicked, this, [this] { SlotFlipVertical(); });
    connect(m_reset, &QPushButton::clicked, this, &OverlaySection::SlotResetOverlaySection);
}

OverlaySection::~OverlaySection() = default;

void OverlaySection::Refresh(HXDownsampleFactor factor) const
{
    if (Application* app = Application::Instance())
        app->RequestLayerRefresh(app::LayerTypeOverlay, app::RenderLevelPostFilter, factor);
}

void OverlaySection::Invalidate()
{
    if (Application* app = Application::Instance())
        app->InvalidateLayerCache(app::LayerTypeOverlay, app::RenderLevelPostFilter, HXDownsampleFactor3);
}

void OverlaySection::UpdateHandles()
{
    if (CanvasView* view = CurrentCanvasView())
        view->UpdateLayerHandles();
}

void OverlaySection::SlotUpdateHorizontalPosition(double position, HXDownsampleFactor downsample, bool update)
{
    if (const auto transform = OverlayTransform())
        transform->SetTranslateX(position * 0.01);
    if (update) {
        Refresh(downsample);
        UpdateHandles();
    }
}

void OverlaySection::SlotUpdateVerticalPosition(double position, HXDownsampleFactor downsample, bool update)
{
    if (const auto transform = OverlayTransform())
        transform->SetTranslateY(position * 0.01);
    if (update) {
        Refresh(downsample);
        UpdateHandles();
    }
}

void OverlaySection::SlotUpdateScale(double scale, HXDownsampleFactor downsample, bool /*update*/)
{
    if (const auto transform = OverlayTransform()) {
        // A flipped overlay keeps its mirror when scaled.
        transform->SetScaleX((m_flipH ? -scale : scale) / 100.0);
        transform->SetScaleY((m_flipV ? -scale : scale) / 100.0);
    }
    Refresh(downsample);
    UpdateHandles();
}

void OverlaySection::SlotUpdateRotation(double angle, HXDownsampleFactor downsample, bool update)
{
    if (const auto transform = OverlayTransform())
        transform->SetRotation(angle);
    if (update) {
        Refresh(downsample);
        UpdateHandles();
    }
}

void OverlaySection::SlotFlipHorizontal(bool update)
{
    m_flipH = !m_flipH;
    if (const auto transform = OverlayTransform())
        transform->SetScaleX(-transform->ScaleX());
    if (update) {
        Refresh(HXDownsampleFactor0);
        UpdateHandles();
    }
}

void OverlaySection::SlotFlipVertical(bool update)
{
    m_flipV = !m_flipV;
    if (const auto transform = OverlayTransform())
        transform->SetScaleY(-transform->ScaleY());
    if (update) {
        Refresh(HXDownsampleFactor0);
        UpdateHandles();
    }
}

void OverlaySection::ShowFitted()
{
    m_horizontal->SetValue(0);
    m_vertical->SetValue(0);
    m_scale->SetValue(kNoScale);
    m_rotation->SetValue(0);
}

void OverlaySection::SlotFitToCanvas(bool update)
{
    if (!m_fitCheck->isChecked()) {
        SlotActualSize(update);
        return;
    }
    m_flipH = false;
    m_flipV = false;
    ShowFitted();
    if (IsOwnToolset())
        if (CanvasView* view = CurrentCanvasView())
            view->SetLayerHandlesVisible(false);
    m_fitCombo->setEnabled(true);
    for (Container* box : {m_position, m_scaleBox, m_rotationBox})
        box->setEnabled(false);
    if (const auto fit = OverlayFit())
        fit->SetFit(FitOfEntry(m_fitCombo->currentIndex()));
    Invalidate();
    if (Application* app = Application::Instance())
        app->UpdateOverlayFit(HXDownsampleFactor0, update);
}

void OverlaySection::SlotActualSize(bool update)
{
    {
        const QSignalBlocker blocker(m_fitCheck);
        m_fitCheck->setChecked(false);
    }
    for (Container* box : {m_position, m_scaleBox, m_rotationBox})
        box->setEnabled(true);
    m_fitCombo->setEnabled(false);
    if (update) {
        m_flipH = false;
        m_flipV = false;
        if (const auto transform = OverlayTransform()) {
            transform->SetTranslateX(0);
            transform->SetTranslateY(0);
            transform->SetScaleX(1);
            transform->SetScaleY(1);
            transform->SetRotation(0);
        }
        // The sliders show the identity the overlay now has.
        ShowFitted();
        if (const auto fit = OverlayFit())
            fit->SetFit(app::FitToNone);
        if (IsOwnToolset())
            UpdateHandles();
        Invalidate();
        Refresh(HXDownsampleFactor0);
    }
    if (IsOwnToolset())
        if (CanvasView* view = CurrentCanvasView())
            view->SetLayerHandlesVisible(true);
}

void OverlaySection::SlotResetFitToParameters(bool update)
{
    {
        const QSignalBlocker check(m_fitCheck);
        const QSignalBlocker combo(m_fitCombo);
        m_fitCheck->setChecked(true);
        m_fitCombo->setCurrentIndex(0);
    }
    SlotFitToCanvas(false);
    if (update) {
        Invalidate();
        Refresh(HXDownsampleFactor0);
        UpdateHandles();
    }
}

void OverlaySection::SlotResetPositionParameters(bool update)
{
    SlotUpdateHorizontalPosition(0, HXDownsampleFactor0, false);
    m_horizontal->SetValue(0);
    SlotUpdateVerticalPosition(0, HXDownsampleFactor0, false);
    m_vertical->SetValue(0);
    if (update) {
        Invalidate();
        Refresh(HXDownsampleFactor0);
        UpdateHandles();
    }
}

void OverlaySection::SlotResetScaleParameters(bool update)
{
    SlotUpdateScale(kNoScale, HXDownsampleFactor0, false);
    m_scale->SetValue(kNoScale);
    if (update) {
        Invalidate();
        Refresh(HXDownsampleFactor0);
        UpdateHandles();
    }
}

void OverlaySection::SlotResetRotationParameters(bool update)
{
    if (m_flipH)
        SlotFlipHorizontal(false);
    m_flipH = false;
    if (m_flipV)
        SlotFlipVertical(false);
    m_flipV = false;
    SlotUpdateRotation(0, HXDownsampleFactor0, false);
    m_rotation->SetValue(0);
    if (update) {
        Invalidate();
        Refresh(HXDownsampleFactor0);
        UpdateHandles();
    }
}

void OverlaySection::SlotResetOverlaySection()
{
    const WaitCursor wait;
    SlotResetPositionParameters(false);
    SlotResetScaleParameters(false);
    SlotResetRotationParameters(false);
    {
        const QSignalBlocker check(m_fitCheck);
        const QSignalBlocker combo(m_fitCombo);
        m_fitCheck->setChecked(true);
        m_fitCombo->setCurrentIndex(0);
    }
    SlotFitToCanvas(false);
    Invalidate();
    Refresh(HXDownsampleFactor0);
    UpdateHandles();
}

void OverlaySection::SlotNewImageAdded()
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    const app::ImageLayerPtr overlay = project->GetLayerManager()->GetOverlay();
    if (overlay && IsOwnToolset())
        if (CanvasView* view = CurrentCanvasView()) {
            view->CreateLayerHandles(overlay->Id());
            view->UpdateLayerHandles();
        }
    SlotFitToCanvas(false);
    Invalidate();
    Refresh(HXDownsampleFactor0);
}

void OverlaySection::Rebuild()
{
    m_flipH = false;
    m_flipV = false;
    const auto fit = OverlayFit();
    const app::FitTo fitTo = fit ? fit->Fit() : app::FitToNone;
    {
        const QSignalBlocker check(m_fitCheck);
        const QSignalBlocker combo(m_fitCombo);
        if (EntryOfFit(fitTo) >= 0)
            m_fitCombo->setCurrentIndex(EntryOfFit(fitTo));
        m_fitCheck->setChecked(fitTo != app::FitToNone);
        m_fitCombo->setEnabled(fitTo != app::FitToNone);
    }
    const bool fitted = m_fitCheck->isChecked();
    for (Container* box : {m_position, m_scaleBox, m_rotationBox})
        box->setEnabled(!fitted);
    const auto transform = OverlayTransform();
    if (fitted || !transform) {
        ShowFitted();
    } else {
        double scale = transform->ScaleX() * 100.0;
        if (scale < 0) {
            m_flipH = true;
            scale = -scale;
        }
        if (transform->ScaleY() * 100.0 < 0)
            m_flipV = true;
        m_horizontal->SetValue(transform->TranslateX() * 100.0);
        m_vertical->SetValue(transform->TranslateY() * 100.0);
        m_scale->SetValue(scale);
        m_rotation->SetValue(transform->Rotation());
    }
    m_import->UpdateFromModel();
    SlotNewImageAdded();
    if (IsOwnToolset())
        if (CanvasView* view = CurrentCanvasView()) {
            view->UpdateLayerHandles();
            view->SetLayerHandlesVisible(!fitted);
        }
}

void OverlaySection::OtherChange(DataType type, const QUuid& id, FieldType field)
{
    if (type != DataTypeCanvas || field != FieldTypeLayerTransform)
        return;
    const app::ProjectPtr project = CurrentProject();
    const app::ImageLayerPtr overlay = project ? project->GetLayerManager()->GetOverlay() : nullptr;
    if (!overlay || overlay->Id() != id || !overlay->IsValid())
        return;
    if (const auto transform = OverlayTransform()) {
        m_horizontal->SetValue(transform->TranslateX() * 100.0);
        m_vertical->SetValue(transform->TranslateY() * 100.0);
        m_scale->SetValue(std::abs(transform->ScaleX()) * 100.0);
        m_rotation->SetValue(transform->Rotation());
    }
}

} // namespace lumo::ui
