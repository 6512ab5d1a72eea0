#include "Toolbox/ImageFileChoice.h"

#include "Shell/Application.h"
#include "Shell/Identity.h"
#include "Shell/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>
#include <QUrl>

namespace lumo::ui {

namespace {

QMessageBox::StandardButton Ask(QWidget* parent, const QString& title, const QString& text,
                                QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    return Application::Instance()->Dialogs().Message({.parent = parent,
                                                       .icon = QMessageBox::Warning,
                                                       .title = title,
                                                       .text = text,
                                                       .buttons = buttons,
                                                       .defaultButton = defaultButton});
}

QString OpenImageDialog(QWidget* parent, const QString& title, const QString& folder)
{
    return Application::Instance()->Dialogs().OpenFileName(parent, title, QDir(folder).absolutePath(),
                                                           ImageFileFilter);
}

} // namespace

QStringList DroppedFiles(const QMimeData* data)
{
    QStringList files;
    if (data == nullptr || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls())
        files.append(url.toLocalFile());
    return files;
}

bool AcceptFirstOfSeveral(QWidget* parent, const QString& text)
{
    return Ask(parent, ApplicationName, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) ==
           QMessageBox::Ok;
}

bool ConfirmImageRemoval(QWidget* parent)
{
    return Ask(parent, ApplicationName, QObject::tr("Are you sure you wish to remove the selected image?"),
               QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Yes) == QMessageBox::Yes;
}

bool AskToRelocate(QWidget* parent, const QString& text)
{
    return Ask(parent, QObject::tr("Image not found"), text, QMessageBox::Yes | QMessageBox::No,
               QMessageBox::NoButton) == QMessageBox::Yes;
}

QString ChooseImageFile(QWidget* parent, const QString& title, const QString& requested,
                        const QString& fallbackFolder)
{
    const QFileInfo place(requested);
    if (!requested.isEmpty() && place.isFile())
        return requested;
    return OpenImageDialog(parent, title, !requested.isEmpty() && place.isDir() ? requested : fallbackFolder);
}

QString RelinkStartFolder(const QString& storedPath)
{
    const QString folder = QFileInfo(storedPath).absolutePath();
    return !storedPath.isEmpty() && QFileInfo(folder).isDir() ? folder : DesktopFolder();
}

QString ChooseRelinkedFile(QWidget* parent, const QString& title, const QString& storedPath)
{
    return OpenImageDialog(parent, title, RelinkStartFolder(storedPath));
}

bool IsImageFileReadable(const QString& path)
{
    // A plain file only (a fifo would block the reader); a photo that failed to load counts as
    // unreadable until its file changes, or every activation would try it and warn again.
    const Application* app = Application::Instance();
    return !path.isEmpty() && QFileInfo(path).isFile() && !(app != nullptr && app->IsUnchangedFailedPhoto(path)) &&
           QImageReader(path).canRead();
}

} // namespace lumo::ui
