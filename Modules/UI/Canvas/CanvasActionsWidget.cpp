#include "Canvas/CanvasActionsWidget.h"

#include "Canvas/CanvasView.h"
#include "Controls/Buttons.h"
#include "Controls/ValueControls.h"
#include "Shell/Application.h"

#include "DrawableValues.h"
#include "Project.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>

namespace lumo::ui {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace {

constexpr int kReserveMargin = 4;
constexpr int kMinimumZoom = 1;
constexpr int kDefaultZoom = 100;
constexpr int kMaximumZoom = 400;
constexpr int kZoomStep = 5;
constexpr QSize kSmallIconSize(16, 16);

const char* const kMainWindowClass = "lumo::ui::MainWindow";

app::ProjectPtr CurrentProject()
{
    const Application* app = Application::Instance();
    return app != nullptr ? app->GetDocument()->GetProject() : nullptr;
}

// Matte view shows the foreground's key: it is offered where the key is made (import, key, masks).
bool IsMatteViewToolset(app::ToolsetSections toolset)
{
    return toolset == app::ToolsetSectionImport || toolset == app::ToolsetSectionKey ||
           toolset == app::ToolsetSectionMasks;
}

QIcon MatteViewIcon(bool on)
{
    return QIcon(on ? QStringLiteral(":Icons/ToggleOn.png") : QStringLiteral(":Icons/ToggleOff.png"));
}

ButtonToolBar* AddButton(QHBoxLayout* layout, QWidget* bar, const QIcon& icon, const QString& toolTip)
{
    auto* button = new ButtonToolBar(icon, QString(), bar);
    button->setToolTip(toolTip);
    layout->addWidget(button);
    return button;
}

// The main window's slots, by name: the bar is built inside the window's constructor and needs
// nothing of the window but these.
void ConnectToMainWindows(QPushButton* button, const char* slot)
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (qstrcmp(window->metaObject()->className(), kMainWindowClass) == 0)
            QObject::connect(button, SIGNAL(clicked()), window, slot);
}

QAction* AddShortcut(QWidget* bar, const QKeySequence& keys)
{
    auto* action = new QAction(bar);
    action->setShortcut(keys);
    bar->addAction(action);
    return action;
}

} // namespace

CanvasActionsWidget::CanvasActionsWidget(QWidget* parent) : QFrame(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    const auto icon = [](const char* path) { return QIcon(QString::fromLatin1(path)); };
    ConnectToMainWindows(AddButton(layout, this, icon(":Icons/NewProject.png"), tr("New Project")),
                         SLOT(SlotNewProject()));
    ConnectToMainWindows(
        AddButton(layout, this, icon(":Icons/OpenProject.png"), tr("Open Project")),
        SLOT(SlotOpenProject()));
    ConnectToMainWindows(
        AddButton(layout, this, icon(":Icons/SaveProject.png"), tr("Save Project")),
        SLOT(SlotSaveProject()));
    ConnectToMainWindows(AddButton(layout, this, icon(":Icons/Print.png"), tr("Print")),
                         SLOT(SlotDisplayPrintDialog()));
    ButtonToolBar* exportButton =
        AddButton(layout, this, QIcon(QStringLiteral(":Icons/ImageExportedEnabled.png")), tr("Canvas Export"));
    exportButton->setIconSize(kSmallIconSize);
    if (Application* app = Application::Instance())
        connect(exportButton, &QPushButton::clicked, app, &Application::SignalStandardQuickExportClicked);

    layout->addSpacing(8);
    auto* zoomLabel = new QLabel(tr("Zoom"), this);
    zoomLabel->setObjectName(QStringLiteral("ZoomLabel"));
    layout->addWidget(zoomLabel);
    layout->addSpacing(8);
    m_zoom = new SpinSlider(kMinimumZoom, kDefaultZoom, kMaximumZoom, this);
    m_zoom->SetSuffix(QStringLiteral("%"));
    m_zoom->GetSlider()->setFixedWidth(160);
    layout->addWidget(m_zoom);
    connect(m_zoom, &SpinSlider::SliderUpdate, this, &CanvasActionsWidget::SlotZoomSliderChanged);

    layout->addSpacing(8);
    ButtonToolBar* fit =
        AddButton(layout, this, icon(":Icons/FitToWindow.png"), tr("Fit To Window"));
    fit->setIconSize(kSmallIconSize);
    fit->setFocusPolicy(Qt::NoFocus);
    connect(fit, &QPushButton::clicked, this, &CanvasActionsWidget::SlotFitToWindowButtonClicked);
    m_matteView = AddButton(layout, this, MatteViewIcon(false), tr("Matte View"));
    m_matteView->setIconSize(kSmallIconSize);
    m_matteView->setFocusPolicy(Qt::NoFocus);
    m_matteView->setCheckable(true);
    connect(m_matteView, &QPushButton::clicked, this, &CanvasActionsWidget::SlotMatteViewButtonClicked);

    layout->addStretch();
    ButtonToolBar* help = AddButton(layout, this, icon(":Icons/Help.png"), tr("Help"));
    help->setIconSize(kSmallIconSize);
    ConnectToMainWindows(help, SLOT(SlotOpenHelp()));

    connect(AddShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_Plus)), &QAction::triggered, this,
            &CanvasActionsWidget::SlotZoomIn);
    connect(AddShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_Equal)), &QAction::triggered, this,
            &CanvasActionsWidget::SlotZoomIn);
    connect(AddShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_Minus)), &QAction::triggered, this,
            &CanvasActionsWidget::SlotZoomOut);
    QAction* fitAction = AddShortcut(this, QKeySequence(Qt::Key_Home));
    fit->addAction(fitAction);
    connect(fitAction, &QAction::triggered, this, &CanvasActionsWidget::SlotFitToWindowButtonClicked);
    QAction* matteAction = AddShortcut(this, QKeySequence(Qt::Key_Insert));
    m_matteView->addAction(matteAction);
    connect(matteAction, &QAction::triggered, this, &CanvasActionsWidget::SlotToggleMatteViewButton);

    m_layoutHeight = layout->sizeHint().height();
    if (Application* app = Application::Instance())
        app->SetCanvasActionsHeight(m_layoutHeight + kReserveMargin);
}

CanvasActionsWidget::~CanvasActionsWidget() = default;

QPushButton* CanvasActionsWidget::MatteViewButton() const
{
    return m_matteView;
}

QPushButton* CanvasActionsWidget::Button(const QString& toolTip) const
{
    for (QPushButton* button : findChildren<QPushButton*>(Qt::FindDirectChildrenOnly))
        if (button->toolTip() == toolTip)
            return button;
    return nullptr;
}

// ---- Zoom

void CanvasActionsWidget::SlotUpdateZoomSlider(float scale)
{
    // A zoom the bar set itself comes back as a float a little under its percentage (0.53 is
    // 0.52999997): the tolerance keeps such a zoom at what it was set to.
    m_zoom->SetValue(app::drawable::TruncateToInt(static_cast<double>(scale) * 100.0 + 1e-3));
}

void CanvasActionsWidget::SlotZoomSliderChanged(int value, HXDownsampleFactor downsample)
{
    RunGuarded([&] {
        Application* app = Application::Instance();
        const app::ProjectPtr project = CurrentProject();
        if (app == nullptr || !project)
            return;
        // In floating point: a whole-number division would give no scale at all below 100 %.
        project->GetCanvas().SetScale(static_cast<float>(value / 100.0));
        emit SignalCanvasZoomChanged();
        if (downsample == HXDownsampleFactor0)
            app->InvalidateCompositeCaches(HXDownsampleFactor3);
        if (const auto processor = app->GetRenderProcessor())
            processor->InvalidateAllMaskCache();
        emit app->SignalCanvasRefreshRequested(downsample);
    });
}

void CanvasActionsWidget::SlotZoomIn()
{
    const int value = m_zoom->GetSpinBox()->value();
    if (value >= kMaximumZoom)
        return;
    ZoomTo(std::min(value + kZoomStep, kMaximumZoom));
}

void CanvasActionsWidget::SlotZoomOut()
{
    const int value = m_zoom->GetSpinBox()->value();
    if (value <= kMinimumZoom)
        return;
    ZoomTo(std::max(value - kZoomStep, kMinimumZoom));
}

void CanvasActionsWidget::ZoomTo(int percent)
{
    m_zoom->SetValue(percent);
    SlotZoomSliderChanged(percent, HXDownsampleFactor0);
}

void CanvasActionsWidget::SlotFitToWindowButtonClicked()
{
    emit SignalFocusButtonClicked();
}

// ---- Matte view

void CanvasActionsWidget::SlotToggleMatteViewButton()
{
    // The key shows only where the key is made; the shortcut must not reach around the button.
    if (!m_matteView->isEnabled())
        return;
    m_matteView->toggle();
    SlotMatteViewButtonClicked();
}

void CanvasActionsWidget::SlotMatteViewButtonClicked()
{
    RunGuarded([&] {
        const bool on = m_matteView->isChecked();
        ShowMatteViewState(on);
        Application* app = Application::Instance();
        if (app == nullptr)
            return;
        const auto processor = app->GetRenderProcessor();
        if (processor)
            processor->EnableMatteView(on);
        if (CanvasView* view = app->GetCanvasView())
            view->SetTextItemsHidden(on);
        // The shadow is cast from what the foreground shows, at both resolutions.
        app->InvalidateShadowCache();
        app->InvalidateCompositeCaches(HXDownsampleFactor3);
        if (processor)
            processor->InvalidateAllMaskCache();
        emit app->SignalCanvasRefreshRequested(HXDownsampleFactor0);
    });
}

void CanvasActionsWidget::ShowMatteViewState(bool on)
{
    m_matteView->setChecked(on);
    m_matteView->setIcon(MatteViewIcon(on));
}

void CanvasActionsWidget::ResetMatteView()
{
    if (!m_matteView->isChecked())
        return;
    m_matteView->setChecked(false);
    SlotMatteViewButtonClicked();
}

void CanvasActionsWidget::SetMatteViewEnabled(bool enabled)
{
    m_matteView->setEnabled(enabled);
    if (!enabled)
        ResetMatteView();
}

// ---- The project

void CanvasActionsWidget::UpdateFromProject()
{
    Application* app = Application::Instance();
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    SlotUpdateZoomSlider(project->GetCanvas().Scale());
    ShowMatteViewState(false);
    if (const auto processor = app->GetRenderProcessor())
        processor->EnableMatteView(false);
    m_matteView->setEnabled(IsMatteViewToolset(project->CurrentToolset()));
    if (CanvasView* view = app->GetCanvasView())
        view->SetTextItemsHidden(false);
}

} // namespace lumo::ui
