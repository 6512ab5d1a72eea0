#include "Shell/ProjectFileUse.h"

#include "Shell/Application.h"
#include "Shell/LumoDocument.h"
#include "Shell/OverrideCursor.h"

#include "ForegroundImageLayer.h"
#include "ImageLayer.h"
#include "LayerManager.h"
#include "Project.h"

#include <QDir>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace lumo::ui {

namespace {

std::filesystem::path FileSystemPath(const QString& path)
{
    return std::filesystem::path(QFileInfo(path).absoluteFilePath().toStdU16String());
}

QString LayerUse(const app::ImageLayer& layer)
{
    switch (layer.Type()) {
    case app::LayerTypeForeground:
        return QObject::tr("the foreground photograph");
    case app::LayerTypeBackground:
        return QObject::tr("the background image");
    case app::LayerTypeOverlay:
        return QObject::tr("the overlay image");
    case app::LayerTypeImage:
        break;
    }
    return QObject::tr("the image of the layer \"%1\"").arg(layer.Name());
}

} // namespace

bool IsSameFile(const QString& first, const QString& second)
{
    if (first.isEmpty() || second.isEmpty())
        return false;
    // The same device and inode: only the file system knows every name a file has.
    std::error_code error;
    const bool same = std::filesystem::equivalent(FileSystemPath(first), FileSystemPath(second), error);
    if (!error)
        return same;
    return QDir::cleanPath(QFileInfo(first).absoluteFilePath()) == QDir::cleanPath(QFileInfo(second).absoluteFilePath());
}

QString ProjectUseOfFile(const app::Project& project, const QString& path)
{
    if (path.isEmpty())
        return QString();
    if (IsSameFile(project.Path(), path))
        return QObject::tr("the project file");
    const app::LayerManagerPtr manager = project.GetLayerManager();
    if (!manager)
        return QString();
    if (const auto foregrounds = manager->ForegroundLayerList())
        for (auto it = foregrounds->ConstBegin(); it != foregrounds->ConstEnd(); ++it)
            if (it->second && IsSameFile(it->second->Path(), path))
                return LayerUse(*it->second);
    if (const auto layers = manager->LayerList())
        for (auto it = layers->ConstBegin(); it != layers->ConstEnd(); ++it)
            if (it->second && IsSameFile(it->second->Path(), path))
                return LayerUse(*it->second);
    return QString();
}

bool RefuseOverwritingProjectFile(QWidget* parent, const QString& path)
{
    Application* app = Application::Instance();
    const app::ProjectPtr project = app != nullptr ? app->GetDocument()->GetProject() : nullptr;
    if (!project)
        return false;
    const QString use = ProjectUseOfFile(*project, path);
    if (use.isEmpty())
        return false;
    RestoreOverrideCursor();
    app->Dialogs().Message(
        {.parent = parent,
         .icon = QMessageBox::Warning,
         .text = QObject::tr("%1\n\nis %2 of the open project. It is not replaced: please choose another name.")
                     .arg(QDir::toNativeSeparators(path), use),
         .guardsData = true});
    return true;
}

} // namespace lumo::ui
