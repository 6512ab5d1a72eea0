#pragma once

#include "Shell/LumoModel.h"

#include <QDockWidget>
#include <QHash>

#include <memory>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace lumo::ui {

class AbstractToolboxSection;

// The eleven sections in a stack whose page index is the section's toolset number.
class ToolboxSectionStack {
public:
    // Makes the sections in index order, each a child of parent.
    explicit ToolboxSectionStack(QWidget* parent);

    QStackedWidget* Stack() const { return m_stack; }
    const QHash<int, AbstractToolboxSection*>& Sections() const { return m_sections; }

private:
    QStackedWidget* m_stack = nullptr;
    QHash<int, AbstractToolboxSection*> m_sections;
};

// The dock's own title: a float button and "Toolbox" on a dark gradient.
class ToolboxDockTitleBar : public QWidget {
    Q_OBJECT

public:
    explicit ToolboxDockTitleBar(QWidget* parent);

    QPushButton* FloatButton() const { return m_float; }
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

public slots:
    // Floats the dock that holds the bar, or docks it again.
    void FloatDock();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_label = nullptr;
    QPushButton* m_float = nullptr;
};

// The dock beside the canvas that shows the toolbox section of the project's current toolset. It
// floats but cannot be closed or hidden on its own: closing it, floating, closes its window, and it
// goes with that window. Observes the model for project and interface notifications;
// it registers its sections for everything they observe.
class ToolboxDockWidget : public QDockWidget, public LumoModelObserver {
    Q_OBJECT

public:
    ToolboxDockWidget(const QString& title, QWidget* parent = nullptr);
    ~ToolboxDockWidget() override;

    // Attaches the dock, then every section in index order.
    void SetModel(const LumoModelPtr& model);

    void ModelChanged(DataType type, const QUuid& id, FieldType field) override;

    QStackedWidget* Stack() const;
    // The section of the index (0 to 10), or null.
    AbstractToolboxSection* Section(int index) const;
    ToolboxDockTitleBar* TitleBar() const { return m_titleBar; }

public slots:
    void SlotDockIsFloating(bool floating);
    void SlotDockVisibilityChanged(bool visible);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ShowCurrentToolset();
    // The window the dock belongs to; null for a dock without a parent.
    QWidget* OwnerWindow() const;

    std::unique_ptr<ToolboxSectionStack> m_stack;
    ToolboxDockTitleBar* m_titleBar = nullptr;
    // Closed with its window (or the program): stays hidden until shown again.
    bool m_closed = false;
};

} // namespace lumo::ui
