#include "KeyingScenes.h"

#include <algorithm>
#include <cmath>

namespace lumora::keying {

namespace {

struct Color {
    float r, g, b;
};

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

} // namespace

std::vector<SceneSpec> StandardScenes()
{
    return {
        {"green", false, false, 1},
        {"blue", true, false, 2},
        {"green-jpeg", false, true, 3},
        {"blue-jpeg", true, true, 4},
    };
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

    // Premultiplied foreground colour, alpha and region, painted back to front.
    std::vector<Color> paint(count, Color{0, 0, 0});
    std::vector<float> alpha(count, 0.0f);
    std::vector<std::uint8_t> region(count, RegionNone);
    const auto over = [&](std::size_t i, float coverage, Color c, Region r) {
        if (coverage <= 0.0f)
            return;
        paint[i] = {paint[i].r * (1 - coverage) + c.r * coverage, paint[i].g * (1 - coverage) + c.g * coverage,
                    paint[i].b * (1 - coverage) + c.b * coverage};
        alpha[i] = alpha[i] * (1 - coverage) + coverage;
        if (coverage >= 0.5f || region[i] == RegionNone)
            region[i] = r;
    };

    const float soft = std::max(2.0f, W * 0.004f); // soft cloth edges, about 16 px at 4000 wide
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            const float fx = float(x) + 0.5f;
            const float fy = float(y) + 0.5f;
            // Torso: a rounded block, grey on the left, green-ish on the right, folds in its shading.
            const float r = 0.04f * W;
            const float qx = std::abs(fx - 0.5f * W) - 0.24f * W + r;
            const float qy = std::abs(fy - 1.0f * H) - 0.44f * H + r;
            const float torso = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - r;
            const float folds = 0.88f + 0.12f * std::sin(fx / W * 40.0f + fy / H * 6.0f);
            const bool grey = fx < 0.5f * W;
            const Color cloth = grey ? Color{128, 128, 128} : Color{98, 118, 76};
            over(i, Coverage(torso, soft), {cloth.r * folds, cloth.g * folds, cloth.b * folds},
                 grey ? RegionGreyCloth : RegionGreenishCloth);
            // Head: a skin-toned ellipse with a sharp edge and soft shading.
            const float ex = (fx - 0.5f * W) / (0.1f * W);
            const float ey = (fy - 0.36f * H) / (0.17f * H);
            const float e = std::sqrt(ex * ex + ey * ey);
            const float head = (e - 1.0f) * 0.1f * W;
            const float shade = 0.8f + 0.2f * std::clamp(1.0f - e, 0.0f, 1.0f) - 0.08f * ex;
            over(i, Coverage(head, 1.0f), {205 * shade, 150 * shade, 120 * shade}, RegionSkin);
            // Veil: semi-transparent, thinner towards its top.
            if (fx > 0.66f * W && fx < 0.92f * W && fy > 0.16f * H && fy < 0.5f * H) {
                const float v = 0.25f + 0.4f * (fy - 0.16f * H) / (0.34f * H);
                over(i, v * Coverage(std::max({0.66f * W - fx, fx - 0.92f * W, 0.16f * H - fy, fy - 0.5f * H}), 1.0f),
                     {225, 222, 228}, RegionVeil);
            }
        }
    }

    // Hair: strands 1 to 3 px wide, waving down from the crown and beyond the head's outline.
    struct Strand {
        float x0, top, bottom, amplitude, wavelength, phase, width;
        Color color;
    };
    std::vector<Strand> strands;
    const int strandCount = 260;
    for (int s = 0; s < strandCount; ++s) {
        const bool blond = random.Uniform() < 0.35f;
        strands.push_back({random.Range(0.36f, 0.64f) * W, random.Range(0.13f, 0.2f) * H,
                           random.Range(0.3f, 0.62f) * H, random.Range(0.005f, 0.035f) * W,
                           random.Range(0.08f, 0.3f) * H, random.Range(0.0f, 6.283f), random.Range(1.0f, 3.0f),
                           blond ? Color{185, 150, 105} : Color{62, 42, 30}});
    }
    for (const Strand& s : strands) {
        const int y0 = std::max(0, static_cast<int>(s.top));
        const int y1 = std::min(height, static_cast<int>(s.bottom));
        for (int y = y0; y < y1; ++y) {
            const float fy = float(y) + 0.5f;
            const float cx = s.x0 + s.amplitude * std::sin(fy / s.wavelength * 6.283f + s.phase);
            // Slope of the curve, so the strand's width is measured across it.
            const float slope = s.amplitude * 6.283f / s.wavelength * std::cos(fy / s.wavelength * 6.283f + s.phase);
            const float across = 1.0f / std::sqrt(1.0f + slope * slope);
            const float taper = std::min(1.0f, (s.bottom - fy) / (0.05f * H)); // fine tips
            const float half = 0.5f * s.width * std::max(0.35f, taper);
            const int xa = std::max(0, static_cast<int>(cx - half / across - 2));
            const int xb = std::min(width - 1, static_cast<int>(cx + half / across + 2));
            for (int x = xa; x <= xb; ++x) {
                const float d = std::abs(float(x) + 0.5f - cx) * across;
                const float c = std::clamp(half + 0.5f - d, 0.0f, 1.0f) * std::min(1.0f, 2.0f * half);
                over(static_cast<std::size_t>(y) * width + x, c, s.color, RegionHair);
            }
        }
    }

    // Spill: backdrop light thrown on the subject, strongest where much backdrop is near.
    std::vector<float> nearBackdrop(alpha);
    BoxBlur(nearBackdrop, width, height, std::max(2, static_cast<int>(0.012f * W)));
    const Color key = spec.blueScreen ? Color{28, 62, 178} : Color{44, 172, 62};
    const Color spill = spec.blueScreen ? Color{-4, 6, 34} : Color{-4, 32, 2};

    scene.photo.resize(count * 4);
    scene.alpha.resize(count);
    scene.foreground.resize(count * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            const float fx = (float(x) + 0.5f) / W;
            const float fy = (float(y) + 0.5f) / H;
            // Backdrop light: fall-off to the right and down, a hot spot, cloth folds, the shadow.
            const float hx = (fx - 0.28f) / 0.18f;
            const float hy = (fy - 0.3f) / 0.22f;
            const float sx = (fx - 0.6f) / 0.17f;
            const float sy = (fy - 0.88f) / 0.14f;
            const float light = (1.0f - 0.3f * fx) * (1.0f - 0.12f * fy) + 0.22f * std::exp(-(hx * hx + hy * hy)) +
                                0.05f * std::sin(fx * 23.0f + std::sin(fy * 9.0f) * 2.0f) -
                                0.4f * std::exp(-(sx * sx + sy * sy));
            const Color backdrop{key.r * light, key.g * light, key.b * light};
            const float a = std::clamp(alpha[i], 0.0f, 1.0f);
            Color f{0, 0, 0};
            if (a > 0.0f)
                f = {paint[i].r / a, paint[i].g / a, paint[i].b / a};
            const float s = 0.9f * Smoothstep(0.0f, 1.0f, 1.0f - nearBackdrop[i]) * (a > 0.0f ? 1.0f : 0.0f);
            const Color seen{f.r + s * spill.r, f.g + s * spill.g, f.b + s * spill.b};
            const float noise = 2.5f;
            const float pr = a * seen.r + (1 - a) * backdrop.r + noise * random.Normal();
            const float pg = a * seen.g + (1 - a) * backdrop.g + noise * random.Normal();
            const float pb = a * seen.b + (1 - a) * backdrop.b + noise * random.Normal();
            const auto byte = [](float v) { return static_cast<std::uint8_t>(std::clamp(v + 0.5f, 0.0f, 255.0f)); };
            scene.photo[i * 4 + 0] = byte(pb);
            scene.photo[i * 4 + 1] = byte(pg);
            scene.photo[i * 4 + 2] = byte(pr);
            scene.photo[i * 4 + 3] = 255;
            scene.alpha[i] = byte(a * 255.0f);
            scene.foreground[i * 4 + 0] = byte(f.b);
            scene.foreground[i * 4 + 1] = byte(f.g);
            scene.foreground[i * 4 + 2] = byte(f.r);
            scene.foreground[i * 4 + 3] = region[i];
        }
    }
    return scene;
}

} // namespace lumora::keying
