// The main of every UI test program. Before the one Application is built it gives the run a fresh
// folder for settings, caches, runtime and temporary files, so that no test sees the user's files
// or another run's, and it puts the program on the offscreen platform with a 1920 x 1080 screen,
// which also lets test discovery run at build time without a display. "--lumora-screen=WxH" asks
// for another screen size (the layout checks run at two).

#include "Shell/Application.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

bool MakeFolder(const QString& path, QFileDevice::Permissions permissions = {})
{
    if (!QDir().mkpath(path))
        return false;
    return !permissions || QFile::setPermissions(path, permissions);
}

bool WriteScreenConfiguration(const QString& path, int width, int height)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    file.write(QStringLiteral(R"({ "screens": [ { "name": "LumoraTestScreen", "x": 0, "y": 0, "width": %1, "height": %2,)"
                              R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 } ] })")
                   .arg(width)
                   .arg(height)
                   .toUtf8());
    return true;
}

// Takes "--lumora-screen=WxH" out of the arguments; false for a malformed size.
bool TakeScreenSize(int& argc, char** argv, int& width, int& height)
{
    static const char prefix[] = "--lumora-screen=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix, sizeof(prefix) - 1) != 0)
            continue;
        if (std::sscanf(argv[i] + sizeof(prefix) - 1, "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0)
            return false;
        for (int j = i; j + 1 < argc; ++j)
            argv[j] = argv[j + 1];
        --argc;
        argv[argc] = nullptr;
        return true;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int screenWidth = 1920;
    int screenHeight = 1080;
    if (!TakeScreenSize(argc, argv, screenWidth, screenHeight)) {
        std::fprintf(stderr, "--lumora-screen wants a size such as 1280x720\n");
        return 2;
    }
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/lumora-ui-XXXXXX"));
    const QString runtime = root.filePath(QStringLiteral("runtime"));
    const QString screen = root.filePath(QStringLiteral("screen.json"));
    if (!root.isValid() || !MakeFolder(root.filePath(QStringLiteral("config"))) ||
        !MakeFolder(root.filePath(QStringLiteral("cache"))) || !MakeFolder(root.filePath(QStringLiteral("tmp"))) ||
        !MakeFolder(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner) ||
        !WriteScreenConfiguration(screen, screenWidth, screenHeight)) {
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
