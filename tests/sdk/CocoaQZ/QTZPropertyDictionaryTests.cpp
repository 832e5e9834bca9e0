#include <gtest/gtest.h>

#include <CocoaQZ/QuartzCore/QTZPropertyDictionary.h>
#include <CoreFoundation/CoreFoundation.h>

#include <string>
#include <vector>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

template <class T>
using Owned = QTZPropertyDictionary::Owned<T>;

// ---- Fixtures: compositions as XML property-list text

std::string Plist(const std::string &body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>";
}

std::string Str(const std::string &text) { return "<string>" + text + "</string>"; }

// A node of the given key and class, with an identifier and a state of its own.
std::string Node(const std::string &key, const std::string &nodeClass = "QCVideoInput") {
    return "<dict><key>key</key>" + Str(key) + "<key>class</key>" + Str(nodeClass) +
           "<key>identifier</key>" + Str("id_" + key) +
           "<key>state</key><dict><key>layer</key><integer>1</integer></dict></dict>";
}

std::string Wire(const std::string &name, const std::string &sourceNode, const std::string &sourcePort,
                 const std::string &destinationNode, const std::string &destinationPort) {
    return "<key>" + name + "</key><dict><key>sourceNode</key>" + Str(sourceNode) + "<key>sourcePort</key>" +
           Str(sourcePort) + "<key>destinationNode</key>" + Str(destinationNode) + "<key>destinationPort</key>" +
           Str(destinationPort) + "</dict>";
}

std::string Port(const std::string &key, const std::string &node, const std::string &port) {
    return "<dict><key>key</key>" + Str(key) + "<key>node</key>" + Str(node) + "<key>port</key>" + Str(port) +
           "</dict>";
}

// A composition whose root patch's state holds the given entries as they are written.
std::string WithState(const std::string &stateEntries) {
    return Plist("<dict><key>name</key>" + Str("Test") + "<key>rootPatch</key><dict><key>class</key>" + Str("QCPatch") +
                 "<key>state</key><dict>" + stateEntries + "</dict></dict></dict>");
}

std::string Composition(const std::vector<std::string> &nodes, const std::string &wires = "",
                        const std::string &more = "") {
    std::string array;
    for (const std::string &node : nodes) array += node;
    return WithState("<key>nodes</key><array>" + array + "</array><key>connections</key><dict>" + wires + "</dict>" +
                     more);
}

Owned<CFDataRef> Data(const std::string &bytes) {
    return Owned<CFDataRef>(CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(bytes.data()), CFIndex(bytes.size())));
}

Owned<CFStringRef> String(const std::string &text) {
    return Owned<CFStringRef>(CFStringCreateWithCString(nullptr, text.c_str(), kCFStringEncodingUTF8));
}

// The property list of the bytes (mutable containers), null when it is none.
Owned<CFDictionaryRef> Read(CFDataRef data) {
    if (data == nullptr) return nullptr;
    CFPropertyListRef list = CFPropertyListCreateWithData(nullptr, data, kCFPropertyListMutableContainers, nullptr, nullptr);
    if (list != nullptr && CFGetTypeID(list) != CFDictionaryGetTypeID()) {
        CFRelease(list);
        return nullptr;
    }
    return Owned<CFDictionaryRef>(static_cast<CFDictionaryRef>(list));
}
Owned<CFDictionaryRef> Read(const std::string &text) { return Read(Data(text).get()); }

Owned<CFDataRef> Rewrite(const std::string &text) {
    return QTZPropertyDictionary::transformCompositionDataForCameraInput(Data(text).get());
}

CFTypeRef At(CFTypeRef dictionary, const char *key) {
    if (dictionary == nullptr || CFGetTypeID(dictionary) != CFDictionaryGetTypeID()) return nullptr;
    return CFDictionaryGetValue(static_cast<CFDictionaryRef>(dictionary), String(key).get());
}
CFTypeRef StateOf(CFTypeRef composition) { return At(At(composition, "rootPatch"), "state"); }
CFArrayRef NodesOf(CFTypeRef composition) { return static_cast<CFArrayRef>(At(StateOf(composition), "nodes")); }
CFTypeRef WireOf(CFTypeRef composition, const char *name) { return At(At(StateOf(composition), "connections"), name); }

std::string Text(CFTypeRef value) {
    if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return "<not a string>";
    char buffer[256] = {};
    CFStringGetCString(static_cast<CFStringRef>(value), buffer, sizeof buffer, kCFStringEncodingUTF8);
    return buffer;
}

// The index of the node with the key in the composition's nodes, -1 when none.
CFIndex IndexOf(CFTypeRef composition, const std::string &key) {
    const CFArrayRef nodes = NodesOf(composition);
    for (CFIndex i = 0; i < CFArrayGetCount(nodes); ++i)
        if (Text(At(CFArrayGetValueAtIndex(nodes, i), "key")) == key) return i;
    return -1;
}

// The splitter node that stands in for the video input `key`, read from XML.
Owned<CFDictionaryRef> ExpectedSplitter(const std::string &key) {
    Owned<CFDictionaryRef> root(Read(Plist("<dict><key>n</key><dict><key>class</key>" + Str("QCSplitter") +
                                           "<key>key</key>" + Str(key) +
                                           "<key>state</key><dict><key>portClass</key>" + Str("QCGLImagePort") +
                                           "<key>version</key><integer>1</integer></dict></dict></dict>")));
    return Owned<CFDictionaryRef>(static_cast<CFDictionaryRef>(CFRetain(At(root.get(), "n"))));
}

// The failed checks of the debug log as "check@method", in order; line numbers left out.
std::vector<std::string> Reports(const std::string &log) {
    static const std::string kPrefix = "VERIFY FAILED:  code : ";
    static const std::string kSource = " in sdk/CocoaQZ/QuartzCore/QTZPropertyDictionary:";
    static const std::string kMethodPrefix = "[NSMutableDictionary(QTZPropertyDictionary) ";
    std::vector<std::string> reports;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos) end = log.size();
        const std::string line = log.substr(start, end - start);
        start = end + 1;
        const size_t source = line.find(kSource);
        const size_t method = line.find(kMethodPrefix);
        if (line.rfind(kPrefix, 0) != 0 || source == std::string::npos || method == std::string::npos) {
            reports.push_back("unexpected line: " + line);
            continue;
        }
        reports.push_back(line.substr(kPrefix.size(), source - kPrefix.size()) + "@" +
                          line.substr(method + kMethodPrefix.size(), line.size() - 2 - method - kMethodPrefix.size()));
    }
    return reports;
}

class QTZPropertyDictionaryTest : public corex_test::DebugLogFileTest {
protected:
    std::vector<std::string> TakeReports() {
        std::vector<std::string> reports = Reports(LogText());
        ClearLog();
        return reports;
    }
};

const std::string kVideo2 = "VideoInput_2";

// ---- The rewriting

TEST_F(QTZPropertyDictionaryTest, RewritesOnlyTheFirstVideoInputOfOneToNine) {
    const struct {
        const char *name;
        std::vector<std::string> keys;
        const char *replaced;  // null: the composition is not rewritten
    } cases[] = {
        {"2 and 5, 5 first in the file", {"Billboard_1", "VideoInput_5", "VideoInput_2"}, "VideoInput_2"},
        {"1", {"VideoInput_1"}, "VideoInput_1"},
        {"9", {"Clear_1", "VideoInput_9"}, "VideoInput_9"},
        {"10 only", {"VideoInput_10"}, nullptr},
        {"0 only", {"VideoInput_0"}, nullptr},
        {"10 and 0", {"VideoInput_10", "VideoInput_0"}, nullptr},
        {"another case", {"videoinput_1", "VIDEOINPUT_2"}, nullptr},
        {"no nodes", {}, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> nodes;
        for (const std::string &key : c.keys) nodes.push_back(Node(key, key.rfind("Video", 0) == 0 ? "QCVideoInput" : "QCClear"));
        const std::string text = Composition(nodes);
        const Owned<CFDataRef> result = Rewrite(text);
        if (c.replaced == nullptr) {
            EXPECT_FALSE(result);
            continue;
        }
        ASSERT_TRUE(result);
        const Owned<CFDictionaryRef> before = Read(text), after = Read(result.get());
        ASSERT_TRUE(after);
        ASSERT_EQ(CFArrayGetCount(NodesOf(after.get())), CFIndex(c.keys.size()));
        for (CFIndex i = 0; i < CFIndex(c.keys.size()); ++i) {
            const CFTypeRef node = CFArrayGetValueAtIndex(NodesOf(after.get()), i);
            if (c.keys[size_t(i)] == c.replaced)  // in its place, exactly the splitter
                EXPECT_TRUE(CFEqual(node, ExpectedSplitter(c.replaced).get()));
            else  // every other node, other video inputs among them, as it was
                EXPECT_TRUE(CFEqual(node, CFArrayGetValueAtIndex(NodesOf(before.get()), i))) << c.keys[size_t(i)];
        }
        // Everything outside the graph is kept.
        EXPECT_EQ(Text(At(after.get(), "name")), "Test");
        EXPECT_EQ(Text(At(At(after.get(), "rootPatch"), "class")), "QCPatch");
    }
}

TEST_F(QTZPropertyDictionaryTest, PublishesTheCameraImageOnceOnTheSplitterInput) {
    const Owned<CFDictionaryRef> expected = Read(Plist(Port("cameraImage", kVideo2, "input")));
    const Owned<CFDictionaryRef> other = Read(Plist(Port("inputAmount", "Filter_1", "inputAmount")));
    const Owned<CFDictionaryRef> theirs = Read(Plist(Port("cameraImage", "Splitter_7", "input")));
    const struct {
        const char *name;
        std::string ports;  // "" : no "publishedInputPorts" entry
        std::vector<CFDictionaryRef> after;
    } cases[] = {
        {"no published ports", "", {expected.get()}},
        {"empty published ports", "<key>publishedInputPorts</key><array/>", {expected.get()}},
        {"another published port",
         "<key>publishedInputPorts</key><array>" + Port("inputAmount", "Filter_1", "inputAmount") + "</array>",
         {other.get(), expected.get()}},
        {"cameraImage already published elsewhere",
         "<key>publishedInputPorts</key><array>" + Port("cameraImage", "Splitter_7", "input") +
             Port("inputAmount", "Filter_1", "inputAmount") + "</array>",
         {theirs.get(), other.get()}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Owned<CFDataRef> result = Rewrite(Composition({Node("Filter_1", "QCImageFilter"), Node(kVideo2)}, "", c.ports));
        ASSERT_TRUE(result);
        const Owned<CFDictionaryRef> after = Read(result.get());
        const auto ports = static_cast<CFArrayRef>(At(StateOf(after.get()), "publishedInputPorts"));
        ASSERT_NE(ports, nullptr);
        ASSERT_EQ(CFArrayGetCount(ports), CFIndex(c.after.size()));
        for (size_t i = 0; i < c.after.size(); ++i)
            EXPECT_TRUE(CFEqual(CFArrayGetValueAtIndex(ports, CFIndex(i)), c.after[i])) << i;
    }
}

TEST_F(QTZPropertyDictionaryTest, MovesOnlyTheWiresLeavingTheVideoInputImage) {
    const std::string wires = Wire("moved", kVideo2, "outputImage", "Filter_1", "inputImage") +
                              Wire("movedToo", kVideo2, "outputImage", "Billboard_1", "inputImage") +
                              Wire("otherPort", kVideo2, "outputWidth", "Filter_1", "inputRadius") +
                              Wire("otherNode", "Filter_1", "outputImage", "Billboard_1", "inputImage") +
                              Wire("into", "Filter_1", "outputImage", kVideo2, "inputImage") +
                              Wire("sameTextOtherCase", "videoinput_2", "outputImage", "Billboard_1", "inputColor");
    const std::string text =
        Composition({Node(kVideo2), Node("Filter_1", "QCImageFilter"), Node("Billboard_1", "QCBillboard")}, wires);
    const Owned<CFDataRef> result = Rewrite(text);
    ASSERT_TRUE(result);
    const Owned<CFDictionaryRef> before = Read(text), after = Read(result.get());
    ASSERT_EQ(CFDictionaryGetCount(static_cast<CFDictionaryRef>(At(StateOf(after.get()), "connections"))), 6);
    for (const char *name : {"moved", "movedToo"}) {
        SCOPED_TRACE(name);
        const CFTypeRef was = WireOf(before.get(), name), is = WireOf(after.get(), name);
        EXPECT_EQ(Text(At(is, "sourcePort")), "output");
        EXPECT_EQ(Text(At(is, "sourceNode")), kVideo2);
        EXPECT_TRUE(CFEqual(At(is, "destinationNode"), At(was, "destinationNode")));
        EXPECT_TRUE(CFEqual(At(is, "destinationPort"), At(was, "destinationPort")));
        EXPECT_EQ(CFDictionaryGetCount(static_cast<CFDictionaryRef>(is)), 4);
    }
    for (const char *name : {"otherPort", "otherNode", "into", "sameTextOtherCase"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(CFEqual(WireOf(after.get(), name), WireOf(before.get(), name)));
    }
}

TEST_F(QTZPropertyDictionaryTest, WritesXMLThatReadsBackAsTheEditedComposition) {
    const std::string text = Composition({Node("Filter_1", "QCImageFilter"), Node(kVideo2)},
                                         Wire("w", kVideo2, "outputImage", "Filter_1", "inputImage"));
    const Owned<CFDataRef> result = Rewrite(text);
    ASSERT_TRUE(result);
    const std::string xml(reinterpret_cast<const char *>(CFDataGetBytePtr(result.get())), size_t(CFDataGetLength(result.get())));
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
    EXPECT_NE(xml.find("<plist version=\"1.0\">"), std::string::npos);

    // The same edits made one by one through the category.
    QTZPropertyDictionary composition = QTZPropertyDictionary::propertyDictionaryForData(Data(text).get());
    const Owned<CFDictionaryRef> splitter =
        QTZPropertyDictionary::imageSplitterNodeWithIdentifier(CFSTR("unused_inputSplitter_unused"), String(kVideo2).get());
    ASSERT_TRUE(composition.replaceNodeWithKey(String(kVideo2).get(), splitter.get()));
    ASSERT_TRUE(composition.addPublishedPort(
        QTZPropertyDictionary::publishedPort(CFSTR("cameraImage"), String(kVideo2).get(), CFSTR("input")).get()));
    ASSERT_TRUE(composition.remapConnectionsWithSourceNode(String(kVideo2).get(), CFSTR("outputImage"), CFSTR("output")));
    const Owned<CFDictionaryRef> back = Read(result.get());
    EXPECT_TRUE(CFEqual(back.get(), composition.dictionary()));
    // And the same data again from that dictionary.
    const Owned<CFDataRef> again = composition.quartzComposerPropertyListData();
    ASSERT_TRUE(again);
    EXPECT_TRUE(CFEqual(again.get(), result.get()));
}

TEST_F(QTZPropertyDictionaryTest, TakesBinaryCompositions) {
    const std::string text = Composition({Node(kVideo2)}, Wire("w", kVideo2, "outputImage", "Filter_1", "inputImage"));
    const Owned<CFDictionaryRef> list = Read(text);
    const Owned<CFDataRef> binary(CFPropertyListCreateData(nullptr, list.get(), kCFPropertyListBinaryFormat_v1_0, 0, nullptr));
    ASSERT_TRUE(binary);
    ASSERT_EQ(std::string(reinterpret_cast<const char *>(CFDataGetBytePtr(binary.get())), 8), "bplist00");
    const Owned<CFDataRef> fromBinary = QTZPropertyDictionary::transformCompositionDataForCameraInput(binary.get());
    const Owned<CFDataRef> fromXML = Rewrite(text);
    ASSERT_TRUE(fromBinary);
    EXPECT_TRUE(CFEqual(fromBinary.get(), fromXML.get()));  // XML out, whatever came in
}

// Hostile or malformed compositions: each is refused or rewritten as the rules say, without a
// crash or a leak (the sanitizers watch).
TEST_F(QTZPropertyDictionaryTest, MalformedCompositionsAreRefusedCleanly) {
    std::string deep;
    for (int i = 0; i < 600; ++i) deep += "<array>";
    for (int i = 0; i < 600; ++i) deep += "</array>";
    std::string manyNodes, manyWires;
    for (int i = 0; i < 10000; ++i) {
        manyNodes += "<dict><key>key</key>" + Str("Patch_" + std::to_string(i)) + "</dict>";
        manyWires += Wire("w" + std::to_string(i), i % 2 ? kVideo2 : "Patch_1", "outputImage", "Patch_2", "inputImage");
    }
    const std::string video = Node(kVideo2);
    const std::string nodes = "<key>nodes</key><array>" + video + "</array>";
    const struct {
        const char *name;
        std::string data;
        bool rewritten;
    } cases[] = {
        {"empty data", "", false},
        {"not a property list", "hello, composition", false},
        {"truncated XML", Composition({video}).substr(0, 200), false},
        {"binary garbage", std::string("bplist00\xD1\x01\x02\x55", 12), false},
        {"nested too deep", Plist(deep), false},
        {"root is an array", Plist("<array>" + video + "</array>"), false},
        {"no rootPatch", Plist("<dict><key>state</key><dict>" + nodes + "</dict></dict>"), false},
        {"rootPatch is a string", Plist("<dict><key>rootPatch</key>" + Str("QCPatch") + "</dict>"), false},
        {"no state", Plist("<dict><key>rootPatch</key><dict>" + nodes + "</dict></dict>"), false},
        {"state is an array", Plist("<dict><key>rootPatch</key><dict><key>state</key><array>" + video + "</array></dict></dict>"), false},
        {"state is a number", Plist("<dict><key>rootPatch</key><dict><key>state</key><integer>3</integer></dict></dict>"), false},
        {"no nodes", WithState("<key>connections</key><dict/>"), false},
        {"nodes is a dictionary", WithState("<key>nodes</key><dict><key>key</key>" + Str(kVideo2) + "</dict>"), false},
        {"nodes is a string", WithState("<key>nodes</key>" + Str(kVideo2)), false},
        {"node without key", WithState("<key>nodes</key><array><dict><key>class</key>" + Str("QCVideoInput") + "</dict></array>"), false},
        {"key is a number", WithState("<key>nodes</key><array><dict><key>key</key><integer>2</integer></dict></array>"), false},
        {"key is data", WithState("<key>nodes</key><array><dict><key>key</key><data>AAEC</data></dict></array>"), false},
        {"node is a string", WithState("<key>nodes</key><array>" + Str(kVideo2) + "</array>"), false},
        {"published ports is a string", WithState(nodes + "<key>publishedInputPorts</key>" + Str("cameraImage")), false},
        {"published ports is a dictionary", WithState(nodes + "<key>publishedInputPorts</key><dict/>"), false},
        {"many nodes, no video input", WithState("<key>nodes</key><array>" + manyNodes + "</array>"), false},
        // The wires are not looked at for the answer: these are rewritten.
        {"no connections", WithState(nodes), true},
        {"connections is an array", WithState(nodes + "<key>connections</key><array>" + Str("w") + "</array>"), true},
        {"connection is a string", WithState(nodes + "<key>connections</key><dict><key>w</key>" + Str("x") + "</dict>"), true},
        {"connection without sourceNode",
         WithState(nodes + "<key>connections</key><dict><key>w</key><dict><key>sourcePort</key>" + Str("outputImage") +
                   "</dict></dict>"),
         true},
        {"published port that is not a dictionary",
         WithState(nodes + "<key>publishedInputPorts</key><array>" + Str("cameraImage") + "<integer>1</integer></array>"), true},
        {"published port whose key is a number",
         WithState(nodes + "<key>publishedInputPorts</key><array><dict><key>key</key><integer>1</integer></dict></array>"), true},
        {"many nodes and wires, the video input last",
         WithState("<key>nodes</key><array>" + manyNodes + video + "</array><key>connections</key><dict>" + manyWires + "</dict>"),
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Owned<CFDataRef> result = Rewrite(c.data);
        EXPECT_EQ(bool(result), c.rewritten);
        if (result) {
            const Owned<CFDictionaryRef> after = Read(result.get());
            ASSERT_TRUE(after);
            EXPECT_TRUE(CFEqual(CFArrayGetValueAtIndex(NodesOf(after.get()), IndexOf(after.get(), kVideo2)),
                                ExpectedSplitter(kVideo2).get()));
        }
    }
}

TEST_F(QTZPropertyDictionaryTest, EveryLookupOfDataThatIsNotAPropertyListIsReported) {
    EXPECT_FALSE(Rewrite("not a composition"));
    const std::vector<std::string> reports = TakeReports();
    ASSERT_EQ(reports.size(), 27u);
    for (size_t i = 0; i < reports.size(); i += 3) {
        EXPECT_EQ(reports[i], "rootPatch@state");
        EXPECT_EQ(reports[i + 1], "state@nodes");
        EXPECT_EQ(reports[i + 2], "nodes@hasNodeWithKey:");
    }
    // The whole line: the check, the source, the method.
    EXPECT_FALSE(Rewrite("not a composition"));
    const std::string log = LogText();
    EXPECT_EQ(log.rfind("VERIFY FAILED:  code : rootPatch in sdk/CocoaQZ/QuartzCore/QTZPropertyDictionary:", 0), 0u) << log;
    EXPECT_NE(log.find(" (-[NSMutableDictionary(QTZPropertyDictionary) state])\n"), std::string::npos) << log;
}

// ---- The category's operations

using Operation = bool (*)(QTZPropertyDictionary &);

TEST_F(QTZPropertyDictionaryTest, StructuralFaultsAreReportedOnceEachAndAnswerNoOrNull) {
    const std::string video = Node(kVideo2);
    const std::string good = Composition({video}, Wire("w", kVideo2, "outputImage", "Filter_1", "inputImage"));
    const std::string noState = Plist("<dict><key>rootPatch</key><dict/></dict>");
    const std::string stateIsArray = Plist("<dict><key>rootPatch</key><dict><key>state</key><array/></dict></dict>");
    const std::string portsIsString = WithState("<key>nodes</key><array>" + video + "</array><key>publishedInputPorts</key>" + Str("x"));
    const Owned<CFDictionaryRef> port = QTZPropertyDictionary::publishedPort(CFSTR("cameraImage"), CFSTR("n"), CFSTR("input"));
    static CFDictionaryRef sPort;
    sPort = port.get();
    const struct {
        const char *name;
        std::string composition;
        Operation operation;
        std::vector<std::string> reports;
    } cases[] = {
        {"state without rootPatch", Plist("<dict/>"), [](QTZPropertyDictionary &c) { return c.state() != nullptr; },
         {"rootPatch@state"}},
        {"state missing", noState, [](QTZPropertyDictionary &c) { return c.state() != nullptr; }, {"state@state"}},
        {"state of another type, answered all the same", stateIsArray,
         [](QTZPropertyDictionary &c) { return c.state() == nullptr; }, {"state@state"}},
        {"nodes without state", noState, [](QTZPropertyDictionary &c) { return c.nodes() != nullptr; },
         {"state@state", "state@nodes"}},
        {"nodes missing", WithState(""), [](QTZPropertyDictionary &c) { return c.nodes() != nullptr; }, {"nodes@nodes"}},
        {"nodes of another type, answered all the same", WithState("<key>nodes</key><dict/>"),
         [](QTZPropertyDictionary &c) { return c.nodes() == nullptr; }, {"nodes@nodes"}},
        {"connections without state", noState, [](QTZPropertyDictionary &c) { return c.connections() != nullptr; },
         {"state@state", "state@connections"}},
        {"connections missing: no report", WithState(""),
         [](QTZPropertyDictionary &c) { return c.connections() != nullptr; }, {}},
        {"input ports without state: only the state's own report", noState,
         [](QTZPropertyDictionary &c) { return c.inputPorts() != nullptr; }, {"state@state"}},
        {"node keys without nodes", WithState(""), [](QTZPropertyDictionary &c) { return bool(c.nodeKeys()); },
         {"nodes@nodes", "nodes@nodeKeys"}},
        {"has node: null key", good, [](QTZPropertyDictionary &c) { return c.hasNodeWithKey(nullptr); }, {"key@hasNodeWithKey:"}},
        {"has node: absent", good, [](QTZPropertyDictionary &c) { return c.hasNodeWithKey(CFSTR("VideoInput_1")); }, {}},
        {"replace node: null key", good,
         [](QTZPropertyDictionary &c) { return c.replaceNodeWithKey(nullptr, sPort); }, {"key@replaceNodeWithKey:node:"}},
        {"replace node: null node", good,
         [](QTZPropertyDictionary &c) { return c.replaceNodeWithKey(CFSTR("VideoInput_2"), nullptr); },
         {"node@replaceNodeWithKey:node:"}},
        {"replace node: no nodes", WithState(""),
         [](QTZPropertyDictionary &c) { return c.replaceNodeWithKey(CFSTR("VideoInput_2"), sPort); },
         {"nodes@nodes", "nodes@replaceNodeWithKey:node:"}},
        {"replace node: absent, no report", good,
         [](QTZPropertyDictionary &c) { return c.replaceNodeWithKey(CFSTR("VideoInput_3"), sPort); }, {}},
        {"add input port: null", good, [](QTZPropertyDictionary &c) { return c.addInputPortIfUniqueKey(nullptr); },
         {"inputPort@addInputPortIfUniqueKey:"}},
        {"add published port: null", good, [](QTZPropertyDictionary &c) { return c.addPublishedPort(nullptr); },
         {"publishedPort@addPublishedPort:"}},
        {"add published port: ports of another type", portsIsString,
         [](QTZPropertyDictionary &c) { return c.addPublishedPort(sPort); }, {"inputPorts@addPublishedPort:"}},
        {"add input port: ports of another type", portsIsString,
         [](QTZPropertyDictionary &c) { return c.addInputPortIfUniqueKey(sPort); }, {"inputPorts@addInputPortIfUniqueKey:"}},
        {"add published port: no state", noState, [](QTZPropertyDictionary &c) { return c.addPublishedPort(sPort); },
         {"state@state", "inputPorts@addPublishedPort:"}},
        {"replace connection: no connections", WithState(""),
         [](QTZPropertyDictionary &c) { return c.replaceConnectionNamed(CFSTR("w"), CFSTR("VideoInput_2"), sPort); },
         {"connections@replaceConnectionNamed:withSourceNodeKeyValue:connection:"}},
        {"replace connection: null source node", good,
         [](QTZPropertyDictionary &c) { return c.replaceConnectionNamed(CFSTR("w"), nullptr, sPort); },
         {"withSourceNodeKeyValue@replaceConnectionNamed:withSourceNodeKeyValue:connection:"}},
        {"replace connection: null connection", good,
         [](QTZPropertyDictionary &c) { return c.replaceConnectionNamed(CFSTR("w"), CFSTR("VideoInput_2"), nullptr); },
         {"connection@replaceConnectionNamed:withSourceNodeKeyValue:connection:"}},
        {"replace connection: another source node, no report", good,
         [](QTZPropertyDictionary &c) { return c.replaceConnectionNamed(CFSTR("w"), CFSTR("Filter_1"), sPort); }, {}},
        {"replace connection: no such name, no report", good,
         [](QTZPropertyDictionary &c) { return c.replaceConnectionNamed(CFSTR("x"), CFSTR("VideoInput_2"), sPort); }, {}},
        {"remap: no connections", WithState(""),
         [](QTZPropertyDictionary &c) {
             return c.remapConnectionsWithSourceNode(CFSTR("VideoInput_2"), CFSTR("outputImage"), CFSTR("output"));
         },
         {"connections@remapConnectionsWithSourceNode:oldSourcePort:newSourcePort:"}},
        {"remap: null new port", good,
         [](QTZPropertyDictionary &c) {
             return c.remapConnectionsWithSourceNode(CFSTR("VideoInput_2"), CFSTR("outputImage"), nullptr);
         },
         {"newSourcePort@remapConnectionsWithSourceNode:oldSourcePort:newSourcePort:"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTZPropertyDictionary composition = QTZPropertyDictionary::propertyDictionaryForData(Data(c.composition).get());
        ClearLog();
        EXPECT_FALSE(c.operation(composition));
        EXPECT_EQ(TakeReports(), c.reports);
    }
}

// A node or connection given to its own replacement, or one held inside it, must come out
// whole: the entries are taken before the target is emptied.
TEST_F(QTZPropertyDictionaryTest, ReplacingWithTheSameOrANestedDictionaryKeepsItsEntries) {
    const std::string text = Composition({Node("Filter_1", "QCImageFilter"), Node(kVideo2)},
                                         Wire("w", kVideo2, "outputImage", "Filter_1", "inputImage"));
    QTZPropertyDictionary composition = QTZPropertyDictionary::propertyDictionaryForData(Data(text).get());
    const Owned<CFDictionaryRef> before = Read(text);
    const auto node = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(NodesOf(composition.dictionary()), 1));

    EXPECT_TRUE(composition.replaceNodeWithKey(String(kVideo2).get(), node));
    EXPECT_TRUE(CFEqual(composition.dictionary(), before.get()));

    const auto wire = static_cast<CFDictionaryRef>(WireOf(composition.dictionary(), "w"));
    EXPECT_TRUE(composition.replaceConnectionNamed(CFSTR("w"), String(kVideo2).get(), wire));
    EXPECT_TRUE(CFEqual(composition.dictionary(), before.get()));

    // A dictionary that only the node holds: its entries become the node's.
    const auto nested = static_cast<CFDictionaryRef>(At(node, "state"));
    const Owned<CFMutableDictionaryRef> nestedCopy(CFDictionaryCreateMutableCopy(nullptr, 0, nested));
    CFDictionarySetValue(const_cast<CFMutableDictionaryRef>(nested), CFSTR("key"), String(kVideo2).get());
    CFDictionarySetValue(nestedCopy.get(), CFSTR("key"), String(kVideo2).get());
    EXPECT_TRUE(composition.replaceNodeWithKey(String(kVideo2).get(), nested));
    EXPECT_TRUE(CFEqual(CFArrayGetValueAtIndex(NodesOf(composition.dictionary()), 1), nestedCopy.get()));
    EXPECT_TRUE(TakeReports().empty());
}

TEST_F(QTZPropertyDictionaryTest, ImmutableContainersAreReportedAndNeverChanged) {
    // A composition made from an immutable dictionary: only the top level is copied mutable.
    const std::string text = Composition({Node(kVideo2)}, Wire("w", kVideo2, "outputImage", "Filter_1", "inputImage"));
    const Owned<CFDataRef> data = Data(text);
    const Owned<CFDictionaryRef> fixed(static_cast<CFDictionaryRef>(
        CFPropertyListCreateWithData(nullptr, data.get(), kCFPropertyListImmutable, nullptr, nullptr)));
    QTZPropertyDictionary composition = QTZPropertyDictionary::propertyDictionaryFor(fixed.get());
    EXPECT_TRUE(CFDictionaryIsMutable(composition.dictionary()));

    EXPECT_EQ(composition.state(), StateOf(fixed.get()));  // answered all the same
    EXPECT_EQ(TakeReports(), std::vector<std::string>{"state@state"});
    EXPECT_TRUE(composition.hasNodeWithKey(String(kVideo2).get()));  // reading works
    TakeReports();

    const Owned<CFDictionaryRef> splitter = QTZPropertyDictionary::imageSplitterNodeWithIdentifier(nullptr, String(kVideo2).get());
    EXPECT_FALSE(composition.replaceNodeWithKey(String(kVideo2).get(), splitter.get()));
    EXPECT_EQ(TakeReports(), (std::vector<std::string>{"state@state", "nodes@nodes",
                                                      "CFDictionaryIsMutable(found)@replaceNodeWithKey:node:"}));
    // No published ports and a state that cannot take them.
    EXPECT_EQ(composition.inputPorts(), nullptr);
    TakeReports();
    const Owned<CFDictionaryRef> moved = QTZPropertyDictionary::publishedPort(CFSTR("a"), CFSTR("b"), CFSTR("c"));
    EXPECT_FALSE(composition.replaceConnectionNamed(CFSTR("w"), String(kVideo2).get(), moved.get()));
    EXPECT_EQ(TakeReports(), (std::vector<std::string>{
                                 "state@state",
                                 "CFDictionaryIsMutable(found)@replaceConnectionNamed:withSourceNodeKeyValue:connection:"}));
    EXPECT_TRUE(CFEqual(composition.dictionary(), fixed.get()));
    EXPECT_FALSE(QTZPropertyDictionary::transformCompositionDataForCameraInput(nullptr));
}

TEST_F(QTZPropertyDictionaryTest, BuildsNodesAndPortsAsSpecified) {
    const Owned<CFDictionaryRef> port = QTZPropertyDictionary::publishedPort(CFSTR("cameraImage"), CFSTR("VideoInput_1"), CFSTR("input"));
    EXPECT_TRUE(CFEqual(port.get(), Read(Plist(Port("cameraImage", "VideoInput_1", "input"))).get()));

    const Owned<CFDictionaryRef> splitter = QTZPropertyDictionary::imageSplitterNodeWithIdentifier(CFSTR("ignored"), CFSTR("Splitter_1"));
    EXPECT_TRUE(CFEqual(splitter.get(), ExpectedSplitter("Splitter_1").get()));

    const Owned<CFDictionaryRef> filter = QTZPropertyDictionary::filterNodeWithIdentifier(CFSTR("CIBloom"), CFSTR("Filter_1"));
    const Owned<CFDictionaryRef> expected = Read(Plist(
        "<dict><key>class</key>" + Str("QCImageFilter") + "<key>identifier</key>" + Str("CIBloom") + "<key>key</key>" +
        Str("Filter_1") + "<key>state</key><dict><key>anisotropy</key><integer>0</integer><key>borderColor</key>" +
        Str("R=0 G=0 B=0 A=0") + "<key>filteringMode</key>" + Str("Bilinear") +
        "<key>mipmapLevels</key><integer>0</integer><key>target</key>" + Str("GL_TEXTURE_RECTANGLE_EXT") +
        "<key>wrappingMode</key>" + Str("ClampToEdge") + "</dict></dict>"));
    EXPECT_TRUE(CFEqual(filter.get(), expected.get()));
    const Owned<CFDictionaryRef> second = QTZPropertyDictionary::filterNodeWithIdentifier(CFSTR("CICrop"), CFSTR("Filter_2"));
    EXPECT_EQ(At(second.get(), "state"), At(filter.get(), "state"));  // one shared state
    EXPECT_FALSE(CFDictionaryIsMutable(static_cast<CFDictionaryRef>(At(filter.get(), "state"))));
}

TEST_F(QTZPropertyDictionaryTest, ReadsTheGraph) {
    const std::string text = Composition(
        {Node("A"), "<dict><key>class</key>" + Str("QCClear") + "</dict>", Node("B"), Str("C")}, "",
        "<key>publishedInputPorts</key><array>" + Str("skipped") + Port("amount", "B", "inputAmount") + "</array>");
    QTZPropertyDictionary composition = QTZPropertyDictionary::propertyDictionaryForData(Data(text).get());
    const Owned<CFArrayRef> keys = composition.nodeKeys();
    ASSERT_TRUE(keys);
    ASSERT_EQ(CFArrayGetCount(keys.get()), 2);
    EXPECT_EQ(Text(CFArrayGetValueAtIndex(keys.get(), 0)), "A");
    EXPECT_EQ(Text(CFArrayGetValueAtIndex(keys.get(), 1)), "B");
    EXPECT_TRUE(composition.hasNodeWithKey(CFSTR("B")));
    EXPECT_FALSE(composition.hasNodeWithKey(CFSTR("C")));  // a string, not a node
    EXPECT_FALSE(composition.hasNodeWithKey(CFSTR("b")));

    const CFDictionaryRef amount = composition.inputPortWithKey(CFSTR("amount"));
    ASSERT_NE(amount, nullptr);
    EXPECT_EQ(Text(At(amount, "port")), "inputAmount");
    EXPECT_EQ(composition.inputPortWithKey(CFSTR("cameraImage")), nullptr);

    // A composition without published ports gains an empty array on first asking.
    QTZPropertyDictionary bare = QTZPropertyDictionary::propertyDictionaryForData(Data(Composition({Node("A")})).get());
    const CFTypeRef ports = bare.inputPorts();
    ASSERT_NE(ports, nullptr);
    EXPECT_TRUE(CFArrayIsMutable(static_cast<CFArrayRef>(ports)));
    EXPECT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(ports)), 0);
    EXPECT_EQ(At(StateOf(bare.dictionary()), "publishedInputPorts"), ports);
    EXPECT_TRUE(TakeReports().empty());

    // Data that is not a composition gives an empty one.
    EXPECT_EQ(CFDictionaryGetCount(QTZPropertyDictionary::propertyDictionaryForData(Data("x").get()).dictionary()), 0);
    EXPECT_EQ(CFDictionaryGetCount(QTZPropertyDictionary::propertyDictionaryFor(nullptr).dictionary()), 0);
}

}  // namespace
