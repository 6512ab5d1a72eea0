#pragma once

// The push buttons of the panels and bars. Each sets its size, object name and, for the first two,
// its own style sheet over the skin images; the application style sheet styles the title buttons
// by their object names.

#include <QIcon>
#include <QPushButton>

namespace lumo::ui {

// The panels' ordinary button: 27 pixels high, text at the left, drawn from ":Button/...".
class ButtonDefault : public QPushButton {
    Q_OBJECT

public:
    ButtonDefault(const QString& text, QWidget* parent);
    ButtonDefault(const QIcon& icon, const QString& text, QWidget* parent);

signals:
    void RightClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// A flat bar button, 25 pixels high (26 wide without text), drawn with gradients.
class ButtonToolBar : public QPushButton {
    Q_OBJECT

public:
    ButtonToolBar(const QIcon& icon, const QString& text, QWidget* parent);
};

// A flat 16 x 16 button of a title bar; its object name decides its look.
class TitleButton : public QPushButton {
    Q_OBJECT

public:
    TitleButton(const QString& objectName, QWidget* parent);
};

} // namespace lumo::ui
