// Mask shapes: MaskContext::MakeMaskShape paints one of 18 parameterised figures into a mask,
// and the clip-art pictures that shape 15 draws.
//
// Every shape 1..18 starts from an opaque mask (255) and cuts a transparent figure (0) into
// it, or shades it pixel by pixel; type 0 and any other type leave the mask transparent.
// The figure is centred on the mask, turned by AngleDegrees[0] and scaled by
// s = Param[0] x 1.1 + 0.1 (R is the mask's rectangle scaled by s about its centre, Q the
// largest square centred in R; types 4, 5 and 8 also take an aspect from Param[1]):
//
//   0  "None"                transparent
//   1  "Radial Gaussian"     per-pixel radial falloff: 0 at the centre, 255 outside
//   2  "Concentric Circles"  8 nested grey circles (Q)
//   3  "Circular"            circle in Q
//   4  "Elliptical"          ellipse in R
//   5  "Concentric Ellipses" 8 nested grey ellipses (R)
//   6  "Square"              Q
//   7  "Square(Rounded)"     Q with round corners (Param[1])
//   8  "Rectangle"           R
//   9  "Rectangle(Rounded)"  R with round corners (Param[1])
//   10 "Equilateral"         regular polygon of 5..25 corners (Param[1])
//   11 "Heart"
//   12 "Star"                star polygon of 5..25 corners (Param[1])
//   13 "Flower"              polar rose of 3..17 petals (Param[1])
//   14 "Pinwheel"            fan of wedges (Param[1])
//   15 "Clip Art"            a PDF picture of the bundle's resources (Param[1] chooses)
//   16 "Sunflower", 17 "Clovertye", 18 "Celtique"   superformula outlines (Param[1..3])
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <CoreG/Masks/namespace_CoreGraphics_MaskContext.h>

namespace CoreGraphics {

// The number of clip-art pictures: "MaskLipsInc", "MaskPeaceSign", "MaskButterfly",
// "MaskMaleSign", "MaskFemaleSign".
int ClipArtCount();

// The URL of the "pdf" resource of the main bundle for picture clamp(index, 0, count), or
// null for index count and above or when the bundle has no such file. Created.
CFURLRef CopyClipArtURL(int index);

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_MaskShapes();
