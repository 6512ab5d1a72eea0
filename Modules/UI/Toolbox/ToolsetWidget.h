#pragma once

#include "Shell/LumoModel.h"

#include <QFrame>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

class QHBoxLayout;
class QMainWindow;
class QVBoxLayout;

namespace lumo::ui {

// The label beside a section button of the collapsed bar, a child of the main window.
class ToolsetTooltip : public QLabel {
    Q_OBJECT

public:
    ToolsetTooltip(const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A section button: icon and label, or the icon alone with a floating tooltip on hover.
class ToolsetButton : public QPushButton {
    Q_OBJECT

public:
    ToolsetButton(const QIcon& icon, const QString& text, bool checkable, QWidget* parent);
    ~ToolsetButton() override;

    const QString& Label() const { return m_label; }
    // Null without a main window.
    ToolsetTooltip* Tooltip() const { return m_tooltip; }

public slots:
    // true shows the icon alone, false the label again.
    void MinimiseToolset(bool minimise);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void ShowTooltip();

    QString m_label;
    QIcon m_icon;
    QMainWindow* m_mainWindow = nullptr;
    ToolsetTooltip* m_tooltip = nullptr;
};

// The vertical bar of toolbox section buttons over the canvas view. The current toolset, the
// collapsed state and the side live in the project and the settings; every change goes through the
// model and comes back as a notification. Ctrl+Tab and Ctrl+Shift+Tab cycle the sections from
// anywhere in the window. Its width is the canvas's side reserve.
class ToolsetWidget : public QFrame, public LumoModelObserver {
    Q_OBJECT

public:
    explicit ToolsetWidget(QWidget* parent = nullptr);
    ~ToolsetWidget() override;

    // The bar's width as laid out.
    int ToolsetWidth() const;
    // Gives the Application the bar's width plus a margin as the canvas's side reserve.
    void ReserveWidth();

    void SetCurrentToolset(int index);
    void SetToolsetState(int state);
    void ApplyToolsetState(int state);
    void ApplyToolsetPosition(int position);

    ToolsetButton* Button(int index) const { return m_buttons.value(index, nullptr); }
    QPushButton* SlideButton() const { return m_slide; }
    QFrame* ButtonFrame() const { return m_frame; }

    void ModelChanged(DataType type, const QUuid& id, FieldType field) override;

signals:
    void MinimiseToolset(bool minimise);

public slots:
    void SlotCycleToolsetDown();
    void SlotCycleToolsetUp();
    void SlotButtonChecked();
    void SlotToolsetSlideClicked();

private:
    // The project's current toolset, 0 when it names no section.
    static int CurrentSection();
    void CheckCurrentButton();
    void Notify(DataType type, FieldType field);
    void RecentreCanvas();

    QHash<int, ToolsetButton*> m_buttons;
    QPushButton* m_slide = nullptr;
    QFrame* m_frame = nullptr;
    QVBoxLayout* m_buttonLayout = nullptr;
    QHBoxLayout* m_slideRow = nullptr;
};

} // namespace lumo::ui
