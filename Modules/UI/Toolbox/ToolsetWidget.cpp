#include "Toolbox/ToolsetWidget.h"

#include "Shell/Application.h"

#include <QVBoxLayout>

namespace lumo::ui {

namespace {

constexpr int kReserveMargin = 4;

} // namespace

ToolsetWidget::ToolsetWidget(QWidget* parent) : QFrame(parent)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(10);
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("ButtonWidget"));
    m_buttons = new QVBoxLayout(frame);
    m_buttons->setContentsMargins(5, 5, 5, 5);
    m_buttons->setSpacing(5);
    outer->addWidget(frame);
    ReserveWidth();
}

ToolsetWidget::~ToolsetWidget() = default;

int ToolsetWidget::ToolsetWidth() const
{
    return m_buttons->sizeHint().width();
}

void ToolsetWidget::ReserveWidth()
{
    if (Application* app = Application::Instance())
        app->SetToolsetWidth(ToolsetWidth() + kReserveMargin);
}

void ToolsetWidget::ModelChanged(DataType type, const QUuid& /*id*/, FieldType field)
{
    if (type == DataTypeProject && field == FieldTypeRefreshAll)
        ReserveWidth();
}

} // namespace lumo::ui
