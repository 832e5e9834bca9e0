// The kit's access point to its process-wide objects: the three default pixel formats, the
// root sharing context (held by NSOGLOffscreenContextBase) and a pool of six offscreen
// contexts that share the root and are handed out in turn to work that needs a context of its
// own. Class methods only.
//
// The pool is made at the first offscreenPoolContext: six NSOGLOffscreenContextWithCGLNoBacking
// of role 2 for the main display (a member that cannot be made is left out). Each call takes
// the member at a process-wide cursor and moves the cursor on (0 to 5, then 0 again), under
// one lock, so consecutive hand-outs, from any threads, are members 0, 1, ... 5, 0, ...; a
// cursor position without a member hands out the root sharing context. Pool contexts are
// shared: whoever renders in one locks its CGL context for the render.
#pragma once

#include <CocoaGL/NSOGLOffscreenContextBase.h>

#include <memory>
#include <string>

class NSOGLSharingContext {
public:
    NSOGLSharingContext() = delete;

    static constexpr unsigned kPoolSize = 6;

    static std::shared_ptr<NSOpenGLPixelFormat> defaultSharedPixelFormat();   // role 0
    static std::shared_ptr<NSOpenGLPixelFormat> defaultTexturePixelFormat();  // role 2
    // The pixel-buffer (role 3) format when `pbuffer`, else the shared (role 0) one.
    static std::shared_ptr<NSOpenGLPixelFormat> defaultSharedPixelFormat(bool pbuffer);
    // The root sharing context (null when it could not be made).
    static std::shared_ptr<NSOpenGLContext> rootSharingContext();
    static std::shared_ptr<NSOpenGLContext> defaultSharedContext() { return rootSharingContext(); }

    // A new context without backing sharing the root, for the display.
    static std::shared_ptr<NSOGLOffscreenContextWithCGLNoBacking> createOffscreenContextObject(
        CGDirectDisplayID displayID);
    static std::shared_ptr<NSOGLOffscreenContextWithCGLNoBacking> offscreenContextObject();

    // The context of the next pool member, or the root sharing context (see above).
    static std::shared_ptr<NSOpenGLContext> offscreenPoolContext();

    static bool readPixelsImageSize(CGSize size, const std::string &path, CFStringRef type) {
        return NSOGLOffscreenContextBase::readPixelsImageSize(size, path, type);
    }
};

bool import_NSOGLSharingContext();
