#include "Shell/Settings.h"

#include "Shell/Identity.h"

#include <QCoreApplication>
#include <QDir>

namespace lumo::ui {

namespace {

QString& ApplicationDirectoryOverride()
{
    static QString folder;
    return folder;
}

} // namespace

ProgramSettings::ProgramSettings() : QSettings(OrganisationName, SettingsApplicationName) {}

QString ReadSetting(const QString& group, const QString& key)
{
    ProgramSettings settings;
    settings.beginGroup(group);
    return settings.value(key).toString();
}

void WriteSetting(const QString& group, const QString& key, const QString& value)
{
    ProgramSettings settings;
    settings.beginGroup(group);
    settings.setValue(key, value);
}

QString ApplicationDirectory()
{
    if (!ApplicationDirectoryOverride().isEmpty())
        return ApplicationDirectoryOverride();
    return QCoreApplication::applicationDirPath();
}

void SetApplicationDirectory(const QString& folder)
{
    ApplicationDirectoryOverride() = folder.isEmpty() ? QString() : QDir(folder).absolutePath();
}

} // namespace lumo::ui
