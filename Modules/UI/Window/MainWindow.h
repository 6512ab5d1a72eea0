#pragma once

#include "Shell/LumoModel.h"

#include <QMainWindow>
#include <QString>

#include <memory>

class QAction;
class QMenu;
class QPrinter;

namespace lumo::ui {

class CanvasActionsWidget;
class CanvasScene;
class CanvasView;
class ToolboxDockWidget;
class ToolsetWidget;

// The program's one top-level window: the canvas view in the middle with the canvas actions bar
// and the toolset bar laid over it, the toolbox dock at the side, and the File, View, Help and web
// menus. It makes the one LumoModel, keeps its own controls in step with the project's toolset
// position and state, the dock and the zoom, restores its geometry at construction and stores it
// with the other settings when it closes. The project commands live in MainWindowProject.cpp.
// Observes the model for all data types.
class MainWindow : public QMainWindow, public LumoModelObserver {
    Q_OBJECT

public:
    // projectPath: the project start-up opened; empty for a new one.
    explicit MainWindow(const QString& projectPath, QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~MainWindow() override;

    void ModelChanged(DataType type, const QUuid& id, FieldType field) override;

    // Empty while the project is untitled.
    const QString& CurrentProjectPath() const;
    // "Untitled Project" for an empty path, otherwise the file name without its last extension.
    static QString ProjectTitle(const QString& path);

    // Removes every key of one settings group.
    static void RemoveSettingsGroup(const QString& group);
    // Removes a folder with its files and folders; hidden files keep it, and them, in place.
    static void RemoveDirectoryRecursively(const QString& path);

    // The parts of the window, for start-up and tests.
    CanvasView* GetCanvasView() const;
    CanvasScene* GetCanvasScene() const;
    ToolsetWidget* GetToolsetBar() const;
    ToolboxDockWidget* GetToolboxDock() const;
    CanvasActionsWidget* GetCanvasActions() const;

public slots:
    // Asks for a file and saves the project there; false when cancelled or not saved.
    bool SlotSaveProjectAs();
    // Closes the window without asking anything, when the system ends the program (a termination
    // signal): the settings are stored as on any close, unsaved changes are not saved.
    void SlotCloseOnRequest();

private slots:
    void SlotNewProject();
    void SlotNewGreetingCard();
    void SlotOpenProject();
    void SlotOpenRecentProject();
    bool SlotSaveProject();
    bool SlotRevertProject();
    void SlotSetToolsetPosition(int position);
    void SlotToolsetState();
    void SlotCheckRecentProjectLinks();
    bool SlotRestoreDefaultSettings();
    bool SlotDeleteProjectCache();
    void SlotDockUndockToolbox();
    void SlotOpenHelp(int section);
    void SlotOpenHelp();
    void SlotOpenQuickStart();
    void SlotOpenUrl(const QString& address);
    void SlotShowAboutPage();
    void SlotFocusButtonClicked();
    void SlotCanvasZoomChanged();
    void SlotDisplayPageSetupDialog();
    void SlotDisplayPrintPreviewDialog();
    void SlotDisplayPrintDialog();
    void SlotPrintPreviewPaintRequested(QPrinter* printer);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    QMenu* createPopupMenu() override;

private:
    void CreateMenus();
    void CreateFileMenu();
    void CreateViewMenu();
    void CreateHelpMenu();
    void CreateWebMenu();
    void CreateCanvasToolbar();
    void RestoreWindowSettings();
    void WriteWindowSettings();
    // Reads the stored toolset position and state into the project.
    void ReadToolsetSettings();
    void ShowToolsetPosition();
    void ShowToolsetState();
    void Notify(DataType type, FieldType field);

    // The floating toolbox (MainWindowToolbox.cpp).
    void ConnectFloatingToolbox();
    // After the window shows: a toolbox restored floating shows above it, clear of the bar.
    void ShowRestoredFloatingToolbox();
    // Once the layout has settled: a floating toolbox that covers the toolset bar or leaves the
    // screen is moved beside the bar; with besideBar, it is put there in any case.
    void ScheduleFloatingToolboxCheck(bool besideBar = false);
    void KeepFloatingToolboxClear(bool besideBar);

    // Project commands.
    // True when the work may be dropped or has been saved; false when the user cancels.
    bool MaybeSaveChanges();
    void OpenProjectFile(const QString& path);
    bool SaveProjectFile(const QString& path);
    void SetCurrentProjectPath(const QString& path);
    // Puts newest (when given) at the front of the recent projects, drops those whose files are
    // gone and shows the first five in the submenu.
    void UpdateRecentProjectsMenu(const QString& newest = QString());
    void ResetToNewProject();
    // The notifications that follow opening or resetting a project.
    void AnnounceOpenedProject();

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace lumo::ui
