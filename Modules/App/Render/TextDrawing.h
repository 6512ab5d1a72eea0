#pragma once

#include "AppExport.h"

#include <QUuid>

#include <memory>

class QImage;

namespace lumo::app {

class Project;

// The margin the export image keeps on every side of the canvas; text may run into it and is cut
// away with it.
inline constexpr int kExportMargin = 200;

// Burns the foreground's enabled text items into the export image (the canvas plus its margin),
// in list order, later items over earlier ones. A text item's position is a fraction of the
// canvas half-size from the canvas centre; its anchor is the top of the text box: its left end,
// middle or right end by the alignment.
APP_EXPORT void DrawTextItems(const QUuid& foregroundId, QImage& image, const std::shared_ptr<Project>& project);

} // namespace lumo::app
