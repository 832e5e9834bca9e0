// Run-time loading of framework bundles.
//
// T_CFBaseDLL<I_CFBundleDLL> is a handle on a system framework ("CoreServices.framework",
// "System.framework"...) loaded by name on first use; its functions are looked up by name
// at every call, nothing is cached. CFBaseDLL turns a name and a location (a Folder Manager
// folder or a folder of the main bundle) into a URL.
//
// The process-wide handles (SystemFramework::System(), CoreServicesFramework::CoreServices())
// are made on first use and live until the process ends: their bundles stay loaded, so a
// report written late during exit can still reach them. A handle is safe to use from any
// thread.
#pragma once

#include <mutex>
#include <string>

#include <CoreFoundation/CoreFoundation.h>

// A framework name and its bundle.
class I_CFBundleDLL {
public:
    explicit I_CFBundleDLL(CFStringRef name = nullptr) : mFrameworkName(name), mBundle(nullptr) {}
    ~I_CFBundleDLL();
    I_CFBundleDLL(const I_CFBundleDLL &) = delete;
    I_CFBundleDLL &operator=(const I_CFBundleDLL &) = delete;

    // Makes the bundle at the URL and loads its executable. False for a null URL, a URL
    // that is not a bundle, or an executable that does not load (the bundle is kept then).
    bool LoadFromURL(CFURLRef url);
    // Unloads the executable and releases the bundle; false when nothing was loaded.
    bool Unload();
    // True when the bundle exists and its executable is loaded.
    bool IsLoaded() const;

    CFStringRef mFrameworkName;  // not owned
    CFBundleRef mBundle;         // owned; null until loaded
};

// Where URLOfNameInLocation looks.
class CFBaseDLL {
public:
    enum Location : SInt32 {
        kLocation_ExecutableFolder = 0,         // the folder of the main bundle's executable
        kLocation_SystemFrameworks = 1,         // 'fram' in the system domain
        kLocation_LocalFrameworks = 2,          // 'fram' in the local domain
        kLocation_BundlePrivateFrameworks = 3,  // the main bundle's Frameworks
        kLocation_BundleSharedFrameworks = 4,   // the main bundle's SharedFrameworks
        kLocation_BundleResources = 5,          // the main bundle's Resources
        kLocation_BundlePlugIns = 6,            // the main bundle's PlugIns
        kLocation_BundleSharedSupport = 7,      // the main bundle's SharedSupport
        kLocation_LocalComponents = 8,          // 'wcmp' in the local domain
        kLocation_SystemComponents = 9,         // 'wcmp' in the system domain
        kLocation_UserComponents = 10,          // 'wcmp' in the user domain
    };

    // name (a file) in the subfolder of a Folder Manager folder, which is never created.
    // Null when the folder does not exist or name is null. Created: the caller releases it.
    static CFURLRef URLOfNameInFindFolder(CFStringRef name, OSType folderType, short domain,
                                          CFStringRef subfolder = nullptr);
    // name in one of the locations above; null for any other location, a missing folder, a
    // null name or (locations 0 and 3 to 7) no main bundle. Created.
    static CFURLRef URLOfNameInLocation(CFStringRef name, Location location);
    // The URL's file-system path assigned to path; answers path's characters (path is
    // left unchanged when the URL has no path).
    static const char *PathFromURL(CFURLRef url, std::string &path);
    // A debug aid that produces no output.
    static void print_URL(const char *label, CFURLRef url);
};

// A handle on a system framework bundle, loaded on first use.
template <class DLL>
class T_CFBaseDLL : public DLL {
public:
    explicit T_CFBaseDLL(CFStringRef name) : DLL(name) {}
    ~T_CFBaseDLL() {
        std::lock_guard<std::mutex> lock(mMutex);
        this->Unload();
        if (this->mBundle != nullptr) CFRelease(this->mBundle);
        this->mBundle = nullptr;
    }

    // A non-null name replaces the stored one. True when the framework (from the system
    // Frameworks folder) is loaded, at once when it already is.
    bool LoadSystemFramework(CFStringRef name = nullptr) {
        std::lock_guard<std::mutex> lock(mMutex);
        return LoadSystemFrameworkLocked(name);
    }

    bool IsFrameworkLoaded() {
        std::lock_guard<std::mutex> lock(mMutex);
        return this->IsLoaded();
    }

    // The function of that name, loading the framework first when needed; null when the
    // framework or the function is not available.
    void *FunctionPointerForName(CFStringRef functionName) {
        std::lock_guard<std::mutex> lock(mMutex);
        if (!this->IsLoaded()) LoadSystemFrameworkLocked(nullptr);
        if (!this->IsLoaded() || functionName == nullptr) return nullptr;
        return CFBundleGetFunctionPointerForName(this->mBundle, functionName);
    }

private:
    bool LoadSystemFrameworkLocked(CFStringRef name) {
        if (name != nullptr) this->mFrameworkName = name;
        if (this->IsLoaded()) return true;
        if (this->mFrameworkName == nullptr) return false;
        CFURLRef url = CFBaseDLL::URLOfNameInLocation(this->mFrameworkName,
                                                      CFBaseDLL::kLocation_SystemFrameworks);
        if (url == nullptr) return false;
        const bool loaded = this->LoadFromURL(url);
        CFRelease(url);
        return loaded;
    }

    std::mutex mMutex;
};

// "System.framework": the C library functions reached through the framework.
class SystemFramework {
public:
    static T_CFBaseDLL<I_CFBundleDLL> &System();

    // getcwd of the framework; null (errno ENOSYS) when unavailable.
    static char *getcwd(char *buffer, unsigned long size);
    // mprotect of the framework; -1 (errno ENOSYS) when unavailable.
    static int mprotect(const void *address, unsigned long length, int protection);
    // chdir of the framework; -1 when unavailable or for a null path (reported).
    static int chdir(const char *in_utf8_path_string);
};

// "CoreServices.framework": the OSStatus strings of the reporters.
class CoreServicesFramework {
public:
    static T_CFBaseDLL<I_CFBundleDLL> &CoreServices();
};

bool import_CFBaseDLL();
