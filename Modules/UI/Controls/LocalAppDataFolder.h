#pragma once

#include <QString>

namespace lumo::ui {

// The user's folder for caches the program may rebuild ($XDG_CACHE_HOME, ~/.cache): the project
// caches and the thumbnail cache live below it. False, with folder untouched, when there is none.
bool GetLocalAppDataFolder(QString& folder);

} // namespace lumo::ui
