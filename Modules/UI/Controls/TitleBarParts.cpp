#include "Controls/TitleBarParts.h"

#include "Controls/Buttons.h"
#include "Controls/SmallWidgets.h"
#include "Shell/InterfaceConstants.h"

#include <QBoxLayout>
#include <QLabel>

namespace lumo::ui {

TitleButton* AddCollapseButton(QBoxLayout* layout, QWidget* bar, bool expanded)
{
    auto* button = new TitleButton(QStringLiteral("CollapseButton"), bar);
    button->setCheckable(true);
    button->setChecked(expanded);
    layout->addWidget(button);
    return button;
}

QLabel* AddTitleLabel(QBoxLayout* layout, QWidget* bar, const QString& title)
{
    auto* label = new QLabel(title, bar);
    label->setObjectName(QStringLiteral("TitleLabel"));
    QFont font = InterfaceFont();
    font.setBold(true);
    font.setStyleStrategy(QFont::PreferAntialias);
    label->setFont(font);
    layout->addWidget(label);
    layout->addStretch();
    return label;
}

MoveButtons AddMoveButtons(QBoxLayout* layout, QWidget* bar)
{
    MoveButtons buttons;
    buttons.up = new TitleButton(QStringLiteral("FilterUpButton"), bar);
    buttons.up->setToolTip(QObject::tr("Move Up"));
    buttons.down = new TitleButton(QStringLiteral("FilterDownButton"), bar);
    buttons.down->setToolTip(QObject::tr("Move Down"));
    layout->addWidget(buttons.up);
    layout->addSpacing(3);
    layout->addWidget(buttons.down);
    layout->addSpacing(7);
    return buttons;
}

TitleButton* AddResetButton(QBoxLayout* layout, QWidget* bar)
{
    auto* button = new TitleButton(QStringLiteral("TitleResetButton"), bar);
    button->setToolTip(QObject::tr("Reset"));
    layout->addWidget(button);
    layout->addSpacing(7);
    return button;
}

CheckBox* AddEnableCheckBox(QBoxLayout* layout, QWidget* bar, bool checked)
{
    auto* box = new CheckBox(bar);
    box->setToolTip(QObject::tr("Enable/Disable"));
    box->setChecked(checked);
    layout->addWidget(box);
    return box;
}

} // namespace lumo::ui
