#include "Toolbox/ToolboxDockWidget.h"

#include "Shell/Application.h"

#include "Project.h"

#include <QStackedWidget>

namespace lumo::ui {

ToolboxDockWidget::ToolboxDockWidget(const QString& title, QWidget* parent) : QDockWidget(title, parent)
{
    setObjectName(QStringLiteral("ToolboxDockWidget"));
    setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    m_sections = new QStackedWidget(this);
    setWidget(m_sections);
}

ToolboxDockWidget::~ToolboxDockWidget() = default;

void ToolboxDockWidget::SetModel(const LumoModelPtr& model)
{
    LumoModelObserver::SetModel(model, {DataTypeProject, DataTypeInterface});
    for (int index = 0; index < m_sections->count(); ++index)
        if (auto* section = dynamic_cast<LumoModelObserver*>(m_sections->widget(index)))
            section->SetModel(model, {DataTypeProject, DataTypeInterface, DataTypeCanvas});
}

void ToolboxDockWidget::ModelChanged(DataType type, const QUuid& /*id*/, FieldType field)
{
    if ((type == DataTypeInterface && field == FieldTypeCurrentToolset) ||
        (type == DataTypeProject && field == FieldTypeRefreshAll))
        ShowCurrentToolset();
}

void ToolboxDockWidget::ShowCurrentToolset()
{
    const Application* app = Application::Instance();
    const app::ProjectPtr project = app != nullptr ? app->GetDocument()->GetProject() : nullptr;
    if (project)
        m_sections->setCurrentIndex(project->CurrentToolset());
}

} // namespace lumo::ui
