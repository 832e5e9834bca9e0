// Parsing an XML document into an XML tree (CFXMLNode.h), on libxml2.
//
// The parser never reads anything but the given bytes: no external DTD or entity is
// loaded, nothing is fetched from the network, and no entity is ever expanded (a
// reference to an entity becomes an entity-reference node, so a document of nested
// entities costs what its text costs). Nesting deeper than 256 elements is refused.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFURL.h>
#include <CoreFoundation/CFXMLNode.h>

typedef CFOptionFlags CFXMLParserOptions;
enum : CFOptionFlags {
    kCFXMLParserNoOptions = 0,
    // Text nodes holding only white space (blank, tab, CR, LF) are left out.
    kCFXMLParserSkipWhitespace = 8,
};

// The tree of the document in xmlData: its root holds the document node, whose children
// are the comments and processing instructions around the root element and the root
// element itself. Null when the data is null or empty, is not a well-formed document,
// nests too deeply, or when parseOptions holds an option other than those above. The
// allocator and sourceURL are accepted and not used; versionOfNodes must be 1.
CFXMLTreeRef CFXMLTreeCreateFromData(CFAllocatorRef allocator, CFDataRef xmlData, CFURLRef sourceURL,
                                     CFOptionFlags parseOptions, CFIndex versionOfNodes);
