#include <QuickTime/ComponentRegistry.h>

#include <Carbon/Files.h>
#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFPropertyList.h>
#include <CoreFoundation/CFString.h>

#include <climits>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kMaxInfoPlistBytes = 1 << 20;
constexpr size_t kMaxEntryPointLength = 255;

struct RegisteredComponent {
    ComponentDescription description;
    void *entryPoint;
    std::string file;
};

struct Registry {
    std::mutex lock;
    std::vector<RegisteredComponent> components;
    std::vector<CFBundleRef> bundles;  // kept loaded for the life of the process
};

Registry &TheRegistry() {
    static Registry *registry = new Registry;  // outlives the components' users at exit
    return *registry;
}

bool StringValue(CFDictionaryRef dictionary, const char *key, std::string &out) {
    CFStringRef keyString = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    const void *value = CFDictionaryGetValue(dictionary, keyString);
    CFRelease(keyString);
    if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return false;
    char buffer[kMaxEntryPointLength + 2];
    if (!CFStringGetCString(static_cast<CFStringRef>(value), buffer, sizeof buffer, kCFStringEncodingUTF8))
        return false;
    out = buffer;
    return true;
}

bool CodeValue(CFDictionaryRef dictionary, const char *key, OSType &code) {
    std::string text;
    if (!StringValue(dictionary, key, text) || text.size() != 4) return false;
    code = 0;
    for (unsigned char c : text) {
        if (c < 0x20 || c > 0x7e) return false;
        code = (code << 8) | c;
    }
    return true;
}

bool ValidSymbol(const std::string &name) {
    if (name.empty() || name.size() > kMaxEntryPointLength) return false;
    for (unsigned char c : name)
        if (!(c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
    return true;
}

// The whole file when it is a regular file of at most `limit` bytes.
bool ReadSmallFile(const std::string &path, std::vector<unsigned char> &bytes, size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && size_t(info.st_size) <= limit;
    if (ok) {
        bytes.resize(size_t(info.st_size));
        size_t done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (got <= 0) ok = false;
            else done += size_t(got);
        }
    }
    ::close(fd);
    return ok;
}

bool Matches(const ComponentDescription &looking, const ComponentDescription &have) {
    return (looking.componentType == 0 || looking.componentType == have.componentType) &&
           (looking.componentSubType == 0 || looking.componentSubType == have.componentSubType) &&
           (looking.componentManufacturer == 0 || looking.componentManufacturer == have.componentManufacturer);
}

}  // namespace

namespace lumora::qt {

bool ParseComponentInfo(const void *bytes, size_t size, std::vector<ComponentFileEntry> &entries) {
    entries.clear();
    if (bytes == nullptr || size == 0 || size > kMaxInfoPlistBytes) return false;
    CFDataRef data = CFDataCreate(nullptr, static_cast<const UInt8 *>(bytes), CFIndex(size));
    if (data == nullptr) return false;
    CFPropertyListRef list = CFPropertyListCreateWithData(nullptr, data, kCFPropertyListImmutable, nullptr, nullptr);
    CFRelease(data);
    if (list == nullptr) return false;
    bool ok = CFGetTypeID(list) == CFDictionaryGetTypeID();
    if (ok) {
        const void *components = CFDictionaryGetValue(static_cast<CFDictionaryRef>(list), CFSTR("QTComponents"));
        ok = components != nullptr && CFGetTypeID(components) == CFArrayGetTypeID();
        const CFIndex count = ok ? CFArrayGetCount(static_cast<CFArrayRef>(components)) : 0;
        ok = ok && count > 0;
        for (CFIndex i = 0; ok && i < count; ++i) {
            const void *item = CFArrayGetValueAtIndex(static_cast<CFArrayRef>(components), i);
            if (item == nullptr || CFGetTypeID(item) != CFDictionaryGetTypeID()) {
                ok = false;
                break;
            }
            const CFDictionaryRef entry = static_cast<CFDictionaryRef>(item);
            ComponentFileEntry parsed{};
            ok = CodeValue(entry, "componentType", parsed.description.componentType) &&
                 CodeValue(entry, "componentSubType", parsed.description.componentSubType) &&
                 CodeValue(entry, "componentManufacturer", parsed.description.componentManufacturer) &&
                 StringValue(entry, "componentEntryPoint", parsed.entryPoint) && ValidSymbol(parsed.entryPoint);
            if (ok) entries.push_back(parsed);
        }
    }
    CFRelease(list);
    if (!ok) entries.clear();
    return ok;
}

}  // namespace lumora::qt

using namespace lumora::qt;

OSErr RegisterComponentFileRef(const FSRef *ref, Boolean global) {
    if (global) return paramErr;
    if (ref == nullptr) return fnfErr;
    UInt8 path[PATH_MAX];
    if (FSRefMakePath(ref, path, sizeof path) != noErr) return fnfErr;
    const std::string bundlePath(reinterpret_cast<const char *>(path));

    std::vector<unsigned char> info;
    std::vector<ComponentFileEntry> entries;
    if (!ReadSmallFile(bundlePath + "/Contents/Info.plist", info, kMaxInfoPlistBytes) ||
        !ParseComponentInfo(info.data(), info.size(), entries))
        return componentDllLoadErr;

    Registry &registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    for (const RegisteredComponent &known : registry.components)
        if (known.file == bundlePath) return noErr;

    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, path, CFIndex(bundlePath.size()), true);
    CFBundleRef bundle = url != nullptr ? CFBundleCreate(nullptr, url) : nullptr;
    if (url != nullptr) CFRelease(url);
    if (bundle == nullptr) return componentDllLoadErr;
    if (!CFBundleLoadExecutable(bundle)) {
        CFRelease(bundle);
        return componentDllLoadErr;
    }
    std::vector<RegisteredComponent> found;
    for (const ComponentFileEntry &entry : entries) {
        CFStringRef name = CFStringCreateWithCString(nullptr, entry.entryPoint.c_str(), kCFStringEncodingUTF8);
        void *function = CFBundleGetFunctionPointerForName(bundle, name);
        CFRelease(name);
        if (function == nullptr) {
            CFBundleUnloadExecutable(bundle);
            CFRelease(bundle);
            return componentDllEntryNotFoundErr;
        }
        found.push_back(RegisteredComponent{entry.description, function, bundlePath});
    }
    registry.components.insert(registry.components.end(), found.begin(), found.end());
    registry.bundles.push_back(bundle);
    return noErr;
}

long CountComponents(const ComponentDescription *looking) {
    Registry &registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    if (looking == nullptr) return long(registry.components.size());
    long count = 0;
    for (const RegisteredComponent &component : registry.components)
        if (Matches(*looking, component.description)) ++count;
    return count;
}
