// The colour record of the graphics and interface code and the graphics library's shared
// colour constants.
#pragma once

// A colour as four floats from 0 to 1, passed by value.
struct color_4D {
    float red;
    float green;
    float blue;
    float alpha;
};

namespace CoreGraphics {

inline constexpr color_4D kColorWhiteOpaque = {1.0f, 1.0f, 1.0f, 1.0f};
inline constexpr color_4D kColorBlueTranslucent = {0.5f, 0.5f, 1.0f, 0.5f};
inline constexpr color_4D kColorBlackOpaque = {0.0f, 0.0f, 0.0f, 1.0f};

// Tints for debugging overlays.
inline constexpr color_4D colorDebugGray = {0.25f, 0.25f, 0.25f, 0.75f};
inline constexpr color_4D colorDebugRed = {0.25f, 0.0f, 0.0f, 0.75f};
inline constexpr color_4D colorDebugGreen = {0.0f, 0.25f, 0.0f, 0.75f};
inline constexpr color_4D colorDebugBlue = {0.0f, 0.0f, 0.25f, 0.75f};

}  // namespace CoreGraphics
