// Mask screens: MaskContext::MakeMaskScreen paints a repeating or radial pattern into a mask,
// the partner of the shape in the composite mask. P0..P3 are Param[0..3], A is
// AngleDegrees[0]:
//
//   0  "None"                     transparent
//   1  "Rays Center Out"          white fan of rays from the centre (P0 count, P2 alpha)
//   2  "Rays Corner Out"          white fan of rays from the corner A chooses
//   3  "Spiral"                   per pixel, through the ramp table
//   4  "Parabola"                 per pixel, through the ramp table
//   5  "Perlin Blocks"            grid of noise-shaded squares on opaque
//   6  "Perlin Dots"              grid of noise-shaded circles on opaque
//   7  "Perlin Bars Horizontal"   noise-shaded bands
//   8  "Perlin Bars Vertical"
//   9  "Waveform f(x)"            a plot of the waveform across the width, on opaque
//   10 "Horizontal f(x) Filter"   one grey line a row
//   11 "Vertical f(y) Filter"     one grey line a column
//   12 "Radial f(t) Filter"       per pixel: the waveform of the distance from the centre
//   13 "Radial sin(t) Filter"     ... of the sine of the distance
//   14 "Radial n^2 Filter"        ... of the squared distance
//   15 "Radial Polar Filter"      ... of the polar angle
//   16 "Horizontal Screen", 17 "Vertical Screen", 18 "Square Screen"   grey lines
//   19 "Square Blocks"            grid of grey squares on opaque
//   21 (unlisted)                 Perlin noise fill, octave trunc(P0 x 128 + 1), amplitude P1
//   22 (unlisted)                 the mask is left as it is
//   20 and any other type         transparent
//
// The waveform screens use W = Waveform(trunc(7 x P2), theta, 0.25 x h x (1 - P0)^2 + 1,
// A / 360 x 2 pi, 2 x P1) and the level g = (W + 1) / 2 limited to 0..1. Every per-pixel
// value is computed in double precision and turned into a byte by a conversion that is
// defined for any value (NaN gives 0).
#pragma once

#include <cstdint>

#include <CoreG/Masks/namespace_CoreGraphics_MaskContext.h>

namespace CoreGraphics {

// A periodic function of theta (radians). With x = (theta + phase) x frequency and d = x in
// degrees wrapped into [0, 360):
//   0 square: amplitude when d < 180, else -amplitude    4 amplitude x cos x
//   1 sawtooth: 0 at d = 0, else (2d/360 - 1) x amplitude 5 amplitude x |sin x|
//   2 triangle: (2 acos(cos x) / pi - 1) x amplitude      6 amplitude x |cos x|
//   3 amplitude x sin x                                   7 4 x amplitude x Perlin noise
//   any other kind: -amplitude
// Kind 7 is Noise1FromNormalValue(acos(cos x) in degrees / 360, OctaveFromFrequency(frequency))
// of the shared noise. 0 when x is not finite.
double Waveform(int kind, double theta, double frequency, double phase, double amplitude);

// The ramp of the spiral and parabola screens: 0 for 0..111, rising by 16 from 15 to 255
// over 112..127, 255 for 128..239, falling by 16 from 240 to 0 over 240..255. A constant
// table, so it is ready before any use on any thread.
const uint8_t *MaskScreenRampTable();

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_MaskScreens();
