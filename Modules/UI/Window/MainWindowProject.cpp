// The main window's project commands: new, open, open recent, save, save as, revert, the question
// that guards unsaved work, the window title, the recent-project list, the restoring of the default
// settings and the removal of an untitled project's thumbnail cache.

#include "Window/MainWindow.h"
#include "Window/MainWindowPrivate.h"

#include "Shell/Application.h"
#include "Shell/Identity.h"
#include "Shell/OverrideCursor.h"
#include "Shell/Settings.h"

#include "Controls/ThumbnailCache.h"

#include "Project.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>

namespace lumo::ui {

namespace {

const QString kProjectFolderGroup = QStringLiteral("RecentFolders");
const QString kProjectFolderKey = QStringLiteral("project");
const QString kProjectSuffix = QStringLiteral("lumo4");
const QString kRecentListKey = QStringLiteral("RecentProjectList");
constexpr int kRecentProjects = 5;
// The answers to the question before saving over a file that changed on disk.
constexpr QMessageBox::StandardButton kOverwrite = QMessageBox::Yes;
constexpr QMessageBox::StandardButton kSaveElsewhere = QMessageBox::Save;

// Where the project dialogs start: the folder of the last project opened or saved, else the
// desktop, else the home folder (a desktop folder need not exist).
QString ProjectDialogFolder()
{
    const QString stored = ReadSetting(kProjectFolderGroup, kProjectFolderKey);
    if (!stored.isEmpty() && QFileInfo(stored).isDir())
        return stored;
    return DesktopFolder();
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
    // The project knows its own file, so that nothing is ever written over it.
    if (const app::ProjectPtr project = CurrentProject())
        project->SetPath(path);
    setWindowModified(false);
    setWindowTitle(tr("%1 - %2").arg(ProjectTitle(path), ApplicationName));
    if (d->revertAction != nullptr)
        d->revertAction->setEnabled(!path.isEmpty());
    UpdateRecentProjectsMenu(path);
}

void MainWindow::UpdateRecentProjectsMenu(const QString& newest)
{
    QStringList stored;
    {
        ProgramSettings settings;
        settings.beginGroup(kProjectFolderGroup);
        stored = settings.value(kRecentListKey).toStringList();
    }
    QStringList recent = stored;
    if (!newest.isEmpty()) {
        // Newest first, no duplicates (paths compared exactly: letter case counts), at most five.
        recent.removeAll(newest);
        recent.prepend(newest);
        while (recent.size() > kRecentProjects)
            recent.removeLast();
    }
    // Entries whose files are gone are dropped; the walk stops once five are kept.
    int kept = 0;
    for (int index = 0; index < recent.size() && kept < kRecentProjects;) {
        const QFileInfo file(recent.at(index));
        if (file.fileName().isEmpty() || !file.exists())
            recent.removeAt(index);
        else
            ++index, ++kept;
    }
    // Off the window's thread: opening a project from the command line shows the window sooner.
    if (recent != stored)
        WriteSettingInBackground(kProjectFolderGroup, kRecentListKey, recent);
    if (d->recentActions.isEmpty())
        return;
    bool any = false;
    for (int index = 0; index < d->recentActions.size(); ++index) {
        QAction* action = d->recentActions.at(index);
        if (index < recent.size()) {
            // "&" in a file name is shown, not taken for a mnemonic.
            QString name = QFileInfo(recent.at(index)).fileName();
            name.replace(QLatin1Char('&'), QStringLiteral("&&"));
            action->setText(tr("&%1 - %2").arg(index + 1).arg(name));
            action->setData(recent.at(index));
            action->setVisible(true);
            any = true;
        } else {
            action->setData(QVariant());
            action->setVisible(false);
        }
    }
    if (d->recentMenu != nullptr)
        d->recentMenu->setEnabled(any);
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
    const app::ProjectPtr project = CurrentProject();
    // Somebody else (another copy of the program, another program) saved this file since it was
    // opened or last saved here: replacing it without asking would silently undo their work.
    if (project && project->FileChangedOnDisk(path)) {
        const QMessageBox::StandardButton answer = Application::Instance()->Dialogs().Message(
            {.parent = this,
             .icon = QMessageBox::Warning,
             .text = tr("The project file was changed on disk since it was opened or last saved here:\n\n%1\n\n"
                        "Do you want to overwrite it, save this project elsewhere, or cancel?")
                         .arg(QDir::toNativeSeparators(path)),
             .buttons = kOverwrite | kSaveElsewhere | QMessageBox::Cancel,
             .defaultButton = QMessageBox::Cancel,
             .guardsData = true,
             .buttonTexts = {{kOverwrite, tr("Overwrite")}, {kSaveElsewhere, tr("Save As...")}}});
        if (answer == kSaveElsewhere)
            return SlotSaveProjectAs();
        if (answer != kOverwrite)
            return false;
    }
    app::LMerr code = app::LMerrFileOpen;
    {
        const WaitCursor busy;
        if (project)
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
    if (d->projectPath.toLower().endsWith(QStringLiteral(".lumo3"))) {
        const QMessageBox::StandardButton answer = Application::Instance()->Dialogs().Message(
            {.parent = this,
             .icon = QMessageBox::Question,
             .text = tr("The current project is in Lumora 3 format and must be upgraded.\n\nDo you want to save a "
                        "copy as a Lumora 4 project?"),
             .buttons = QMessageBox::Yes | QMessageBox::No});
        return answer == QMessageBox::Yes && SlotSaveProjectAs();
    }
    return SaveProjectFile(d->projectPath);
}

bool MainWindow::SlotSaveProjectAs()
{
    // The name proposed: the foreground photograph's, up to its first dot, as a project, in a
    // folder the user may write (not the sample folder beside the program a sample came from).
    const QString folder = SaveDialogFolder(ReadSetting(kProjectFolderGroup, kProjectFolderKey));
    QString proposed = folder;
    if (const QString foreground = Application::Instance()->CurrentForegroundPath(); !foreground.isEmpty()) {
        const QString base = QFileInfo(foreground).fileName().section(QLatin1Char('.'), 0, 0);
        if (!base.isEmpty())
            proposed = QDir(folder).filePath(base + QLatin1Char('.') + kProjectSuffix);
    }
    QString path = Application::Instance()->Dialogs().SaveFileName(
        this, tr("Save Project"), proposed, tr("Lumora 4 projects (*.lumo4)"), kProjectSuffix);
    if (path.isEmpty())
        return false;
    // A name typed without the extension gets it: the dialog does not add it everywhere.
    if (!path.endsWith(QLatin1Char('.') + kProjectSuffix, Qt::CaseInsensitive))
        path += QLatin1Char('.') + kProjectSuffix;
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
        for (const char* group : {"Canvas", "DialogStates", "Export", "MainWindow", "RecentFolders"})
            RemoveSettingsGroup(QString::fromLatin1(group));
        ProgramSettings settings;
        settings.clear();
        // This window keeps its geometry; closing it must not write the settings back.
        d->defaultsRestored = true;
    }
    return true;
}

void MainWindow::SlotOpenRecentProject()
{
    if (!MaybeSaveChanges())
        return;
    const auto* action = qobject_cast<const QAction*>(sender());
    if (action == nullptr)
        return;
    const QString path = action->data().toString();
    if (path.isEmpty())
        return;
    RememberProjectFolder(path);
    OpenProjectFile(path);
}

void MainWindow::SlotCheckRecentProjectLinks()
{
    UpdateRecentProjectsMenu();
    if (!d->projectPath.isEmpty() && !QFileInfo::exists(d->projectPath) && d->revertAction != nullptr)
        d->revertAction->setEnabled(false);
}

bool MainWindow::SlotRevertProject()
{
    const QMessageBox::StandardButton answer = Application::Instance()->Dialogs().Message(
        {.parent = this,
         .icon = QMessageBox::Warning,
         .text = tr("Are you sure you want to revert to the saved version of this project?"),
         .buttons = QMessageBox::Ok | QMessageBox::Cancel,
         .guardsData = true,
         .buttonTexts = {{QMessageBox::Ok, tr("Continue")}}});
    if (answer != QMessageBox::Ok)
        return false;
    // Reverting drops the unsaved changes without asking again.
    OpenProjectFile(d->projectPath);
    return true;
}

bool MainWindow::SlotDeleteProjectCache()
{
    const app::ProjectPtr project = CurrentProject();
    QString root;
    if (!project || !GetThumbnailCacheRoot(root))
        return false;
    // Only one plain folder under the cache root is ever removed: a name from a project file that
    // is empty, "..", absolute or has a separator removes nothing (an empty one would be every
    // project's cache).
    const QString folder = project->CurrentThumbnailFolder();
    if (!IsPlainFolderName(folder))
        return false;
    const WaitCursor busy;
    RemoveDirectoryRecursively(QDir(root).filePath(folder));
    return true;
}

void MainWindow::RemoveSettingsGroup(const QString& group)
{
    ProgramSettings settings;
    settings.beginGroup(group);
    settings.remove(QString());
    settings.endGroup();
}

void MainWindow::RemoveDirectoryRecursively(const QString& path)
{
    QDir dir(path);
    if (!dir.exists())
        return;
    for (const QString& file : dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted))
        dir.remove(file);
    // Links to folders are removed as links, never followed out of the folder.
    for (const QFileInfo& sub : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Unsorted))
        RemoveDirectoryRecursively(sub.absoluteFilePath());
    for (const QFileInfo& link : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Unsorted))
        if (link.isSymLink())
            QFile::remove(link.absoluteFilePath());
    const QString name = dir.dirName();
    if (dir.cdUp())
        dir.rmdir(name);
}

} // namespace lumo::ui
