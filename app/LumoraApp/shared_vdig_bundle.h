// shared_vdig_bundle: the link that makes the virtual-camera component ("Lumora2.VDIG.component",
// shipped in the application's PlugIns folder) visible to other applications: a symbolic link of
// that name in the user's QuickTime Components folder while the application runs.
//
// Installing does nothing (and succeeds) when the component is already readable in the user's
// or the system's QuickTime Components folder: installed by the user, or a link left by an
// earlier run that crashed. Otherwise it makes the user's folder when missing and links the
// component there (CorePlugInBundle: a dangling link of that name is replaced, a real file or
// folder is never touched).
//
// Removing deletes only the link this object made: it remembers the link it made (its path,
// what it leads to, and the link's own identity: device, inode and status-change time) and deletes exactly that link, and only
// while it is still there unchanged. Whatever else has the name, a component the user installed
// or a link the user made, even one leading to the same place, is left alone (the answer is
// false: nothing of ours to delete).
//
// The process-wide instance is made on first use (Shared()), so nothing runs before main. Its
// operations may be called from any thread (one lock).
#pragma once

#include <CoreX/CorePlugInBundle.h>

#include <mutex>
#include <string>
#include <sys/types.h>
#include <ctime>

class shared_vdig_bundle : public CorePlugInBundle {
public:
    // Both names are stored only when both are given (they must outlive the object).
    shared_vdig_bundle(CFStringRef fileName, const char *bundleName);
    ~shared_vdig_bundle() override;

    // The application's link: "Lumora2.VDIG.component" of the bundle "Lumora2.VDIG".
    static shared_vdig_bundle &Shared();

    // Whether the component is readable in the user's QuickTime Components folder or, failing
    // that, the system's.
    bool IsInstalled() override;

    // Installs (true) or removes (false) the link in the user's folder (see above).
    bool InstallLocalLibraryQuickTime(bool install);

    // Whether a link made by this object is recorded (it is removed at the next removal).
    bool HasMadeLink();

private:
    bool InstallLocked();
    bool RemoveLocked();

    std::mutex mLock;
    bool mMadeLink = false;
    std::string mLinkPath;    // where the link was made
    std::string mLinkTarget;  // what it leads to, as written in the link
    dev_t mLinkDevice = 0;    // the link's own identity (lstat)
    ino_t mLinkInode = 0;
    timespec mLinkChanged {};  // its status-change time: a new link can reuse the inode number
};

bool import_shared_vdig_bundle();
