// The program's identity, its settings file, its folders and what the Application is built with.

#include "UiTest.h"

#include "Controls/LocalAppDataFolder.h"
#include "Shell/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QPrinter>
#include <QScreen>
#include <QStandardItemModel>
#include <QStandardPaths>

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

} // namespace
} // namespace lumo::ui::testing
