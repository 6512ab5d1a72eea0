// The program's identity, its settings file, its folders, what the Application is built with and
// opening help pages and web addresses.

#include "UiTest.h"
#include "UrlRecorder.h"

#include "Controls/LocalAppDataFolder.h"
#include "Shell/DesktopServices.h"
#include "Shell/Settings.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QPrinter>
#include <QScreen>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace lumo::ui::testing {
namespace {

using ShellServicesTest = UiTest;

TEST_F(ShellServicesTest, TheApplicationIsBuiltForTheProgram)
{
    EXPECT_EQ(QCoreApplication::applicationName(), "Halvern Lumora 4");
    EXPECT_EQ(QCoreApplication::applicationVersion(), "4.1.0004");
    // A 6500 x 6500 photograph, the import limit, must decode.
    EXPECT_GE(QImageReader::allocationLimit() * 1024LL * 1024LL, 6500LL * 6500LL * 4LL);
    EXPECT_EQ(App().ScreenGeometry(), QRect(0, 0, 1920, 1080));
    EXPECT_EQ(App().GetPrinter().resolution(), QPrinter(QPrinter::HighResolution).resolution());
    EXPECT_EQ(App().ForegroundItemModel()->columnCount(), 7);
    EXPECT_EQ(QIcon::themeName(), "Adwaita");
    EXPECT_FALSE(QIcon::fromTheme("list-add").isNull());
    // The compiled-in resources are registered.
    EXPECT_TRUE(QFileInfo::exists(":CSS/MessageBox.css"));
    EXPECT_TRUE(QFileInfo::exists(":/Canvas/CheckBackground.png"));
}

TEST_F(ShellServicesTest, SettingsLiveInTheProgramsOwnFile)
{
    EXPECT_EQ(ReadSetting("RecentFolders", "export"), QString());
    WriteSetting("RecentFolders", "export", "/photos/out, with comma");
    EXPECT_EQ(ReadSetting("RecentFolders", "export"), "/photos/out, with comma");
    const QString file = ProgramSettings().fileName();
    EXPECT_EQ(file, QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("Halvern/Lumora4.conf"));
    ProgramSettings().sync();
    EXPECT_TRUE(QFileInfo::exists(file));
}

TEST_F(ShellServicesTest, BackgroundWritesKeepTheirOrderAndAreSeenByTheNextRead)
{
    for (int i = 0; i < 20; ++i)
        WriteSettingInBackground("RecentFolders", "order", i);
    // A read right after waits for the writes; the last one stands.
    EXPECT_EQ(ReadSetting("RecentFolders", "order"), "19");
    WriteSettingInBackground("RecentFolders", "order", QStringList{"a", "b"});
    WaitForBackgroundSettings();
    QSettings file(ProgramSettings().fileName(), QSettings::IniFormat);
    EXPECT_EQ(file.value("RecentFolders/order").toStringList(), QStringList({"a", "b"}));
}

TEST_F(ShellServicesTest, FoldersOfTheProgramAndItsCaches)
{
    EXPECT_EQ(ApplicationDirectory(), QCoreApplication::applicationDirPath());
    SetApplicationDirectory("/opt/lumora");
    EXPECT_EQ(ApplicationDirectory(), "/opt/lumora");
    SetApplicationDirectory(QString());
    EXPECT_EQ(ApplicationDirectory(), QCoreApplication::applicationDirPath());

    QString cache = "untouched";
    ASSERT_TRUE(GetLocalAppDataFolder(cache));
    EXPECT_EQ(cache, qEnvironmentVariable("XDG_CACHE_HOME"));
}

TEST_F(ShellServicesTest, HelpPagesAndWebAddressesReachTheDesktop)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString helpFolder = folder.filePath(QStringLiteral("Lumora Help"));
    ASSERT_TRUE(QDir().mkpath(helpFolder));
    const QString page = helpFolder + QStringLiteral("/index.html");
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    UrlRecorder recorder;
    for (const char* scheme : {"file", "http", "https"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &recorder, "Open");
    // Relative paths are taken from the working folder (a project's folder once one is open).
    const QString previous = QDir::currentPath();
    EXPECT_TRUE(QDir::setCurrent(folder.path()));
    struct Case {
        QString target;
        QUrl url;
    };
    const std::vector<Case> cases = {
        {page, QUrl::fromLocalFile(page)},
        {QStringLiteral("Lumora Help/index.html"), QUrl::fromLocalFile(page)},
        {QStringLiteral("https://www.example.com/lumora/tutorials?topic=hair"),
         QUrl(QStringLiteral("https://www.example.com/lumora/tutorials?topic=hair"))},
        {QStringLiteral("www.example.com"), QUrl(QStringLiteral("http://www.example.com"))},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(OpenUrl(c.target)) << c.target.toStdString();
    EXPECT_FALSE(OpenUrl(QString()));
    QDir::setCurrent(previous);
    for (const char* scheme : {"file", "http", "https"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));

    ASSERT_EQ(recorder.urls.size(), static_cast<qsizetype>(cases.size()));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(recorder.urls[i], cases[i].url) << recorder.urls[i].toString().toStdString();
        EXPECT_TRUE(recorder.underWaitCursor[i]);
    }
    // A folder with a space survives the trip.
    EXPECT_EQ(recorder.urls[0].toLocalFile(), page);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace lumo::ui::testing

