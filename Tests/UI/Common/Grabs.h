#pragma once

#include <QImage>
#include <QString>

namespace lumo::ui::testing {

// Saves an image a person should look at as <build>/Tests/UI/grabs/<name>.png; the path, or an
// empty string when it could not be written.
QString SaveGrab(const QImage& image, const QString& name);

} // namespace lumo::ui::testing
