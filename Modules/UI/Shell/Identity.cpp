#include "Shell/Identity.h"

namespace lumo::ui {

const QString OrganisationName = QStringLiteral("Halvern");
const QString ApplicationName = QStringLiteral("Halvern Lumora 4");
const QString SettingsApplicationName = QStringLiteral("Lumora4");
const QString ApplicationVersion = QStringLiteral("4.1.0004");
const QString SupportEmailAddress = QStringLiteral("support@halvern.com");
const QString DefaultFontFamily = QStringLiteral("Tahoma");
const QString ImageFileFilter = QStringLiteral(
    "Image files (*.bmp *.jpg *.jpeg *.png *.tif *.tiff);;BMP files (*.bmp);;JPEG files (*.jpg *.jpeg);;"
    "PNG files (*.png);;TIFF files (*.tif *.tiff)");

} // namespace lumo::ui
