#include "KeyingScenes.h"

#include <algorithm>
#include <cmath>

namespace lumora::keying {

namespace {

struct Color {
    float r, g, b;
};

Color Mix(Color a, Color b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Color Scaled(Color c, float s)
{
    return {c.r * s, c.g * s, c.b * s};
}

class Random {
public:
    explicit Random(unsigned seed) : m_state(seed * 2654435761u + 12345u) {}
    float Uniform() // [0, 1)
    {
        m_state = m_state * 1664525u + 1013904223u;
        return static_cast<float>(m_state >> 8) / 16777216.0f;
    }
    float Range(float low, float high) { return low + (high - low) * Uniform(); }
    // Roughly normal, unit variance (sum of four uniforms).
    float Normal() { return (Uniform() + Uniform() + Uniform() + Uniform() - 2.0f) * 1.7320508f; }

private:
    unsigned m_state;
};

float Smoothstep(float edge0, float edge1, float x)
{
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// Coverage of a pixel by a shape whose signed distance (negative inside) is d, with an edge that
// is `soft` pixels wide (1 is a sharp, antialiased edge).
float Coverage(float d, float soft)
{
    return std::clamp(0.5f - d / soft, 0.0f, 1.0f);
}

// Signed distance to a box of half sizes (hx, hy) with corners rounded by r, centred at (cx, cy).
float RoundedBox(float x, float y, float cx, float cy, float hx, float hy, float r)
{
    const float qx = std::abs(x - cx) - hx + r;
    const float qy = std::abs(y - cy) - hy + r;
    return std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - r;
}

// Signed distance to a segment from (ax, ay) to (bx, by) thickened by `radius`.
float Capsule(float x, float y, float ax, float ay, float bx, float by, float radius)
{
    const float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    const float t = std::clamp((px * dx + py * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
    return std::hypot(px - t * dx, py - t * dy) - radius;
}

// Approximate signed distance to an ellipse (exact on the axes), in pixels.
float Ellipse(float x, float y, float cx, float cy, float rx, float ry)
{
    const float ex = (x - cx) / rx;
    const float ey = (y - cy) / ry;
    return (std::sqrt(ex * ex + ey * ey) - 1.0f) * std::min(rx, ry);
}

// Separable box blur of a float plane (running sums), for the spill falloff near edges.
void BoxBlur(std::vector<float>& plane, int width, int height, int radius)
{
    std::vector<float> line(static_cast<std::size_t>(std::max(width, height)));
    const auto pass = [&](int count, int lines, std::size_t step, std::size_t lineStep) {
        for (int l = 0; l < lines; ++l) {
            float* p = plane.data() + l * lineStep;
            double sum = 0;
            for (int i = -radius - 1; i < radius; ++i)
                sum += p[std::clamp(i, 0, count - 1) * step];
            for (int i = 0; i < count; ++i) {
                sum += p[std::min(i + radius, count - 1) * step] - p[std::max(i - radius - 1, 0) * step];
                line[i] = static_cast<float>(sum / (2 * radius + 1));
            }
            for (int i = 0; i < count; ++i)
                p[i * step] = line[i];
        }
    };
    pass(width, height, 1, static_cast<std::size_t>(width));
    pass(height, width, static_cast<std::size_t>(width), 1);
}

// The true foreground as it is painted, back to front: premultiplied colour, alpha, region, and
// how much of the backdrop's cast lies on it regardless of its distance to the backdrop.
struct Canvas {
    int width = 0;
    int height = 0;
    float W = 0;
    float H = 0;
    std::vector<Color> paint;
    std::vector<float> alpha;
    std::vector<std::uint8_t> region;
    std::vector<float> cast;

    Canvas(int w, int h)
        : width(w), height(h), W(float(w)), H(float(h)), paint(Count(), Color{0, 0, 0}), alpha(Count(), 0.0f),
          region(Count(), RegionNone), cast(Count(), 0.0f)
    {
    }
    std::size_t Count() const { return static_cast<std::size_t>(width) * height; }

    void Over(std::size_t i, float coverage, Color c, Region r)
    {
        if (coverage <= 0.0f)
            return;
        paint[i] = {paint[i].r * (1 - coverage) + c.r * coverage, paint[i].g * (1 - coverage) + c.g * coverage,
                    paint[i].b * (1 - coverage) + c.b * coverage};
        alpha[i] = alpha[i] * (1 - coverage) + coverage;
        cast[i] *= 1 - coverage;
        if (coverage >= 0.5f || region[i] == RegionNone)
            region[i] = r;
    }

    // Calls paint(i, fx, fy) for every pixel, fx and fy at the pixel's centre.
    template <class Paint>
    void ForEach(Paint&& paint)
    {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                paint(static_cast<std::size_t>(y) * width + x, float(x) + 0.5f, float(y) + 0.5f);
    }
};

// A strand of hair or a cord hanging down from `top` to `bottom`, drifting sideways by `drift`
// pixels per pixel down and waving around that line, finer towards its tip.
struct Strand {
    float x0, top, bottom, amplitude, wavelength, phase, width;
    Color color;
    float drift = 0.0f;
    Region region = RegionHair;
};

void DrawStrands(Canvas& canvas, const std::vector<Strand>& strands)
{
    const float H = canvas.H;
    for (const Strand& s : strands) {
        const int y0 = std::max(0, static_cast<int>(s.top));
        const int y1 = std::min(canvas.height, static_cast<int>(s.bottom));
        for (int y = y0; y < y1; ++y) {
            const float fy = float(y) + 0.5f;
            const float cx = s.x0 + s.drift * (fy - s.top) + s.amplitude * std::sin(fy / s.wavelength * 6.283f + s.phase);
            // Slope of the curve, so the strand's width is measured across it.
            const float slope =
                s.drift + s.amplitude * 6.283f / s.wavelength * std::cos(fy / s.wavelength * 6.283f + s.phase);
            const float across = 1.0f / std::sqrt(1.0f + slope * slope);
            const float taper = std::min(1.0f, (s.bottom - fy) / (0.05f * H)); // fine tips
            const float half = 0.5f * s.width * std::max(0.35f, taper);
            const int xa = std::max(0, static_cast<int>(cx - half / across - 2));
            const int xb = std::min(canvas.width - 1, static_cast<int>(cx + half / across + 2));
            for (int x = xa; x <= xb; ++x) {
                const float d = std::abs(float(x) + 0.5f - cx) * across;
                const float c = std::clamp(half + 0.5f - d, 0.0f, 1.0f) * std::min(1.0f, 2.0f * half);
                canvas.Over(static_cast<std::size_t>(y) * canvas.width + x, c, s.color, s.region);
            }
        }
    }
}

// Flyaway strands about one pixel wide, starting within [x0, x1) x [top0, top1) and drifting out
// to either side; `reach` is how far down they run, in fractions of the height.
void AddFlyaways(std::vector<Strand>& strands, Random& random, const Canvas& canvas, int count, float x0, float x1,
                 float top0, float top1, float reach, const Color* colors, int colorCount, Region region)
{
    const float W = canvas.W;
    const float H = canvas.H;
    for (int s = 0; s < count; ++s) {
        const float top = random.Range(top0, top1) * H;
        const float x = random.Range(x0, x1) * W;
        const float side = x < 0.5f * (x0 + x1) * W ? -1.0f : 1.0f;
        Strand strand{x,
                      top,
                      top + random.Range(0.4f, 1.0f) * reach * H,
                      random.Range(0.002f, 0.012f) * W,
                      random.Range(0.06f, 0.25f) * H,
                      random.Range(0.0f, 6.283f),
                      random.Range(0.6f, 1.3f),
                      colors[static_cast<int>(random.Uniform() * float(colorCount)) % colorCount]};
        strand.drift = side * random.Range(0.1f, 0.9f);
        strand.region = region;
        strands.push_back(strand);
    }
}

// --- The kinds of photograph ---------------------------------------------------------------------

void PaintPortrait(Canvas& canvas, Random& random)
{
    const float W = canvas.W;
    const float H = canvas.H;
    const float soft = std::max(2.0f, W * 0.004f); // soft cloth edges, about 16 px at 4000 wide
    canvas.ForEach([&](std::size_t i, float fx, float fy) {
        // Torso: a rounded block, grey on the left, green-ish on the right, folds in its shading.
        const float r = 0.04f * W;
        const float qx = std::abs(fx - 0.5f * W) - 0.24f * W + r;
        const float qy = std::abs(fy - 1.0f * H) - 0.44f * H + r;
        const float torso = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - r;
        const float folds = 0.88f + 0.12f * std::sin(fx / W * 40.0f + fy / H * 6.0f);
        const bool grey = fx < 0.5f * W;
        const Color cloth = grey ? Color{128, 128, 128} : Color{98, 118, 76};
        canvas.Over(i, Coverage(torso, soft), {cloth.r * folds, cloth.g * folds, cloth.b * folds},
                    grey ? RegionGreyCloth : RegionGreenishCloth);
        // Head: a skin-toned ellipse with a sharp edge and soft shading.
        const float ex = (fx - 0.5f * W) / (0.1f * W);
        const float ey = (fy - 0.36f * H) / (0.17f * H);
        const float e = std::sqrt(ex * ex + ey * ey);
        const float head = (e - 1.0f) * 0.1f * W;
        const float shade = 0.8f + 0.2f * std::clamp(1.0f - e, 0.0f, 1.0f) - 0.08f * ex;
        canvas.Over(i, Coverage(head, 1.0f), {205 * shade, 150 * shade, 120 * shade}, RegionSkin);
        // Veil: semi-transparent, thinner towards its top.
        if (fx > 0.66f * W && fx < 0.92f * W && fy > 0.16f * H && fy < 0.5f * H) {
            const float v = 0.25f + 0.4f * (fy - 0.16f * H) / (0.34f * H);
            canvas.Over(i,
                        v * Coverage(std::max({0.66f * W - fx, fx - 0.92f * W, 0.16f * H - fy, fy - 0.5f * H}), 1.0f),
                        {225, 222, 228}, RegionVeil);
        }
    });

    // Hair: strands 1 to 3 px wide, waving down from the crown and beyond the head's outline.
    std::vector<Strand> strands;
    const int strandCount = 260;
    for (int s = 0; s < strandCount; ++s) {
        const bool blond = random.Uniform() < 0.35f;
        strands.push_back({random.Range(0.36f, 0.64f) * W, random.Range(0.13f, 0.2f) * H,
                           random.Range(0.3f, 0.62f) * H, random.Range(0.005f, 0.035f) * W,
                           random.Range(0.08f, 0.3f) * H, random.Range(0.0f, 6.283f), random.Range(1.0f, 3.0f),
                           blond ? Color{185, 150, 105} : Color{62, 42, 30}});
    }
    DrawStrands(canvas, strands);
}

void PaintWarm(Canvas& canvas, Random& random)
{
    const float W = canvas.W;
    const float H = canvas.H;
    const float soft = std::max(2.0f, W * 0.004f);
    const float skinSoft = std::max(3.0f, W * 0.008f); // skin a little out of focus
    const Color skin{212, 152, 118};
    canvas.ForEach([&](std::size_t i, float fx, float fy) {
        // Dress: a saturated yellow bodice over an orange skirt, soft edges, gentle folds.
        const float dress = RoundedBox(fx, fy, 0.42f * W, 1.0f * H, 0.17f * W, 0.56f * H, 0.05f * W);
        const float folds = 0.92f + 0.08f * std::sin(fx / W * 36.0f + fy / H * 5.0f);
        const bool bodice = fy < 0.68f * H;
        const Color cloth = bodice ? Color{240, 200, 30} : Color{236, 126, 34};
        canvas.Over(i, Coverage(dress, soft), Scaled(cloth, folds), bodice ? RegionYellow : RegionWarmCloth);
        // Arms: one down, one raised to hold the flame; skin with soft edges.
        const float arms = std::min(Capsule(fx, fy, 0.27f * W, 0.47f * H, 0.16f * W, 0.86f * H, 0.028f * W),
                                    Capsule(fx, fy, 0.57f * W, 0.47f * H, 0.66f * W, 0.25f * H, 0.026f * W));
        canvas.Over(i, Coverage(arms, skinSoft), skin, RegionSkin);
        // Head.
        const float head = Ellipse(fx, fy, 0.42f * W, 0.27f * H, 0.075f * W, 0.13f * H);
        const float shade = 0.85f + 0.15f * std::clamp(-head / (0.05f * W), 0.0f, 1.0f);
        canvas.Over(i, Coverage(head, skinSoft), Scaled(skin, shade), RegionSkin);
        // Scarf: sheer orange fabric from the neck out over the backdrop, denser in its folds.
        {
            const float ax = 0.36f * W, ay = 0.42f * H, bx = 0.97f * W, by = 0.64f * H;
            const float dx = bx - ax, dy = by - ay;
            const float t = ((fx - ax) * dx + (fy - ay) * dy) / (dx * dx + dy * dy);
            const float band = Capsule(fx, fy, ax, ay, bx, by, 0.04f * W);
            if (band < 1.0f && t > 0.0f) {
                const float density = 0.3f + 0.4f * (0.5f + 0.5f * std::sin(t * 38.0f));
                canvas.Over(i, density * Coverage(band, 1.0f), {232, 112, 48}, RegionWarmVeil);
            }
        }
        // Flame above the raised hand: a white-yellow core, orange then red towards a rim that fades
        // out over many pixels, taller than wide and narrowing upwards.
        {
            const float cx = 0.675f * W, cy = 0.17f * H, ax = 0.032f * W;
            const float dy = fy - cy;
            const float up = std::clamp(-dy / (2.6f * ax), 0.0f, 1.0f);
            const float rx = ax * (1.0f - 0.55f * up) * (1.0f + 0.06f * std::sin(fy / H * 90.0f));
            const float ry = dy < 0.0f ? 2.6f * ax : ax;
            const float rho = std::sqrt((fx - cx) * (fx - cx) / (rx * rx) + dy * dy / (ry * ry));
            if (rho < 1.0f) {
                const float a = 1.0f - Smoothstep(0.35f, 1.0f, rho);
                const Color core{255, 240, 175}, middle{250, 150, 35}, rim{215, 70, 12};
                const Color c = rho < 0.55f ? Mix(core, middle, Smoothstep(0.2f, 0.55f, rho))
                                            : Mix(middle, rim, Smoothstep(0.55f, 1.0f, rho));
                canvas.Over(i, a, c, RegionFlame);
            }
        }
    });

    // Copper and blond hair from the crown, and flyaways one pixel wide.
    std::vector<Strand> strands;
    for (int s = 0; s < 180; ++s) {
        const bool blond = random.Uniform() < 0.4f;
        strands.push_back({random.Range(0.35f, 0.49f) * W, random.Range(0.14f, 0.19f) * H,
                           random.Range(0.28f, 0.5f) * H, random.Range(0.004f, 0.03f) * W,
                           random.Range(0.08f, 0.3f) * H, random.Range(0.0f, 6.283f), random.Range(1.0f, 2.5f),
                           blond ? Color{200, 160, 90} : Color{150, 70, 35}});
    }
    const Color flyaway[2] = {{200, 160, 90}, {150, 70, 35}};
    AddFlyaways(strands, random, canvas, 60, 0.36f, 0.48f, 0.14f, 0.2f, 0.3f, flyaway, 2, RegionHair);
    DrawStrands(canvas, strands);
}

void PaintWardrobe(Canvas& canvas, Random& random)
{
    const float W = canvas.W;
    const float H = canvas.H;
    const float soft = std::max(2.0f, W * 0.003f);
    canvas.ForEach([&](std::size_t i, float fx, float fy) {
        const float folds = 0.92f + 0.08f * std::sin(fx / W * 44.0f + fy / H * 7.0f);
        // Left figure: yellow jacket over khaki trousers, a green-ish scarf hanging out to the side.
        const float left = RoundedBox(fx, fy, 0.27f * W, 1.0f * H, 0.14f * W, 0.54f * H, 0.04f * W);
        const bool jacket = fy < 0.78f * H;
        canvas.Over(i, Coverage(left, soft), Scaled(jacket ? Color{242, 204, 24} : Color{190, 174, 124}, folds),
                    jacket ? RegionYellow : RegionKhaki);
        canvas.Over(i, Coverage(Ellipse(fx, fy, 0.27f * W, 0.3f * H, 0.06f * W, 0.11f * H), 1.0f), {205, 150, 120},
                    RegionSkin);
        const float scarf = std::min(Capsule(fx, fy, 0.34f * W, 0.47f * H, 0.2f * W, 0.5f * H, 0.02f * W),
                                     Capsule(fx, fy, 0.2f * W, 0.5f * H, 0.07f * W, 0.72f * H, 0.02f * W));
        canvas.Over(i, Coverage(scarf, 2.0f), Scaled(Color{104, 124, 66}, folds), RegionGreenishCloth);
        // Right figure: cyan top with a white shirt front.
        const float right = RoundedBox(fx, fy, 0.7f * W, 1.0f * H, 0.14f * W, 0.56f * H, 0.04f * W);
        canvas.Over(i, Coverage(right, soft), Scaled(Color{30, 188, 212}, folds), RegionCyan);
        const float shirt = RoundedBox(fx, fy, 0.7f * W, 0.64f * H, 0.035f * W, 0.2f * H, 0.01f * W);
        canvas.Over(i, Coverage(shirt, 1.0f), Scaled(Color{236, 236, 230}, folds), RegionWhite);
        canvas.Over(i, Coverage(Ellipse(fx, fy, 0.7f * W, 0.28f * H, 0.06f * W, 0.11f * H), 1.0f), {170, 118, 90},
                    RegionSkin);
        // Between them a grey board that faces the backdrop: its light gives it a cast all over.
        const float board = RoundedBox(fx, fy, 0.485f * W, 0.6f * H, 0.065f * W, 0.13f * H, 0.008f * W);
        const float covered = Coverage(board, 1.0f);
        canvas.Over(i, covered, {124, 124, 124}, RegionTintedGrey);
        canvas.cast[i] += 0.6f * covered;
    });

    // Cords hanging from both figures' hands: dark and light, about one pixel wide.
    std::vector<Strand> strands;
    const Color cords[2] = {{22, 22, 24}, {228, 228, 225}};
    AddFlyaways(strands, random, canvas, 14, 0.1f, 0.16f, 0.6f, 0.66f, 0.35f, cords, 2, RegionCord);
    AddFlyaways(strands, random, canvas, 14, 0.82f, 0.88f, 0.55f, 0.6f, 0.4f, cords, 2, RegionCord);
    DrawStrands(canvas, strands);
}

void PaintLowKey(Canvas& canvas, Random& random)
{
    const float W = canvas.W;
    const float H = canvas.H;
    const float soft = std::max(2.0f, W * 0.003f);
    canvas.ForEach([&](std::size_t i, float fx, float fy) {
        // Charcoal coat with black lapels.
        const float coat = RoundedBox(fx, fy, 0.5f * W, 1.0f * H, 0.2f * W, 0.5f * H, 0.05f * W);
        const float folds = 0.9f + 0.1f * std::sin(fx / W * 30.0f + fy / H * 4.0f);
        const bool lapel = std::abs(fx - 0.5f * W) < 0.06f * W - (fy - 0.5f * H) * 0.1f;
        canvas.Over(i, Coverage(coat, soft), Scaled(lapel ? Color{24, 24, 26} : Color{46, 43, 40}, folds),
                    RegionDarkCloth);
        const float head = Ellipse(fx, fy, 0.5f * W, 0.33f * H, 0.085f * W, 0.15f * H);
        const float shade = 0.75f + 0.25f * std::clamp(-head / (0.05f * W), 0.0f, 1.0f);
        canvas.Over(i, Coverage(head, 1.0f), Scaled(Color{196, 140, 112}, shade), RegionSkin);
        // A glass bottle: thin body, denser rims, one bright highlight.
        const float bottle = RoundedBox(fx, fy, 0.83f * W, 0.76f * H, 0.05f * W, 0.2f * H, 0.02f * W);
        if (bottle < 1.0f) {
            const float rim = Smoothstep(-0.012f * W, 0.0f, bottle);
            const float highlight = std::exp(-std::pow((fx - 0.815f * W) / (0.004f * W), 2.0f));
            const float a = (0.18f + 0.42f * rim) * Coverage(bottle, 1.0f);
            canvas.Over(i, a, {200, 210, 214}, RegionGlass);
            canvas.Over(i, 0.75f * highlight * Coverage(bottle, 1.0f), {248, 248, 248}, RegionGlass);
        }
    });

    // Dark hair, and flyaways one pixel wide that reach far out into the dim backdrop.
    std::vector<Strand> strands;
    for (int s = 0; s < 220; ++s)
        strands.push_back({random.Range(0.4f, 0.6f) * W, random.Range(0.16f, 0.21f) * H,
                           random.Range(0.3f, 0.55f) * H, random.Range(0.004f, 0.03f) * W,
                           random.Range(0.08f, 0.3f) * H, random.Range(0.0f, 6.283f), random.Range(0.8f, 2.5f),
                           Color{48, 36, 28}});
    const Color flyaway[2] = {{48, 36, 28}, {90, 70, 52}};
    AddFlyaways(strands, random, canvas, 140, 0.4f, 0.6f, 0.15f, 0.22f, 0.55f, flyaway, 2, RegionHair);
    DrawStrands(canvas, strands);
}

// A flyaway strand from (x, y) out along `angle` for `length` pixels, bending by `bend` (pixels of
// sideways drift at its end): `width` px wide at its root thinning to `tip`, painted at `opacity`.
struct Flyaway {
    float x, y, angle, length, bend, width, tip, opacity;
    Color color;
};

void DrawFlyaways(Canvas& canvas, const std::vector<Flyaway>& flyaways)
{
    constexpr int kSegments = 24;
    for (const Flyaway& f : flyaways) {
        const float dx = std::cos(f.angle), dy = std::sin(f.angle);
        float px[kSegments + 1], py[kSegments + 1];
        for (int s = 0; s <= kSegments; ++s) {
            const float t = float(s) / kSegments;
            const float side = f.bend * t * t;
            px[s] = f.x + dx * f.length * t - dy * side;
            py[s] = f.y + dy * f.length * t + dx * side;
        }
        const int x0 = std::max(0, static_cast<int>(std::min(px[0], px[kSegments]) - std::abs(f.bend) - 4));
        const int x1 = std::min(canvas.width - 1, static_cast<int>(std::max(px[0], px[kSegments]) + std::abs(f.bend) + 4));
        const int y0 = std::max(0, static_cast<int>(std::min(py[0], py[kSegments]) - std::abs(f.bend) - 4));
        const int y1 = std::min(canvas.height - 1, static_cast<int>(std::max(py[0], py[kSegments]) + std::abs(f.bend) + 4));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const float fx = float(x) + 0.5f, fy = float(y) + 0.5f;
                float best = 1e9f, along = 0.0f;
                for (int s = 0; s < kSegments; ++s) {
                    const float sx = px[s + 1] - px[s], sy = py[s + 1] - py[s];
                    const float t =
                        std::clamp(((fx - px[s]) * sx + (fy - py[s]) * sy) / (sx * sx + sy * sy), 0.0f, 1.0f);
                    const float d = std::hypot(fx - px[s] - t * sx, fy - py[s] - t * sy);
                    if (d < best) {
                        best = d;
                        along = (float(s) + t) / kSegments;
                    }
                }
                const float half = 0.5f * (f.width + (f.tip - f.width) * along);
                const float c = std::clamp(half + 0.5f - best, 0.0f, 1.0f) * std::min(1.0f, 2.0f * half) * f.opacity;
                if (c > 0.004f)
                    canvas.Over(static_cast<std::size_t>(y) * canvas.width + x, c, f.color, RegionHair);
            }
    }
}

void PaintFine(Canvas& canvas, Random& random)
{
    const float W = canvas.W;
    const float H = canvas.H;
    const float soft = std::max(2.0f, W * 0.003f);
    const Color brown{70, 52, 36};
    const float cx = 0.36f * W, cy = 0.38f * H, rx = 0.1f * W, ry = 0.16f * H;
    // Lace: threads about 2 px wide on a square mesh with the backdrop between them; twigs: a few
    // branches 2 to 4 px wide. Both lie in their own boxes, whose every pixel counts as fine texture.
    const float laceX0 = 0.66f * W, laceX1 = 0.92f * W, laceY0 = 0.12f * H, laceY1 = 0.42f * H;
    const float pitch = std::max(6.0f, 0.0028f * W), thread = std::max(1.2f, 0.0005f * W);
    const float twigX0 = 0.66f * W, twigX1 = 0.95f * W, twigY0 = 0.55f * H, twigY1 = 0.95f * H;
    struct Branch {
        float ax, ay, bx, by, radius;
    };
    std::vector<Branch> twigs;
    for (int b = 0; b < 7; ++b) {
        const float ax = random.Range(0.7f, 0.9f) * W, ay = twigY1 - 0.01f * H;
        const float bx = ax + random.Range(-0.08f, 0.08f) * W, by = random.Range(0.6f, 0.75f) * H;
        twigs.push_back({ax, ay, bx, by, random.Range(1.0f, 2.0f)});
        for (int k = 0; k < 5; ++k) {
            const float t = random.Range(0.3f, 0.9f);
            const float sx = ax + (bx - ax) * t, sy = ay + (by - ay) * t;
            twigs.push_back({sx, sy, sx + random.Range(-0.04f, 0.04f) * W, sy - random.Range(0.02f, 0.06f) * H,
                             random.Range(0.7f, 1.2f)});
        }
    }
    canvas.ForEach([&](std::size_t i, float fx, float fy) {
        // Shoulders in a plain blue-grey jumper, the head above them.
        const float body = RoundedBox(fx, fy, cx, 1.0f * H, 0.2f * W, 0.4f * H, 0.05f * W);
        canvas.Over(i, Coverage(body, soft), {96, 104, 118}, RegionGreyCloth);
        const float head = Ellipse(fx, fy, cx, cy, rx, ry);
        const float shade = 0.82f + 0.18f * std::clamp(-head / (0.05f * W), 0.0f, 1.0f);
        canvas.Over(i, Coverage(head, 1.0f), Scaled(Color{206, 150, 118}, shade), RegionSkin);
        // Dark brown locks falling over the forehead and down one cheek; the backdrop behind the
        // head throws its light on them.
        float locks = 1e9f;
        for (int l = 0; l < 6; ++l) {
            const float lx = cx + (-0.07f + 0.028f * float(l)) * W;
            locks = std::min(locks, Capsule(fx, fy, lx, cy - 0.17f * H, lx + 0.012f * W * (l % 2 ? 1 : -1),
                                            cy - 0.03f * H + 0.012f * H * float(l % 3), 0.006f * W));
        }
        locks = std::min(locks, Capsule(fx, fy, cx - 0.085f * W, cy - 0.1f * H, cx - 0.075f * W, cy + 0.08f * H,
                                        0.008f * W));
        const float lock = Coverage(locks, 1.5f);
        canvas.Over(i, lock, brown, RegionBrown);
        canvas.cast[i] += 0.6f * lock;
        // Lace.
        if (fx >= laceX0 && fx < laceX1 && fy >= laceY0 && fy < laceY1) {
            const float u = std::fmod(fx - laceX0 + 0.35f * (fy - laceY0), pitch);
            const float v = std::fmod(fy - laceY0, pitch);
            const float d = std::min(std::min(u, pitch - u), std::min(v, pitch - v)) - 0.5f * thread;
            canvas.Over(i, Coverage(d, 1.0f), {232, 226, 214}, RegionLace);
            canvas.region[i] = RegionLace;
        }
        // Twigs.
        if (fx >= twigX0 && fx < twigX1 && fy >= twigY0 && fy < twigY1) {
            float d = 1e9f;
            for (const Branch& b : twigs)
                d = std::min(d, Capsule(fx, fy, b.ax, b.ay, b.bx, b.by, b.radius));
            canvas.Over(i, Coverage(d, 1.0f), {92, 70, 50}, RegionLace);
            canvas.region[i] = RegionLace;
        }
    });

    // Hair over the crown, and flyaways from the head's outline out into the plain backdrop: 2 px
    // at the root thinning below one, at 15 to 50 % coverage, reaching up to 150 px (at 4000 px
    // wide) from the outline.
    std::vector<Strand> strands;
    for (int s = 0; s < 120; ++s)
        strands.push_back({cx + random.Range(-0.08f, 0.08f) * W, cy - ry + random.Range(0.0f, 0.03f) * H,
                           cy + random.Range(-0.05f, 0.05f) * H, random.Range(0.004f, 0.02f) * W,
                           random.Range(0.08f, 0.3f) * H, random.Range(0.0f, 6.283f), random.Range(1.0f, 2.5f), brown});
    DrawStrands(canvas, strands);
    std::vector<Flyaway> flyaways;
    for (int s = 0; s < 90; ++s) {
        const float a = random.Range(-3.0f, 0.1f); // the top and both sides of the head
        const float ex = cx + 0.97f * rx * std::cos(a), ey = cy + 0.97f * ry * std::sin(a);
        const float out = std::atan2(std::sin(a) * rx, std::cos(a) * ry) + random.Range(-0.5f, 0.5f);
        flyaways.push_back({ex, ey, out, random.Range(0.012f, 0.0375f) * W, random.Range(-0.006f, 0.006f) * W,
                            random.Range(1.4f, 2.0f), random.Range(0.3f, 0.6f), random.Range(0.3f, 0.55f),
                            random.Uniform() < 0.7f ? brown : Color{150, 118, 84}});
    }
    DrawFlyaways(canvas, flyaways);
}

// Light on the backdrop relative to its brightest, at (fx, fy) in fractions of the frame.
float BackdropLight(SceneKind kind, float fx, float fy)
{
    if (kind == SceneKind::Portrait) {
        // Fall-off to the right and down, a hot spot, cloth folds, the subject's shadow.
        const float hx = (fx - 0.28f) / 0.18f;
        const float hy = (fy - 0.3f) / 0.22f;
        const float sx = (fx - 0.6f) / 0.17f;
        const float sy = (fy - 0.88f) / 0.14f;
        return (1.0f - 0.3f * fx) * (1.0f - 0.12f * fy) + 0.22f * std::exp(-(hx * hx + hy * hy)) +
               0.05f * std::sin(fx * 23.0f + std::sin(fy * 9.0f) * 2.0f) - 0.4f * std::exp(-(sx * sx + sy * sy));
    }
    struct Place {
        float hotX, hotY, shadowX, shadowY; // centres of the hot spot and of the subject's shadow
    };
    const Place place = kind == SceneKind::Warm       ? Place{0.72f, 0.35f, 0.3f, 0.9f}
                        : kind == SceneKind::Wardrobe ? Place{0.5f, 0.25f, 0.5f, 0.92f}
                                                      : Place{0.35f, 0.3f, 0.64f, 0.86f};
    const float hx = (fx - place.hotX) / 0.2f;
    const float hy = (fy - place.hotY) / 0.22f;
    const float sx = (fx - place.shadowX) / 0.17f;
    const float sy = (fy - place.shadowY) / 0.12f;
    float light = (1.0f - 0.15f * fx) * (1.0f - 0.08f * fy) + 0.15f * std::exp(-(hx * hx + hy * hy)) +
                  0.04f * std::sin(fx * 19.0f + std::sin(fy * 7.0f) * 2.0f) - 0.35f * std::exp(-(sx * sx + sy * sy));
    if (kind == SceneKind::LowKey) {
        // Lens vignetting: the corners keep about a third of the light.
        const float rx = (fx - 0.5f) * 2.0f;
        const float ry = (fy - 0.5f) * 2.0f;
        const float r = std::sqrt(0.5f * (rx * rx + ry * ry));
        light *= 0.9f * (1.0f - 0.64f * Smoothstep(0.2f, 1.0f, r));
    }
    return light;
}

} // namespace

const char* SceneKindName(SceneKind kind)
{
    switch (kind) {
    case SceneKind::Portrait: return "portrait";
    case SceneKind::Warm: return "warm";
    case SceneKind::Wardrobe: return "wardrobe";
    case SceneKind::LowKey: return "low-key";
    case SceneKind::Fine: return "fine";
    }
    return "?";
}

std::vector<SceneSpec> StandardScenes()
{
    std::vector<SceneSpec> specs = {
        {"green", false, false, 1},
        {"blue", true, false, 2},
        {"green-jpeg", false, true, 3},
        {"blue-jpeg", true, true, 4},
    };
    unsigned seed = 5;
    for (const SceneKind kind : {SceneKind::Warm, SceneKind::Wardrobe, SceneKind::LowKey, SceneKind::Fine})
        for (const bool jpeg : {false, true})
            for (const bool blue : {false, true}) {
                const std::string name =
                    std::string(SceneKindName(kind)) + (blue ? "-blue" : "-green") + (jpeg ? "-jpeg" : "");
                specs.push_back({name, blue, jpeg, seed++, kind});
            }
    return specs;
}

Scene MakeScene(const SceneSpec& spec, double megapixels)
{
    Scene scene;
    const int width = std::max(64, static_cast<int>(std::sqrt(megapixels * 1.0e6 * 4.0 / 3.0)));
    const int height = width * 3 / 4;
    const float W = float(width);
    const float H = float(height);
    const std::size_t count = static_cast<std::size_t>(width) * height;
    scene.width = width;
    scene.height = height;
    Random random(spec.seed);

    Canvas canvas(width, height);
    switch (spec.kind) {
    case SceneKind::Portrait: PaintPortrait(canvas, random); break;
    case SceneKind::Warm: PaintWarm(canvas, random); break;
    case SceneKind::Wardrobe: PaintWardrobe(canvas, random); break;
    case SceneKind::LowKey: PaintLowKey(canvas, random); break;
    case SceneKind::Fine: PaintFine(canvas, random); break;
    }

    // Spill: backdrop light thrown on the subject, strongest where much backdrop is near.
    std::vector<float> nearBackdrop(canvas.alpha);
    BoxBlur(nearBackdrop, width, height, std::max(2, static_cast<int>(0.012f * W)));
    const Color key = spec.blueScreen ? Color{28, 62, 178} : Color{44, 172, 62};
    const Color spill = spec.blueScreen ? Color{-4, 6, 34} : Color{-4, 32, 2};

    scene.photo.resize(count * 4);
    scene.alpha.resize(count);
    scene.foreground.resize(count * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            const float light = BackdropLight(spec.kind, (float(x) + 0.5f) / W, (float(y) + 0.5f) / H);
            const Color backdrop{key.r * light, key.g * light, key.b * light};
            const float a = std::clamp(canvas.alpha[i], 0.0f, 1.0f);
            Color f{0, 0, 0};
            if (a > 0.0f)
                f = {canvas.paint[i].r / a, canvas.paint[i].g / a, canvas.paint[i].b / a};
            float s = 0.9f * Smoothstep(0.0f, 1.0f, 1.0f - nearBackdrop[i]) * (a > 0.0f ? 1.0f : 0.0f);
            s = std::max(s, std::min(1.0f, canvas.cast[i] / std::max(a, 1e-6f)));
            const Color seen{f.r + s * spill.r, f.g + s * spill.g, f.b + s * spill.b};
            const float pr = a * seen.r + (1 - a) * backdrop.r;
            const float pg = a * seen.g + (1 - a) * backdrop.g;
            const float pb = a * seen.b + (1 - a) * backdrop.b;
            // Sensor noise: even in the portrait; elsewhere shot noise grows with the signal.
            const auto noise = [&](float v) {
                return spec.kind == SceneKind::Portrait ? 2.5f : std::sqrt(4.0f + 0.02f * std::max(v, 0.0f));
            };
            const float nr = pr + noise(pr) * random.Normal();
            const float ng = pg + noise(pg) * random.Normal();
            const float nb = pb + noise(pb) * random.Normal();
            const auto byte = [](float v) { return static_cast<std::uint8_t>(std::clamp(v + 0.5f, 0.0f, 255.0f)); };
            scene.photo[i * 4 + 0] = byte(nb);
            scene.photo[i * 4 + 1] = byte(ng);
            scene.photo[i * 4 + 2] = byte(nr);
            scene.photo[i * 4 + 3] = 255;
            scene.alpha[i] = byte(a * 255.0f);
            scene.foreground[i * 4 + 0] = byte(f.b);
            scene.foreground[i * 4 + 1] = byte(f.g);
            scene.foreground[i * 4 + 2] = byte(f.r);
            scene.foreground[i * 4 + 3] = canvas.region[i];
        }
    }
    return scene;
}

} // namespace lumora::keying
