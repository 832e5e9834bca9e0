#include <OpenGL/CGDirectDisplay.h>

#include <OpenGL/CGLDisplayInternal.h>

namespace {
constexpr CGDirectDisplayID kMainDisplay = 1;
}  // namespace

CGDirectDisplayID CGMainDisplayID(void) { return kMainDisplay; }

CGOpenGLDisplayMask CGDisplayIDToOpenGLDisplayMask(CGDirectDisplayID display) {
    return display == kMainDisplay ? 1u : 0u;
}

namespace {

// Width and height of the main display, asked of the X server once.
struct DisplaySize {
    size_t width = 1280;
    size_t height = 800;
};

const DisplaySize &MainDisplaySize() {
    static const DisplaySize size = [] {
        DisplaySize found;
        const cgl::Display *display = cgl::TheDisplay();
        if (display == nullptr || display->x11 == nullptr) return found;
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(display->x11));
        for (int skip = display->x11Screen; skip > 0 && screens.rem > 0; --skip) xcb_screen_next(&screens);
        if (screens.rem > 0) {
            found.width = screens.data->width_in_pixels;
            found.height = screens.data->height_in_pixels;
        }
        return found;
    }();
    return size;
}

}  // namespace

size_t CGDisplayPixelsWide(CGDirectDisplayID display) {
    return display == kMainDisplay ? MainDisplaySize().width : 0;
}

size_t CGDisplayPixelsHigh(CGDirectDisplayID display) {
    return display == kMainDisplay ? MainDisplaySize().height : 0;
}
