#include <QuickTime/ComponentRegistry.h>

#include <Carbon/Files.h>
#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFPropertyList.h>
#include <CoreFoundation/CFString.h>

#include <QuickTime/QTComponent.h>

#include <climits>
#include <cstring>
#include <memory>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kMaxInfoPlistBytes = 1 << 20;
constexpr size_t kMaxEntryPointLength = 255;

constexpr size_t kMaxResourceText = 255;
constexpr size_t kMaxStringLists = 64;
constexpr size_t kMaxListItems = 255;

}  // namespace

// A registered component; records live for the whole process.
struct ComponentRecord {
    ComponentDescription description;
    ComponentRoutineProcPtr entryPoint;
    std::string file;
    lumora::qt::ComponentResources resources;
};

namespace {

// An open instance of a registered component.
struct RegisteredInstance : ComponentInstanceRecord {
    RegisteredInstance(ComponentRecord *component)
        : ComponentInstanceRecord(component->description, component->resources.name.c_str(), true),
          mComponent(component) {}
    ComponentRecord *mComponent;
    Handle mStorage = nullptr;
};

struct Registry {
    std::mutex lock;
    std::vector<std::unique_ptr<ComponentRecord>> components;
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

bool ParseComponentResources(const void *bytes, size_t size, ComponentResources &resources) {
    resources = ComponentResources{};
    if (bytes == nullptr || size == 0 || size > kMaxInfoPlistBytes) return false;
    CFDataRef data = CFDataCreate(nullptr, static_cast<const UInt8 *>(bytes), CFIndex(size));
    if (data == nullptr) return false;
    CFPropertyListRef list = CFPropertyListCreateWithData(nullptr, data, kCFPropertyListImmutable, nullptr, nullptr);
    CFRelease(data);
    if (list == nullptr) return false;
    auto text = [](const void *value, std::string &out) {
        if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return false;
        char buffer[kMaxResourceText + 2];
        if (!CFStringGetCString(static_cast<CFStringRef>(value), buffer, sizeof buffer, kCFStringEncodingUTF8))
            return false;
        out = buffer;
        return out.size() <= kMaxResourceText;
    };
    bool ok = CFGetTypeID(list) == CFDictionaryGetTypeID();
    const CFDictionaryRef top = static_cast<CFDictionaryRef>(list);
    if (ok) {
        const void *thng = CFDictionaryGetValue(top, CFSTR("thng"));
        if (thng != nullptr) {
            ok = CFGetTypeID(thng) == CFDictionaryGetTypeID();
            const CFDictionaryRef record = static_cast<CFDictionaryRef>(thng);
            const void *name = ok ? CFDictionaryGetValue(record, CFSTR("name")) : nullptr;
            const void *info = ok ? CFDictionaryGetValue(record, CFSTR("info")) : nullptr;
            if (ok && name != nullptr) ok = text(name, resources.name);
            if (ok && info != nullptr) ok = text(info, resources.info);
        }
    }
    if (ok) {
        const void *lists = CFDictionaryGetValue(top, CFSTR("STR#"));
        if (lists != nullptr) {
            ok = CFGetTypeID(lists) == CFDictionaryGetTypeID();
            const CFIndex count = ok ? CFDictionaryGetCount(static_cast<CFDictionaryRef>(lists)) : 0;
            ok = ok && size_t(count) <= kMaxStringLists;
            std::vector<const void *> keys(size_t(ok ? count : 0)), values(size_t(ok ? count : 0));
            if (ok && count > 0) CFDictionaryGetKeysAndValues(static_cast<CFDictionaryRef>(lists), keys.data(), values.data());
            for (CFIndex i = 0; ok && i < count; ++i) {
                std::string number;
                ok = text(keys[size_t(i)], number) && !number.empty() && number.size() <= 6;
                long id = 0;
                for (size_t c = 0; ok && c < number.size(); ++c) {
                    const bool minus = c == 0 && number[c] == '-' && number.size() > 1;
                    ok = minus || (number[c] >= '0' && number[c] <= '9');
                    if (ok && !minus) id = id * 10 + (number[c] - '0');
                }
                if (ok && number[0] == '-') id = -id;
                ok = ok && id >= -32768 && id <= 32767;
                const void *items = values[size_t(i)];
                ok = ok && CFGetTypeID(items) == CFArrayGetTypeID();
                const CFIndex itemCount = ok ? CFArrayGetCount(static_cast<CFArrayRef>(items)) : 0;
                ok = ok && size_t(itemCount) <= kMaxListItems;
                std::vector<std::string> strings;
                for (CFIndex k = 0; ok && k < itemCount; ++k) {
                    std::string item;
                    ok = text(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(items), k), item);
                    strings.push_back(item);
                }
                if (ok) resources.stringLists.emplace_back(SInt16(id), std::move(strings));
            }
        }
    }
    CFRelease(list);
    if (!ok) resources = ComponentResources{};
    return ok;
}

}  // namespace lumora::qt

using namespace lumora::qt;

namespace {

ComponentRecord *RegisteredComponentLocked(Registry &registry, const void *component) {
    for (const auto &known : registry.components)
        if (known.get() == component) return known.get();
    return nullptr;
}

RegisteredInstance *AsRegisteredInstance(const void *instance) {
    return dynamic_cast<RegisteredInstance *>(LiveComponent(instance));
}

// The component of a registered component or of an open instance of one.
ComponentRecord *ComponentOf(const void *componentOrInstance) {
    if (RegisteredInstance *instance = AsRegisteredInstance(componentOrInstance)) return instance->mComponent;
    Registry &registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    return RegisteredComponentLocked(registry, componentOrInstance);
}

}  // namespace

namespace lumora::qt {

bool CloseRegisteredInstance(ComponentInstanceRecord *record, OSErr &err) {
    auto *instance = dynamic_cast<RegisteredInstance *>(record);
    if (instance == nullptr) return false;
    ComponentParameters params{};
    params.what = kComponentCloseSelect;
    params.paramSize = sizeof(long);
    params.params[0] = long(reinterpret_cast<intptr_t>(instance));
    const ComponentResult result = instance->mComponent->entryPoint(&params, instance->mStorage);
    delete instance;
    err = OSErr(result);
    return true;
}

bool RegisteredComponentInfo(const void *component, ComponentDescription &description, const char *&name) {
    Registry &registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    ComponentRecord *record = RegisteredComponentLocked(registry, component);
    if (record == nullptr) return false;
    description = record->description;
    name = record->resources.name.c_str();
    return true;
}

}  // namespace lumora::qt

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
    for (const auto &known : registry.components)
        if (known->file == bundlePath) return noErr;

    ComponentResources resources;
    std::vector<unsigned char> resourceBytes;
    if (ReadSmallFile(bundlePath + "/Contents/Resources/Component.plist", resourceBytes, kMaxInfoPlistBytes) &&
        !ParseComponentResources(resourceBytes.data(), resourceBytes.size(), resources))
        return componentDllLoadErr;

    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, path, CFIndex(bundlePath.size()), true);
    CFBundleRef bundle = url != nullptr ? CFBundleCreate(nullptr, url) : nullptr;
    if (url != nullptr) CFRelease(url);
    if (bundle == nullptr) return componentDllLoadErr;
    if (!CFBundleLoadExecutable(bundle)) {
        CFRelease(bundle);
        return componentDllLoadErr;
    }
    std::vector<std::unique_ptr<ComponentRecord>> found;
    for (const ComponentFileEntry &entry : entries) {
        CFStringRef name = CFStringCreateWithCString(nullptr, entry.entryPoint.c_str(), kCFStringEncodingUTF8);
        void *function = CFBundleGetFunctionPointerForName(bundle, name);
        CFRelease(name);
        if (function == nullptr) {
            CFBundleUnloadExecutable(bundle);
            CFRelease(bundle);
            return componentDllEntryNotFoundErr;
        }
        found.push_back(std::make_unique<ComponentRecord>(
            ComponentRecord{entry.description, reinterpret_cast<ComponentRoutineProcPtr>(function), bundlePath, resources}));
    }
    for (auto &component : found) registry.components.push_back(std::move(component));
    registry.bundles.push_back(bundle);
    return noErr;
}

long CountComponents(const ComponentDescription *looking) {
    Registry &registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    if (looking == nullptr) return long(registry.components.size());
    long count = 0;
    for (const auto &component : registry.components)
        if (Matches(*looking, component->description)) ++count;
    return count;
}

Component FindNextComponent(Component aComponent, const ComponentDescription *looking) {
    Registry &registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    size_t start = 0;
    if (aComponent != nullptr) {
        while (start < registry.components.size() && registry.components[start].get() != aComponent) ++start;
        if (start == registry.components.size()) return nullptr;
        ++start;
    }
    for (size_t i = start; i < registry.components.size(); ++i)
        if (looking == nullptr || Matches(*looking, registry.components[i]->description))
            return registry.components[i].get();
    return nullptr;
}

OSErr OpenAComponent(Component aComponent, ComponentInstance *ci) {
    if (ci == nullptr) return paramErr;
    *ci = nullptr;
    ComponentRecord *component = nullptr;
    {
        Registry &registry = TheRegistry();
        std::lock_guard<std::mutex> guard(registry.lock);
        component = RegisteredComponentLocked(registry, aComponent);
    }
    if (component == nullptr) return OSErr(badComponentInstance);
    auto *instance = new RegisteredInstance(component);
    ComponentParameters params{};
    params.what = kComponentOpenSelect;
    params.paramSize = sizeof(long);
    params.params[0] = long(reinterpret_cast<intptr_t>(instance));
    const ComponentResult result = component->entryPoint(&params, nullptr);
    if (result != noErr) {
        delete instance;
        return OSErr(result);
    }
    *ci = reinterpret_cast<ComponentInstance>(static_cast<ComponentInstanceRecord *>(instance));
    return noErr;
}

ComponentInstance OpenComponent(Component aComponent) {
    ComponentInstance instance = nullptr;
    OpenAComponent(aComponent, &instance);
    return instance;
}

ComponentResult CallComponent(ComponentInstance ci, ComponentParameters *params) {
    RegisteredInstance *instance = AsRegisteredInstance(ci);
    if (instance == nullptr) return badComponentInstance;
    if (params == nullptr || params->paramSize > sizeof params->params) return paramErr;
    return instance->mComponent->entryPoint(params, instance->mStorage);
}

long ComponentFunctionImplemented(ComponentInstance ci, SInt16 ftnNumber) {
    ComponentParameters params{};
    params.what = kComponentCanDoSelect;
    params.paramSize = sizeof(long);
    params.params[0] = ftnNumber;
    return CallComponent(ci, &params) == 1 ? 1 : 0;
}

void SetComponentInstanceStorage(ComponentInstance aComponentInstance, Handle theStorage) {
    if (RegisteredInstance *instance = AsRegisteredInstance(aComponentInstance)) instance->mStorage = theStorage;
}

Handle GetComponentInstanceStorage(ComponentInstance aComponentInstance) {
    RegisteredInstance *instance = AsRegisteredInstance(aComponentInstance);
    return instance != nullptr ? instance->mStorage : nullptr;
}

OSErr GetComponentIndString(Component aComponent, Str255 theString, SInt16 strListID, SInt16 index) {
    ComponentRecord *component = ComponentOf(aComponent);
    if (component == nullptr) return OSErr(badComponentInstance);
    if (theString == nullptr) return paramErr;
    for (const auto &[id, items] : component->resources.stringLists) {
        if (id != strListID) continue;
        if (index < 1 || size_t(index) > items.size()) break;
        const std::string &item = items[size_t(index - 1)];
        theString[0] = static_cast<unsigned char>(item.size());
        std::memcpy(theString + 1, item.data(), item.size());
        return noErr;
    }
    theString[0] = 0;
    return resNotFound;
}

ComponentResult CallComponentFunctionWithStorageProcInfo(Handle storage, ComponentParameters *params, ProcPtr func,
                                                        ProcInfoType procInfo) {
    if (params == nullptr || func == nullptr) return paramErr;
    unsigned codes[16] = {};
    size_t count = 0;
    bool ended = false;
    for (unsigned shift = 6; shift < 32; shift += 2) {
        const unsigned code = (procInfo >> shift) & 3;
        if (code == 0) ended = true;
        else if (ended) return paramErr;  // a parameter after the end of the list
        else codes[count++] = code;
    }
    if (count == 0 || codes[0] != 3) return paramErr;
    const size_t extra = count - 1;
    if (extra > kComponentMaxParameters || params->paramSize > sizeof params->params ||
        params->paramSize < extra * sizeof(long))
        return paramErr;
    long a[kComponentMaxParameters] = {};
    for (size_t i = 0; i < extra; ++i) {
        const long p = params->params[i];
        a[i] = codes[i + 1] == 1 ? long(UInt8(p)) : codes[i + 1] == 2 ? long(SInt16(p)) : p;
    }
    using L = long;
    switch (extra) {
    case 0: return reinterpret_cast<ComponentResult (*)(Handle)>(func)(storage);
    case 1: return reinterpret_cast<ComponentResult (*)(Handle, L)>(func)(storage, a[0]);
    case 2: return reinterpret_cast<ComponentResult (*)(Handle, L, L)>(func)(storage, a[0], a[1]);
    case 3: return reinterpret_cast<ComponentResult (*)(Handle, L, L, L)>(func)(storage, a[0], a[1], a[2]);
    case 4: return reinterpret_cast<ComponentResult (*)(Handle, L, L, L, L)>(func)(storage, a[0], a[1], a[2], a[3]);
    case 5:
        return reinterpret_cast<ComponentResult (*)(Handle, L, L, L, L, L)>(func)(storage, a[0], a[1], a[2], a[3], a[4]);
    case 6:
        return reinterpret_cast<ComponentResult (*)(Handle, L, L, L, L, L, L)>(func)(storage, a[0], a[1], a[2], a[3],
                                                                                     a[4], a[5]);
    case 7:
        return reinterpret_cast<ComponentResult (*)(Handle, L, L, L, L, L, L, L)>(func)(storage, a[0], a[1], a[2],
                                                                                        a[3], a[4], a[5], a[6]);
    default:
        return reinterpret_cast<ComponentResult (*)(Handle, L, L, L, L, L, L, L, L)>(func)(
            storage, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
    }
}
