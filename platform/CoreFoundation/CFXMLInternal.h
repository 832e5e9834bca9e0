// Building trees and XML nodes inside this layer (callers above platform/ only read them).
#pragma once

#include <CoreFoundation/CFTree.h>
#include <CoreFoundation/CFXMLNode.h>

namespace cf {

// A new tree (retain count one) holding value, which it retains.
CFTreeRef CreateTree(CFTypeRef value);
// Appends child (retained by the parent) as the last child of parent.
void AppendChild(CFTreeRef parent, CFTreeRef child);
// The value a tree holds.
CFTypeRef TreeValue(CFTreeRef tree);

// A new node; string and the element's attributes and order are retained. element is read
// only for kCFXMLNodeTypeElement.
CFXMLNodeRef CreateXMLNode(CFXMLNodeTypeCode type, CFStringRef string, const CFXMLElementInfo *element);

}  // namespace cf
