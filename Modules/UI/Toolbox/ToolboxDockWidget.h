#pragma once

#include "Shell/LumoModel.h"

#include <QDockWidget>

class QStackedWidget;

namespace lumo::ui {

// The dock beside the canvas that shows the toolbox section of the project's current toolset.
// Observes the model for project and interface notifications; its sections observe everything.
class ToolboxDockWidget : public QDockWidget, public LumoModelObserver {
    Q_OBJECT

public:
    ToolboxDockWidget(const QString& title, QWidget* parent = nullptr);
    ~ToolboxDockWidget() override;

    // Attaches the dock, then every section in stack order.
    void SetModel(const LumoModelPtr& model);

    void ModelChanged(DataType type, const QUuid& id, FieldType field) override;

private:
    void ShowCurrentToolset();

    QStackedWidget* m_sections = nullptr;
};

} // namespace lumo::ui
