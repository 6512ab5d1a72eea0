#include "Shell/Settings.h"

#include "Shell/Identity.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

std::optional<int> ReadIntSetting(const QSettings& settings, const QString& key, int minimum, int maximum)
{
    if (!settings.contains(key))
        return std::nullopt;
    bool ok = false;
    const int value = settings.value(key).toString().trimmed().toInt(&ok);
    if (!ok || value < minimum || value > maximum)
        return std::nullopt;
    return value;
}

std::optional<double> ReadRealSetting(const QSettings& settings, const QString& key, double minimum, double maximum)
{
    if (!settings.contains(key))
        return std::nullopt;
    bool ok = false;
    const double value = settings.value(key).toString().trimmed().toDouble(&ok);
    // NaN fails both comparisons.
    if (!ok || !(value >= minimum && value <= maximum))
        return std::nullopt;
    return value;
}

std::optional<bool> ReadBoolSetting(const QSettings& settings, const QString& key)
{
    if (!settings.contains(key))
        return std::nullopt;
    const QString text = settings.value(key).toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return std::nullopt;
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

QString DesktopFolder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return !desktop.isEmpty() && QFileInfo(desktop).isDir() ? desktop : QDir::homePath();
}

} // namespace lumo::ui
