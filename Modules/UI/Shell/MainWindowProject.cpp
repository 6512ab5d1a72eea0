// The main window's project commands: new, open, save, save as, the question that guards unsaved
// work, the window title and the restoring of the default settings.

#include "Shell/MainWindow.h"
#include "Shell/MainWindowPrivate.h"

#include "Shell/Application.h"
#include "Shell/Identity.h"
#include "Shell/OverrideCursor.h"
#include "Shell/Settings.h"

#include "Project.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace lumo::ui {

namespace {

const QString kProjectFolderGroup = QStringLiteral("RecentFolders");
const QString kProjectFolderKey = QStringLiteral("project");
const QString kProjectSuffix = QStringLiteral("lumo4");


// Where the project dialogs start: the folder of the last project opened or saved, else the
// desktop, else the home folder (a desktop folder need not exist).
QString ProjectDialogFolder()
{
    const QString stored = ReadSetting(kProjectFolderGroup, kProjectFolderKey);
    if (!stored.isEmpty() && QFileInfo(stored).isDir())
        return stored;
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return QFileInfo(desktop).isDir() ? desktop : QDir::homePath();
}

void RememberProjectFolder(const QString& path)
{
    WriteSetting(kProjectFolderGroup, kProjectFolderKey, QFileInfo(path).absolutePath());
}

} // namespace

QString MainWindow::ProjectTitle(const QString& path)
{
    return path.isEmpty() ? tr("Untitled Project") : QFileInfo(path).completeBaseName();
}

void MainWindow::SetCurrentProjectPath(const QString& path)
{
    d->projectPath = path;
    setWindowModified(false);
    setWindowTitle(tr("%1 - %2").arg(ProjectTitle(path), ApplicationName));
}

bool MainWindow::MaybeSaveChanges()
{
    const app::ProjectPtr project = CurrentProject();
    if (!project || project->IsEqualToSavedProject(d->projectPath))
        return true;
    const QMessageBox::StandardButton answer = Application::Instance()->Dialogs().Message(
        {.parent = this,
         .icon = QMessageBox::Warning,
         .text = tr("Do you want to save the changes to '%1'?\t").arg(ProjectTitle(d->projectPath)),
         .buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
         .guardsData = true});
    if (answer == QMessageBox::Yes)
        return SlotSaveProject();
    return answer != QMessageBox::Cancel;
}

void MainWindow::AnnounceOpenedProject()
{
    Notify(DataTypeProject, FieldTypeProjectOpened);
    Notify(DataTypeProject, FieldTypeRefreshAll);
    Notify(DataTypeCanvas, FieldTypeFocusCanvas);
}

void MainWindow::OpenProjectFile(const QString& path)
{
    Application* app = Application::Instance();
    // Loading moves the working folder to the project's: a relative path is resolved first.
    const QString absolutePath = QFileInfo(path).absoluteFilePath();
    const WaitCursor busy;
    const app::ProjectPtr before = app->GetDocument()->GetProject();
    const app::LMerr code = app->OpenProject(absolutePath);
    // Without a render processor for it nothing was replaced: the open project stays as it was.
    if (app->GetDocument()->GetProject() == before)
        return;
    if (code == app::LMerrSuccess) {
        app->LoadProjectImages();
        SetCurrentProjectPath(absolutePath);
    } else {
        SetCurrentProjectPath(QString());
    }
    AnnounceOpenedProject();
}

bool MainWindow::SaveProjectFile(const QString& path)
{
    app::LMerr code = app::LMerrFileOpen;
    {
        const WaitCursor busy;
        if (const app::ProjectPtr project = CurrentProject())
            code = project->SaveToXml(path, QCoreApplication::applicationVersion(), QStringLiteral("4.0"));
    }
    if (code != app::LMerrSuccess) {
        Application::Instance()->Dialogs().Message(
            {.parent = this,
             .icon = QMessageBox::Warning,
             .text = tr("Could not save the project to:\n\n%1").arg(QDir::toNativeSeparators(path))});
        return false;
    }
    SetCurrentProjectPath(path);
    return true;
}

void MainWindow::ResetToNewProject()
{
    Application* app = Application::Instance();
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    bool busy = true;
    if (d->projectPath.isEmpty())
        SlotDeleteProjectCache();
    const app::LMerr code = app->OpenProject(QString());
    if (code != app::LMerrSuccess) {
        RestoreOverrideCursor();
        busy = false;
        const QString text =
            code == app::LMerrRenderOutOfMemory
                ? tr("There is not enough memory available to run Lumora.Exiting other programs before opening "
                     "Lumora may solve this problem. Lumora will now quit.")
                : tr("There was a problem starting the application.  Please re-install the program.");
        app->Dialogs().Message({.parent = this, .icon = QMessageBox::Critical, .text = text});
        // The loop ends once control returns to it; the window is brought to a consistent state first.
        QCoreApplication::quit();
    }
    SetCurrentProjectPath(QString());
    AnnounceOpenedProject();
    if (busy)
        RestoreOverrideCursor();
}

void MainWindow::SlotNewProject()
{
    if (MaybeSaveChanges())
        ResetToNewProject();
}

void MainWindow::SlotNewGreetingCard()
{
    if (!MaybeSaveChanges())
        return;
    ResetToNewProject();
    if (const app::ProjectPtr project = CurrentProject()) {
        project->GetCanvas().SetPrintAsCard(true);
        Notify(DataTypeInterface, FieldTypeGreetingCard);
    }
}

void MainWindow::SlotOpenProject()
{
    if (!MaybeSaveChanges())
        return;
    const QString path = Application::Instance()->Dialogs().OpenFileName(
        this, tr("Open Project"), ProjectDialogFolder(),
        tr("All Lumora projects (*.lumo4 *.lumo3);;Lumora 4 projects (*.lumo4);;Lumora 3 projects (*.lumo3)"));
    if (path.isEmpty())
        return;
    RememberProjectFolder(path);
    OpenProjectFile(path);
}

bool MainWindow::SlotSaveProject()
{
    if (d->projectPath.isEmpty())
        return SlotSaveProjectAs();
    return SaveProjectFile(d->projectPath);
}

bool MainWindow::SlotSaveProjectAs()
{
    const QString path = Application::Instance()->Dialogs().SaveFileName(
        this, tr("Save Project"), ProjectDialogFolder(), tr("Lumora 4 projects (*.lumo4)"), kProjectSuffix);
    if (path.isEmpty())
        return false;
    RememberProjectFolder(path);
    if (const app::ProjectPtr project = CurrentProject())
        project->SetName(path);
    return SaveProjectFile(path);
}

bool MainWindow::SlotRestoreDefaultSettings()
{
    const QMessageBox::StandardButton answer = Application::Instance()->Dialogs().Message(
        {.parent = this,
         .icon = QMessageBox::Warning,
         .text = tr("This will restore the default settings. Changes will take effect the next time you start "
                    "Lumora 4"),
         .buttons = QMessageBox::Ok | QMessageBox::Cancel,
         .guardsData = true,
         .buttonTexts = {{QMessageBox::Ok, tr("Continue")}}});
    if (answer == QMessageBox::Ok) {
        ProgramSettings settings;
        for (const char* group : {"Canvas", "DialogStates", "Export", "MainWindow", "RecentFolders"}) {
            settings.beginGroup(QString::fromLatin1(group));
            settings.remove(QString());
            settings.endGroup();
        }
        settings.clear();
        // This window keeps its geometry; closing it must not write the settings back.
        d->defaultsRestored = true;
    }
    return true;
}

// The recent-project list, reverting and the untitled project's cache are not kept yet: the
// submenu stays disabled and Revert with it, and no project cache is written to remove.
void MainWindow::SlotOpenRecentProject() {}

void MainWindow::SlotCheckRecentProjectLinks() {}

bool MainWindow::SlotRevertProject()
{
    return false;
}

bool MainWindow::SlotDeleteProjectCache()
{
    return false;
}

} // namespace lumo::ui
