#include <OpenGL/CGDirectDisplay.h>

#include <OpenGL/CGLDisplayInternal.h>

#include <xcb/randr.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr CGDirectDisplayID kMainDisplay = 1;

// One display: where it lies on the X screen and the refresh rate of its mode (0: unknown).
struct DisplayInfo {
    CGDisplayPixelArea area;
    double refreshRate = 0;
};

struct FreeReply {
    void operator()(void *reply) const { std::free(reply); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeReply>;

xcb_screen_t *ScreenOf(const cgl::Display &display) {
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(display.x11));
    for (int skip = display.x11Screen; skip > 0 && screens.rem > 0; --skip) xcb_screen_next(&screens);
    return screens.rem > 0 ? screens.data : nullptr;
}

// Whether the server speaks RandR 1.3 or later (CRTCs and the primary output), asked once.
bool HasRandR13(const cgl::Display &display) {
    static const bool has = [&display] {
        const xcb_query_extension_reply_t *extension = xcb_get_extension_data(display.x11, &xcb_randr_id);
        if (extension == nullptr || !extension->present) return false;
        Reply<xcb_randr_query_version_reply_t> version(
            xcb_randr_query_version_reply(display.x11, xcb_randr_query_version(display.x11, 1, 3), nullptr));
        return version && (version->major_version > 1 || version->minor_version >= 3);
    }();
    return has;
}

// The refresh rate in Hz of a mode from its timings, 0 when they do not give one.
double RefreshRateOf(const xcb_randr_mode_info_t &mode) {
    double lines = mode.vtotal;
    if (mode.mode_flags & XCB_RANDR_MODE_FLAG_DOUBLE_SCAN) lines *= 2;
    if (mode.mode_flags & XCB_RANDR_MODE_FLAG_INTERLACE) lines /= 2;
    if (mode.dot_clock == 0 || mode.htotal == 0 || lines <= 0) return 0;
    return double(mode.dot_clock) / (double(mode.htotal) * lines);
}

// The active CRTCs of the screen, the primary output's first; empty when the server has no
// RandR 1.3 or answers nothing.
std::vector<DisplayInfo> RandRDisplays(const cgl::Display &display, xcb_window_t root) {
    std::vector<DisplayInfo> found;
    if (!HasRandR13(display)) return found;
    xcb_connection_t *connection = display.x11;
    const xcb_randr_get_output_primary_cookie_t primaryCookie = xcb_randr_get_output_primary(connection, root);
    Reply<xcb_randr_get_screen_resources_current_reply_t> resources(xcb_randr_get_screen_resources_current_reply(
        connection, xcb_randr_get_screen_resources_current(connection, root), nullptr));
    Reply<xcb_randr_get_output_primary_reply_t> primary(
        xcb_randr_get_output_primary_reply(connection, primaryCookie, nullptr));
    if (!resources) return found;

    const xcb_randr_crtc_t *crtcs = xcb_randr_get_screen_resources_current_crtcs(resources.get());
    const int crtcCount = xcb_randr_get_screen_resources_current_crtcs_length(resources.get());
    const xcb_randr_mode_info_t *modes = xcb_randr_get_screen_resources_current_modes(resources.get());
    const int modeCount = xcb_randr_get_screen_resources_current_modes_length(resources.get());
    std::vector<xcb_randr_get_crtc_info_cookie_t> cookies;
    cookies.reserve(size_t(crtcCount));
    for (int index = 0; index < crtcCount; ++index)
        cookies.push_back(xcb_randr_get_crtc_info(connection, crtcs[index], resources->config_timestamp));

    size_t primaryIndex = 0;
    bool primaryFound = false;
    for (const xcb_randr_get_crtc_info_cookie_t &cookie : cookies) {
        Reply<xcb_randr_get_crtc_info_reply_t> crtc(xcb_randr_get_crtc_info_reply(connection, cookie, nullptr));
        if (!crtc || crtc->mode == XCB_NONE || crtc->width == 0 || crtc->height == 0) continue;
        DisplayInfo info;
        info.area = {crtc->x, crtc->y, crtc->width, crtc->height};
        for (int index = 0; index < modeCount; ++index) {
            if (modes[index].id == crtc->mode) info.refreshRate = RefreshRateOf(modes[index]);
        }
        if (primary && primary->output != XCB_NONE && !primaryFound) {
            const xcb_randr_output_t *outputs = xcb_randr_get_crtc_info_outputs(crtc.get());
            const int outputCount = xcb_randr_get_crtc_info_outputs_length(crtc.get());
            for (int index = 0; index < outputCount; ++index) {
                if (outputs[index] == primary->output) {
                    primaryIndex = found.size();
                    primaryFound = true;
                }
            }
        }
        found.push_back(info);
    }
    // The primary output's monitor first, the others in the server's order.
    if (primaryIndex != 0) {
        const auto primaryAt = found.begin() + long(primaryIndex);
        std::rotate(found.begin(), primaryAt, primaryAt + 1);
    }
    return found;
}

// The displays now, main display first (never empty).
std::vector<DisplayInfo> Displays() {
    const cgl::Display *display = cgl::TheDisplay();
    if (display == nullptr || display->x11 == nullptr) return {DisplayInfo{{0, 0, 1280, 800}, 0}};
    xcb_screen_t *screen = ScreenOf(*display);
    if (screen == nullptr) return {DisplayInfo{{0, 0, 1280, 800}, 0}};
    std::vector<DisplayInfo> displays = RandRDisplays(*display, screen->root);
    if (displays.empty()) displays.push_back(DisplayInfo{{0, 0, screen->width_in_pixels, screen->height_in_pixels}, 0});
    return displays;
}

bool Find(CGDirectDisplayID id, DisplayInfo &info) {
    if (id == 0) return false;
    const std::vector<DisplayInfo> displays = Displays();
    if (id > displays.size()) return false;
    info = displays[id - 1];
    return true;
}

}  // namespace

CGDirectDisplayID CGMainDisplayID(void) { return kMainDisplay; }

CGOpenGLDisplayMask CGDisplayIDToOpenGLDisplayMask(CGDirectDisplayID display) {
    return display == kMainDisplay ? 1u : 0u;
}

CGError CGGetActiveDisplayList(uint32_t maxDisplays, CGDirectDisplayID *activeDisplays, uint32_t *displayCount) {
    if (displayCount == nullptr) return kCGErrorIllegalArgument;
    const uint32_t count = uint32_t(Displays().size());
    if (activeDisplays == nullptr) {
        *displayCount = count;
        return kCGErrorSuccess;
    }
    const uint32_t given = count < maxDisplays ? count : maxDisplays;
    for (uint32_t index = 0; index < given; ++index) activeDisplays[index] = index + 1;
    *displayCount = given;
    return kCGErrorSuccess;
}

size_t CGDisplayPixelsWide(CGDirectDisplayID display) {
    DisplayInfo info;
    return Find(display, info) ? info.area.width : 0;
}

size_t CGDisplayPixelsHigh(CGDirectDisplayID display) {
    DisplayInfo info;
    return Find(display, info) ? info.area.height : 0;
}

bool CGDisplayGetPixelArea(CGDirectDisplayID display, CGDisplayPixelArea *area) {
    DisplayInfo info;
    if (area == nullptr || !Find(display, info)) return false;
    *area = info.area;
    return true;
}

double CGDisplayRefreshRate(CGDirectDisplayID display) {
    DisplayInfo info;
    return Find(display, info) ? info.refreshRate : 0;
}
