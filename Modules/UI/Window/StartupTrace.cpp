#include "Window/StartupTrace.h"

#include "Canvas/CanvasScene.h"
#include "Canvas/CanvasView.h"
#include "Shell/Application.h"
#include "Window/MainWindow.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QThread>

#include <cstdio>
#include <ctime>

namespace lumo::ui::startuptrace {

namespace {

const char* const kTraceVariable = "LUMORA_STARTUP_TRACE";
const char* const kOriginVariable = "LUMORA_STARTUP_TRACE_ORIGIN";
const char* const kExitVariable = "LUMORA_STARTUP_TRACE_EXIT";

long long MonotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

long long Origin()
{
    static const long long origin = [] {
        bool ok = false;
        const long long given = qEnvironmentVariable(kOriginVariable).toLongLong(&ok);
        return ok && given > 0 ? given : MonotonicNanoseconds();
    }();
    return origin;
}

// The canvas may be painted before the program's event loop runs (while the splash screen waits
// for the main window to show, which only processes the events there are), and an exit asked for
// then would be lost: it waits for the loop, which asks for more events once it runs.
void ExitOnceTheEventLoopRuns()
{
    if (QThread::currentThread()->loopLevel() > 0) {
        QCoreApplication::exit(0);
        return;
    }
    static QMetaObject::Connection waiting;
    if (!waiting)
        waiting = QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                                   QCoreApplication::instance(), [] {
                                       if (QThread::currentThread()->loopLevel() == 0)
                                           return;
                                       QObject::disconnect(waiting);
                                       QCoreApplication::exit(0);
                                   });
}

// Looks, after each paint of the canvas, whether the scene has drawn a rendered image yet.
class FirstRenderWatcher : public QObject {
public:
    FirstRenderWatcher(CanvasView* view, CanvasScene* scene) : QObject(view), m_view(view), m_scene(scene)
    {
        view->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The first paint after the canvas is fitted to its size is the one that renders.
        if (event->type() == QEvent::Paint && !m_renderStarted && !m_scene.isNull() && m_scene->IsDrawingEnabled()) {
            m_renderStarted = true;
            Mark("canvas-render-started");
        }
        // What the paint renders is decided now: nothing completes a photo during it.
        if (event->type() == QEvent::Paint) {
            const Application* app = Application::Instance();
            m_paintedPreview = app != nullptr && app->AwaitsWholePhotos();
        }
        // The check runs once the paint has finished: after the window's repaint, which puts it on
        // the screen, has returned to the event loop.
        if (event->type() == QEvent::Paint && !m_checkQueued) {
            m_checkQueued = true;
            QMetaObject::invokeMethod(this, [this] { Check(); }, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void Check()
    {
        m_checkQueued = false;
        if (m_scene.isNull() || m_scene->CanvasImage().isNull())
            return;
        if (!m_rendered) {
            m_rendered = true;
            Mark("canvas-rendered");
        }
        // A photo shown from its preview first: the watch goes on until a paint after its whole
        // decode, which renders at full resolution.
        if (m_paintedPreview)
            return;
        Mark("canvas-full-resolution");
        if (!m_view.isNull())
            m_view->viewport()->removeEventFilter(this);
        if (qEnvironmentVariableIsSet(kExitVariable))
            ExitOnceTheEventLoopRuns();
        deleteLater();
    }

    QPointer<CanvasView> m_view;
    QPointer<CanvasScene> m_scene;
    bool m_checkQueued = false;
    bool m_renderStarted = false;
    bool m_rendered = false;
    bool m_paintedPreview = false;
};

} // namespace

bool Enabled()
{
    static const bool enabled = qEnvironmentVariableIsSet(kTraceVariable);
    return enabled;
}

void Mark(const char* milestone)
{
    if (!Enabled())
        return;
    const long long origin = Origin();
    const double milliseconds = static_cast<double>(MonotonicNanoseconds() - origin) / 1e6;
    std::fprintf(stderr, "lumora-startup %s %.1f\n", milestone, milliseconds);
    std::fflush(stderr);
}

void WatchFirstRender(MainWindow& window)
{
    if (Enabled())
        new FirstRenderWatcher(window.GetCanvasView(), window.GetCanvasScene());
}

} // namespace lumo::ui::startuptrace
