// XML nodes: a type code, a string and, for an element, its attributes.
#include <CoreFoundation/CFXMLNode.h>
#include <CoreFoundation/CFXMLInternal.h>
#include <CoreFoundation/CFRuntime.h>

struct __CFXMLNode final : cf::Object {
    __CFXMLNode(CFXMLNodeTypeCode type, CFStringRef string, const CFXMLElementInfo *element)
        : cf::Object(CFXMLNodeGetTypeID()), mType(type), mString(string ? CFStringRef(CFRetain(string)) : nullptr) {
        if (type == kCFXMLNodeTypeElement && element != nullptr) {
            mElement = *element;
            if (mElement.attributes != nullptr) CFRetain(mElement.attributes);
            if (mElement.attributeOrder != nullptr) CFRetain(mElement.attributeOrder);
        }
    }
    ~__CFXMLNode() override {
        if (mString != nullptr) CFRelease(mString);
        if (mElement.attributes != nullptr) CFRelease(mElement.attributes);
        if (mElement.attributeOrder != nullptr) CFRelease(mElement.attributeOrder);
    }

    const CFXMLNodeTypeCode mType;
    const CFStringRef mString;
    CFXMLElementInfo mElement{};
};

CFTypeID CFXMLNodeGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CFXMLNode");
    return type;
}

namespace {

const __CFXMLNode *Node(CFXMLNodeRef node) { return cf::As<const __CFXMLNode>(node, CFXMLNodeGetTypeID()); }

}  // namespace

CFXMLNodeTypeCode CFXMLNodeGetTypeCode(CFXMLNodeRef node) {
    const __CFXMLNode *object = Node(node);
    return object ? object->mType : 0;
}

CFStringRef CFXMLNodeGetString(CFXMLNodeRef node) {
    const __CFXMLNode *object = Node(node);
    return object ? object->mString : nullptr;
}

const void *CFXMLNodeGetInfoPtr(CFXMLNodeRef node) {
    const __CFXMLNode *object = Node(node);
    if (object == nullptr || object->mType != kCFXMLNodeTypeElement) return nullptr;
    return &object->mElement;
}

CFIndex CFXMLNodeGetVersion(CFXMLNodeRef node) { return Node(node) ? kCFXMLNodeCurrentVersion : 0; }

CFXMLNodeRef CFXMLTreeGetNode(CFXMLTreeRef xmlTree) { return Node(static_cast<CFXMLNodeRef>(cf::TreeValue(xmlTree))); }

namespace cf {

CFXMLNodeRef CreateXMLNode(CFXMLNodeTypeCode type, CFStringRef string, const CFXMLElementInfo *element) {
    return new __CFXMLNode(type, string, element);
}

}  // namespace cf
