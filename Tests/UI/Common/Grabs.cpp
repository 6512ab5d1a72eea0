#include "Grabs.h"

#include <QDir>

namespace lumo::ui::testing {

QString SaveGrab(const QImage& image, const QString& name)
{
    const QDir folder(QStringLiteral(LUMORA_UI_GRAB_DIR));
    if (!folder.mkpath(QStringLiteral(".")))
        return QString();
    const QString path = folder.filePath(name + QStringLiteral(".png"));
    return image.save(path, "PNG") ? path : QString();
}

} // namespace lumo::ui::testing
