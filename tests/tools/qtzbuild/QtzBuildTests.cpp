// The composition build tool: kernels inlined and escaped, graphs the engine refuses failing
// the build with the file's name, the property-list writer, and an effect pack's generated
// source (compiled into this program from packs/QtzTestPack by the same CMake function the
// packs use).
#include <qtzbuild/QFXPackTable.h>
#include <qtzbuild/QtzBuild.h>

#include <QuartzComposer/QCRenderer.h>

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGDataProvider.h>

#include <support/TestFolders.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/wait.h>

QFX_PACK_TABLE_DECLARATIONS(QtzTestPack)
extern "C" const unsigned char Solid_qtz[];
extern "C" const unsigned char Plain_qtz[];

namespace {

namespace fs = std::filesystem;
using lumora::test::ReadFile;
using lumora::test::ScopedFolder;
using lumora::test::WriteFile;
using qtzbuild::PlistValue;

// A composition source: nodes (each already XML) and wires, as composition.plist.
std::string Source(const std::string &nodes, const std::string &connections = "", const std::string &inputs = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>rootPatch</key><dict><key>class</key><string>QCPatch</string><key>state</key><dict>"
           "<key>nodes</key><array>" + nodes + "</array><key>connections</key><dict>" + connections + "</dict>"
           "<key>publishedInputPorts</key><array>" + inputs + "</array></dict></dict></dict></plist>\n";
}

std::string Node(const std::string &key, const std::string &className, const std::string &state = "") {
    return "<dict><key>key</key><string>" + key + "</string><key>class</key><string>" + className +
           "</string><key>state</key><dict>" + state + "</dict></dict>";
}

std::string KernelNode(const std::string &key, const std::string &sourceFile, const std::string &more = "") {
    return Node(key, "QCImageKernel",
                "<key>sourceFile</key><string>" + sourceFile + "</string>"
                "<key>extent</key><array><real>0</real><real>0</real><real>4</real><real>4</real></array>" + more);
}

std::string Wire(const std::string &name, const std::string &from, const std::string &fromPort, const std::string &to,
                 const std::string &toPort) {
    return "<key>" + name + "</key><dict><key>sourceNode</key><string>" + from + "</string><key>sourcePort</key><string>" +
           fromPort + "</string><key>destinationNode</key><string>" + to + "</string><key>destinationPort</key><string>" +
           toPort + "</string></dict>";
}

std::string Published(const std::string &key, const std::string &node, const std::string &port) {
    return "<dict><key>key</key><string>" + key + "</string><key>node</key><string>" + node +
           "</string><key>port</key><string>" + port + "</string></dict>";
}

// The state of the node with that key in a built composition.
const PlistValue *NodeState(const PlistValue &composition, const std::string &key) {
    const PlistValue *nodes = composition.find("rootPatch")->find("state")->find("nodes");
    for (const PlistValue &node : nodes->items)
        if (node.find("key")->text == key) return node.find("state");
    return nullptr;
}

// The premultiplied RGBA of a pixel of an offscreen renderer's picture (y up).
std::array<int, 4> PixelAt(QCRenderer &renderer, size_t x, size_t y) {
    CGImageRef image = renderer.createSnapshotCGImage();
    if (!image) return {-1, -1, -1, -1};
    const size_t height = CGImageGetHeight(image), rowBytes = CGImageGetBytesPerRow(image);
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    const UInt8 *p = CFDataGetBytePtr(data) + (height - 1 - y) * rowBytes + x * 4;
    const std::array<int, 4> rgba{p[2], p[1], p[0], p[3]};
    CFRelease(data);
    CGImageRelease(image);
    return rgba;
}

TEST(QtzBuild, KernelsAreInlinedEscapedAndPlayAsWritten) {
    // A kernel whose text needs every escape, in a sub-folder: it picks red only when its
    // amount is strictly between a quarter and a half.
    const std::string kernel = "/* <picks> & \"chooses\" */\r\n"
                               "kernel vec4 pick(float amount)\n{\n"
                               "\treturn (amount < 0.5 && amount > 0.25) ? vec4(1.0, 0.0, 0.0, 1.0) : vec4(0.0, 0.0, 1.0, 1.0);\n}\n";
    ScopedFolder folder("inline");
    fs::create_directories(folder.file("kernels"));
    ASSERT_TRUE(WriteFile(folder.file("kernels/pick.cikernel"), kernel));
    ASSERT_TRUE(WriteFile(folder.file("composition.plist"),
                          Source(KernelNode("Pick", "kernels/pick.cikernel") + Node("Billboard", "QCBillboard"),
                                 Wire("w", "Pick", "outputImage", "Billboard", "inputImage"),
                                 Published("amount", "Pick", "amount"))));
    std::string qtz, error;
    std::vector<fs::path> dependencies;
    ASSERT_TRUE(qtzbuild::BuildComposition(folder.path(), &qtz, &dependencies, &error)) << error;
    EXPECT_EQ(dependencies,
              (std::vector<fs::path>{fs::path(folder.path()) / "composition.plist", fs::path(folder.path()) / "kernels/pick.cikernel"}));
    EXPECT_NE(qtz.find("&lt;picks&gt; &amp; \"chooses\" */&#13;\n"), std::string::npos) << qtz;
    EXPECT_NE(qtz.find("amount &lt; 0.5 &amp;&amp; amount &gt; 0.25"), std::string::npos);

    PlistValue built;
    ASSERT_TRUE(qtzbuild::ReadPropertyList(qtz, &built, &error)) << error;
    const PlistValue *state = NodeState(built, "Pick");
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->find("sourceFile"), nullptr);
    ASSERT_NE(state->find("source"), nullptr);
    EXPECT_EQ(state->find("source")->text, kernel) << "the text comes back byte for byte";

    auto renderer = QCRenderer::offScreenRendererWithSize(
        CGSizeMake(4, 4), nullptr, QCComposition::compositionWithBytes(qtz.data(), qtz.size()), &error);
    ASSERT_NE(renderer, nullptr) << error;
    for (const auto &[amount, expected] : std::vector<std::pair<double, std::array<int, 4>>>{
             {0.3, {255, 0, 0, 255}}, {0.6, {0, 0, 255, 255}}, {0.1, {0, 0, 255, 255}}}) {
        renderer->setValue(QCValue(amount), "amount");
        ASSERT_TRUE(renderer->renderAtTime(0)) << renderer->lastError();
        EXPECT_EQ(PixelAt(*renderer, 1, 2), expected) << amount;
    }
}

TEST(QtzBuild, SourcesThatCannotBeBuiltFailNamingTheFileAndTheReason) {
    const std::string kernel = "kernel vec4 k() { return vec4(1.0); }\n";
    struct Case {
        const char *name;
        std::string plist;
        const char *mentions;
    } cases[] = {
        {"not a property list", "<plist><dict>", "not an XML property list"},
        {"a class the engine does not know", Source(Node("Mystery_7", "QCNoSuchPatch")), "Mystery_7"},
        {"a wire to a port that is not there",
         Source(KernelNode("K", "k.cikernel") + Node("B", "QCBillboard"), Wire("w", "K", "outputImage", "B", "inputPicture")),
         "inputPicture"},
        {"a missing kernel file", Source(KernelNode("K", "missing.cikernel")), "missing.cikernel"},
        {"an absolute kernel path", Source(KernelNode("K", "/etc/k.cikernel")), "not relative"},
        {"both source and sourceFile", Source(KernelNode("K", "k.cikernel", "<key>source</key><string>x</string>")),
         "both"},
        {"a sourceFile on another class",
         Source(Node("C", "QCClear", "<key>sourceFile</key><string>k.cikernel</string>")), "only QCImageKernel"},
        {"a sourceFile that is not a name",
         Source(Node("K", "QCImageKernel", "<key>sourceFile</key><integer>3</integer>")), "not a file name"},
        {"a kernel file that is not text", Source(KernelNode("K", "binary.cikernel")), "not UTF-8"},
        {"a kernel that does not translate", Source(KernelNode("K", "broken.cikernel")), "\"K\""},
    };
    for (const Case &c : cases) {
        ScopedFolder folder("bad");
        ASSERT_TRUE(WriteFile(folder.file("k.cikernel"), kernel));
        ASSERT_TRUE(WriteFile(folder.file("binary.cikernel"), std::string("kernel \xff\xfe\x01", 10)));
        ASSERT_TRUE(WriteFile(folder.file("broken.cikernel"), "kernel vec4 k( { }\n"));
        ASSERT_TRUE(WriteFile(folder.file("composition.plist"), c.plist));
        std::string qtz, error;
        std::vector<fs::path> dependencies;
        EXPECT_FALSE(qtzbuild::BuildComposition(folder.path(), &qtz, &dependencies, &error)) << c.name;
        EXPECT_EQ(error.rfind(folder.file("composition.plist") + ": ", 0), 0u) << c.name << ": " << error;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << c.name << ": " << error;
        EXPECT_TRUE(qtz.empty()) << c.name;
    }
}

// Runs the program; its exit status, with standard error in `output`.
int RunTool(const std::string &arguments, std::string *output) {
    const std::string command = std::string(QTZBUILD_PROGRAM) + " " + arguments + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(QtzBuild, TheProgramFailsTheBuildOnARefusedGraphAndLeavesNoFile) {
    ScopedFolder folder("program");
    fs::create_directories(folder.file("Good"));
    fs::create_directories(folder.file("Bad"));
    ASSERT_TRUE(WriteFile(folder.file("Good/composition.plist"), Source(KernelNode("K", "k.cikernel"))));
    ASSERT_TRUE(WriteFile(folder.file("Good/k.cikernel"), "kernel vec4 k() { return vec4(1.0); }\n"));
    ASSERT_TRUE(WriteFile(folder.file("Bad/composition.plist"), Source(Node("Unheard_1", "QCUnheardOf"))));

    std::string output;
    ASSERT_EQ(RunTool("composition " + folder.file("Good") + " " + folder.file("Good.qtz") + " --depfile " +
                      folder.file("Good.d"),
                  &output),
              0)
        << output;
    EXPECT_NE(QCComposition::compositionWithFile(folder.file("Good.qtz")), nullptr);
    EXPECT_EQ(ReadFile(folder.file("Good.d")), folder.file("Good.qtz") + ": \\\n  " + folder.file("Good/composition.plist") +
                                                   " \\\n  " + folder.file("Good/k.cikernel") + "\n");

    // Built again to the same bytes, the file is left alone (what depends on it is not rebuilt).
    const auto old = fs::last_write_time(folder.file("Good.qtz")) - std::chrono::hours(1);
    fs::last_write_time(folder.file("Good.qtz"), old);
    output.clear();
    ASSERT_EQ(RunTool("composition " + folder.file("Good") + " " + folder.file("Good.qtz"), &output), 0) << output;
    EXPECT_EQ(fs::last_write_time(folder.file("Good.qtz")), old);

    // A failed build removes what an earlier one left.
    ASSERT_TRUE(WriteFile(folder.file("Bad.qtz"), "stale"));
    output.clear();
    EXPECT_EQ(RunTool("composition " + folder.file("Bad") + " " + folder.file("Bad.qtz"), &output), 1);
    EXPECT_NE(output.find("qtzbuild: " + folder.file("Bad/composition.plist") + ": the composition engine refuses it"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("Unheard_1"), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(folder.file("Bad.qtz")));

    output.clear();
    EXPECT_EQ(RunTool("pack 2Bad " + folder.file("Pack.cpp") + " v 1 " + folder.file("Good.qtz"), &output), 1);
    EXPECT_NE(output.find("not a C identifier"), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(folder.file("Pack.cpp")));
    output.clear();
    EXPECT_EQ(RunTool("frobnicate", &output), 1);
    EXPECT_NE(output.find("usage"), std::string::npos);
}

TEST(QtzBuild, TheWriterRoundTripsEveryKindAndRefusesWhatXmlCannotCarry) {
    PlistValue root = PlistValue::Dictionary();
    root.set("zeta", PlistValue::Integer(INT64_MIN));
    root.set("alpha", PlistValue::Integer(INT64_MAX));
    root.set("reals", PlistValue::Array({PlistValue::Real(0.1), PlistValue::Real(-2.5e-300), PlistValue::Real(1e300),
                                         PlistValue::Real(3)}));
    root.set("flags", PlistValue::Array({PlistValue::Boolean(true), PlistValue::Boolean(false)}));
    root.set("data", PlistValue::Array({PlistValue::Data(""), PlistValue::Data("a"), PlistValue::Data("ab"),
                                        PlistValue::Data("abc"), PlistValue::Data(std::string("\0\xff\x10\x80", 4))}));
    root.set("texts", PlistValue::Array({PlistValue::String(""), PlistValue::String("a < b && c > d ]]> \r\n\t"),
                                         PlistValue::String("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xa5")}));
    root.set("<&>", PlistValue::Dictionary());
    root.set("empty", PlistValue::Array());
    std::string xml, error;
    ASSERT_TRUE(qtzbuild::WritePropertyList(root, &xml, &error)) << error;
    PlistValue back;
    ASSERT_TRUE(qtzbuild::ReadPropertyList(xml, &back, &error)) << error << "\n" << xml;
    for (const std::string &key : root.keys) {
        std::string a, b;
        ASSERT_NE(back.find(key), nullptr) << key;
        ASSERT_TRUE(qtzbuild::WritePropertyList(*root.find(key), &a, &error));
        ASSERT_TRUE(qtzbuild::WritePropertyList(*back.find(key), &b, &error));
        EXPECT_EQ(a, b) << key;
    }
    EXPECT_EQ(back.find("reals")->items[0].real, 0.1);
    EXPECT_EQ(back.find("reals")->items[1].real, -2.5e-300);
    EXPECT_EQ(back.find("reals")->items[3].kind, PlistValue::Kind::Real);
    EXPECT_EQ(back.find("zeta")->integer, INT64_MIN);
    EXPECT_EQ(back.find("data")->items[4].text, std::string("\0\xff\x10\x80", 4));
    EXPECT_EQ(back.find("texts")->items[1].text, "a < b && c > d ]]> \r\n\t");
    // Keys sorted: the same tree always gives the same bytes, whatever order it was built in.
    std::string again;
    ASSERT_TRUE(qtzbuild::WritePropertyList(back, &again, &error));
    EXPECT_EQ(again, xml);
    EXPECT_LT(xml.find("<key>&lt;&amp;&gt;</key>"), xml.find("<key>alpha</key>"));

    struct Bad {
        const char *name;
        PlistValue value;
        const char *mentions;
    } bad[] = {
        {"a control character", PlistValue::String("a\x01z"), "control character"},
        {"a text that is not UTF-8", PlistValue::String("caf\xe9"), "UTF-8"},
        {"a key that is not UTF-8", [] { PlistValue d = PlistValue::Dictionary(); d.set("\xc3", PlistValue::Integer(1)); return d; }(), "UTF-8"},
        {"an infinite real", PlistValue::Real(HUGE_VAL), "finite"},
        {"a real that is not a number", PlistValue::Real(std::nan("")), "finite"},
        {"a key twice", [] { PlistValue d = PlistValue::Dictionary(); d.keys = {"k", "k"}; d.items.resize(2); return d; }(), "twice"},
    };
    for (const Bad &b : bad) {
        error.clear();
        EXPECT_FALSE(qtzbuild::WritePropertyList(b.value, &xml, &error)) << b.name;
        EXPECT_NE(error.find(b.mentions), std::string::npos) << b.name << ": " << error;
    }
}

TEST(QtzBuild, TheNibbleSwapExchangesTheHalvesOfEachByteAndUndoesItself) {
    unsigned char bytes[] = {0x00, 0x12, 0xA5, 0xF0, 0xFF, 0x3C};
    QFXSwapNibbles(bytes, sizeof bytes);
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + sizeof bytes),
              (std::vector<unsigned char>{0x00, 0x21, 0x5A, 0x0F, 0xFF, 0xC3}));
    std::vector<unsigned char> all(256), original(256);
    for (int i = 0; i < 256; ++i) all[size_t(i)] = original[size_t(i)] = static_cast<unsigned char>(i);
    QFXSwapNibbles(all.data(), all.size());
    EXPECT_NE(all, original);
    QFXSwapNibbles(all.data(), all.size());
    EXPECT_EQ(all, original);
    QFXSwapNibbles(nullptr, 0);  // nothing to do
}

TEST(QtzBuild, CompositionFileNamesGiveTheirSymbolsOrAreRefused) {
    struct Case {
        const char *fileName;
        const char *symbol;  // null: refused
    } cases[] = {
        {"L2PolarWarp.qtz", "L2PolarWarp_qtz"},
        {"_private.qtz", "_private_qtz"},
        {"com.tarvex.Gradients.qtz", nullptr},
        {"9Lives.qtz", nullptr},
        {"Polar Warp.qtz", nullptr},
        {"L2PolarWarp.QTZ", nullptr},
        {".qtz", nullptr},
        {"L2PolarWarp", nullptr},
    };
    for (const Case &c : cases) {
        std::string symbol, error;
        EXPECT_EQ(qtzbuild::SymbolForFileName(c.fileName, &symbol, &error), c.symbol != nullptr) << c.fileName;
        if (c.symbol) EXPECT_EQ(symbol, c.symbol);
        else EXPECT_NE(error.find(c.fileName), std::string::npos) << error;
    }
    std::string source, error;
    EXPECT_FALSE(qtzbuild::WritePackSource("Pack", {{"A.qtz", "x"}, {"A.qtz", "y"}}, "1", 1, &source, &error));
    EXPECT_NE(error.find("twice"), std::string::npos) << error;
    EXPECT_FALSE(qtzbuild::WritePackSource("My-Pack", {{"A.qtz", "x"}}, "1", 1, &source, &error));
    EXPECT_FALSE(qtzbuild::WritePackSource("Pack", {{"A.qtz", "x"}}, "1", HUGE_VAL, &source, &error));
}

TEST(QtzBuild, AGeneratedPackHoldsItsCompositionsTransformedInOrder) {
    ASSERT_EQ(QtzTestPackCompositionCount, 2u);
    const struct {
        const char *fileName;
        const unsigned char *symbol;
    } expected[] = {{"Solid.qtz", Solid_qtz}, {"Plain.qtz", Plain_qtz}};
    for (uint32_t i = 0; i < QtzTestPackCompositionCount; ++i) {
        const QFXCompositionRecord &record = QtzTestPackCompositionTable[i];
        EXPECT_STREQ(record.fileName, expected[i].fileName);
        EXPECT_EQ(record.bytes, expected[i].symbol) << "the table points at the exported array";
        const std::string built = ReadFile(std::string(QTZ_TEST_PACK_BUILT) + "/" + record.fileName);
        ASSERT_FALSE(built.empty());
        ASSERT_EQ(record.length, built.size());
        std::string stored(reinterpret_cast<const char *>(record.bytes), record.length);
        EXPECT_NE(stored, built) << "stored transformed";
        QFXSwapNibbles(reinterpret_cast<unsigned char *>(stored.data()), stored.size());
        EXPECT_EQ(stored, built) << record.fileName;
        std::string error;
        EXPECT_NE(QCComposition::compositionWithBytes(stored.data(), stored.size(), &error), nullptr) << error;
    }
    EXPECT_STREQ(reinterpret_cast<const char *>(QtzTestPackVersionString), "QtzTestPack \"1.2\"");
    EXPECT_EQ(QtzTestPackVersionNumber, 1.25);

    // The stored composition plays as its source says.
    std::string solid(reinterpret_cast<const char *>(Solid_qtz), QtzTestPackCompositionTable[0].length), error;
    QFXSwapNibbles(reinterpret_cast<unsigned char *>(solid.data()), solid.size());
    auto renderer = QCRenderer::offScreenRendererWithSize(
        CGSizeMake(8, 8), nullptr, QCComposition::compositionWithBytes(solid.data(), solid.size()), &error);
    ASSERT_NE(renderer, nullptr) << error;
    ASSERT_TRUE(renderer->renderAtTime(0)) << renderer->lastError();
    const std::array<int, 4> orange = PixelAt(*renderer, 3, 3);
    EXPECT_EQ(orange[0], 255);
    EXPECT_NEAR(orange[1], 128, 1);
    EXPECT_EQ(orange[2], 0);
}

}  // namespace
