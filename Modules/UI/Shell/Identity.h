#pragma once

// The program's identity and the texts every part of the interface shares. One definition each;
// read-only after start-up.

#include <QString>

namespace lumo::ui {

// The maker, as the settings and the cache folders name it.
extern const QString OrganisationName;
// The display name: window and message-box titles, the thumbnail cache's folder.
extern const QString ApplicationName;
// The application of every QSettings of the program (it differs from the display name).
extern const QString SettingsApplicationName;
// Written into every saved project.
extern const QString ApplicationVersion;
// Where users report problems the program cannot recover from.
extern const QString SupportEmailAddress;
// The family of the interface font (it falls back to another sans-serif where it is missing, so
// never measure text against fixed numbers).
extern const QString DefaultFontFamily;
// The filter of every image open dialog.
extern const QString ImageFileFilter;

} // namespace lumo::ui
