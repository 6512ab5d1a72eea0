#include "Toolbox/LayerPropertiesWidget.h"

#include "Canvas/CanvasView.h"
#include "Controls/ButtonPopupMenu.h"
#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Controls/DialControls.h"
#include "Controls/SmallWidgets.h"
#include "Controls/ThumbnailPreview.h"
#include "Controls/ValueControls.h"
#include "Shell/Application.h"
#include "Shell/OverrideCursor.h"
#include "Shell/Settings.h"
#include "Toolbox/ImageFileChoice.h"
#include "Toolbox/PanelSupport.h"

#include "ItemLists.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "Project.h"
#include "TransformationFunctions.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMimeData>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>

namespace lumo::ui {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace {

constexpr int kSpacing = 10;
// Room for the reset button at the title's right.
constexpr int kTitleReserve = 51;
const QString kRecentKey = QStringLiteral("layer");

app::ImageLayerSettingsPtr SettingsOf(const QUuid& layerId)
{
    const app::ProjectPtr project = CurrentPanelProject();
    return project && !layerId.isNull() ? project->GetLayerManager()->GetLayerSettings(layerId) : nullptr;
}

std::shared_ptr<app::TransformationTransformItem> PlacementOf(const QUuid& layerId)
{
    const app::ImageLayerSettingsPtr settings = SettingsOf(layerId);
    return settings ? app::FindItemOfType<app::TransformationTransformItem>(settings->Transforms(),
                                                                             app::TransformItemTypeTransformation)
                    : nullptr;
}

// The combo's entries in order: Canvas, Foreground, Background.
constexpr app::FitTo kComboModes[] = {app::FitToCanvas, app::FitToForeground, app::FitToBackground};

int ComboIndexOf(app::FitTo mode)
{
    for (int i = 0; i < 3; ++i)
        if (kComboModes[i] == mode)
            return i;
    return 0;
}

} // namespace

LayerPropertiesWidget::LayerPropertiesWidget(QWidget* parent) : QWidget(parent)
{
    m_container = new Container(QString(), ContainerFeatureReset, this);
    QWidget* body = m_container->Body();
    m_change = new ButtonPopupMenu(QIcon(QStringLiteral(":Icons/Plus.png")), tr("Add"),
                                   kRecentKey, body);
    m_remove = new ButtonDefault(QIcon(QStringLiteral(":Icons/Minus.png")),
                                 tr("Remove"), body);
    m_thumbnail = new ThumbnailPreview(body);
    m_thumbnail->setAcceptDrops(true);
    m_fit = new CheckBox(tr("Fit to"), body);
    m_fitMode = new ComboBox(body);
    m_fitMode->addItems({tr("Canvas"), tr("Foreground"), tr("Background")});
    m_fitMode->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Minimum);
    m_fitMode->setEnabled(false);
    m_horizontal = new DoubleSpinSlider(body, -100, 100, 0, 0.01, 1, 5);
    m_vertical = new DoubleSpinSlider(body, -100, 100, 0, 0.01, 1, 5);
    m_scale = new DoubleSpinSlider(body, 10, 500, 100, 0.01, 1, 5);
    for (DoubleSpinSlider* control : {m_horizontal, m_vertical, m_scale}) {
        control->SetSuffix(QStringLiteral("%"));
        control->renderLevel = app::RenderLevelPostFilter;
    }
    m_rotation = new DoubleSpinDial(true, body, false, 0.0, 359.99, 0.0);
    m_rotation->SetSuffix(QString(QChar(0x00B0)));
    m_rotation->renderLevel = app::RenderLevelPostFilter;
    m_flipHorizontalButton = new ButtonDefault(
        QIcon(QStringLiteral(":Icons/FlipHorizontal.png")),
        tr("Flip Horizontal"), body);
    m_flipVerticalButton = new ButtonDefault(
        QIcon(QStringLiteral(":Icons/FlipVertical.png")),
        tr("Flip Vertical"), body);

    auto* buttons = new QHBoxLayout();
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(kSpacing);
    buttons->addWidget(m_change);
    buttons->addWidget(m_remove);
    auto* fitRow = new QHBoxLayout();
    fitRow->setContentsMargins(0, 0, 0, 0);
    fitRow->setSpacing(kSpacing);
    fitRow->addWidget(m_fit);
    fitRow->addWidget(m_fitMode);
    auto* grid = new QGridLayout();
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(kSpacing);
    const QString labels[] = {tr("Horizontal"), tr("Vertical"), tr("Scale"), tr("Rotation")};
    QWidget* controls[] = {m_horizontal, m_vertical, m_scale, m_rotation};
    for (int row = 0; row < 4; ++row) {
        grid->addWidget(new ToolboxLabel(labels[row], body), row, 0);
        grid->addWidget(controls[row], row, 1);
    }
    auto* flips = new QHBoxLayout();
    flips->setContentsMargins(0, 0, 0, 0);
    flips->setSpacing(kSpacing);
    flips->addWidget(m_flipHorizontalButton);
    flips->addWidget(m_flipVerticalButton);
    grid->addLayout(flips, 4, 0, 1, 2);
    auto* bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(kSpacing, kSpacing, kSpacing, kSpacing);
    bodyLayout->setSpacing(kSpacing);
    bodyLayout->addLayout(buttons);
    bodyLayout->addWidget(m_thumbnail);
    bodyLayout->addLayout(fitRow);
    bodyLayout->addLayout(grid);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_container);

    connect(m_change, &ButtonPopupMenu::PopupMenuItemChosen, this, [this](const QString& path) { SlotChangeImage(path); });
    connect(m_remove, &QPushButton::clicked, this, &LayerPropertiesWidget::SlotRemoveImage);
    connect(m_thumbnail, &ThumbnailPreview::DragDropDataAdded, this, &LayerPropertiesWidget::SlotReplaceImage);
    connect(m_thumbnail, &ThumbnailPreview::MousePressDetected, this, &LayerPropertiesWidget::SlotRelinkImage);
    connect(m_fit, &QCheckBox::stateChanged, this, [this] { SlotFitToCanvas(); });
    connect(m_fitMode, &QComboBox::currentIndexChanged, this, [this] { SlotFitToCanvas(); });
    connect(m_horizontal, &DoubleSpinSlider::SliderUpdate, this,
            [this](double value, HXDownsampleFactor factor) { SlotUpdateHorizontalPosition(value, factor); });
    connect(m_vertical, &DoubleSpinSlider::SliderUpdate, this,
            [this](double value, HXDownsampleFactor factor) { SlotUpdateVerticalPosition(value, factor); });
    connect(m_scale, &DoubleSpinSlider::SliderUpdate, this,
            [this](double value, HXDownsampleFactor factor) { SlotUpdateScale(value, factor); });
    connect(m_rotation, &DoubleSpinDial::DialUpdate, this,
            [this](double value, HXDownsampleFactor factor) { SlotUpdateRotation(value, factor); });
    connect(m_flipHorizontalButton, &QPushButton::clicked, this, [this] { SlotFlipHorizontal(); });
    connect(m_flipVerticalButton, &QPushButton::clicked, this, [this] { SlotFlipVertical(); });
    connect(m_container, &Container::SignalReset, this, &LayerPropertiesWidget::SlotResetLayerParameters);
}

LayerPropertiesWidget::~LayerPropertiesWidget() = default;

app::ImageLayerPtr LayerPropertiesWidget::Layer() const
{
    const app::ProjectPtr project = CurrentPanelProject();
    return project && !m_layerId.isNull() ? project->GetLayerManager()->GetLayer(m_layerId) : nullptr;
}

std::shared_ptr<app::TransformationTransformItem> LayerPropertiesWidget::Placement() const
{
    return PlacementOf(m_layerId);
}

std::shared_ptr<app::FitTransformItem> LayerPropertiesWidget::FitItem() const
{
    const app::ImageLayerSettingsPtr settings = SettingsOf(m_layerId);
    return settings ? app::FindItemOfType<app::FitTransformItem>(settings->Transforms(), app::TransformItemTypeFit)
                    : nullptr;
}

app::FitTo LayerPropertiesWidget::ComboMode() const
{
    const int index = m_fitMode->currentIndex();
    return index >= 0 && index < 3 ? kComboModes[index] : app::FitToCanvas;
}

bool LayerPropertiesWidget::InLayersToolset()
{
    const app::ProjectPtr project = CurrentPanelProject();
    return project && project->CurrentToolset() == app::ToolsetSectionLayers;
}

void LayerPropertiesWidget::SetLayerName(const QString& name)
{
    m_layerName = name;
}

void LayerPropertiesWidget::UpdateTitle(int width)
{
    if (QLabel* label = m_container->Title()->TitleLabel())
        SetPropertiesTitle(*label, m_layerName, width, kTitleReserve);
}

void LayerPropertiesWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    UpdateTitle(width());
}

void LayerPropertiesWidget::ShowFitted(bool fitted)
{
    for (QWidget* control : std::initializer_list<QWidget*>{m_horizontal, m_vertical, m_scale, m_rotation,
                                                            m_flipHorizontalButton, m_flipVerticalButton})
        control->setEnabled(!fitted);
    m_fitMode->setEnabled(fitted);
}

void LayerPropertiesWidget::LoadControls(const app::TransformationTransformItem* placement)
{
    m_horizontal->SetValue(placement ? placement->TranslateX() * 100.0 : 0.0);
    m_vertical->SetValue(placement ? placement->TranslateY() * 100.0 : 0.0);
    m_scale->SetValue(placement ? std::abs(placement->ScaleX()) * 100.0 : 100.0);
    m_rotation->SetValue(placement ? placement->Rotation() : 0.0);
}

void LayerPropertiesWidget::SetCurrentLayer(const app::ImageLayerPtr& layer, bool show)
{
    if (!layer)
        return;
    if (isHidden() && show)
        this->show();
    m_layerId = layer->Id();
    m_layerName = layer->Name();
    UpdateTitle(width());
    m_flipHorizontal = false;
    m_flipVertical = false;

    CanvasView* view = CurrentCanvasView();
    const bool layersToolset = InLayersToolset() && view != nullptr;
    if (layer->IsOffline()) {
        m_thumbnail->DisplaySingleImage(layer, ThumbnailPreview::ImageTypeOffline);
        m_thumbnail->setCursor(Qt::PointingHandCursor);
        m_change->TextButton()->setText(tr("Change"));
        if (layersToolset)
            view->RemoveLayerHandles();
    } else if (layer->IsValid()) {
        m_thumbnail->setCursor(Qt::ArrowCursor);
        m_thumbnail->DisplaySingleImage(layer, ThumbnailPreview::ImageTypeLayer);
        m_change->TextButton()->setText(tr("Change"));
        if (layersToolset) {
            view->CreateLayerHandles(m_layerId);
            view->UpdateLayerHandles();
            view->SetLayerHandlesVisible(false);
        }
    } else {
        m_thumbnail->setCursor(Qt::ArrowCursor);
        m_thumbnail->SetEnabledLook(layer->IsEnabled());
        m_thumbnail->DisplaySingleImage(nullptr, ThumbnailPreview::ImageTypeEmpty);
        m_change->TextButton()->setText(tr("Add"));
        if (layersToolset)
            view->RemoveLayerHandles();
    }

    const auto fit = FitItem();
    const bool fitted = fit && fit->Fit() != app::FitToNone;
    {
        const QSignalBlocker comboBlocker(m_fitMode);
        const QSignalBlocker checkBlocker(m_fit);
        m_fitMode->setCurrentIndex(fit ? ComboIndexOf(fit->Fit()) : 0);
        m_fit->setChecked(fitted);
    }
    ShowFitted(fitted);
    if (fit && !fitted && layersToolset)
        view->SetLayerHandlesVisible(layer->IsEnabled());

    const auto placement = Placement();
    LoadControls(fitted ? nullptr : placement.get());
    if (!fitted && placement) {
        m_flipHorizontal = placement->ScaleX() * 100.0 < 0.0;
        m_flipVertical = placement->ScaleY() * 100.0 < 0.0;
    }
}

void LayerPropertiesWidget::UpdateTransform(const QUuid& layerId)
{
    const app::ImageLayerPtr layer = Layer();
    if (layerId != m_layerId || !layer || !layer->IsValid() || layer->Type() != app::LayerTypeImage)
        return;
    if (const auto placement = Placement())
        LoadControls(placement.get());
}

void LayerPropertiesWidget::EnableWidget(bool enable)
{
    setEnabled(enable);
    const app::ImageLayerPtr layer = Layer();
    if (layer && layer->IsOffline()) {
        m_thumbnail->DisplaySingleImage(layer, ThumbnailPreview::ImageTypeOffline);
        m_thumbnail->setCursor(Qt::PointingHandCursor);
        return;
    }
    if (layer && layer->IsValid()) {
        if (CanvasView* view = CurrentCanvasView())
            view->SetLayerHandlesVisible(enable && !m_fit->isChecked());
        m_thumbnail->DisplaySingleImage(layer, ThumbnailPreview::ImageTypeLayer);
        return;
    }
    if (layer)
        m_thumbnail->SetEnabledLook(layer->IsEnabled());
    m_thumbnail->DisplaySingleImage(nullptr, ThumbnailPreview::ImageTypeEmpty);
}

void LayerPropertiesWidget::Clear()
{
    hide();
    setEnabled(true);
    m_layerId = QUuid();
    m_layerName.clear();
    m_change->TextButton()->setText(tr("Add"));
    m_thumbnail->setCursor(Qt::ArrowCursor);
    m_thumbnail->DisplayDragAndDropImage();
    if (CanvasView* view = CurrentCanvasView())
        view->RemoveLayerHandles();
}

bool LayerPropertiesWidget::SetImage(const QString& path)
{
    Application* app = Application::Instance();
    if (app == nullptr || m_layerId.isNull())
        return false;
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    if (!app->ImportImage(path, m_layerId, app::LayerTypeImage)) {
        RestoreOverrideCursor();
        return false;
    }
    // A new image of another size fills the same target.
    if (m_fit->isChecked())
        ApplyFit(m_layerId, ComboMode());
    m_thumbnail->setCursor(Qt::ArrowCursor);
    m_thumbnail->DisplaySingleImage(Layer(), ThumbnailPreview::ImageTypeLayer);
    m_change->TextButton()->setText(tr("Change"));
    if (CanvasView* view = CurrentCanvasView()) {
        view->CreateLayerHandles(m_layerId);
        view->UpdateLayerHandles();
        view->SetLayerHandlesVisible(!m_fit->isChecked());
    }
    RestoreOverrideCursor();
    return true;
}

void LayerPropertiesWidget::SlotChangeImage(const QString& filePath)
{
    const QString file = ChooseImageFile(this, tr("Import image"), filePath, DesktopFolder());
    if (file.isEmpty())
        return;
    SetImage(file);
    AddRecentPlace(kRecentKey, file);
}

void LayerPropertiesWidget::SlotReplaceImage(const QMimeData* mimeData)
{
    const QStringList files = DroppedFiles(mimeData);
    if (files.isEmpty())
        return;
    if (files.size() > 1 && !AcceptFirstOfSeveral(this, tr("The layer only supports one image.")))
        return;
    SetImage(files.first());
}

void LayerPropertiesWidget::SlotRemoveImage()
{
    const app::ImageLayerPtr layer = Layer();
    if (!layer || layer->Path().isEmpty() || !ConfirmImageRemoval(this))
        return;
    Application::Instance()->ClearLayer(m_layerId);
    m_change->TextButton()->setText(tr("Add"));
    m_thumbnail->setCursor(Qt::ArrowCursor);
    m_thumbnail->DisplaySingleImage(nullptr, ThumbnailPreview::ImageTypeEmpty);
    if (CanvasView* view = CurrentCanvasView())
        view->RemoveLayerHandles();
}

void LayerPropertiesWidget::SlotRelinkImage()
{
    const app::ImageLayerPtr layer = Layer();
    if (layer && layer->IsOffline())
        emit SignalRelinkLayer(m_layerId);
}

void LayerPropertiesWidget::ApplyFit(const QUuid& layerId, app::FitTo mode)
{
    const app::ProjectPtr project = CurrentPanelProject();
    const app::ImageLayerPtr layer = project && !layerId.isNull() ? project->GetLayerManager()->GetLayer(layerId) : nullptr;
    const auto placement = PlacementOf(layerId);
    if (!layer || !placement)
        return;
    const app::Canvas& canvas = project->GetCanvas();
    const app::LayerManagerPtr manager = project->GetLayerManager();
    app::FitLayerPlacement(*manager, mode, QSize(static_cast<int>(canvas.Width()), static_cast<int>(canvas.Height())),
                           manager->CurrentForegroundId(), layer->Dimensions(), placement.get());
}

void LayerPropertiesWidget::SlotFitToCanvas(bool update)
{
    const bool fitted = m_fit->isChecked();
    ShowFitted(fitted);
    m_flipHorizontal = false;
    m_flipVertical = false;
    CanvasView* view = CurrentCanvasView();
    const auto fit = FitItem();
    if (fitted) {
        if (view != nullptr)
            view->SetLayerHandlesVisible(false);
        LoadControls(nullptr);
        if (fit)
            fit->SetFit(ComboMode());
        ApplyFit(m_layerId, ComboMode());
    } else {
        if (fit)
            fit->SetFit(app::FitToNone);
        if (const auto placement = Placement()) {
            placement->SetTranslateX(0.0);
            placement->SetTranslateY(0.0);
            placement->SetScaleX(1.0);
            placement->SetScaleY(1.0);
            placement->SetRotation(0.0);
        }
        if (view != nullptr) {
            view->SetLayerHandlesVisible(true);
            view->UpdateLayerHandles();
        }
    }
    if (update) {
        Application::Instance()->InvalidateCacheOfLayer(m_layerId, app::RenderLevelPostFilter, HXDownsampleFactor3);
        RequestRefresh(HXDownsampleFactor0);
    }
}

void LayerPropertiesWidget::RequestRefresh(HXDownsampleFactor downsample)
{
    if (m_layerId.isNull())
        return;
    emit Application::Instance()->SignalCanvasRefreshRequested(m_layerId, app::RenderLevelPostFilter, downsample);
}

void LayerPropertiesWidget::AfterPlacementEdit(HXDownsampleFactor downsample)
{
    RequestRefresh(downsample);
    if (CanvasView* view = CurrentCanvasView())
        view->UpdateLayerHandles();
}

void LayerPropertiesWidget::SlotUpdateHorizontalPosition(double value, HXDownsampleFactor downsample, bool update)
{
    if (const auto placement = Placement())
        placement->SetTranslateX(value * 0.01);
    if (update)
        AfterPlacementEdit(downsample);
}

void LayerPropertiesWidget::SlotUpdateVerticalPosition(double value, HXDownsampleFactor downsample, bool update)
{
    if (const auto placement = Placement())
        placement->SetTranslateY(value * 0.01);
    if (update)
        AfterPlacementEdit(downsample);
}

void LayerPropertiesWidget::SlotUpdateScale(double value, HXDownsampleFactor downsample, bool update)
{
    if (const auto placement = Placement()) {
        placement->SetScaleX(value / 100.0 * (m_flipHorizontal ? -1.0 : 1.0));
        placement->SetScaleY(value / 100.0 * (m_flipVertical ? -1.0 : 1.0));
    }
    if (update)
        AfterPlacementEdit(downsample);
}

void LayerPropertiesWidget::SlotUpdateRotation(double value, HXDownsampleFactor downsample, bool update)
{
    if (const auto placement = Placement())
        placement->SetRotation(value);
    if (update)
        AfterPlacementEdit(downsample);
}

void LayerPropertiesWidget::SlotFlipHorizontal(bool update)
{
    m_flipHorizontal = !m_flipHorizontal;
    if (const auto placement = Placement())
        placement->SetScaleX(-placement->ScaleX());
    if (update)
        AfterPlacementEdit(HXDownsampleFactor0);
}

void LayerPropertiesWidget::SlotFlipVertical(bool update)
{
    m_flipVertical = !m_flipVertical;
    if (const auto placement = Placement())
        placement->SetScaleY(-placement->ScaleY());
    if (update)
        AfterPlacementEdit(HXDownsampleFactor0);
}

void LayerPropertiesWidget::SlotResetLayerParameters()
{
    m_fit->setChecked(false);
    m_fitMode->setCurrentIndex(0);
    SlotFitToCanvas(false);
    SlotUpdateHorizontalPosition(0, HXDownsampleFactor0, false);
    SlotUpdateVerticalPosition(0, HXDownsampleFactor0, false);
    m_flipHorizontal = false;
    m_flipVertical = false;
    SlotUpdateScale(100, HXDownsampleFactor0, false);
    SlotUpdateRotation(0, HXDownsampleFactor0, false);
    LoadControls(nullptr);
    if (CanvasView* view = CurrentCanvasView())
        view->UpdateLayerHandles();
    Application::Instance()->InvalidateCacheOfLayer(m_layerId, app::RenderLevelPostFilter, HXDownsampleFactor3);
    RequestRefresh(HXDownsampleFactor0);
}

} // namespace lumo::ui
