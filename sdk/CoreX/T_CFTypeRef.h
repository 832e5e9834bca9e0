// T_CFTypeRef<T>: a typed Core Foundation reference that knows whether it owns it.
//
// An owned reference is released once, when the wrapper lets it go (destruct, a new
// construct, destruction). A borrowed one is never released. Copying a wrapper retains the
// reference and the copy owns that retain, so copies never release twice.
//
// T_CFTypeID<T>::TypeID() answers the Core Foundation type id of each wrapped type; it is
// fetched once, on first use, so no static initialiser depends on another's order.
#pragma once

#include <utility>

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFBag.h>
#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFSet.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFURL.h>
#include <CoreX/CFTypeRefClass.h>

// 1: the wrapper owns the reference and releases it; 0: it borrows it.
enum CFTypeRef_Ownership : SInt32 {
    kCFTypeRef_Borrowed = 0,
    kCFTypeRef_Owned = 1,
};

template <class T>
struct T_CFTypeID;

#define CORE_DEFINE_CFTYPEID(RefType, GetTypeIDFunction)          \
    template <>                                                   \
    struct T_CFTypeID<RefType> {                                  \
        static CFTypeID TypeID() {                                \
            static const CFTypeID sTypeID = GetTypeIDFunction();  \
            return sTypeID;                                       \
        }                                                         \
    };

CORE_DEFINE_CFTYPEID(CFStringRef, CFStringGetTypeID)
CORE_DEFINE_CFTYPEID(CFNumberRef, CFNumberGetTypeID)
CORE_DEFINE_CFTYPEID(CFBooleanRef, CFBooleanGetTypeID)
CORE_DEFINE_CFTYPEID(CFArrayRef, CFArrayGetTypeID)
CORE_DEFINE_CFTYPEID(CFMutableArrayRef, CFArrayGetTypeID)
CORE_DEFINE_CFTYPEID(CFDictionaryRef, CFDictionaryGetTypeID)
CORE_DEFINE_CFTYPEID(CFDataRef, CFDataGetTypeID)
CORE_DEFINE_CFTYPEID(CFSetRef, CFSetGetTypeID)
CORE_DEFINE_CFTYPEID(CFMutableSetRef, CFSetGetTypeID)
CORE_DEFINE_CFTYPEID(CFBagRef, CFBagGetTypeID)
CORE_DEFINE_CFTYPEID(CFMutableBagRef, CFBagGetTypeID)
CORE_DEFINE_CFTYPEID(CFBundleRef, CFBundleGetTypeID)
CORE_DEFINE_CFTYPEID(CFURLRef, CFURLGetTypeID)

#undef CORE_DEFINE_CFTYPEID

template <class T>
class T_CFTypeRef {
public:
    T_CFTypeRef() = default;
    // See construct: a reference of another type throws CFTypeRefClass::TypeException.
    T_CFTypeRef(T reference, CFTypeRef_Ownership ownership) { construct(reference, ownership); }
    T_CFTypeRef(const T_CFTypeRef &other) { CopyFrom(other); }
    T_CFTypeRef(T_CFTypeRef &&other) noexcept : mValueRef(other.mValueRef), mOwnership(other.mOwnership) {
        other.mValueRef = nullptr;
        other.mOwnership = kCFTypeRef_Borrowed;
    }
    T_CFTypeRef &operator=(const T_CFTypeRef &other) {
        if (this != &other) {
            // Retain first: other may be the only holder of a reference this one releases.
            T_CFTypeRef keep(other);
            destruct();
            *this = std::move(keep);
        }
        return *this;
    }
    T_CFTypeRef &operator=(T_CFTypeRef &&other) noexcept {
        if (this != &other) {
            destruct();
            mValueRef = other.mValueRef;
            mOwnership = other.mOwnership;
            other.mValueRef = nullptr;
            other.mOwnership = kCFTypeRef_Borrowed;
        }
        return *this;
    }
    ~T_CFTypeRef() { destruct(); }

    // Lets the current reference go, then holds reference with the given ownership. False
    // for a null reference. A reference of another type throws TypeException; when it was
    // handed over owned it is released first, and the wrapper is left empty.
    bool construct(T reference, CFTypeRef_Ownership ownership) {
        destruct();
        if (reference == nullptr) return false;
        try {
            CFTypeRefClass::ThrowIfNotTypeMatch(reference, T_CFTypeID<T>::TypeID());
        } catch (...) {
            if (ownership == kCFTypeRef_Owned) CFRelease(reference);
            throw;
        }
        mValueRef = reference;
        mOwnership = ownership;
        return true;
    }

    // Releases an owned reference; clears both fields.
    void destruct() {
        if (mValueRef != nullptr && mOwnership == kCFTypeRef_Owned) CFRelease(mValueRef);
        mValueRef = nullptr;
        mOwnership = kCFTypeRef_Borrowed;
    }

    T Get() const { return mValueRef; }
    CFTypeRef_Ownership Ownership() const { return mOwnership; }
    // Non-null and of the wrapper's type.
    bool IsTypeValid() const {
        return mValueRef != nullptr && CFGetTypeID(mValueRef) == T_CFTypeID<T>::TypeID();
    }

protected:
    void CopyFrom(const T_CFTypeRef &other) {
        if (other.mValueRef != nullptr) {
            CFRetain(other.mValueRef);
            mValueRef = other.mValueRef;
            mOwnership = kCFTypeRef_Owned;
        }
    }

    T mValueRef = nullptr;
    CFTypeRef_Ownership mOwnership = kCFTypeRef_Borrowed;
};
