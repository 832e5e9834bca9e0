// Arrays: a vector of values with the retain/release/equal callbacks the creator chose.
#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFInternal.h>

#include <vector>

namespace cf {

const void *RetainCallBack(CFAllocatorRef, const void *value) { return CFRetain(value); }
void ReleaseCallBack(CFAllocatorRef, const void *value) { CFRelease(value); }

}  // namespace cf

const CFArrayCallBacks kCFTypeArrayCallBacks = {0, cf::RetainCallBack, cf::ReleaseCallBack, CFCopyDescription,
                                                CFEqual};

struct __CFArray final : cf::Object {
    __CFArray(bool isMutable, const CFArrayCallBacks *callBacks)
        : cf::Object(CFArrayGetTypeID()), mMutable(isMutable), mCallBacks(callBacks ? *callBacks : CFArrayCallBacks{}) {}
    ~__CFArray() override {
        for (const void *value : mValues) drop(value);
    }

    const void *take(const void *value) const { return mCallBacks.retain ? mCallBacks.retain(nullptr, value) : value; }
    void drop(const void *value) const {
        if (mCallBacks.release) mCallBacks.release(nullptr, value);
    }

    bool isEqual(const cf::Object &other) const override {
        const auto &that = static_cast<const __CFArray &>(other);
        if (mValues.size() != that.mValues.size()) return false;
        for (size_t i = 0; i < mValues.size(); ++i) {
            const void *a = mValues[i], *b = that.mValues[i];
            if (a != b && !(mCallBacks.equal && mCallBacks.equal(a, b))) return false;
        }
        return true;
    }
    CFHashCode hash() const override { return mValues.size(); }

    const bool mMutable;
    const CFArrayCallBacks mCallBacks;
    std::vector<const void *> mValues;
};

CFTypeID CFArrayGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CFArray");
    return type;
}

namespace {

const __CFArray *Array(CFArrayRef array) { return cf::As<const __CFArray>(array, CFArrayGetTypeID()); }

__CFArray *MutableArray(CFMutableArrayRef array) {
    auto *object = const_cast<__CFArray *>(Array(array));
    return object != nullptr && object->mMutable ? object : nullptr;
}

}  // namespace

CFArrayRef CFArrayCreate(CFAllocatorRef, const void **values, CFIndex numValues, const CFArrayCallBacks *callBacks) {
    if (numValues < 0 || (values == nullptr && numValues > 0)) return nullptr;
    auto *array = new __CFArray(false, callBacks);
    array->mValues.reserve(size_t(numValues));
    for (CFIndex i = 0; i < numValues; ++i) array->mValues.push_back(array->take(values[i]));
    return array;
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex capacity, const CFArrayCallBacks *callBacks) {
    if (capacity < 0) return nullptr;
    return new __CFArray(true, callBacks);
}

Boolean CFArrayIsMutable(CFArrayRef theArray) {
    const __CFArray *array = Array(theArray);
    return array != nullptr && array->mMutable;
}

CFIndex CFArrayGetCount(CFArrayRef theArray) {
    const __CFArray *array = Array(theArray);
    return array ? CFIndex(array->mValues.size()) : 0;
}

const void *CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx) {
    const __CFArray *array = Array(theArray);
    if (array == nullptr || idx < 0 || size_t(idx) >= array->mValues.size()) return nullptr;
    return array->mValues[size_t(idx)];
}

void CFArrayAppendValue(CFMutableArrayRef theArray, const void *value) {
    if (__CFArray *array = MutableArray(theArray)) array->mValues.push_back(array->take(value));
}

void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex idx) {
    __CFArray *array = MutableArray(theArray);
    if (array == nullptr || idx < 0 || size_t(idx) >= array->mValues.size()) return;
    const void *value = array->mValues[size_t(idx)];
    array->mValues.erase(array->mValues.begin() + idx);
    array->drop(value);  // after the array is consistent: releasing may run other code
}

void CFArrayRemoveAllValues(CFMutableArrayRef theArray) {
    __CFArray *array = MutableArray(theArray);
    if (array == nullptr) return;
    std::vector<const void *> values;
    values.swap(array->mValues);
    for (const void *value : values) array->drop(value);
}
