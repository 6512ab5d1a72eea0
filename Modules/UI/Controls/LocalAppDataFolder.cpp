#include "Controls/LocalAppDataFolder.h"

#include <QStandardPaths>

namespace lumo::ui {

bool GetLocalAppDataFolder(QString& folder)
{
    const QString location = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (location.isEmpty())
        return false;
    folder = location;
    return true;
}

} // namespace lumo::ui
