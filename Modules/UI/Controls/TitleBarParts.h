#pragma once

// The parts both title bars (ContainerTitle and the export panel's TitleWidget) are made of, each
// added to the bar's layout with the spacing that follows it.

#include <QString>

class QBoxLayout;
class QLabel;
class QWidget;

namespace lumo::ui {

class CheckBox;
class TitleButton;

// The checkable collapse button ("CollapseButton", checked means expanded).
TitleButton* AddCollapseButton(QBoxLayout* layout, QWidget* bar, bool expanded);
// The bold title ("TitleLabel") and the stretch after it.
QLabel* AddTitleLabel(QBoxLayout* layout, QWidget* bar, const QString& title);

struct MoveButtons {
    TitleButton* up = nullptr;   // "FilterUpButton"
    TitleButton* down = nullptr; // "FilterDownButton"
};
MoveButtons AddMoveButtons(QBoxLayout* layout, QWidget* bar);
// "TitleResetButton".
TitleButton* AddResetButton(QBoxLayout* layout, QWidget* bar);
// A check box without text, "Enable/Disable".
CheckBox* AddEnableCheckBox(QBoxLayout* layout, QWidget* bar, bool checked);

} // namespace lumo::ui
