// XML nodes and XML trees. An XML tree is a CFTree whose value at every node is a CFXMLNode;
// it is made by CFXMLTreeCreateFromData (CFXMLParser.h) and never changes afterwards.
//
// What each kind of node holds:
//   document                  string null, no information; the root of every tree
//   element                   string the tag name as written (prefix included),
//                             information CFXMLElementInfo
//   processing instruction    string the target, no information
//   comment                   string the comment's text, no information
//   text                      string the text; neighbouring character data, character
//                             references and CDATA sections make one text node
//   entity reference          string the entity's name ("amp", "rsquo"), no information;
//                             every &name; in content is such a node, declared or not
#pragma once

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFTree.h>

typedef const struct __CFXMLNode *CFXMLNodeRef;
typedef CFTreeRef CFXMLTreeRef;

enum { kCFXMLNodeCurrentVersion = 1 };

typedef CFIndex CFXMLNodeTypeCode;
enum : CFIndex {
    kCFXMLNodeTypeDocument = 1,
    kCFXMLNodeTypeElement = 2,
    kCFXMLNodeTypeAttribute = 3,
    kCFXMLNodeTypeProcessingInstruction = 4,
    kCFXMLNodeTypeComment = 5,
    kCFXMLNodeTypeText = 6,
    kCFXMLNodeTypeCDATASection = 7,
    kCFXMLNodeTypeDocumentFragment = 8,
    kCFXMLNodeTypeEntity = 9,
    kCFXMLNodeTypeEntityReference = 10,
    kCFXMLNodeTypeDocumentType = 11,
    kCFXMLNodeTypeWhitespace = 12,
    kCFXMLNodeTypeNotation = 13,
    kCFXMLNodeTypeElementTypeDeclaration = 14,
    kCFXMLNodeTypeAttributeListDeclaration = 15,
};

// The information of an element node. attributes maps each attribute name to its value
// (both CFStrings) and attributeOrder lists the names in document order; both are present,
// empty for an element without attributes. Attribute values have the five predefined
// entities and character references replaced; a reference to any other entity stays as
// written ("&name;"). isEmpty is true for an element written as one empty tag (<br/>) and
// false for a start and an end tag (<a></a>).
struct CFXMLElementInfo {
    CFDictionaryRef attributes;
    CFArrayRef attributeOrder;
    Boolean isEmpty;
    char _reserved[3];
};

CFTypeID CFXMLNodeGetTypeID(void);

// 0 for null or a reference that is not an XML node.
CFXMLNodeTypeCode CFXMLNodeGetTypeCode(CFXMLNodeRef node);
// The node's string (see above; null for the document). Not retained for the caller.
CFStringRef CFXMLNodeGetString(CFXMLNodeRef node);
// A CFXMLElementInfo for an element, null for every other kind of node. Valid as long as
// the node lives.
const void *CFXMLNodeGetInfoPtr(CFXMLNodeRef node);
CFIndex CFXMLNodeGetVersion(CFXMLNodeRef node);

// The node of a tree (not retained for the caller); null when the tree holds no XML node.
CFXMLNodeRef CFXMLTreeGetNode(CFXMLTreeRef xmlTree);
