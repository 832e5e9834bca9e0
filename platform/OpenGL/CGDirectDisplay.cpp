#include <OpenGL/CGDirectDisplay.h>

namespace {
constexpr CGDirectDisplayID kMainDisplay = 1;
}  // namespace

CGDirectDisplayID CGMainDisplayID(void) { return kMainDisplay; }

CGOpenGLDisplayMask CGDisplayIDToOpenGLDisplayMask(CGDirectDisplayID display) {
    return display == kMainDisplay ? 1u : 0u;
}
