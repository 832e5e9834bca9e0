// Bundles: a folder, the path of its executable and, once loaded, the dlopen handle.
#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFInternal.h>

#include <climits>
#include <dlfcn.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsFolder(const std::string &path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string &path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string LastComponent(const std::string &path) { return path.substr(path.rfind('/') + 1); }

std::string Parent(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

// A bundle's name without its extension ("Effects" for "Effects.qfxbundle").
std::string BundleName(const std::string &path) {
    const std::string name = LastComponent(path);
    const size_t dot = name.rfind('.');
    return dot == 0 || dot == std::string::npos ? name : name.substr(0, dot);
}

CFURLRef URLOf(const std::string &path, bool directory) {
    return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(path.data()),
                                                   CFIndex(path.size()), directory);
}

}  // namespace

struct __CFBundle final : cf::Object {
    __CFBundle(std::string path, std::string executable, bool bareTool)
        : cf::Object(CFBundleGetTypeID()), mPath(std::move(path)), mExecutable(std::move(executable)), mBareTool(bareTool) {}
    // A bundle that dies while its executable is loaded leaves the library loaded: function
    // pointers taken from it may still be in use.

    std::string description() const override {
        std::lock_guard<std::mutex> guard(mLock);
        std::string text = "CFBundle " + mPath;
        if (mHandle != nullptr) text += " (loaded)";
        else if (!mLoadError.empty()) text += " (not loaded: " + mLoadError + ")";
        else text += " (not loaded)";
        return text;
    }

    // Contents/<name>, or for a bare tool the folder <name> beside the program when it exists.
    CFURLRef contentsFolder(const char *name) const {
        if (!mBareTool) return URLOf(mPath + "/Contents/" + name, true);
        const std::string beside = mPath + "/" + name;
        return IsFolder(beside) ? URLOf(beside, true) : nullptr;
    }

    const std::string mPath;        // the bundle folder
    const std::string mExecutable;  // empty when there is none
    const bool mBareTool;           // the main bundle of a program outside a bundle
    bool mIsMain = false;

    mutable std::mutex mLock;  // guards what follows
    void *mHandle = nullptr;
    std::string mLoadError;
};

CFTypeID CFBundleGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CFBundle");
    return type;
}

namespace {

__CFBundle *Bundle(CFBundleRef bundle) {
    return const_cast<__CFBundle *>(cf::As<const __CFBundle>(bundle, CFBundleGetTypeID()));
}

__CFBundle *MakeMainBundle() {
    char program[PATH_MAX + 1];
    const ssize_t length = ::readlink("/proc/self/exe", program, PATH_MAX);
    if (length <= 0) return nullptr;
    const std::string path(program, size_t(length));
    const std::string folder = Parent(path);
    const std::string contents = Parent(folder);
    const std::string candidate = Parent(contents);
    __CFBundle *bundle;
    // X.ext/Contents/Linux/<program>: the bundle is X.ext.
    if (LastComponent(folder) == "Linux" && LastComponent(contents) == "Contents" &&
        LastComponent(candidate).find('.') != std::string::npos && LastComponent(candidate).front() != '.') {
        bundle = new __CFBundle(candidate, path, false);
    } else {
        bundle = new __CFBundle(folder, path, true);
    }
    bundle->mIsMain = true;
    bundle->mHandle = ::dlopen(nullptr, RTLD_NOW);  // the program's own symbols
    bundle->makeImmortal();
    return bundle;
}

bool Load(__CFBundle *bundle, std::string &reason) {
    std::lock_guard<std::mutex> guard(bundle->mLock);
    if (bundle->mHandle != nullptr) return true;
    if (bundle->mExecutable.empty()) {
        bundle->mLoadError = "the bundle has no executable (Contents/Linux/" + BundleName(bundle->mPath) + ")";
    } else {
        bundle->mHandle = ::dlopen(bundle->mExecutable.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (bundle->mHandle != nullptr) {
            bundle->mLoadError.clear();
            return true;
        }
        const char *text = ::dlerror();
        bundle->mLoadError = text ? text : "the executable cannot be loaded";
    }
    reason = bundle->mLoadError;
    return false;
}

}  // namespace

CFBundleRef CFBundleGetMainBundle(void) {
    static __CFBundle *const mainBundle = MakeMainBundle();
    return mainBundle;
}

CFBundleRef CFBundleCreate(CFAllocatorRef, CFURLRef bundleURL) {
    char buffer[PATH_MAX];
    if (!CFURLGetFileSystemRepresentation(bundleURL, true, reinterpret_cast<UInt8 *>(buffer), sizeof buffer))
        return nullptr;
    const std::string path = buffer;
    if (!IsFolder(path)) return nullptr;
    const std::string executable = path + "/Contents/Linux/" + BundleName(path);
    return new __CFBundle(path, IsFile(executable) ? executable : std::string(), false);
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle) {
    const __CFBundle *object = Bundle(bundle);
    return object ? URLOf(object->mPath, true) : nullptr;
}

CFURLRef CFBundleCopyExecutableURL(CFBundleRef bundle) {
    const __CFBundle *object = Bundle(bundle);
    if (object == nullptr || object->mExecutable.empty()) return nullptr;
    return URLOf(object->mExecutable, false);
}

CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle) {
    const __CFBundle *object = Bundle(bundle);
    if (object == nullptr) return nullptr;
    return object->mBareTool ? URLOf(object->mPath, true) : object->contentsFolder("Resources");
}

CFURLRef CFBundleCopyPrivateFrameworksURL(CFBundleRef bundle) {
    const __CFBundle *object = Bundle(bundle);
    return object ? object->contentsFolder("Frameworks") : nullptr;
}

CFURLRef CFBundleCopySharedFrameworksURL(CFBundleRef bundle) {
    const __CFBundle *object = Bundle(bundle);
    return object ? object->contentsFolder("SharedFrameworks") : nullptr;
}

CFURLRef CFBundleCopyBuiltInPlugInsURL(CFBundleRef bundle) {
    const __CFBundle *object = Bundle(bundle);
    return object ? object->contentsFolder("PlugIns") : nullptr;
}

CFURLRef CFBundleCopySharedSupportURL(CFBundleRef bundle) {
    const __CFBundle *object = Bundle(bundle);
    return object ? object->contentsFolder("SharedSupport") : nullptr;
}

namespace {

// True when a relative resource path has no ".." component (and is not absolute).
bool StaysInside(const std::string &relative) {
    if (!relative.empty() && relative.front() == '/') return false;
    size_t start = 0;
    while (start <= relative.size()) {
        const size_t slash = relative.find('/', start);
        const size_t end = slash == std::string::npos ? relative.size() : slash;
        if (relative.compare(start, end - start, "..") == 0 && end - start == 2) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName) {
    std::string name, type, subfolder;
    if (Bundle(bundle) == nullptr || !cf::UTF8(resourceName, name) || name.empty()) return nullptr;
    if (resourceType != nullptr && !cf::UTF8(resourceType, type)) return nullptr;
    if (subDirName != nullptr && !cf::UTF8(subDirName, subfolder)) return nullptr;
    if (!type.empty() && type.front() != '.') type.insert(type.begin(), '.');
    std::string relative = subfolder.empty() ? name + type : subfolder + "/" + name + type;
    if (!StaysInside(relative)) return nullptr;

    CFURLRef resources = CFBundleCopyResourcesDirectoryURL(bundle);
    if (resources == nullptr) return nullptr;
    char folder[PATH_MAX];
    const bool ok = CFURLGetFileSystemRepresentation(resources, true, reinterpret_cast<UInt8 *>(folder), sizeof folder);
    CFRelease(resources);
    if (!ok) return nullptr;
    const std::string path = std::string(folder) + "/" + relative;
    return IsFile(path) ? URLOf(path, false) : nullptr;
}

Boolean CFBundleLoadExecutable(CFBundleRef bundle) { return CFBundleLoadExecutableAndReturnError(bundle, nullptr); }

Boolean CFBundleLoadExecutableAndReturnError(CFBundleRef bundle, CFErrorRef *error) {
    if (error != nullptr) *error = nullptr;
    __CFBundle *object = Bundle(bundle);
    if (object == nullptr) return false;
    std::string reason;
    if (Load(object, reason)) return true;
    if (error != nullptr) {
        // NSExecutableNotLoadableError (3584) without an executable, NSExecutableLoadError (3587) else.
        const CFIndex code = object->mExecutable.empty() ? 3584 : 3587;
        CFStringRef text = cf::CreateStringFromUTF8(reason);
        if (text == nullptr)  // a path that is not UTF-8 in the loader's text
            text = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(reason.data()),
                                           CFIndex(reason.size()), kCFStringEncodingISOLatin1, false);
        const void *keys[] = {kCFErrorLocalizedDescriptionKey};
        const void *values[] = {text};
        CFDictionaryRef userInfo = CFDictionaryCreate(nullptr, keys, values, 1, &kCFTypeDictionaryKeyCallBacks,
                                                      &kCFTypeDictionaryValueCallBacks);
        *error = CFErrorCreate(nullptr, kCFErrorDomainCocoa, code, userInfo);
        CFRelease(userInfo);
        CFRelease(text);
    }
    return false;
}

Boolean CFBundleIsExecutableLoaded(CFBundleRef bundle) {
    __CFBundle *object = Bundle(bundle);
    if (object == nullptr) return false;
    std::lock_guard<std::mutex> guard(object->mLock);
    return object->mHandle != nullptr;
}

void CFBundleUnloadExecutable(CFBundleRef bundle) {
    __CFBundle *object = Bundle(bundle);
    if (object == nullptr || object->mIsMain) return;
    std::lock_guard<std::mutex> guard(object->mLock);
    if (object->mHandle == nullptr) return;
    ::dlclose(object->mHandle);
    object->mHandle = nullptr;
}

void *CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef functionName) {
    __CFBundle *object = Bundle(bundle);
    std::string name;
    if (object == nullptr || !cf::UTF8(functionName, name) || name.empty()) return nullptr;
    std::lock_guard<std::mutex> guard(object->mLock);
    if (object->mHandle == nullptr) return nullptr;
    return ::dlsym(object->mHandle, name.c_str());
}
