// Keys the photographs written by GenerateKeyingScenes with the default key chain of a new project
// and with a plain chroma-distance key, and prints the matting errors against the true alpha:
// SAD (sum of absolute alpha differences, alpha in 0..1, in thousands), MSE of alpha (x 1000), and
// the mean colour error (levels of 255, weighted by the true alpha) of the keyed foreground where
// the true alpha is above 0, over all regions and over the neutral ones (skin and grey cloth).
// For the default chain it also splits the errors by the kind of region the pixel belongs to, so
// that a change can be judged where keys are hard (strands, soft edges, semi-transparent areas).
// Usage: MeasureKeying <folder>

#include "KeyingScenes.h"

#include "hvn/common/HXLookupTables.h"
#include "hvn/image/HXImageKeyer.h"

#include <QCoreApplication>
#include <QImage>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace lumora::keying;
using namespace hvn::image;

namespace {

// The kinds of pixel the errors are split by.
enum Kind { KindStrands, KindSoftEdges, KindSemiTransparent, KindOpaque, KindGreenishCloth, KindBackdrop, KindCount };
const char* const kKindNames[KindCount] = {"strands",      "soft edges",      "semi-transp.",
                                           "opaque",       "  green cloth",   "backdrop"};

// Hair and veil pixels are their own kinds whatever their alpha; other subject pixels are soft
// edges while partly covered. Green-ish cloth (opaque) is also counted on its own, as a part of
// the opaque subject, since spill suppression is hardest on it.
Kind KindOf(std::uint8_t truth, std::uint8_t region)
{
    if (truth == 0)
        return KindBackdrop;
    if (region == RegionHair)
        return KindStrands;
    if (region == RegionVeil)
        return KindSemiTransparent;
    return truth < 255 ? KindSoftEdges : KindOpaque;
}

struct KindErrors {
    double sad = 0;
    double bias = 0; // sum of signed alpha errors: above 0 where the key is too opaque
    double squared = 0;
    double pixels = 0;
    double colour = 0;
    double weight = 0;
};

struct Errors {
    double sad = 0;       // in thousands
    double squared = 0;   // sum of squared alpha errors
    double pixels = 0;
    double colour = 0;    // alpha-weighted sum of mean channel errors
    double weight = 0;
    double neutralColour = 0;
    double neutralWeight = 0;
    double milliseconds = 0;
    KindErrors kinds[KindCount];

    void Add(const Errors& o)
    {
        for (int k = 0; k < KindCount; ++k) {
            kinds[k].sad += o.kinds[k].sad;
            kinds[k].bias += o.kinds[k].bias;
            kinds[k].squared += o.kinds[k].squared;
            kinds[k].pixels += o.kinds[k].pixels;
            kinds[k].colour += o.kinds[k].colour;
            kinds[k].weight += o.kinds[k].weight;
        }
        sad += o.sad;
        squared += o.squared;
        pixels += o.pixels;
        colour += o.colour;
        weight += o.weight;
        neutralColour += o.neutralColour;
        neutralWeight += o.neutralWeight;
        milliseconds += o.milliseconds;
    }
    void Print(const char* scene, const char* method) const
    {
        std::printf("%-12s %-10s SAD %9.1f  MSE(x1000) %7.3f  colour error %6.2f  neutral %6.2f  (%.0f ms)\n", scene,
                    method, sad, 1000.0 * squared / std::max(1.0, pixels), colour / std::max(1e-9, weight),
                    neutralColour / std::max(1e-9, neutralWeight), milliseconds);
    }
    void PrintKinds() const
    {
        for (int k = 0; k < KindCount; ++k) {
            const KindErrors& e = kinds[k];
            std::printf("    %-14s SAD %8.1f  bias %+7.3f  MSE(x1000) %7.3f  colour error %6.2f  (%.2f MP)\n",
                        kKindNames[k], e.sad / 1000.0, e.bias / std::max(1.0, e.pixels),
                        1000.0 * e.squared / std::max(1.0, e.pixels),
                        e.colour / std::max(1e-9, e.weight), e.pixels / 1.0e6);
        }
    }
};

// Spill suppression as the render pipeline applies it after the key pass with the default item:
// extended, full strength, no added-back channels, neutral bias, on the detected backdrop channel.
void SuppressSpill(HXImage8& image, const HXImage8& photo, const hvn::common::HXLookupTables& tables)
{
    HXKeyColor detected = HXKeyColorGreen;
    AutoDetectKeyColor(const_cast<HXImage8*>(&photo), 0, &detected);
    HXImageKeyer spill(image, image, tables, HXDownsampleFactor0);
    spill.SetSpillSuppression(detected == HXKeyColorBlue ? HXChannelBlue : HXChannelGreen, HXSpillTypeExtended, 1.0,
                              0.0, 0.0, 0.0, 1.0);
    spill.Render();
}

// The default key list of a new project: only the automatic colour-difference key is on.
void DefaultKeyChain(const HXImage8& photo, HXImage8& out, const hvn::common::HXLookupTables& tables)
{
    HXImageKeyer keyer(const_cast<HXImage8&>(photo), out, tables, HXDownsampleFactor0);
    keyer.SetAutoColorDifferenceKey(HXKeyColorAuto, 1.0, 0.0, 0.33);
    if (const int result = keyer.Render())
        std::fprintf(stderr, "key failed: %d\n", result);
    SuppressSpill(out, photo, tables);
}

// Baseline: alpha from the chroma (CbCr) distance to the backdrop colour sampled along the frame's
// border, transparent within 45 % of the key's own chroma distance from grey, opaque beyond 85 %.
void ChromaDistanceKey(const HXImage8& photo, HXImage8& out, const hvn::common::HXLookupTables& tables)
{
    const int w = photo.Width();
    const int h = photo.Height();
    std::memcpy(out.Buffer(), photo.Buffer(), photo.BufferByteSize());
    const auto chroma = [](const std::uint8_t* p, double& cb, double& cr) {
        const double r = p[2], g = p[1], b = p[0];
        cb = -0.168736 * r - 0.331264 * g + 0.5 * b;
        cr = 0.5 * r - 0.418688 * g - 0.081312 * b;
    };
    double keyCb = 0, keyCr = 0, n = 0;
    const int border = std::max(1, w / 30);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (x >= border && x < w - border && y >= border)
                continue; // the sides and the top: the bottom holds the subject
            double cb, cr;
            chroma(photo.Buffer() + (static_cast<std::size_t>(y) * w + x) * 4, cb, cr);
            keyCb += cb;
            keyCr += cr;
            ++n;
        }
    keyCb /= n;
    keyCr /= n;
    const double magnitude = std::hypot(keyCb, keyCr);
    const double tolerance = 0.45 * magnitude;
    const double band = 0.4 * magnitude;
    for (std::size_t i = 0; i < static_cast<std::size_t>(w) * h; ++i) {
        double cb, cr;
        chroma(photo.Buffer() + i * 4, cb, cr);
        const double a = std::clamp((std::hypot(cb - keyCb, cr - keyCr) - tolerance) / band, 0.0, 1.0);
        out.Buffer()[i * 4 + 3] = static_cast<std::uint8_t>(std::lround(a * 255));
    }
    SuppressSpill(out, photo, tables);
}

Errors Measure(const HXImage8& keyed, const QImage& alpha, const QImage& foreground)
{
    Errors e;
    const int w = keyed.Width();
    for (int y = 0; y < keyed.Height(); ++y) {
        const std::uint8_t* truth = alpha.constScanLine(y);
        const std::uint8_t* fg = foreground.constScanLine(y);
        const std::uint8_t* k = keyed.Buffer() + static_cast<std::size_t>(y) * w * 4;
        for (int x = 0; x < w; ++x, k += 4, fg += 4) {
            const double t = truth[x] / 255.0;
            const double d = k[3] / 255.0 - t;
            e.sad += std::abs(d);
            e.squared += d * d;
            e.pixels += 1;
            const Kind kind = KindOf(truth[x], fg[3]);
            KindErrors* kinds[2] = {&e.kinds[kind], nullptr};
            if (kind == KindOpaque && fg[3] == RegionGreenishCloth)
                kinds[1] = &e.kinds[KindGreenishCloth];
            for (KindErrors* ke : kinds)
                if (ke) {
                    ke->sad += std::abs(d);
                    ke->bias += d;
                    ke->squared += d * d;
                    ke->pixels += 1;
                }
            if (truth[x] == 0)
                continue;
            const double c = (std::abs(k[0] - fg[0]) + std::abs(k[1] - fg[1]) + std::abs(k[2] - fg[2])) / 3.0;
            e.colour += t * c;
            e.weight += t;
            for (KindErrors* ke : kinds)
                if (ke) {
                    ke->colour += t * c;
                    ke->weight += t;
                }
            if (fg[3] == RegionSkin || fg[3] == RegionGreyCloth) {
                e.neutralColour += t * c;
                e.neutralWeight += t;
            }
        }
    }
    e.sad /= 1000.0;
    return e;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const hvn::common::HXLookupTables tables(true);
    Errors total[2];
    const char* methods[2] = {"default", "baseline"};
    for (const SceneSpec& spec : StandardScenes()) {
        const QString base = folder + "/" + QString::fromStdString(spec.name);
        const QImage photoFile = QImage(base + "-photo.png").convertToFormat(QImage::Format_ARGB32);
        const QImage alpha = QImage(base + "-alpha.png").convertToFormat(QImage::Format_Grayscale8);
        const QImage foreground = QImage(base + "-foreground.png").convertToFormat(QImage::Format_ARGB32);
        if (photoFile.isNull() || alpha.size() != photoFile.size() || foreground.size() != photoFile.size()) {
            std::fprintf(stderr, "missing or mismatched files for %s (run GenerateKeyingScenes first)\n",
                         spec.name.c_str());
            return 1;
        }
        const int w = photoFile.width();
        const int h = photoFile.height();
        HXImage8 photo(w, h, HXPixelChannelOrderBGRA, false);
        for (int y = 0; y < h; ++y)
            std::memcpy(photo.Buffer() + static_cast<std::size_t>(y) * w * 4, photoFile.constScanLine(y),
                        static_cast<std::size_t>(w) * 4);
        for (int m = 0; m < 2; ++m) {
            HXImage8 keyed(w, h, HXPixelChannelOrderBGRA, false);
            const auto start = std::chrono::steady_clock::now();
            if (m == 0)
                DefaultKeyChain(photo, keyed, tables);
            else
                ChromaDistanceKey(photo, keyed, tables);
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            Errors e = Measure(keyed, alpha, foreground);
            e.milliseconds = ms;
            e.Print(spec.name.c_str(), methods[m]);
            if (m == 0)
                e.PrintKinds();
            total[m].Add(e);
        }
    }
    for (int m = 0; m < 2; ++m) {
        total[m].Print("total", methods[m]);
        total[m].PrintKinds();
    }
    std::printf("default SAD / baseline SAD: %.1f %%\n", 100.0 * total[0].sad / std::max(1e-9, total[1].sad));
    return 0;
}
