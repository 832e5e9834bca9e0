// Composition files come from effect packs and from users: the rewriting for the camera input
// must take any bytes (XML or binary property lists, or neither) and answer XML data or
// nothing. What it answers must read back as a composition whose first video input is the
// splitter publishing "cameraImage", and rewriting that again must change nothing.
#include "FuzzSupport.h"

#include <CocoaQZ/QuartzCore/QTZPropertyDictionary.h>
#include <CoreFoundation/CoreFoundation.h>

#include <cstring>

namespace {

CFTypeRef At(CFTypeRef dictionary, CFStringRef key) {
    if (dictionary == nullptr || CFGetTypeID(dictionary) != CFDictionaryGetTypeID()) return nullptr;
    return CFDictionaryGetValue(static_cast<CFDictionaryRef>(dictionary), key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using Owned = QTZPropertyDictionary::Owned<CFDataRef>;
    const Owned input(CFDataCreate(nullptr, data, CFIndex(size)));
    const Owned result = QTZPropertyDictionary::transformCompositionDataForCameraInput(input.get());
    if (!result) return 0;

    const char *bytes = reinterpret_cast<const char *>(CFDataGetBytePtr(result.get()));
    LUMORA_CHECK(CFDataGetLength(result.get()) > 5 && std::memcmp(bytes, "<?xml", 5) == 0);
    QTZPropertyDictionary composition = QTZPropertyDictionary::propertyDictionaryForData(result.get());
    LUMORA_CHECK(CFDictionaryGetCount(composition.dictionary()) > 0);
    CFStringRef cameraImage = CFSTR("cameraImage");
    const CFDictionaryRef port = composition.inputPortWithKey(cameraImage);
    LUMORA_CHECK(port != nullptr);
    const CFTypeRef node = At(port, CFSTR("node"));
    LUMORA_CHECK(node != nullptr);
    // The port's node is the splitter unless the composition published a camera image of its own.
    if (CFGetTypeID(node) == CFStringGetTypeID() && CFEqual(At(port, CFSTR("port")), CFSTR("input")))
        LUMORA_CHECK(composition.hasNodeWithKey(static_cast<CFStringRef>(node)));

    const Owned again = QTZPropertyDictionary::transformCompositionDataForCameraInput(result.get());
    LUMORA_CHECK(again && CFEqual(again.get(), result.get()));
    return 0;
}
