// The engine's image and drawing patches: splitters, the video input, image filters and
// kernels, and the clear and billboard consumers.
#include <QuartzComposer/QCPatch.h>

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFData.h>
#include <CoreImage/CIFilter.h>
#include <CoreImage/CIKernel.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace {

// ---- QCSplitter: one value passed through, typed by "portClass".

bool PortTypeOfClass(const std::string &portClass, QCPortType *type) {
    static const std::map<std::string, QCPortType> types = {
        {"QCGLImagePort", QCPortType::Image},     {"QCNumberPort", QCPortType::Number},
        {"QCBooleanPort", QCPortType::Boolean},   {"QCIndexPort", QCPortType::Index},
        {"QCStringPort", QCPortType::String},     {"QCColorPort", QCPortType::Color},
        {"QCStructurePort", QCPortType::Structure},
    };
    auto it = types.find(portClass);
    if (it == types.end()) return false;
    *type = it->second;
    return true;
}

class Splitter : public QCPatch {
public:
    explicit Splitter(QCPortType type) {
        addInputPort("input", type, DefaultOf(type));
        addOutputPort("output", type);
    }
    bool execute(QCPatchContext &c) override {
        c.setOutput("output", c.input("input"));
        return true;
    }
    static QCValue DefaultOf(QCPortType type) {
        switch (type) {
        case QCPortType::Number:
        case QCPortType::Index: return QCValue(0.0);
        case QCPortType::Boolean: return QCValue(false);
        case QCPortType::String: return QCValue(std::string());
        case QCPortType::Color: return QCValue(CIColor::colorWithRed(0, 0, 0, 1));
        default: return {};
        }
    }
};

// ---- QCVideoInput: the test image, for a composition played without rewriting.

CIImageRef TestImage() {
    static const CIImageRef image = [] {
        constexpr int w = 640, h = 480;
        std::vector<UInt8> bytes(size_t(w) * h * 4);
        // Colour bars over the top two thirds, a grey ramp below (premultiplied BGRA, opaque).
        static const UInt8 bars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                         {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                UInt8 *p = &bytes[(size_t(y) * w + size_t(x)) * 4];
                UInt8 r, g, b;
                if (y < h * 2 / 3) {
                    const UInt8 *bar = bars[x * 8 / w];
                    r = bar[0], g = bar[1], b = bar[2];
                } else {
                    r = g = b = UInt8(x * 255 / (w - 1));
                }
                p[0] = b, p[1] = g, p[2] = r, p[3] = 255;
            }
        CFDataRef data = CFDataCreate(nullptr, bytes.data(), CFIndex(bytes.size()));
        CIImageRef made = CIImage::imageWithBitmapData(data, size_t(w) * 4, CGSizeMake(w, h), kCIFormatBGRA8);
        CFRelease(data);
        return made;
    }();
    return image;
}

class VideoInput : public QCPatch {
public:
    VideoInput() { addOutputPort("outputImage", QCPortType::Image); }
    bool execute(QCPatchContext &c) override {
        c.setOutput("outputImage", TestImage());
        return true;
    }
};

// ---- QCImageFilter: a registered Core Image filter; its inputs are the ports.

QCPortType PortTypeOfInput(const CIInputAttributes &a) {
    if (a.className == "CIImage") return QCPortType::Image;
    if (a.className == "CIColor") return QCPortType::Color;
    if (a.className == "CIVector" || a.className == "NSAffineTransform") return QCPortType::Structure;
    if (a.className == "NSString") return QCPortType::String;
    if (a.type == kCIAttributeTypeBoolean) return QCPortType::Boolean;
    return QCPortType::Number;
}

QCValue PortValueOf(const CIFilterValue &value) {
    if (const double *n = std::get_if<double>(&value)) return QCValue(*n);
    if (const CIColor *c = std::get_if<CIColor>(&value)) return QCValue(*c);
    if (const std::string *s = std::get_if<std::string>(&value)) return QCValue(*s);
    if (const CIVector *v = std::get_if<CIVector>(&value)) {
        QCStructure s;
        for (size_t i = 0; i < v->count(); ++i) s.push_back(QCValue(double(v->valueAtIndex(i))));
        return QCValue(std::move(s));
    }
    if (const CGAffineTransform *t = std::get_if<CGAffineTransform>(&value))
        return QCValue(QCStructure{t->a, t->b, t->c, t->d, t->tx, t->ty});
    return {};
}

// The numbers of a structure (at most `count`).
std::vector<double> NumbersOf(const QCValue &value, size_t count) {
    std::vector<double> numbers;
    for (const QCValue &v : value.structureValue()) {
        if (numbers.size() == count) break;
        numbers.push_back(v.numberValue());
    }
    return numbers;
}

class ImageFilter : public QCPatch {
public:
    ImageFilter(CIFilterRef filter) : m_filter(std::move(filter)) {
        for (const CIInputAttributes &a : m_filter->customAttributes()) {
            const QCPortType type = PortTypeOfInput(a);
            m_inputs.push_back({a.key, a.className, type});
            addInputPort(a.key, type, PortValueOf(a.defaultValue));
        }
        addOutputPort("outputImage", QCPortType::Image);
    }
    bool execute(QCPatchContext &c) override {
        for (const Input &input : m_inputs) {
            const QCValue &v = c.input(input.key);
            if (input.className == "CIImage") {
                m_filter->setValue(v.imageValue(), input.key);
            } else if (input.className == "CIColor") {
                m_filter->setValue(v.colorValue(), input.key);
            } else if (input.className == "CIVector") {
                const std::vector<double> n = NumbersOf(v, 4);
                CIVector vector;
                switch (n.size()) {
                case 0: break;
                case 1: vector = CIVector::vectorWithX(n[0]); break;
                case 2: vector = CIVector::vectorWithX(n[0], n[1]); break;
                case 3: vector = CIVector::vectorWithX(n[0], n[1], n[2]); break;
                default: vector = CIVector::vectorWithX(n[0], n[1], n[2], n[3]); break;
                }
                if (n.empty()) m_filter->setValue(CIFilterValue{}, input.key);
                else m_filter->setValue(vector, input.key);
            } else if (input.className == "NSAffineTransform") {
                const std::vector<double> n = NumbersOf(v, 6);
                if (n.size() == 6) m_filter->setValue(CGAffineTransform{n[0], n[1], n[2], n[3], n[4], n[5]}, input.key);
            } else if (input.className == "NSString") {
                m_filter->setValue(v.stringValue(), input.key);
            } else {
                m_filter->setValue(v.numberValue(), input.key);
            }
        }
        c.setOutput("outputImage", m_filter->outputImage());
        return true;
    }

private:
    struct Input {
        std::string key, className;
        QCPortType type;
    };
    CIFilterRef m_filter;
    std::vector<Input> m_inputs;
};

// ---- QCImageKernel: a kernel of the kernel language; one port per parameter.

class ImageKernel : public QCPatch {
public:
    ImageKernel(CIKernelRef kernel, std::optional<CGRect> extent) : m_kernel(std::move(kernel)), m_extent(extent) {
        using Kind = CoreImage::CIKernelParameterKind;
        for (const CoreImage::CIKernelParameter &p : m_kernel->parameters()) {
            switch (p.kind) {
            case Kind::Sampler:
            case Kind::TableSampler: addInputPort(p.name, QCPortType::Image); break;
            case Kind::Float: addInputPort(p.name, QCPortType::Number, QCValue(0.0)); break;
            case Kind::Vec2: addInputPort(p.name, QCPortType::Structure, QCValue(QCStructure{0.0, 0.0})); break;
            case Kind::Vec3: addInputPort(p.name, QCPortType::Structure, QCValue(QCStructure{0.0, 0.0, 0.0})); break;
            case Kind::Vec4: addInputPort(p.name, QCPortType::Structure, QCValue(QCStructure{0.0, 0.0, 0.0, 0.0})); break;
            case Kind::Color: addInputPort(p.name, QCPortType::Color, QCValue(CIColor::colorWithRed(0, 0, 0, 1))); break;
            }
        }
        addOutputPort("outputImage", QCPortType::Image);
    }
    bool execute(QCPatchContext &c) override {
        using Kind = CoreImage::CIKernelParameterKind;
        std::vector<CIKernelArgument> arguments;
        std::optional<CGRect> definition = m_extent;
        for (const CoreImage::CIKernelParameter &p : m_kernel->parameters()) {
            const QCValue &v = c.input(p.name);
            switch (p.kind) {
            case Kind::Sampler:
            case Kind::TableSampler: {
                CIImageRef image = v.imageValue();
                if (!definition && image) definition = image->definition();
                arguments.push_back(CISampler(image, p.kind == Kind::TableSampler ? CISamplerFilterMode::Nearest
                                                                                    : CISamplerFilterMode::Linear));
                break;
            }
            case Kind::Float: arguments.push_back(v.numberValue()); break;
            case Kind::Vec2:
            case Kind::Vec3:
            case Kind::Vec4: {
                const size_t size = p.kind == Kind::Vec2 ? 2 : p.kind == Kind::Vec3 ? 3 : 4;
                std::vector<double> n = NumbersOf(v, size);
                n.resize(size, 0.0);
                for (double &x : n)
                    if (!std::isfinite(x)) x = 0;
                arguments.push_back(size == 2 ? CIVector::vectorWithX(n[0], n[1])
                                    : size == 3 ? CIVector::vectorWithX(n[0], n[1], n[2])
                                                : CIVector::vectorWithX(n[0], n[1], n[2], n[3]));
                break;
            }
            case Kind::Color: arguments.push_back(v.colorValue(CIColor::colorWithRed(0, 0, 0, 1))); break;
            }
        }
        if (!definition) {
            // A kernel over no image draws nothing.
            c.setOutput("outputImage", CIImage::emptyImage());
            return true;
        }
        CIImageRef out = m_kernel->apply(std::move(arguments), {definition, std::nullopt, nullptr});
        c.setOutput("outputImage", out ? out : CIImage::emptyImage());
        return true;
    }

private:
    CIKernelRef m_kernel;
    std::optional<CGRect> m_extent;  // a fixed extent, or the first image's
};

// ---- QCClear: fills the destination with a colour.

class Clear : public QCPatch {
public:
    Clear() { addInputPort("inputColor", QCPortType::Color, QCValue(CIColor::colorWithRed(0, 0, 0, 1))); }
    bool isConsumer() const override { return true; }
    bool execute(QCPatchContext &c) override {
        const CIColor color = c.input("inputColor").colorValue(CIColor::colorWithRed(0, 0, 0, 1));
        const CGRect d = c.destinationPixels();
        const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
        GLint box[4];
        glGetIntegerv(GL_SCISSOR_BOX, box);
        GLfloat previous[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, previous);
        glEnable(GL_SCISSOR_TEST);
        glScissor(GLint(d.origin.x), GLint(d.origin.y), GLsizei(d.size.width), GLsizei(d.size.height));
        const double a = std::clamp(color.alpha(), 0.0, 1.0);
        glClearColor(GLfloat(color.red() * a), GLfloat(color.green() * a), GLfloat(color.blue() * a), GLfloat(a));
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(previous[0], previous[1], previous[2], previous[3]);
        glScissor(box[0], box[1], box[2], box[3]);
        if (!scissor) glDisable(GL_SCISSOR_TEST);
        return true;
    }
};

// ---- QCBillboard: an image drawn centred at (x, y), "inputScale" units wide (the
// destination is 2 units wide, origin at its centre, y up), rotated by "inputRotation"
// degrees, tinted by "inputColor", blended by "inputBlending" (0 replace, 1 over, 2 add).

const char *kTintKernel = "kernel vec4 lumoraBillboardTint(sampler image, __color tint) {\n"
                          "  return sample(image, samplerCoord(image)) * tint;\n}\n";

class Billboard : public QCPatch {
public:
    Billboard() {
        addInputPort("inputImage", QCPortType::Image);
        addInputPort("inputX", QCPortType::Number, QCValue(0.0));
        addInputPort("inputY", QCPortType::Number, QCValue(0.0));
        addInputPort("inputScale", QCPortType::Number, QCValue(2.0));
        addInputPort("inputRotation", QCPortType::Number, QCValue(0.0));
        addInputPort("inputColor", QCPortType::Color, QCValue(CIColor::colorWithRed(1, 1, 1, 1)));
        addInputPort("inputBlending", QCPortType::Index, QCValue(1.0));
    }
    bool isConsumer() const override { return true; }
    bool execute(QCPatchContext &c) override {
        CIImageRef image = c.input("inputImage").imageValue();
        CIContext *ci = c.ciContext();
        if (!image || image->isEmpty() || !ci) return true;  // nothing to draw
        const CGRect d = c.destinationPixels();
        CGRect extent = image->extent();
        if (CIRectIsInfinite(extent)) {
            // An image without bounds fills the destination.
            extent = CGRectMake(0, 0, d.size.width, d.size.height);
            image = image->imageByCroppingToRect(extent);
        }
        if (CGRectIsEmpty(extent) || extent.size.width <= 0) return true;
        const double unit = d.size.width / 2;  // pixels per unit
        const double width = c.input("inputScale").numberValue() * unit;
        if (!(std::fabs(width) > 1e-6) || !std::isfinite(width)) return true;
        const double scale = width / extent.size.width;
        const double cx = d.origin.x + d.size.width / 2 + c.input("inputX").numberValue() * unit;
        const double cy = d.origin.y + d.size.height / 2 + c.input("inputY").numberValue() * unit;
        const double angle = c.input("inputRotation").numberValue() * M_PI / 180;
        CGAffineTransform t = CGAffineTransformMakeTranslation(-CGRectGetMidX(extent), -CGRectGetMidY(extent));
        t = CGAffineTransformConcat(t, CGAffineTransformMakeScale(scale, scale));
        t = CGAffineTransformConcat(t, CGAffineTransformMakeRotation(angle));
        t = CGAffineTransformConcat(t, CGAffineTransformMakeTranslation(cx, cy));
        CIImageRef placed = image->imageByApplyingTransform(t);
        const CIColor tint = c.input("inputColor").colorValue(CIColor::colorWithRed(1, 1, 1, 1));
        if (!(tint == CIColor::colorWithRed(1, 1, 1, 1))) {
            static const CIKernelRef kernel = CIKernel::kernelsWithString(kTintKernel).front();
            placed = kernel->apply({CISampler(placed), tint}, {placed->definition(), std::nullopt, nullptr});
            if (!placed) return false;
        }
        const CGRect target = CGRectIntersection(CGRectIntegral(placed->extent()), d);
        if (CGRectIsNull(target) || CGRectIsEmpty(target)) return true;
        const GLboolean blend = glIsEnabled(GL_BLEND);
        GLint source = GL_ONE, destination = GL_ZERO;
        glGetIntegerv(GL_BLEND_SRC_RGB, &source);
        glGetIntegerv(GL_BLEND_DST_RGB, &destination);
        switch (int(c.input("inputBlending").numberValue())) {
        case 0: glDisable(GL_BLEND); break;
        case 2: glEnable(GL_BLEND), glBlendFunc(GL_ONE, GL_ONE); break;
        default: glEnable(GL_BLEND), glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA); break;
        }
        const bool ok = ci->drawImage(placed, target, target);
        glBlendFunc(GLenum(source), GLenum(destination));
        blend ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
        return ok;
    }
};

// An extent from the state: "input" (or none) for the first image's, else [x, y, w, h].
bool ExtentOf(CFDictionaryRef state, std::optional<CGRect> *extent, std::string *error) {
    std::string text;
    if (QCStateString(state, "extent", &text)) {
        if (text == "input") return true;
        *error = "\"extent\" is neither \"input\" nor a rectangle";
        return false;
    }
    CFStringRef key = CFSTR("extent");
    CFTypeRef value = CFDictionaryGetValue(state, key);
    if (!value) return true;
    const QCValue v = QCValueFromPropertyList(value);
    const std::vector<double> n = NumbersOf(v, 4);
    if (n.size() != 4 || !(n[2] > 0 && n[3] > 0) ||
        !std::all_of(n.begin(), n.end(), [](double x) { return std::isfinite(x) && std::fabs(x) < 1e9; })) {
        *error = "\"extent\" is neither \"input\" nor a rectangle";
        return false;
    }
    *extent = CGRectMake(n[0], n[1], n[2], n[3]);
    return true;
}

} // namespace

std::vector<std::pair<std::string, QCPatchFactory>> QCEnginePatchClasses() {
    return {
        {"QCSplitter",
         [](const QCCompositionNode &node, std::string *error) -> std::unique_ptr<QCPatch> {
             std::string portClass;
             QCPortType type;
             if (!QCStateString(node.state, "portClass", &portClass) || !PortTypeOfClass(portClass, &type)) {
                 *error = "a splitter needs a \"portClass\" the engine knows";
                 return nullptr;
             }
             return std::make_unique<Splitter>(type);
         }},
        {"QCVideoInput", [](const QCCompositionNode &, std::string *) { return std::make_unique<VideoInput>(); }},
        {"QCImageFilter",
         [](const QCCompositionNode &node, std::string *error) -> std::unique_ptr<QCPatch> {
             CIFilterRef filter = CIFilter::filterWithName(node.identifier);
             if (!filter) {
                 *error = "no filter is named \"" + node.identifier + "\"";
                 return nullptr;
             }
             return std::make_unique<ImageFilter>(std::move(filter));
         }},
        {"QCImageKernel",
         [](const QCCompositionNode &node, std::string *error) -> std::unique_ptr<QCPatch> {
             std::string source;
             if (!QCStateString(node.state, "source", &source)) {
                 *error = "a kernel patch needs its \"source\"";
                 return nullptr;
             }
             CoreImage::CIKernelError why;
             std::vector<CIKernelRef> kernels = CIKernel::kernelsWithString(source, &why);
             if (kernels.empty()) {
                 *error = "the kernel does not translate: line " + std::to_string(why.line) + ": " + why.message;
                 return nullptr;
             }
             std::optional<CGRect> extent;
             if (!ExtentOf(node.state, &extent, error)) return nullptr;
             return std::make_unique<ImageKernel>(kernels.front(), extent);
         }},
        {"QCClear", [](const QCCompositionNode &, std::string *) { return std::make_unique<Clear>(); }},
        {"QCBillboard", [](const QCCompositionNode &, std::string *) { return std::make_unique<Billboard>(); }},
    };
}
