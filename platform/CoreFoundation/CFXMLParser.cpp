// XML documents into XML trees, on libxml2's SAX1 interface.
//
// Why SAX1 and a getEntity callback: the tree keeps every entity reference as a node of its
// own, the five predefined ones and undeclared ones (&rsquo; in a document without a DTD)
// included. libxml2 replaces the predefined entities by their text before any callback and
// calls an undeclared entity a fatal error. With XML_PARSE_OLDSAX it asks getEntity first
// for every name; ours answers, for any name, an internal entity without content that is
// marked as already checked, so libxml2 calls the reference callback and expands nothing.
// SAX1 reports element and attribute names as written, attributes in document order and
// namespace declarations among them, which is what the tree records.
#include <CoreFoundation/CFXMLParser.h>
#include <CoreFoundation/CFInternal.h>
#include <CoreFoundation/CFXMLInternal.h>

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>

#include <climits>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

constexpr CFOptionFlags kKnownOptions = kCFXMLParserSkipWhitespace;

const char *Chars(const xmlChar *text) { return reinterpret_cast<const char *>(text); }

bool IsXMLWhitespace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// An attribute value as libxml2 hands it over without entity replacement: every '&' starts a
// reference ("&#38;" for a literal ampersand, "&name;" for an entity). The predefined
// entities and "&#38;" become their characters; other references stay as written.
std::string DecodeAttributeValue(const char *value) {
    std::string out;
    const char *cursor = value;
    while (*cursor != '\0') {
        const char *amp = std::strchr(cursor, '&');
        if (amp == nullptr) {
            out.append(cursor);
            break;
        }
        out.append(cursor, size_t(amp - cursor));
        const char *semicolon = std::strchr(amp, ';');
        if (semicolon == nullptr) {
            out.append(amp);
            break;
        }
        const std::string_view name(amp + 1, size_t(semicolon - amp - 1));
        if (name == "amp" || name == "#38") out += '&';
        else if (name == "lt") out += '<';
        else if (name == "gt") out += '>';
        else if (name == "quot") out += '"';
        else if (name == "apos") out += '\'';
        else out.append(amp, size_t(semicolon + 1 - amp));
        cursor = semicolon + 1;
    }
    return out;
}

// Builds the tree from libxml2's callbacks.
class Builder {
public:
    Builder(xmlParserCtxtPtr context, bool skipWhitespace) : mContext(context), mSkipWhitespace(skipWhitespace) {
        CFXMLNodeRef document = cf::CreateXMLNode(kCFXMLNodeTypeDocument, nullptr, nullptr);
        mDocument = cf::CreateTree(document);
        CFRelease(document);
        mOpen.push_back(mDocument);
    }
    ~Builder() {
        if (mDocument != nullptr) CFRelease(mDocument);
        if (mEmptyAttributes != nullptr) CFRelease(mEmptyAttributes);
        if (mEmptyOrder != nullptr) CFRelease(mEmptyOrder);
        for (auto &[name, entity] : mEntities) {
            // Never set for our entities; freed in case a libxml2 version fills them in.
            if (entity.orig != nullptr) xmlFree(entity.orig);
            if (entity.content != nullptr) xmlFree(entity.content);
        }
    }
    Builder(const Builder &) = delete;
    Builder &operator=(const Builder &) = delete;

    // The finished tree for the caller, or null.
    CFXMLTreeRef Finish(bool wellFormed) {
        FlushText();
        if (!wellFormed || mFailed || mOpen.size() != 1) return nullptr;
        CFXMLTreeRef tree = mDocument;
        mDocument = nullptr;
        return tree;
    }

    static void StartElement(void *user, const xmlChar *name, const xmlChar **attributes) {
        auto *self = static_cast<Builder *>(user);
        self->FlushText();
        // libxml2 calls this with its input at the end of the start tag: "/>" or ">".
        const xmlChar *rest = self->mContext->input ? self->mContext->input->cur : nullptr;
        CFXMLElementInfo info{};
        info.isEmpty = rest != nullptr && rest[0] == '/' && rest[1] == '>';
        if (!self->MakeAttributes(attributes, info)) return;
        CFStringRef tag = self->MakeString(Chars(name));
        if (tag == nullptr) {
            CFRelease(info.attributes);
            CFRelease(info.attributeOrder);
            return;
        }
        CFXMLNodeRef node = cf::CreateXMLNode(kCFXMLNodeTypeElement, tag, &info);
        CFRelease(tag);
        CFRelease(info.attributes);
        CFRelease(info.attributeOrder);
        self->mOpen.push_back(self->Append(node));
    }

    static void EndElement(void *user, const xmlChar *) {
        auto *self = static_cast<Builder *>(user);
        self->FlushText();
        if (self->mOpen.size() > 1) self->mOpen.pop_back();
    }

    static void Characters(void *user, const xmlChar *text, int length) {
        auto *self = static_cast<Builder *>(user);
        if (length <= 0) return;
        const std::string_view added(Chars(text), size_t(length));
        if (!self->mTextKept)
            for (char c : added)
                if (!IsXMLWhitespace(c)) {
                    self->mTextKept = true;
                    break;
                }
        self->mText.append(added);
    }

    // CDATA joins the text around it and is kept even when it is only white space.
    static void CDATABlock(void *user, const xmlChar *text, int length) {
        auto *self = static_cast<Builder *>(user);
        self->mTextKept = true;
        if (length > 0) self->mText.append(Chars(text), size_t(length));
    }

    static void Reference(void *user, const xmlChar *name) {
        auto *self = static_cast<Builder *>(user);
        self->AddLeaf(kCFXMLNodeTypeEntityReference, Chars(name));
    }

    static void Comment(void *user, const xmlChar *text) {
        auto *self = static_cast<Builder *>(user);
        if (self->mContext->inSubset == 0) self->AddLeaf(kCFXMLNodeTypeComment, Chars(text));
    }

    static void ProcessingInstruction(void *user, const xmlChar *target, const xmlChar *) {
        auto *self = static_cast<Builder *>(user);
        if (self->mContext->inSubset == 0) self->AddLeaf(kCFXMLNodeTypeProcessingInstruction, Chars(target));
    }

    // Every entity referenced in the content is one of ours (see the top of the file).
    // Inside the DTD nothing is answered, so declarations leave our entities alone.
    static xmlEntityPtr GetEntity(void *user, const xmlChar *name) {
        auto *self = static_cast<Builder *>(user);
        if (self->mContext->inSubset != 0 || name == nullptr) return nullptr;
        auto [found, added] = self->mEntities.try_emplace(Chars(name));
        xmlEntity &entity = found->second;
        if (added) {
            std::memset(&entity, 0, sizeof entity);
            entity.type = XML_ENTITY_DECL;
            entity.etype = XML_INTERNAL_GENERAL_ENTITY;
            entity.name = reinterpret_cast<const xmlChar *>(found->first.c_str());
            entity.checked = 2;  // checked: no nested references, no "<" (libxml2 keeps both in this field)
        }
        return &entity;
    }

    static void Ignore(void *, const char *, ...) {}

private:
    CFStringRef MakeString(std::string_view text) {
        CFStringRef string = cf::CreateStringFromUTF8(text);
        if (string == nullptr) Fail();
        return string;
    }

    void Fail() {
        mFailed = true;
        xmlStopParser(mContext);
    }

    // Appends a node under the innermost open element; answers its tree (owned by the parent).
    CFTreeRef Append(CFXMLNodeRef node) {
        CFTreeRef tree = cf::CreateTree(node);
        CFRelease(node);
        cf::AppendChild(mOpen.back(), tree);
        CFRelease(tree);
        return tree;
    }

    void AddLeaf(CFXMLNodeTypeCode type, const char *text) {
        FlushText();
        CFStringRef string = MakeString(text ? text : "");
        if (string == nullptr) return;
        Append(cf::CreateXMLNode(type, string, nullptr));
        CFRelease(string);
    }

    void FlushText() {
        if (mText.empty()) {
            mTextKept = false;
            return;
        }
        if (mTextKept || !mSkipWhitespace) {
            CFStringRef string = MakeString(mText);
            if (string != nullptr) {
                Append(cf::CreateXMLNode(kCFXMLNodeTypeText, string, nullptr));
                CFRelease(string);
            }
        }
        mText.clear();
        mTextKept = false;
    }

    // Fills the attribute dictionary and order of info (references the caller releases).
    bool MakeAttributes(const xmlChar **attributes, CFXMLElementInfo &info) {
        std::vector<const void *> names, values;
        for (size_t i = 0; attributes != nullptr && attributes[i] != nullptr; i += 2) {
            CFStringRef name = MakeString(Chars(attributes[i]));
            CFStringRef value = name ? MakeString(DecodeAttributeValue(attributes[i + 1] ? Chars(attributes[i + 1]) : ""))
                                     : nullptr;
            if (value == nullptr) {
                if (name != nullptr) CFRelease(name);
                for (const void *made : names) CFRelease(made);
                for (const void *made : values) CFRelease(made);
                return false;
            }
            names.push_back(name);
            values.push_back(value);
        }
        if (names.empty()) {
            if (mEmptyAttributes == nullptr) {
                mEmptyAttributes = CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                      &kCFTypeDictionaryValueCallBacks);
                mEmptyOrder = CFArrayCreate(nullptr, nullptr, 0, &kCFTypeArrayCallBacks);
            }
            info.attributes = static_cast<CFDictionaryRef>(CFRetain(mEmptyAttributes));
            info.attributeOrder = static_cast<CFArrayRef>(CFRetain(mEmptyOrder));
            return true;
        }
        info.attributes = CFDictionaryCreate(nullptr, names.data(), values.data(), CFIndex(names.size()),
                                             &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        info.attributeOrder = CFArrayCreate(nullptr, names.data(), CFIndex(names.size()), &kCFTypeArrayCallBacks);
        for (const void *made : names) CFRelease(made);
        for (const void *made : values) CFRelease(made);
        return true;
    }

    xmlParserCtxtPtr mContext;
    const bool mSkipWhitespace;
    bool mFailed = false;
    CFTreeRef mDocument = nullptr;
    std::vector<CFTreeRef> mOpen;  // the document, then the open elements (owned by their parents)
    std::string mText;             // character data not yet made a node
    bool mTextKept = false;        // mText holds CDATA or something other than white space
    CFDictionaryRef mEmptyAttributes = nullptr;  // shared by the elements without attributes
    CFArrayRef mEmptyOrder = nullptr;
    std::unordered_map<std::string, xmlEntity> mEntities;
};

void StartLibxml() {
    static const bool started = [] {
        xmlInitParser();
        return true;
    }();
    (void)started;
}

}  // namespace

CFXMLTreeRef CFXMLTreeCreateFromData(CFAllocatorRef, CFDataRef xmlData, CFURLRef, CFOptionFlags parseOptions,
                                     CFIndex versionOfNodes) {
    if (xmlData == nullptr || CFGetTypeID(xmlData) != CFDataGetTypeID()) return nullptr;
    if ((parseOptions & ~kKnownOptions) != 0 || versionOfNodes != kCFXMLNodeCurrentVersion) return nullptr;
    const CFIndex length = CFDataGetLength(xmlData);
    if (length <= 0 || length > INT_MAX) return nullptr;
    StartLibxml();

    xmlParserCtxtPtr context =
        xmlCreateMemoryParserCtxt(reinterpret_cast<const char *>(CFDataGetBytePtr(xmlData)), int(length));
    if (context == nullptr) return nullptr;

    xmlSAXHandler handler;
    std::memset(&handler, 0, sizeof handler);
    handler.initialized = 1;  // SAX1: not XML_SAX2_MAGIC
    handler.getEntity = Builder::GetEntity;
    handler.startElement = Builder::StartElement;
    handler.endElement = Builder::EndElement;
    handler.characters = Builder::Characters;
    handler.ignorableWhitespace = Builder::Characters;
    handler.cdataBlock = Builder::CDATABlock;
    handler.reference = Builder::Reference;
    handler.comment = Builder::Comment;
    handler.processingInstruction = Builder::ProcessingInstruction;
    handler.warning = Builder::Ignore;
    handler.error = Builder::Ignore;
    handler.fatalError = Builder::Ignore;

    xmlSAXHandlerPtr ownHandler = context->sax;
    context->sax = &handler;
    CFXMLTreeRef tree = nullptr;
    {
        Builder builder(context, (parseOptions & kCFXMLParserSkipWhitespace) != 0);
        context->userData = &builder;
        // No XML_PARSE_NOENT (entities stay references), no DTD loading, no network, and the
        // default limits (XML_PARSE_HUGE off: depth 256, 10 MB text nodes).
        xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_OLDSAX);
        xmlParseDocument(context);
        tree = builder.Finish(context->wellFormed != 0);
    }
    context->sax = ownHandler;
    context->userData = context;
    // libxml2 keeps the entity declarations of a DTD in a document of its own when the
    // handler has no entityDecl ("SAX compatibility"); a parse that stops early leaves it.
    if (context->myDoc != nullptr) {
        xmlFreeDoc(context->myDoc);
        context->myDoc = nullptr;
    }
    xmlFreeParserCtxt(context);
    return tree;
}
