// The built-in filters of the Core Image layer, registered in the filter registry when it is
// first made, so that CIFilter::filterWithName finds them without any call by the user:
//
//   colour      CIColorControls, CIExposureAdjust, CIWhitePointAdjust, CIColorInvert
//   blur        CIGaussianBlur, CIBloom
//   geometry    CICrop, CIAffineTransform, CIBumpDistortion
//   composite   CIMultiplyBlendMode, CISourceOverCompositing
//   generators  CIConstantColorGenerator, CILinearGradient, CIRadialGradient
//
// Every one is in kCICategoryBuiltIn besides its own categories. Per-pixel work is done by
// kernels of the kernel language (each text translated once per process); crops and
// transforms fold into the samplers and cost no pass.
//
// Inputs, the rules common to all of them:
//   - images, colours and pixels are premultiplied; a colour adjustment unpremultiplies,
//     works, clamps the colour to [0, 1] and premultiplies again, so its output is always a
//     valid premultiplied colour. There is no colour management: values are taken as given.
//   - a number is clamped to its input's range: [minimum, maximum] where the attributes give
//     them, the slider's end where they do not (so a blur radius is at most 100);
//   - a missing image, an input of another kind (a text where a number belongs), a vector
//     with too few components, and a number, vector, colour or transform that is not finite
//     give a null outputImage.
#pragma once

#include <CoreImage/CIFilter.h>

#include <string>
#include <vector>

struct CIBuiltInFilterRegistration {
    std::string name;
    CIFilter::Constructor constructor;
    CIFilterClassAttributes classAttributes;
};

// Every built-in filter with its constructor and class attributes (the registry takes them
// when it is made).
std::vector<CIBuiltInFilterRegistration> CIBuiltInFilterRegistrations();
