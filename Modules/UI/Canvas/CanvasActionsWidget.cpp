#include "Canvas/CanvasActionsWidget.h"

#include "Shell/Application.h"

#include "Project.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>

namespace lumo::ui {

namespace {

constexpr int kReserveMargin = 4;

QToolButton* AddButton(QHBoxLayout* layout, QWidget* parent, const QString& text, bool checkable = false)
{
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setToolTip(text);
    button->setCheckable(checkable);
    layout->addWidget(button);
    return button;
}

// The main window's slots the project buttons call; connected by name, so that the bar needs no
// knowledge of the window.
void ConnectToMainWindows(QToolButton* button, const char* slot)
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (qstrcmp(window->metaObject()->className(), "lumo::ui::MainWindow") == 0)
            QObject::connect(button, SIGNAL(clicked()), window, slot);
    }
}

bool IsMatteViewToolset(app::ToolsetSections toolset)
{
    return toolset == app::ToolsetSectionImport || toolset == app::ToolsetSectionKey ||
           toolset == app::ToolsetSectionMasks;
}

} // namespace

CanvasActionsWidget::CanvasActionsWidget(QWidget* parent) : QFrame(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    ConnectToMainWindows(AddButton(layout, this, tr("New Project")), SLOT(SlotNewProject()));
    ConnectToMainWindows(AddButton(layout, this, tr("Open Project")), SLOT(SlotOpenProject()));
    ConnectToMainWindows(AddButton(layout, this, tr("Save Project")), SLOT(SlotSaveProject()));
    ConnectToMainWindows(AddButton(layout, this, tr("Print")), SLOT(SlotDisplayPrintDialog()));
    QToolButton* exportButton = AddButton(layout, this, tr("Canvas Export"));
    if (Application* app = Application::Instance())
        connect(exportButton, &QToolButton::clicked, app, &Application::SignalStandardQuickExportClicked);
    layout->addSpacing(8);
    layout->addWidget(new QLabel(tr("Zoom"), this));
    layout->addSpacing(8);
    m_zoom = new QSpinBox(this);
    m_zoom->setRange(1, 400);
    m_zoom->setValue(100);
    m_zoom->setSuffix(QStringLiteral("%"));
    layout->addWidget(m_zoom);
    layout->addSpacing(8);
    QToolButton* fit = AddButton(layout, this, tr("Fit To Window"));
    connect(fit, &QToolButton::clicked, this, &CanvasActionsWidget::SignalFocusButtonClicked);
    m_matteView = AddButton(layout, this, tr("Matte View"), true);
    connect(m_matteView, &QToolButton::clicked, this, [this](bool checked) { ApplyMatteView(checked); });
    layout->addStretch();
    ConnectToMainWindows(AddButton(layout, this, tr("Help")), SLOT(SlotOpenHelp()));

    if (Application* app = Application::Instance())
        app->SetCanvasActionsHeight(layout->sizeHint().height() + kReserveMargin);
}

CanvasActionsWidget::~CanvasActionsWidget() = default;

void CanvasActionsWidget::SlotUpdateZoomSlider(float zoom)
{
    const QSignalBlocker blocker(m_zoom);
    m_zoom->setValue(static_cast<int>(zoom * 100));
}

void CanvasActionsWidget::UpdateFromProject()
{
    const Application* app = Application::Instance();
    const app::ProjectPtr project = app != nullptr ? app->GetDocument()->GetProject() : nullptr;
    if (!project)
        return;
    SlotUpdateZoomSlider(project->GetCanvas().Scale());
    m_matteView->setChecked(false);
    if (const auto processor = app->GetRenderProcessor())
        processor->EnableMatteView(false);
    m_matteView->setEnabled(IsMatteViewToolset(project->CurrentToolset()));
}

void CanvasActionsWidget::ResetMatteView()
{
    if (!m_matteView->isChecked())
        return;
    m_matteView->setChecked(false);
    ApplyMatteView(false);
}

void CanvasActionsWidget::SetMatteViewEnabled(bool enabled)
{
    m_matteView->setEnabled(enabled);
    if (!enabled)
        ResetMatteView();
}

void CanvasActionsWidget::ApplyMatteView(bool on)
{
    Application* app = Application::Instance();
    if (app == nullptr)
        return;
    if (const auto processor = app->GetRenderProcessor()) {
        processor->EnableMatteView(on);
        processor->InvalidateAllMaskCache();
    }
    app->InvalidateShadowCache();
    app->InvalidateCompositeCaches(hvn::image::HXDownsampleFactor3);
    emit app->SignalCanvasRefreshRequested(hvn::image::HXDownsampleFactor0);
}

} // namespace lumo::ui
