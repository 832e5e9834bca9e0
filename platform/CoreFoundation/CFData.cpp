// Data: bytes in a vector, or the caller's bytes used in place (CFDataCreateWithBytesNoCopy).
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFRuntime.h>

#include <cstdlib>
#include <cstring>
#include <vector>

struct __CFData final : cf::Object {
    explicit __CFData(bool isMutable) : cf::Object(CFDataGetTypeID()), mMutable(isMutable) {
        mBytes.reserve(1);  // data() is never null, even for empty data
    }
    __CFData(const UInt8 *bytes, CFIndex length, bool freeBytes)
        : cf::Object(CFDataGetTypeID()), mExternal(bytes), mExternalLength(length), mFreeExternal(freeBytes) {}
    ~__CFData() override {
        if (mFreeExternal) std::free(const_cast<UInt8 *>(mExternal));
    }

    const UInt8 *bytes() const {
        static constexpr UInt8 kEmpty = 0;
        if (mExternal != nullptr) return mExternal;
        return mBytes.empty() && mBytes.data() == nullptr ? &kEmpty : mBytes.data();
    }
    CFIndex length() const { return mExternal != nullptr ? mExternalLength : CFIndex(mBytes.size()); }

    bool isEqual(const cf::Object &other) const override {
        const auto &that = static_cast<const __CFData &>(other);
        return length() == that.length() && std::memcmp(bytes(), that.bytes(), size_t(length())) == 0;
    }
    CFHashCode hash() const override {
        CFHashCode value = 14695981039346656037ull;  // FNV-1a over the first 80 bytes and the length
        const CFIndex count = length() < 80 ? length() : 80;
        for (CFIndex i = 0; i < count; ++i) value = (value ^ bytes()[i]) * 1099511628211ull;
        return value ^ CFHashCode(length());
    }

    const bool mMutable = false;
    std::vector<UInt8> mBytes;
    const UInt8 *const mExternal = nullptr;
    const CFIndex mExternalLength = 0;
    const bool mFreeExternal = false;
};

CFTypeID CFDataGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CFData");
    return type;
}

namespace {

const __CFData *Data(CFDataRef data) { return cf::As<const __CFData>(data, CFDataGetTypeID()); }

__CFData *MutableData(CFMutableDataRef data) {
    auto *object = const_cast<__CFData *>(Data(data));
    return object != nullptr && object->mMutable ? object : nullptr;
}

}  // namespace

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8 *bytes, CFIndex length) {
    if (length < 0 || (bytes == nullptr && length > 0)) return nullptr;
    auto *data = new __CFData(false);
    if (length > 0) data->mBytes.assign(bytes, bytes + length);
    return data;
}

CFDataRef CFDataCreateWithBytesNoCopy(CFAllocatorRef, const UInt8 *bytes, CFIndex length,
                                      CFAllocatorRef bytesDeallocator) {
    if (length < 0 || (bytes == nullptr && length > 0)) return nullptr;
    const bool freeBytes = bytesDeallocator != kCFAllocatorNull;
    if (bytes == nullptr) return new __CFData(false);
    return new __CFData(bytes, length, freeBytes);
}

CFMutableDataRef CFDataCreateMutable(CFAllocatorRef, CFIndex capacity) {
    if (capacity < 0) return nullptr;
    return new __CFData(true);
}

CFIndex CFDataGetLength(CFDataRef theData) {
    const __CFData *data = Data(theData);
    return data ? data->length() : 0;
}

const UInt8 *CFDataGetBytePtr(CFDataRef theData) {
    const __CFData *data = Data(theData);
    return data ? data->bytes() : nullptr;
}

UInt8 *CFDataGetMutableBytePtr(CFMutableDataRef theData) {
    __CFData *data = MutableData(theData);
    return data ? data->mBytes.data() : nullptr;
}

void CFDataAppendBytes(CFMutableDataRef theData, const UInt8 *bytes, CFIndex length) {
    __CFData *data = MutableData(theData);
    if (data == nullptr || bytes == nullptr || length <= 0) return;
    const UInt8 *start = data->mBytes.data();
    if (bytes >= start && bytes < start + data->mBytes.capacity()) {  // its own bytes: copy them first
        const std::vector<UInt8> copy(bytes, bytes + length);
        data->mBytes.insert(data->mBytes.end(), copy.begin(), copy.end());
    } else {
        data->mBytes.insert(data->mBytes.end(), bytes, bytes + length);
    }
}

void CFDataSetLength(CFMutableDataRef theData, CFIndex length) {
    __CFData *data = MutableData(theData);
    if (data == nullptr || length < 0) return;
    data->mBytes.resize(size_t(length), 0);
}
