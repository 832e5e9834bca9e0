#include <CoreImage/CIPlugIn.h>

#include <Carbon/Folders.h>
#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFPropertyList.h>
#include <CoreFoundation/CFString.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

// Info.plist files larger than this are not read.
constexpr std::streamsize kMaxInfoPlistSize = 1 << 20;

struct LoaderState {
    std::recursive_mutex mutex;               // a unit's load may itself load units
    // Real bundle path -> the result of its one load ("" when it loaded, else why not).
    std::map<std::string, std::string> results;
    std::set<std::string> scannedFolders;
};

LoaderState &State() {
    static LoaderState *state = new LoaderState;  // lives to the end of the process
    return *state;
}

void LogNotLoaded(const std::string &path, const std::string &reason) {
    std::fprintf(stderr, "Core Image: image unit %s not loaded: %s\n", path.c_str(), reason.c_str());
}

std::string StringOf(CFStringRef string) {
    if (string == nullptr) return {};
    const CFIndex length = CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8) + 1;
    std::string text(size_t(length), '\0');
    if (!CFStringGetCString(string, text.data(), length, kCFStringEncodingUTF8)) return {};
    text.resize(std::char_traits<char>::length(text.c_str()));
    return text;
}

bool PathOfURL(CFURLRef url, std::string &path) {
    char buffer[PATH_MAX];
    if (url == nullptr || !CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8 *>(buffer), sizeof buffer))
        return false;
    path = buffer;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return !path.empty();
}

// A name that can stand in a C function name.
bool IsIdentifier(const std::string &name) {
    if (name.empty() || name.size() > 200 || (name[0] >= '0' && name[0] <= '9')) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

// The NSPrincipalClass of the bundle's Info.plist; "" with `reason` set when there is none.
std::string PrincipalClass(const std::string &bundlePath, std::string &reason) {
    std::ifstream file(bundlePath + "/Contents/Info.plist", std::ios::binary);
    if (!file) {
        reason = "no Contents/Info.plist";
        return {};
    }
    std::string xml(size_t(kMaxInfoPlistSize) + 1, '\0');
    file.read(xml.data(), std::streamsize(xml.size()));
    if (file.bad() || file.gcount() > kMaxInfoPlistSize) {
        reason = "Contents/Info.plist cannot be read or is too large";
        return {};
    }
    xml.resize(size_t(file.gcount()));
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(xml.data()), CFIndex(xml.size()));
    CFPropertyListRef info =
        data ? CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data, kCFPropertyListImmutable, nullptr) : nullptr;
    if (data) CFRelease(data);
    std::string name;
    if (info != nullptr && CFGetTypeID(info) == CFDictionaryGetTypeID()) {
        CFTypeRef value = CFDictionaryGetValue(static_cast<CFDictionaryRef>(info), CFSTR("NSPrincipalClass"));
        if (value != nullptr && CFGetTypeID(value) == CFStringGetTypeID())
            name = StringOf(static_cast<CFStringRef>(value));
        if (name.empty()) reason = "Contents/Info.plist names no principal class (NSPrincipalClass)";
        else if (!IsIdentifier(name)) reason = "the principal class \"" + name + "\" is not a valid name";
    } else {
        reason = "Contents/Info.plist is not a property list dictionary";
    }
    if (info != nullptr) CFRelease(info);
    return reason.empty() ? name : std::string();
}

void *FunctionNamed(CFBundleRef bundle, const std::string &name) {
    CFStringRef string = CFStringCreateWithCString(kCFAllocatorDefault, name.c_str(), kCFStringEncodingUTF8);
    if (string == nullptr) return nullptr;
    void *function = CFBundleGetFunctionPointerForName(bundle, string);
    CFRelease(string);
    return function;
}

// Runs the unit's entry points (the bundle's executable is loaded): "" when the unit loaded,
// else why not.
std::string RunUnit(CFBundleRef bundle, const std::string &principalClass) {
    using InitFunction = void (*)();
    using Factory = CIPlugInRegistration *(*)();
    const std::string factoryName = principalClass + "_create";
    auto factory = reinterpret_cast<Factory>(FunctionNamed(bundle, factoryName));
    auto init = reinterpret_cast<InitFunction>(FunctionNamed(bundle, "CIPlugInLoaderInitFunc"));
    if (factory == nullptr) return "the executable does not export " + factoryName;
    try {
        if (init != nullptr) init();
        std::unique_ptr<CIPlugInRegistration> registration(factory());
        if (!registration) return factoryName + " made no registration";
        if (!registration->load(nullptr))
            return "its principal class " + principalClass + " declined to load in this host";
    } catch (...) {
        return "its code threw an exception while loading";
    }
    return {};
}

// Loads the bundle at `path` (the state's mutex is held).
bool LoadBundle(LoaderState &state, const std::string &givenPath) {
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(givenPath, error);
    if (error || !std::filesystem::is_directory(real, error)) {
        LogNotLoaded(givenPath, "no bundle folder there");
        return false;
    }
    const std::string path = real.string();
    if (auto done = state.results.find(path); done != state.results.end()) {
        if (!done->second.empty()) LogNotLoaded(path, done->second);
        return done->second.empty();
    }

    std::string reason;
    const std::string principalClass = PrincipalClass(path, reason);
    if (principalClass.empty()) {
        LogNotLoaded(path, reason);
        return false;
    }
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(path.c_str()),
                                                           CFIndex(path.size()), true);
    CFBundleRef bundle = url ? CFBundleCreate(kCFAllocatorDefault, url) : nullptr;
    if (url) CFRelease(url);
    if (bundle == nullptr) {
        LogNotLoaded(path, "not a bundle");
        return false;
    }
    bool loaded = false;
    if (CFURLRef executable = CFBundleCopyExecutableURL(bundle)) {
        CFRelease(executable);
        CFErrorRef loadError = nullptr;
        if (CFBundleLoadExecutableAndReturnError(bundle, &loadError)) {
            // From here the unit's code is in the process: it never runs again (a load that
            // the unit's own code asks for while it loads answers false).
            state.results[path] = "it is loading already";
            const std::string why = RunUnit(bundle, principalClass);
            state.results[path] = why;
            loaded = why.empty();
            if (!loaded) LogNotLoaded(path, why);
        } else {
            std::string why = "the executable cannot be loaded";
            if (loadError != nullptr) {
                CFStringRef description = CFErrorCopyDescription(loadError);
                if (description != nullptr) {
                    why += ": " + StringOf(description);
                    CFRelease(description);
                }
                CFRelease(loadError);
            }
            LogNotLoaded(path, why);
        }
    } else {
        LogNotLoaded(path, "no executable (Contents/Linux/<name>)");
    }
    CFRelease(bundle);  // a loaded executable stays loaded
    return loaded;
}

}  // namespace

bool CIPlugIn::loadPlugIn(CFURLRef url, bool allowExecutableCode) {
    std::string path;
    if (!PathOfURL(url, path)) {
        std::fprintf(stderr, "Core Image: image unit not loaded: no file URL given\n");
        return false;
    }
    if (!allowExecutableCode) {
        LogNotLoaded(path, "executable code is not allowed, and every image unit carries its filters in code");
        return false;
    }
    LoaderState &state = State();
    std::lock_guard lock(state.mutex);
    return LoadBundle(state, path);
}

void CIPlugIn::loadAllPlugIns() {
    LoaderState &state = State();
    std::lock_guard lock(state.mutex);
    for (short domain : {kUserDomain, kLocalDomain, kSystemDomain}) {
        std::string library;
        if (lumora::carbon::FolderPath(domain, kDomainLibraryFolderType, library) != noErr) continue;
        const std::string folder = library + "/Graphics/Image Units";
        if (!state.scannedFolders.insert(folder).second) continue;
        std::error_code error;
        std::vector<std::string> bundles;
        for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
            const std::filesystem::path &entry = it->path();
            std::error_code kindError;
            if (entry.extension() == ".plugin" && std::filesystem::is_directory(entry, kindError))
                bundles.push_back(entry.string());
        }
        std::sort(bundles.begin(), bundles.end());
        for (const std::string &bundle : bundles) LoadBundle(state, bundle);
    }
}
