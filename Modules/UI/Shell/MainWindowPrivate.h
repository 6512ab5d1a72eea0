#pragma once

// The main window's own data, shared by the files of its members.

#include "Shell/MainWindow.h"

#include <QList>

class QAction;
class QGridLayout;
class QMenu;

namespace lumo::ui {

struct MainWindow::Private {
    LumoModelPtr model;
    CanvasView* view = nullptr;
    CanvasScene* scene = nullptr;
    ToolsetWidget* toolset = nullptr;
    ToolboxDockWidget* dock = nullptr;
    QString projectPath;
    bool defaultsRestored = false;
    CanvasActionsWidget* actions = nullptr;
    QGridLayout* toolsetLayout = nullptr;
    QAction* leftAction = nullptr;
    QAction* rightAction = nullptr;
    QAction* collapseAction = nullptr;
    QAction* undockAction = nullptr;
    QAction* revertAction = nullptr;
    QMenu* recentMenu = nullptr;
    QList<QAction*> recentActions;
};

} // namespace lumo::ui
