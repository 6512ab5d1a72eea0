#pragma once

// Synthetic green- and blue-screen photographs with known alpha and foreground, for measuring how
// well the key chain pulls a matte. No Qt here: the programs around it do the file I/O.

#include <cstdint>
#include <string>
#include <vector>

namespace lumora::keying {

// What lies at a pixel of the true foreground; neutral regions (skin, grey cloth) must come out
// of spill suppression without a colour cast.
enum Region : std::uint8_t {
    RegionNone = 0,
    RegionSkin = 1,
    RegionGreyCloth = 2,
    RegionGreenishCloth = 3,
    RegionHair = 4,
    RegionVeil = 5,
};

struct SceneSpec {
    std::string name;
    bool blueScreen = false;
    bool jpeg = false; // the caller compresses the photo at quality 85
    unsigned seed = 1;
};

struct Scene {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> photo;      // B, G, R, A (opaque)
    std::vector<std::uint8_t> alpha;      // true alpha, one byte a pixel
    std::vector<std::uint8_t> foreground; // true foreground B, G, R and the Region in the fourth byte
};

// The small set the accuracy program measures: green and blue, each raw and JPEG-compressed.
std::vector<SceneSpec> StandardScenes();

// A photograph of about `megapixels` at 4:3: a head with hair strands 1 to 3 pixels wide, grey and
// green-ish clothing with soft edges, a veil, uneven backdrop light (fall-off, hot spot, folds, the
// subject's soft shadow), backdrop spill on the subject near its edges, and sensor noise.
Scene MakeScene(const SceneSpec& spec, double megapixels);

} // namespace lumora::keying
