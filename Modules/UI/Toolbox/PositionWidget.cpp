#include "Toolbox/PositionWidget.h"

#include "Canvas/CanvasView.h"
#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Controls/DialControls.h"
#include "Controls/SmallWidgets.h"
#include "Controls/ValueControls.h"
#include "Shell/Application.h"
#include "Shell/LumoDocument.h"
#include "Toolbox/PanelSupport.h"

#include "ImageLayer.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "Mask.h"
#include "Project.h"
#include "RenderProcessor.h"
#include "TransformItems.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <cmath>

namespace lumo::ui {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace {

app::ProjectPtr CurrentProject()
{
    return Application::Instance()->GetDocument()->GetProject();
}

// The transformation item of the foreground (kind 1) or of the background's settings (kind 0).
std::shared_ptr<app::TransformationTransformItem> TransformItemOf(int kind)
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return nullptr;
    const app::LayerManagerPtr layers = project->GetLayerManager();
    const app::TransformList* list = nullptr;
    if (kind == app::LayerTypeForeground) {
        if (const app::ForegroundImageLayerSettingsPtr settings = layers->GetForegroundSettings())
            list = &settings->Transforms();
    } else if (const app::ImageLayerSettingsPtr settings = layers->GetLayerSettings(app::LayerTypeBackground)) {
        list = &settings->Transforms();
    }
    return list != nullptr ? app::FindItemOfType<app::TransformationTransformItem>(
                                 *list, app::TransformItemTypeTransformation)
                           : nullptr;
}

} // namespace

PositionWidget::PositionWidget(int kind, QWidget* parent)
    : QWidget(parent)
    , m_kind(kind)
{
    QFrame* frame = AddToolboxScrollFrame(*this);

    m_positionContainer = new Container(tr("Position"), ContainerFeatureReset, frame);
    QWidget* positionBody = m_positionContainer->Body();
    m_horizontal = new DoubleSpinSlider(positionBody, -100, 100, 0, 0.01, 1, 5);
    m_vertical = new DoubleSpinSlider(positionBody, -100, 100, 0, 0.01, 1, 5);
    m_scaleContainer = new Container(tr("Scale"), ContainerFeatureReset, frame);
    m_scale = new DoubleSpinSlider(m_scaleContainer->Body(), 10, 500, 100, 0.01, 1, 5);
    for (DoubleSpinSlider* slider : {m_horizontal, m_vertical, m_scale}) {
        slider->SetSuffix(QStringLiteral("%"));
        slider->renderLevel = app::RenderLevelPostFilter;
    }
    m_rotationContainer = new Container(tr("Rotation"), ContainerFeatureReset, frame);
    m_rotation = new DoubleSpinDial(true, m_rotationContainer->Body(), true, 0, 359.99, 0);
    m_rotation->SetSuffix(QString(QChar(176)));
    m_rotation->renderLevel = app::RenderLevelPostFilter;
    m_flipHorizontal = new ButtonDefault(QIcon(QStringLiteral(":Icons/FlipHorizontal.png")), tr("Flip Horizontal"),
                                         m_rotationContainer->Body());
    m_flipVertical = new ButtonDefault(QIcon(QStringLiteral(":Icons/FlipVertical.png")), tr("Flip Vertical"),
                                       m_rotationContainer->Body());
    m_resetButton = new ButtonDefault(QIcon(QStringLiteral(":/Icons/Reset.png")), tr("Reset"), frame);

    auto* positionGrid = new QGridLayout(positionBody);
    positionGrid->setHorizontalSpacing(10);
    positionGrid->setVerticalSpacing(10);
    positionGrid->setContentsMargins(10, 10, 10, 10);
    positionGrid->addWidget(new ToolboxLabel(tr("Horizontal"), positionBody), 0, 0);
    positionGrid->addWidget(m_horizontal, 0, 1);
    positionGrid->addWidget(new ToolboxLabel(tr("Vertical"), positionBody), 1, 0);
    positionGrid->addWidget(m_vertical, 1, 1);
    auto* scaleLayout = new QVBoxLayout(m_scaleContainer->Body());
    scaleLayout->setContentsMargins(10, 10, 10, 10);
    scaleLayout->setSpacing(0);
    scaleLayout->addWidget(m_scale);
    auto* rotationLayout = new QVBoxLayout(m_rotationContainer->Body());
    rotationLayout->setContentsMargins(10, 10, 10, 10);
    rotationLayout->setSpacing(10);
    rotationLayout->addWidget(m_rotation);
    auto* flips = new QHBoxLayout;
    flips->setContentsMargins(0, 0, 0, 0);
    flips->setSpacing(10);
    flips->addWidget(m_flipHorizontal);
    flips->addWidget(m_flipVertical);
    rotationLayout->addLayout(flips);
    auto* column = new QVBoxLayout(frame);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(10);
    column->addWidget(m_positionContainer);
    column->addWidget(m_scaleContainer);
    column->addWidget(m_rotationContainer);
    column->addWidget(m_resetButton, 0, Qt::AlignRight);
    column->addStretch();

    connect(m_horizontal, &DoubleSpinSlider::SliderUpdate, this,
            [this](double v, HXDownsampleFactor f) { SlotUpdateHorizontalPosition(v, f); });
    connect(m_vertical, &DoubleSpinSlider::SliderUpdate, this,
            [this](double v, HXDownsampleFactor f) { SlotUpdateVerticalPosition(v, f); });
    connect(m_scale, &DoubleSpinSlider::SliderUpdate, this,
            [this](double v, HXDownsampleFactor f) { SlotUpdateScale(v, f); });
    connect(m_rotation, &DoubleSpinDial::DialUpdate, this,
            [this](double v, HXDownsampleFactor f) { SlotUpdateRotation(v, f); });
    connect(m_flipHorizontal, &QPushButton::clicked, this, [this] { SlotFlipHorizontal(); });
    connect(m_flipVertical, &QPushButton::clicked, this, [this] { SlotFlipVertical(); });
    connect(m_positionContainer, &Container::SignalReset, this, [this] { SlotResetPositionParameters(); });
    connect(m_scaleContainer, &Container::SignalReset, this, [this] { SlotResetScaleParameters(); });
    connect(m_rotationContainer, &Container::SignalReset, this, [this] { SlotResetRotationParameters(); });
    connect(m_resetButton, &QPushButton::clicked, this, &PositionWidget::SlotResetPositionSection);
}

int PositionWidget::CurrentLayerType() const
{
    const app::ProjectPtr project = CurrentProject();
    return project ? int(project->CurrentLayerType()) : int(app::LayerTypeForeground);
}

std::shared_ptr<app::TransformationTransformItem> PositionWidget::FindTransformItem() const
{
    return TransformItemOf(CurrentLayerType() == app::LayerTypeForeground ? app::LayerTypeForeground
                                                                          : app::LayerTypeBackground);
}

std::shared_ptr<app::TransformationTransformItem> PositionWidget::PanelTransformItem() const
{
    return TransformItemOf(m_kind == 1 ? app::LayerTypeForeground : app::LayerTypeBackground);
}

void PositionWidget::Refit(HXDownsampleFactor factor) const
{
    Application::Instance()->UpdateOverlayFit(factor, true);
    Application::Instance()->UpdateLayerFits(factor, true);
}

void PositionWidget::TransformChanged(HXDownsampleFactor factor) const
{
    Application* app = Application::Instance();
    const int type = CurrentLayerType();
    if (type == app::LayerTypeForeground) {
        if (const auto processor = app->GetRenderProcessor())
            processor->InvalidateAllMaskCache();
    }
    app->RequestLayerRefresh(type, app::RenderLevelPostFilter, factor);
    if (CanvasView* view = app->GetCanvasView())
        view->UpdateLayerHandles();
}

void PositionWidget::FinalRefresh() const
{
    Refit(HXDownsampleFactor0);
    Application::Instance()->InvalidateLayerCache(CurrentLayerType(), app::RenderLevelPostFilter, HXDownsampleFactor3);
    TransformChanged(HXDownsampleFactor0);
}

void PositionWidget::ScaleMasks(double scale) const
{
    if (CurrentLayerType() != app::LayerTypeForeground)
        return;
    const app::ProjectPtr project = CurrentProject();
    const app::ForegroundImageLayerSettingsPtr settings =
        project ? project->GetLayerManager()->GetForegroundSettings() : nullptr;
    if (!settings)
        return;
    for (auto it = settings->Masks().Begin(); it != settings->Masks().End(); ++it)
        (*it)->SetScale(float(scale));
}

void PositionWidget::SlotUpdateHorizontalPosition(double position, HXDownsampleFactor factor, bool update)
{
    const auto item = FindTransformItem();
    if (!item)
        return;
    item->SetTranslateX(position * 0.01);
    Refit(factor);
    if (update)
        TransformChanged(factor);
}

void PositionWidget::SlotUpdateVerticalPosition(double position, HXDownsampleFactor factor, bool update)
{
    const auto item = FindTransformItem();
    if (!item)
        return;
    item->SetTranslateY(position * 0.01);
    Refit(factor);
    if (update)
        TransformChanged(factor);
}

void PositionWidget::SlotUpdateScale(double scale, HXDownsampleFactor factor, bool update)
{
    const auto item = FindTransformItem();
    if (!item)
        return;
    const double s = scale / 100.0;
    item->SetScaleX(m_flippedHorizontally ? -s : s);
    item->SetScaleY(m_flippedVertically ? -s : s);
    ScaleMasks(s);
    Refit(factor);
    if (update)
        TransformChanged(factor);
}

void PositionWidget::SlotUpdateRotation(double angle, HXDownsampleFactor factor, bool update)
{
    const auto item = FindTransformItem();
    if (!item)
        return;
    item->SetRotation(angle);
    Refit(factor);
    if (!update)
        return;
    if (factor == HXDownsampleFactor0)
        Application::Instance()->InvalidateLayerCache(CurrentLayerType(), app::RenderLevelPostFilter,
                                                      HXDownsampleFactor3);
    TransformChanged(factor);
}

void PositionWidget::FlipScale(bool horizontal, bool update)
{
    const auto item = FindTransformItem();
    if (!item)
        return;
    if (horizontal) {
        m_flippedHorizontally = !m_flippedHorizontally;
        item->SetScaleX(-item->ScaleX());
    } else {
        m_flippedVertically = !m_flippedVertically;
        item->SetScaleY(-item->ScaleY());
    }
    Refit(HXDownsampleFactor0);
    if (update) {
        Application::Instance()->InvalidateLayerCache(CurrentLayerType(), app::RenderLevelPostFilter,
                                                      HXDownsampleFactor3);
        TransformChanged(HXDownsampleFactor0);
    }
}

void PositionWidget::SlotFlipHorizontal(bool update)
{
    FlipScale(true, update);
}

void PositionWidget::SlotFlipVertical(bool update)
{
    FlipScale(false, update);
}

void PositionWidget::SlotResetPositionParameters(bool update)
{
    SlotUpdateHorizontalPosition(0, HXDownsampleFactor0, false);
    m_horizontal->SetValue(0);
    SlotUpdateVerticalPosition(0, HXDownsampleFactor0, false);
    m_vertical->SetValue(0);
    if (update && FindTransformItem())
        FinalRefresh();
}

void PositionWidget::SlotResetScaleParameters(bool update)
{
    SlotUpdateScale(100, HXDownsampleFactor0, false);
    m_scale->SetValue(100);
    if (update && FindTransformItem())
        FinalRefresh();
}

void PositionWidget::SlotResetRotationParameters(bool update)
{
    // Undoing the rotation undoes the flips too.
    if (m_flippedHorizontally)
        SlotFlipHorizontal(false);
    m_flippedHorizontally = false;
    if (m_flippedVertically)
        SlotFlipVertical(false);
    m_flippedVertically = false;
    SlotUpdateRotation(0, HXDownsampleFactor0, false);
    m_rotation->SetValue(0);
    if (update && FindTransformItem())
        FinalRefresh();
}

void PositionWidget::SlotResetPositionSection()
{
    SlotResetPositionParameters(false);
    SlotResetScaleParameters(false);
    SlotResetRotationParameters(false);
    if (FindTransformItem())
        FinalRefresh();
}

void PositionWidget::LoadValues(const app::TransformationTransformItem& item)
{
    m_horizontal->SetValue(item.TranslateX() * 100.0);
    m_vertical->SetValue(item.TranslateY() * 100.0);
    m_scale->SetValue(std::abs(item.ScaleX() * 100.0));
    m_rotation->SetValue(item.Rotation());
}

void PositionWidget::UpdateFromModel()
{
    m_flippedHorizontally = false;
    m_flippedVertically = false;
    if (const auto item = PanelTransformItem()) {
        m_flippedHorizontally = item->ScaleX() * 100.0 < 0;
        m_flippedVertically = item->ScaleY() * 100.0 < 0;
        LoadValues(*item);
    }
    Application* app = Application::Instance();
    app->UpdateOverlayFit(HXDownsampleFactor0, false);
    app->UpdateLayerFits(HXDownsampleFactor0, false);
    if (CanvasView* view = app->GetCanvasView())
        view->UpdateLayerHandles();
}

void PositionWidget::UpdateLayer(const QUuid& layerId)
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    const app::LayerManagerPtr layers = project->GetLayerManager();
    if (m_kind == 1) {
        if (layerId != layers->LayerList()->StaticForegroundId())
            return;
    } else {
        const app::ImageLayerPtr background = layers->GetBackground();
        if (!background || background->Id() != layerId || !background->IsValid())
            return;
    }
    if (const auto item = PanelTransformItem())
        LoadValues(*item);
}

} // namespace lumo::ui
