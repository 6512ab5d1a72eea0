#pragma once

// The main of a benchmark program that draws with Qt (text, fonts): a GUI application on the
// offscreen platform unless another is asked for.

#include <benchmark/benchmark.h>

#include <QGuiApplication>

namespace lumora::bench {

inline int RunWithGuiApplication(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace lumora::bench
