#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPixmap>
#include <QRect>

#include <memory>
#include <vector>

class QPainter;

namespace lumo::ui {

// What lies under the canvas scene's items, painted in this order: black over `whole`, the checker
// tiled over `checkerRect` from its top left (nothing where it is empty), the rendered image scaled
// into `target` without smoothing and, where `shade` is not empty, ShadeColour over that path (the
// canvas outline darkening what lies outside the canvas).
struct CanvasBackdrop {
    static const QColor ShadeColour;

    QRect whole;
    QRect checkerRect;
    QPixmap checker;
    QRect target;
    QPainterPath shade;
};

// The backdrop painted as one image: composed row by row on several threads, straight into the
// window's pixels where the clip is one rectangle (else into an image of its own, then copied),
// instead of four passes over the whole window on the GUI thread (black, the checker, the scaled
// image, the shade). The pixels are the ones Qt paints for the passes one over the other
// with the painter's clip bounds: the sampling of the scale, the checker, the black and the shade's
// arithmetic are taken from Qt itself, painted once for each arrangement (kept for the last two,
// a drag's preview and the full resolution after the release; an unscaled image's sampling is its
// offset), so they match Qt exactly; only the blend of the image's translucent pixels over what
// lies below is computed here, by Qt's rule.
class CanvasBackdropFrame {
public:
    CanvasBackdropFrame();
    ~CanvasBackdropFrame();
    CanvasBackdropFrame(const CanvasBackdropFrame&) = delete;
    CanvasBackdropFrame& operator=(const CanvasBackdropFrame&) = delete;

    // Paints the backdrop with the image; false, with nothing painted, for an arrangement seen
    // for the first time in a row (a pan or zoom step), and where the one-pass frame cannot give
    // Qt's pixels: a painter on no 32-bit raster image, a transform other than a shift
    // by whole pixels, smoothing asked for, an image other than a Format_ARGB32 or Format_RGB32
    // one of at most 16 million pixels a side. The caller then paints the passes (PaintPasses).
    bool Paint(QPainter& painter, const CanvasBackdrop& backdrop, const QImage& image);

    // The passes one over the other, as Qt paints them (smooth: the image scaled smoothly).
    static void PaintPasses(QPainter& painter, const CanvasBackdrop& backdrop, const QImage& image, bool smooth);

private:
    struct Arrangement;
    std::shared_ptr<const Arrangement> ArrangementFor(QPainter& painter, const CanvasBackdrop& backdrop,
                                                      const QImage& image);

    std::vector<std::shared_ptr<const Arrangement>> m_arrangements; // the latest first
    std::shared_ptr<const Arrangement> m_candidate; // seen once, not learnt yet
    QImage m_frame;
};

} // namespace lumo::ui
