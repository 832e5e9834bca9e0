// XML trees parsed from documents: what each kind of node holds, entity references kept as
// nodes, white space, attributes, and documents that must be refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFTestSupport.h"

using cftest::Owned;
using cftest::Text;

namespace {

CFXMLTreeRef Parse(const std::string &document, CFOptionFlags options = kCFXMLParserSkipWhitespace) {
    Owned<CFDataRef> data(
        CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(document.data()), CFIndex(document.size())));
    return CFXMLTreeCreateFromData(kCFAllocatorDefault, data, nullptr, options, kCFXMLNodeCurrentVersion);
}

std::string Quoted(const std::string &text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else out += c;
    }
    return out + "\"";
}

// One line per tree: <tag a="v">children</>, <tag/> for an empty element, "text", &name;,
// <!--comment-->, <?target?>; the document shows only its children.
std::string Outline(CFXMLTreeRef tree) {
    CFXMLNodeRef node = CFXMLTreeGetNode(tree);
    std::string children;
    for (CFIndex i = 0; i < CFTreeGetChildCount(tree); ++i) children += Outline(CFTreeGetChildAtIndex(tree, i));
    const std::string string = Text(CFXMLNodeGetString(node));
    switch (CFXMLNodeGetTypeCode(node)) {
        case kCFXMLNodeTypeDocument:
            return (CFXMLNodeGetString(node) == nullptr ? "" : "document string!") + children;
        case kCFXMLNodeTypeElement: {
            const auto *info = static_cast<const CFXMLElementInfo *>(CFXMLNodeGetInfoPtr(node));
            std::string out = "<" + string;
            for (CFIndex i = 0; i < CFArrayGetCount(info->attributeOrder); ++i) {
                auto name = static_cast<CFStringRef>(CFArrayGetValueAtIndex(info->attributeOrder, i));
                out += " " + Text(name) + "=" +
                       Quoted(Text(static_cast<CFStringRef>(CFDictionaryGetValue(info->attributes, name))));
            }
            if (CFDictionaryGetCount(info->attributes) != CFArrayGetCount(info->attributeOrder)) out += " MISMATCH";
            if (info->isEmpty) return out + "/>" + (children.empty() ? "" : "CHILDREN!");
            return out + ">" + children + "</>";
        }
        case kCFXMLNodeTypeText:
            return Quoted(string) + (CFXMLNodeGetInfoPtr(node) ? "INFO!" : "");
        case kCFXMLNodeTypeEntityReference:
            return "&" + string + ";";
        case kCFXMLNodeTypeComment:
            return "<!--" + string + "-->";
        case kCFXMLNodeTypeProcessingInstruction:
            return "<?" + string + "?>";
        default:
            return "?" + std::to_string(CFXMLNodeGetTypeCode(node)) + "?";
    }
}

std::string ParsedOutline(const std::string &document, CFOptionFlags options = kCFXMLParserSkipWhitespace) {
    Owned<CFXMLTreeRef> tree(Parse(document, options));
    return tree ? Outline(tree) : "<null>";
}

TEST(XMLTree, NodesOfSmallDocuments) {
    struct Case {
        const char *name;
        std::string document;
        CFOptionFlags options;
        std::string outline;
    };
    const Case cases[] = {
        {"predefined entities stay references", "<a>x&amp;y&lt;&gt;&quot;&apos;</a>", kCFXMLParserSkipWhitespace,
         "<a>\"x\"&amp;\"y\"&lt;&gt;&quot;&apos;</>"},
        {"undeclared entities without a DTD", "<a>Tom&rsquo;s&nbsp;</a>", kCFXMLParserSkipWhitespace,
         "<a>\"Tom\"&rsquo;\"s\"&nbsp;</>"},
        {"undeclared entities beside an external DTD that is not read",
         "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
         "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\"><html>&nbsp;&amp;</html>",
         kCFXMLParserSkipWhitespace, "<html>&nbsp;&amp;</>"},
        {"character references join the text", "<a>Jerry&#x2019;s &#38; &#60;co&#62;</a>",
         kCFXMLParserSkipWhitespace, "<a>\"Jerry\xE2\x80\x99s & <co>\"</>"},
        {"white space between elements is left out", "<a>\n  <b> </b>\n  <c>x </c>\t</a>", kCFXMLParserSkipWhitespace,
         "<a><b></><c>\"x \"</></>"},
        {"white space is kept without the option", "<a>\n <b> </b></a>", kCFXMLParserNoOptions,
         "<a>\"\\n \"<b>\" \"</></>"},
        {"white space beside an entity is left out", "<a> &amp; </a>", kCFXMLParserSkipWhitespace, "<a>&amp;</>"},
        {"CDATA joins the text", "<a>x<![CDATA[<y>&amp;]]>z</a>", kCFXMLParserSkipWhitespace,
         "<a>\"x<y>&amp;z\"</>"},
        {"CDATA of white space is kept", "<a><![CDATA[ ]]></a>", kCFXMLParserSkipWhitespace, "<a>\" \"</>"},
        {"empty flag", "<a><br/><b></b><c x=\"1\" /><d>t</d></a>", kCFXMLParserSkipWhitespace,
         "<a><br/><b></><c x=\"1\"/><d>\"t\"</></>"},
        {"attributes in order, references replaced except undeclared ones",
         "<link href=\"http://x/?a=1&amp;b=2\" rel='alternate' t=\"&#38;lt; &#60; &nbsp; &apos;&quot;&gt; a&#x9;b\n\"/>",
         kCFXMLParserSkipWhitespace,
         "<link href=\"http://x/?a=1&b=2\" rel=\"alternate\" t=\"&lt; < &nbsp; '\"> a\\tb \"/>"},
        {"empty attribute value", "<a b=\"\"/>", kCFXMLParserSkipWhitespace, "<a b=\"\"/>"},
        {"names as written, namespace declarations among the attributes",
         "<atom:feed xmlns:atom=\"urn:a\" id=\"1\" xmlns=\"urn:d\"><atom:title/></atom:feed>",
         kCFXMLParserSkipWhitespace,
         "<atom:feed xmlns:atom=\"urn:a\" id=\"1\" xmlns=\"urn:d\"><atom:title/></>"},
        {"comments and processing instructions around and inside the root",
         "<?xml version=\"1.0\"?>\n<!--c-->\n<?style data?>\n<a><!-- in --><?p?></a>\n<!--after-->",
         kCFXMLParserSkipWhitespace, "<!--c--><?style?><a><!-- in --><?p?></><!--after-->"},
        {"a DTD's declarations and comments are not in the tree; its entities stay references",
         "<!DOCTYPE a [<!ENTITY e \"text\"><!-- in the DTD --><?in dtd?>]><a>&e;</a>", kCFXMLParserSkipWhitespace,
         "<a>&e;</>"},
        {"nested entities are never expanded",
         "<!DOCTYPE a [<!ENTITY l0 \"lol\"><!ENTITY l1 \"&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;\">"
         "<!ENTITY l2 \"&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;\">]><a x=\"&l2;\">&l2;&l2;</a>",
         kCFXMLParserSkipWhitespace, "<a x=\"&l2;\">&l2;&l2;</>"},
        {"an external entity is not read",
         "<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a>&x;</a>", kCFXMLParserSkipWhitespace,
         "<a>&x;</>"},
        {"a declared encoding is converted", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xE9</a>",
         kCFXMLParserSkipWhitespace, "<a>\"caf\xC3\xA9\"</>"},
        {"UTF-16 with a byte-order mark", std::string("\xFF\xFE<\0a\0>\0\x19\x20<\0/\0a\0>\0", 18),
         kCFXMLParserSkipWhitespace, "<a>\"\xE2\x80\x99\"</>"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ParsedOutline(c.document, c.options), c.outline);
    }
}

std::string Nested(int depth) {
    std::string document;
    for (int i = 0; i < depth; ++i) document += "<e>";
    for (int i = 0; i < depth; ++i) document += "</e>";
    return document;
}

TEST(XMLTree, RefusedDocumentsGiveNull) {
    struct Case {
        const char *name;
        std::string document;
    };
    const Case cases[] = {
        {"empty", ""},
        {"white space only", "  \n"},
        {"garbage", "garbage"},
        {"binary", std::string("\0\1\2\3", 4)},
        {"unclosed element", "<a><b></b>"},
        {"crossed elements", "<a><b></a></b>"},
        {"wrong end tag", "<a></b>"},
        {"two roots", "<a/><b/>"},
        {"text after the root", "<a/>text"},
        {"attribute twice", "<a x='1' x='2'/>"},
        {"unquoted attribute", "<a x=1/>"},
        {"ampersand alone", "<a>fish & chips</a>"},
        {"empty entity name", "<a>&;</a>"},
        {"character reference to zero", "<a>&#0;</a>"},
        {"character reference not a number", "<a>&#xZZ;</a>"},
        {"less-than in an attribute", "<a x='<'/>"},
        {"invalid UTF-8", "<a>\xFF\xFE</a>"},
        {"unclosed CDATA", "<a><![CDATA[x</a>"},
        {"unclosed comment", "<a><!-- x</a>"},
        {"nesting deeper than 256", Nested(300)},
        {"a broken entity declaration (nothing of the DTD may leak)", "<!DOCTYPE a [<!ENTITY e \"t\"-<!-- c -->]><a/>"},
        {"an external parameter entity is not read",
         "<!DOCTYPE a [<!ENTITY % pe SYSTEM \"x.dtd\"> %pe;]><a/>"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ParsedOutline(c.document), "<null>");
    }
    EXPECT_NE(ParsedOutline(Nested(200)), "<null>");
}

TEST(XMLTree, RefusedArguments) {
    Owned<CFDataRef> data(CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>("<a/>"), 4));
    EXPECT_EQ(CFXMLTreeCreateFromData(nullptr, nullptr, nullptr, kCFXMLParserSkipWhitespace, 1), nullptr);
    Owned<CFStringRef> notData(CFSTR("<a/>"));
    EXPECT_EQ(CFXMLTreeCreateFromData(nullptr, (CFDataRef)notData.get(), nullptr, 0, 1), nullptr);
    EXPECT_EQ(CFXMLTreeCreateFromData(nullptr, data, nullptr, 4 /* replacing entities: not offered */, 1), nullptr);
    EXPECT_EQ(CFXMLTreeCreateFromData(nullptr, data, nullptr, 0, 2), nullptr);
    Owned<CFXMLTreeRef> tree(CFXMLTreeCreateFromData(nullptr, data, nullptr, 0, 1));
    EXPECT_EQ(Outline(tree), "<a/>");
}

TEST(XMLTree, AccessorsOnOtherReferences) {
    Owned<CFXMLTreeRef> tree(Parse("<a>t</a>"));
    ASSERT_TRUE(tree);
    EXPECT_EQ(CFGetTypeID(tree), CFTreeGetTypeID());
    CFXMLNodeRef document = CFXMLTreeGetNode(tree);
    EXPECT_EQ(CFGetTypeID(document), CFXMLNodeGetTypeID());
    EXPECT_EQ(CFXMLNodeGetVersion(document), 1);
    EXPECT_EQ(CFXMLNodeGetInfoPtr(document), nullptr);
    EXPECT_EQ(CFTreeGetChildAtIndex(tree, 1), nullptr);
    EXPECT_EQ(CFTreeGetChildAtIndex(tree, -1), nullptr);
    CFXMLTreeRef text = CFTreeGetChildAtIndex(CFTreeGetChildAtIndex(tree, 0), 0);
    EXPECT_EQ(CFXMLNodeGetInfoPtr(CFXMLTreeGetNode(text)), nullptr);

    CFStringRef notATree = CFSTR("a");
    EXPECT_EQ(CFTreeGetChildCount((CFTreeRef)notATree), 0);
    EXPECT_EQ(CFXMLTreeGetNode((CFTreeRef)notATree), nullptr);
    EXPECT_EQ(CFXMLNodeGetTypeCode((CFXMLNodeRef)notATree), 0);
    EXPECT_EQ(CFXMLNodeGetString(nullptr), nullptr);
    EXPECT_EQ(CFTreeGetChildCount(nullptr), 0);
}

// A subtree the caller retains outlives the root; the rest goes with the root (ASan checks).
TEST(XMLTree, RetainedSubtreeOutlivesTheRoot) {
    CFXMLTreeRef root = Parse("<feed><entry><title>one</title></entry><entry/></feed>");
    ASSERT_NE(root, nullptr);
    CFXMLTreeRef entry = CFTreeGetChildAtIndex(CFTreeGetChildAtIndex(root, 0), 0);
    CFRetain(entry);
    CFRelease(root);
    EXPECT_EQ(Outline(entry), "<entry><title>\"one\"</></>");
    CFRelease(entry);
}

}  // namespace
