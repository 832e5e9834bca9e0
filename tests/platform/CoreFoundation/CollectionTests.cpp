#include <gtest/gtest.h>

#include <CoreFoundation/CFRuntime.h>
#include <CoreFoundation/CoreFoundation.h>

#include <cstdlib>
#include <cstring>

#include "CFTestSupport.h"

using cftest::MakeString;
using cftest::Owned;

namespace {

// An object that counts its destruction, to see that a collection releases exactly once.
struct Tracked final : cf::Object {
    explicit Tracked(int *deaths) : cf::Object(TypeID()), mDeaths(deaths) {}
    ~Tracked() override { ++*mDeaths; }
    static CFTypeID TypeID() {
        static const CFTypeID type = cf::RegisterType("TrackedForTests");
        return type;
    }
    int *mDeaths;
};

class CollectionOwnership : public ::testing::Test {
protected:
    // A new object whose only reference the test hands to a collection and then drops.
    CFTypeRef make() { return new Tracked(&mDeaths); }
    int mDeaths = 0;
};

TEST_F(CollectionOwnership, ArrayReleasesEachValueOnce) {
    CFTypeRef a = make(), b = make(), c = make();
    const void *values[] = {a, b};
    CFArrayRef fixed = CFArrayCreate(nullptr, values, 2, &kCFTypeArrayCallBacks);
    CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(array, a);
    CFArrayAppendValue(array, c);
    EXPECT_EQ(CFGetRetainCount(a), 3);
    CFRelease(a), CFRelease(b), CFRelease(c);
    EXPECT_EQ(mDeaths, 0);

    CFArrayRemoveValueAtIndex(array, 1);  // c's last reference
    EXPECT_EQ(mDeaths, 1);
    CFArrayRemoveValueAtIndex(array, 5);  // outside: nothing
    EXPECT_EQ(CFArrayGetCount(array), 1);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 0), a);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 1), nullptr);
    CFArrayRemoveAllValues(array);
    EXPECT_EQ(mDeaths, 1);  // the fixed array still holds a
    CFArrayAppendValue(const_cast<CFMutableArrayRef>(fixed), array);  // immutable: ignored
    EXPECT_EQ(CFArrayGetCount(fixed), 2);
    CFRelease(fixed);
    EXPECT_EQ(mDeaths, 3);
    CFRelease(array);
}

TEST_F(CollectionOwnership, ArrayWithoutCallBacksKeepsRawPointers) {
    int plain[3] = {};
    CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, nullptr);
    for (int &each : plain) CFArrayAppendValue(array, &each);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 2), &plain[2]);
    CFRelease(array);  // must not touch the pointers
}

TEST_F(CollectionOwnership, DictionaryReleasesReplacedAndRemovedEntriesOnce) {
    CFMutableDictionaryRef dictionary =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFTypeRef first = make(), second = make(), third = make(), key = make();
    CFDictionarySetValue(dictionary, CFSTR("k"), first);
    CFDictionarySetValue(dictionary, key, third);
    CFRelease(first), CFRelease(third), CFRelease(key);

    // Keys are equal by content: a different string object of the same text finds the entry.
    Owned<CFStringRef> sameText(MakeString("k"));
    CFDictionaryAddValue(dictionary, sameText, second);  // present: not replaced
    EXPECT_EQ(CFDictionaryGetValue(dictionary, sameText), first);
    CFDictionarySetValue(dictionary, sameText, second);  // replaced: first released
    CFRelease(second);
    EXPECT_EQ(mDeaths, 1);
    const void *found = nullptr;
    EXPECT_TRUE(CFDictionaryGetValueIfPresent(dictionary, CFSTR("k"), &found));
    EXPECT_EQ(found, second);
    EXPECT_FALSE(CFDictionaryGetValueIfPresent(dictionary, CFSTR("absent"), &found));

    const void *keys[2], *values[2];
    CFDictionaryGetKeysAndValues(dictionary, keys, values);
    EXPECT_TRUE((keys[0] == key && values[0] == third) || (keys[1] == key && values[1] == third));

    CFDictionaryRemoveValue(dictionary, key);  // key and value go
    EXPECT_EQ(mDeaths, 3);
    EXPECT_EQ(CFDictionaryGetCount(dictionary), 1);
    CFRelease(dictionary);
    EXPECT_EQ(mDeaths, 4);
}

TEST_F(CollectionOwnership, MutableCopySharesValuesAndEmptyingReleasesThemOnce) {
    CFTypeRef a = make(), b = make();
    const void *keys[] = {CFSTR("a"), CFSTR("b")};
    const void *values[] = {a, b};
    CFDictionaryRef fixed =
        CFDictionaryCreate(nullptr, keys, values, 2, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFRelease(a), CFRelease(b);
    EXPECT_FALSE(CFDictionaryIsMutable(fixed));

    CFMutableDictionaryRef copy = CFDictionaryCreateMutableCopy(nullptr, 0, fixed);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(CFDictionaryIsMutable(copy));
    EXPECT_TRUE(CFEqual(copy, fixed));
    EXPECT_EQ(CFDictionaryGetValue(copy, CFSTR("a")), a);  // the same value, not a copy of it
    CFRelease(fixed);
    EXPECT_EQ(mDeaths, 0);

    CFDictionaryRemoveAllValues(copy);
    EXPECT_EQ(CFDictionaryGetCount(copy), 0);
    EXPECT_EQ(mDeaths, 2);
    CFDictionarySetValue(copy, CFSTR("again"), kCFBooleanTrue);  // still usable
    EXPECT_EQ(CFDictionaryGetCount(copy), 1);
    CFRelease(copy);

    // Neither copies nor mutability are answered for something that is not a dictionary.
    Owned<CFStringRef> text(MakeString("x"));
    EXPECT_EQ(CFDictionaryCreateMutableCopy(nullptr, 0, reinterpret_cast<CFDictionaryRef>(text.get())), nullptr);
    EXPECT_FALSE(CFDictionaryIsMutable(reinterpret_cast<CFDictionaryRef>(text.get())));
    EXPECT_FALSE(CFDictionaryIsMutable(nullptr));
    CFArrayRef array = CFArrayCreate(nullptr, nullptr, 0, &kCFTypeArrayCallBacks);
    CFMutableArrayRef mutableArray = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    EXPECT_FALSE(CFArrayIsMutable(array));
    EXPECT_TRUE(CFArrayIsMutable(mutableArray));
    EXPECT_FALSE(CFArrayIsMutable(reinterpret_cast<CFArrayRef>(text.get())));
    CFRelease(array), CFRelease(mutableArray);
}

TEST_F(CollectionOwnership, CopyStringKeysAreImmuneToLaterChanges) {
    CFMutableDictionaryRef dictionary =
        CFDictionaryCreateMutable(nullptr, 0, &kCFCopyStringDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    Owned<CFMutableStringRef> key(CFStringCreateMutableCopy(nullptr, 0, CFSTR("name")));
    CFDictionarySetValue(dictionary, key, kCFBooleanTrue);
    CFStringAppend(key, CFSTR("-changed"));
    EXPECT_EQ(CFDictionaryGetValue(dictionary, CFSTR("name")), kCFBooleanTrue);
    EXPECT_EQ(CFDictionaryGetValue(dictionary, key), nullptr);
    CFRelease(dictionary);

    // Numbers as keys: 1 and 1.0 are the same key.
    const SInt32 one = 1;
    const double oneReal = 1.0;
    Owned<CFNumberRef> integer(CFNumberCreate(nullptr, kCFNumberSInt32Type, &one));
    Owned<CFNumberRef> real(CFNumberCreate(nullptr, kCFNumberDoubleType, &oneReal));
    const void *keys[] = {integer.get()};
    const void *values[] = {CFSTR("one")};
    Owned<CFDictionaryRef> fixed(
        CFDictionaryCreate(nullptr, keys, values, 1, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    EXPECT_EQ(CFDictionaryGetValue(fixed, real), CFSTR("one"));
}

TEST_F(CollectionOwnership, SetsAndBags) {
    CFTypeRef a = make(), b = make();
    Owned<CFStringRef> x1(MakeString("x")), x2(MakeString("x"));

    CFMutableSetRef set = CFSetCreateMutable(nullptr, 0, &kCFTypeSetCallBacks);
    CFSetAddValue(set, a);
    CFSetAddValue(set, a);
    CFSetAddValue(set, x1);
    CFSetAddValue(set, x2);  // equal to x1
    EXPECT_EQ(CFSetGetCount(set), 2);
    EXPECT_TRUE(CFSetContainsValue(set, CFSTR("x")));
    EXPECT_FALSE(CFSetContainsValue(set, b));

    CFMutableBagRef bag = CFBagCreateMutable(nullptr, 0, &kCFTypeBagCallBacks);
    CFBagAddValue(bag, b);
    CFBagAddValue(bag, b);
    CFBagAddValue(bag, x1);
    CFBagAddValue(bag, x2);
    EXPECT_EQ(CFBagGetCount(bag), 4);
    EXPECT_EQ(CFBagGetCountOfValue(bag, b), 2);
    EXPECT_EQ(CFBagGetCountOfValue(bag, CFSTR("x")), 2);
    EXPECT_EQ(CFBagGetCountOfValue(bag, a), 0);

    CFRelease(a), CFRelease(b);
    EXPECT_EQ(mDeaths, 0);
    CFRelease(set);
    EXPECT_EQ(mDeaths, 1);
    CFRelease(bag);
    EXPECT_EQ(mDeaths, 2);

    const void *values[] = {CFSTR("p"), CFSTR("p"), CFSTR("q")};
    Owned<CFSetRef> fixedSet(CFSetCreate(nullptr, values, 3, &kCFTypeSetCallBacks));
    Owned<CFBagRef> fixedBag(CFBagCreate(nullptr, values, 3, &kCFTypeBagCallBacks));
    EXPECT_EQ(CFSetGetCount(fixedSet), 2);
    EXPECT_EQ(CFBagGetCount(fixedBag), 3);
    EXPECT_NE(CFSetGetTypeID(), CFBagGetTypeID());
}

TEST(CFData, CopiesAndBorrowedBytes) {
    UInt8 bytes[4] = {1, 2, 3, 4};
    Owned<CFDataRef> copy(CFDataCreate(nullptr, bytes, 4));
    bytes[0] = 9;
    EXPECT_EQ(CFDataGetBytePtr(copy)[0], 1);
    EXPECT_EQ(CFDataGetMutableBytePtr(const_cast<CFMutableDataRef>(copy.get())), nullptr);

    {  // kCFAllocatorNull: the bytes stay the caller's (freeing a stack buffer would fail loudly)
        Owned<CFDataRef> borrowed(CFDataCreateWithBytesNoCopy(nullptr, bytes, 4, kCFAllocatorNull));
        EXPECT_EQ(CFDataGetBytePtr(borrowed), bytes);
        EXPECT_EQ(CFDataGetLength(borrowed), 4);
    }
    {  // the default deallocator frees them (a leak would be reported otherwise)
        auto *owned = static_cast<UInt8 *>(std::malloc(16));
        std::memset(owned, 7, 16);
        Owned<CFDataRef> adopted(CFDataCreateWithBytesNoCopy(nullptr, owned, 16, kCFAllocatorDefault));
        EXPECT_EQ(CFDataGetBytePtr(adopted)[15], 7);
    }
    Owned<CFDataRef> empty(CFDataCreate(nullptr, nullptr, 0));
    EXPECT_NE(CFDataGetBytePtr(empty), nullptr);
    EXPECT_EQ(CFDataGetLength(empty), 0);
    EXPECT_EQ(CFDataCreate(nullptr, nullptr, 2), nullptr);
}

TEST(CFData, MutableData) {
    Owned<CFMutableDataRef> data(CFDataCreateMutable(nullptr, 0));
    const UInt8 abc[] = {'a', 'b', 'c'};
    CFDataAppendBytes(data, abc, 3);
    CFDataAppendBytes(data, CFDataGetBytePtr(data), 3);  // its own bytes
    CFDataSetLength(data, 8);
    ASSERT_EQ(CFDataGetLength(data), 8);
    EXPECT_EQ(std::memcmp(CFDataGetBytePtr(data), "abcabc\0\0", 8), 0);
    CFDataGetMutableBytePtr(data)[0] = 'z';
    CFDataSetLength(data, 1);
    Owned<CFDataRef> z(CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>("z"), 1));
    EXPECT_TRUE(CFEqual(data, z));
}

}  // namespace
