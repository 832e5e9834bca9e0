// NSScreen: what the code asks of a screen beyond Qt's QScreen.
#pragma once

#include <OpenGL/CGDirectDisplay.h>

#include <QVariantMap>

class QScreen;

namespace NSScreen {

// The device description's key of the display id.
inline constexpr char NSScreenNumber[] = "NSScreenNumber";

// The screen's device description: "NSScreenNumber" is the id (unsigned) of the display the
// screen shows: the display whose area is the screen's in device pixels, else the display
// under the screen's centre. Without such a display (or for a null screen) the entry is
// missing.
QVariantMap deviceDescription(const QScreen *screen);

}  // namespace NSScreen
