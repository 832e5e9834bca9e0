#include "QTZPropertyDictionary.h"

#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFPropertyList.h>
#include <CoreX/CoreMachDebugLog.h>

#include <cstdio>
#include <vector>

namespace {

constexpr const char *kFile = "sdk/CocoaQZ/QuartzCore/QTZPropertyDictionary";

#define QTZ_METHOD(selector) "-[NSMutableDictionary(QTZPropertyDictionary) " selector "]"

// Reports the failed check `text` of `method` and answers ok.
bool Check(bool ok, const char *method, int line, const char *text) {
    return _CoreMachDebugVerifyCheck(ok, method, kFile, line, text);
}

template <class T>
using Owned = QTZPropertyDictionary::Owned<T>;

bool IsString(CFTypeRef value) { return value != nullptr && CFGetTypeID(value) == CFStringGetTypeID(); }
bool IsArray(CFTypeRef value) { return value != nullptr && CFGetTypeID(value) == CFArrayGetTypeID(); }
bool IsDictionary(CFTypeRef value) { return value != nullptr && CFGetTypeID(value) == CFDictionaryGetTypeID(); }
bool IsMutableArray(CFTypeRef value) { return IsArray(value) && CFArrayIsMutable(static_cast<CFArrayRef>(value)); }
bool IsMutableDictionary(CFTypeRef value) {
    return IsDictionary(value) && CFDictionaryIsMutable(static_cast<CFDictionaryRef>(value));
}

// The value under the key when the container is a dictionary; null otherwise.
CFTypeRef ValueOf(CFTypeRef container, CFStringRef key) {
    return IsDictionary(container) ? CFDictionaryGetValue(static_cast<CFDictionaryRef>(container), key) : nullptr;
}

// Whether two values are present and equal (strings compare unit by unit: case-sensitive).
bool Equal(CFTypeRef a, CFTypeRef b) { return a != nullptr && b != nullptr && CFEqual(a, b); }

Owned<CFMutableDictionaryRef> NewDictionary() {
    return Owned<CFMutableDictionaryRef>(
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
}

void SetIfPresent(CFMutableDictionaryRef dictionary, CFStringRef key, CFTypeRef value) {
    if (value != nullptr) CFDictionarySetValue(dictionary, key, value);
}

Owned<CFNumberRef> Integer(int value) { return Owned<CFNumberRef>(CFNumberCreate(nullptr, kCFNumberIntType, &value)); }

// Empties `target` and fills it with the entries of `source`. The entries are taken (retained)
// before anything is removed, so `source` may be `target` itself or something it holds.
void ReplaceEntries(CFMutableDictionaryRef target, CFDictionaryRef source) {
    const Owned<CFMutableDictionaryRef> entries(CFDictionaryCreateMutableCopy(nullptr, 0, source));
    const CFIndex count = CFDictionaryGetCount(entries.get());
    std::vector<const void *> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(entries.get(), keys.data(), values.data());
    CFDictionaryRemoveAllValues(target);
    for (size_t i = 0; i < keys.size(); ++i) CFDictionarySetValue(target, keys[i], values[i]);
}

}  // namespace

// ---- Class operations

QTZPropertyDictionary QTZPropertyDictionary::propertyDictionaryForData(CFDataRef data) {
    const Owned<CFPropertyListRef> list(
        data != nullptr ? CFPropertyListCreateWithData(nullptr, data, kCFPropertyListMutableContainers, nullptr, nullptr)
                        : nullptr);
    return propertyDictionaryFor(IsDictionary(list.get()) ? static_cast<CFDictionaryRef>(list.get()) : nullptr);
}

QTZPropertyDictionary QTZPropertyDictionary::propertyDictionaryFor(CFDictionaryRef dictionary) {
    if (!IsDictionary(dictionary)) return QTZPropertyDictionary(NewDictionary());
    return QTZPropertyDictionary(Owned<CFMutableDictionaryRef>(CFDictionaryCreateMutableCopy(nullptr, 0, dictionary)));
}

QTZPropertyDictionary::Owned<CFDictionaryRef> QTZPropertyDictionary::publishedPort(CFStringRef publishedName,
                                                                                   CFStringRef nodeKey,
                                                                                   CFStringRef portName) {
    Owned<CFMutableDictionaryRef> port = NewDictionary();
    SetIfPresent(port.get(), CFSTR("key"), publishedName);
    SetIfPresent(port.get(), CFSTR("node"), nodeKey);
    SetIfPresent(port.get(), CFSTR("port"), portName);
    return Owned<CFDictionaryRef>(port.release());
}

QTZPropertyDictionary::Owned<CFDictionaryRef> QTZPropertyDictionary::imageSplitterNodeWithIdentifier(
    CFStringRef, CFStringRef keyValue) {
    Owned<CFMutableDictionaryRef> state = NewDictionary();
    CFDictionarySetValue(state.get(), CFSTR("portClass"), CFSTR("QCGLImagePort"));
    CFDictionarySetValue(state.get(), CFSTR("version"), Integer(1).get());
    Owned<CFMutableDictionaryRef> node = NewDictionary();
    CFDictionarySetValue(node.get(), CFSTR("class"), CFSTR("QCSplitter"));
    SetIfPresent(node.get(), CFSTR("key"), keyValue);
    CFDictionarySetValue(node.get(), CFSTR("state"), state.get());
    return Owned<CFDictionaryRef>(node.release());
}

QTZPropertyDictionary::Owned<CFDictionaryRef> QTZPropertyDictionary::filterNodeWithIdentifier(CFStringRef identifier,
                                                                                              CFStringRef keyValue) {
    // Made once (the initialisation of a function-local static is guarded) and never released.
    static const CFDictionaryRef sState = [] {
        const Owned<CFNumberRef> zero = Integer(0);
        const void *keys[] = {CFSTR("anisotropy"),   CFSTR("borderColor"), CFSTR("filteringMode"),
                              CFSTR("mipmapLevels"), CFSTR("target"),      CFSTR("wrappingMode")};
        const void *values[] = {zero.get(), CFSTR("R=0 G=0 B=0 A=0"),        CFSTR("Bilinear"),
                                zero.get(), CFSTR("GL_TEXTURE_RECTANGLE_EXT"), CFSTR("ClampToEdge")};
        return CFDictionaryCreate(nullptr, keys, values, 6, &kCFTypeDictionaryKeyCallBacks,
                                  &kCFTypeDictionaryValueCallBacks);
    }();
    Owned<CFMutableDictionaryRef> node = NewDictionary();
    CFDictionarySetValue(node.get(), CFSTR("class"), CFSTR("QCImageFilter"));
    SetIfPresent(node.get(), CFSTR("identifier"), identifier);
    SetIfPresent(node.get(), CFSTR("key"), keyValue);
    CFDictionarySetValue(node.get(), CFSTR("state"), sState);
    return Owned<CFDictionaryRef>(node.release());
}

QTZPropertyDictionary::Owned<CFDataRef> QTZPropertyDictionary::transformCompositionDataForCameraInput(CFDataRef data) {
    QTZPropertyDictionary composition = propertyDictionaryForData(data);

    Owned<CFStringRef> videoInputKey;
    for (int n = 1; n <= 9 && !videoInputKey; ++n) {
        char text[24];
        std::snprintf(text, sizeof text, "VideoInput_%d", n);
        Owned<CFStringRef> key(CFStringCreateWithCString(nullptr, text, kCFStringEncodingASCII));
        if (composition.hasNodeWithKey(key.get())) videoInputKey = std::move(key);
    }
    if (!videoInputKey) return nullptr;

    const Owned<CFDictionaryRef> splitter =
        imageSplitterNodeWithIdentifier(CFSTR("unused_inputSplitter_unused"), videoInputKey.get());
    if (!composition.replaceNodeWithKey(videoInputKey.get(), splitter.get())) return nullptr;

    const Owned<CFDictionaryRef> port = publishedPort(CFSTR("cameraImage"), videoInputKey.get(), CFSTR("input"));
    if (!composition.addPublishedPort(port.get())) return nullptr;

    composition.remapConnectionsWithSourceNode(videoInputKey.get(), CFSTR("outputImage"), CFSTR("output"));

    return composition.quartzComposerPropertyListData();
}

// ---- Instance operations

QTZPropertyDictionary::Owned<CFDataRef> QTZPropertyDictionary::quartzComposerPropertyListData() const {
    return Owned<CFDataRef>(
        CFPropertyListCreateData(nullptr, mDictionary.get(), kCFPropertyListXMLFormat_v1_0, 0, nullptr));
}

CFTypeRef QTZPropertyDictionary::state() const {
    const CFTypeRef rootPatch = CFDictionaryGetValue(mDictionary.get(), CFSTR("rootPatch"));
    if (!Check(IsDictionary(rootPatch), QTZ_METHOD("state"), __LINE__, " code : rootPatch")) return nullptr;
    const CFTypeRef state = ValueOf(rootPatch, CFSTR("state"));
    Check(IsMutableDictionary(state), QTZ_METHOD("state"), __LINE__, " code : state");
    return state;
}

CFTypeRef QTZPropertyDictionary::nodes() const {
    const CFTypeRef state = this->state();
    if (!Check(state != nullptr, QTZ_METHOD("nodes"), __LINE__, " code : state")) return nullptr;
    const CFTypeRef nodes = ValueOf(state, CFSTR("nodes"));
    Check(IsMutableArray(nodes), QTZ_METHOD("nodes"), __LINE__, " code : nodes");
    return nodes;
}

CFTypeRef QTZPropertyDictionary::connections() const {
    const CFTypeRef state = this->state();
    if (!Check(state != nullptr, QTZ_METHOD("connections"), __LINE__, " code : state")) return nullptr;
    return ValueOf(state, CFSTR("connections"));
}

CFTypeRef QTZPropertyDictionary::inputPorts() {
    const CFTypeRef state = this->state();
    if (state == nullptr) return nullptr;
    const CFTypeRef ports = ValueOf(state, CFSTR("publishedInputPorts"));
    if (ports != nullptr || !IsMutableDictionary(state)) return ports;
    CFMutableArrayRef created = CFArrayCreateMutable(nullptr, 3, &kCFTypeArrayCallBacks);
    CFDictionarySetValue(static_cast<CFMutableDictionaryRef>(const_cast<void *>(state)), CFSTR("publishedInputPorts"),
                         created);
    CFRelease(created);  // the state holds it
    return created;
}

QTZPropertyDictionary::Owned<CFArrayRef> QTZPropertyDictionary::nodeKeys() const {
    const CFTypeRef nodes = this->nodes();
    if (!Check(IsArray(nodes), QTZ_METHOD("nodeKeys"), __LINE__, " code : nodes")) return nullptr;
    const auto array = static_cast<CFArrayRef>(nodes);
    const CFIndex count = CFArrayGetCount(array);
    Owned<CFMutableArrayRef> keys(CFArrayCreateMutable(nullptr, count, &kCFTypeArrayCallBacks));
    for (CFIndex i = 0; i < count; ++i)
        if (const CFTypeRef key = ValueOf(CFArrayGetValueAtIndex(array, i), CFSTR("key"))) CFArrayAppendValue(keys.get(), key);
    return Owned<CFArrayRef>(keys.release());
}

bool QTZPropertyDictionary::hasNodeWithKey(CFStringRef key) const {
    const CFTypeRef nodes = this->nodes();
    if (!Check(IsArray(nodes), QTZ_METHOD("hasNodeWithKey:"), __LINE__, " code : nodes")) return false;
    if (!Check(IsString(key), QTZ_METHOD("hasNodeWithKey:"), __LINE__, " code : key")) return false;
    const auto array = static_cast<CFArrayRef>(nodes);
    const CFIndex count = CFArrayGetCount(array);
    for (CFIndex i = 0; i < count; ++i) {
        const CFTypeRef nodeKey = ValueOf(CFArrayGetValueAtIndex(array, i), CFSTR("key"));
        if (IsString(nodeKey) && CFEqual(nodeKey, key)) return true;
    }
    return false;
}

bool QTZPropertyDictionary::replaceNodeWithKey(CFStringRef key, CFDictionaryRef node) {
    const CFTypeRef nodes = this->nodes();
    if (!Check(IsArray(nodes), QTZ_METHOD("replaceNodeWithKey:node:"), __LINE__, " code : nodes")) return false;
    if (!Check(IsString(key), QTZ_METHOD("replaceNodeWithKey:node:"), __LINE__, " code : key")) return false;
    if (!Check(IsDictionary(node), QTZ_METHOD("replaceNodeWithKey:node:"), __LINE__, " code : node")) return false;
    const auto array = static_cast<CFArrayRef>(nodes);
    const CFIndex count = CFArrayGetCount(array);
    for (CFIndex i = 0; i < count; ++i) {
        const CFTypeRef found = CFArrayGetValueAtIndex(array, i);
        const CFTypeRef foundKey = ValueOf(found, CFSTR("key"));
        if (!IsString(foundKey) || !CFEqual(foundKey, key)) continue;
        if (found == node) return true;  // already in place
        if (!Check(IsMutableDictionary(found), QTZ_METHOD("replaceNodeWithKey:node:"), __LINE__,
                   " code : CFDictionaryIsMutable(found)"))
            return false;
        ReplaceEntries(static_cast<CFMutableDictionaryRef>(const_cast<void *>(found)), node);
        return true;
    }
    return false;
}

CFDictionaryRef QTZPropertyDictionary::inputPortWithKey(CFStringRef key) {
    const CFTypeRef ports = inputPorts();
    if (!IsArray(ports) || key == nullptr) return nullptr;
    const auto array = static_cast<CFArrayRef>(ports);
    const CFIndex count = CFArrayGetCount(array);
    for (CFIndex i = 0; i < count; ++i) {
        const CFTypeRef port = CFArrayGetValueAtIndex(array, i);
        if (Equal(ValueOf(port, CFSTR("key")), key)) return static_cast<CFDictionaryRef>(port);
    }
    return nullptr;
}

bool QTZPropertyDictionary::addInputPortIfUniqueKey(CFDictionaryRef port) {
    const CFTypeRef ports = inputPorts();
    if (!Check(IsArray(ports), QTZ_METHOD("addInputPortIfUniqueKey:"), __LINE__, " code : inputPorts")) return false;
    if (!Check(IsDictionary(port), QTZ_METHOD("addInputPortIfUniqueKey:"), __LINE__, " code : inputPort")) return false;
    const CFTypeRef key = CFDictionaryGetValue(port, CFSTR("key"));
    if (key != nullptr && inputPortWithKey(static_cast<CFStringRef>(key)) != nullptr) return true;
    if (!Check(IsMutableArray(ports), QTZ_METHOD("addInputPortIfUniqueKey:"), __LINE__,
               " code : CFArrayIsMutable(inputPorts)"))
        return false;
    CFArrayAppendValue(static_cast<CFMutableArrayRef>(const_cast<void *>(ports)), port);
    return true;
}

bool QTZPropertyDictionary::addPublishedPort(CFDictionaryRef port) {
    const CFTypeRef ports = inputPorts();
    if (!Check(IsArray(ports), QTZ_METHOD("addPublishedPort:"), __LINE__, " code : inputPorts")) return false;
    if (!Check(IsDictionary(port), QTZ_METHOD("addPublishedPort:"), __LINE__, " code : publishedPort")) return false;
    return addInputPortIfUniqueKey(port);
}

bool QTZPropertyDictionary::replaceConnectionNamed(CFStringRef name, CFStringRef sourceNodeKeyValue,
                                                   CFDictionaryRef connection) {
    const char *const method = QTZ_METHOD("replaceConnectionNamed:withSourceNodeKeyValue:connection:");
    const CFTypeRef connections = this->connections();
    if (!Check(IsDictionary(connections), method, __LINE__, " code : connections")) return false;
    if (!Check(IsString(sourceNodeKeyValue), method, __LINE__, " code : withSourceNodeKeyValue")) return false;
    if (!Check(IsDictionary(connection), method, __LINE__, " code : connection")) return false;
    const CFTypeRef found = name != nullptr ? ValueOf(connections, name) : nullptr;
    if (!Equal(ValueOf(found, CFSTR("sourceNode")), sourceNodeKeyValue)) return false;
    if (found == connection) return true;  // already in place
    if (!Check(IsMutableDictionary(found), method, __LINE__, " code : CFDictionaryIsMutable(found)")) return false;
    ReplaceEntries(static_cast<CFMutableDictionaryRef>(const_cast<void *>(found)), connection);
    return true;
}

bool QTZPropertyDictionary::remapConnectionsWithSourceNode(CFStringRef nodeKey, CFStringRef oldSourcePort,
                                                           CFStringRef newSourcePort) {
    const char *const method = QTZ_METHOD("remapConnectionsWithSourceNode:oldSourcePort:newSourcePort:");
    const CFTypeRef connections = this->connections();
    if (!Check(IsDictionary(connections), method, __LINE__, " code : connections")) return false;
    if (!Check(IsString(nodeKey), method, __LINE__, " code : nodeKey")) return false;
    if (!Check(IsString(oldSourcePort), method, __LINE__, " code : oldSourcePort")) return false;
    if (!Check(IsString(newSourcePort), method, __LINE__, " code : newSourcePort")) return false;
    // The entries as they are now, held while the connections are replaced.
    const Owned<CFMutableDictionaryRef> snapshot(
        CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(connections)));
    const CFIndex count = CFDictionaryGetCount(snapshot.get());
    std::vector<const void *> names(static_cast<size_t>(count)), wires(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(snapshot.get(), names.data(), wires.data());
    bool every = true;
    for (size_t i = 0; i < names.size(); ++i) {
        const CFTypeRef wire = wires[i];
        if (!Equal(ValueOf(wire, CFSTR("sourceNode")), nodeKey) ||
            !Equal(ValueOf(wire, CFSTR("sourcePort")), oldSourcePort))
            continue;
        const Owned<CFMutableDictionaryRef> moved(
            CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(wire)));
        CFDictionarySetValue(moved.get(), CFSTR("sourcePort"), newSourcePort);
        // A name that is not a string cannot be looked up by the replacement.
        every = IsString(names[i]) &&
                replaceConnectionNamed(static_cast<CFStringRef>(names[i]), nodeKey, moved.get()) && every;
    }
    return every;
}

bool import_QTZPropertyDictionary() { return import_CoreMachDebugLog(); }
