#include <CoreX/CoreXMLTree.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFXMLParser.h>

#include "CoreMachDebugLogTestSupport.h"

namespace {

// A parsed document, released at the end of the test.
class Document {
public:
    explicit Document(const std::string &text) {
        CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(text.data()), CFIndex(text.size()));
        mTree = CFXMLTreeCreateFromData(kCFAllocatorDefault, data, nullptr, kCFXMLParserSkipWhitespace, 1);
        CFRelease(data);
    }
    ~Document() {
        if (mTree != nullptr) CFRelease(mTree);
    }
    Document(const Document &) = delete;
    Document &operator=(const Document &) = delete;
    CoreXMLTree Root() const { return CoreXMLTree(mTree); }

private:
    CFXMLTreeRef mTree = nullptr;
};

std::string Text(CFStringRef string) {
    std::string text;
    if (string == nullptr) return "<null>";
    CoreXMLTree::std_stringFromCFStringRef(string, text);
    return text;
}

// Takes a created string, answers its text and releases it.
std::string Take(CFStringRef string) {
    const std::string text = Text(string);
    if (string != nullptr) CFRelease(string);
    return text;
}

// The first element named name of the document.
CoreXMLTree Element(const Document &document, const char *name) {
    CoreXMLTree element;
    document.Root().GetChildElement(element, name);
    return element;
}

class XMLTreeView : public corex_test::DebugLogFileTest {
protected:
    // The reports logged so far as "Function: code text", cleared afterwards.
    static std::vector<std::string> Reports() {
        std::vector<std::string> reports;
        const std::string log = LogText();
        const std::regex line("VERIFY FAILED:  code : (.*) in [^ ]*/sdk/CoreX/CoreXMLTree\\.cpp:[0-9]+ \\((\\w+)\\)");
        for (std::sregex_iterator it(log.begin(), log.end(), line), end; it != end; ++it)
            reports.push_back((*it)[2].str() + ": " + (*it)[1].str());
        ClearLog();
        return reports;
    }
    using Reported = std::vector<std::string>;
};

TEST_F(XMLTreeView, EntityTextOfElements) {
    struct Case {
        const char *name;
        std::string content;
        bool recursive;
        std::string text;
    };
    const Case cases[] = {
        {"text, amp, br, text", "a&amp;<br/>b", true, "a&\r\nb"},
        {"an entity not in the list gives its name", "&nbsp;x", true, "nbspx"},
        {"every replacement, names in any case", "&lt;&gt;&quot;&amp;&rsquo;&lsquo;&apos;&AMP;&Lt;", true,
         "<>\"&\xE2\x80\x99\xE2\x80\x98'&<"},
        {"br and hr in any case and form", "<BR/><hr/><Hr></Hr><br>x</br>", true, "\r\n\r\n\r\n\r\n"},
        // The blank between the entity and <i> was a text node of its own, left out by the parse.
        {"elements with children, recursive", "x<b>bold &amp; <i>it</i></b>y", true, "xbold &ity"},
        {"white space alone between nodes is gone", "<b>x</b> &amp; <i>y</i>", true, "x&y"},
        {"elements with children, not recursive", "x<b>bold</b>y", false, "xy"},
        {"character references and CDATA are text", "&#x2019;<![CDATA[<p>]]>", true, "\xE2\x80\x99<p>"},
        {"a comment adds its string", "a<!--c-->b", true, "acb"},
        {"nothing", "", true, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Document document("<content>" + c.content + "</content>");
        EXPECT_EQ(Take(Element(document, "content").GetEntityText(c.recursive)), c.text);
    }
    EXPECT_EQ(Reports(), Reported{});
}

TEST_F(XMLTreeView, EmptyUnknownElementIsLoggedAndAddsNothing) {
    const Document document("<content>a<img src='x'/>b</content>");
    const CoreXMLTree content = Element(document, "content");
    EXPECT_EQ(Take(content.GetEntityText(true)), "ab");
    const std::regex dump(
        "CoreXMLTree:CoreXMLTree::GetElementEntityText unknown element with zero children tree_ref:[0-9a-f]{8,} "
        "node_ref:[0-9a-f]{8,} node_type:2 children:0\nnode_value:img\n");
    EXPECT_TRUE(std::regex_match(LogText(), dump)) << LogText();
    ClearLog();
}

TEST_F(XMLTreeView, LookupByKindNameAndIndex) {
    const Document document(
        "<feed>\n  <title>one</title>\n  <!-- note -->\n  <Title>two</Title>\n  text\n  <entry/>\n  <title>three</title>\n</feed>");
    const CoreXMLTree feed = Element(document, "FEED");
    ASSERT_TRUE(feed.IsValid());

    struct Case {
        const char *name;
        CFIndex index;
        CFXMLNodeTypeCode type;
        const char *lookup;
        std::string found;  // the node's string, or "" for nothing found
    };
    const Case cases[] = {
        {"the name ignores case", 0, kCFXMLNodeTypeElement, "TITLE", "title"},
        {"index 1 is the second such element", 1, kCFXMLNodeTypeElement, "title", "Title"},
        {"index 2", 2, kCFXMLNodeTypeElement, "title", "title"},
        {"past the last", 3, kCFXMLNodeTypeElement, "title", ""},
        {"negative index", -1, kCFXMLNodeTypeElement, "title", ""},
        {"any kind, by position", 1, 0, nullptr, " note "},
        {"text among elements", 0, kCFXMLNodeTypeText, nullptr, "\n  text\n  "},
        {"elements of any name", 2, kCFXMLNodeTypeElement, nullptr, "entry"},
        {"a name of another kind", 0, kCFXMLNodeTypeText, "title", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CoreXMLTree result(feed);  // starts empty whatever it held
        const bool found = feed.GetChild(result, c.index, c.type, c.lookup);
        EXPECT_EQ(found, !c.found.empty());
        EXPECT_EQ(result.IsValid(), found);
        if (found) {
            EXPECT_EQ(Text(result.GetNodeValue()), c.found);
        }
    }
    CoreXMLTree walker(feed);  // a view may step down into itself
    EXPECT_TRUE(walker.GetChild(walker, 0, kCFXMLNodeTypeElement, "entry"));
    EXPECT_EQ(Text(walker.GetNodeValue()), "entry");
    EXPECT_FALSE(walker.GetChild(walker, 0, 0));
    EXPECT_FALSE(walker.IsValid());
    // Whitespace-only text between the elements was left out by the parse.
    EXPECT_EQ(feed.GetChildCount(0, nullptr), 6);
    EXPECT_EQ(feed.GetChildCount(kCFXMLNodeTypeText), 1);
    EXPECT_EQ(feed.GetElementCount("title"), 3);
    EXPECT_EQ(feed.GetElementCount("missing"), 0);
    EXPECT_TRUE(feed.HasChildElement("entry", 0));
    EXPECT_FALSE(feed.HasChildElement("entry", 1));
    EXPECT_EQ(Text(feed.GetElementValue("TITLE", 1)), "Title");
    EXPECT_EQ(Text(feed.GetElementChildTextValue("title", 2)), "three");
    EXPECT_EQ(Reports(), Reported{});
}

TEST_F(XMLTreeView, AttributesOfEmptyAndOtherElements) {
    const Document document(
        "<entry><link href=\"http://b.example/p?a=1&amp;b=2\" rel=\"alternate\"/>"
        "<category term=\"x\" scheme=\"\"></category><br/><title>t</title></entry>");
    const CoreXMLTree entry = Element(document, "entry");
    CoreXMLTree link, category, br, title;
    entry.GetChildElement(link, "link");
    entry.GetChildElement(category, "category");
    entry.GetChildElement(br, "br");
    entry.GetChildElement(title, "title");

    std::string value = "stale";
    EXPECT_TRUE(link.GetAttribute("href", value));  // a self-closing element has its attributes
    EXPECT_EQ(value, "http://b.example/p?a=1&b=2");
    EXPECT_EQ(link.GetAttributeCount(), 2);
    CFStringRef rel = nullptr;
    EXPECT_TRUE(link.GetAttribute(CFSTR("rel"), rel));
    EXPECT_EQ(Text(rel), "alternate");
    EXPECT_TRUE(link.HasAttribute(CFSTR("rel")));

    EXPECT_TRUE(category.GetAttribute("term", value));
    EXPECT_EQ(value, "x");
    EXPECT_TRUE(category.GetAttribute("scheme", value));  // an empty value reads as ""
    EXPECT_EQ(value, "");
    EXPECT_EQ(category.GetAttributeCount(), 2);
    EXPECT_EQ(br.GetAttributeCount(), 0);
    EXPECT_EQ(Reports(), Reported{});

    EXPECT_FALSE(link.GetAttribute("type", value));
    EXPECT_EQ(value, "");
    EXPECT_EQ(Reports(), (Reported{
                             "GetAttribute: attributeValue = (CFStringRef)CFDictionaryGetValue(element->attributes, "
                             "in_attribute_name)",
                             "GetAttribute: GetAttribute(attributeName,attributeValue)",
                         }));
    EXPECT_FALSE(link.HasAttribute(CFSTR("type")));
    EXPECT_EQ(Reports().size(), 1u);

    CoreXMLTree text;
    title.GetChild(text, 0, kCFXMLNodeTypeText);
    EXPECT_FALSE(text.GetAttribute("href", value));
    EXPECT_EQ(text.GetAttributeCount(), 0);
    EXPECT_EQ(Reports(), (Reported{
                             "GetElementInfo: IsNodeType(kCFXMLNodeTypeElement)",
                             "GetAttribute: element",
                             "GetAttribute: GetAttribute(attributeName,attributeValue)",
                             "GetElementInfo: IsNodeType(kCFXMLNodeTypeElement)",
                             "GetAttributeCount: element",
                         }));

    const CoreXMLTree none;
    EXPECT_FALSE(none.GetAttribute(nullptr, value));
    EXPECT_EQ(none.GetAttributeCount(), 0);
    EXPECT_EQ(Reports(), (Reported{
                             "GetAttribute: in_attribute_name",
                             "GetElementInfo: nodeRef",
                             "GetAttributeCount: element",
                         }));
}

TEST_F(XMLTreeView, ReportsOfMissingValues) {
    const Document document("<feed><title>a<b/>c</title><empty></empty><x/></feed>");
    const CoreXMLTree root = document.Root();
    const CoreXMLTree feed = Element(document, "feed");
    const CoreXMLTree none;

    CoreXMLTree result(feed);
    EXPECT_FALSE(none.GetChild(result, 0, 0));
    EXPECT_FALSE(result.IsValid());
    EXPECT_EQ(none.GetChildCount(), 0);
    EXPECT_EQ(Reports(), (Reported{"GetChild: IsValid()", "GetChildCount: IsValid()"}));

    EXPECT_EQ(none.GetNodeValue(), nullptr);
    EXPECT_EQ(root.GetNodeValue(), nullptr);  // the document has no string
    std::string text = "stale";
    EXPECT_FALSE(root.GetNodeValue(text));
    EXPECT_EQ(text, "");
    EXPECT_EQ(Reports(), (Reported{
                             "GetNodeValue: nodeRef",
                             "GetNodeValue: nodeValue = CFXMLNodeGetString(nodeRef)",
                             "GetNodeValue: nodeValue = CFXMLNodeGetString(nodeRef)",
                             "std_stringFromCFStringRef: inStringRef",
                         }));

    // Two text nodes: reported, and the first one is used.
    EXPECT_EQ(Text(feed.GetElementChildTextValue("title")), "a");
    EXPECT_EQ(Reports(), (Reported{"GetElementChildTextValue: element.GetChildCount(kCFXMLNodeTypeText)==1"}));
    EXPECT_EQ(feed.GetElementChildTextValue("empty"), nullptr);
    EXPECT_EQ(Reports(), (Reported{
                             "GetElementChildTextValue: element.GetChildCount(kCFXMLNodeTypeText)==1",
                             "GetNodeValue: nodeRef",
                             "GetElementChildTextValue: elementText = text.GetNodeValue()",
                         }));
    EXPECT_EQ(feed.GetElementChildTextValue("missing"), nullptr);
    EXPECT_EQ(Reports(), Reported{});

    EXPECT_EQ(feed.GetElementValue("missing"), nullptr);
    EXPECT_EQ(feed.GetElementEntityText("missing"), nullptr);
    EXPECT_EQ(Reports(), (Reported{"GetElementValue: element.IsValid()", "GetElementEntityText: element.IsValid()"}));
    EXPECT_EQ(Take(feed.GetElementEntityText("empty")), "");
    EXPECT_EQ(Reports(), Reported{});
}

TEST_F(XMLTreeView, DumpLogsTheNodeAndItsValue) {
    const Document document("<feed><a/><b/></feed>");
    const CoreXMLTree feed = Element(document, "feed");
    feed.Dump("label");
    const std::regex dump("CoreXMLTree:label tree_ref:[0-9a-f]{8,} node_ref:[0-9a-f]{8,} node_type:2 children:2\n"
                          "node_value:feed\n");
    EXPECT_TRUE(std::regex_match(LogText(), dump)) << LogText();
    ClearLog();
    document.Root().Dump("root");  // the document has no string: no value line
    EXPECT_TRUE(std::regex_match(LogText(), std::regex("CoreXMLTree:root tree_ref:[0-9a-f]{8,} node_ref:[0-9a-f]{8,} "
                                                      "node_type:1 children:1\n")))
        << LogText();
    ClearLog();
}

// An Atom feed as the blog host serves it, walked the way the feed reader walks it.
TEST_F(XMLTreeView, AtomFeedWalk) {
    const Document document(
        "<?xml version='1.0' encoding='UTF-8'?>"
        "<?xml-stylesheet href=\"http://www.blogger.com/styles/atom.css\" type=\"text/css\"?>\n"
        "<feed xmlns='http://www.w3.org/2005/Atom' xmlns:openSearch='http://a9.com/-/spec/opensearchrss/1.0/'>\n"
        "  <id>tag:blogger.com,1999:blog-1</id>\n"
        "  <title type='text'>Lumora designs</title>\n"
        "  <link rel='alternate' type='text/html' href='http://designs.example/'/>\n"
        "  <openSearch:totalResults>3</openSearch:totalResults>\n"
        "  <entry>\n"
        "    <title type='text'>Warm &amp; Bright</title>\n"
        "    <content type='html'>key1=1&lt;br /&gt;key2=Tom&amp;rsquo;s&amp;nbsp;x</content>\n"
        "    <link rel='alternate' type='text/html' href='http://designs.example/2013/01/warm.html?a=1&amp;b=2'/>\n"
        "  </entry>\n"
        "  <entry>\n"
        "    <content type='xhtml'>no title</content>\n"
        "  </entry>\n"
        "  <entry>\n"
        "    <title>Cool&rsquo;s</title>\n"
        "    <content>line one<br/>line two&nbsp;<b>bold</b> &#x2019;</content>\n"
        "  </entry>\n"
        "</feed>\n");
    const CoreXMLTree root = document.Root();
    CoreXMLTree feed;
    ASSERT_TRUE(root.GetChildElement(feed, "feed", 0));
    EXPECT_EQ(Text(feed.GetElementChildTextValue("title", 0)), "Lumora designs");
    CoreXMLTree link;
    std::string href;
    ASSERT_TRUE(feed.GetChildElement(link, "link"));
    EXPECT_TRUE(link.GetAttribute("href", href));
    EXPECT_EQ(href, "http://designs.example/");

    struct Item {
        std::string title, content, link;
    };
    std::vector<Item> items;
    const CFIndex count = feed.GetElementCount("entry");
    EXPECT_EQ(count, 3);
    for (CFIndex index = 0; index < count; ++index) {
        CoreXMLTree entry;
        ASSERT_TRUE(feed.GetChildElement(entry, "entry", index));
        CFStringRef title = entry.GetElementChildTextValue("title", 0);
        if (title == nullptr) continue;
        CFStringRef content = entry.GetElementEntityText("content", 0);
        if (content == nullptr) continue;
        Item item{Text(title), Take(content), ""};
        CoreXMLTree entryLink;
        if (entry.GetChildElement(entryLink, "link")) entryLink.GetAttribute("href", item.link);
        items.push_back(item);
    }
    ASSERT_EQ(items.size(), 2u);
    // A title of text, an entity and text is three nodes: reported, and the first text is the title.
    EXPECT_EQ(items[0].title, "Warm ");
    EXPECT_EQ(items[0].content, "key1=1<br />key2=Tom&rsquo;s&nbsp;x");
    EXPECT_EQ(items[0].link, "http://designs.example/2013/01/warm.html?a=1&b=2");
    EXPECT_EQ(items[1].title, "Cool");
    EXPECT_EQ(items[1].content, "line one\r\nline twonbspbold \xE2\x80\x99");
    EXPECT_EQ(Reports(), (Reported{"GetElementChildTextValue: element.GetChildCount(kCFXMLNodeTypeText)==1",
                                   "GetElementChildTextValue: element.GetChildCount(kCFXMLNodeTypeText)==1"}));
}

}  // namespace
