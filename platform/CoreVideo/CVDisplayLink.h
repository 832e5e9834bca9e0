// Display links: a thread of its own that calls an output callback once per refresh of the
// link's current display.
//
// Pacing. The thread keeps a steady period, the refresh period of the current display (its
// RandR mode's rate; 60 Hz when the rate is not known), on an absolute schedule: after a
// callback it sleeps until the next refresh is due. A callback that took the period or
// longer (a buffer swap that waited for the refresh, slow drawing) is followed at once by
// the next one, and the schedule starts again from there, so refreshes that were missed are
// skipped rather than made up for in a burst, and the thread never waits twice for one
// refresh. It never spins: between two callbacks it either sleeps or has just spent a
// period in the callback.
//
// Time stamps. The callback's "now" is the refresh that is due (host time and video time),
// its output time the refresh after it (one period later), both with valid video time,
// host time, refresh period and rate scalar (1.0). Video time counts in nanoseconds from
// the first refresh after the link starts.
//
// Starting and stopping. CVDisplayLinkStop answers once no callback can begin any more:
// - from another thread while the link thread waits for the next refresh, it joins the
//   thread before it answers;
// - from the callback itself, it answers at once; the thread ends when the callback
//   returns;
// - from another thread while a callback runs, it answers at once too, without waiting for
//   that callback (the callback may be waiting for a lock the stopping thread holds); the
//   thread ends when the callback returns, or carries on if the link is started again
//   before that.
// So a callback never runs twice at once, and a link has at most one thread. The last
// CVDisplayLinkRelease stops the link and waits for a callback in progress (its context
// may go away after the release); released from inside the callback, it lets the thread
// end by itself after the callback. Do not release a link's last reference while holding a
// lock its callback takes.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <CoreVideo/CVBase.h>
#include <CoreVideo/CVReturn.h>
#include <OpenGL/CGDirectDisplay.h>
#include <OpenGL/OpenGL.h>

typedef struct __CVDisplayLink *CVDisplayLinkRef;

// Called on the link's thread once per refresh. flagsIn is 0; flagsOut is not read.
typedef CVReturn (*CVDisplayLinkOutputCallback)(CVDisplayLinkRef displayLink, const CVTimeStamp *inNow,
                                                const CVTimeStamp *inOutputTime, CVOptionFlags flagsIn,
                                                CVOptionFlags *flagsOut, void *displayLinkContext);

CFTypeID CVDisplayLinkGetTypeID(void);

// A stopped link on the main display, without a callback. kCVReturnInvalidArgument for a null
// result pointer.
CVReturn CVDisplayLinkCreateWithActiveCGDisplays(CVDisplayLinkRef *displayLinkOut);
CVDisplayLinkRef CVDisplayLinkRetain(CVDisplayLinkRef displayLink);
void CVDisplayLinkRelease(CVDisplayLinkRef displayLink);

// The callback and its context; a running link calls the new one from the next refresh on.
// A null callback leaves the link without one.
CVReturn CVDisplayLinkSetOutputCallback(CVDisplayLinkRef displayLink, CVDisplayLinkOutputCallback callback,
                                        void *userInfo);

// kCVReturnDisplayLinkCallbacksNotSet without a callback, kCVReturnDisplayLinkAlreadyRunning
// when it runs, kCVReturnAllocationFailed when no thread can be made.
CVReturn CVDisplayLinkStart(CVDisplayLinkRef displayLink);
// kCVReturnDisplayLinkNotRunning when it is not running. See above for what it waits for.
CVReturn CVDisplayLinkStop(CVDisplayLinkRef displayLink);
Boolean CVDisplayLinkIsRunning(CVDisplayLinkRef displayLink);

// The display whose refresh paces the link (kCVReturnInvalidDisplay for an id that is not
// active); a running link takes the new period from its next refresh on.
CVReturn CVDisplayLinkSetCurrentCGDisplay(CVDisplayLinkRef displayLink, CGDirectDisplayID displayID);
// 0 for a null link.
CGDirectDisplayID CVDisplayLinkGetCurrentCGDisplay(CVDisplayLinkRef displayLink);
// The display the context renders for: every context here renders with the one renderer of
// the main display, so this is the main display. kCVReturnInvalidArgument for a null context
// or pixel format.
CVReturn CVDisplayLinkSetCurrentCGDisplayFromOpenGLContext(CVDisplayLinkRef displayLink, CGLContextObj cglContext,
                                                           CGLPixelFormatObj cglPixelFormat);

// The period the link keeps (nanoseconds over 1e9); indefinite for a null link.
CVTime CVDisplayLinkGetNominalOutputVideoRefreshPeriod(CVDisplayLinkRef displayLink);
