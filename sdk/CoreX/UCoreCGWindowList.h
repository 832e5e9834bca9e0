// The window list through Core Graphics: enumeration of the window server's list with a
// block, and typed reads of the window-information dictionaries it hands over. Every reader
// accepts a null dictionary and values of the wrong type, answering its default.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CGWindow.h>

#include <cstdint>
#include <functional>

// Called with the index of a window and its information dictionary (valid during the call);
// answers whether to go on.
typedef std::function<bool(CFIndex index, CFDictionaryRef windowInfo)> UCoreCGWindowList_Block;

// Hands each entry of CGWindowListCopyWindowInfo(options, kCGNullWindowID) to the block in
// order and answers how many it handed over: the walk stops after the first call that
// answers false (that window counts). 0 when there is no list or no block.
CFIndex UCoreCGWindowList_EnumWindowsWithOptions(CGWindowListOption options, const UCoreCGWindowList_Block &block);
// The same for the windows whose kCGWindowName equals name exactly (a missing name counts
// as ""), numbered from 0 among the matches. 0 for a null name.
CFIndex UCoreCGWindowList_FindWindowNameWithOptions(CFStringRef name, CGWindowListOption options,
                                                    const UCoreCGWindowList_Block &block);

// True only when the value is kCFBooleanTrue.
bool boolean_ForKey(CFDictionaryRef dict, CFStringRef key);
// The CFNumber read as a signed 64-bit integer (kCFNumberSInt64Type), else the default
// (also for a number that does not convert exactly, such as 2.5).
uint64_t uint64_ForKey(CFDictionaryRef dict, CFStringRef key, uint64_t defaultValue);
int64_t int64_ForKey(CFDictionaryRef dict, CFStringRef key, int64_t defaultValue);
// The value when it is a CFString (not retained), else the default.
CFStringRef string_ForKey(CFDictionaryRef dict, CFStringRef key, CFStringRef defaultValue);
// The string exists, value is not null, and they compare equal (no options).
bool hasString_ForKeyWithValue(CFDictionaryRef dict, CFStringRef key, CFStringRef value);

// kCGWindowNumber, default kCGNullWindowID (also for a value that is no window id).
CGWindowID UCoreCGWindowInfo_GetWindowID(CFDictionaryRef dict);
// kCGWindowLayer, default 0.
int64_t UCoreCGWindowInfo_GetWindowLevel(CFDictionaryRef dict);
// kCGWindowOwnerName, default "".
CFStringRef UCoreCGWindowInfo_GetWindowOwnerName(CFDictionaryRef dict);
bool UCoreCGWindowInfo_HasWindowOwnerName(CFDictionaryRef dict, CFStringRef name);
bool UCoreCGWindowInfo_HasWindowName(CFDictionaryRef dict, CFStringRef name);
// kCGWindowBounds into bounds, which starts as CGRectZero: true when the key exists and
// holds a rectangle's dictionary.
bool UCoreCGWindowInfo_GetWindowBounds(CGRect &bounds, CFDictionaryRef dict);
// kCGWindowIsOnscreen (true only for kCFBooleanTrue).
bool UCoreCGWindowInfo_GetIsOnscreen(CFDictionaryRef dict);
// kCGWindowSharingState, default kCGWindowSharingNone (also for a value out of range).
CGWindowSharingType UCoreCGWindowInfo_GetSharingState(CFDictionaryRef dict);

bool import_UCoreCGWindowList();
