#include "Controls/SmallWidgets.h"

#include "Shell/InterfaceConstants.h"

namespace lumo::ui {

CheckBox::CheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent)
{
    setFont(InterfaceFont());
}

CheckBox::CheckBox(QWidget* parent) : CheckBox(QString(), parent) {}

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent)
{
    setFixedHeight(25);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::NoFocus);
}

ToolboxLabel::ToolboxLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setObjectName(QStringLiteral("ToolboxLabel"));
    setFont(InterfaceFont());
}

TabWidget::TabWidget(QWidget* parent) : QTabWidget(parent)
{
    setStyleSheet(TabPaneStyleSheet + TabBarStyleSheet);
    QFont font = InterfaceFont();
    font.setBold(true);
    font.setStyleStrategy(QFont::PreferAntialias);
    setFont(font);
}

} // namespace lumo::ui
