// XML documents read from arbitrary bytes into XML trees, then walked with CoreXMLTree the
// way the feed reader walks a feed: children by kind and name, attributes, node values and
// the readable text of elements.
//
// Input: one byte of parser options (bit 0: skip white space), then the document.
#include "FuzzSupport.h"

#include <string>

#include <CoreFoundation/CoreFoundation.h>
#include <CoreX/CoreXMLTree.h>

namespace {

bool IsBlank(CFStringRef string) {
    for (CFIndex i = 0; i < CFStringGetLength(string); ++i) {
        const UniChar c = CFStringGetCharacterAtIndex(string, i);
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    }
    return true;
}

void CheckElement(const CoreXMLTree &element) {
    const auto *info = static_cast<const CFXMLElementInfo *>(CFXMLNodeGetInfoPtr(element.GetNodeRef()));
    LUMORA_CHECK(info != nullptr && info->attributes != nullptr && info->attributeOrder != nullptr);
    const CFIndex count = element.GetAttributeCount();
    LUMORA_CHECK(count == CFArrayGetCount(info->attributeOrder));
    LUMORA_CHECK(count == CFDictionaryGetCount(info->attributes));
    LUMORA_CHECK(!info->isEmpty || CFTreeGetChildCount(element.GetTreeRef()) == 0);
    for (CFIndex i = 0; i < count; ++i) {
        auto name = static_cast<CFStringRef>(CFArrayGetValueAtIndex(info->attributeOrder, i));
        CFStringRef value = nullptr;
        LUMORA_CHECK(element.GetAttribute(name, value) && value != nullptr);
        std::string utf8Name, utf8Value;
        LUMORA_CHECK(CoreXMLTree::std_stringFromCFStringRef(name, utf8Name));
        if (utf8Name.find('\0') == std::string::npos) LUMORA_CHECK(element.GetAttribute(utf8Name.c_str(), utf8Value));
    }
    // Lookups by name, as the reader does them (a few, so that the walk stays linear).
    std::string tag;
    LUMORA_CHECK(element.GetNodeValue(tag));
    CoreXMLTree first;
    if (element.GetChild(first, 0, 0)) {
        std::string firstName;
        if (CFXMLNodeGetString(first.GetNodeRef()) != nullptr && first.GetNodeValue(firstName) &&
            firstName.find('\0') == std::string::npos) {
            CoreXMLTree again;
            LUMORA_CHECK(element.GetChild(again, 0, first.GetNodeType(), firstName.c_str()));
            if (first.IsNodeType(kCFXMLNodeTypeElement)) {
                CFStringRef text = element.GetElementEntityText(firstName.c_str(), 0);
                LUMORA_CHECK(text != nullptr);
                CFRelease(text);
                (void)element.GetElementChildTextValue(firstName.c_str(), 0);
            }
        }
    }
}

void Walk(const CoreXMLTree &tree, bool blanksSkipped, int depth) {
    LUMORA_CHECK(depth < 300);  // the parser refuses deeper nesting
    bool previousWasText = false;
    const CFIndex count = CFTreeGetChildCount(tree.GetTreeRef());
    for (CFIndex i = 0; i < count; ++i) {
        const CoreXMLTree child(CFTreeGetChildAtIndex(tree.GetTreeRef(), i));
        CFStringRef string = CFXMLNodeGetString(child.GetNodeRef());
        LUMORA_CHECK(string != nullptr);
        const CFXMLNodeTypeCode type = child.GetNodeType();
        switch (type) {
            case kCFXMLNodeTypeElement:
                CheckElement(child);
                Walk(child, blanksSkipped, depth + 1);
                break;
            case kCFXMLNodeTypeText:
                LUMORA_CHECK(!previousWasText);  // neighbouring character data is one node
                LUMORA_CHECK(CFStringGetLength(string) > 0);
                // Blank text survives the option only as CDATA.
                if (blanksSkipped) LUMORA_CHECK(!IsBlank(string));
                break;
            case kCFXMLNodeTypeEntityReference:
                LUMORA_CHECK(CFStringGetLength(string) > 0);
                break;
            case kCFXMLNodeTypeComment:
            case kCFXMLNodeTypeProcessingInstruction:
                break;
            default:
                LUMORA_CHECK(false);
        }
        previousWasText = type == kCFXMLNodeTypeText;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    lumora::fuzz::Input input(data, size);
    const bool skipWhitespace = (input.byte() & 1) != 0;
    const std::string_view document = input.rest();
    CFDataRef bytes = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(document.data()), CFIndex(document.size()));
    CFXMLTreeRef tree = CFXMLTreeCreateFromData(kCFAllocatorDefault, bytes, nullptr,
                                                skipWhitespace ? CFOptionFlags(kCFXMLParserSkipWhitespace) : 0, 1);
    CFRelease(bytes);
    if (tree == nullptr) return 0;

    const CoreXMLTree root(tree);
    LUMORA_CHECK(root.IsNodeType(kCFXMLNodeTypeDocument));
    LUMORA_CHECK(root.GetElementCount(nullptr) == 1);  // one root element
    Walk(root, skipWhitespace && document.find("<![CDATA[") == std::string_view::npos, 0);
    CoreXMLTree top;
    LUMORA_CHECK(root.GetChildElement(top, nullptr, 0));
    CFMutableStringRef text = top.GetEntityText(true);
    LUMORA_CHECK(text != nullptr);
    CFRelease(text);
    CFRelease(tree);
    return 0;
}
