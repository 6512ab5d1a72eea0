// Opening project files that cost a parser far more than their size: an internal entity
// referenced a hundred thousand times, one element with tens of thousands of attributes, a
// megabyte of empty elements, deep nesting, beside a real project and a large one of many masks.
// Each open runs in a child process of its own, so the peak resident size it reports (peak_MB)
// is that one open's, the process itself included (baseline: the empty file); code is the
// open's result (0 opened, 3 refused as XML, 6 refused as too large).
//
// And what such a project costs once open: the render of a 1920 x 1080 canvas window's image at
// full resolution (every mask drawn anew; the render alone, no paint) of a 12-megapixel foreground with a thousand feathered masks; peak_MB is the
// process's peak resident size, the scene included.
#include "ForegroundImageLayer.h"
#include "LayerManager.h"
#include "Mask.h"
#include "Project.h"
#include "RenderProcessor.h"
#include "XmlValues.h"

#include "BusyMachine.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QXmlStreamWriter>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <map>

namespace {

using namespace lumo::app;

QTemporaryDir& Folder()
{
    static QTemporaryDir folder;
    return folder;
}

QString WriteFile(const QString& name, const QByteArray& bytes)
{
    const QString path = Folder().filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::abort();
    return path;
}

QByteArray EntityExpansion()
{
    QByteArray bytes = "<?xml version=\"1.0\"?><!DOCTYPE project [<!ENTITY e \"" + QByteArray(4000, 'x') +
                       "\">]><project><fileFormat>4.0</fileFormat><currentThumbnailFolder>";
    for (int i = 0; i < 100000; ++i)
        bytes += "&e;";
    return bytes + "</currentThumbnailFolder></project>";
}

QByteArray Attributes(int count)
{
    QByteArray bytes = "<?xml version=\"1.0\"?><project><fileFormat>4.0</fileFormat><canvas";
    for (int i = 0; i < count; ++i)
        bytes += " a" + QByteArray::number(i) + "=\"\"";
    return bytes + "/></project>";
}

QByteArray EmptyElements(int bytes)
{
    QByteArray text = "<?xml version=\"1.0\"?><project><fileFormat>4.0</fileFormat>";
    while (text.size() < bytes)
        text += "<a/>";
    return text + "</project>";
}

QByteArray DeepNesting(int levels)
{
    return "<?xml version=\"1.0\"?><project>" + QByteArray("<a>").repeated(levels) + QByteArray("</a>").repeated(levels) +
           "</project>";
}

QByteArray RichProject()
{
    QFile file(QStringLiteral(LUMORA_SOURCE_TEST_DATA "/projects/rich.lumo4"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The default project with 1000 closed masks of 24 curved points each: a large real file.
QByteArray ManyMasks()
{
    LMerr result = LMerrSuccess;
    auto project = std::make_shared<Project>(result);
    MaskList& masks = GetMaskList(project);
    for (int m = 0; m < 1000; ++m) {
        auto mask = std::make_shared<Mask>(QStringLiteral("Mask %1").arg(m), true, false, true, true, 4, 1.0f, 1.0f);
        for (int h = 0; h < 24; ++h)
            mask->Add(std::make_shared<DualControlMaskHandle>(QPointF(m + h * 3.5, h * 7.25), QPointF(-2, 1),
                                                              QPointF(2, -1)));
        masks.Add(mask);
    }
    const QString path = Folder().filePath(QStringLiteral("masks-source.lumo4"));
    if (project->SaveToXml(path, QStringLiteral("bench"), QStringLiteral("4.0")) != LMerrSuccess)
        std::abort();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const std::map<std::string, std::function<QByteArray()>>& Cases()
{
    static const std::map<std::string, std::function<QByteArray()>> cases{
        {"EmptyFile", [] { return QByteArray(); }},
        {"RichProject", RichProject},
        {"ThousandMasks", ManyMasks},
        {"EntityExpansion100k", EntityExpansion},
        {"Attributes20k", [] { return Attributes(20000); }},
        {"Attributes100k", [] { return Attributes(100000); }},
        {"EmptyElements1MB", [] { return EmptyElements(1 << 20); }},
        {"DeepNesting100k", [] { return DeepNesting(100000); }},
    };
    return cases;
}

void BM_OpenProject(benchmark::State& state, const std::string& name)
{
    const QByteArray bytes = Cases().at(name)();
    const QString path = WriteFile(QString::fromStdString(name) + QStringLiteral(".lumo4"), bytes);
    long peakKilobytes = 0;
    int code = -1;
    for (auto _ : state) {
        const pid_t child = fork();
        if (child == 0) {
            LMerr result = LMerrSuccess;
            { Project project(path, result); }
            _exit(static_cast<int>(result));
        }
        int status = 0;
        rusage usage{};
        if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status)) {
            state.SkipWithError("the child did not finish");
            return;
        }
        peakKilobytes = std::max(peakKilobytes, usage.ru_maxrss);
        code = WEXITSTATUS(status);
    }
    state.counters["file_KB"] = bytes.size() / 1024.0;
    state.counters["peak_MB"] = peakKilobytes / 1024.0;
    state.counters["code"] = code;
}

// A thousand masks of 24 curved points each, 84 x 174 photo pixels, spread over the photo.
void AddThousandMasks(MaskList& masks, float zoom)
{
    for (int m = 0; m < 1000; ++m) {
        const double x = 50 + (m * 97) % 3800;
        const double y = 50 + (m * 61) % 2700;
        auto mask = std::make_shared<Mask>(QStringLiteral("Mask %1").arg(m), true, false, true, true, 4, 1.0f, zoom);
        for (int h = 0; h < 24; ++h) {
            const double angle = h * 2 * 3.14159265358979 / 24;
            mask->Add(std::make_shared<DualControlMaskHandle>(QPointF(x + 42 * std::cos(angle), y + 87 * std::sin(angle)),
                                                              QPointF(-2, 1), QPointF(2, -1)));
        }
        masks.Add(mask);
    }
}

void BM_RenderCanvasImageThousandMasks(benchmark::State& state)
{
    constexpr int kWidth = 4000;
    constexpr int kHeight = 3000;
    LMerr result = LMerrSuccess;
    auto project = std::make_shared<Project>(result);
    Canvas& canvas = project->GetCanvas();
    canvas.SetDimensions(kWidth, kHeight);
    canvas.SetScale(0.36f);
    canvas.SetCentre(960, 540);
    RenderProcessor processor(project, hvn::image::HXPixelChannelOrderBGRA, QRect(0, 0, 1920, 1080), result);
    const LayerManagerPtr manager = project->GetLayerManager();
    const auto foreground = std::make_shared<ForegroundImageLayer>(QStringLiteral("photo"), QString());
    manager->AddForegroundLayer(foreground);
    manager->SetCurrentForegroundId(foreground->Id());
    QImage photo(kWidth, kHeight, QImage::Format_RGB32);
    photo.fill(QColor(40, 200, 60));
    if (processor.SetLayer(foreground, photo) != LMerrSuccess)
        std::abort();
    AddThousandMasks(foreground->ForegroundSettings()->Masks(), canvas.Scale());
    QImage image;
    for (auto _ : state) {
        processor.InvalidateAllMaskCache();
        processor.SetCacheValid(foreground, RenderLevelPostFilter, hvn::image::HXDownsampleFactor0, false);
        if (processor.RenderCanvasImage(hvn::image::HXDownsampleFactor0, image) != LMerrSuccess)
            state.SkipWithError("the canvas did not render");
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = usage.ru_maxrss / 1024.0;
}
LUMORA_BENCHMARK(BM_RenderCanvasImageThousandMasks, ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0));

const bool kRegistered = [] {
    for (const auto& [name, make] : Cases())
        benchmark::RegisterBenchmark(("OpenProject/" + name).c_str(), BM_OpenProject, name)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(0.5);
    return true;
}();

} // namespace

BENCHMARK_MAIN();
