// CoreXMLTree: a read-only view of an XML tree (CFXMLTreeRef). It finds children by kind,
// name and position, reads node values, element attributes and the readable text of an
// element; every unexpected condition is reported through the VERIFY reporter and the
// caller gets an empty view, 0, false or null.
//
// A view does not own its tree: clearing or replacing the reference releases nothing, and
// whoever created the root tree (CFXMLTreeCreateFromData) releases it. Child views borrow
// their trees from the root. Views belong to one thread; the tree never changes.
#pragma once

#include <string>

#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFXMLNode.h>

class CoreXMLTree {
public:
    CoreXMLTree() = default;
    CoreXMLTree(CFXMLTreeRef inTreeRef) : mTreeRef(inTreeRef) {}
    CoreXMLTree(const CoreXMLTree &) = default;
    CoreXMLTree &operator=(const CoreXMLTree &) = default;
    CoreXMLTree &operator=(CFXMLTreeRef inTreeRef) {
        mTreeRef = inTreeRef;
        return *this;
    }

    void Clear() { mTreeRef = nullptr; }
    bool IsValid() const { return mTreeRef != nullptr; }
    CFXMLTreeRef GetTreeRef() const { return mTreeRef; }
    // The tree's node, null without a tree.
    CFXMLNodeRef GetNodeRef() const;
    // The node's kind, 0 without a node.
    CFXMLNodeTypeCode GetNodeType() const;
    bool IsNodeType(CFXMLNodeTypeCode nodeType) const { return GetNodeType() == nodeType; }

    // Lookup. A child matches when its node string equals name (ignoring case; any string
    // when name is null) and its kind is nodeType (any kind when nodeType is 0); matches are
    // counted from 0 and result becomes the index-th one (else it stays empty).
    bool GetChild(CoreXMLTree &result, CFIndex index, CFXMLNodeTypeCode nodeType, const char *name = nullptr) const;
    CFIndex GetChildCount(CFXMLNodeTypeCode nodeType = 0, const char *name = nullptr) const;
    CFIndex GetElementCount(const char *name) const { return GetChildCount(kCFXMLNodeTypeElement, name); }
    bool GetChildElement(CoreXMLTree &result, const char *name, CFIndex index = 0) const {
        return GetChild(result, index, kCFXMLNodeTypeElement, name);
    }
    bool HasChildElement(const char *name, CFIndex index = 0) const;

    // Values. Answered strings are borrowed unless the name says Create... or the comment
    // says the caller releases them.
    CFStringRef GetNodeValue() const;
    bool GetNodeValue(std::string &out_value) const;
    // The tag name of the index-th child element of that name.
    CFStringRef GetElementValue(const char *name, CFIndex index = 0) const;
    // The text of the index-th child element of that name, which should hold one text node.
    CFStringRef GetElementChildTextValue(const char *name, CFIndex index = 0) const;
    // GetEntityText(true) of the index-th child element of that name; the caller releases it.
    CFStringRef GetElementEntityText(const char *name, CFIndex index = 0) const;
    // The readable text of this element (see CoreXMLTree.cpp); the caller releases it.
    CFMutableStringRef GetEntityText(bool recursive) const;

    static bool std_stringFromCFStringRef(CFStringRef inStringRef, std::string &out_string);

    // Attributes of an element. A self-closing element (<link href="..."/>) has its
    // attributes like any other.
    bool GetAttribute(CFStringRef in_attribute_name, CFStringRef &out_attribute) const;
    bool GetAttribute(const char *in_attribute_name, std::string &out_attribute) const;
    bool HasAttribute(CFStringRef in_attribute_name) const;
    CFIndex GetAttributeCount() const;

    // Logs the tree, node, kind and number of children, and the node's string.
    void Dump(const char *label) const;

private:
    // The element information of this node, reported when it is missing.
    const CFXMLElementInfo *GetElementInfo() const;

    CFXMLTreeRef mTreeRef = nullptr;
};

bool import_CoreXMLTree();
