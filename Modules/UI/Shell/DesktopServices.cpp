#include "Shell/DesktopServices.h"

#include "Shell/OverrideCursor.h"

#include <QDesktopServices>
#include <QDir>

namespace lumo::ui {

QUrl UrlOfTarget(const QString& target)
{
    const QString trimmed = target.trimmed();
    if (trimmed.isEmpty())
        return QUrl();
    if (QDir::isAbsolutePath(trimmed))
        return QUrl::fromLocalFile(QDir::cleanPath(trimmed));
    // A scheme of one letter is a drive ("C:/help"), not a protocol.
    const QUrl url(trimmed, QUrl::StrictMode);
    if (url.isValid() && url.scheme().size() > 1)
        return url;
    return QUrl::fromUserInput(trimmed, QDir::currentPath());
}

bool OpenUrl(const QString& target)
{
    const QUrl url = UrlOfTarget(target);
    if (!url.isValid())
        return false;
    const WaitCursor busy;
    return QDesktopServices::openUrl(url);
}

} // namespace lumo::ui
