// Dictionaries: a hash map whose hashing and key equality come from the key callbacks.
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFInternal.h>

#include <unordered_map>
#include <vector>

namespace {

const void *CopyStringKey(CFAllocatorRef allocator, const void *value) {
    if (CFGetTypeID(value) == CFStringGetTypeID()) return CFStringCreateCopy(allocator, static_cast<CFStringRef>(value));
    return CFRetain(value);
}

}  // namespace

const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {0,       cf::RetainCallBack, cf::ReleaseCallBack,
                                                                CFCopyDescription, CFEqual, CFHash};
const CFDictionaryKeyCallBacks kCFCopyStringDictionaryKeyCallBacks = {0,       CopyStringKey, cf::ReleaseCallBack,
                                                                      CFCopyDescription, CFEqual, CFHash};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {0, cf::RetainCallBack, cf::ReleaseCallBack,
                                                                    CFCopyDescription, CFEqual};

struct __CFDictionary final : cf::Object {
    using Map = std::unordered_map<const void *, const void *, cf::ValueHash, cf::ValueEqual>;

    __CFDictionary(bool isMutable, const CFDictionaryKeyCallBacks *keys, const CFDictionaryValueCallBacks *values)
        : cf::Object(CFDictionaryGetTypeID()),
          mMutable(isMutable),
          mKeys(keys ? *keys : CFDictionaryKeyCallBacks{}),
          mValues(values ? *values : CFDictionaryValueCallBacks{}),
          mMap(0, cf::ValueHash{mKeys.hash, mKeys.equal != nullptr}, cf::ValueEqual{mKeys.equal}) {}

    ~__CFDictionary() override {
        for (const auto &[key, value] : mMap) {
            if (mKeys.release) mKeys.release(nullptr, key);
            if (mValues.release) mValues.release(nullptr, value);
        }
    }

    void set(const void *key, const void *value, bool replace, bool add) {
        const auto found = mMap.find(key);
        if (found != mMap.end()) {
            if (!replace) return;
            const void *old = found->second;
            found->second = mValues.retain ? mValues.retain(nullptr, value) : value;  // taken before the old one goes
            if (mValues.release) mValues.release(nullptr, old);
        } else if (add) {
            const void *storedKey = mKeys.retain ? mKeys.retain(nullptr, key) : key;
            const void *storedValue = mValues.retain ? mValues.retain(nullptr, value) : value;
            mMap.emplace(storedKey, storedValue);
        }
    }

    void remove(const void *key) {
        const auto found = mMap.find(key);
        if (found == mMap.end()) return;
        const void *storedKey = found->first, *storedValue = found->second;
        mMap.erase(found);
        if (mKeys.release) mKeys.release(nullptr, storedKey);
        if (mValues.release) mValues.release(nullptr, storedValue);
    }

    bool isEqual(const cf::Object &other) const override {
        const auto &that = static_cast<const __CFDictionary &>(other);
        if (mMap.size() != that.mMap.size()) return false;
        for (const auto &[key, value] : mMap) {
            const auto found = that.mMap.find(key);
            if (found == that.mMap.end()) return false;
            if (value != found->second && !(mValues.equal && mValues.equal(value, found->second))) return false;
        }
        return true;
    }
    CFHashCode hash() const override { return mMap.size(); }

    const bool mMutable;
    const CFDictionaryKeyCallBacks mKeys;
    const CFDictionaryValueCallBacks mValues;
    Map mMap;
};

CFTypeID CFDictionaryGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CFDictionary");
    return type;
}

namespace {

const __CFDictionary *Dictionary(CFDictionaryRef dictionary) {
    return cf::As<const __CFDictionary>(dictionary, CFDictionaryGetTypeID());
}

__CFDictionary *MutableDictionary(CFMutableDictionaryRef dictionary) {
    auto *object = const_cast<__CFDictionary *>(Dictionary(dictionary));
    return object != nullptr && object->mMutable ? object : nullptr;
}

}  // namespace

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef, const void **keys, const void **values, CFIndex numValues,
                                   const CFDictionaryKeyCallBacks *keyCallBacks,
                                   const CFDictionaryValueCallBacks *valueCallBacks) {
    if (numValues < 0 || (numValues > 0 && (keys == nullptr || values == nullptr))) return nullptr;
    auto *dictionary = new __CFDictionary(false, keyCallBacks, valueCallBacks);
    for (CFIndex i = 0; i < numValues; ++i) dictionary->set(keys[i], values[i], true, true);
    return dictionary;
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks *keyCallBacks,
                                                 const CFDictionaryValueCallBacks *valueCallBacks) {
    if (capacity < 0) return nullptr;
    return new __CFDictionary(true, keyCallBacks, valueCallBacks);
}

CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef, CFIndex capacity, CFDictionaryRef theDict) {
    const __CFDictionary *source = Dictionary(theDict);
    if (source == nullptr || capacity < 0) return nullptr;
    auto *copy = new __CFDictionary(true, &source->mKeys, &source->mValues);
    for (const auto &[key, value] : source->mMap) copy->set(key, value, true, true);
    return copy;
}

Boolean CFDictionaryIsMutable(CFDictionaryRef theDict) {
    const __CFDictionary *dictionary = Dictionary(theDict);
    return dictionary != nullptr && dictionary->mMutable;
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict) {
    const __CFDictionary *dictionary = Dictionary(theDict);
    return dictionary ? CFIndex(dictionary->mMap.size()) : 0;
}

const void *CFDictionaryGetValue(CFDictionaryRef theDict, const void *key) {
    const void *value = nullptr;
    CFDictionaryGetValueIfPresent(theDict, key, &value);
    return value;
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void *key, const void **value) {
    const __CFDictionary *dictionary = Dictionary(theDict);
    if (dictionary == nullptr) return false;
    const auto found = dictionary->mMap.find(key);
    if (found == dictionary->mMap.end()) return false;
    if (value != nullptr) *value = found->second;
    return true;
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void **keys, const void **values) {
    const __CFDictionary *dictionary = Dictionary(theDict);
    if (dictionary == nullptr) return;
    size_t i = 0;
    for (const auto &[key, value] : dictionary->mMap) {
        if (keys != nullptr) keys[i] = key;
        if (values != nullptr) values[i] = value;
        ++i;
    }
}

void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void *key, const void *value) {
    if (__CFDictionary *dictionary = MutableDictionary(theDict)) dictionary->set(key, value, true, true);
}

void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void *key, const void *value) {
    if (__CFDictionary *dictionary = MutableDictionary(theDict)) dictionary->set(key, value, false, true);
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void *key) {
    if (__CFDictionary *dictionary = MutableDictionary(theDict)) dictionary->remove(key);
}

void CFDictionaryRemoveAllValues(CFMutableDictionaryRef theDict) {
    __CFDictionary *dictionary = MutableDictionary(theDict);
    if (dictionary == nullptr) return;
    // Released after the dictionary is empty: releasing may run other code.
    __CFDictionary::Map entries(0, dictionary->mMap.hash_function(), dictionary->mMap.key_eq());
    entries.swap(dictionary->mMap);
    for (const auto &[key, value] : entries) {
        if (dictionary->mKeys.release) dictionary->mKeys.release(nullptr, key);
        if (dictionary->mValues.release) dictionary->mValues.release(nullptr, value);
    }
}
