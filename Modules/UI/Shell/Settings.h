#pragma once

// The program's settings and its own folder.

#include <QSettings>
#include <QString>

#include <optional>

namespace lumo::ui {

// The program's settings store ($XDG_CONFIG_HOME/Halvern/Lumora4.conf). Always use this: a
// QSettings built without arguments would take the display name and read another file.
// Made after a WriteSettingInBackground, it waits for that write, so that settings are read and
// written in the order of the calls.
class ProgramSettings : public QSettings {
public:
    ProgramSettings();
};

// Writes one value of the settings on a thread of their own, in the order of the calls: the file
// is flushed to the disk when written, which can hold the caller up for a tenth of a second.
void WriteSettingInBackground(const QString& group, const QString& key, const QVariant& value);
// Returns once every background write has ended.
void WaitForBackgroundSettings();

// One text value of the settings; empty when it was never written.
QString ReadSetting(const QString& group, const QString& key);
void WriteSetting(const QString& group, const QString& key, const QString& value);

// A stored number or flag of the settings' current group; none when the key is missing, is not
// one, or the number lies outside [minimum, maximum]. Flags are "true", "false", "1" or "0".
std::optional<int> ReadIntSetting(const QSettings& settings, const QString& key, int minimum, int maximum);
std::optional<double> ReadRealSetting(const QSettings& settings, const QString& key, double minimum, double maximum);
std::optional<bool> ReadBoolSetting(const QSettings& settings, const QString& key);

// The absolute folder of the running program ("Sample Images", "help" and a canvas.xml override lie
// beside it), or the folder set with SetApplicationDirectory.
QString ApplicationDirectory();
// Tests point the program folder elsewhere; an empty folder returns to the program's own.
void SetApplicationDirectory(const QString& folder);

// Where file dialogs start without a better place: the desktop folder, or the home folder when
// there is no desktop folder.
QString DesktopFolder();
// Where a dialog that writes a file starts: the remembered folder while it exists, may be written
// and is not the program's folder or inside it (read-only once installed, and never the place for a
// user's work); else DesktopFolder().
QString SaveDialogFolder(const QString& remembered);

} // namespace lumo::ui
