// Errors.
#include <CoreFoundation/CFError.h>
#include <CoreFoundation/CFInternal.h>
#include <CoreFoundation/CFNumber.h>

#include <vector>

namespace {
LUMORA_CF_CONSTANT_STRING(gDomainPOSIX, "NSPOSIXErrorDomain");
LUMORA_CF_CONSTANT_STRING(gDomainOSStatus, "NSOSStatusErrorDomain");
LUMORA_CF_CONSTANT_STRING(gDomainCocoa, "NSCocoaErrorDomain");
LUMORA_CF_CONSTANT_STRING(gLocalizedDescriptionKey, "NSLocalizedDescription");
}  // namespace

const CFErrorDomain kCFErrorDomainPOSIX = &gDomainPOSIX.object;
const CFErrorDomain kCFErrorDomainOSStatus = &gDomainOSStatus.object;
const CFErrorDomain kCFErrorDomainCocoa = &gDomainCocoa.object;
const CFStringRef kCFErrorLocalizedDescriptionKey = &gLocalizedDescriptionKey.object;

struct __CFError final : cf::Object {
    __CFError(CFStringRef domain, CFIndex code, CFDictionaryRef userInfo)
        : cf::Object(CFErrorGetTypeID()), mDomain(domain), mCode(code), mUserInfo(userInfo) {}
    ~__CFError() override {
        CFRelease(mDomain);
        CFRelease(mUserInfo);
    }

    std::string description() const override {
        CFStringRef text = CFErrorCopyDescription(const_cast<__CFError *>(this));
        std::string result = "Error Domain=" + cf::UTF8Lossy(cf::Units(mDomain)) + " Code=" + std::to_string(mCode) +
                             " \"" + cf::UTF8Lossy(cf::Units(text)) + "\"";
        CFRelease(text);
        return result;
    }

    const CFStringRef mDomain;        // owned
    const CFIndex mCode;
    const CFDictionaryRef mUserInfo;  // owned, may be null
};

CFTypeID CFErrorGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CFError");
    return type;
}

namespace {

const __CFError *Error(CFErrorRef error) { return cf::As<const __CFError>(error, CFErrorGetTypeID()); }

// A dictionary of the same keys and values that no one else can change.
CFDictionaryRef CopyUserInfo(CFDictionaryRef userInfo) {
    if (userInfo == nullptr || CFGetTypeID(userInfo) != CFDictionaryGetTypeID()) return nullptr;
    const CFIndex count = CFDictionaryGetCount(userInfo);
    std::vector<const void *> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(userInfo, keys.data(), values.data());
    return CFDictionaryCreate(nullptr, keys.data(), values.data(), count, &kCFTypeDictionaryKeyCallBacks,
                              &kCFTypeDictionaryValueCallBacks);
}

}  // namespace

CFErrorRef CFErrorCreate(CFAllocatorRef, CFErrorDomain domain, CFIndex code, CFDictionaryRef userInfo) {
    if (cf::String(domain) == nullptr) return nullptr;
    return new __CFError(CFStringCreateCopy(nullptr, domain), code, CopyUserInfo(userInfo));
}

CFErrorDomain CFErrorGetDomain(CFErrorRef err) {
    const __CFError *error = Error(err);
    return error ? error->mDomain : nullptr;
}

CFIndex CFErrorGetCode(CFErrorRef err) {
    const __CFError *error = Error(err);
    return error ? error->mCode : 0;
}

CFStringRef CFErrorCopyDescription(CFErrorRef err) {
    const __CFError *error = Error(err);
    if (error == nullptr) return nullptr;
    const void *described = error->mUserInfo ? CFDictionaryGetValue(error->mUserInfo, kCFErrorLocalizedDescriptionKey)
                                             : nullptr;
    if (cf::String(described) != nullptr) return static_cast<CFStringRef>(CFRetain(described));
    return CFStringCreateWithFormat(nullptr, nullptr, CFSTR("The operation couldn\u2019t be completed. (%@ error %ld.)"),
                                    error->mDomain, long(error->mCode));
}
