#pragma once

// Synthetic green- and blue-screen photographs with known alpha and foreground, for measuring how
// well the key chain pulls a matte. No Qt here: the programs around it do the file I/O.

#include <cstdint>
#include <string>
#include <vector>

namespace lumora::keying {

// What lies at a pixel of the true foreground. The measuring program groups its errors by these:
// strands, semi-transparent areas, opaque areas, and the colours that spill suppression must keep
// (skin, saturated yellow, cyan and khaki) or mend (grey under a green or blue cast).
enum Region : std::uint8_t {
    RegionNone = 0,
    RegionSkin = 1,
    RegionGreyCloth = 2,
    RegionGreenishCloth = 3,
    RegionHair = 4,
    RegionVeil = 5,
    RegionYellow = 6,      // saturated yellow cloth
    RegionCyan = 7,        // saturated cyan cloth
    RegionKhaki = 8,       // khaki cloth
    RegionTintedGrey = 9,  // grey under the backdrop's cast all over (its truth is the grey)
    RegionWarmCloth = 10,  // orange cloth
    RegionWarmVeil = 11,   // sheer orange fabric, semi-transparent
    RegionFlame = 12,      // a flame: yellow core, orange to red rim fading out
    RegionGlass = 13,      // clear glass with brighter rims
    RegionDarkCloth = 14,  // charcoal and black cloth
    RegionWhite = 15,      // white cloth
    RegionCord = 16,       // cords and threads about one pixel wide
    RegionBrown = 17,      // dark brown hair lying over the face in locks, with the backdrop's cast
    RegionLace = 18,       // twigs and lace, and the backdrop seen between their threads
    RegionCount
};

// The kinds of photograph: each shows a family of hard cases.
enum class SceneKind {
    // A head with hair strands 1 to 3 px wide, grey and green-ish clothing with soft edges, a veil.
    Portrait,
    // Warm subjects: skin with soft edges, a yellow and orange dress, a sheer orange scarf, a flame.
    Warm,
    // Saturated yellow, cyan and khaki clothing, white, a green-ish scarf, a grey board under the
    // backdrop's cast, cords one pixel wide.
    Wardrobe,
    // A low-key shot: the backdrop falls off into dark vignetted corners, dark clothing, flyaway
    // hair one pixel wide reaching into the dark, a glass.
    LowKey,
    // Fine detail: flyaway strands that thin from 2 px to below one at low coverage, reaching far
    // out from a head; dark brown locks over the face under the backdrop's cast; twigs and lace
    // with the backdrop between their threads.
    Fine,
};

const char* SceneKindName(SceneKind kind);

struct SceneSpec {
    std::string name;
    bool blueScreen = false;
    bool jpeg = false; // the caller compresses the photo at quality 85
    unsigned seed = 1;
    SceneKind kind = SceneKind::Portrait;
};

struct Scene {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> photo;      // B, G, R, A (opaque)
    std::vector<std::uint8_t> alpha;      // true alpha, one byte a pixel
    std::vector<std::uint8_t> foreground; // true foreground B, G, R and the Region in the fourth byte
};

// The set the accuracy program measures: every kind on green and on blue, each raw and
// JPEG-compressed.
std::vector<SceneSpec> StandardScenes();

// A photograph of about `megapixels` at 4:3 of the given kind, with uneven backdrop light
// (fall-off, hot spot, folds, the subject's soft shadow), backdrop spill on the subject near its
// edges, and sensor noise.
Scene MakeScene(const SceneSpec& spec, double megapixels);

} // namespace lumora::keying
