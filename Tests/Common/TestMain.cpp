// Shared main of the tests that need Qt: a GUI application on the offscreen platform, so the
// tests run without a display, and photos up to the import limit load.
#include <QGuiApplication>
#include <QImageReader>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QImageReader::setAllocationLimit(1024);
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
