// The main of every UI test program. Before the one Application is built it gives the run a fresh
// folder for settings, caches, runtime and temporary files, so that no test sees the user's files
// or another run's, and it puts the program on the offscreen platform with a 1920 x 1080 screen,
// which also lets test discovery run at build time without a display.

#include "Shell/Application.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

bool MakeFolder(const QString& path, QFileDevice::Permissions permissions = {})
{
    if (!QDir().mkpath(path))
        return false;
    return !permissions || QFile::setPermissions(path, permissions);
}

bool WriteScreenConfiguration(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    file.write(R"({ "screens": [ { "name": "LumoraTestScreen", "x": 0, "y": 0, "width": 1920, "height": 1080,)"
               R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 } ] })");
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/lumora-ui-XXXXXX"));
    const QString runtime = root.filePath(QStringLiteral("runtime"));
    const QString screen = root.filePath(QStringLiteral("screen.json"));
    if (!root.isValid() || !MakeFolder(root.filePath(QStringLiteral("config"))) ||
        !MakeFolder(root.filePath(QStringLiteral("cache"))) || !MakeFolder(root.filePath(QStringLiteral("tmp"))) ||
        !MakeFolder(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner) ||
        !WriteScreenConfiguration(screen)) {
        std::fprintf(stderr, "cannot prepare the test folder under %s\n", qPrintable(QDir::tempPath()));
        return 2;
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath(QStringLiteral("config"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root.filePath(QStringLiteral("cache"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("TMPDIR", QFile::encodeName(root.filePath(QStringLiteral("tmp"))));
    // Another platform (xcb under Xvfb) is left as it is.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen")
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screen));

    // The application raises the image allocation limit and names the icon theme itself.
    lumo::ui::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
