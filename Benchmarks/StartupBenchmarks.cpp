// Start-up: from the moment the program's process is started to the main window shown with the
// project's canvas rendered. Each iteration starts the real program (offscreen, 1920 x 1080, fresh
// settings, as a first start) and reads the start-up milestones it writes to standard error
// (LUMORA_STARTUP_TRACE, counted from the moment of the start); the program ends itself once the
// canvas is painted at full resolution. The milestones are reported as counters, in milliseconds:
//   t1_main          main() entered (the loading of the program and its libraries before it)
//   t2_application   the Application built
//   t3_splash        the splash screen shown
//   t4_opened        the project file read and its render processor made
//   t5_loaded        the layers' photographs decoded and in the render processor (a large JPEG's
//                    preview; its whole decode goes on in the background)
//   t6_window        the main window built
//   t7_shown         the main window shown (its first paints follow while the splash screen waits
//                    for it to be on screen)
//   t8_settled       the canvas fitted to the window and the paint that renders it begins (at the
//                    first show the fit follows the window's first paint at once; only a later
//                    resize waits for the size to settle)
//   t9_rendered      the first rendered canvas painted, once that paint has finished and gone to
//                    the screen (the iteration's time); a large JPEG shows from its preview here
//   t10_full         the same for the first paint at full resolution, once every photo is decoded
//                    whole (the program ends after it)
// Projects: 0 a new project, 1 a 42-megapixel green-screen photograph over a 42-megapixel
// background as JPEG files (as a camera writes them), 2 the same as PNG files.

#include "BusyMachine.h"
#include "SampleProject.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <ctime>
#include <map>
#include <memory>
#include <string>

namespace {

const char* const kProgram = LUMORA_PROGRAM;
constexpr double kMegapixels = 42.0;

long long MonotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

struct Fixture {
    QTemporaryDir folder{QDir::tempPath() + QStringLiteral("/lumora-startup-XXXXXX")};
    QString screen;
    QString jpegProject;
    QString pngProject;
    bool ok = false;
};

// Written once for the run: the generation of two 42-megapixel scenes takes a while.
Fixture& SharedFixture()
{
    static Fixture fixture = [] {
        Fixture made;
        if (!made.folder.isValid())
            return made;
        made.screen = made.folder.filePath(QStringLiteral("screen.json"));
        QFile screen(made.screen);
        if (!screen.open(QIODevice::WriteOnly))
            return made;
        screen.write(R"({ "screens": [ { "name": "Benchmark", "x": 0, "y": 0, "width": 1920, "height": 1080,)"
                     R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 } ] })");
        screen.close();
        try {
            for (const char* format : {"JPG", "PNG"}) {
                const QString subfolder = made.folder.filePath(QString::fromLatin1(format));
                QDir().mkpath(subfolder);
                const auto files = lumora::samples::WriteGreenScreenProject(
                    subfolder, {.megapixels = kMegapixels, .imageFormat = format});
                (QLatin1String(format) == QLatin1String("JPG") ? made.jpegProject : made.pngProject) = files.projectPath;
            }
        } catch (const std::exception&) {
            return made;
        }
        made.ok = true;
        return made;
    }();
    return fixture;
}

// The milestones of one start in milliseconds after the process was started; empty on failure.
std::map<std::string, double> StartOnce(const Fixture& fixture, const QString& project, QString& error)
{
    QTemporaryDir session(QDir::tempPath() + QStringLiteral("/lumora-session-XXXXXX"));
    for (const char* name : {"config", "cache", "runtime"})
        QDir(session.path()).mkpath(QString::fromLatin1(name));
    QFile::setPermissions(session.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + fixture.screen);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), session.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), session.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), session.filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("LUMORA_STARTUP_TRACE"), QStringLiteral("1"));
    environment.insert(QStringLiteral("LUMORA_STARTUP_TRACE_EXIT"), QStringLiteral("1"));

    QProcess process;
    process.setProgram(QString::fromLocal8Bit(kProgram));
    process.setArguments(project.isEmpty() ? QStringList() : QStringList{project});
    environment.insert(QStringLiteral("LUMORA_STARTUP_TRACE_ORIGIN"), QString::number(MonotonicNanoseconds()));
    process.setProcessEnvironment(environment);
    process.start();
    if (!process.waitForFinished(120'000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        error = QStringLiteral("the program did not end normally: ") + QString::fromLocal8Bit(process.readAllStandardError());
        return {};
    }
    std::map<std::string, double> milestones;
    for (const QByteArray& line : process.readAllStandardError().split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(' ');
        if (fields.size() == 3 && fields[0] == "lumora-startup")
            milestones[fields[1].toStdString()] = fields[2].toDouble();
    }
    if (milestones.count("canvas-rendered") == 0) {
        error = QStringLiteral("no rendered canvas reported");
        return {};
    }
    return milestones;
}

void BM_StartUpToRenderedCanvas(benchmark::State& state)
{
    Fixture& fixture = SharedFixture();
    if (!fixture.ok) {
        state.SkipWithError("cannot write the projects");
        return;
    }
    const QString projects[] = {QString(), fixture.jpegProject, fixture.pngProject};
    const char* const labels[] = {"new project", "42 MP JPEG", "42 MP PNG"};
    const QString& project = projects[state.range(0)];
    state.SetLabel(labels[state.range(0)]);
    const std::pair<const char*, const char*> reported[] = {
        {"main", "t1_main"},
        {"application", "t2_application"},
        {"splash-shown", "t3_splash"},
        {"project-opened", "t4_opened"},
        {"project-loaded", "t5_loaded"},
        {"window-built", "t6_window"},
        {"window-shown", "t7_shown"},
        {"canvas-render-started", "t8_settled"},
        {"canvas-rendered", "t9_rendered"},
        {"canvas-full-resolution", "t10_full"},
    };
    std::map<std::string, double> sums;
    for (auto _ : state) {
        QString error;
        const std::map<std::string, double> milestones = StartOnce(fixture, project, error);
        if (milestones.empty()) {
            state.SkipWithError(error.toStdString().c_str());
            return;
        }
        for (const auto& [milestone, counter] : reported)
            if (const auto it = milestones.find(milestone); it != milestones.end())
                sums[counter] += it->second;
        state.SetIterationTime(milestones.at("canvas-rendered") / 1000.0);
    }
    for (const auto& [counter, sum] : sums)
        state.counters[counter] = benchmark::Counter(sum / static_cast<double>(state.iterations()));
}
LUMORA_BENCHMARK(BM_StartUpToRenderedCanvas,
                 ->Arg(0)->Arg(1)->Arg(2)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond));

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
