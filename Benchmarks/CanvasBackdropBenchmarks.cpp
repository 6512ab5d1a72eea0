// The canvas scene's backdrop on a 1920 x 1080 window, the largest part of a slider drag's paint:
// black, the checker on a 1524 x 1016 canvas, a rendered window image keyed around its subject
// (transparent outside the canvas, soft edges) and the outline's shade outside the canvas.
// BM_BackdropOnePass is the frame the scene paints (CanvasBackdropFrame::Paint, composed on the
// engine's threads, then copied); BM_BackdropPasses is the same pixels as Qt's four passes on the
// GUI thread; BM_BackdropFirstPaint a new arrangement's first two paints, the passes and then the
// one that learns it from Qt (a pan or zoom step, whose arrangement is new each frame, costs the
// passes alone). Argument: the image's divisor (4: a drag's preview, 1: full resolution). The frame of
// a drag, input to paint finished, is SliderDragBenchmarks'.
#include "Canvas/CanvasBackdropFrame.h"

#include "BusyMachine.h"
#include "GuiBenchmarkMain.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

namespace {

using lumo::ui::CanvasBackdrop;
using lumo::ui::CanvasBackdropFrame;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

CanvasBackdrop Backdrop()
{
    CanvasBackdrop backdrop;
    backdrop.whole = QRect(0, 0, kWidth, kHeight);
    backdrop.checkerRect = QRect(198, 44, 1524, 1016);
    QImage tile(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            tile.setPixel(x, y, ((x / 8 + y / 8) % 2) != 0 ? qRgb(204, 204, 204) : qRgb(255, 255, 255));
    backdrop.checker = QPixmap::fromImage(tile);
    backdrop.target = backdrop.whole;
    backdrop.shade.setFillRule(Qt::OddEvenFill);
    backdrop.shade.addRect(backdrop.whole);
    backdrop.shade.addRect(backdrop.checkerRect);
    return backdrop;
}

// Opaque on the canvas but for a soft-edged hole, transparent around it.
QImage WindowImage(int divisor, const QRect& canvas)
{
    QImage image(kWidth / divisor, kHeight / divisor, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const QRect onCanvas(canvas.left() / divisor, canvas.top() / divisor, canvas.width() / divisor,
                         canvas.height() / divisor);
    const QPoint centre = onCanvas.center();
    const int radius = onCanvas.height() / 3;
    for (int y = onCanvas.top(); y <= onCanvas.bottom(); ++y)
        for (int x = onCanvas.left(); x <= onCanvas.right(); ++x) {
            const int dx = x - centre.x();
            const int dy = y - centre.y();
            const int distance = static_cast<int>(std::sqrt(dx * dx + dy * dy));
            const int alpha = std::clamp((distance - radius) * 255 / std::max(1, 8 / divisor), 0, 255);
            image.setPixel(x, y, qRgba(x % 256, y % 256, 120, alpha));
        }
    return image;
}

void Paint(benchmark::State& state, bool onePass)
{
    const CanvasBackdrop backdrop = Backdrop();
    const QImage image = WindowImage(static_cast<int>(state.range(0)), backdrop.checkerRect);
    QImage window(kWidth, kHeight, QImage::Format_RGB32);
    CanvasBackdropFrame frame;
    const auto paint = [&] {
        QPainter painter(&window);
        if (!onePass || !frame.Paint(painter, backdrop, image))
            CanvasBackdropFrame::PaintPasses(painter, backdrop, image, false);
    };
    // The frame learns the arrangement at its second paint, as in a drag's first frames.
    paint();
    paint();
    for (auto _ : state)
        paint();
}

void BM_BackdropOnePass(benchmark::State& state)
{
    Paint(state, true);
}
LUMORA_BENCHMARK(BM_BackdropOnePass, ->Arg(4)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime());

// A new arrangement's first two paints (after a resize, or the first at full resolution): the
// passes, then Qt paints the passes and the probes of the scale once and the frame is composed.
void BM_BackdropFirstPaint(benchmark::State& state)
{
    const CanvasBackdrop backdrop = Backdrop();
    const QImage image = WindowImage(static_cast<int>(state.range(0)), backdrop.checkerRect);
    QImage window(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        CanvasBackdropFrame frame;
        QPainter painter(&window);
        if (frame.Paint(painter, backdrop, image))
            state.SkipWithError("an arrangement seen once was composed");
        CanvasBackdropFrame::PaintPasses(painter, backdrop, image, false);
        if (!frame.Paint(painter, backdrop, image))
            state.SkipWithError("the one-pass frame refused the arrangement");
    }
}
LUMORA_BENCHMARK(BM_BackdropFirstPaint, ->Arg(4)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime());

void BM_BackdropPasses(benchmark::State& state)
{
    Paint(state, false);
}
LUMORA_BENCHMARK(BM_BackdropPasses, ->Arg(4)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime());

} // namespace

int main(int argc, char** argv)
{
    return lumora::bench::RunWithGuiApplication(argc, argv);
}
