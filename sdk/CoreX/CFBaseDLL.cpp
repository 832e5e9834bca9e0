#include <CoreX/CFBaseDLL.h>

#include <cerrno>
#include <climits>

#include <Carbon/Carbon.h>
#include <CoreX/CoreMachDebugLog.h>

// ---- I_CFBundleDLL ----------------------------------------------------------------------

I_CFBundleDLL::~I_CFBundleDLL() {
    Unload();
    if (mBundle != nullptr) CFRelease(mBundle);
}

bool I_CFBundleDLL::LoadFromURL(CFURLRef url) {
    if (url == nullptr) return false;
    if (mBundle != nullptr) {
        Unload();
        if (mBundle != nullptr) CFRelease(mBundle);
    }
    mBundle = CFBundleCreate(kCFAllocatorSystemDefault, url);
    return mBundle != nullptr && CFBundleLoadExecutable(mBundle);
}

bool I_CFBundleDLL::Unload() {
    if (!IsLoaded()) return false;
    CFBundleUnloadExecutable(mBundle);
    CFRelease(mBundle);
    mBundle = nullptr;
    return true;
}

bool I_CFBundleDLL::IsLoaded() const {
    return mBundle != nullptr && CFBundleIsExecutableLoaded(mBundle);
}

// ---- CFBaseDLL ----------------------------------------------------------------------------

CFURLRef CFBaseDLL::URLOfNameInFindFolder(CFStringRef name, OSType folderType, short domain,
                                          CFStringRef subfolder) {
    if (name == nullptr) return nullptr;
    FSRef folderRef;
    if (FSFindFolder(domain, folderType, kDontCreateFolder, &folderRef) != noErr) return nullptr;
    CFURLRef folder = CFURLCreateFromFSRef(kCFAllocatorDefault, &folderRef);
    if (folder == nullptr) return nullptr;
    if (subfolder != nullptr) {
        CFURLRef inner = CFURLCreateCopyAppendingPathComponent(kCFAllocatorDefault, folder, subfolder, true);
        CFRelease(folder);
        folder = inner;
        if (folder == nullptr) return nullptr;
    }
    CFURLRef url = CFURLCreateCopyAppendingPathComponent(kCFAllocatorDefault, folder, name, false);
    CFRelease(folder);
    return url;
}

namespace {

// The main bundle's folder for a bundle location (0 and 3 to 7); created, or null.
CFURLRef CopyMainBundleFolder(CFBaseDLL::Location location) {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (bundle == nullptr) return nullptr;
    switch (location) {
    case CFBaseDLL::kLocation_ExecutableFolder: {
        CFURLRef executable = CFBundleCopyExecutableURL(bundle);
        if (executable == nullptr) return nullptr;
        CFURLRef folder = CFURLCreateCopyDeletingLastPathComponent(kCFAllocatorSystemDefault, executable);
        CFRelease(executable);
        return folder;
    }
    case CFBaseDLL::kLocation_BundlePrivateFrameworks: return CFBundleCopyPrivateFrameworksURL(bundle);
    case CFBaseDLL::kLocation_BundleSharedFrameworks: return CFBundleCopySharedFrameworksURL(bundle);
    case CFBaseDLL::kLocation_BundleResources: return CFBundleCopyResourcesDirectoryURL(bundle);
    case CFBaseDLL::kLocation_BundlePlugIns: return CFBundleCopyBuiltInPlugInsURL(bundle);
    case CFBaseDLL::kLocation_BundleSharedSupport: return CFBundleCopySharedSupportURL(bundle);
    default: return nullptr;
    }
}

}  // namespace

CFURLRef CFBaseDLL::URLOfNameInLocation(CFStringRef name, Location location) {
    if (name == nullptr) return nullptr;
    switch (location) {
    case kLocation_SystemFrameworks:
        return URLOfNameInFindFolder(name, kFrameworksFolderType, kSystemDomain);
    case kLocation_LocalFrameworks:
        return URLOfNameInFindFolder(name, kFrameworksFolderType, kLocalDomain);
    case kLocation_LocalComponents:
        return URLOfNameInFindFolder(name, kQuickTimeComponentsFolderType, kLocalDomain);
    case kLocation_SystemComponents:
        return URLOfNameInFindFolder(name, kQuickTimeComponentsFolderType, kSystemDomain);
    case kLocation_UserComponents:
        return URLOfNameInFindFolder(name, kQuickTimeComponentsFolderType, kUserDomain);
    case kLocation_ExecutableFolder:
    case kLocation_BundlePrivateFrameworks:
    case kLocation_BundleSharedFrameworks:
    case kLocation_BundleResources:
    case kLocation_BundlePlugIns:
    case kLocation_BundleSharedSupport: {
        CFURLRef folder = CopyMainBundleFolder(location);
        if (folder == nullptr) return nullptr;
        CFURLRef url = CFURLCreateCopyAppendingPathComponent(kCFAllocatorSystemDefault, folder, name, false);
        CFRelease(folder);
        return url;
    }
    default:
        return nullptr;
    }
}

const char *CFBaseDLL::PathFromURL(CFURLRef url, std::string &path) {
    char buffer[1024];
    if (url != nullptr &&
        CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8 *>(buffer), sizeof(buffer))) {
        path = buffer;
    }
    return path.c_str();
}

void CFBaseDLL::print_URL(const char *, CFURLRef) {}

// ---- The process-wide handles --------------------------------------------------------------

// Made on first use and never destroyed (see the header).
T_CFBaseDLL<I_CFBundleDLL> &SystemFramework::System() {
    static T_CFBaseDLL<I_CFBundleDLL> *handle = new T_CFBaseDLL<I_CFBundleDLL>(CFSTR("System.framework"));
    return *handle;
}

T_CFBaseDLL<I_CFBundleDLL> &CoreServicesFramework::CoreServices() {
    static T_CFBaseDLL<I_CFBundleDLL> *handle =
        new T_CFBaseDLL<I_CFBundleDLL>(CFSTR("CoreServices.framework"));
    return *handle;
}

char *SystemFramework::getcwd(char *buffer, unsigned long size) {
    typedef char *(*Function)(char *, size_t);
    auto function = reinterpret_cast<Function>(System().FunctionPointerForName(CFSTR("getcwd")));
    if (function == nullptr) {
        errno = ENOSYS;
        return nullptr;
    }
    return function(buffer, size);
}

int SystemFramework::mprotect(const void *address, unsigned long length, int protection) {
    typedef int (*Function)(void *, size_t, int);
    auto function = reinterpret_cast<Function>(System().FunctionPointerForName(CFSTR("mprotect")));
    if (function == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    return function(const_cast<void *>(address), length, protection);
}

int SystemFramework::chdir(const char *in_utf8_path_string) {
    if (!System().LoadSystemFramework()) {
        errno = ENOSYS;
        return -1;
    }
    if (!VERIFY(in_utf8_path_string)) return -1;
    typedef int (*Function)(const char *);
    auto function = reinterpret_cast<Function>(System().FunctionPointerForName(CFSTR("chdir")));
    if (function == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    return function(in_utf8_path_string);
}

bool import_CFBaseDLL() { return true; }
