#include <QuartzComposer/QCPatch.h>

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFString.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

// The engine's own classes (QCEnginePatches.cpp, QCUtilityPatches.cpp).
std::vector<std::pair<std::string, QCPatchFactory>> QCEnginePatchClasses();
std::vector<std::pair<std::string, QCPatchFactory>> QCUtilityPatchClasses();

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, QCPatchFactory> factories;
};

Registry &TheRegistry() {
    static Registry *registry = [] {
        auto *r = new Registry;  // lives to the end of the process
        for (auto &[name, factory] : QCEnginePatchClasses()) r->factories[name] = std::move(factory);
        for (auto &[name, factory] : QCUtilityPatchClasses()) r->factories[name] = std::move(factory);
        return r;
    }();
    return *registry;
}

// The deepest structure a property list may give a port value.
constexpr int kMaxDepth = 16;

QCValue ValueFromPropertyList(CFTypeRef value, int depth) {
    if (!value || depth > kMaxDepth) return {};
    const CFTypeID type = CFGetTypeID(value);
    if (type == CFBooleanGetTypeID()) return QCValue(CFBooleanGetValue(static_cast<CFBooleanRef>(value)) != 0);
    if (type == CFNumberGetTypeID()) {
        double n = 0;
        if (!CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberDoubleType, &n) || !std::isfinite(n)) return {};
        return QCValue(n);
    }
    if (type == CFStringGetTypeID()) {
        std::string text;
        const CFStringRef s = static_cast<CFStringRef>(value);
        const CFIndex max = CFStringGetMaximumSizeForEncoding(CFStringGetLength(s), kCFStringEncodingUTF8) + 1;
        text.resize(size_t(max));
        if (!CFStringGetCString(s, text.data(), max, kCFStringEncodingUTF8)) return {};
        text.resize(std::strlen(text.c_str()));
        return QCValue(std::move(text));
    }
    if (type == CFDictionaryGetTypeID()) {
        // A colour: {"red", "green", "blue", "alpha"} in 0..1 (alpha 1 when absent).
        const CFDictionaryRef d = static_cast<CFDictionaryRef>(value);
        double c[4] = {0, 0, 0, 1};
        const char *keys[4] = {"red", "green", "blue", "alpha"};
        bool any = false;
        for (int i = 0; i < 4; ++i) {
            double v;
            if (QCStateNumber(d, keys[i], &v)) c[i] = std::clamp(v, 0.0, 1.0), any = true;
        }
        if (!any) return {};
        return QCValue(CIColor::colorWithRed(c[0], c[1], c[2], c[3]));
    }
    if (type == CFArrayGetTypeID()) {
        const CFArrayRef a = static_cast<CFArrayRef>(value);
        QCStructure structure;
        const CFIndex count = CFArrayGetCount(a);
        structure.reserve(size_t(std::min<CFIndex>(count, 4096)));
        for (CFIndex i = 0; i < count; ++i) structure.push_back(ValueFromPropertyList(CFArrayGetValueAtIndex(a, i), depth + 1));
        return QCValue(std::move(structure));
    }
    return {};
}

} // namespace

QCPatch::~QCPatch() = default;

const QCPortDescription *QCPatch::inputPort(const std::string &key) const {
    for (const QCPortDescription &p : m_inputs)
        if (p.key == key) return &p;
    return nullptr;
}

const QCPortDescription *QCPatch::outputPort(const std::string &key) const {
    for (const QCPortDescription &p : m_outputs)
        if (p.key == key) return &p;
    return nullptr;
}

void QCPatch::addInputPort(std::string key, QCPortType type, QCValue defaultValue) {
    m_inputs.push_back({std::move(key), type, std::move(defaultValue)});
}

void QCPatch::addOutputPort(std::string key, QCPortType type) { m_outputs.push_back({std::move(key), type, {}}); }

QCValue QCConvertValue(const QCValue &value, QCPortType type, const QCValue &fallback) {
    if (value.isNull()) return fallback;
    switch (type) {
    case QCPortType::Image:
        return value.isImage() ? value : fallback;
    case QCPortType::Number: {
        const double n = value.numberValue(NAN);
        return std::isfinite(n) ? QCValue(n) : fallback;
    }
    case QCPortType::Index: {
        const double n = value.numberValue(NAN);
        if (!std::isfinite(n)) return fallback;
        return QCValue(std::clamp(std::round(n), 0.0, 2147483647.0));
    }
    case QCPortType::Boolean:
        return value.isBoolean() || value.isNumber() ? QCValue(value.booleanValue()) : fallback;
    case QCPortType::String:
        return value.isString() || value.isNumber() || value.isBoolean() ? QCValue(value.stringValue()) : fallback;
    case QCPortType::Color:
        return value.isColor() ? value : fallback;
    case QCPortType::Structure:
        return value.isStructure() ? value : fallback;
    }
    return fallback;
}

void QCRegisterPatchClass(const std::string &className, QCPatchFactory factory) {
    Registry &registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.factories[className] = std::move(factory);
}

QCPatchFactory QCPatchFactoryForClass(const std::string &className) {
    Registry &registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    auto it = registry.factories.find(className);
    return it == registry.factories.end() ? QCPatchFactory() : it->second;
}

std::vector<std::string> QCRegisteredPatchClasses() {
    Registry &registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    std::vector<std::string> names;
    for (const auto &[name, factory] : registry.factories) names.push_back(name);
    return names;
}

namespace {
CFTypeRef StateValue(CFDictionaryRef state, const char *key) {
    if (!state) return nullptr;
    CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    CFTypeRef value = CFDictionaryGetValue(state, k);
    CFRelease(k);
    return value;
}
} // namespace

bool QCStateString(CFDictionaryRef state, const char *key, std::string *out) {
    CFTypeRef value = StateValue(state, key);
    if (!value || CFGetTypeID(value) != CFStringGetTypeID()) return false;
    QCValue v = ValueFromPropertyList(value, 0);
    if (!v.isString()) return false;
    *out = v.stringValue();
    return true;
}

bool QCStateNumber(CFDictionaryRef state, const char *key, double *out) {
    CFTypeRef value = StateValue(state, key);
    if (!value || CFGetTypeID(value) != CFNumberGetTypeID()) return false;
    double n = 0;
    if (!CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberDoubleType, &n) || !std::isfinite(n)) return false;
    *out = n;
    return true;
}

CFDataRef QCStateData(CFDictionaryRef state, const char *key) {
    CFTypeRef value = StateValue(state, key);
    return value && CFGetTypeID(value) == CFDataGetTypeID() ? static_cast<CFDataRef>(value) : nullptr;
}

QCValue QCValueFromPropertyList(CFTypeRef value) { return ValueFromPropertyList(value, 0); }
