// The window list: the windows of the X server the program is shown on, described as
// window-information dictionaries, and images of them.
//
// Windows are the client windows a user sees. Under a window manager each top-level child
// of the root is a frame holding the client, found by its WM_STATE property (the frame
// itself when no descendant has one); on a bare server the top-level children are the
// windows. A window's id is its X window id, its bounds are its inside area in root
// coordinates (origin top-left, y down, as Quartz's window coordinates), and the list runs
// front to back in the server's stacking order.
//
// One xcb connection is opened on first use and kept for the process. Without DISPLAY or
// with a server that does not answer, the list is empty and every image null.
#pragma once

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFString.h>
#include <CoreGraphics/CGGeometry.h>
#include <CoreGraphics/CGImage.h>

typedef uint32_t CGWindowID;
inline constexpr CGWindowID kCGNullWindowID = 0;

typedef int32_t CGWindowLevel;
inline constexpr CGWindowLevel kCGNormalWindowLevel = 0;
inline constexpr CGWindowLevel kCGDockWindowLevel = 20;
inline constexpr CGWindowLevel kCGDesktopWindowLevel = INT32_MIN + 25;

typedef uint32_t CGWindowListOption;
inline constexpr CGWindowListOption kCGWindowListOptionAll = 0;
inline constexpr CGWindowListOption kCGWindowListOptionOnScreenOnly = 1 << 0;
inline constexpr CGWindowListOption kCGWindowListOptionOnScreenAboveWindow = 1 << 1;
inline constexpr CGWindowListOption kCGWindowListOptionOnScreenBelowWindow = 1 << 2;
inline constexpr CGWindowListOption kCGWindowListOptionIncludingWindow = 1 << 3;
inline constexpr CGWindowListOption kCGWindowListExcludeDesktopElements = 1 << 4;

typedef uint32_t CGWindowImageOption;
inline constexpr CGWindowImageOption kCGWindowImageDefault = 0;
// A window's image never holds a window manager's frame, so this changes nothing.
inline constexpr CGWindowImageOption kCGWindowImageBoundsIgnoreFraming = 1 << 0;
// Empty areas are white and the image has no alpha.
inline constexpr CGWindowImageOption kCGWindowImageShouldBeOpaque = 1 << 1;
// X windows cast no shadows: only the empty background is drawn.
inline constexpr CGWindowImageOption kCGWindowImageOnlyShadows = 1 << 2;
// Accepted; X has one resolution.
inline constexpr CGWindowImageOption kCGWindowImageBestResolution = 1 << 3;
inline constexpr CGWindowImageOption kCGWindowImageNominalResolution = 1 << 4;

typedef uint32_t CGWindowSharingType;
inline constexpr CGWindowSharingType kCGWindowSharingNone = 0;
inline constexpr CGWindowSharingType kCGWindowSharingReadOnly = 1;
inline constexpr CGWindowSharingType kCGWindowSharingReadWrite = 2;

// Keys of a window-information dictionary. Always present: number (CFNumber), layer
// (CFNumber: the desktop and dock levels for windows of those types, else 0), bounds (a
// rectangle's dictionary, see CGRectCreateDictionaryRepresentation), on-screen (CFBoolean:
// the window is viewable), sharing state (CFNumber, read-only), alpha (CFNumber, from
// _NET_WM_WINDOW_OPACITY, else 1). When known: name (CFString: _NET_WM_NAME, else WM_NAME),
// owner PID (CFNumber: _NET_WM_PID of a window of this machine) and owner name (CFString:
// the owner's program name from /proc).
extern const CFStringRef kCGWindowNumber;
extern const CFStringRef kCGWindowLayer;
extern const CFStringRef kCGWindowName;
extern const CFStringRef kCGWindowOwnerName;
extern const CFStringRef kCGWindowOwnerPID;
extern const CFStringRef kCGWindowBounds;
extern const CFStringRef kCGWindowIsOnscreen;
extern const CFStringRef kCGWindowSharingState;
extern const CFStringRef kCGWindowAlpha;

// A new array of window-information dictionaries, front to back (the caller releases it):
// - kCGWindowListOptionAll: every window, mapped or not;
// - kCGWindowListOptionOnScreenOnly: the viewable ones;
// - kCGWindowListOptionOnScreenAboveWindow / BelowWindow: the viewable ones in front of /
//   behind relativeToWindow, which itself is listed only with
//   kCGWindowListOptionIncludingWindow (empty when that window is not in the list);
// - kCGWindowListOptionIncludingWindow alone: relativeToWindow only;
// - kCGWindowListExcludeDesktopElements leaves out windows of the desktop type.
// An empty array without a display; null only when the array cannot be made.
CFArrayRef CGWindowListCopyWindowInfo(CGWindowListOption option, CGWindowID relativeToWindow);

// A new image of the windows the options select (as above; only viewable windows have
// pixels), composed back to front over an empty background, of the area screenBounds in
// root coordinates; CGRectNull means the union of the windows' bounds. The image is 32-bit
// premultiplied ARGB (kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little), or
// opaque with kCGWindowImageShouldBeOpaque. Parts of a window that are off the screen are
// empty; parts covered by another window show what covers them, since X keeps no picture
// of hidden parts. Null without a display, when nothing is selected, or for an empty area
// or one of more than 8192 x 8192 pixels.
CGImageRef CGWindowListCreateImage(CGRect screenBounds, CGWindowListOption listOption, CGWindowID windowID,
                                   CGWindowImageOption imageOption);
// The same for the windows of windowArray, an array of CGWindowID values (made with null
// callbacks), front to back; ids of windows that do not exist are passed over.
CGImageRef CGWindowListCreateImageFromArray(CGRect screenBounds, CFArrayRef windowArray,
                                            CGWindowImageOption imageOption);
