#include "Resampling.h"

#include "ParallelRows.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace lumo::app::resampling {

namespace {

struct Point {
    double x = 0.0;
    double y = 0.0;
};

// The drawn quad (the source rectangle through the transform), convex, its corners in clockwise
// order on the screen (y down). Edges going down bound it on the right, edges going up on the
// left; a level edge going right is its top, going left its bottom.
class Quad {
public:
    // False when the corners do not make a quad that can be drawn.
    bool Set(const std::array<Point, 4>& corners)
    {
        double area = 0.0;
        for (int i = 0; i < 4; ++i)
            area += corners[i].x * corners[(i + 1) % 4].y - corners[(i + 1) % 4].x * corners[i].y;
        if (!std::isfinite(area) || area == 0.0)
            return false;
        m_v = corners;
        if (area < 0.0)
            std::swap(m_v[1], m_v[3]);
        m_top = m_bottom = m_v[0].y;
        for (const Point& v : m_v) {
            m_top = std::min(m_top, v.y);
            m_bottom = std::max(m_bottom, v.y);
        }
        return true;
    }

    double Top() const { return m_top; }
    double Bottom() const { return m_bottom; }
    const Point& Corner(int i) const { return m_v[i]; }

    // The quad's extent on the line at height y: [left, right], empty when left > right. A level
    // edge bounds the line by itself: topStrict or bottomStrict leave the line through it out.
    void Span(double y, bool topStrict, bool bottomStrict, double& left, double& right) const
    {
        left = -HUGE_VAL;
        right = HUGE_VAL;
        for (int i = 0; i < 4; ++i) {
            const Point& a = m_v[i];
            const Point& b = m_v[(i + 1) % 4];
            const double dy = b.y - a.y;
            if (dy == 0.0) {
                const bool top = b.x > a.x;
                const bool outside = top ? (topStrict ? y <= a.y : y < a.y) : (bottomStrict ? y >= a.y : y > a.y);
                if (outside) {
                    left = HUGE_VAL;
                    right = -HUGE_VAL;
                    return;
                }
                continue;
            }
            // From the nearer end, so that an upright edge gives its x exactly.
            const double x = a.x + (y - a.y) * ((b.x - a.x) / dy);
            if (dy > 0.0)
                right = std::min(right, x);
            else
                left = std::max(left, x);
        }
    }

    // The fraction of the unit square at (x, y) inside the quad.
    double Coverage(int x, int y) const
    {
        // The square clipped by each edge's half-plane in turn.
        std::array<Point, 12> polygon{Point{double(x), double(y)}, Point{x + 1.0, double(y)}, Point{x + 1.0, y + 1.0},
                                      Point{double(x), y + 1.0}};
        std::array<Point, 12> clipped;
        int count = 4;
        for (int i = 0; i < 4 && count > 0; ++i) {
            const Point& a = m_v[i];
            const Point& b = m_v[(i + 1) % 4];
            const double dx = b.x - a.x;
            const double dy = b.y - a.y;
            const auto side = [&](const Point& p) { return dx * (p.y - a.y) - dy * (p.x - a.x); };
            int kept = 0;
            for (int j = 0; j < count; ++j) {
                const Point& p = polygon[j];
                const Point& q = polygon[(j + 1) % count];
                const double sp = side(p);
                const double sq = side(q);
                if (sp >= 0.0)
                    clipped[kept++] = p;
                if ((sp >= 0.0) != (sq >= 0.0)) {
                    const double t = sp / (sp - sq);
                    clipped[kept++] = Point{p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)};
                }
            }
            polygon = clipped;
            count = kept;
        }
        double area = 0.0;
        for (int j = 0; j < count; ++j)
            area += polygon[j].x * polygon[(j + 1) % count].y - polygon[(j + 1) % count].x * polygon[j].y;
        return std::clamp(area * 0.5, 0.0, 1.0);
    }

private:
    std::array<Point, 4> m_v;
    double m_top = 0.0;
    double m_bottom = 0.0;
};

// A double limited to [low, high] as an int (NaN gives low).
int ClampToInt(double value, int low, int high)
{
    if (!(value > low))
        return low;
    if (!(value < high))
        return high;
    return static_cast<int>(value);
}

// Where a target pixel centre comes from in the source.
struct InverseMap {
    QTransform inverse;
    bool projective = false;

    void At(double cx, double cy, double& u, double& v) const
    {
        u = inverse.m11() * cx + inverse.m21() * cy + inverse.dx();
        v = inverse.m12() * cx + inverse.m22() * cy + inverse.dy();
        if (projective) {
            const double w = inverse.m13() * cx + inverse.m23() * cy + inverse.m33();
            u /= w;
            v /= w;
        }
    }
};

// A premultiplied sample: colour times alpha (0..255 x 0..255) and alpha.
struct Sample {
    float c[3] = {0.0f, 0.0f, 0.0f};
    float a = 0.0f;
};

inline void Accumulate(Sample& s, const std::uint8_t* p, float weight)
{
    const float wa = weight * p[3];
    s.c[0] += wa * p[0];
    s.c[1] += wa * p[1];
    s.c[2] += wa * p[2];
    s.a += wa;
}

// Values here are never negative: rounding is adding a half and truncating.
inline std::uint8_t ToByte(float value)
{
    return static_cast<std::uint8_t>(std::min(static_cast<int>(value + 0.5f), 255));
}

// The sample times the coverage, source-over onto the pixel. Nothing changes where nothing is drawn.
inline void Compose(std::uint8_t* out, const Sample& s, double coverage, bool replace)
{
    const float drawn = s.a * static_cast<float>(coverage); // alpha drawn, 0..255
    const std::uint8_t alpha = ToByte(drawn);
    const float under = replace ? 0.0f : out[3];
    if (under == 0.0f) {
        if (alpha == 0) {
            if (replace)
                std::memset(out, 0, 4);
            return;
        }
        const float scale = 1.0f / s.a;
        out[0] = ToByte(s.c[0] * scale);
        out[1] = ToByte(s.c[1] * scale);
        out[2] = ToByte(s.c[2] * scale);
        out[3] = alpha;
        return;
    }
    if (drawn <= 0.0f)
        return;
    // Premultiplied, in 0..255 x 0..255: the drawn part plus what shows through of the pixel.
    const float through = under * (1.0f - drawn / 255.0f);
    const float total = drawn + through;
    const float scale = 1.0f / total;
    const float sourceScale = drawn / s.a;
    for (int k = 0; k < 3; ++k)
        out[k] = ToByte((s.c[k] * sourceScale + out[k] * through) * scale);
    out[3] = ToByte(total);
}

struct Job {
    ConstPlane source;
    Plane target;
    Quad quad;
    InverseMap map;
    bool smooth = false;
    bool replace = false;
    bool shift = false; // a shift by whole pixels, (shiftX, shiftY)
    int shiftX = 0;
    int shiftY = 0;
    int firstRow = 0; // rows that can be drawn on: [firstRow, endRow)
    int endRow = 0;
};

const std::uint8_t* SourcePixel(const ConstPlane& source, int x, int y)
{
    return source.bits + static_cast<std::ptrdiff_t>(y) * source.stride + static_cast<std::ptrdiff_t>(x) * 4;
}

void DrawFastRow(const Job& job, int y, std::uint8_t* row, int& first, int& last)
{
    const ConstPlane& source = job.source;
    const double cy = y + 0.5;
    double left = 0.0;
    double right = 0.0;
    job.quad.Span(cy, true, false, left, right);
    // Covered: left < x + 0.5 <= right.
    first = ClampToInt(std::floor(left - 0.5) + 1.0, 0, job.target.width);
    last = ClampToInt(std::floor(right - 0.5) + 1.0, 0, job.target.width);
    if (first >= last)
        return;
    if (job.shift) {
        // Whole pixels: the row of the source at a fixed offset.
        const std::uint8_t* from = SourcePixel(source, first - job.shiftX, y - job.shiftY);
        std::uint8_t* out = row + static_cast<std::ptrdiff_t>(first) * 4;
        if (job.replace) {
            std::memcpy(out, from, static_cast<std::size_t>(last - first) * 4);
            return;
        }
        for (int x = first; x < last; ++x, from += 4, out += 4) {
            if (from[3] == 255 || out[3] == 0) {
                std::memcpy(out, from, 4);
            } else if (from[3] != 0) {
                Sample s;
                Accumulate(s, from, 1.0f);
                Compose(out, s, 1.0, false);
            }
        }
        return;
    }
    for (int x = first; x < last; ++x) {
        double u = 0.0;
        double v = 0.0;
        job.map.At(x + 0.5, cy, u, v);
        const int sx = ClampToInt(std::floor(u), 0, source.width - 1);
        const int sy = ClampToInt(std::floor(v), 0, source.height - 1);
        const std::uint8_t* p = SourcePixel(source, sx, sy);
        std::uint8_t* out = row + static_cast<std::ptrdiff_t>(x) * 4;
        // Onto nothing the pixel is copied as it is (a transparent one keeps its colour).
        if (p[3] == 255 || job.replace || out[3] == 0) {
            std::memcpy(out, p, 4);
            continue;
        }
        Sample s;
        Accumulate(s, p, 1.0f);
        Compose(out, s, 1.0, job.replace);
    }
}

inline Sample Bilinear(const ConstPlane& source, double u, double v)
{
    u -= 0.5;
    v -= 0.5;
    const double fu = std::floor(std::clamp(u, -1.0, double(source.width)));
    const double fv = std::floor(std::clamp(v, -1.0, double(source.height)));
    const float wx = static_cast<float>(std::clamp(u - fu, 0.0, 1.0));
    const float wy = static_cast<float>(std::clamp(v - fv, 0.0, 1.0));
    const int x0 = std::clamp(static_cast<int>(fu), 0, source.width - 1);
    const int x1 = std::clamp(static_cast<int>(fu) + 1, 0, source.width - 1);
    const int y0 = std::clamp(static_cast<int>(fv), 0, source.height - 1);
    const int y1 = std::clamp(static_cast<int>(fv) + 1, 0, source.height - 1);
    Sample s;
    Accumulate(s, SourcePixel(source, x0, y0), (1.0f - wx) * (1.0f - wy));
    Accumulate(s, SourcePixel(source, x1, y0), wx * (1.0f - wy));
    Accumulate(s, SourcePixel(source, x0, y1), (1.0f - wx) * wy);
    Accumulate(s, SourcePixel(source, x1, y1), wx * wy);
    return s;
}

void DrawSmoothRow(const Job& job, int y, std::uint8_t* row, int& first, int& last)
{
    const Quad& quad = job.quad;
    // Heights within the row where the quad's extent can be widest: its ends and the corners
    // between them.
    const double top = std::max(double(y), quad.Top());
    const double bottom = std::min(y + 1.0, quad.Bottom());
    first = last = 0;
    if (top > bottom)
        return;
    double outerLeft = HUGE_VAL;
    double outerRight = -HUGE_VAL;
    const auto widen = [&](double height) {
        double left = 0.0;
        double right = 0.0;
        quad.Span(height, false, false, left, right);
        if (left <= right) {
            outerLeft = std::min(outerLeft, left);
            outerRight = std::max(outerRight, right);
        }
    };
    widen(top);
    widen(bottom);
    for (int i = 0; i < 4; ++i)
        if (quad.Corner(i).y > top && quad.Corner(i).y < bottom)
            widen(quad.Corner(i).y);
    if (outerLeft > outerRight)
        return;
    first = ClampToInt(std::floor(outerLeft), 0, job.target.width);
    last = ClampToInt(std::ceil(outerRight), 0, job.target.width);
    // Whole pixels inside: the quad's extent is convex in height, so its narrowest over the row is
    // at the row's top or bottom line.
    int innerFirst = last;
    int innerLast = last;
    if (quad.Top() <= y && quad.Bottom() >= y + 1.0) {
        double left0 = 0.0, right0 = 0.0, left1 = 0.0, right1 = 0.0;
        quad.Span(y, false, false, left0, right0);
        quad.Span(y + 1.0, false, false, left1, right1);
        const double left = std::max(left0, left1);
        const double right = std::min(right0, right1);
        if (left <= right) {
            innerFirst = std::clamp(ClampToInt(std::ceil(left), 0, job.target.width), first, last);
            innerLast = std::clamp(ClampToInt(std::floor(right), 0, job.target.width), innerFirst, last);
        }
    }
    const double cy = y + 0.5;
    for (int x = first; x < last; ++x) {
        const double coverage = x >= innerFirst && x < innerLast ? 1.0 : quad.Coverage(x, y);
        std::uint8_t* out = row + static_cast<std::ptrdiff_t>(x) * 4;
        if (coverage <= 0.0) {
            if (job.replace)
                std::memset(out, 0, 4);
            continue;
        }
        double u = 0.0;
        double v = 0.0;
        job.map.At(x + 0.5, cy, u, v);
        Compose(out, Bilinear(job.source, u, v), coverage, job.replace);
    }
}

void DrawRows(const Job& job, int begin, int end)
{
    const Plane& target = job.target;
    const std::size_t rowBytes = static_cast<std::size_t>(target.width) * 4;
    for (int y = begin; y < end; ++y) {
        std::uint8_t* row = target.bits + static_cast<std::ptrdiff_t>(y) * target.stride;
        int first = 0;
        int last = 0;
        if (y >= job.firstRow && y < job.endRow) {
            if (job.smooth)
                DrawSmoothRow(job, y, row, first, last);
            else
                DrawFastRow(job, y, row, first, last);
        }
        if (job.replace) {
            if (last <= first) {
                std::memset(row, 0, rowBytes);
            } else {
                std::memset(row, 0, static_cast<std::size_t>(first) * 4);
                std::memset(row + static_cast<std::ptrdiff_t>(last) * 4, 0, rowBytes - static_cast<std::size_t>(last) * 4);
            }
        }
    }
}

bool IsFinite(const QTransform& t)
{
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m13()) && std::isfinite(t.m21()) &&
           std::isfinite(t.m22()) && std::isfinite(t.m23()) && std::isfinite(t.m31()) && std::isfinite(t.m32()) &&
           std::isfinite(t.m33());
}

} // namespace

bool WholePixelShift(const QTransform& transform, int& dx, int& dy)
{
    dx = 0;
    dy = 0;
    if (transform.type() > QTransform::TxTranslate || !IsFinite(transform))
        return false;
    const double x = std::round(transform.dx());
    const double y = std::round(transform.dy());
    if (!(std::fabs(x) < 1e9 && std::fabs(y) < 1e9))
        return false;
    dx = static_cast<int>(x);
    dy = static_cast<int>(y);
    return true;
}

void DrawThrough(const ConstPlane& source, const Plane& target, const QTransform& transform, bool smooth, Target mode)
{
    if (target.bits == nullptr || target.width <= 0 || target.height <= 0)
        return;
    Job job;
    job.source = source;
    job.target = target;
    job.smooth = smooth;
    job.replace = mode == Target::Replace;
    bool drawable = source.bits != nullptr && source.width > 0 && source.height > 0 && IsFinite(transform) &&
                    transform.isInvertible();
    QTransform placement = transform;
    // A shift alone moves the image by whole pixels, as QPainter draws it: the pixels are copied,
    // never blurred by a fraction of a pixel.
    if (drawable && placement.type() <= QTransform::TxTranslate) {
        placement = QTransform::fromTranslate(std::round(placement.dx()), std::round(placement.dy()));
        job.smooth = false;
        job.shift = WholePixelShift(placement, job.shiftX, job.shiftY);
    }
    if (drawable) {
        job.map.inverse = placement.inverted();
        job.map.projective = !placement.isAffine();
        drawable = IsFinite(job.map.inverse);
    }
    if (drawable) {
        std::array<Point, 4> corners;
        const double w = source.width;
        const double h = source.height;
        const Point sourceCorners[4] = {{0.0, 0.0}, {w, 0.0}, {w, h}, {0.0, h}};
        for (int i = 0; i < 4; ++i) {
            const Point& p = sourceCorners[i];
            const double z = placement.m13() * p.x + placement.m23() * p.y + placement.m33();
            // A projective transform that sends a corner behind the eye has no drawable quad.
            if (!(z > 0.0)) {
                drawable = false;
                break;
            }
            corners[i] = {(placement.m11() * p.x + placement.m21() * p.y + placement.dx()) / z,
                          (placement.m12() * p.x + placement.m22() * p.y + placement.dy()) / z};
            // Without antialiasing the edges are those of QPainter's rasteriser, which places
            // corners on a grid of 1/64 pixel.
            if (!job.smooth && std::fabs(corners[i].x) < 1e9 && std::fabs(corners[i].y) < 1e9)
                corners[i] = {std::round(corners[i].x * 64.0) / 64.0, std::round(corners[i].y * 64.0) / 64.0};
        }
        drawable = drawable && job.quad.Set(corners);
    }
    if (drawable) {
        job.firstRow = ClampToInt(std::floor(job.quad.Top()), 0, target.height);
        job.endRow = ClampToInt(std::ceil(job.quad.Bottom()), 0, target.height);
    }
    if (!drawable && !job.replace)
        return;
    // Replacing writes every row; composing only the rows the quad reaches.
    const int begin = job.replace ? 0 : job.firstRow;
    const int end = job.replace ? target.height : job.endRow;
    const long long pixels = static_cast<long long>(end - begin) * target.width;
    ParallelRows(end - begin, pixels, [&](int first, int last) { DrawRows(job, begin + first, begin + last); });
}

} // namespace lumo::app::resampling
