// Sets and bags: hashed collections whose hashing and equality come from the callbacks.
#include <CoreFoundation/CFBag.h>
#include <CoreFoundation/CFInternal.h>
#include <CoreFoundation/CFSet.h>

#include <unordered_map>

const CFSetCallBacks kCFTypeSetCallBacks = {0, cf::RetainCallBack, cf::ReleaseCallBack, CFCopyDescription, CFEqual,
                                            CFHash};
const CFBagCallBacks kCFTypeBagCallBacks = {0, cf::RetainCallBack, cf::ReleaseCallBack, CFCopyDescription, CFEqual,
                                            CFHash};

namespace {

// What sets and bags share: each distinct value with the number of times it was added.
// The collection takes (retains) a value once per addition it keeps.
template <class CallBacks>
class CountedValues {
public:
    explicit CountedValues(const CallBacks *callBacks)
        : mCallBacks(callBacks ? *callBacks : CallBacks{}),
          mCounts(0, cf::ValueHash{mCallBacks.hash, mCallBacks.equal != nullptr}, cf::ValueEqual{mCallBacks.equal}) {}
    ~CountedValues() {
        for (const auto &[value, count] : mCounts)
            for (CFIndex i = 0; i < count && mCallBacks.release; ++i) mCallBacks.release(nullptr, value);
    }
    CountedValues(const CountedValues &) = delete;
    CountedValues &operator=(const CountedValues &) = delete;

    void add(const void *value, bool distinct) {
        const auto found = mCounts.find(value);
        if (found != mCounts.end()) {
            if (distinct) return;
            if (mCallBacks.retain) mCallBacks.retain(nullptr, found->first);
            ++found->second;
            ++mTotal;
            return;
        }
        mCounts.emplace(mCallBacks.retain ? mCallBacks.retain(nullptr, value) : value, 1);
        ++mTotal;
    }

    CFIndex countOf(const void *value) const {
        const auto found = mCounts.find(value);
        return found == mCounts.end() ? 0 : found->second;
    }
    CFIndex total() const { return mTotal; }

    bool sameAs(const CountedValues &other) const {
        if (mTotal != other.mTotal || mCounts.size() != other.mCounts.size()) return false;
        for (const auto &[value, count] : mCounts)
            if (other.countOf(value) != count) return false;
        return true;
    }

private:
    const CallBacks mCallBacks;
    std::unordered_map<const void *, CFIndex, cf::ValueHash, cf::ValueEqual> mCounts;
    CFIndex mTotal = 0;
};

}  // namespace

struct __CFSet final : cf::Object {
    __CFSet(bool isMutable, const CFSetCallBacks *callBacks)
        : cf::Object(CFSetGetTypeID()), mMutable(isMutable), mValues(callBacks) {}
    bool isEqual(const cf::Object &other) const override {
        return mValues.sameAs(static_cast<const __CFSet &>(other).mValues);
    }
    CFHashCode hash() const override { return CFHashCode(mValues.total()); }

    const bool mMutable;
    CountedValues<CFSetCallBacks> mValues;
};

struct __CFBag final : cf::Object {
    __CFBag(bool isMutable, const CFBagCallBacks *callBacks)
        : cf::Object(CFBagGetTypeID()), mMutable(isMutable), mValues(callBacks) {}
    bool isEqual(const cf::Object &other) const override {
        return mValues.sameAs(static_cast<const __CFBag &>(other).mValues);
    }
    CFHashCode hash() const override { return CFHashCode(mValues.total()); }

    const bool mMutable;
    CountedValues<CFBagCallBacks> mValues;
};

// ---------------------------------------------------------------------------------------
// Sets

CFTypeID CFSetGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CFSet");
    return type;
}

namespace {
const __CFSet *Set(CFSetRef set) { return cf::As<const __CFSet>(set, CFSetGetTypeID()); }
}  // namespace

CFSetRef CFSetCreate(CFAllocatorRef, const void **values, CFIndex numValues, const CFSetCallBacks *callBacks) {
    if (numValues < 0 || (values == nullptr && numValues > 0)) return nullptr;
    auto *set = new __CFSet(false, callBacks);
    for (CFIndex i = 0; i < numValues; ++i) set->mValues.add(values[i], true);
    return set;
}

CFMutableSetRef CFSetCreateMutable(CFAllocatorRef, CFIndex capacity, const CFSetCallBacks *callBacks) {
    if (capacity < 0) return nullptr;
    return new __CFSet(true, callBacks);
}

CFIndex CFSetGetCount(CFSetRef theSet) {
    const __CFSet *set = Set(theSet);
    return set ? set->mValues.total() : 0;
}

Boolean CFSetContainsValue(CFSetRef theSet, const void *value) {
    const __CFSet *set = Set(theSet);
    return set != nullptr && set->mValues.countOf(value) > 0;
}

void CFSetAddValue(CFMutableSetRef theSet, const void *value) {
    auto *set = const_cast<__CFSet *>(Set(theSet));
    if (set != nullptr && set->mMutable) set->mValues.add(value, true);
}

// ---------------------------------------------------------------------------------------
// Bags

CFTypeID CFBagGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CFBag");
    return type;
}

namespace {
const __CFBag *Bag(CFBagRef bag) { return cf::As<const __CFBag>(bag, CFBagGetTypeID()); }
}  // namespace

CFBagRef CFBagCreate(CFAllocatorRef, const void **values, CFIndex numValues, const CFBagCallBacks *callBacks) {
    if (numValues < 0 || (values == nullptr && numValues > 0)) return nullptr;
    auto *bag = new __CFBag(false, callBacks);
    for (CFIndex i = 0; i < numValues; ++i) bag->mValues.add(values[i], false);
    return bag;
}

CFMutableBagRef CFBagCreateMutable(CFAllocatorRef, CFIndex capacity, const CFBagCallBacks *callBacks) {
    if (capacity < 0) return nullptr;
    return new __CFBag(true, callBacks);
}

CFIndex CFBagGetCount(CFBagRef theBag) {
    const __CFBag *bag = Bag(theBag);
    return bag ? bag->mValues.total() : 0;
}

CFIndex CFBagGetCountOfValue(CFBagRef theBag, const void *value) {
    const __CFBag *bag = Bag(theBag);
    return bag ? bag->mValues.countOf(value) : 0;
}

void CFBagAddValue(CFMutableBagRef theBag, const void *value) {
    auto *bag = const_cast<__CFBag *>(Bag(theBag));
    if (bag != nullptr && bag->mMutable) bag->mValues.add(value, false);
}
