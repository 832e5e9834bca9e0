#include <CoreFoundation/CFRuntime.h>

#include <CoreFoundation/CFString.h>

#include <cstdio>
#include <mutex>
#include <vector>

namespace cf {

namespace {

struct TypeRegistry {
    std::mutex lock;
    std::vector<std::string> names;  // index = type id - 1
};

TypeRegistry &Registry() {
    static TypeRegistry *registry = [] {
        auto *made = new TypeRegistry;  // lives to the end of the process
        made->names = {"CFNull", "CFBoolean", "CFString"};  // the fixed ids
        return made;
    }();
    return *registry;
}

}  // namespace

std::string Object::description() const {
    char text[64];
    const char *name = TypeName(mType);
    std::snprintf(text, sizeof text, "<%s %p>", name ? name : "CFType", static_cast<const void *>(this));
    return text;
}

void Object::retain() const {
    if (!mImmortal) mRetainCount.fetch_add(1, std::memory_order_relaxed);
}

bool Object::release() const {
    if (mImmortal) return false;
    return mRetainCount.fetch_sub(1, std::memory_order_acq_rel) == 1;
}

CFIndex Object::retainCount() const { return mRetainCount.load(std::memory_order_relaxed); }

CFTypeID RegisterType(const char *name) {
    TypeRegistry &registry = Registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    registry.names.emplace_back(name ? name : "");
    return static_cast<CFTypeID>(registry.names.size());
}

const char *TypeName(CFTypeID type) {
    TypeRegistry &registry = Registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    if (type == 0 || type > registry.names.size()) return nullptr;
    return registry.names[type - 1].c_str();
}

}  // namespace cf

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFAllocatorRef kCFAllocatorSystemDefault = reinterpret_cast<CFAllocatorRef>(1);
const CFAllocatorRef kCFAllocatorMalloc = reinterpret_cast<CFAllocatorRef>(2);
const CFAllocatorRef kCFAllocatorNull = reinterpret_cast<CFAllocatorRef>(3);

CFTypeRef CFRetain(CFTypeRef object) {
    if (object != nullptr) cf::ObjectOf(object)->retain();
    return object;
}

void CFRelease(CFTypeRef object) {
    if (object == nullptr) return;
    const cf::Object *instance = cf::ObjectOf(object);
    if (instance->release()) delete instance;
}

CFIndex CFGetRetainCount(CFTypeRef object) {
    return object ? cf::ObjectOf(object)->retainCount() : 0;
}

CFTypeID CFGetTypeID(CFTypeRef object) { return object ? cf::ObjectOf(object)->typeID() : 0; }

CFStringRef CFCopyTypeIDDescription(CFTypeID type) {
    const char *name = cf::TypeName(type);
    return name ? CFStringCreateWithCString(kCFAllocatorDefault, name, kCFStringEncodingUTF8) : nullptr;
}

CFStringRef CFCopyDescription(CFTypeRef object) {
    if (object == nullptr) return nullptr;
    if (CFGetTypeID(object) == CFStringGetTypeID())
        return CFStringCreateCopy(kCFAllocatorDefault, static_cast<CFStringRef>(object));  // itself
    const std::string text = cf::ObjectOf(object)->description();
    const auto *bytes = reinterpret_cast<const UInt8 *>(text.data());
    const auto length = static_cast<CFIndex>(text.size());
    CFStringRef description = CFStringCreateWithBytes(kCFAllocatorDefault, bytes, length, kCFStringEncodingUTF8, false);
    // A description that is not UTF-8 (raw bytes of some layer) is still shown, byte by byte.
    if (description == nullptr)
        description = CFStringCreateWithBytes(kCFAllocatorDefault, bytes, length, kCFStringEncodingISOLatin1, false);
    return description;
}

Boolean CFEqual(CFTypeRef a, CFTypeRef b) {
    if (a == b) return true;
    if (a == nullptr || b == nullptr) return false;
    const cf::Object *left = cf::ObjectOf(a);
    const cf::Object *right = cf::ObjectOf(b);
    return left->typeID() == right->typeID() && left->isEqual(*right);
}

CFHashCode CFHash(CFTypeRef object) { return object ? cf::ObjectOf(object)->hash() : 0; }

struct __CFNull final : cf::Object {
    constexpr __CFNull() : cf::Object(cf::kNullTypeID, true) {}
    std::string description() const override { return "<CFNull>"; }
};

namespace {
constinit cf::Constant<__CFNull> gNull;
}  // namespace

CFTypeID CFNullGetTypeID() { return cf::kNullTypeID; }

const CFNullRef kCFNull = &gNull.object;
