// NSColorWell(CoreImage): a colour well's colour as a Core Image colour, both ways, through
// the well's alpha-handling operations (UICocoaColor/NSColorWellWithAlpha.h).
#pragma once

#include <CoreImage/CIColor.h>
#include <UICocoaColor/NSColorWellWithAlpha.h>

namespace NSColorWell_CoreImage {

// The well's four components.
CIColor getCIColorAlpha(const NSColorWell &well);
// The well's red, green and blue with alpha 1.0.
CIColor getCIColorOpaque(const NSColorWell &well);
// All four components.
void setCIColor(NSColorWell &well, const CIColor &color);
// Red, green and blue, alpha 1.0.
void setCIColorOpaque(NSColorWell &well, const CIColor &color);
// Red, green and blue, the well's alpha kept.
void setCIColorPreserveAlpha(NSColorWell &well, const CIColor &color);

}  // namespace NSColorWell_CoreImage
