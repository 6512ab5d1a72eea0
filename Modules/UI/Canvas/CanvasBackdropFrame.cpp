#include "Canvas/CanvasBackdropFrame.h"

#include "ParallelRows.h"

#include <QPaintEngine>
#include <QPainter>
#include <QTransform>

#include <array>
#include <cmath>
#include <cstring>

namespace lumo::ui {

const QColor CanvasBackdrop::ShadeColour(0, 0, 0, 220);

namespace {

// The largest index a probe pixel carries (24 bits, 0 meaning "not painted").
constexpr int kMaxProbeIndex = 0xFFFFFE;

bool IsFrameFormat(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied;
}

// Each channel times a / 255, rounded as Qt rounds it: Qt's SourceOver of a non-premultiplied pixel
// onto an opaque one is the source premultiplied plus the one below times the source's transparency.
inline QRgb ByteMul(QRgb x, uint a)
{
    uint t = (x & 0xff00ffu) * a;
    t = (t + ((t >> 8) & 0xff00ffu) + 0x800080u) >> 8;
    t &= 0xff00ffu;
    x = ((x >> 8) & 0xff00ffu) * a;
    x = x + ((x >> 8) & 0xff00ffu) + 0x800080u;
    x &= 0xff00ff00u;
    return x | t;
}

} // namespace

struct CanvasBackdropFrame::Arrangement {
    // What it was made for.
    QImage::Format deviceFormat = QImage::Format_Invalid;
    QSize deviceSize;
    QPoint shift; // from logical to device pixels
    QRect clip;   // device pixels
    QRect whole;
    QRect checkerRect;
    qint64 checkerKey = 0;
    QRect target;
    QSize imageSize;
    QImage::Format imageFormat = QImage::Format_Invalid;
    QPainterPath shade;

    bool usable = false;
    QRect area; // device pixels the frame covers
    QImage backdrop; // black and the checker over the area
    std::vector<int> columns; // the image column each frame column shows, -1: none
    std::vector<int> rows;
    // Frame columns showing the same image column side by side, in order: one source pixel each.
    struct Run {
        int column;
        int first;
        int end;
    };
    std::vector<Run> runs;
    std::vector<int> shadeRowStart; // spans of row y: shadeSpans[shadeRowStart[y], shadeRowStart[y + 1])
    std::vector<std::pair<int, int>> shadeSpans; // [first, end) frame columns
    std::array<quint8, 256> shadeChannel{};
    uint shadeAlpha = 255;

    bool Matches(const Arrangement& other) const
    {
        return deviceFormat == other.deviceFormat && deviceSize == other.deviceSize && shift == other.shift &&
               clip == other.clip && whole == other.whole && checkerRect == other.checkerRect &&
               checkerKey == other.checkerKey && target == other.target && imageSize == other.imageSize &&
               imageFormat == other.imageFormat &&
               shade == other.shade;
    }
};

CanvasBackdropFrame::CanvasBackdropFrame() = default;
CanvasBackdropFrame::~CanvasBackdropFrame() = default;

void CanvasBackdropFrame::PaintPasses(QPainter& painter, const CanvasBackdrop& backdrop, const QImage& image,
                                      bool smooth)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 255));
    painter.drawRect(backdrop.whole);
    if (!backdrop.checkerRect.isEmpty())
        painter.drawTiledPixmap(backdrop.checkerRect, backdrop.checker, QPoint(0, 0));
    if (!image.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
        painter.drawImage(backdrop.target, image);
    }
    if (!backdrop.shade.isEmpty()) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setBrush(CanvasBackdrop::ShadeColour);
        painter.drawPath(backdrop.shade);
    }
    painter.restore();
}

std::shared_ptr<const CanvasBackdropFrame::Arrangement>
CanvasBackdropFrame::ArrangementFor(QPainter& painter, const CanvasBackdrop& backdrop, const QImage& image)
{
    QPaintEngine* engine = painter.paintEngine();
    if (engine == nullptr || engine->type() != QPaintEngine::Raster || engine->paintDevice() == nullptr ||
        engine->paintDevice()->devType() != QInternal::Image)
        return nullptr;
    const auto* device = static_cast<const QImage*>(engine->paintDevice());
    const QTransform transform = painter.deviceTransform();
    if (!IsFrameFormat(device->format()) || device->devicePixelRatio() != 1.0 || image.devicePixelRatio() != 1.0 ||
        transform.type() > QTransform::TxTranslate || transform.dx() != std::floor(transform.dx()) ||
        transform.dy() != std::floor(transform.dy()) || std::abs(transform.dx()) > 1e6 ||
        std::abs(transform.dy()) > 1e6)
        return nullptr;

    auto made = std::make_shared<Arrangement>();
    Arrangement& a = *made;
    a.deviceFormat = device->format();
    a.deviceSize = device->size();
    a.shift = QPoint(static_cast<int>(transform.dx()), static_cast<int>(transform.dy()));
    a.clip = QRect(QPoint(0, 0), a.deviceSize);
    if (const QRegion system = engine->systemClip(); !system.isEmpty())
        a.clip &= system.boundingRect();
    if (painter.hasClipping())
        a.clip &= painter.clipBoundingRect().toAlignedRect().translated(a.shift);
    a.whole = backdrop.whole;
    a.checkerRect = backdrop.checkerRect;
    a.checkerKey = backdrop.checker.cacheKey();
    a.target = backdrop.target;
    a.imageSize = image.size();
    a.imageFormat = image.format();
    a.shade = backdrop.shade;
    for (const auto& known : m_arrangements)
        if (known->Matches(a))
            return known;
    // Learning an arrangement costs more than painting the passes once, and a pan or a zoom gives
    // a new one every frame: one seen once is left to the passes, and learnt when it comes again,
    // as through a drag or a window that stays still.
    if (!m_candidate || !m_candidate->Matches(a)) {
        m_candidate = made;
        return nullptr;
    }
    m_candidate.reset();

    // Made anew: Qt paints each pass once, with the painter's shift and clip, on an image of the
    // device's format covering the area, and the frame takes what it painted. Whole pixel shifts
    // leave Qt's pixels as they are, so the image needs no more than the area: the backdrop pass,
    // painted last, is then kept as it is rather than copied out of a window-size image.
    a.area = a.whole.translated(a.shift) & a.clip;
    const auto keep = [&] {
        m_arrangements.insert(m_arrangements.begin(), made);
        if (m_arrangements.size() > 2)
            m_arrangements.pop_back();
        return made;
    };
    if (a.area.isEmpty() || image.width() > kMaxProbeIndex || image.height() > kMaxProbeIndex)
        return keep();
    QImage scratch(a.area.size(), a.deviceFormat);
    if (scratch.isNull())
        return keep();
    const QPoint scratchShift = a.shift - a.area.topLeft();
    const auto paintOnScratch = [&](auto&& paint) {
        scratch.fill(0xff000000u);
        QPainter p(&scratch);
        p.setClipRect(a.clip.translated(-a.area.topLeft()));
        p.setTransform(QTransform::fromTranslate(scratchShift.x(), scratchShift.y()));
        paint(p);
    };
    const auto scratchRow = [&](int y) { return reinterpret_cast<const QRgb*>(scratch.constScanLine(y)); };

    // Where the scale samples: an image of column (then row) numbers drawn as the image is.
    const int width = a.area.width();
    const int height = a.area.height();
    const auto sampled = [&](bool vertical, std::vector<int>& along) {
        QImage probe(a.imageSize, a.imageFormat);
        if (probe.isNull())
            return false;
        for (int y = 0; y < probe.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(probe.scanLine(y));
            for (int x = 0; x < probe.width(); ++x)
                row[x] = 0xff000000u | static_cast<QRgb>((vertical ? y : x) + 1);
        }
        paintOnScratch([&](QPainter& p) { p.drawImage(a.target, probe); });
        along.assign(static_cast<std::size_t>(vertical ? height : width), -1);
        // The first painted pixel of each column (row) names it; every other pixel must agree.
        std::vector<int> across(static_cast<std::size_t>(vertical ? width : height), -1);
        for (int y = 0; y < height; ++y) {
            const QRgb* row = scratchRow(y);
            for (int x = 0; x < width; ++x) {
                const int value = static_cast<int>(row[x] & 0xffffffu) - 1;
                if (value < 0)
                    continue;
                int& named = along[static_cast<std::size_t>(vertical ? y : x)];
                if (named < 0)
                    named = value;
                if (named != value)
                    return false;
                across[static_cast<std::size_t>(vertical ? x : y)] = 0;
            }
        }
        // Painted exactly where both a painted column and a painted row cross.
        for (int y = 0; y < height; ++y) {
            const QRgb* row = scratchRow(y);
            for (int x = 0; x < width; ++x) {
                const bool painted = (row[x] & 0xffffffu) != 0;
                const bool expected = along[static_cast<std::size_t>(vertical ? y : x)] >= 0 &&
                                      across[static_cast<std::size_t>(vertical ? x : y)] >= 0;
                if (painted != expected)
                    return false;
            }
        }
        return true;
    };
    if (a.imageSize == a.target.size()) {
        // Unscaled (the full-resolution render): Qt copies the image pixel for pixel onto the
        // target, so each frame pixel inside it shows the image pixel at the same offset.
        const QRect shown = a.target.translated(a.shift);
        a.columns.assign(static_cast<std::size_t>(width), -1);
        a.rows.assign(static_cast<std::size_t>(height), -1);
        for (int x = 0; x < width; ++x)
            if (const int device = a.area.left() + x; device >= shown.left() && device <= shown.right())
                a.columns[static_cast<std::size_t>(x)] = device - shown.left();
        for (int y = 0; y < height; ++y)
            if (const int device = a.area.top() + y; device >= shown.top() && device <= shown.bottom())
                a.rows[static_cast<std::size_t>(y)] = device - shown.top();
    } else {
        if (!sampled(false, a.columns) || !sampled(true, a.rows))
            return keep();
        // The two probes must agree on which rows and columns are painted.
        for (int y = 0; y < height; ++y) {
            const QRgb* row = scratchRow(y);
            for (int x = 0; x < width; ++x)
                if (((row[x] & 0xffffffu) != 0) != (a.columns[static_cast<std::size_t>(x)] >= 0 &&
                                                     a.rows[static_cast<std::size_t>(y)] >= 0))
                    return keep();
        }
    }

    for (int x = 0; x < width;) {
        const int first = x;
        const int column = a.columns[static_cast<std::size_t>(x)];
        while (x < width && a.columns[static_cast<std::size_t>(x)] == column)
            ++x;
        a.runs.push_back({column, first, x});
    }

    a.shadeRowStart.assign(static_cast<std::size_t>(height) + 1, 0);
    if (!a.shade.isEmpty()) {
        paintOnScratch([&](QPainter& p) {
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 255, 255, 255));
            p.drawPath(a.shade);
        });
        for (int y = 0; y < height; ++y) {
            const QRgb* row = scratchRow(y);
            for (int x = 0; x < width;) {
                if ((row[x] & 0xffffffu) == 0) {
                    ++x;
                    continue;
                }
                const int first = x;
                while (x < width && (row[x] & 0xffffffu) != 0)
                    ++x;
                a.shadeSpans.emplace_back(first, x);
            }
            a.shadeRowStart[static_cast<std::size_t>(y) + 1] = static_cast<int>(a.shadeSpans.size());
        }
        // The shade's arithmetic on each level of an opaque grey, as Qt paints it.
        QImage levels(256, 1, a.deviceFormat);
        auto* level = reinterpret_cast<QRgb*>(levels.scanLine(0));
        for (int v = 0; v < 256; ++v)
            level[v] = qRgb(v, v, v);
        {
            QPainter p(&levels);
            p.setPen(Qt::NoPen);
            p.setBrush(CanvasBackdrop::ShadeColour);
            p.drawRect(levels.rect());
        }
        for (int v = 0; v < 256; ++v) {
            if (qRed(level[v]) != qGreen(level[v]) || qRed(level[v]) != qBlue(level[v]))
                return keep();
            a.shadeChannel[static_cast<std::size_t>(v)] = static_cast<quint8>(qRed(level[v]));
        }
        a.shadeAlpha = static_cast<uint>(qAlpha(level[255]));
    }

    paintOnScratch([&](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 255));
        p.drawRect(a.whole);
        if (!a.checkerRect.isEmpty())
            p.drawTiledPixmap(a.checkerRect, backdrop.checker, QPoint(0, 0));
    });
    a.backdrop = std::move(scratch);
    a.usable = true;
    return keep();
}

bool CanvasBackdropFrame::Paint(QPainter& painter, const CanvasBackdrop& backdrop, const QImage& image)
{
    if (image.isNull() || (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_RGB32) ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver || painter.opacity() != 1.0 ||
        painter.testRenderHint(QPainter::SmoothPixmapTransform))
        return false;
    const std::shared_ptr<const Arrangement> found = ArrangementFor(painter, backdrop, image);
    if (!found || !found->usable)
        return false;
    const Arrangement& a = *found;
    // Where the clip is one rectangle the frame is composed straight into the device's pixels,
    // which the painter owns alone and the raster engine keeps nothing of between its calls: no
    // copy. Otherwise into an image of its own, copied through the painter and its clip.
    QPaintEngine* engine = painter.paintEngine();
    auto* device = static_cast<QImage*>(engine->paintDevice());
    const bool direct = engine->systemClip().rectCount() <= 1 && !painter.hasClipping() && device->isDetached();
    if (!direct && (m_frame.size() != a.area.size() || m_frame.format() != a.deviceFormat)) {
        m_frame = QImage(a.area.size(), a.deviceFormat);
        if (m_frame.isNull())
            return false;
    }
    const int width = a.area.width();
    const int height = a.area.height();
    const uchar* source = image.constBits();
    const qsizetype sourceStride = image.bytesPerLine();
    const qsizetype frameStride = direct ? device->bytesPerLine() : m_frame.bytesPerLine();
    uchar* frame = direct ? const_cast<uchar*>(device->constBits()) + a.area.top() * frameStride + a.area.left() * 4
                          : m_frame.bits();
    app::ParallelRows(height, static_cast<long long>(width) * height, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            auto* out = reinterpret_cast<QRgb*>(frame + y * frameStride);
            const auto* below = reinterpret_cast<const QRgb*>(a.backdrop.constScanLine(y));
            const int sourceRow = a.rows[static_cast<std::size_t>(y)];
            if (sourceRow < 0) {
                std::memcpy(out, below, static_cast<std::size_t>(width) * 4u);
            } else {
                const auto* in = reinterpret_cast<const QRgb*>(source + sourceRow * sourceStride);
                for (const Arrangement::Run& run : a.runs) {
                    const QRgb pixel = run.column < 0 ? 0u : in[run.column];
                    const uint alpha = qAlpha(pixel);
                    // Runs are short (a few pixels of a preview, one at full resolution): plain
                    // loops, no calls.
                    if (alpha == 255) {
                        for (int x = run.first; x < run.end; ++x)
                            out[x] = pixel;
                    } else if (alpha == 0) {
                        for (int x = run.first; x < run.end; ++x)
                            out[x] = below[x];
                    } else {
                        const QRgb premultiplied = qPremultiply(pixel);
                        for (int x = run.first; x < run.end; ++x)
                            out[x] = premultiplied + ByteMul(below[x], 255 - alpha);
                    }
                }
            }
            for (int s = a.shadeRowStart[static_cast<std::size_t>(y)]; s < a.shadeRowStart[static_cast<std::size_t>(y) + 1];
                 ++s) {
                const auto [first, last] = a.shadeSpans[static_cast<std::size_t>(s)];
                for (int x = first; x < last; ++x) {
                    const QRgb p = out[x];
                    out[x] = (a.shadeAlpha << 24) | (static_cast<uint>(a.shadeChannel[qRed(p)]) << 16) |
                             (static_cast<uint>(a.shadeChannel[qGreen(p)]) << 8) | a.shadeChannel[qBlue(p)];
                }
            }
        }
    });
    if (!direct) {
        painter.save();
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(a.area.topLeft() - a.shift, m_frame);
        painter.restore();
    }
    return true;
}

} // namespace lumo::ui
