// Exporting a 42-megapixel canvas through the program's export road (the exporting flag, the screen
// caches released and rebuilt, the full-resolution render, the file written through a temporary
// file): a keyed green-screen photograph over a background, written as JPEG and as TIFF.
// Peak memory is the process's peak resident size during the export alone (the peak is reset
// before each export through /proc/self/clear_refs), next to the resident size before it.
// Targets on 8 cores: 3 s and 2 GB.
// Export42MP/VipsCompositeJPEG times the `vips` command (when installed) compositing the same
// keyed foreground over the same background and writing the JPEG at the same quality and chroma
// subsampling (4:2:0; its own choice at quality 90 is none, a larger file), with the
// export road run in turn with it in the same case; ratio_ours_to_vips is the export's median over
// the command's (at most 1: the export is not slower).
#include "BusyMachine.h"

#include "Shell/Application.h"
#include "Shell/ExportImage.h"

#include "KeyingScenes.h"

#include "Canvas.h"
#include "ImageLayer.h"
#include "LayerManager.h"

#include <benchmark/benchmark.h>

#include "RenderProcessor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

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

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Writes the image as an uncompressed TIFF and has vips turn it into its own raw format, which it
// maps instead of decoding: the command then times its composite and its JPEG alone.
QString WriteVipsInput(const QString& vips, const QImage& image, const QString& base)
{
    QImageWriter writer(base + QStringLiteral(".tif"), "tiff");
    if (!writer.write(image))
        Fail("cannot write an input for vips");
    const QString raw = base + QStringLiteral(".v");
    if (QProcess::execute(vips, {QStringLiteral("copy"), base + QStringLiteral(".tif"), raw}) != 0)
        Fail("vips could not read its input");
    QFile::remove(base + QStringLiteral(".tif"));
    return raw;
}

void BM_VipsComposite(benchmark::State& state, bool busy)
{
    const QString vips = QStandardPaths::findExecutable(QStringLiteral("vips"));
    if (vips.isEmpty()) {
        state.SkipWithError("the vips command is not installed (scripts/bench.sh installs it)");
        return;
    }
    Workspace& workspace = Workspace::Get();
    ui::Application& app = *ui::Application::Instance();
    const app::ProjectPtr project = app.GetDocument()->GetProject();
    const app::LayerManagerPtr layers = project->GetLayerManager();
    static QString foregroundFile;
    static QString backgroundFile;
    if (foregroundFile.isEmpty()) {
        // The foreground keyed and placed on the canvas alone: the background layer is off for
        // this render.
        const app::ImageLayerPtr background = layers->GetBackground();
        background->SetEnabled(false);
        QImage keyed;
        const bool rendered =
            app.GetRenderProcessor()->RenderExportImage(layers->CurrentForegroundId(), keyed) == app::LMerrSuccess;
        background->SetEnabled(true);
        if (!rendered)
            Fail("the keyed foreground did not render");
        foregroundFile = WriteVipsInput(vips, keyed, workspace.Output("keyed"));
        QImage sky(keyed.size(), QImage::Format_RGB32);
        sky.fill(qRgb(70, 110, 190));
        backgroundFile = WriteVipsInput(vips, sky, workspace.Output("sky"));
    }
    std::optional<BackgroundLoad> load;
    if (busy)
        load.emplace();
    const QString ours = workspace.Output("ours.jpg");
    const QString theirs = workspace.Output("vips.jpg");
    const QStringList arguments = {QStringLiteral("composite2"), backgroundFile, foregroundFile,
                                   theirs + QStringLiteral("[Q=90,subsample-mode=on]"), QStringLiteral("over")};
    std::vector<double> oursMs;
    std::vector<double> vipsMs;
    double peak = 0;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        ResetPeak();
        const auto start = Clock::now();
        if (!ui::ExportCurrentForeground(ours, QStringLiteral("JPEG"), 90))
            Fail("the export failed");
        const auto exported = Clock::now();
        peak = std::max(peak, StatusMegabytes("VmHWM:"));
        if (QProcess::execute(vips, arguments) != 0)
            Fail("the vips command failed");
        const auto composited = Clock::now();
        oursMs.push_back(std::chrono::duration<double, std::milli>(exported - start).count());
        vipsMs.push_back(std::chrono::duration<double, std::milli>(composited - exported).count());
        state.SetIterationTime(vipsMs.back() / 1000.0);
    }
    state.counters["ours_ms"] = Median(oursMs);
    state.counters["vips_ms"] = Median(vipsMs);
    state.counters["ratio_ours_to_vips"] = Median(oursMs) / Median(vipsMs);
    state.counters["ours_peak_rss_MB"] = peak;
    state.counters["vips_file_MB"] = static_cast<double>(QFileInfo(theirs).size()) / (1024.0 * 1024.0);
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
        benchmark::RegisterBenchmark(("Export42MP/VipsCompositeJPEG" + suffix).c_str(), BM_VipsComposite, busy)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(5);
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
