// NSUILumoraView(DisplayLink): the camera view as the display link's delegate. Once per screen
// refresh, on the display-link thread, the controller has the view lock its drawable (the view's
// CGL context), asks whether a new frame is available, has it draw and flush, and unlocks.
//
// Lock order on this thread: the view's CGL context lock, then the composition lock. The main
// thread takes the composition lock for every frame step and never takes the view's context
// lock while it holds it, so the two orders never cross.
#include "NSUILumoraView.h"

#include <Foundation/NSException.h>
#include <OpenGL/gl.h>
#include <OpenGL/glext.h>

#include <mutex>

bool NSUILumoraView::displayLinkLockDrawable(NSUIDisplayLinkViewController *) {
    const CGLContextObj context = renderContext();
    return context != nullptr && CGLLockContext(context) == kCGLNoError;
}

bool NSUILumoraView::displayLinkShouldRenderForTime(NSUIDisplayLinkViewController *, const CVTimeStamp *) {
    // Acquire: the texture the main thread finished before setting the flag is what we draw.
    return mRenderFrameAvailable.load(std::memory_order_acquire);
}

void NSUILumoraView::displayLinkRenderForTime(NSUIDisplayLinkViewController *, const CVTimeStamp *) {
    renderSceneDisplayLink();
    // Cleared after the drawing: a frame marked available meanwhile counts as drawn.
    mRenderFrameAvailable.store(false, std::memory_order_release);
}

void NSUILumoraView::displayLinkFlushDrawable(NSUIDisplayLinkViewController *) {
    // The scene's end flushed and swapped the window; a context still current here is the view's.
    const CGLContextObj context = renderContext();
    if (context != nullptr && CGLGetCurrentContext() == context) glFlushRenderAPPLE();
}

void NSUILumoraView::displayLinkUnlockDrawable(NSUIDisplayLinkViewController *) {
    if (const CGLContextObj context = renderContext()) CGLUnlockContext(context);
}

void NSUILumoraView::renderSceneDisplayLink() {
    std::lock_guard<std::recursive_mutex> composition(mCompositionLock);
    renderScene();
    mDisplayLinkFrames.fetch_add(1, std::memory_order_relaxed);
}
