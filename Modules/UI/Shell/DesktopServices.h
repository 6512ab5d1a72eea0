#pragma once

// Opening help pages, files and web addresses with the programs the desktop associates with them.

#include <QString>
#include <QUrl>

namespace lumo::ui {

// The address of a target: a web address ("https://...", "mailto:...") as it is; a file path, absolute
// or relative to the working folder, as a file URL (spaces and other characters encoded); a bare host
// name ("www.example.com") as a web address. Invalid for an empty target.
QUrl UrlOfTarget(const QString& target);

// Opens the target in the desktop's program for it, under the wait cursor. False when the desktop
// could not open it; nothing is reported to the user.
bool OpenUrl(const QString& target);

} // namespace lumo::ui
