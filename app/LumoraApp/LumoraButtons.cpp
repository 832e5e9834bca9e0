#include "LumoraButtons.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(LumoraSquareButton);
NS_REGISTER_CLASS(LumoraLargeButton);
NS_REGISTER_CLASS(LumoraLEDButton);
NS_REGISTER_CLASS(LumoraRecordButton);
NS_REGISTER_CLASS(LumoraRoundButton);
NS_REGISTER_CLASS(LumoraRoundPushButton);

namespace {

CGRect LowerLeft(CGRect rect) { return CGRectMake(rect.origin.x, rect.origin.y, 0.8 * rect.size.width, 0.8 * rect.size.height); }

}  // namespace

CGRect LumoraNOLEDButtonImage::imageRectWithinBackgroundShapeRect(CGRect rect) const {
    return LowerLeft(NU70sHardwareButtonImage::imageRectWithinBackgroundShapeRect(rect));
}

CGRect LumoraLEDButtonImage::imageRectWithinBackgroundShapeRect(CGRect rect) const {
    return LowerLeft(NU70sHardwareButtonImageWithGreenLED::imageRectWithinBackgroundShapeRect(rect));
}

CGRect LumoraRecordButtonImage::imageRectWithinBackgroundShapeRect(CGRect rect) const {
    const CGRect r = NU70sHardwareRecordButtonImage::imageRectWithinBackgroundShapeRect(rect);
    return CGRectMake(r.origin.x + 0.05 * r.size.width, r.origin.y + 0.05 * r.size.height, 0.9 * r.size.width,
                      0.9 * r.size.height);
}

bool import_LumoraButtons() { return import_NUCIButton(); }
