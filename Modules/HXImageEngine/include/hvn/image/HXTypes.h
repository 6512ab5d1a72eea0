#pragma once

#include <cstdint>

namespace hvn::image {

// Result codes of every Render() and setter.
enum HXResult : int {
    HXResultOk = 0,
    HXResultBadArgument = 2,
    HXResultImageMismatch = 3,
    HXResultOutOfMemory = 8,
    HXResultNotImplemented = 9,
};

// Byte order of a pixel in memory. 1: blue, green, red, alpha (little-endian ARGB32).
enum HXPixelChannelOrder : int {
    HXPixelChannelOrderRGBA = 0,
    HXPixelChannelOrderBGRA = 1,
};

// 0 means 8 bits a channel.
enum HXBitsPerChannel : int {
    HXBitsPerChannel8 = 0,
};

// Preview resolutions: linear size ratio 1, 0.75, 0.5, 0.25.
enum HXDownsampleFactor : int {
    HXDownsampleFactor0 = 0,
    HXDownsampleFactor1 = 1,
    HXDownsampleFactor2 = 2,
    HXDownsampleFactor3 = 3,
};

enum HXChannelsToProcess : int {
    HXChannelsAlpha = 3,
    HXChannelsColor = 4,
    HXChannelsColorAndAlpha = 5,
};

enum HXKeyColor : int {
    HXKeyColorAuto = 0,
    HXKeyColorGreen = 1,
    HXKeyColorBlue = 2,
};

// Channel whose spill is suppressed.
enum HXChannel : int {
    HXChannelRed = 0,
    HXChannelBlue = 1,
    HXChannelGreen = 2,
};

enum HXBlendMode : int {
    HXBlendModeAdd = 0,
    HXBlendModeColorBurn = 1,
    HXBlendModeColorDodge = 2,
    HXBlendModeDarken = 3,
    HXBlendModeDifference = 4,
    HXBlendModeExclusion = 5,
    HXBlendModeHardLight = 6,
    HXBlendModeLighten = 7,
    HXBlendModeMultiply = 8,
    HXBlendModeNormal = 9,
    HXBlendModeOverlay = 10,
    HXBlendModeScreen = 11,
    HXBlendModeSoftLight = 12,
};

// Both kinds are straight-alpha source-over.
enum HXCompositeType : int {
    HXCompositeTypeOver = 1,
    HXCompositeTypeOverMasked = 2,
};

enum HXYUVBlurType : int {
    HXYUVBlurHorizontal = 0,
    HXYUVBlurVertical = 1,
    HXYUVBlurBox = 2,
    HXYUVBlurGaussian = 3,
};

enum HXSpillType : int {
    HXSpillTypeStandard = 0,
    HXSpillTypeExtended = 1,
};

enum HXSpillApplyMethod : int {
    HXSpillApplyBeforeMasks = 0,
    HXSpillApplyAfterMasks = 1,
};

enum HXTintType : int {
    HXTintBlackAndWhite = 0,
    HXTintSepia = 1,
};

// The strength presets of the vignette panel.
enum HXVignetteType : int {
    HXVignetteTypeLight = 0,
    HXVignetteTypeNormal = 1,
    HXVignetteTypeBold = 2,
};

enum HXWhiteErodeDirection : int {
    HXWhiteErodeShrink = 0,
    HXWhiteErodeGrow = 1,
    HXWhiteErodeShrinkThenGrow = 2,
};

enum HXDepthOfFieldType : int {
    HXDepthOfFieldLinear = 0,
    HXDepthOfFieldRadial = 1,
};

// Where the default shadow quad throws the shadow: on the floor to the right or to the left of
// the subject, behind it (offset down and right), or on the floor in front of it. The compositor
// draws the quad it is given; the shape only chooses that default.
enum HXShadowCastShape : int {
    HXShadowCastShapeRight = 0,
    HXShadowCastShapeLeft = 1,
    HXShadowCastShapeBehind = 2,
    HXShadowCastShapeFront = 3,
};

struct HXPixel8_RGB {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    HXPixel8_RGB() = default;
    HXPixel8_RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) : red(r), green(g), blue(b) {}
    bool operator==(const HXPixel8_RGB&) const = default;
};

// The linear size ratio of a preview resolution: 0 -> 1.0, 1 -> 0.75, 2 -> 0.5, 3 -> 0.25.
double DownsampleValue(HXDownsampleFactor factor);

} // namespace hvn::image
