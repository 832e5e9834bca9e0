// A plug-in shipped in the application's PlugIns folder (Name.component) that is published
// into a system location by a symbolic link, and withdrawn again.
//
// Publishing never harms what the user put there: only a symbolic link is ever replaced or
// removed. Installing leaves a link that already leads to the plug-in alone (true), replaces
// a link that dangles (the application moved) or leads elsewhere, and refuses (false,
// untouched) when a real file or folder has the item's name. Removing deletes a symbolic
// link of that name and nothing else.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <CoreX/CFBaseDLL.h>

class CorePlugInBundle {
public:
    // Both names are kept as given (not copied, not retained): they must outlive the object.
    CorePlugInBundle(CFStringRef itemName, const char *baseName);
    virtual ~CorePlugInBundle();
    CorePlugInBundle(const CorePlugInBundle &) = delete;
    CorePlugInBundle &operator=(const CorePlugInBundle &) = delete;

    // The directory URL of <main bundle's PlugIns>/<baseName>.<extension>, normalised through
    // its file-system path (at most 2048 bytes); created, or null.
    static CFURLRef CopyPlugInURL(const char *baseName, CFStringRef extension);

    // Whether the item already exists in a system location; false here, a subclass knows
    // where to look.
    virtual bool IsInstalled();

    // Installing: true at once when IsInstalled(). Removing: the handle's bundle is unloaded
    // first. Then LinkComponentInLocation with this object's names.
    bool InstallInLocation(bool install, CFBaseDLL::Location location);

    // Links <PlugIns>/<baseName>.component at itemName in the location, or removes that link
    // (see above). False without a plug-in URL, an item name or a destination folder;
    // installing also needs the plug-in to be readable.
    static bool LinkComponentInLocation(const char *baseName, CFStringRef itemName, bool install,
                                        CFBaseDLL::Location location);

protected:
    T_CFBaseDLL<I_CFBundleDLL> mBundleDLL;
    CFStringRef mItemName;  // e.g. "Lumora2.VDIG.component"
    const char *mBaseName;  // e.g. "Lumora2.VDIG"
};

bool import_CorePlugInBundle();
