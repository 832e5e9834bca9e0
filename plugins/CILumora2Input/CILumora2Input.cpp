#include "CILumora2Input.h"

#include "IOSurfaceSharingClientQuartz.h"

#include <CoreFoundation/CFBundle.h>
#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/UCodeEntitlements.h>
#include <ImageIO/CGImageSource.h>

#include <dlfcn.h>

#include <cfloat>
#include <fstream>
#include <sstream>

namespace {

// The file of a resource of the unit's bundle ("" when there is none).
std::string ResourcePath(const char *name, const char *type) {
    const std::string bundle = CILumora2Input::bundlePath();
    if (bundle.empty()) return {};
    CFURLRef bundleURL = CFURLCreateFromFileSystemRepresentation(
        kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bundle.data()), CFIndex(bundle.size()), true);
    CFBundleRef bundleRef = bundleURL != nullptr ? CFBundleCreate(kCFAllocatorDefault, bundleURL) : nullptr;
    std::string path;
    if (bundleRef != nullptr) {
        CFStringRef nameText = CFStringCreateWithCString(kCFAllocatorDefault, name, kCFStringEncodingUTF8);
        CFStringRef typeText = CFStringCreateWithCString(kCFAllocatorDefault, type, kCFStringEncodingUTF8);
        if (CFURLRef url = CFBundleCopyResourceURL(bundleRef, nameText, typeText, nullptr)) {
            char buffer[4096];
            if (CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8 *>(buffer), sizeof buffer))
                path = buffer;
            CFRelease(url);
        }
        CFRelease(nameText);
        CFRelease(typeText);
        CFRelease(bundleRef);
    }
    if (bundleURL != nullptr) CFRelease(bundleURL);
    return path;
}

std::string ReadText(const std::string &path) {
    if (path.empty()) return {};
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return file ? text.str() : std::string();
}

// The placeholder: the first image resource named "CILumora2Input" that decodes.
CIImageRef LoadPlaceholder() {
    for (const char *type : {"png", "tiff", "jpg"}) {
        const std::string bytes = ReadText(ResourcePath(kCILumora2InputFilterName, type));
        if (bytes.empty()) continue;
        CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes.data()),
                                      CFIndex(bytes.size()));
        CGImageSourceRef source = data != nullptr ? CGImageSourceCreateWithData(data, nullptr) : nullptr;
        CGImageRef image = source != nullptr ? CGImageSourceCreateImageAtIndex(source, 0, nullptr) : nullptr;
        CIImageRef result = image != nullptr ? CIImage::imageWithCGImage(image) : nullptr;
        if (image != nullptr) CGImageRelease(image);
        if (source != nullptr) CFRelease(source);
        if (data != nullptr) CFRelease(data);
        if (result != nullptr) return result;
    }
    CoreMachDebugLogString("CILumora2Input: the placeholder image resource is missing or unreadable\n");
    return nullptr;
}

}  // namespace

// ---- The camera buffer ------------------------------------------------------------------

CILumora2Input_VSharedCameraBuffer::CILumora2Input_VSharedCameraBuffer() = default;

CILumora2Input_VSharedCameraBuffer::~CILumora2Input_VSharedCameraBuffer() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mClientConnected) {
        IOSurfaceSharingClientQuartz::disconnect();
        mClientConnected = false;
    }
}

bool CILumora2Input_VSharedCameraBuffer::canLoadPlugInGivenHostApplicationRestrictions() {
    return canLoadPlugInGivenEntitlements(UCodeEntitlements::sEntitlements());
}

bool CILumora2Input_VSharedCameraBuffer::canLoadPlugInGivenEntitlements(const UCodeEntitlements &entitlements) {
    // Not sandboxed (before the sandbox existed, or without a true sandbox entitlement), or
    // without entitlements at all.
    return entitlements.HasAccessToAllEntitlements();
}

bool CILumora2Input_VSharedCameraBuffer::readCurrentCameraFrame() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (!mClientConnected) {
        IOSurfaceSharingClientQuartz::connect();
        mClientConnected = true;
    }
    return true;
}

CIImageRef CILumora2Input_VSharedCameraBuffer::fastestCoreImage() { return IOSurfaceSharingClientQuartz::currentImage(); }

bool CILumora2Input_VSharedCameraBuffer::clientConnected() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mClientConnected;
}

// ---- The filter -------------------------------------------------------------------------

CILumora2Input::CILumora2Input()
    : mCameraBuffer(std::make_unique<CILumora2Input_VSharedCameraBuffer>()), mNoCameraImage(LoadPlaceholder()) {
    bundleKernel();
}

CILumora2Input::~CILumora2Input() = default;

bool CILumora2Input::canLoadClassInRuntimeEnvironment() {
    return CILumora2Input_VSharedCameraBuffer::canLoadPlugInGivenHostApplicationRestrictions();
}

void CILumora2Input::registerFilter() {
    CIFilter::registerFilterName(
        kCILumora2InputFilterName, [](const std::string &) -> CIFilterRef { return std::make_shared<CILumora2Input>(); },
        CIFilterClassAttributes{"Lumora Camera", {kCICategoryGenerator, kCICategoryVideo, kCICategoryStillImage}});
}

void CILumora2Input::setValue(const CIFilterValue &value, const std::string &key) {
    // The base keeps its own copy of the value: the host may read the clock back at any time.
    CIFilter::setValue(value, key);
    if (key != kCILumora2InputClockKey) return;
    if (mCameraBuffer->readCurrentCameraFrame()) {
        CIImageRef image = mCameraBuffer->fastestCoreImage();
        std::lock_guard<std::mutex> lock(mCachedImageLock);
        mCachedCameraImage = std::move(image);
    }
}

CIImageRef CILumora2Input::cachedCameraImage() const {
    std::lock_guard<std::mutex> lock(mCachedImageLock);
    return mCachedCameraImage;
}

CIImageRef CILumora2Input::outputImage() const {
    CIImageRef image = cachedCameraImage();
    return image != nullptr ? image : mNoCameraImage;
}

std::vector<CIInputAttributes> CILumora2Input::customAttributes() const {
    CIInputAttributes clock;
    clock.key = kCILumora2InputClockKey;
    clock.className = "NSNumber";
    clock.type = kCIAttributeTypeTime;
    clock.identity = 0;
    clock.defaultValue = 0.0;
    clock.min = 0;
    clock.sliderMin = 0;
    clock.sliderMax = DBL_MAX;
    return {clock};
}

CIKernelRef CILumora2Input::bundleKernel() {
    static const CIKernelRef kernel = [] {
        const std::string text = ReadText(ResourcePath("CIKernel", "cikernel"));
        if (text.empty()) return CIKernelRef();
        auto kernels = CIKernel::kernelsWithString(text);
        return kernels.empty() ? CIKernelRef() : kernels.front();
    }();
    return kernel;
}

std::string CILumora2Input::bundlePath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void *>(&CILumora2Input::bundlePath), &info) == 0 || info.dli_fname == nullptr)
        return {};
    // <bundle>.plugin/Contents/Linux/<executable>
    std::string path = info.dli_fname;
    for (int i = 0; i < 3; ++i) {
        const size_t slash = path.find_last_of('/');
        if (slash == std::string::npos || slash == 0) return {};
        path.erase(slash);
    }
    const std::string extension = ".plugin";
    if (path.size() <= extension.size() || path.compare(path.size() - extension.size(), extension.size(), extension) != 0)
        return {};
    return path;
}

// ---- The principal class ----------------------------------------------------------------

bool CILumora2InputLoader::load(void *) {
    if (!CILumora2Input::canLoadClassInRuntimeEnvironment()) {
        CoreMachDebugLogString("CILumora2Input: not loaded in a sandboxed host\n");
        return false;
    }
    CILumora2Input::registerFilter();
    return true;
}
