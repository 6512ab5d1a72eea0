#include "Controls/Buttons.h"

#include <QMouseEvent>

namespace lumo::ui {

namespace {

const QString kButtonDefaultStyleSheet = QStringLiteral(
    "QPushButton { border-image: url(:Button/ButtonDefault.png) 1px 11px 1px 11px;"
    " border-width: 0px 10px 0px 10px; color: #cbcbcb; text-align: left; }"
    "QPushButton:hover { border-image: url(:Button/ButtonOver.png) 1px 11px 1px 11px; }"
    "QPushButton:pressed { border-image: url(:Button/ButtonDown.png) 1px 11px 1px 11px; }"
    "QPushButton:checked { border-image: url(:Button/ButtonChecked.png) 1px 11px 1px 11px; }"
    "QPushButton:disabled { border-image: url(:Button/ButtonDisabled.png) 1px 11px 1px 11px; color: #666666; }");

const QString kButtonToolBarStyleSheet = QStringLiteral(
    "QPushButton { background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1,"
    " stop: 0 #515151, stop: 0.5 #343434, stop: 0.55 #262626, stop: 1 #262626);"
    " color: #cbcbcb; text-align: left; padding: 3px 4px 3px 4px; border: 1px solid #4d4d4d; }"
    "QPushButton:hover { background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1,"
    " stop: 0 #646464, stop: 0.5 #4e4e4e, stop: 0.55 #404040, stop: 1 #404040); }"
    "QPushButton:pressed, QPushButton:checked { background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1,"
    " stop: 0 #252525, stop: 0.25 #414141, stop: 0.5 #343434, stop: 0.55 #262626, stop: 1 #262626); }"
    "QPushButton:disabled { background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1,"
    " stop: 0 #4a4a4a, stop: 0.5 #313131, stop: 0.55 #313131, stop: 1 #313131); color: #666666; }");

} // namespace

// ---- ButtonDefault

ButtonDefault::ButtonDefault(const QString& text, QWidget* parent) : ButtonDefault(QIcon(), text, parent) {}

ButtonDefault::ButtonDefault(const QIcon& icon, const QString& text, QWidget* parent)
    : QPushButton(icon, text, parent)
{
    setObjectName(QStringLiteral("ButtonDefault"));
    setFixedHeight(27);
    setStyleSheet(kButtonDefaultStyleSheet);
}

void ButtonDefault::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        emit RightClicked();
    QAbstractButton::mousePressEvent(event);
}

// ---- ButtonToolBar

ButtonToolBar::ButtonToolBar(const QIcon& icon, const QString& text, QWidget* parent)
    : QPushButton(icon, text, parent)
{
    setObjectName(QStringLiteral("ButtonToolBar"));
    setFixedHeight(25);
    setFlat(true);
    if (text.isEmpty())
        setFixedWidth(26);
    setStyleSheet(kButtonToolBarStyleSheet);
}

// ---- TitleButton

TitleButton::TitleButton(const QString& objectName, QWidget* parent) : QPushButton(parent)
{
    setObjectName(objectName);
    setFixedSize(16, 16);
    setFlat(true);
}

} // namespace lumo::ui
