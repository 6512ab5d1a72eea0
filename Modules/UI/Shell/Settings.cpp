#include "Shell/Settings.h"

#include "Shell/Identity.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThreadPool>

namespace lumo::ui {

namespace {

QString& ApplicationDirectoryOverride()
{
    static QString folder;
    return folder;
}

// One thread, so that the writes keep their order. Never destroyed: a write may still be queued
// while static objects go.
QThreadPool& SettingsWriter()
{
    static QThreadPool* const writer = [] {
        auto* pool = new QThreadPool;
        pool->setMaxThreadCount(1);
        return pool;
    }();
    return *writer;
}

} // namespace

// The wait comes before QSettings reads the file, in its constructor.
ProgramSettings::ProgramSettings() : QSettings((WaitForBackgroundSettings(), OrganisationName), SettingsApplicationName) {}

void WriteSettingInBackground(const QString& group, const QString& key, const QVariant& value)
{
    SettingsWriter().start([group, key, value] {
        // Not a ProgramSettings: that would wait for this very write.
        QSettings settings(OrganisationName, SettingsApplicationName);
        settings.beginGroup(group);
        settings.setValue(key, value);
    });
}

void WaitForBackgroundSettings()
{
    SettingsWriter().waitForDone();
}

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

QString SaveDialogFolder(const QString& remembered)
{
    const QFileInfo folder(remembered);
    if (remembered.isEmpty() || !folder.isDir() || !folder.isWritable())
        return DesktopFolder();
    const QString program = QFileInfo(ApplicationDirectory()).canonicalFilePath();
    const QString candidate = folder.canonicalFilePath();
    if (!program.isEmpty() && (candidate == program || candidate.startsWith(program + QLatin1Char('/'))))
        return DesktopFolder();
    return folder.absoluteFilePath();
}

} // namespace lumo::ui
