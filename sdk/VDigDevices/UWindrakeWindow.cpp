#include <VDigDevices/UWindrakeWindow.h>

#include <CoreFoundation/CFNumber.h>

namespace {

std::string Utf8(CFStringRef text) {
    if (text == nullptr) return {};
    const CFIndex length = CFStringGetLength(text);
    std::vector<char> buffer(size_t(CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8)) + 1);
    if (!CFStringGetCString(text, buffer.data(), CFIndex(buffer.size()), kCFStringEncodingUTF8)) return {};
    return buffer.data();
}

long long NumberValue(CFDictionaryRef info, CFStringRef key, long long fallback) {
    const void *value = CFDictionaryGetValue(info, key);
    if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID()) return fallback;
    long long number = fallback;
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberLongLongType, &number);
    return number;
}

std::string OwnerName(CFDictionaryRef info) {
    const void *value = CFDictionaryGetValue(info, kCGWindowOwnerName);
    if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return {};
    return Utf8(static_cast<CFStringRef>(value));
}

}  // namespace

const std::set<std::string> &UWindrakeWindow::NeverListedOwners() {
    static const std::set<std::string> owners = {"Spotlight", "Notification Center", "loginwindow",
                                                  "SystemUIServer", "Dock", "Window Server"};
    return owners;
}

void UWindrakeWindow::UpdateWindowOwnerList() {
    CFArrayRef windows = CGWindowListCopyWindowInfo(kCGWindowListOptionAll, kCGNullWindowID);
    if (windows == nullptr) return;
    UpdateWindowOwnerListFromWindowInfo(windows);
    CFRelease(windows);
}

void UWindrakeWindow::UpdateWindowOwnerListFromWindowInfo(CFArrayRef windows) {
    if (windows == nullptr) return;
    std::lock_guard<std::mutex> lock(mLock);
    const CFIndex count = CFArrayGetCount(windows);
    for (CFIndex i = 0; i < count; ++i) {
        const void *value = CFArrayGetValueAtIndex(windows, i);
        if (value == nullptr || CFGetTypeID(value) != CFDictionaryGetTypeID()) continue;
        const auto info = static_cast<CFDictionaryRef>(value);
        const std::string owner = OwnerName(info);
        if (owner.empty() || NeverListedOwners().count(owner) != 0) continue;
        if (NumberValue(info, kCGWindowSharingState, 0) <= 0) continue;
        bool known = false;
        for (const std::string &name : mOwners) known = known || name == owner;
        if (!known) mOwners.push_back(owner);
    }
}

size_t UWindrakeWindow::GetNumberOfUniqueWindowOwners() {
    std::lock_guard<std::mutex> lock(mLock);
    return mOwners.size();
}

bool UWindrakeWindow::GetWindowOwnerAtIndex(size_t n, std::string &name) {
    std::lock_guard<std::mutex> lock(mLock);
    name.clear();
    if (n >= mOwners.size()) return false;
    name = mOwners[n];
    return true;
}

CGImageRef UWindrakeWindow::CopyWindowOwnerImage(size_t n) {
    std::string owner;
    if (!GetWindowOwnerAtIndex(n, owner)) return nullptr;
    CFArrayRef windows = CGWindowListCopyWindowInfo(kCGWindowListOptionOnScreenOnly, kCGNullWindowID);
    if (windows == nullptr) return nullptr;
    // Every on-screen window of the owner, front to back.
    std::vector<const void *> ids;
    const CFIndex count = CFArrayGetCount(windows);
    for (CFIndex i = 0; i < count; ++i) {
        const void *value = CFArrayGetValueAtIndex(windows, i);
        if (value == nullptr || CFGetTypeID(value) != CFDictionaryGetTypeID()) continue;
        const auto info = static_cast<CFDictionaryRef>(value);
        if (OwnerName(info) != owner) continue;
        const long long number = NumberValue(info, kCGWindowNumber, 0);
        if (number > 0 && number <= 0xFFFFFFFFll)
            ids.push_back(reinterpret_cast<const void *>(uintptr_t(CGWindowID(number))));
    }
    CFRelease(windows);
    if (ids.empty()) return nullptr;
    CFArrayRef array = CFArrayCreate(kCFAllocatorDefault, ids.data(), CFIndex(ids.size()), nullptr);
    if (array == nullptr) return nullptr;
    CGImageRef image = CGWindowListCreateImageFromArray(CGRectNull, array, kCGWindowImageDefault);
    CFRelease(array);
    return image;
}

bool UDispatchQueueSerialAsync::Construct(const char *label) {
    DestructSync();
    std::lock_guard<std::mutex> lock(mLock);
    mQueue = dispatch_queue_create(label, nullptr);
    return mQueue != nullptr;
}

void UDispatchQueueSerialAsync::DestructSync() {
    dispatch_queue_t queue = nullptr;
    {
        std::lock_guard<std::mutex> lock(mLock);
        queue = mQueue;
        mQueue = nullptr;
    }
    if (queue == nullptr) return;
    // Every block queued so far has run once this one has.
    dispatch_sync(queue, [] {});
    dispatch_release(queue);
}

bool UDispatchQueueSerialAsync::Exists() {
    std::lock_guard<std::mutex> lock(mLock);
    return mQueue != nullptr;
}

bool UDispatchQueueSerialAsync::Async(dispatch_block_t block) {
    std::lock_guard<std::mutex> lock(mLock);
    if (mQueue == nullptr) return false;
    dispatch_async(mQueue, std::move(block));
    return true;
}

void UDispatchQueueSerialAsync::Sync() {
    dispatch_queue_t queue = nullptr;
    {
        std::lock_guard<std::mutex> lock(mLock);
        queue = mQueue;
        if (queue != nullptr) dispatch_retain(queue);
    }
    if (queue == nullptr) return;
    dispatch_sync(queue, [] {});
    dispatch_release(queue);
}

CGRect WindrakeFitImageRect(double frameWidth, double frameHeight, double imageWidth, double imageHeight) {
    if (frameWidth <= 0 || frameHeight <= 0 || imageWidth <= 0 || imageHeight <= 0) return CGRectNull;
    double scale = frameWidth / imageWidth;
    if (imageHeight * scale > frameHeight) scale = frameHeight / imageHeight;
    const double w = imageWidth * scale, h = imageHeight * scale;
    return CGRectMake(frameWidth / 2 - w / 2, frameHeight / 2 - h / 2, w, h);
}

bool import_UWindrakeWindow() { return true; }
