#pragma once

#include "Project.h"

namespace lumo::ui {

// Gives a new project the export format and quality (group "Export") and the canvas size,
// orientation, resolution and card printing (group "Canvas") last stored in the settings. A group
// is taken only whole: when one of its keys is missing, not a number, or out of range, the project
// keeps the built-in values of that group.
void ApplyStoredDefaults(app::Project& project);

} // namespace lumo::ui
