#include <Security/SecCode.h>

#include <CoreFoundation/CFInternal.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

namespace {

LUMORA_CF_CONSTANT_STRING(gInfoIdentifier, "identifier");
LUMORA_CF_CONSTANT_STRING(gInfoEntitlements, "entitlements");

}  // namespace

const CFStringRef kSecCodeInfoIdentifier = &gInfoIdentifier.object;
const CFStringRef kSecCodeInfoEntitlements = &gInfoEntitlements.object;

struct __SecCode final : cf::Object {
    explicit __SecCode(std::string bundlePath) : cf::Object(SecCodeGetTypeID()), mBundlePath(std::move(bundlePath)) {}
    std::string description() const override {
        return "<SecCode " + (mBundlePath.empty() ? std::string("(no bundle)") : mBundlePath) + ">";
    }
    const std::string mBundlePath;  // empty: a program outside a bundle
};

namespace {

const __SecCode *Code(SecStaticCodeRef code) { return cf::As<const __SecCode>(code, SecCodeGetTypeID()); }

enum class FileRead { kRead, kMissing, kFailed };

// The whole regular file at path when it holds at most limit bytes.
FileRead ReadFile(const std::string &path, size_t limit, std::string &contents) {
    contents.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? FileRead::kMissing : FileRead::kFailed;
    struct stat info {};
    FileRead result = FileRead::kFailed;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 && size_t(info.st_size) <= limit) {
        contents.resize(size_t(info.st_size));
        size_t done = 0;
        bool failed = false;
        while (done < contents.size()) {
            const ssize_t n = ::read(fd, contents.data() + done, contents.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                failed = n < 0;
                break;
            }
            done += size_t(n);
        }
        // A file that changed size while it was read is not taken.
        char extra = 0;
        if (!failed && done == contents.size() && ::read(fd, &extra, 1) == 0) result = FileRead::kRead;
    }
    ::close(fd);
    if (result != FileRead::kRead) contents.clear();
    return result;
}

bool PathOf(CFURLRef url, std::string &path) {
    char buffer[PATH_MAX];
    if (url == nullptr || !CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8 *>(buffer), sizeof buffer))
        return false;
    path = buffer;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return !path.empty();
}

// The CFBundleIdentifier of the bundle's Info.plist (created), or null.
CFStringRef CopyIdentifier(const std::string &bundlePath) {
    std::string xml;
    if (ReadFile(bundlePath + "/Contents/Info.plist", kSecCodeMaxEntitlementsFileSize, xml) != FileRead::kRead)
        return nullptr;
    CFDataRef data = CFDataCreateWithBytesNoCopy(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(xml.data()),
                                                 CFIndex(xml.size()), kCFAllocatorNull);
    if (data == nullptr) return nullptr;
    CFPropertyListRef info = CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data, kCFPropertyListImmutable, nullptr);
    CFRelease(data);
    if (info == nullptr) return nullptr;
    CFStringRef identifier = nullptr;
    if (CFGetTypeID(info) == CFDictionaryGetTypeID()) {
        CFTypeRef value = CFDictionaryGetValue(static_cast<CFDictionaryRef>(info), CFSTR("CFBundleIdentifier"));
        if (value != nullptr && CFGetTypeID(value) == CFStringGetTypeID() &&
            CFStringGetLength(static_cast<CFStringRef>(value)) > 0)
            identifier = static_cast<CFStringRef>(CFRetain(value));
    }
    CFRelease(info);
    return identifier;
}

// The entitlements blob of the bundle in *blob (created; null when the bundle has no
// entitlements file).
OSStatus CopyEntitlementsBlob(const std::string &bundlePath, CFDataRef *blob) {
    *blob = nullptr;
    std::string xml;
    switch (ReadFile(bundlePath + "/Contents/Resources/Entitlements.plist", kSecCodeMaxEntitlementsFileSize, xml)) {
    case FileRead::kMissing: return errSecSuccess;
    case FileRead::kFailed: return errSecCSBadResource;
    case FileRead::kRead: break;
    }
    const uint32_t length = uint32_t(8 + xml.size());
    const uint32_t header[2] = {kSecCodeMagicEntitlement, length};
    std::string bytes;
    bytes.reserve(length);
    for (uint32_t word : header)
        for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(char((word >> shift) & 0xFF));
    bytes += xml;
    *blob = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes.data()), CFIndex(bytes.size()));
    return *blob != nullptr ? errSecSuccess : errSecAllocate;
}

}  // namespace

CFTypeID SecCodeGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("SecCode");
    return type;
}

OSStatus SecCodeCopySelf(SecCSFlags flags, SecCodeRef *self) {
    if (self == nullptr) return errSecParam;
    *self = nullptr;
    if (flags != kSecCSDefaultFlags) return errSecCSInvalidFlags;
    std::string bundlePath;
    // A bare tool's bundle is its own folder, whose resources are the folder itself; a real
    // bundle keeps them in Contents/Resources.
    if (CFBundleRef bundle = CFBundleGetMainBundle()) {
        CFURLRef bundleURL = CFBundleCopyBundleURL(bundle);
        CFURLRef resourcesURL = CFBundleCopyResourcesDirectoryURL(bundle);
        std::string resourcesPath;
        if (PathOf(bundleURL, bundlePath) && PathOf(resourcesURL, resourcesPath) && resourcesPath == bundlePath)
            bundlePath.clear();
        if (bundleURL != nullptr) CFRelease(bundleURL);
        if (resourcesURL != nullptr) CFRelease(resourcesURL);
    }
    *self = new __SecCode(std::move(bundlePath));
    return errSecSuccess;
}

OSStatus SecStaticCodeCreateWithPath(CFURLRef path, SecCSFlags flags, SecStaticCodeRef *staticCode) {
    if (staticCode == nullptr) return errSecParam;
    *staticCode = nullptr;
    if (flags != kSecCSDefaultFlags) return errSecCSInvalidFlags;
    std::string filePath;
    if (!PathOf(path, filePath)) return errSecParam;
    struct stat info {};
    if (::stat(filePath.c_str(), &info) != 0) return errSecCSStaticCodeNotFound;
    if (S_ISDIR(info.st_mode)) *staticCode = new __SecCode(std::move(filePath));
    else if (S_ISREG(info.st_mode)) *staticCode = new __SecCode(std::string());
    else return errSecCSStaticCodeNotFound;
    return errSecSuccess;
}

OSStatus SecCodeCopySigningInformation(SecStaticCodeRef code, SecCSFlags flags, CFDictionaryRef *information) {
    if (information == nullptr) return errSecParam;
    *information = nullptr;
    const __SecCode *object = Code(code);
    if (object == nullptr) return errSecParam;
    if ((flags & ~SecCSFlags(kSecCSSigningInformation | kSecCSRequirementInformation)) != 0)
        return errSecCSInvalidFlags;
    CFStringRef identifier = nullptr;
    CFDataRef blob = nullptr;
    if (!object->mBundlePath.empty()) {
        if (flags & kSecCSRequirementInformation) {
            const OSStatus status = CopyEntitlementsBlob(object->mBundlePath, &blob);
            if (status != errSecSuccess) return status;
        }
        if (flags & kSecCSSigningInformation) identifier = CopyIdentifier(object->mBundlePath);
    }
    CFMutableDictionaryRef building = CFDictionaryCreateMutable(kCFAllocatorDefault, 2, &kCFTypeDictionaryKeyCallBacks,
                                                                &kCFTypeDictionaryValueCallBacks);
    if (identifier != nullptr) {
        CFDictionarySetValue(building, kSecCodeInfoIdentifier, identifier);
        CFRelease(identifier);
    }
    if (blob != nullptr) {
        CFDictionarySetValue(building, kSecCodeInfoEntitlements, blob);
        CFRelease(blob);
    }
    *information = building;
    return errSecSuccess;
}
