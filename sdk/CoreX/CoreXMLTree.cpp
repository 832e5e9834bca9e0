// CoreXMLTree: lookups, values, attributes and readable text over an XML tree.
#include <CoreX/CoreXMLTree.h>

#include <cstdlib>

#include <CoreX/CoreMachDebugLog.h>

bool import_CoreXMLTree() { return import_CoreMachDebugLog(); }

namespace {

bool SameName(CFStringRef nodeString, CFStringRef name) {
    return nodeString != nullptr && CFStringCompare(nodeString, name, kCFCompareCaseInsensitive) == kCFCompareEqualTo;
}

// Visits the children of tree that match the kind and the name (any when 0 / null) and
// answers how many there are, or, when want >= 0, stops at the want-th match and answers it
// in found.
CFIndex Matches(CFXMLTreeRef tree, CFXMLNodeTypeCode nodeType, CFStringRef name, CFIndex want, CFXMLTreeRef *found) {
    CFIndex matched = 0;
    const CFIndex count = CFTreeGetChildCount(tree);
    for (CFIndex i = 0; i < count; ++i) {
        CFXMLTreeRef child = CFTreeGetChildAtIndex(tree, i);
        CFXMLNodeRef node = CFXMLTreeGetNode(child);
        if (name != nullptr && !SameName(CFXMLNodeGetString(node), name)) continue;
        if (nodeType != 0 && CFXMLNodeGetTypeCode(node) != nodeType) continue;
        if (matched == want) {
            *found = child;
            return matched + 1;
        }
        ++matched;
    }
    return matched;
}

// The name as a CFString (the caller releases it); null for no name.
bool MakeName(const char *name, CFStringRef &nameRef) {
    nameRef = nullptr;
    if (name == nullptr) return true;
    nameRef = CFStringCreateWithCString(kCFAllocatorDefault, name, kCFStringEncodingUTF8);
    return VERIFY(nameRef);
}

}  // namespace

CFXMLNodeRef CoreXMLTree::GetNodeRef() const { return mTreeRef ? CFXMLTreeGetNode(mTreeRef) : nullptr; }

CFXMLNodeTypeCode CoreXMLTree::GetNodeType() const { return CFXMLNodeGetTypeCode(GetNodeRef()); }

// result may be this view itself (stepping down: tree.GetChild(tree, ...)), so it is
// assigned only at the end; nothing found leaves it empty.
bool CoreXMLTree::GetChild(CoreXMLTree &result, CFIndex index, CFXMLNodeTypeCode nodeType, const char *name) const {
    CFXMLTreeRef found = nullptr;
    CFStringRef nameRef = nullptr;
    if (VERIFY(IsValid()) && MakeName(name, nameRef)) {
        if (index >= 0) Matches(mTreeRef, nodeType, nameRef, index, &found);
        if (nameRef != nullptr) CFRelease(nameRef);
    }
    result = found;
    return found != nullptr;
}

CFIndex CoreXMLTree::GetChildCount(CFXMLNodeTypeCode nodeType, const char *name) const {
    if (!VERIFY(IsValid())) return 0;
    CFStringRef nameRef = nullptr;
    if (!MakeName(name, nameRef)) return 0;
    const CFIndex count = Matches(mTreeRef, nodeType, nameRef, -1, nullptr);
    if (nameRef != nullptr) CFRelease(nameRef);
    return count;
}

bool CoreXMLTree::HasChildElement(const char *name, CFIndex index) const {
    CoreXMLTree element;
    return GetChildElement(element, name, index) && element.IsNodeType(kCFXMLNodeTypeElement);
}

CFStringRef CoreXMLTree::GetNodeValue() const {
    CFXMLNodeRef nodeRef = GetNodeRef();
    if (!VERIFY(nodeRef)) return nullptr;
    CFStringRef nodeValue = nullptr;
    VERIFY(nodeValue = CFXMLNodeGetString(nodeRef));
    return nodeValue;
}

bool CoreXMLTree::GetNodeValue(std::string &out_value) const {
    return std_stringFromCFStringRef(GetNodeValue(), out_value);
}

// The buffer has room for the terminator too: an empty string converts to "" (twice the
// largest UTF-8 size alone would be no bytes at all for it).
bool CoreXMLTree::std_stringFromCFStringRef(CFStringRef inStringRef, std::string &out_string) {
    out_string.clear();
    if (!VERIFY(inStringRef)) return false;
    const CFIndex utf8_buffer_size =
        2 * CFStringGetMaximumSizeForEncoding(CFStringGetLength(inStringRef), kCFStringEncodingUTF8) + 1;
    char *utf8_buffer = utf8_buffer_size > 0 ? static_cast<char *>(std::malloc(size_t(utf8_buffer_size))) : nullptr;
    if (!VERIFY(utf8_buffer)) return false;
    const bool fOk = VERIFY(CFStringGetCString(inStringRef, utf8_buffer, utf8_buffer_size, kCFStringEncodingUTF8));
    if (fOk) out_string = utf8_buffer;
    std::free(utf8_buffer);
    return fOk;
}

CFStringRef CoreXMLTree::GetElementValue(const char *name, CFIndex index) const {
    CoreXMLTree element;
    GetChildElement(element, name, index);
    if (!VERIFY(element.IsValid())) return nullptr;
    CFStringRef elementText = nullptr;
    VERIFY(elementText = element.GetNodeValue());
    return elementText;
}

CFStringRef CoreXMLTree::GetElementChildTextValue(const char *name, CFIndex index) const {
    CoreXMLTree element;
    if (!GetChildElement(element, name, index)) return nullptr;
    VERIFY(element.GetChildCount(kCFXMLNodeTypeText)==1);
    CoreXMLTree text;
    element.GetChild(text, 0, kCFXMLNodeTypeText);
    CFStringRef elementText = nullptr;
    VERIFY(elementText = text.GetNodeValue());
    return elementText;
}

CFStringRef CoreXMLTree::GetElementEntityText(const char *name, CFIndex index) const {
    CoreXMLTree element;
    GetChildElement(element, name, index);
    if (!VERIFY(element.IsValid())) return nullptr;
    CFStringRef elementText = nullptr;
    VERIFY(elementText = element.GetEntityText(true));
    return elementText;
}

// The readable text, child by child: br and hr elements give CR LF, text its text, an
// element with children its own text (when recursive), an entity reference its character
// (the predefined entities, rsquo and lsquo; any other entity its name), any other node
// its string. An element without children that is not br or hr adds nothing and is logged.
CFMutableStringRef CoreXMLTree::GetEntityText(bool recursive) const {
    CFMutableStringRef elementText = CFStringCreateMutable(kCFAllocatorDefault, 0);
    if (!VERIFY(elementText)) return nullptr;

    static const struct {
        CFStringRef name;
        const char *text;  // UTF-8
    } kReplacements[] = {
        {CFSTR("lt"), "<"},         {CFSTR("gt"), ">"},    {CFSTR("quot"), "\""},
        {CFSTR("amp"), "&"},        {CFSTR("rsquo"), "\xE2\x80\x99"}, {CFSTR("lsquo"), "\xE2\x80\x98"},
        {CFSTR("apos"), "'"},
    };

    const CFIndex count = CFTreeGetChildCount(mTreeRef);
    for (CFIndex i = 0; i < count; ++i) {
        const CoreXMLTree child(CFTreeGetChildAtIndex(mTreeRef, i));
        switch (child.GetNodeType()) {
            case kCFXMLNodeTypeElement: {
                CFStringRef tag = CFXMLNodeGetString(child.GetNodeRef());
                if (SameName(tag, CFSTR("br")) || SameName(tag, CFSTR("hr"))) {
                    CFStringAppend(elementText, CFSTR("\r\n"));
                } else if (CFTreeGetChildCount(child.GetTreeRef()) == 0) {
                    child.Dump("CoreXMLTree::GetElementEntityText unknown element with zero children");
                } else if (recursive) {
                    CFStringRef releaseText = nullptr;
                    CFStringRef appendText = nullptr;
                    if (VERIFY(releaseText = appendText = child.GetEntityText(true))) {
                        CFStringAppend(elementText, appendText);
                        CFRelease(releaseText);
                    }
                }
                break;
            }
            case kCFXMLNodeTypeText: {
                CFStringRef appendText = nullptr;
                if (VERIFY(appendText = child.GetNodeValue())) CFStringAppend(elementText, appendText);
                break;
            }
            case kCFXMLNodeTypeEntityReference: {
                CFStringRef childText = CFXMLNodeGetString(child.GetNodeRef());
                if (!VERIFY(childText)) break;
                const char *replacement = nullptr;
                for (const auto &entry : kReplacements)
                    if (SameName(childText, entry.name)) replacement = entry.text;
                if (replacement != nullptr) CFStringAppendCString(elementText, replacement, kCFStringEncodingUTF8);
                else CFStringAppend(elementText, childText);
                break;
            }
            default: {
                CFStringRef nodeString = CFXMLNodeGetString(child.GetNodeRef());
                if (nodeString != nullptr) CFStringAppend(elementText, nodeString);
                break;
            }
        }
    }
    return elementText;
}

const CFXMLElementInfo *CoreXMLTree::GetElementInfo() const {
    CFXMLNodeRef nodeRef = GetNodeRef();
    if (!VERIFY(nodeRef)) return nullptr;
    if (!VERIFY(IsNodeType(kCFXMLNodeTypeElement))) return nullptr;
    const CFXMLElementInfo *result = nullptr;
    VERIFY(result = (const CFXMLElementInfo*)CFXMLNodeGetInfoPtr(nodeRef));
    return result;
}

// Attributes are read whatever the empty-element flag says: <link href="..."/> is flagged
// empty and has attributes.
bool CoreXMLTree::GetAttribute(CFStringRef in_attribute_name, CFStringRef &out_attribute) const {
    out_attribute = nullptr;
    const CFXMLElementInfo *element = GetElementInfo();
    if (!VERIFY(element)) return false;
    if (!VERIFY(element->attributes)) return false;
    CFStringRef attributeValue = nullptr;
    if (!VERIFY(attributeValue = (CFStringRef)CFDictionaryGetValue(element->attributes, in_attribute_name)))
        return false;
    out_attribute = attributeValue;
    return true;
}

bool CoreXMLTree::GetAttribute(const char *in_attribute_name, std::string &out_attribute) const {
    out_attribute.clear();
    if (!VERIFY(in_attribute_name)) return false;
    CFStringRef attributeName = nullptr;
    if (!VERIFY(attributeName = CFStringCreateWithCString(kCFAllocatorDefault, in_attribute_name, kCFStringEncodingUTF8)))
        return false;
    CFStringRef attributeValue = nullptr;
    bool fOk = VERIFY(GetAttribute(attributeName,attributeValue));
    if (fOk) VERIFY(fOk = std_stringFromCFStringRef(attributeValue, out_attribute));
    CFRelease(attributeName);
    return fOk;
}

bool CoreXMLTree::HasAttribute(CFStringRef in_attribute_name) const {
    CFStringRef value = nullptr;
    return GetAttribute(in_attribute_name, value) && value != nullptr;
}

CFIndex CoreXMLTree::GetAttributeCount() const {
    const CFXMLElementInfo *element = GetElementInfo();
    if (!VERIFY(element)) return 0;
    if (!VERIFY(element->attributeOrder)) return 0;
    return CFArrayGetCount(element->attributeOrder);
}

void CoreXMLTree::Dump(const char *label) const {
    CFXMLNodeRef nodeRef = GetNodeRef();
    CoreMachDebugLog("CoreXMLTree:%s tree_ref:%08lx node_ref:%08lx node_type:%d children:%d\n", label ? label : "",
                     (unsigned long)mTreeRef, (unsigned long)nodeRef, int(GetNodeType()),
                     int(CFTreeGetChildCount(mTreeRef)));
    CFStringRef nodeString = CFXMLNodeGetString(nodeRef);
    std::string node_value;
    if (nodeString != nullptr && std_stringFromCFStringRef(nodeString, node_value))
        CoreMachDebugLog("node_value:%s\n", node_value.c_str());
}
