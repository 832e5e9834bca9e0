#include <QuartzComposer/QCRenderer.h>

#include <QuartzComposer/QCPatch.h>

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreImage/CIContext.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <numeric>
#include <optional>
#include <vector>

namespace {

// Where an input port's value comes from.
struct InputSource {
    int node = -1;  // the node whose output feeds it, or -1
    std::string port;
};

struct NodeInstance {
    std::unique_ptr<QCPatch> patch;
    std::map<std::string, InputSource> sources;  // connected inputs
    std::map<std::string, QCValue> inputs;       // this frame's input values
    std::map<std::string, QCValue> outputs;      // this frame's outputs
    bool evaluated = false;
};

// Makes a context current for a scope and puts the previous one back.
class CurrentContext {
public:
    explicit CurrentContext(CGLContextObj context) : m_previous(CGLGetCurrentContext()) {
        if (m_previous) CGLRetainContext(m_previous);
        m_ok = CGLSetCurrentContext(context) == kCGLNoError;
    }
    ~CurrentContext() {
        CGLSetCurrentContext(m_previous);
        if (m_previous) CGLReleaseContext(m_previous);
    }
    bool ok() const { return m_ok; }

private:
    CGLContextObj m_previous;
    bool m_ok = false;
};

// The context every offscreen renderer shares with unless told otherwise, so that their
// kernels compile once for all of them. Made on first use, kept for the process.
CGLContextObj OffscreenShareRoot() {
    static CGLContextObj root = [] {
        const CGLPixelFormatAttribute attributes[] = {kCGLPFAColorSize, CGLPixelFormatAttribute(24), kCGLPFAAlphaSize,
                                                      CGLPixelFormatAttribute(8), CGLPixelFormatAttribute(0)};
        CGLPixelFormatObj format = nullptr;
        GLint count = 0;
        CGLContextObj context = nullptr;
        if (CGLChoosePixelFormat(attributes, &format, &count) == kCGLNoError && format) {
            if (CGLCreateContext(format, nullptr, &context) != kCGLNoError) context = nullptr;
            CGLReleasePixelFormat(format);
        }
        return context;
    }();
    return root;
}

} // namespace

struct QCRenderer::State : QCPatchContext {
    QCCompositionRef composition;
    std::vector<NodeInstance> nodes;
    std::vector<int> consumers;  // in drawing order
    std::map<std::string, QCValue> published;  // published inputs set from outside
    std::map<std::string, QCValue> lastOutputs;
    std::string error;

    // Drawing.
    CIContextRef ci;
    CGLContextObj context = nullptr;  // the context renders run on (retained)
    bool offscreen = false;
    GLuint framebuffer = 0, texture = 0;  // offscreen destination
    CGSize size = {0, 0};
    CGRect destination = CGRectNull;

    // The frame being rendered.
    double frameTime = 0;
    QCRenderArguments arguments;
    int current = -1;

    ~State() override {
        if (!context) return;
        {
            CurrentContext scope(context);
            if (scope.ok()) {
                if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
                if (texture) glDeleteTextures(1, &texture);
            }
            nodes.clear();  // patches may hold GL objects of the context
            ci.reset();
        }
        CGLReleaseContext(context);
    }

    // QCPatchContext
    double time() const override { return frameTime; }
    const QCValue &input(const std::string &key) const override {
        static const QCValue null;
        const NodeInstance &n = nodes[size_t(current)];
        auto it = n.inputs.find(key);
        return it == n.inputs.end() ? null : it->second;
    }
    void setOutput(const std::string &key, QCValue value) override {
        nodes[size_t(current)].outputs[key] = std::move(value);
    }
    CIContext *ciContext() override { return ci.get(); }
    CGRect destinationPixels() const override { return destination; }
    bool mouseLocation(CGPoint *location) const override {
        if (!arguments.hasMouseLocation) return false;
        *location = CGPointMake(arguments.mouseLocation.x * 2 - 1, arguments.mouseLocation.y * 2 - 1);
        return true;
    }
    bool mouseLeftButtonDown() const override { return arguments.leftButtonDown; }
    bool readPixel(const CIImageRef &image, CGPoint point, float rgba[4]) override {
        if (!image || !ci) return false;
        const CGRect pixel = CGRectMake(std::floor(point.x), std::floor(point.y), 1, 1);
        return ci->render(image, rgba, 16, pixel, kCIFormatRGBAf);
    }

    // The value an input port reads this frame.
    QCValue inputValue(int index, const QCPortDescription &port) {
        NodeInstance &n = nodes[size_t(index)];
        const QCCompositionNode &node = composition->nodes()[size_t(index)];
        auto source = n.sources.find(port.key);
        if (source != n.sources.end()) {
            if (!evaluate(source->second.node)) return {};
            const NodeInstance &from = nodes[size_t(source->second.node)];
            auto value = from.outputs.find(source->second.port);
            return QCConvertValue(value == from.outputs.end() ? QCValue() : value->second, port.type, port.defaultValue);
        }
        for (const QCCompositionPublishedPort &p : composition->publishedInputPorts()) {
            if (p.node != node.key || p.port != port.key) continue;
            auto set = published.find(p.key);
            if (set != published.end()) return QCConvertValue(set->second, port.type, port.defaultValue);
        }
        auto stored = node.inputValues.find(port.key);
        if (stored != node.inputValues.end()) return stored->second;
        return port.defaultValue;
    }

    // Runs a node once this frame (its sources first); false when it or a source failed.
    bool evaluate(int index) {
        NodeInstance &n = nodes[size_t(index)];
        if (n.evaluated) return error.empty();
        n.evaluated = true;
        for (const QCPortDescription &port : n.patch->inputPorts()) {
            QCValue value = inputValue(index, port);
            if (!error.empty()) return false;
            n.inputs[port.key] = std::move(value);
        }
        const int saved = current;
        current = index;
        n.outputs.clear();
        const bool ok = n.patch->execute(*this);
        current = saved;
        if (!ok && error.empty()) {
            const QCCompositionNode &node = composition->nodes()[size_t(index)];
            error = "node \"" + node.key + "\" (" + node.className + ") failed";
        }
        return ok;
    }
};

QCRenderer::QCRenderer(std::unique_ptr<State> state) : m_state(std::move(state)) {}
QCRenderer::~QCRenderer() = default;

static std::unique_ptr<QCRenderer::State> MakeState(QCCompositionRef composition, std::string *error) {
    auto state = std::make_unique<QCRenderer::State>();
    if (!composition) {
        if (error) *error = "no composition";
        return nullptr;
    }
    state->composition = composition;
    const auto &nodes = composition->nodes();
    state->nodes.resize(nodes.size());
    for (size_t i = 0; i < nodes.size(); ++i) {
        QCPatchFactory factory = QCPatchFactoryForClass(nodes[i].className);
        std::string why;
        state->nodes[i].patch = factory ? factory(nodes[i], &why) : nullptr;
        if (!state->nodes[i].patch) {
            if (error) *error = "node \"" + nodes[i].key + "\": " + (why.empty() ? "cannot be made" : why);
            return nullptr;
        }
        if (state->nodes[i].patch->isConsumer()) state->consumers.push_back(int(i));
    }
    for (const QCCompositionConnection &c : composition->connections()) {
        const int destination = composition->nodeIndex(c.destinationNode);
        state->nodes[size_t(destination)].sources[c.destinationPort] = {composition->nodeIndex(c.sourceNode), c.sourcePort};
    }
    std::stable_sort(state->consumers.begin(), state->consumers.end(),
                     [&](int a, int b) { return nodes[size_t(a)].layer < nodes[size_t(b)].layer; });
    return state;
}

std::unique_ptr<QCRenderer> QCRenderer::rendererWithCGLContext(CGLContextObj context, CGLPixelFormatObj,
                                                               CGColorSpaceRef, QCCompositionRef composition,
                                                               std::string *error) {
    if (!context) {
        if (error) *error = "no OpenGL context";
        return nullptr;
    }
    auto state = MakeState(std::move(composition), error);
    if (!state) return nullptr;
    state->context = CGLRetainContext(context);
    state->ci = CIContext::contextWithCGLContext(context, nullptr);
    return std::unique_ptr<QCRenderer>(new QCRenderer(std::move(state)));
}

std::unique_ptr<QCRenderer> QCRenderer::offScreenRendererWithSize(CGSize size, CGColorSpaceRef,
                                                                  QCCompositionRef composition, std::string *error,
                                                                  CGLContextObj shareContext) {
    if (!(size.width >= 1 && size.height >= 1 && size.width <= 16384 && size.height <= 16384)) {
        if (error) *error = "an offscreen size that is not 1 to 16384 pixels a side";
        return nullptr;
    }
    auto state = MakeState(std::move(composition), error);
    if (!state) return nullptr;
    state->ci = CIContext::offscreenContext(shareContext ? shareContext : OffscreenShareRoot());
    if (!state->ci) {
        if (error) *error = "no OpenGL context";
        return nullptr;
    }
    state->context = CGLRetainContext(state->ci->CGLContext());
    state->offscreen = true;
    state->size = CGSizeMake(std::floor(size.width), std::floor(size.height));
    CurrentContext scope(state->context);
    if (!scope.ok()) {
        if (error) *error = "the offscreen context cannot be made current";
        return nullptr;
    }
    glGenTextures(1, &state->texture);
    glBindTexture(GL_TEXTURE_RECTANGLE, state->texture);
    glTexImage2D(GL_TEXTURE_RECTANGLE, 0, GL_RGBA8, GLsizei(state->size.width), GLsizei(state->size.height), 0, GL_BGRA,
                 GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_RECTANGLE, 0);
    glGenFramebuffers(1, &state->framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, state->framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_RECTANGLE, state->texture, 0);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return std::unique_ptr<QCRenderer>(new QCRenderer(std::move(state)));
}

bool QCRenderer::renderAtTime(double time, const QCRenderArguments &arguments) {
    State &s = *m_state;
    s.error.clear();
    if (!std::isfinite(time)) return s.error = "a time that is not a number", false;
    std::optional<CurrentContext> scope;
    GLint previousFramebuffer = 0;
    GLint previousViewport[4] = {0, 0, 0, 0};
    if (s.offscreen) {
        scope.emplace(s.context);
        if (!scope->ok()) return s.error = "the offscreen context cannot be made current", false;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previousFramebuffer);
        glGetIntegerv(GL_VIEWPORT, previousViewport);
        glBindFramebuffer(GL_FRAMEBUFFER, s.framebuffer);
        glViewport(0, 0, GLsizei(s.size.width), GLsizei(s.size.height));
    } else if (CGLGetCurrentContext() != s.context) {
        return s.error = "the renderer's OpenGL context is not current", false;
    }
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    s.destination = CGRectMake(viewport[0], viewport[1], viewport[2], viewport[3]);
    s.frameTime = time;
    s.arguments = arguments;
    for (NodeInstance &n : s.nodes) n.evaluated = false;
    bool ok = true;
    for (int consumer : s.consumers) ok = ok && s.evaluate(consumer);
    s.lastOutputs.clear();
    for (const QCCompositionPublishedPort &p : s.composition->publishedOutputPorts()) {
        const int node = s.composition->nodeIndex(p.node);
        if (!ok || !s.evaluate(node)) {
            ok = false;
            break;
        }
        auto value = s.nodes[size_t(node)].outputs.find(p.port);
        s.lastOutputs[p.key] = value == s.nodes[size_t(node)].outputs.end() ? QCValue() : value->second;
    }
    if (s.offscreen) {
        glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previousFramebuffer));
        glViewport(previousViewport[0], previousViewport[1], previousViewport[2], previousViewport[3]);
    }
    if (!ok) s.lastOutputs.clear();
    return ok && s.error.empty();
}

std::vector<std::string> QCRenderer::inputKeys() const { return m_state->composition->inputKeys(); }
std::vector<std::string> QCRenderer::outputKeys() const { return m_state->composition->outputKeys(); }

bool QCRenderer::setValue(const QCValue &value, const std::string &inputKey) {
    for (const QCCompositionPublishedPort &p : m_state->composition->publishedInputPorts()) {
        if (p.key != inputKey) continue;
        m_state->published[inputKey] = value;
        return true;
    }
    return false;
}

QCValue QCRenderer::valueForInputKey(const std::string &inputKey) const {
    auto set = m_state->published.find(inputKey);
    if (set != m_state->published.end()) return set->second;
    for (const QCCompositionPublishedPort &p : m_state->composition->publishedInputPorts()) {
        if (p.key != inputKey) continue;
        const int node = m_state->composition->nodeIndex(p.node);
        const auto &stored = m_state->composition->nodes()[size_t(node)].inputValues;
        auto it = stored.find(p.port);
        if (it != stored.end()) return it->second;
        const QCPortDescription *port = m_state->nodes[size_t(node)].patch->inputPort(p.port);
        return port ? port->defaultValue : QCValue();
    }
    return {};
}

QCValue QCRenderer::valueForOutputKey(const std::string &outputKey) const {
    auto it = m_state->lastOutputs.find(outputKey);
    return it == m_state->lastOutputs.end() ? QCValue() : it->second;
}

CGImageRef QCRenderer::createSnapshotCGImage() {
    State &s = *m_state;
    std::optional<CurrentContext> scope;
    GLint framebuffer = 0;
    CGRect region;
    if (s.offscreen) {
        scope.emplace(s.context);
        if (!scope->ok()) return nullptr;
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &framebuffer);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, s.framebuffer);
        region = CGRectMake(0, 0, s.size.width, s.size.height);
    } else {
        if (CGLGetCurrentContext() != s.context || CGRectIsNull(s.destination)) return nullptr;
        region = s.destination;
    }
    const size_t width = size_t(region.size.width), height = size_t(region.size.height);
    if (width == 0 || height == 0) return nullptr;
    const size_t rowBytes = width * 4;
    CFMutableDataRef data = CFDataCreateMutable(nullptr, CFIndex(rowBytes * height));
    CFDataSetLength(data, CFIndex(rowBytes * height));
    UInt8 *bytes = CFDataGetMutableBytePtr(data);
    GLint alignment = 4, rowLength = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_PACK_ROW_LENGTH, &rowLength);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    // GL's rows run bottom up; the image's top down.
    for (size_t row = 0; row < height; ++row)
        glReadPixels(GLint(region.origin.x), GLint(region.origin.y + double(height - 1 - row)), GLsizei(width), 1,
                     GL_BGRA, GL_UNSIGNED_BYTE, bytes + row * rowBytes);
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    glPixelStorei(GL_PACK_ROW_LENGTH, rowLength);
    if (s.offscreen) glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(framebuffer));
    CGDataProviderRef provider = CGDataProviderCreateWithCFData(data);
    CFRelease(data);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGImageRef image = CGImageCreate(width, height, 8, 32, rowBytes, space,
                                     kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, provider, nullptr,
                                     false, kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    return image;
}

CIImageRef QCRenderer::createSnapshotCIImage() {
    CGImageRef image = createSnapshotCGImage();
    if (!image) return nullptr;
    CIImageRef result = CIImage::imageWithCGImage(image);
    CGImageRelease(image);
    return result;
}

const QCComposition &QCRenderer::composition() const { return *m_state->composition; }
const std::string &QCRenderer::lastError() const { return m_state->error; }
