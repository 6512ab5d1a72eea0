// libFuzzer over the render road: each input is opened as a project file next to a small
// photograph, rendered at full and preview resolution and exported (RenderRoad).
#include "RenderRoad.h"

#include <QGuiApplication>
#include <QImageReader>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QImageReader::setAllocationLimit(1024);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static lumo::fuzz::RenderRoad road;
    if (!road.IsReady())
        std::abort();
    road.Run(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    return 0;
}
