// Exporting a 42-megapixel canvas through the program's export road (the exporting flag, the screen
// caches released and rebuilt, the full-resolution render, the file written through a temporary
// file): a keyed green-screen photograph over a background, written as JPEG and as TIFF.
// Peak memory is the process's peak resident size during the export alone (the peak is reset
// before each export through /proc/self/clear_refs), next to the resident size before it.
// Targets on 8 cores: 3 s and 2 GB.
#include "BusyMachine.h"

#include "Shell/Application.h"
#include "Shell/ExportImage.h"

#include "KeyingScenes.h"

#include "Canvas.h"
#include "ImageLayer.h"
#include "LayerManager.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace lumora::bench {
namespace {

using namespace lumo;

constexpr double kMegapixels = 42.25;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "export benchmark: %s\n", what);
    std::exit(1);
}

// A line of /proc/self/status in megabytes ("VmHWM:", "VmRSS:").
double StatusMegabytes(const char* key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    // A file of /proc has no size: read it whole rather than asking for its end.
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(static_cast<int>(qstrlen(key))).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

// Lets the peak resident size start again from the present one.
void ResetPeak()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

class Workspace {
public:
    static Workspace& Get()
    {
        static Workspace workspace;
        return workspace;
    }
    QString Output(const char* name) const { return QDir(m_folder.path()).filePath(QString::fromLatin1(name)); }

private:
    Workspace()
    {
        if (!m_folder.isValid())
            Fail("no temporary folder");
        const keying::Scene photo = keying::MakeScene({"portrait", false, false, 3}, kMegapixels);
        const QString photoPath = Output("portrait.bmp");
        const QString backgroundPath = Output("sky.bmp");
        {
            const QImage image(photo.photo.data(), photo.width, photo.height, photo.width * 4, QImage::Format_RGB32);
            if (!image.save(photoPath, "BMP"))
                Fail("cannot write the photograph");
            QImage sky(photo.width, photo.height, QImage::Format_RGB32);
            sky.fill(qRgb(70, 110, 190));
            if (!sky.save(backgroundPath, "BMP"))
                Fail("cannot write the background");
        }
        ui::Application& app = *ui::Application::Instance();
        if (app.OpenProject(QString()) != app::LMerrSuccess)
            Fail("no new project");
        const app::ProjectPtr project = app.GetDocument()->GetProject();
        const app::LayerManagerPtr layers = project->GetLayerManager();
        if (!app.ImportImage(backgroundPath, layers->GetBackground()->Id(), app::LayerTypeBackground) ||
            !app.ImportImage(photoPath, QUuid(), app::LayerTypeForeground))
            Fail("the images did not import");
        project->GetCanvas().SetDimensionType(app::CanvasDimensionForeground);
        app.SetCanvasDimensions(photo.width, photo.height);
        QFile::remove(photoPath);
        QFile::remove(backgroundPath);
    }

    QTemporaryDir m_folder{QDir::tempPath() + QStringLiteral("/lumora-export-bench-XXXXXX")};
};

void BM_Export(benchmark::State& state, const char* file, const char* format, int quality, bool busy)
{
    Workspace& workspace = Workspace::Get();
    std::optional<BackgroundLoad> load;
    if (busy)
        load.emplace();
    const QString path = workspace.Output(file);
    double before = 0;
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        before = StatusMegabytes("VmRSS:");
        ResetPeak();
        state.ResumeTiming();
        if (!ui::ExportCurrentForeground(path, QString::fromLatin1(format), quality))
            Fail("the export failed");
        peak = std::max(peak, StatusMegabytes("VmHWM:"));
    }
    state.counters["rss_before_MB"] = before;
    state.counters["peak_rss_MB"] = peak;
    state.counters["file_MB"] = static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0);
}

void Register()
{
    for (const bool busy : {false, true}) {
        const std::string suffix = busy ? "/busy" : "";
        benchmark::RegisterBenchmark(("Export42MP/JPEG" + suffix).c_str(), BM_Export, "out.jpg", "JPEG", 90, busy)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3);
        benchmark::RegisterBenchmark(("Export42MP/TIFF" + suffix).c_str(), BM_Export, "out.tif", "TIFF", -1, busy)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3);
    }
}

} // namespace
} // namespace lumora::bench

int main(int argc, char** argv)
{
    const QTemporaryDir root(QDir::tempPath() + QStringLiteral("/lumora-bench-XXXXXX"));
    if (!root.isValid())
        lumora::bench::Fail("no temporary folder");
    // No user's settings or caches are read or written.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath(QStringLiteral("config"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root.filePath(QStringLiteral("cache"))));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    lumo::ui::Application app(argc, argv);
    lumora::bench::Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
