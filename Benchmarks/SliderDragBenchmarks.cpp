// The hand on a panel's slider over a 42-megapixel green-screen photograph: the program's
// Application on the offscreen platform with a 1920 x 1080 screen, a project whose foreground is a
// generated green-screen photograph (Tools/KeyingScenes) over a background of its size, the real
// canvas scene and view at 1920 x 1080, and the panels of the cases (SliderDrag.h).
// Targets on 8 cores: a drag frame 33 ms or less, a release frame 250 ms or less.
#include "SliderDrag.h"

#include "BusyMachine.h"

#include "Canvas/CanvasScene.h"
#include "Canvas/CanvasView.h"
#include "Shell/Application.h"
#include "Shell/LumoModel.h"

#include "KeyingScenes.h"

#include "ImageLayer.h"
#include "LayerManager.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <optional>
#include <vector>

namespace lumora::bench {
namespace {

using namespace lumo;
using Clock = std::chrono::steady_clock;

constexpr double kMegapixels = 42.25; // the largest photograph the program imports
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;

double Milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "slider-drag benchmark: %s\n", what);
    std::exit(1);
}

// Where a frame's time goes, summed over the timed frames.
struct FrameTimes {
    int renders = 0;
    double render = 0;
    double compose = 0;

    void Clear() { *this = {}; }
};

// The opened project with its images, the scene and view over it, and the panels built so far.
class Workspace {
public:
    static Workspace& Get()
    {
        if (!s_instance)
            s_instance.reset(new Workspace);
        return *s_instance;
    }

    // Its widgets go before the Application does.
    static void Close() { s_instance.reset(); }

    // The case's panel, built and shown on first use, and its canvas made the one painted.
    QAbstractSlider* Slider(const SliderDragCase& dragCase)
    {
        for (Built& built : m_built)
            if (built.name == dragCase.name) {
                Activate(built);
                return built.dragged.slider;
            }
        Built built{dragCase.name, dragCase.build(*m_app.GetDocument()->GetProject())};
        if (!built.dragged.panel || built.dragged.slider == nullptr)
            Fail("a case built no panel or no slider");
        if (built.dragged.view != nullptr) {
            built.dragged.scene->SetRenderCall([this](QImage& image, const ui::CanvasRenderRequest& request) {
                return TimedRender(image, request);
            });
            built.dragged.panel->setGeometry(0, 0, kScreenWidth, kScreenHeight);
        } else {
            built.dragged.panel->resize(380, built.dragged.panel->sizeHint().height());
        }
        m_built.push_back(std::move(built));
        Activate(m_built.back());
        if (m_built.back().dragged.view != nullptr)
            SettleCanvas(*m_built.back().dragged.scene);
        return m_built.back().dragged.slider;
    }

    // Paints the view now; what the scene was asked for is rendered in this paint.
    void Repaint() { m_painted->viewport()->repaint(); }

    // Runs what the paint left queued (the scene's own update request), outside the timing.
    static void Settle() { QCoreApplication::processEvents(); }

    FrameTimes times;

private:
    struct Built {
        std::string name;
        DraggedPanel dragged;
    };

    // One canvas is shown and painted at a time: a hidden view neither paints nor renders.
    void Activate(Built& active)
    {
        for (Built& built : m_built)
            if (built.dragged.view != nullptr && &built != &active)
                built.dragged.panel->hide();
        ui::CanvasView* view = active.dragged.view != nullptr ? active.dragged.view : &m_view;
        if (view != &m_view)
            m_view.hide();
        active.dragged.panel->show();
        view->show();
        m_app.SetCanvasView(view);
        m_painted = view;
        QCoreApplication::processEvents();
    }

    // Waits for the scene to take its size, then renders it whole and makes the previews' sources:
    // a drag's first frame finds them made.
    void SettleCanvas(ui::CanvasScene& scene)
    {
        if (!QTest::qWaitFor([&scene] { return scene.IsDrawingEnabled(); }, 10000))
            Fail("the canvas never settled");
        Repaint();
        scene.SlotRedrawScene(hvn::image::HXDownsampleFactor3);
        Repaint();
        Settle();
    }

    Workspace() : m_app(*static_cast<ui::Application*>(QCoreApplication::instance()))
    {
        if (!m_folder.isValid())
            Fail("no temporary folder");
        WriteImages();
        if (m_app.OpenProject(QString()) != app::LMerrSuccess)
            Fail("no new project");
        const app::ProjectPtr project = m_app.GetDocument()->GetProject();
        const app::LayerManagerPtr layers = project->GetLayerManager();
        if (!m_app.ImportImage(m_backgroundPath, layers->GetBackground()->Id(), app::LayerTypeBackground) ||
            !m_app.ImportImage(m_photoPath, QUuid(), app::LayerTypeForeground))
            Fail("the images did not import");
        // The canvas as the foreground, as the canvas size panel sets it.
        project->GetCanvas().SetDimensionType(app::CanvasDimensionForeground);
        m_app.SetCanvasDimensions(m_width, m_height);

        m_view.setScene(&m_scene);
        m_app.SetCanvasView(&m_view);
        m_view.SetModel(m_model, {});
        m_scene.SetModel(m_model, {});
        m_scene.SetRenderCall([this](QImage& image, const ui::CanvasRenderRequest& request) {
            return TimedRender(image, request);
        });
        m_view.resize(kScreenWidth, kScreenHeight);
        m_view.show();
        m_model->NotifyObservers(ui::DataTypeProject, m_app.GetDocument()->Id(), ui::FieldTypeRefreshAll);
        SettleCanvas(m_scene);
    }

    void WriteImages()
    {
        const keying::Scene photo = keying::MakeScene({"portrait", false, false, 3}, kMegapixels);
        m_width = photo.width;
        m_height = photo.height;
        // Uncompressed files: writing and reading them is not what is measured.
        m_photoPath = QDir(m_folder.path()).filePath(QStringLiteral("portrait.bmp"));
        m_backgroundPath = QDir(m_folder.path()).filePath(QStringLiteral("sky.bmp"));
        const QImage image(photo.photo.data(), photo.width, photo.height, photo.width * 4, QImage::Format_RGB32);
        if (!image.save(m_photoPath, "BMP"))
            Fail("cannot write the photograph");
        QImage sky(m_width, m_height, QImage::Format_RGB32);
        for (int y = 0; y < m_height; ++y) {
            const int t = 255 * y / std::max(1, m_height - 1);
            auto* row = reinterpret_cast<QRgb*>(sky.scanLine(y));
            std::fill(row, row + m_width, qRgb(60 + t * 150 / 255, 90 + t * 60 / 255, 200 - t * 90 / 255));
        }
        if (!sky.save(m_backgroundPath, "BMP"))
            Fail("cannot write the background");
    }

    // The scene's render, timed in two parts: the layer's stages, then the canvas image. This is
    // what the Application's RenderLayerToCanvas does, in two calls; a whole-canvas request goes
    // through the Application in one.
    app::LMerr TimedRender(QImage& image, const ui::CanvasRenderRequest& request)
    {
        const Clock::time_point start = Clock::now();
        app::LMerr code = app::LMerrSuccess;
        if (request.wholeCanvas) {
            code = ui::CanvasScene::RenderThroughApplication(image, request);
            times.render += Milliseconds(Clock::now() - start);
            ++times.renders;
            return code;
        }
        const app::LayerManagerPtr layers = m_app.GetDocument()->GetProject()->GetLayerManager();
        const app::ImageLayerPtr layer = layers->LayerList()->IsForegroundId(request.layerId)
                                             ? layers->GetForeground(layers->CurrentForegroundId())
                                             : layers->GetLayer(request.layerId);
        const auto processor = m_app.GetRenderProcessor();
        if (layer)
            code = processor->RenderLayer(layer, request.level, request.downsample);
        const Clock::time_point rendered = Clock::now();
        if (code == app::LMerrSuccess)
            code = processor->RenderCanvasImage(request.downsample, image);
        times.render += Milliseconds(rendered - start);
        times.compose += Milliseconds(Clock::now() - rendered);
        ++times.renders;
        return code;
    }

    ui::Application& m_app;
    QTemporaryDir m_folder;
    QString m_photoPath;
    QString m_backgroundPath;
    int m_width = 0;
    int m_height = 0;
    ui::LumoModelPtr m_model = std::make_shared<ui::LumoModel>(m_app.GetDocument());
    ui::CanvasScene m_scene;
    ui::CanvasView m_view;
    ui::CanvasView* m_painted = &m_view;
    // Deque: a case's window keeps its place while others are built.
    std::deque<Built> m_built;

    static inline std::unique_ptr<Workspace> s_instance;
};

QPoint AtFraction(const QAbstractSlider& slider, double fraction)
{
    return {static_cast<int>(slider.width() * fraction), slider.height() / 2};
}

void Report(benchmark::State& state, const FrameTimes& times, double input, double repaint)
{
    const double frames = static_cast<double>(state.iterations());
    state.counters["input_ms"] = input / frames;
    state.counters["render_ms"] = times.render / frames;
    state.counters["compose_ms"] = times.compose / frames;
    state.counters["paint_ms"] = (repaint - times.render - times.compose) / frames;
}

// One timed step: the input, then the repaint; false when the repaint rendered nothing.
template <typename Input>
bool Frame(Workspace& workspace, Input&& input, double& inputTime, double& repaintTime)
{
    const int rendersBefore = workspace.times.renders;
    const Clock::time_point start = Clock::now();
    input();
    const Clock::time_point moved = Clock::now();
    workspace.Repaint();
    const Clock::time_point painted = Clock::now();
    inputTime += Milliseconds(moved - start);
    repaintTime += Milliseconds(painted - moved);
    return workspace.times.renders == rendersBefore + 1;
}

void Drag(benchmark::State& state, const SliderDragCase& dragCase)
{
    Workspace& workspace = Workspace::Get();
    QAbstractSlider* slider = workspace.Slider(dragCase);
    QTest::mousePress(slider, Qt::LeftButton, {}, AtFraction(*slider, 0.5));
    workspace.Repaint();
    workspace.Settle();
    workspace.times.Clear();
    double input = 0;
    double repaint = 0;
    bool right = false;
    for (auto _ : state) {
        right = !right;
        const QPoint to = AtFraction(*slider, right ? 0.6 : 0.4);
        if (!Frame(workspace, [&] { QTest::mouseMove(slider, to); }, input, repaint))
            state.SkipWithError("a slider move rendered nothing");
        state.PauseTiming();
        workspace.Settle();
        state.ResumeTiming();
    }
    Report(state, workspace.times, input, repaint);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, AtFraction(*slider, right ? 0.6 : 0.4));
    workspace.Repaint();
    workspace.Settle();
}

void Release(benchmark::State& state, const SliderDragCase& dragCase)
{
    Workspace& workspace = Workspace::Get();
    QAbstractSlider* slider = workspace.Slider(dragCase);
    double input = 0;
    double repaint = 0;
    FrameTimes times;
    bool right = false;
    for (auto _ : state) {
        state.PauseTiming();
        right = !right;
        const QPoint at = AtFraction(*slider, right ? 0.6 : 0.4);
        QTest::mousePress(slider, Qt::LeftButton, {}, at);
        workspace.Repaint();
        workspace.Settle();
        workspace.times.Clear();
        state.ResumeTiming();
        if (!Frame(workspace, [&] { QTest::mouseRelease(slider, Qt::LeftButton, {}, at); }, input, repaint))
            state.SkipWithError("a release rendered nothing");
        state.PauseTiming();
        times.render += workspace.times.render;
        times.compose += workspace.times.compose;
        workspace.Settle();
        state.ResumeTiming();
    }
    Report(state, times, input, repaint);
}

// The cases, kept for the run's whole length.
std::vector<SliderDragCase>& Cases()
{
    static std::vector<SliderDragCase> cases;
    return cases;
}

// Before the Application: the offscreen platform with the screen the benchmark is about, and a
// fresh folder for settings and caches so that no user's files are read or written.
bool PrepareRun(const QTemporaryDir& root)
{
    if (!root.isValid() || !QDir(root.path()).mkpath(QStringLiteral("config")) ||
        !QDir(root.path()).mkpath(QStringLiteral("cache")))
        return false;
    QFile screen(root.filePath(QStringLiteral("screen.json")));
    if (!screen.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    screen.write(QStringLiteral(R"({ "screens": [ { "name": "Bench", "x": 0, "y": 0, "width": %1, "height": %2,)"
                                R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 } ] })")
                     .arg(kScreenWidth)
                     .arg(kScreenHeight)
                     .toUtf8());
    screen.close();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath(QStringLiteral("config"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root.filePath(QStringLiteral("cache"))));
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screen.fileName()));
    return true;
}

std::string LoadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readLine().trimmed().toStdString() : std::string("unknown");
}

} // namespace

bool BuildSliderDragCase(const std::string& name)
{
    for (const SliderDragCase& dragCase : Cases())
        if (dragCase.name == name) {
            Workspace::Get().Slider(dragCase);
            return true;
        }
    return false;
}

bool RegisterSliderDrag(SliderDragCase dragCase)
{
    Cases().push_back(std::move(dragCase));
    const SliderDragCase& stored = Cases().back();
    // The vector may grow: the benchmarks find their case by name.
    const std::string name = stored.name;
    const auto find = [name]() -> const SliderDragCase& {
        for (const SliderDragCase& c : Cases())
            if (c.name == name)
                return c;
        Fail("a case vanished");
    };
    // Each idle and busy (BusyMachine.h).
    for (const bool busy : {false, true}) {
        const std::string suffix = busy ? "/busy" : "";
        const auto frames = [find, busy](void (*run)(benchmark::State&, const SliderDragCase&)) {
            return [find, busy, run](benchmark::State& state) {
                std::optional<BackgroundLoad> load;
                if (busy)
                    load.emplace();
                run(state, find());
            };
        };
        benchmark::RegisterBenchmark(("Drag/" + name + suffix).c_str(), frames(Drag))
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        // A release frame takes a tenth of a second: run enough of them for a steady mean.
        benchmark::RegisterBenchmark(("Release/" + name + suffix).c_str(), frames(Release))
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(2.0);
    }
    return true;
}

} // namespace lumora::bench

int main(int argc, char** argv)
{
    const QTemporaryDir root(QDir::tempPath() + QStringLiteral("/lumora-bench-XXXXXX"));
    if (!lumora::bench::PrepareRun(root))
        lumora::bench::Fail("cannot prepare the run's folder");
    lumo::ui::Application app(argc, argv);
    benchmark::AddCustomContext("loadavg", lumora::bench::LoadAverage());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    lumora::bench::Workspace::Close();
    benchmark::Shutdown();
    return 0;
}
