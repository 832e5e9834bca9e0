#include <OpenGL/CGLDisplayInternal.h>

#include <OpenGL/OpenGL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace cgl {

namespace {

bool HasExtension(const char *list, const char *name) {
    if (list == nullptr) return false;
    const size_t length = std::strlen(name);
    for (const char *at = list; (at = std::strstr(at, name)) != nullptr; at += length) {
        const bool startsWord = at == list || at[-1] == ' ';
        const bool endsWord = at[length] == ' ' || at[length] == '\0';
        if (startsWord && endsWord) return true;
    }
    return false;
}

// Initialises a display and checks that it has what the layer needs.
bool Usable(EGLDisplay display) {
    if (display == EGL_NO_DISPLAY) return false;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(display, &major, &minor)) return false;
    const char *apis = eglQueryString(display, EGL_CLIENT_APIS);
    const char *extensions = eglQueryString(display, EGL_EXTENSIONS);
    const bool usable = (major > 1 || minor >= 5) && apis != nullptr && std::strstr(apis, "OpenGL") != nullptr &&
                        HasExtension(extensions, "EGL_KHR_surfaceless_context") &&
                        HasExtension(extensions, "EGL_KHR_no_config_context") &&
                        HasExtension(extensions, "EGL_KHR_create_context");
    if (!usable) eglTerminate(display);
    return usable;
}

Display *OpenX11(const char *clientExtensions) {
    const char *name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0' || !HasExtension(clientExtensions, "EGL_EXT_platform_xcb")) return nullptr;
    int screen = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        std::fprintf(stderr, "OpenGL: cannot connect to the X server \"%s\"; rendering without a display\n", name);
        return nullptr;
    }
    const EGLAttrib attributes[] = {EGL_PLATFORM_XCB_SCREEN_EXT, screen, EGL_NONE};
    EGLDisplay egl = eglGetPlatformDisplay(EGL_PLATFORM_XCB_EXT, connection, attributes);
    if (!Usable(egl)) {
        xcb_disconnect(connection);
        std::fprintf(stderr, "OpenGL: the X server \"%s\" has no usable EGL display; rendering without a display\n",
                     name);
        return nullptr;
    }
    return new Display{egl, connection, screen};
}

Display *OpenSurfaceless(const char *clientExtensions) {
    if (!HasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) return nullptr;
    EGLDisplay egl = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (!Usable(egl)) return nullptr;
    return new Display{egl, nullptr};
}

// Set once the process has begun to exit (see MarkExiting).
constinit std::atomic<bool> gExiting{false};

void MarkExitingAtExit() { MarkExiting(); }

Display *OpenDisplay() {
    const char *clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (Display *display = OpenX11(clientExtensions)) return display;
    if (Display *display = OpenSurfaceless(clientExtensions)) return display;
    std::fprintf(stderr, "OpenGL: no EGL display with desktop OpenGL is available\n");
    return nullptr;
}

Display *Open() {
    Display *display = OpenDisplay();
    // Registered after the EGL library's own exit handlers (which run in reverse order, so
    // this one runs before them), and after every static object made before the display:
    // those are destroyed after the mark.
    if (display != nullptr) std::atexit(MarkExitingAtExit);
    return display;
}

EGLint Attribute(EGLDisplay display, EGLConfig config, EGLint name) {
    EGLint value = 0;
    eglGetConfigAttrib(display, config, name, &value);
    return value;
}

// How far a size is from the preference (none: any size is as good).
int Distance(int preferred, int actual) {
    if (preferred < 0) return 0;
    return actual >= preferred ? actual - preferred : 2 * (preferred - actual);
}

}  // namespace

const Display *TheDisplay() {
    // Made by the first caller and never destroyed: contexts may be released by static
    // destructors at exit, after any display object would have gone.
    static const Display *const display = Open();
    return display;
}

void MarkExiting() { gExiting.store(true, std::memory_order_release); }

const Display *DisplayFor(const char *caller) {
    if (gExiting.load(std::memory_order_acquire)) {
        std::fprintf(stderr, "OpenGL: %s called while the process exits; no GL work is done\n", caller);
        return nullptr;
    }
    return TheDisplay();
}

void BindDesktopGL() { eglBindAPI(EGL_OPENGL_API); }

WindowConfig ChooseWindowConfig(const Display &display, uint32_t window, int colorSize, int alphaSize,
                                int depthSize) {
    WindowConfig result;
    xcb_generic_error_t *error = nullptr;
    xcb_get_window_attributes_reply_t *reply = xcb_get_window_attributes_reply(
        display.x11, xcb_get_window_attributes(display.x11, window), &error);
    if (reply == nullptr) {
        std::free(error);
        result.error = kCGLBadWindow;
        return result;
    }
    const xcb_visualid_t visual = reply->visual;
    std::free(reply);

    // eglChooseConfig ignores EGL_NATIVE_VISUAL_ID: the visual is compared here.
    const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(display.egl, wanted, nullptr, 0, &count) || count <= 0) {
        result.error = kCGLBadMatch;
        return result;
    }
    std::vector<EGLConfig> configs(static_cast<size_t>(count));
    eglChooseConfig(display.egl, wanted, configs.data(), count, &count);
    configs.resize(static_cast<size_t>(count));

    long best = -1;
    for (EGLConfig config : configs) {
        if (static_cast<xcb_visualid_t>(Attribute(display.egl, config, EGL_NATIVE_VISUAL_ID)) != visual) continue;
        const int color = Attribute(display.egl, config, EGL_RED_SIZE) + Attribute(display.egl, config, EGL_GREEN_SIZE) +
                          Attribute(display.egl, config, EGL_BLUE_SIZE);
        const long score = 4L * Distance(colorSize, color) +
                           2L * Distance(alphaSize, Attribute(display.egl, config, EGL_ALPHA_SIZE)) +
                           Distance(depthSize, Attribute(display.egl, config, EGL_DEPTH_SIZE)) +
                           100L * Attribute(display.egl, config, EGL_SAMPLES) +
                           Attribute(display.egl, config, EGL_STENCIL_SIZE);
        if (best < 0 || score < best) {
            best = score;
            result.config = config;
        }
    }
    if (result.config == nullptr) result.error = kCGLBadMatch;
    return result;
}

void DrainX11Events(const Display &display) {
    if (display.x11 == nullptr) return;
    while (xcb_generic_event_t *event = xcb_poll_for_event(display.x11)) std::free(event);
}

void SyncX11(const Display &display) {
    if (display.x11 == nullptr) return;
    std::free(xcb_get_input_focus_reply(display.x11, xcb_get_input_focus(display.x11), nullptr));
    DrainX11Events(display);
}

}  // namespace cgl
