#include "Controls/ThumbnailCache.h"

#include "Controls/LocalAppDataFolder.h"
#include "Shell/Application.h"
#include "Shell/Identity.h"

#include "PhotoReading.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>

namespace lumo::ui {

bool GetThumbnailCacheRoot(QString& root)
{
    QString local;
    if (!GetLocalAppDataFolder(local))
        return false;
    root = QDir(local).filePath(OrganisationName + QLatin1Char('/') + ApplicationName + QStringLiteral("/cache"));
    return true;
}

bool IsPlainFolderName(const QString& name)
{
    return !name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

bool GetThumbnailCacheFolder(const QString& folderName, QString& folder)
{
    QString root;
    if (!IsPlainFolderName(folderName) || !GetThumbnailCacheRoot(root))
        return false;
    const QString path = QDir(root).filePath(folderName);
    if (!QDir().mkpath(path))
        return false;
    folder = path + QLatin1Char('/');
    return true;
}

QString NewThumbnailFolderName()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmsszzz"));
}

QString ThumbnailCacheFileName(const QString& imagePath)
{
    const QFileInfo file(imagePath);
    if (!file.exists())
        return QString();
    // UTF-8, so that two paths in a script outside Latin-1 cannot hash alike.
    const QByteArray key = file.absoluteFilePath().toUtf8() +
                           QByteArray::number(file.lastModified().toSecsSinceEpoch()) +
                           QByteArray::number(file.size());
    return QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Md5).toHex()) +
           QStringLiteral(".png");
}

CheckAndCreateThumbnail::CheckAndCreateThumbnail(QString folder) : m_folder(std::move(folder)) {}

QString CheckAndCreateThumbnail::operator()(const ThumbnailRequest& request) const
{
    if (m_folder.isEmpty() || request.imagePath.isEmpty())
        return QString();
    const QString name = ThumbnailCacheFileName(request.imagePath);
    if (name.isEmpty())
        return QString();
    const QString path = m_folder + name;
    if (request.rememberedFile == path && QFileInfo::exists(path))
        return path;
    // Read as the import reads photos: only a plain file, and only whole.
    const QImage image = app::ReadPhoto(request.imagePath);
    if (image.isNull())
        return QString();
    const std::shared_ptr<QImage> thumbnail = CreateOrientedThumbnail(image, request.imagePath);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !thumbnail->save(&file, "PNG") || !file.commit())
        return QString();
    return path;
}

} // namespace lumo::ui
