#pragma once

// The main window's own data, shared by the files of its members.

#include "Shell/Application.h"
#include "Window/MainWindow.h"

#include "Project.h"

#include <QList>

class QAction;
class QGridLayout;
class QMenu;

namespace lumo::ui {

// The project the window shows; looked up at each use, as opening a project replaces it.
inline app::ProjectPtr CurrentProject()
{
    const Application* app = Application::Instance();
    return app != nullptr ? app->GetDocument()->GetProject() : nullptr;
}

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
    // Set when the system ends the program: closing asks nothing.
    bool closingOnRequest = false;
    // A check of the floating toolbox's place is queued (and whether it goes beside the bar).
    bool toolboxCheckQueued = false;
    bool toolboxBesideBar = false;
};

} // namespace lumo::ui
