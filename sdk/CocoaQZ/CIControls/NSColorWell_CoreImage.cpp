#include "NSColorWell_CoreImage.h"

namespace NSColorWell_CoreImage {

CIColor getCIColorAlpha(const NSColorWell &well) {
    const color_4D c = well.getColor4D();
    return CIColor::colorWithRed(c.red, c.green, c.blue, c.alpha);
}

CIColor getCIColorOpaque(const NSColorWell &well) {
    const color_3D c = well.getColor3DOpaque();
    return CIColor::colorWithRed(c.red, c.green, c.blue, 1.0);
}

void setCIColor(NSColorWell &well, const CIColor &color) {
    well.setColor4D({float(color.red()), float(color.green()), float(color.blue()), float(color.alpha())});
}

void setCIColorOpaque(NSColorWell &well, const CIColor &color) {
    well.setColor3DOpaque({float(color.red()), float(color.green()), float(color.blue())});
}

void setCIColorPreserveAlpha(NSColorWell &well, const CIColor &color) {
    well.setColor3DPreserveAlpha({float(color.red()), float(color.green()), float(color.blue())});
}

}  // namespace NSColorWell_CoreImage
