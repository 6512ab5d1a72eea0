#include "Controls/Container.h"

#include "Controls/Buttons.h"
#include "Controls/SmallWidgets.h"
#include "Controls/TitleBarParts.h"
#include "Shell/Application.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace lumo::ui {

namespace {

constexpr int kTitleHeight = 25;
constexpr int kCapWidth = 10;

// The body's visibility as the container sets it, whether or not the window is shown yet.
bool IsShown(const QWidget* widget)
{
    return !widget->isHidden();
}

} // namespace

// ---- ContainerBody

ContainerBody::ContainerBody(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("BodyWidget"));
}

// ---- ContainerTitle

ContainerTitle::ContainerTitle(const QString& title, bool collapse, bool move, bool reset, bool enable,
                               bool customCheck, QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(kTitleHeight);
    const QPixmap expanded(QStringLiteral(":Toolbox/FilterTitle.png"));
    const QPixmap collapsed(QStringLiteral(":Toolbox/FilterTitleCollapsed.png"));
    m_leftCap = expanded.copy(0, 0, kCapWidth, kTitleHeight);
    m_rightCap = expanded.copy(expanded.width() - kCapWidth, 0, kCapWidth, kTitleHeight);
    m_leftCapCollapsed = collapsed.copy(0, 0, kCapWidth, kTitleHeight);
    m_rightCapCollapsed = collapsed.copy(collapsed.width() - kCapWidth, 0, kCapWidth, kTitleHeight);
    m_middle = expanded.copy(kCapWidth, 0, kCapWidth, kTitleHeight);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(3, 0, 3, 0);
    layout->setSpacing(0);
    if (collapse) {
        m_collapseButton = AddCollapseButton(layout, this, true);
        connect(m_collapseButton, &QPushButton::toggled, this, &ContainerTitle::SlotExpandedToggled);
    } else {
        layout->addSpacing(10);
    }
    m_label = AddTitleLabel(layout, this, title);
    if (customCheck) {
        m_customCheckBox = new CheckBox(tr("Use hot folder"), this);
        m_customCheckBox->setObjectName(QStringLiteral("CustomCheckBox"));
        m_customCheckBox->setToolTip(tr("Toggle hot folder"));
        layout->addWidget(m_customCheckBox);
        layout->addStretch();
        connect(m_customCheckBox, &QCheckBox::stateChanged, this, &ContainerTitle::SignalCustomCheckBoxStateChanged);
    }
    if (move) {
        const MoveButtons buttons = AddMoveButtons(layout, this);
        m_moveUpButton = buttons.up;
        m_moveDownButton = buttons.down;
        connect(m_moveUpButton, &QPushButton::clicked, this, &ContainerTitle::SignalMoveUp);
        connect(m_moveDownButton, &QPushButton::clicked, this, &ContainerTitle::SignalMoveDown);
    }
    if (reset) {
        m_resetButton = AddResetButton(layout, this);
        connect(m_resetButton, &QPushButton::clicked, this, &ContainerTitle::SignalReset);
    }
    if (enable) {
        m_enableCheckBox = AddEnableCheckBox(layout, this, true);
        m_enableCheckBox->setObjectName(QStringLiteral("ColoredCheck"));
        // The owner hears of the change before the title follows it.
        connect(m_enableCheckBox, &QCheckBox::stateChanged, this, &ContainerTitle::SignalEnableBody);
        connect(m_enableCheckBox, &QCheckBox::stateChanged, this, &ContainerTitle::SlotEnableStateChanged);
    }
}

void ContainerTitle::SetChecks(bool enabled, bool expanded)
{
    const QSignalBlocker blocker(this);
    if (m_enableCheckBox != nullptr)
        m_enableCheckBox->setChecked(enabled);
    if (m_collapseButton != nullptr)
        m_collapseButton->setChecked(expanded);
    if (m_resetButton != nullptr)
        m_resetButton->setEnabled(enabled);
    update();
}

void ContainerTitle::SlotExpandedToggled(bool checked)
{
    emit SignalExpandBody(checked);
    update();
}

void ContainerTitle::SlotEnableStateChanged(int state)
{
    const bool enabled = state == Qt::Checked;
    if (m_collapseButton != nullptr) {
        const QSignalBlocker blocker(m_collapseButton);
        m_collapseButton->setChecked(enabled);
    }
    if (m_resetButton != nullptr)
        m_resetButton->setEnabled(enabled);
    update();
}

void ContainerTitle::mouseReleaseEvent(QMouseEvent* event)
{
    // A click of any button on the bar outside its buttons opens or closes the box; a release
    // dragged off the bar does not.
    if (m_collapseButton != nullptr && rect().contains(event->position().toPoint()))
        m_collapseButton->click();
    QWidget::mouseReleaseEvent(event);
}

void ContainerTitle::paintEvent(QPaintEvent*)
{
    RunGuarded([this] {
        QPainter painter(this);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::NoBrush);
        const int w = width();
        const bool collapsed = m_collapseButton != nullptr && !m_collapseButton->isChecked();
        painter.drawPixmap(0, 0, collapsed ? m_leftCapCollapsed : m_leftCap);
        painter.drawPixmap(w - kCapWidth, 0, collapsed ? m_rightCapCollapsed : m_rightCap);
        // The middle overlaps the caps' inner two columns; a title 18 pixels wide or less has none.
        if (w - 18 > 0)
            painter.drawTiledPixmap(QRect(8, 0, w - 18, kTitleHeight), m_middle);
    });
}

// ---- Container

Container::Container(const QString& title, int features, QWidget* parent)
    : QWidget(parent), m_features(features), m_body(new ContainerBody(this)),
      m_title(new ContainerTitle(title, features & ContainerFeatureCollapse, features & ContainerFeatureMove,
                                 features & ContainerFeatureReset, features & ContainerFeatureEnable,
                                 features & ContainerFeatureCustomCheck, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_title);
    layout->addWidget(m_body);

    connect(m_title, &ContainerTitle::SignalExpandBody, this, &Container::SlotExpandBody);
    connect(m_title, &ContainerTitle::SignalMoveUp, this, &Container::SignalMoveUp);
    connect(m_title, &ContainerTitle::SignalMoveDown, this, &Container::SignalMoveDown);
    connect(m_title, &ContainerTitle::SignalReset, this, &Container::SignalReset);
    connect(m_title, &ContainerTitle::SignalEnableBody, this, &Container::SlotEnableBody);
    connect(m_title, &ContainerTitle::SignalCustomCheckBoxStateChanged, this,
            &Container::SignalCustomCheckBoxStateChanged);
}

void Container::SetBodyState(bool enabled, bool expanded)
{
    {
        const QSignalBlocker blocker(m_body);
        m_body->setEnabled(enabled);
        m_body->setVisible(expanded);
    }
    m_title->SetChecks(enabled, expanded);
}

void Container::SlotExpandBody(bool expand)
{
    if (IsShown(m_body) != expand)
        m_body->setVisible(expand);
    emit SignalExpandBody(expand);
    if (expand && !m_body->isEnabled()) {
        // Opening a switched-off effect switches it on.
        m_body->setEnabled(true);
        emit SignalEnableBody(true);
        m_title->SetChecks(true, true);
    }
}

void Container::SlotEnableBody(int state)
{
    const bool enabled = state == Qt::Checked;
    if (IsShown(m_body) != enabled)
        m_body->setVisible(enabled);
    emit SignalExpandBody(enabled);
    m_body->setEnabled(enabled);
    emit SignalEnableBody(enabled);
}

} // namespace lumo::ui
