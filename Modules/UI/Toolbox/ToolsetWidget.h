#pragma once

#include "Shell/LumoModel.h"

#include <QFrame>

class QVBoxLayout;

namespace lumo::ui {

// The vertical bar of toolbox section buttons over the canvas view. Its width is the canvas's side
// reserve, which it gives the Application when it is built and when a project is opened. Observes
// the model for project and interface notifications.
class ToolsetWidget : public QFrame, public LumoModelObserver {
    Q_OBJECT

public:
    explicit ToolsetWidget(QWidget* parent = nullptr);
    ~ToolsetWidget() override;

    // The bar's width as laid out.
    int ToolsetWidth() const;
    // Gives the Application the bar's width plus a margin as the canvas's side reserve.
    void ReserveWidth();

    void ModelChanged(DataType type, const QUuid& id, FieldType field) override;

private:
    QVBoxLayout* m_buttons = nullptr;
};

} // namespace lumo::ui
