#include "Controls/TitleWidget.h"

#include "Controls/Buttons.h"
#include "Controls/SmallWidgets.h"
#include "Controls/TitleBarParts.h"

#include <QHBoxLayout>
#include <QMouseEvent>

namespace lumo::ui {

namespace {

QString TitleStyle(bool expanded)
{
    return QStringLiteral("#TitleWidget { border-image: url(%1) 1px 4px 1px 4px; border-width: 0px 3px 0px 3px; }")
        .arg(expanded ? QStringLiteral(":Toolbox/FilterTitle.png") : QStringLiteral(":Toolbox/FilterTitleCollapsed.png"));
}

const QString kResetEnabledStyle = QStringLiteral(
    "QPushButton#TitleResetButton { border-image: url(:Icons/Reset.png) 0px 0px 0px 0px; }"
    "QPushButton#TitleResetButton:hover { border-image: url(:Icons/ResetOver.png) 0px 0px 0px 0px; }");
const QString kResetDisabledStyle =
    QStringLiteral("QPushButton#TitleResetButton { border-image: url(:Icons/ResetDisabled.png) 0px 0px 0px 0px; }");

} // namespace

BodyWidget::BodyWidget(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("BodyWidget"));
}

TitleWidget::TitleWidget(QWidget* parent, const QString& title, bool enabled, bool expanded, bool reset, bool move,
                         bool enableCheck, bool collapse)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("TitleWidget"));
    setFixedHeight(25);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (collapse)
        m_collapseButton = AddCollapseButton(layout, this, expanded);
    else
        layout->addSpacing(10);
    AddTitleLabel(layout, this, title);
    if (move) {
        const MoveButtons buttons = AddMoveButtons(layout, this);
        m_moveUpButton = buttons.up;
        m_moveDownButton = buttons.down;
        connect(m_moveUpButton, &QPushButton::clicked, this, &TitleWidget::MoveUp);
        connect(m_moveDownButton, &QPushButton::clicked, this, &TitleWidget::MoveDown);
    }
    if (reset) {
        m_resetButton = AddResetButton(layout, this);
        connect(m_resetButton, &QPushButton::clicked, this, &TitleWidget::ResetWidgetBody);
    }
    if (enableCheck) {
        m_checkBox = AddEnableCheckBox(layout, this, enabled);
        connect(m_checkBox, &QCheckBox::stateChanged, this, &TitleWidget::EnableWidgetBody);
        connect(m_checkBox, &QCheckBox::stateChanged, this, &TitleWidget::StyleResetButton);
    }
    if (m_collapseButton != nullptr) {
        connect(m_collapseButton, &QPushButton::toggled, this, &TitleWidget::SetStyle);
        connect(m_collapseButton, &QPushButton::toggled, this, &TitleWidget::CollapseWidgetBody);
    }

    m_titleStyle = TitleStyle(m_collapseButton != nullptr ? expanded : true);
    if (m_checkBox != nullptr)
        StyleResetButton(m_checkBox->checkState());
    else
        ApplyStyleSheet();
}

void TitleWidget::SetStyle(bool expanded)
{
    m_titleStyle = TitleStyle(expanded);
    ApplyStyleSheet();
}

void TitleWidget::StyleResetButton(int state)
{
    const bool checked = state == Qt::Checked;
    if (m_collapseButton != nullptr && m_collapseButton->isChecked() != checked)
        m_collapseButton->setChecked(checked);
    m_resetStyle = checked ? kResetEnabledStyle : kResetDisabledStyle;
    if (m_resetButton != nullptr)
        m_resetButton->setEnabled(checked);
    ApplyStyleSheet();
}

void TitleWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (m_collapseButton != nullptr)
        m_collapseButton->click();
    QWidget::mouseDoubleClickEvent(event);
}

void TitleWidget::ApplyStyleSheet()
{
    setStyleSheet(m_titleStyle + m_resetStyle);
}

} // namespace lumo::ui
