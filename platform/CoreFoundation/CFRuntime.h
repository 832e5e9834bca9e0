// The object model under every Core Foundation style type of the platform layers.
//
// A layer defines its type as a class derived from cf::Object, registers a type id once
// (a function-local static in its XGetTypeID function) and hands objects out as the
// opaque reference type:
//
//     struct __CGImage : cf::Object { __CGImage() : cf::Object(CGImageGetTypeID()) {} ... };
//     CFTypeID CGImageGetTypeID() { static const CFTypeID id = cf::RegisterType("CGImage"); return id; }
//
// New objects start with a retain count of one (the creator's reference).
#pragma once

#include <atomic>
#include <string>
#include <utility>

#include <CoreFoundation/CFBase.h>

namespace cf {

// Type ids fixed at compile time, so that constants of these types can be constant-initialised
// (no static-initialisation order matters for them). RegisterType hands out ids after these.
enum FixedTypeID : CFTypeID {
    kNullTypeID = 1,
    kBooleanTypeID = 2,
    kStringTypeID = 3,  // constant strings (error domains, keys) are constant-initialised too
    kFirstRegisteredTypeID = 4,
};

class Object {
public:
    constexpr explicit Object(CFTypeID type, bool immortal = false) : mType(type), mImmortal(immortal) {}
    virtual ~Object() = default;
    Object(const Object &) = delete;
    Object &operator=(const Object &) = delete;

    CFTypeID typeID() const { return mType; }

    // Called by CFEqual only when both objects have the same type id.
    virtual bool isEqual(const Object &other) const { return this == &other; }
    virtual CFHashCode hash() const { return reinterpret_cast<CFHashCode>(this); }
    // UTF-8 text for CFCopyDescription; by default "<TypeName 0x...>".
    virtual std::string description() const;

    // Immortal objects (constants such as kCFNull or CFSTR strings) ignore retain and release.
    void makeImmortal() { mImmortal = true; }
    bool isImmortal() const { return mImmortal; }

    void retain() const;
    // True when this release was the last one (the caller then deletes the object).
    bool release() const;
    CFIndex retainCount() const;

private:
    const CFTypeID mType;
    bool mImmortal;
    mutable std::atomic<CFIndex> mRetainCount{1};
};

// Holder of a constant-initialised, immortal object that is never destroyed, so that it
// stays usable from other objects' destructors at process exit:
//
//     constinit cf::Constant<__CFBoolean> gTrue{true};
//     const CFBooleanRef kCFBooleanTrue = &gTrue.object;
template <class T>
union Constant {
    template <class... Args>
    constexpr explicit Constant(Args &&...args) : object(std::forward<Args>(args)...) {}
    ~Constant() {}
    T object;
};

// Registers a type name and answers its new id. Thread-safe.
CFTypeID RegisterType(const char *name);
// The registered name, or null for an unknown id.
const char *TypeName(CFTypeID type);

inline const Object *ObjectOf(CFTypeRef ref) { return static_cast<const Object *>(ref); }

// The object behind a reference when it has the given type id, else null.
template <class T>
T *As(CFTypeRef ref, CFTypeID type) {
    if (ref == nullptr) return nullptr;
    const Object *object = ObjectOf(ref);
    if (object->typeID() != type) return nullptr;
    return const_cast<T *>(static_cast<const T *>(object));
}

}  // namespace cf
