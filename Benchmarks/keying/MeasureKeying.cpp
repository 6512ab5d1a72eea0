// Keys the photographs written by GenerateKeyingScenes with the default key chain of a new project
// and with a plain chroma-distance key, and prints the errors against the truth, per scene, per
// kind of scene and in total:
// - SAD (sum of absolute alpha differences, alpha in 0..1, in thousands) and MSE of alpha (x 1000);
// - leak: backdrop pixels (true alpha 0) keyed above 0.1 where the backdrop is plain: more than
//   16 px from the subject, beyond the 16 x 16 colour blocks of a JPEG, whose ringing puts subject
//   colour into backdrop pixels near edges and strands; "near" counts them from 3 to 16 px, "edge"
//   within 2 px of the subject;
// - holes: opaque pixels (true alpha 1) keyed below 0.9, in % of the opaque pixels, strands
//   aside (their cores are measured by the strand error);
// - strands: mean |alpha - truth| over hair and cord pixels; recall: keyed alpha summed over the
//   strand pixels beyond the opaque subject's outline (more than 3 px from it), divided by the true
//   alpha summed there (faint flyaways keyed to nothing read far below 1);
// - row streaks: in semi-transparent areas, the mean |vertical step| of the alpha error against
//   its mean |horizontal step| (near 1 when the error has no direction; far from 1 for artefacts
//   that run along rows or columns);
// - RMS: the keyed result composited over mid-grey against the truth composited the same way, in
//   levels of 255, over the whole frame (and over the subject, where the true alpha is above 0);
// - colour: mean colour error (levels, weighted by the true alpha) of the keyed foreground;
// - true colours after spill suppression: for opaque skin, yellow, cyan, khaki and dark brown the largest
//   channel shift of their mean colour, and for grey under the backdrop's cast how far its key
//   channel still stands above the mean of the other two; beside them, how far the photograph's
//   own colour already stands from the truth (JPEG compression).
// For the default chain it also splits the errors by the kind of region a pixel belongs to, so a
// change can be judged where keys are hard (strands, soft edges, semi-transparent areas).
// Usage: MeasureKeying <folder> [--save <folder>] [--crops <folder>] [--no-baseline] [--scene <name>]
//        --save writes each keyed result as PNG; --crops writes crops of the hard places of each
//        scene (true alpha, keyed alpha, error, result over grey; at 100 % above, the middle at
//        400 % below); --no-baseline skips the chroma-distance key;
//        --scene measures only <name>-photo.png with its truths (any photograph written in the
//        generator's form, such as a sample image with its true matte).

#include "KeyingScenes.h"

#include "hvn/common/HXLookupTables.h"
#include "hvn/image/HXImageKeyer.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <string>

using namespace lumora::keying;
using namespace hvn::image;

namespace {

// The kinds of pixel the errors are split by.
enum Kind {
    KindStrands,
    KindSoftEdges,
    KindSemiTransparent,
    KindFineTexture,
    KindOpaque,
    KindGreenishCloth,
    KindBackdrop,
    KindCount
};
const char* const kKindNames[KindCount] = {"strands", "soft edges",    "semi-transp.", "fine texture",
                                           "opaque",  "  green cloth", "backdrop"};

// Hair and cords are strands whatever their alpha; veils, glass, sheer fabric and the flame are
// semi-transparent while partly covering; other subject pixels are soft edges while partly
// covered. Green-ish cloth (opaque) is also counted on its own, as a part of the opaque subject.
// Twigs and lace count as fine texture with the backdrop between their threads.
Kind KindOf(std::uint8_t truth, std::uint8_t region)
{
    if (region == RegionLace)
        return KindFineTexture;
    if (truth == 0)
        return KindBackdrop;
    if (region == RegionHair || region == RegionCord)
        return KindStrands;
    if (truth == 255)
        return KindOpaque;
    if (region == RegionVeil || region == RegionWarmVeil || region == RegionGlass || region == RegionFlame)
        return KindSemiTransparent;
    return KindSoftEdges;
}

// The colours whose truth spill suppression must keep, and grey under a cast that it must mend.
enum Checked { CheckedSkin, CheckedYellow, CheckedCyan, CheckedKhaki, CheckedBrown, CheckedTintedGrey, CheckedCount };
const char* const kCheckedNames[CheckedCount] = {"skin", "yellow", "cyan", "khaki", "dark brown", "grey cast"};

int CheckedOf(std::uint8_t region)
{
    switch (region) {
    case RegionSkin: return CheckedSkin;
    case RegionYellow: return CheckedYellow;
    case RegionCyan: return CheckedCyan;
    case RegionKhaki: return CheckedKhaki;
    case RegionBrown: return CheckedBrown;
    case RegionTintedGrey: return CheckedTintedGrey;
    default: return -1;
    }
}

constexpr int kEdgeReach = 2;
constexpr int kBlockReach = 16;
constexpr int kOutlineReach = 3;

struct KindErrors {
    double sad = 0;
    double bias = 0; // sum of signed alpha errors: above 0 where the key is too opaque
    double squared = 0;
    double pixels = 0;
    double colour = 0;
    double weight = 0;

    void Add(const KindErrors& o)
    {
        sad += o.sad;
        bias += o.bias;
        squared += o.squared;
        pixels += o.pixels;
        colour += o.colour;
        weight += o.weight;
    }
};

// Sums of keyed, true and photographed colour (bytes 0, 1, 2) over the opaque pixels of a checked
// colour.
struct ColourSums {
    double keyed[3] = {0, 0, 0};
    double truth[3] = {0, 0, 0};
    double photographed[3] = {0, 0, 0};
    double pixels = 0;
};

struct Errors {
    double sad = 0; // in thousands
    double squared = 0;
    double pixels = 0;
    double colour = 0; // alpha-weighted sum of mean channel errors
    double weight = 0;
    double leak = 0;
    double nearLeak = 0;
    double edgeLeak = 0;
    double holes = 0;
    double opaque = 0;
    double strandError = 0;
    double strandPixels = 0;
    double recallKeyed = 0; // alpha sums over strand pixels beyond the opaque outline
    double recallTruth = 0;
    double verticalSteps = 0; // |steps| of the alpha error between semi-transparent neighbours
    double verticalPairs = 0;
    double horizontalSteps = 0;
    double horizontalPairs = 0;
    double composite = 0; // sum of squared composite errors over all channels
    double subjectComposite = 0;
    double subjectPixels = 0;
    double milliseconds = 0;
    KindErrors kinds[KindCount];
    ColourSums checked[CheckedCount];
    int keyByte = 1; // byte of the backdrop's channel, for the grey cast

    void Add(const Errors& o)
    {
        for (int k = 0; k < KindCount; ++k)
            kinds[k].Add(o.kinds[k]);
        sad += o.sad;
        squared += o.squared;
        pixels += o.pixels;
        colour += o.colour;
        weight += o.weight;
        leak += o.leak;
        nearLeak += o.nearLeak;
        edgeLeak += o.edgeLeak;
        holes += o.holes;
        opaque += o.opaque;
        strandError += o.strandError;
        strandPixels += o.strandPixels;
        recallKeyed += o.recallKeyed;
        recallTruth += o.recallTruth;
        verticalSteps += o.verticalSteps;
        verticalPairs += o.verticalPairs;
        horizontalSteps += o.horizontalSteps;
        horizontalPairs += o.horizontalPairs;
        composite += o.composite;
        subjectComposite += o.subjectComposite;
        subjectPixels += o.subjectPixels;
        milliseconds += o.milliseconds;
    }
    double HolesPercent() const { return 100.0 * holes / std::max(1.0, opaque); }
    double StrandError() const { return strandError / std::max(1.0, strandPixels); }
    // NaN where the scene has (almost) none of what is measured.
    double Recall() const { return recallTruth < 50 ? std::nan("") : recallKeyed / recallTruth; }
    double RowStreak() const
    {
        if (verticalPairs < 1000 || horizontalPairs < 1000)
            return std::nan("");
        return (verticalSteps / verticalPairs) / std::max(1e-9, horizontalSteps / horizontalPairs);
    }
    double Rms() const { return std::sqrt(composite / std::max(1.0, 3.0 * pixels)); }
    double SubjectRms() const { return std::sqrt(subjectComposite / std::max(1.0, 3.0 * subjectPixels)); }

    static void PrintHeader()
    {
        std::printf("%-22s %-8s %8s %8s %8s %8s %8s %7s %7s %6s %6s %6s %6s %6s %6s\n", "scene", "method", "SAD",
                    "MSE x1e3", "leak px", "near", "edge", "holes%", "strands", "recall", "streak", "RMS", "RMS fg",
                    "colour", "ms");
    }
    void Print(const char* scene, const char* method) const
    {
        std::printf("%-22s %-8s %8.1f %8.3f %8.0f %8.0f %8.0f %7.3f %7.3f %6.3f %6.2f %6.2f %6.2f %6.2f %6.0f\n", scene,
                    method, sad, 1000.0 * squared / std::max(1.0, pixels), leak, nearLeak, edgeLeak, HolesPercent(),
                    StrandError(), Recall(), RowStreak(), Rms(), SubjectRms(), colour / std::max(1e-9, weight),
                    milliseconds);
    }
    void PrintKinds() const
    {
        for (int k = 0; k < KindCount; ++k) {
            const KindErrors& e = kinds[k];
            std::printf("    %-14s SAD %8.1f  bias %+7.3f  MSE(x1000) %7.3f  colour error %6.2f  (%.2f MP)\n",
                        kKindNames[k], e.sad / 1000.0, e.bias / std::max(1.0, e.pixels),
                        1000.0 * e.squared / std::max(1.0, e.pixels), e.colour / std::max(1e-9, e.weight),
                        e.pixels / 1.0e6);
        }
    }
    // The checked colour's error in levels: the largest channel shift of its mean, or for the grey
    // under a cast, how far the backdrop's channel stands above the mean of the other two. NaN
    // where the scene has none of it.
    double CheckedError(int c) const
    {
        const ColourSums& s = checked[c];
        if (s.pixels < 100)
            return std::nan("");
        if (c == CheckedTintedGrey) {
            const double k = s.keyed[keyByte] / s.pixels;
            double others = 0;
            for (int b = 0; b < 3; ++b)
                if (b != keyByte)
                    others += s.keyed[b] / s.pixels;
            return k - 0.5 * others;
        }
        double worst = 0;
        for (int b = 0; b < 3; ++b)
            worst = std::max(worst, std::abs(s.keyed[b] - s.truth[b]) / s.pixels);
        return worst;
    }
    // How far the photograph itself already stands from the true colour there (a JPEG's
    // compression moves colours before any key): the same largest channel shift. NaN as above,
    // and for the grey under a cast, whose photograph is meant to be off.
    double PhotographedError(int c) const
    {
        const ColourSums& s = checked[c];
        if (s.pixels < 100 || c == CheckedTintedGrey)
            return std::nan("");
        double worst = 0;
        for (int b = 0; b < 3; ++b)
            worst = std::max(worst, std::abs(s.photographed[b] - s.truth[b]) / s.pixels);
        return worst;
    }
};

// Spill suppression as the render pipeline applies it after the key pass with the default item:
// extended, full strength, no added-back channels, neutral bias, on the detected backdrop channel.
void SuppressSpill(HXImage8& image, HXKeyColor detected, const hvn::common::HXLookupTables& tables)
{
    HXImageKeyer spill(image, image, tables, HXDownsampleFactor0);
    spill.SetSpillSuppression(detected == HXKeyColorBlue ? HXChannelBlue : HXChannelGreen, HXSpillTypeExtended, 1.0,
                              0.0, 0.0, 0.0, 1.0);
    spill.Render();
}

// The default key list of a new project: only the automatic colour-difference key is on.
void DefaultKeyChain(const HXImage8& photo, HXImage8& out, HXKeyColor detected,
                     const hvn::common::HXLookupTables& tables)
{
    HXImageKeyer keyer(const_cast<HXImage8&>(photo), out, tables, HXDownsampleFactor0);
    keyer.SetAutoColorDifferenceKey(HXKeyColorAuto, 1.0, 0.0, 0.33);
    if (const int result = keyer.Render())
        std::fprintf(stderr, "key failed: %d\n", result);
    SuppressSpill(out, detected, tables);
}

// Baseline: alpha from the chroma (CbCr) distance to the backdrop colour sampled along the frame's
// border, transparent within 45 % of the key's own chroma distance from grey, opaque beyond 85 %.
void ChromaDistanceKey(const HXImage8& photo, HXImage8& out, HXKeyColor detected,
                       const hvn::common::HXLookupTables& tables)
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
    SuppressSpill(out, detected, tables);
}

// 1 where a pixel of the true subject (alpha above 0) lies within `reach` pixels (a square):
// running counts along rows, then along columns.
std::vector<std::uint8_t> NearSubject(const QImage& alpha, int reach)
{
    const int w = alpha.width();
    const int h = alpha.height();
    std::vector<std::uint16_t> rows(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* truth = alpha.constScanLine(y);
        int count = 0;
        for (int x = 0; x < std::min(w, reach); ++x)
            count += truth[x] != 0;
        for (int x = 0; x < w; ++x) {
            if (x + reach < w)
                count += truth[x + reach] != 0;
            if (x - reach - 1 >= 0)
                count -= truth[x - reach - 1] != 0;
            rows[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint16_t>(count);
        }
    }
    std::vector<std::uint8_t> near(rows.size());
    std::vector<int> counts(static_cast<std::size_t>(w), 0);
    for (int y = 0; y < std::min(h, reach); ++y)
        for (int x = 0; x < w; ++x)
            counts[x] += rows[static_cast<std::size_t>(y) * w + x];
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (y + reach < h)
                counts[x] += rows[static_cast<std::size_t>(y + reach) * w + x];
            if (y - reach - 1 >= 0)
                counts[x] -= rows[static_cast<std::size_t>(y - reach - 1) * w + x];
            near[static_cast<std::size_t>(y) * w + x] = counts[x] != 0;
        }
    }
    return near;
}

Errors Measure(const HXImage8& keyed, const QImage& alpha, const QImage& foreground, const QImage& photo,
               HXKeyColor detected)
{
    Errors e;
    e.keyByte = detected == HXKeyColorBlue ? 0 : 1;
    const int w = keyed.Width();
    const std::vector<std::uint8_t> atEdge = NearSubject(alpha, kEdgeReach);
    const std::vector<std::uint8_t> nearSubject = NearSubject(alpha, kBlockReach);
    // The opaque subject's outline, strands aside, grown by kOutlineReach: strand pixels beyond it
    // are flyaways over plain backdrop.
    QImage opaqueSubject(alpha.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < alpha.height(); ++y) {
        const std::uint8_t* truth = alpha.constScanLine(y);
        const std::uint8_t* fg = foreground.constScanLine(y);
        std::uint8_t* o = opaqueSubject.scanLine(y);
        for (int x = 0; x < alpha.width(); ++x)
            o[x] = truth[x] == 255 && fg[4 * x + 3] != RegionHair && fg[4 * x + 3] != RegionCord ? 255 : 0;
    }
    const std::vector<std::uint8_t> withinOutline = NearSubject(opaqueSubject, kOutlineReach);
    // Semi-transparent pixels' alpha error, for the row-streak figure.
    const auto translucent = [&](const std::uint8_t* truth, const std::uint8_t* fg, int x) {
        return KindOf(truth[x], fg[4 * x + 3]) == KindSemiTransparent;
    };
    for (int y = 0; y < keyed.Height(); ++y) {
        const std::uint8_t* truth = alpha.constScanLine(y);
        const std::uint8_t* fg = foreground.constScanLine(y);
        const std::uint8_t* k = keyed.Buffer() + static_cast<std::size_t>(y) * w * 4;
        const bool below = y + 1 < keyed.Height();
        const std::uint8_t* truthBelow = below ? alpha.constScanLine(y + 1) : nullptr;
        const std::uint8_t* fgBelow = below ? foreground.constScanLine(y + 1) : nullptr;
        for (int x = 0; x < w; ++x) {
            if (!translucent(truth, fg, x))
                continue;
            const int error = int(k[4 * x + 3]) - int(truth[x]);
            if (x + 1 < w && translucent(truth, fg, x + 1)) {
                e.horizontalSteps += std::abs(int(k[4 * x + 7]) - int(truth[x + 1]) - error) / 255.0;
                e.horizontalPairs += 1;
            }
            if (below && translucent(truthBelow, fgBelow, x)) {
                e.verticalSteps += std::abs(int(k[4 * (x + w) + 3]) - int(truthBelow[x]) - error) / 255.0;
                e.verticalPairs += 1;
            }
        }
    }
    for (int y = 0; y < keyed.Height(); ++y) {
        const std::uint8_t* truth = alpha.constScanLine(y);
        const std::uint8_t* fg = foreground.constScanLine(y);
        const std::uint8_t* photographed = photo.constScanLine(y);
        const std::uint8_t* k = keyed.Buffer() + static_cast<std::size_t>(y) * w * 4;
        for (int x = 0; x < w; ++x, k += 4, fg += 4) {
            const double t = truth[x] / 255.0;
            const double a = k[3] / 255.0;
            const double d = a - t;
            e.sad += std::abs(d);
            e.squared += d * d;
            e.pixels += 1;
            // Both composited over mid-grey.
            double composite = 0;
            for (int c = 0; c < 3; ++c) {
                const double diff = (a * k[c] + (1 - a) * 128.0) - (t * fg[c] + (1 - t) * 128.0);
                composite += diff * diff;
            }
            e.composite += composite;
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
            if (truth[x] == 0) {
                const bool leak = k[3] > 25; // above 0.1
                const std::size_t i = static_cast<std::size_t>(y) * w + x;
                (atEdge[i] ? e.edgeLeak : nearSubject[i] ? e.nearLeak : e.leak) += leak;
                continue;
            }
            e.subjectComposite += composite;
            e.subjectPixels += 1;
            if (kind == KindStrands) {
                e.strandError += std::abs(d);
                e.strandPixels += 1;
                if (!withinOutline[static_cast<std::size_t>(y) * w + x]) {
                    e.recallKeyed += a;
                    e.recallTruth += t;
                }
            }
            if (truth[x] == 255 && kind != KindStrands && kind != KindFineTexture) {
                e.opaque += 1;
                e.holes += k[3] < 230; // below 0.9
                if (const int c = CheckedOf(fg[3]); c >= 0) {
                    ColourSums& s = e.checked[c];
                    for (int b = 0; b < 3; ++b) {
                        s.keyed[b] += k[b];
                        s.truth[b] += fg[b];
                        s.photographed[b] += photographed[4 * x + b];
                    }
                    s.pixels += 1;
                }
            }
            const double c = (std::abs(k[0] - fg[0]) + std::abs(k[1] - fg[1]) + std::abs(k[2] - fg[2])) / 3.0;
            e.colour += t * c;
            e.weight += t;
            for (KindErrors* ke : kinds)
                if (ke) {
                    ke->colour += t * c;
                    ke->weight += t;
                }
        }
    }
    e.sad /= 1000.0;
    return e;
}

void PrintChecked(const char* scene, const Errors& e, bool photographed = false)
{
    std::printf("%-22s", scene);
    for (int c = 0; c < CheckedCount; ++c) {
        const double v = photographed ? e.PhotographedError(c) : e.CheckedError(c);
        if (std::isnan(v))
            std::printf(" %9s", "-");
        else
            std::printf(" %9.2f", v);
    }
    std::printf("\n");
}

// The hard places of each kind of scene, as centres in fractions of the frame.
struct CropPlace {
    const char* name;
    double x, y;
};

std::vector<CropPlace> CropPlaces(SceneKind kind)
{
    switch (kind) {
    case SceneKind::Portrait:
        return {{"hair", 0.39, 0.4}, {"cloth", 0.62, 0.8}, {"cloth-edge", 0.74, 0.85}, {"veil", 0.79, 0.3}};
    case SceneKind::Warm: return {{"flame", 0.675, 0.15}, {"scarf", 0.85, 0.6}, {"hair", 0.34, 0.25}};
    case SceneKind::Wardrobe: return {{"scarf", 0.14, 0.6}, {"board", 0.42, 0.6}, {"cyan", 0.56, 0.7}};
    case SceneKind::LowKey: return {{"flyaways", 0.42, 0.45}, {"glass", 0.78, 0.7}};
    case SceneKind::Fine:
        return {{"flyaways", 0.245, 0.36}, {"locks", 0.33, 0.27}, {"lace", 0.78, 0.25}, {"twigs", 0.8, 0.75}};
    }
    return {};
}

// Writes <scene>-<place>.png for each hard place: four panels side by side (true alpha, keyed
// alpha, the error as mid-grey plus twice keyed minus true, the keyed result over mid-grey), 240 x
// 180 pixels at 100 %, and below them their middle 60 x 45 pixels at 400 %.
void WriteCrops(const HXImage8& keyed, const QImage& alpha, SceneKind kind, const QString& folder,
                const std::string& scene)
{
    constexpr int cw = 240, ch = 180, zoom = 4;
    const int w = keyed.Width(), h = keyed.Height();
    for (const CropPlace& place : CropPlaces(kind)) {
        const int x0 = std::clamp(int(place.x * w) - cw / 2, 0, std::max(0, w - cw));
        const int y0 = std::clamp(int(place.y * h) - ch / 2, 0, std::max(0, h - ch));
        QImage out(4 * cw, 2 * ch, QImage::Format_RGB32);
        out.fill(Qt::black);
        const auto panels = [&](int px, int py) {
            const int x = std::min(x0 + px, w - 1), y = std::min(y0 + py, h - 1);
            const std::uint8_t* k = keyed.Buffer() + (static_cast<std::size_t>(y) * w + x) * 4;
            const int t = alpha.constScanLine(y)[x];
            const int e = std::clamp(128 + 2 * (int(k[3]) - t), 0, 255);
            const auto over = [&](int c) { return (k[c] * k[3] + 128 * (255 - k[3]) + 127) / 255; };
            return std::array<QRgb, 4>{qRgb(t, t, t), qRgb(k[3], k[3], k[3]), qRgb(e, e, e),
                                       qRgb(over(2), over(1), over(0))};
        };
        for (int py = 0; py < ch; ++py)
            for (int px = 0; px < cw; ++px) {
                const auto p = panels(px, py);
                for (int i = 0; i < 4; ++i)
                    out.setPixel(i * cw + px, py, p[i]);
                // The middle, four times as large.
                const auto m = panels(cw / 2 - cw / (2 * zoom) + px / zoom, ch / 2 - ch / (2 * zoom) + py / zoom);
                for (int i = 0; i < 4; ++i)
                    out.setPixel(i * cw + px, ch + py, m[i]);
            }
        out.save(folder + "/" + QString::fromStdString(scene) + "-" + place.name + ".png", "PNG", 80);
    }
}

struct SceneFiles {
    QImage photo;
    QImage alpha;
    QImage foreground;
};

SceneFiles Load(const QString& folder, const SceneSpec& spec)
{
    const QString base = folder + "/" + QString::fromStdString(spec.name);
    return {QImage(base + "-photo.png").convertToFormat(QImage::Format_ARGB32),
            QImage(base + "-alpha.png").convertToFormat(QImage::Format_Grayscale8),
            QImage(base + "-foreground.png").convertToFormat(QImage::Format_ARGB32)};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString saveFolder;
    QString cropFolder;
    bool baseline = true;
    std::string only;
    bool usage = argc < 2;
    for (int i = 2; i < argc && !usage; ++i) {
        if (std::strcmp(argv[i], "--save") == 0 && i + 1 < argc)
            saveFolder = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--crops") == 0 && i + 1 < argc)
            cropFolder = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--no-baseline") == 0)
            baseline = false;
        else if (std::strcmp(argv[i], "--scene") == 0 && i + 1 < argc)
            only = argv[++i];
        else
            usage = true;
    }
    if (usage) {
        std::fprintf(stderr, "usage: %s <folder> [--save <folder>] [--crops <folder>] [--no-baseline] [--scene <name>]\n",
                     argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (const QString& made : {saveFolder, cropFolder})
        if (!made.isEmpty() && !QDir().mkpath(made)) {
            std::fprintf(stderr, "cannot make %s\n", qPrintable(made));
            return 2;
        }
    const hvn::common::HXLookupTables tables(true);
    const char* methods[2] = {"default", "baseline"};
    const int methodCount = baseline ? 2 : 1;
    Errors total[2];
    std::map<std::string, std::array<Errors, 2>> byKind;
    std::vector<std::pair<std::string, Errors>> scenes;
    Errors::PrintHeader();
    // The files of the next few scenes are read while one is keyed (decoding takes longer than
    // keying); keying itself runs alone, so its time is not disturbed by more than the readers.
    std::vector<SceneSpec> specs = StandardScenes();
    if (!only.empty()) {
        // A scene of the standard set keeps its kind (so its crops show its hard places).
        SceneSpec named;
        named.name = only;
        for (const SceneSpec& spec : specs)
            if (spec.name == only)
                named = spec;
        specs = {named};
    }
    std::deque<std::future<SceneFiles>> pending;
    std::size_t next = 0;
    const auto refill = [&] {
        while (next < specs.size() && pending.size() < 3)
            pending.push_back(std::async(std::launch::async, Load, folder, specs[next++]));
    };
    for (const SceneSpec& spec : specs) {
        refill();
        const SceneFiles files = pending.front().get();
        pending.pop_front();
        const QImage& photoFile = files.photo;
        const QImage& alpha = files.alpha;
        const QImage& foreground = files.foreground;
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
        HXKeyColor detected = HXKeyColorGreen;
        AutoDetectKeyColor(&photo, 0, &detected);
        for (int m = 0; m < methodCount; ++m) {
            HXImage8 keyed(w, h, HXPixelChannelOrderBGRA, false);
            const auto start = std::chrono::steady_clock::now();
            if (m == 0)
                DefaultKeyChain(photo, keyed, detected, tables);
            else
                ChromaDistanceKey(photo, keyed, detected, tables);
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            Errors e = Measure(keyed, alpha, foreground, photoFile, detected);
            e.milliseconds = ms;
            e.Print(spec.name.c_str(), methods[m]);
            total[m].Add(e);
            byKind[SceneKindName(spec.kind)][m].Add(e);
            if (m == 0) {
                scenes.emplace_back(spec.name, e);
                if (!saveFolder.isEmpty())
                    QImage(keyed.Buffer(), w, h, w * 4, QImage::Format_ARGB32)
                        .save(saveFolder + "/" + QString::fromStdString(spec.name) + "-keyed.png", "PNG", 80);
                if (!cropFolder.isEmpty())
                    WriteCrops(keyed, alpha, spec.kind, cropFolder, spec.name);
            }
        }
    }

    std::printf("\nper kind of scene\n");
    Errors::PrintHeader();
    for (const auto& [kind, errors] : byKind)
        for (int m = 0; m < methodCount; ++m)
            errors[m].Print(kind.c_str(), methods[m]);
    std::printf("\ntotal\n");
    Errors::PrintHeader();
    for (int m = 0; m < methodCount; ++m)
        total[m].Print("total", methods[m]);

    std::printf("\nper kind of region, default chain\n");
    total[0].PrintKinds();
    if (baseline) {
        std::printf("per kind of region, baseline\n");
        total[1].PrintKinds();
    }

    std::printf("\ntrue colours after spill suppression, default chain (levels; grey cast: key channel above the "
                "others' mean)\n%-22s",
                "scene");
    for (const char* name : kCheckedNames)
        std::printf(" %9s", name);
    std::printf("\n");
    double worst[CheckedCount] = {};
    for (const auto& [name, e] : scenes) {
        PrintChecked(name.c_str(), e);
        for (int c = 0; c < CheckedCount; ++c)
            if (!std::isnan(e.CheckedError(c)))
                worst[c] = std::max(worst[c], std::abs(e.CheckedError(c)));
    }
    std::printf("%-22s", "worst");
    for (const double v : worst)
        std::printf(" %9.2f", v);
    std::printf("\n");

    std::printf("\nthe photographs' own colours against the truth, before any key (levels)\n");
    double worstPhotographed[CheckedCount] = {};
    for (const auto& [name, e] : scenes) {
        PrintChecked(name.c_str(), e, true);
        for (int c = 0; c < CheckedCount; ++c)
            if (!std::isnan(e.PhotographedError(c)))
                worstPhotographed[c] = std::max(worstPhotographed[c], e.PhotographedError(c));
    }
    std::printf("%-22s", "worst");
    for (int c = 0; c < CheckedCount; ++c)
        std::printf(" %9s", c == CheckedTintedGrey ? "-" : QByteArray::number(worstPhotographed[c], 'f', 2).constData());
    std::printf("\n");
    if (baseline)
        std::printf("\ndefault SAD / baseline SAD: %.1f %%\n", 100.0 * total[0].sad / std::max(1e-9, total[1].sad));
    return 0;
}
