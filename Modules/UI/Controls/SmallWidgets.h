#pragma once

// Small widgets that fix their font, size and focus behaviour for the panels.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTabWidget>

namespace lumo::ui {

// A check box in the interface font; without text it is the enable box of a title bar.
class CheckBox : public QCheckBox {
    Q_OBJECT

public:
    CheckBox(const QString& text, QWidget* parent);
    explicit CheckBox(QWidget* parent);
};

// A combo box 25 pixels high that takes the width it is given and never the focus.
class ComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit ComboBox(QWidget* parent);
};

// A panel's caption, styled by the application style sheet ("ToolboxLabel").
class ToolboxLabel : public QLabel {
    Q_OBJECT

public:
    ToolboxLabel(const QString& text, QWidget* parent);
};

// A tab widget with the program's tabs and a bold tab font.
class TabWidget : public QTabWidget {
    Q_OBJECT

public:
    explicit TabWidget(QWidget* parent);
};

} // namespace lumo::ui
