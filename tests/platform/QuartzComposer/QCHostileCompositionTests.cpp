// Hostile compositions: a few thousand files mutated from a handful of good ones (bytes
// flipped, files cut short, nodes and wires deleted, duplicated and rewired, values of the
// wrong type, huge arrays and numbers, deep nesting) each open or are refused with a reason,
// and each that opens plays frames with odd published inputs, under the sanitizers. The
// mutations come from a fixed seed, so a failure comes back on every run.
#include <QuartzComposer/QCRenderer.h>

#include <qtzbuild/QtzPropertyList.h>

#include <CoreFoundation/CFData.h>
#include <OpenGL/OpenGL.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

using qtzbuild::PlistValue;

// The mutation's random numbers: a small generator of our own, the same on every library.
class Random {
public:
    explicit Random(uint64_t seed) : m_state(seed) {}
    uint64_t next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }
    size_t below(size_t n) { return n ? size_t(next() % n) : 0; }
    bool chance(int percent) { return below(100) < size_t(percent); }

private:
    uint64_t m_state;
};

std::string Composition(const std::string &nodes, const std::string &connections, const std::string &inputs = "",
                        const std::string &outputs = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>rootPatch</key><dict><key>class</key><string>QCPatch</string><key>state</key><dict>"
           "<key>nodes</key><array>" + nodes + "</array><key>connections</key><dict>" + connections + "</dict>"
           "<key>publishedInputPorts</key><array>" + inputs + "</array>"
           "<key>publishedOutputPorts</key><array>" + outputs + "</array></dict></dict></dict></plist>\n";
}

std::string Node(const std::string &key, const std::string &className, const std::string &state = "") {
    return "<dict><key>key</key><string>" + key + "</string><key>class</key><string>" + className +
           "</string><key>state</key><dict>" + state + "</dict></dict>";
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

std::string Splitter(const std::string &key, const std::string &portClass) {
    return Node(key, "QCSplitter", "<key>portClass</key><string>" + portClass + "</string>");
}

// The seeds: every patch class of the engine, every splitter type, kernels with samplers,
// vectors and colours, published inputs and outputs.
std::vector<std::string> Seeds() {
    const std::string extent = "<key>extent</key><array><real>0</real><real>0</real><real>12</real><real>9</real></array>";
    return {
        Composition(Node("Clear", "QCClear", "<key>layer</key><integer>0</integer>") +
                        Node("Colour", "QCImageKernel",
                             "<key>source</key><string>kernel vec4 solid(__color c, vec4 v) { return c * v.x; }</string>" +
                                 extent +
                                 "<key>inputValues</key><dict><key>c</key><dict><key>red</key><real>1</real>"
                                 "<key>green</key><real>0.5</real><key>blue</key><real>0</real></dict>"
                                 "<key>v</key><array><real>1</real><real>0</real><real>0</real><real>1</real></array>"
                                 "</dict>") +
                        Node("Mix", "QCImageKernel",
                             "<key>source</key><string>kernel vec4 amount(sampler image, float a) {\n"
                             "  vec4 p = sample(image, samplerCoord(image));\n"
                             "  return a &lt; 0.5 ? mix(p, vec4(0.2, 0.2, 0.2, 1.0), a) : p.abgr;\n}</string>") +
                        Node("Billboard", "QCBillboard", "<key>layer</key><integer>1</integer>"),
                    Wire("w1", "Colour", "outputImage", "Mix", "image") +
                        Wire("w2", "Mix", "outputImage", "Billboard", "inputImage"),
                    Published("amount", "Mix", "a"), Published("result", "Mix", "outputImage")),
        Composition(Node("VideoInput_1", "QCVideoInput") +
                        Node("Blur", "QCImageKernel",
                             "<key>source</key><string>kernel vec4 twoTaps(sampler s, vec2 d) {\n"
                             "  return 0.5 * (sample(s, samplerCoord(s) + d) + sample(s, samplerCoord(s) - d));\n}</string>"
                             "<key>extent</key><string>input</string>") +
                        Splitter("Angle", "QCNumberPort") + Splitter("Tint", "QCColorPort") +
                        Splitter("Blend", "QCIndexPort") + Splitter("Offset", "QCStructurePort") +
                        Node("Clear", "QCClear") +
                        Node("Billboard", "QCBillboard",
                             "<key>layer</key><integer>2</integer><key>inputValues</key><dict><key>inputX</key>"
                             "<real>0.25</real><key>inputScale</key><real>1.5</real></dict>"),
                    Wire("a", "VideoInput_1", "outputImage", "Blur", "s") + Wire("b", "Blur", "outputImage", "Billboard", "inputImage") +
                        Wire("c", "Angle", "output", "Billboard", "inputRotation") +
                        Wire("d", "Tint", "output", "Billboard", "inputColor") +
                        Wire("e", "Blend", "output", "Billboard", "inputBlending") + Wire("f", "Offset", "output", "Blur", "d"),
                    Published("angle", "Angle", "input") + Published("tint", "Tint", "input") +
                        Published("blend", "Blend", "input") + Published("offset", "Offset", "input"),
                    Published("image", "Blur", "outputImage")),
        Composition(Splitter("Image", "QCGLImagePort") + Splitter("Flag", "QCBooleanPort") +
                        Splitter("Text", "QCStringPort") + Splitter("List", "QCStructurePort") +
                        Node("Billboard", "QCBillboard"),
                    Wire("w", "Image", "output", "Billboard", "inputImage"),
                    Published("_protocolInput_Image", "Image", "input") + Published("flag", "Flag", "input") +
                        Published("text", "Text", "input") + Published("list", "List", "input"),
                    Published("_protocolOutput_Image", "Image", "output") + Published("flagOut", "Flag", "output")),
        Composition(Node("Clear", "QCClear",
                         "<key>inputValues</key><dict><key>inputColor</key><dict><key>red</key><real>0</real>"
                         "<key>green</key><real>0</real><key>blue</key><real>0</real><key>alpha</key><real>0</real></dict></dict>"),
                    ""),
    };
}

// Every value of the tree, for picking one to change.
void Collect(PlistValue *value, std::vector<PlistValue *> *all, int depth = 0) {
    all->push_back(value);
    if (depth > 64) return;
    for (PlistValue &item : value->items) Collect(&item, all, depth + 1);
}

PlistValue *State(PlistValue &root) {
    PlistValue *rootPatch = root.find("rootPatch");
    return rootPatch ? rootPatch->find("state") : nullptr;
}

PlistValue Numbers(size_t count, double value) {
    std::vector<PlistValue> items(count, PlistValue::Real(value));
    return PlistValue::Array(std::move(items));
}

// A value of some kind, often one the reader does not expect there.
PlistValue Strange(Random &random) {
    static const double numbers[] = {0, -0.0, 1, -1, 0.5, 1e308, -1e308, 1e-320, 4294967296.0, 1e9, -2147483649.0, 3e38};
    switch (random.below(11)) {
    case 0: return PlistValue::String(random.chance(50) ? "" : "input");
    case 1: return PlistValue::Integer(random.chance(50) ? INT64_MIN : INT64_MAX);
    case 2: return PlistValue::Real(numbers[random.below(std::size(numbers))]);
    case 3: return PlistValue::Boolean(random.chance(50));
    case 4: return PlistValue::Data(std::string(random.below(64), '\x7f'));
    case 5: return PlistValue::Array();
    case 6: return PlistValue::Dictionary();
    case 7: return Numbers(random.below(6), numbers[random.below(std::size(numbers))]);
    case 8: {
        PlistValue colour = PlistValue::Dictionary();
        for (const char *key : {"red", "green", "blue", "alpha"})
            colour.set(key, PlistValue::Real(numbers[random.below(std::size(numbers))]));
        return colour;
    }
    case 9: return Numbers(random.chance(80) ? 1100 : 5000, 1);  // a huge array, past the engine's limits
    default: {
        PlistValue deep = PlistValue::Real(1);
        const size_t levels = 1 + random.below(400);
        for (size_t i = 0; i < levels; ++i) {
            PlistValue outer = PlistValue::Array();
            outer.items.push_back(std::move(deep));
            deep = std::move(outer);
        }
        return deep;
    }
    }
}

// One structural change to a composition's tree; false when it did not apply.
bool MutateTree(PlistValue &root, Random &random) {
    PlistValue *state = State(root);
    PlistValue *nodes = state ? state->find("nodes") : nullptr;
    PlistValue *connections = state ? state->find("connections") : nullptr;
    const size_t nodeCount = nodes && nodes->isArray() ? nodes->items.size() : 0;
    const size_t wireCount = connections && connections->isDictionary() ? connections->items.size() : 0;
    switch (random.below(11)) {
    case 0:  // delete a node
        if (!nodeCount) return false;
        nodes->items.erase(nodes->items.begin() + std::ptrdiff_t(random.below(nodeCount)));
        return true;
    case 1: {  // duplicate a node, under its own key or a new one
        if (!nodeCount) return false;
        PlistValue copy = nodes->items[random.below(nodeCount)];
        if (random.chance(60) && copy.find("key")) copy.set("key", PlistValue::String("Copy" + std::to_string(random.next() % 1000)));
        nodes->items.insert(nodes->items.begin() + std::ptrdiff_t(random.below(nodeCount + 1)), std::move(copy));
        return true;
    }
    case 2:  // delete a wire
        if (!wireCount) return false;
        connections->remove(connections->keys[random.below(wireCount)]);
        return true;
    case 3: {  // duplicate a wire under a new name, or turn it round (a cycle, a wrong way)
        if (!wireCount) return false;
        PlistValue copy = connections->items[random.below(wireCount)];
        if (random.chance(50) && copy.find("sourceNode") && copy.find("destinationNode")) {
            std::swap(*copy.find("sourceNode"), *copy.find("destinationNode"));
            std::swap(*copy.find("sourcePort"), *copy.find("destinationPort"));
        }
        connections->set("dup" + std::to_string(random.next() % 1000), std::move(copy));
        return true;
    }
    case 4: {  // rewire an end to another node's or port's name
        if (!wireCount || !nodeCount) return false;
        PlistValue &wire = connections->items[random.below(wireCount)];
        static const char *ends[] = {"sourceNode", "sourcePort", "destinationNode", "destinationPort"};
        static const char *ports[] = {"outputImage", "inputImage", "output", "input", "inputColor", "inputScale", "image", "a"};
        const char *end = ends[random.below(4)];
        const PlistValue *key = nodes->items[random.below(nodeCount)].find("key");
        if (std::string(end).find("Node") != std::string::npos && key) wire.set(end, *key);
        else wire.set(end, PlistValue::String(ports[random.below(std::size(ports))]));
        return true;
    }
    case 5: {  // a class swapped for another (or one nobody knows)
        if (!nodeCount) return false;
        static const char *classes[] = {"QCClear", "QCBillboard", "QCVideoInput", "QCSplitter", "QCImageKernel",
                                        "QCImageFilter", "QCPatch", "QCNothingLikeIt"};
        nodes->items[random.below(nodeCount)].set("class", PlistValue::String(classes[random.below(std::size(classes))]));
        return true;
    }
    case 6: {  // a kernel's text damaged
        for (PlistValue &node : nodes ? nodes->items : root.items) {
            PlistValue *nodeState = node.find("state");
            PlistValue *source = nodeState ? nodeState->find("source") : nullptr;
            if (!source || !source->isString() || source->text.empty()) continue;
            for (int i = 0; i < 1 + int(random.below(4)); ++i) {
                const size_t at = random.below(source->text.size());
                static const char tokens[] = "(){};,.<>*+-/=?:0123456789abcdefghijklmnopqrstuvwxyz";
                if (random.chance(30)) source->text.erase(at, random.below(8));
                else source->text[at] = tokens[random.below(sizeof tokens - 1)];
            }
            return true;
        }
        return false;
    }
    case 7: {  // a kernel with an enormous or inside-out extent
        for (PlistValue &node : nodes ? nodes->items : root.items) {
            PlistValue *nodeState = node.find("state");
            if (!nodeState || !node.find("class") || node.find("class")->text != "QCImageKernel") continue;
            static const double sizes[] = {1e8, 1e9, 65536, 1, 0.25, -5};
            const double size = sizes[random.below(std::size(sizes))];
            nodeState->set("extent", PlistValue::Array({PlistValue::Real(-size / 2), PlistValue::Real(1e7),
                                                        PlistValue::Real(size), PlistValue::Real(size)}));
            return true;
        }
        return false;
    }
    case 8: {  // many nodes (past the engine's limit or just under it)
        if (!nodeCount) return false;
        const size_t copies = random.chance(10) ? 4100 : 100;
        for (size_t i = 0; i < copies; ++i) {
            PlistValue node = PlistValue::Dictionary();
            node.set("key", PlistValue::String("Many" + std::to_string(i)));
            node.set("class", PlistValue::String(random.chance(50) ? "QCClear" : "QCVideoInput"));
            nodes->items.push_back(std::move(node));
        }
        return true;
    }
    default: {  // any value replaced by a strange one
        std::vector<PlistValue *> all;
        Collect(&root, &all);
        *all[random.below(all.size())] = Strange(random);
        return true;
    }
    }
}

// One change to a file's bytes.
void MutateBytes(std::string &xml, Random &random) {
    if (xml.empty()) return;
    switch (random.below(4)) {
    case 0:  // bytes flipped
        for (size_t i = 0, n = 1 + random.below(8); i < n; ++i) xml[random.below(xml.size())] ^= char(1 << random.below(8));
        break;
    case 1:  // cut short
        xml.resize(random.below(xml.size()));
        break;
    case 2: {  // a stretch copied elsewhere
        const size_t from = random.below(xml.size()), length = random.below(200);
        xml.insert(random.below(xml.size()), xml.substr(from, length));
        break;
    }
    default: {  // a value wrapped in thousands of arrays, past the reader's depth
        const size_t at = xml.find("<real>");
        if (at == std::string::npos) break;
        const size_t end = xml.find("</real>", at);
        std::string open, close;
        for (int i = 0; i < 2000; ++i) open += "<array>", close += "</array>";
        xml.insert(end + 7, close);
        xml.insert(at, open);
        break;
    }
    }
}

// Published inputs set to values of every kind, the wrong ones included.
QCValue OddInput(Random &random) {
    static const CIImageRef small = [] {
        const std::vector<uint8_t> bytes(size_t(3) * 2 * 4, 200);
        CFDataRef data = CFDataCreate(nullptr, bytes.data(), CFIndex(bytes.size()));
        CIImageRef image = CIImage::imageWithBitmapData(data, 12, CGSizeMake(3, 2), kCIFormatBGRA8);
        CFRelease(data);
        return image;
    }();
    switch (random.below(9)) {
    case 0: return QCValue();
    case 1: return QCValue(random.chance(50) ? 1e300 : -7.5);
    case 2: return QCValue(random.chance(50));
    case 3: return QCValue(random.chance(50) ? "12" : "not a number");
    case 4: return QCValue(CIColor::colorWithRed(2, -1, 0.5, random.chance(50) ? 1 : 0));
    case 5: return QCValue(QCStructure{1e9, -1e9, QCValue("x")});
    case 6: return QCValue(QCStructure{});
    case 7: return QCValue(small);
    default: return QCValue(CIImage::imageWithColor(CIColor::colorWithRed(0, 1, 0, 1)));  // no bounds
    }
}

// A tiny picture on one context for every renderer: a renderer on a context of its own would
// compile the engine's programs again each time.
class TinyTarget {
public:
    TinyTarget() {
        const CGLPixelFormatAttribute attributes[] = {kCGLPFAColorSize, CGLPixelFormatAttribute(24), kCGLPFAAlphaSize,
                                                      CGLPixelFormatAttribute(8), CGLPixelFormatAttribute(0)};
        GLint count = 0;
        if (CGLChoosePixelFormat(attributes, &m_format, &count) != kCGLNoError ||
            CGLCreateContext(m_format, nullptr, &m_context) != kCGLNoError || CGLSetCurrentContext(m_context) != kCGLNoError)
            return;
        glGenTextures(1, &m_texture);
        glBindTexture(GL_TEXTURE_2D, m_texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 12, 9, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glGenFramebuffers(1, &m_framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_texture, 0);
        glViewport(0, 0, 12, 9);
    }
    ~TinyTarget() {
        if (m_context) {
            glDeleteFramebuffers(1, &m_framebuffer);
            glDeleteTextures(1, &m_texture);
            CGLSetCurrentContext(nullptr);
            CGLReleaseContext(m_context);
        }
        if (m_format) CGLReleasePixelFormat(m_format);
    }
    bool ok() const { return m_framebuffer != 0; }
    std::unique_ptr<QCRenderer> renderer(QCCompositionRef composition, std::string *error) {
        return QCRenderer::rendererWithCGLContext(m_context, m_format, nullptr, std::move(composition), error);
    }

private:
    CGLPixelFormatObj m_format = nullptr;
    CGLContextObj m_context = nullptr;
    GLuint m_texture = 0, m_framebuffer = 0;
};

TEST(QCHostileCompositions, MutatedFilesOpenOrAreRefusedAndPlayWithoutFault) {
    TinyTarget target;
    ASSERT_TRUE(target.ok());
    std::vector<PlistValue> seeds;
    for (const std::string &xml : Seeds()) {
        PlistValue tree;
        std::string error;
        ASSERT_TRUE(qtzbuild::ReadPropertyList(xml, &tree, &error)) << error;
        ASSERT_NE(QCComposition::compositionWithBytes(xml.data(), xml.size(), &error), nullptr) << "seeds open: " << error;
        seeds.push_back(std::move(tree));
    }

    Random random(0x5eed2026c0ffee);
    size_t opened = 0, refused = 0, rendered = 0;
    for (int round = 0; round < 2500; ++round) {
        PlistValue tree = seeds[random.below(seeds.size())];
        for (size_t i = 0, n = 1 + random.below(3); i < n; ++i) MutateTree(tree, random);
        std::string xml, error;
        if (!qtzbuild::WritePropertyList(tree, &xml, &error)) continue;  // something XML cannot say
        if (random.chance(35)) MutateBytes(xml, random);

        QCCompositionRef composition = QCComposition::compositionWithBytes(xml.data(), xml.size(), &error);
        if (!composition) {
            ++refused;
            EXPECT_FALSE(error.empty()) << "round " << round;
            continue;
        }
        ++opened;
        EXPECT_TRUE(error.empty());
        auto renderer = target.renderer(composition, &error);
        if (!renderer) continue;
        for (int frame = 0; frame < 2; ++frame) {
            for (const std::string &key : renderer->inputKeys())
                if (random.chance(70)) renderer->setValue(OddInput(random), key);
            if (renderer->renderAtTime(frame * 0.5)) ++rendered;
            else EXPECT_FALSE(renderer->lastError().empty()) << "round " << round;
            for (const std::string &key : renderer->outputKeys()) (void)renderer->valueForOutputKey(key);
        }
    }
    // The mutations reach both sides: files refused and files played.
    EXPECT_GT(refused, 0u);
    EXPECT_GT(opened, 0u);
    EXPECT_GT(rendered, 0u);
    std::printf("hostile compositions: %zu refused, %zu opened, %zu frames rendered\n", refused, opened, rendered);
}

}  // namespace
