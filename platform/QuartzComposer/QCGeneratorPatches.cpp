// The engine's drawing generators: sprites (a quad of a colour or an image) and particle
// systems. Both use the billboard's unit coordinates: the destination is 2 units wide, the
// origin at its centre, y up.
#include <QuartzComposer/QCPatch.h>

#include <CoreImage/CIKernel.h>
#include <OpenGL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

const CIColor kWhite = CIColor::colorWithRed(1, 1, 1, 1);

// Sets the blending of "inputBlending" (0 replace, 1 over, 2 add; others over) and puts the
// caller's back when it goes.
class BlendingScope {
public:
    explicit BlendingScope(int blending) {
        m_enabled = glIsEnabled(GL_BLEND);
        glGetIntegerv(GL_BLEND_SRC_RGB, &m_sourceRGB);
        glGetIntegerv(GL_BLEND_DST_RGB, &m_destinationRGB);
        glGetIntegerv(GL_BLEND_SRC_ALPHA, &m_sourceAlpha);
        glGetIntegerv(GL_BLEND_DST_ALPHA, &m_destinationAlpha);
        switch (blending) {
        case 0: glDisable(GL_BLEND); break;
        case 2: glEnable(GL_BLEND), glBlendFunc(GL_ONE, GL_ONE); break;
        default: glEnable(GL_BLEND), glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA); break;
        }
    }
    ~BlendingScope() {
        glBlendFuncSeparate(GLenum(m_sourceRGB), GLenum(m_destinationRGB), GLenum(m_sourceAlpha),
                            GLenum(m_destinationAlpha));
        m_enabled ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
    }
    BlendingScope(const BlendingScope &) = delete;
    BlendingScope &operator=(const BlendingScope &) = delete;

private:
    GLboolean m_enabled;
    GLint m_sourceRGB = GL_ONE, m_destinationRGB = GL_ZERO, m_sourceAlpha = GL_ONE, m_destinationAlpha = GL_ZERO;
};

// ---- QCSprite: a quad "inputWidth" x "inputHeight" units centred at ("inputX", "inputY"),
// rotated by "inputRotation" degrees (counter-clockwise): the image stretched over it and
// tinted by "inputColor", or the colour alone without an image. Negative sizes mirror.

const char *kTintKernel = "kernel vec4 lumoraSpriteTint(sampler image, __color tint) {\n"
                          "  return sample(image, samplerCoord(image)) * tint;\n}\n";

class Sprite : public QCPatch {
public:
    Sprite() {
        addInputPort("inputImage", QCPortType::Image);
        addInputPort("inputX", QCPortType::Number, QCValue(0.0));
        addInputPort("inputY", QCPortType::Number, QCValue(0.0));
        addInputPort("inputWidth", QCPortType::Number, QCValue(1.0));
        addInputPort("inputHeight", QCPortType::Number, QCValue(1.0));
        addInputPort("inputRotation", QCPortType::Number, QCValue(0.0));
        addInputPort("inputColor", QCPortType::Color, QCValue(kWhite));
        addInputPort("inputBlending", QCPortType::Index, QCValue(1.0));
    }
    bool isConsumer() const override { return true; }
    bool execute(QCPatchContext &c) override {
        CIContext *ci = c.ciContext();
        const CGRect d = c.destinationPixels();
        if (!ci || CGRectIsEmpty(d)) return true;
        const double unit = d.size.width / 2;  // pixels per unit
        const double width = c.input("inputWidth").numberValue() * unit;
        const double height = c.input("inputHeight").numberValue() * unit;
        // Nothing to draw for a quad of no area, or one far beyond any destination.
        if (!(std::fabs(width) > 1e-6 && std::fabs(height) > 1e-6 && std::fabs(width) < 1e6 && std::fabs(height) < 1e6))
            return true;
        const CIColor color = c.input("inputColor").colorValue(kWhite);
        CIImageRef image = c.input("inputImage").imageValue();
        CIImageRef quad;  // the quad centred at the origin, in pixels
        if (image && !image->isEmpty()) {
            CGRect extent = image->extent();
            if (CIRectIsInfinite(extent)) {
                // An image without bounds: its part under the destination.
                extent = CGRectMake(0, 0, d.size.width, d.size.height);
                image = image->imageByCroppingToRect(extent);
            }
            if (!(extent.size.width > 0 && extent.size.height > 0)) return true;
            CGAffineTransform t = CGAffineTransformMakeTranslation(-CGRectGetMidX(extent), -CGRectGetMidY(extent));
            t = CGAffineTransformConcat(
                t, CGAffineTransformMakeScale(width / extent.size.width, height / extent.size.height));
            quad = image->imageByApplyingTransform(t);
            if (!(color == kWhite)) {
                static const CIKernelRef kernel = CIKernel::kernelsWithString(kTintKernel).front();
                quad = kernel->apply({CISampler(quad), color}, {quad->definition(), std::nullopt, nullptr});
                if (!quad) return false;
            }
        } else {
            const double w = std::fabs(width), h = std::fabs(height);
            quad = CIImage::imageWithColor(color)->imageByCroppingToRect(CGRectMake(-w / 2, -h / 2, w, h));
        }
        const double angle = c.input("inputRotation").numberValue() * M_PI / 180;
        const double cx = d.origin.x + d.size.width / 2 + c.input("inputX").numberValue() * unit;
        const double cy = d.origin.y + d.size.height / 2 + c.input("inputY").numberValue() * unit;
        if (!std::isfinite(angle) || !(std::fabs(cx) < 1e7 && std::fabs(cy) < 1e7)) return true;
        const CGAffineTransform place = CGAffineTransformConcat(CGAffineTransformMakeRotation(angle),
                                                                CGAffineTransformMakeTranslation(cx, cy));
        CIImageRef placed = quad->imageByApplyingTransform(place);
        const CGRect target = CGRectIntersection(CGRectIntegral(placed->extent()), d);
        if (CGRectIsNull(target) || CGRectIsEmpty(target)) return true;
        BlendingScope blending(int(c.input("inputBlending").numberValue()));
        return ci->drawImage(placed, target, target);
    }
};

// ---- QCParticleSystem: "inputCount" particles from ("inputX", "inputY"), each living
// "inputLifeTime" seconds, then born again. A particle's velocity (units per second) is drawn
// between the minimum and maximum velocities; "inputGravity" accelerates it along y (units
// per second squared; negative pulls down). Particles are "inputSize" units wide, of
// "inputColor", fading out over their life, drawn over what is there (premultiplied over):
// the image when there is one, else a soft round dot.
//
// Nothing is kept from frame to frame: particle i is born at (i / count + k) * life for every
// whole k, so the system at a time is the same whatever frames came before, and its
// velocities come from a hash of the seed, i and k: the same seed and time give the same
// particles, another seed others.

constexpr int kMaxParticles = 4096;
constexpr int kDotSize = 32;          // the side of the dot texture
constexpr int kMaxSpriteSide = 256;   // an image is drawn into a texture at most this wide

uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}
// A number in [0, 1) from a hash.
double Unit(uint64_t h) { return double(h >> 11) * (1.0 / 9007199254740992.0); }

// The current binding of `query` as a name.
GLuint Binding(GLenum query) {
    GLint name = 0;
    glGetIntegerv(query, &name);
    return GLuint(name);
}

class ParticleSystem : public QCPatch {
public:
    ParticleSystem() {
        addInputPort("inputImage", QCPortType::Image);
        addInputPort("inputCount", QCPortType::Index, QCValue(64.0));
        addInputPort("inputLifeTime", QCPortType::Number, QCValue(1.0));
        addInputPort("inputSize", QCPortType::Number, QCValue(0.05));
        addInputPort("inputX", QCPortType::Number, QCValue(0.0));
        addInputPort("inputY", QCPortType::Number, QCValue(0.0));
        addInputPort("inputMinVelocityX", QCPortType::Number, QCValue(-0.25));
        addInputPort("inputMaxVelocityX", QCPortType::Number, QCValue(0.25));
        addInputPort("inputMinVelocityY", QCPortType::Number, QCValue(0.25));
        addInputPort("inputMaxVelocityY", QCPortType::Number, QCValue(0.75));
        addInputPort("inputGravity", QCPortType::Number, QCValue(-0.5));
        addInputPort("inputColor", QCPortType::Color, QCValue(kWhite));
        addInputPort("inputSeed", QCPortType::Index, QCValue(0.0));
    }
    ~ParticleSystem() override {
        // The renderer destroys its patches with its context current.
        if (!m_context || CGLGetCurrentContext() != m_context) return;
        if (m_framebuffer) glDeleteFramebuffers(1, &m_framebuffer);
        const GLuint textures[2] = {m_dot, m_sprite};
        for (GLuint t : textures)
            if (t) glDeleteTextures(1, &t);
    }
    bool isConsumer() const override { return true; }

    bool execute(QCPatchContext &c) override {
        const CGRect d = c.destinationPixels();
        const int count = int(std::min(c.input("inputCount").numberValue(), double(kMaxParticles)));
        const double life = c.input("inputLifeTime").numberValue();
        const double size = c.input("inputSize").numberValue();
        const double time = c.time();
        if (CGRectIsEmpty(d) || count <= 0 || !(life > 0) || !(size > 0) || !std::isfinite(time)) return true;
        if (!m_context) m_context = CGLGetCurrentContext();
        if (CGLGetCurrentContext() != m_context) return false;

        GLuint texture = 0;
        CIImageRef image = c.input("inputImage").imageValue();
        if (image && !image->isEmpty()) {
            if (!drawSprite(c, image)) return false;
            texture = m_sprite;
        } else {
            texture = dot();
        }
        if (!texture) return true;

        // Unit coordinates to the viewport's normalised ones: x as it is, y by the aspect.
        const double aspect = d.size.width / d.size.height;
        const CIColor color = c.input("inputColor").colorValue(kWhite);
        const double alpha = std::clamp(color.alpha(), 0.0, 1.0);
        const double rgb[3] = {std::clamp(color.red(), 0.0, 1.0) * alpha, std::clamp(color.green(), 0.0, 1.0) * alpha,
                               std::clamp(color.blue(), 0.0, 1.0) * alpha};
        const double x0 = c.input("inputX").numberValue(), y0 = c.input("inputY").numberValue();
        const double minX = c.input("inputMinVelocityX").numberValue(), maxX = c.input("inputMaxVelocityX").numberValue();
        const double minY = c.input("inputMinVelocityY").numberValue(), maxY = c.input("inputMaxVelocityY").numberValue();
        const double gravity = c.input("inputGravity").numberValue();
        const uint64_t seed = Mix(uint64_t(c.input("inputSeed").numberValue()));
        const double half = std::min(size, 1e3) / 2;

        GLState saved;
        glUseProgram(0);
        glActiveTexture(GL_TEXTURE0);
        glBindSampler(0, 0);
        glDisable(GL_TEXTURE_RECTANGLE);  // it would win over the 2D texture
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glBegin(GL_QUADS);
        for (int i = 0; i < count; ++i) {
            // Cycles of this particle since time 0, and its age in the current one.
            const double cycles = time / life - double(i) / count;
            const double k = std::floor(cycles);
            const double age = (cycles - k) * life;
            if (!std::isfinite(age) || std::fabs(k) > 9e15) continue;
            const uint64_t h = Mix(seed ^ Mix(uint64_t(i) ^ Mix(uint64_t(int64_t(k)))));
            const double vx = minX + (maxX - minX) * Unit(h);
            const double vy = minY + (maxY - minY) * Unit(Mix(h));
            const double x = x0 + vx * age;
            const double y = y0 + vy * age + gravity * age * age / 2;
            if (!(std::fabs(x) < 1e6 && std::fabs(y) < 1e6)) continue;
            const double fade = 1 - age / life;
            glColor4d(rgb[0] * fade, rgb[1] * fade, rgb[2] * fade, alpha * fade);
            const double left = x - half, right = x + half;
            const double bottom = (y - half) * aspect, top = (y + half) * aspect;
            glTexCoord2d(0, 0), glVertex2d(left, bottom);
            glTexCoord2d(1, 0), glVertex2d(right, bottom);
            glTexCoord2d(1, 1), glVertex2d(right, top);
            glTexCoord2d(0, 1), glVertex2d(left, top);
        }
        glEnd();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        return true;
    }

private:
    // What the drawing changes, put back when it goes.
    struct GLState {
        GLState() {
            program = Binding(GL_CURRENT_PROGRAM);
            activeTexture = Binding(GL_ACTIVE_TEXTURE);
            glActiveTexture(GL_TEXTURE0);
            texture = Binding(GL_TEXTURE_BINDING_2D);
            sampler = Binding(GL_SAMPLER_BINDING);
            texturing = glIsEnabled(GL_TEXTURE_2D);
            rectangleTexturing = glIsEnabled(GL_TEXTURE_RECTANGLE);
            glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &environment);
            glGetFloatv(GL_CURRENT_COLOR, color);
            glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
        }
        ~GLState() {
            glMatrixMode(GLenum(matrixMode));
            glColor4fv(color);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, environment);
            texturing ? glEnable(GL_TEXTURE_2D) : glDisable(GL_TEXTURE_2D);
            if (rectangleTexturing) glEnable(GL_TEXTURE_RECTANGLE);
            glBindSampler(0, sampler);
            glBindTexture(GL_TEXTURE_2D, texture);
            glActiveTexture(activeTexture);
            glUseProgram(program);
        }
        GLState(const GLState &) = delete;
        GLState &operator=(const GLState &) = delete;
        GLuint program, activeTexture, texture, sampler;
        GLboolean texturing, rectangleTexturing;
        GLint environment = GL_MODULATE, matrixMode = GL_MODELVIEW;
        GLfloat color[4] = {1, 1, 1, 1};
        BlendingScope blending{1};
    };

    // The soft round dot: white, premultiplied, fading to nothing at its rim. Made once.
    GLuint dot() {
        if (m_dot) return m_dot;
        std::vector<GLubyte> pixels(size_t(kDotSize) * kDotSize * 4);
        for (int y = 0; y < kDotSize; ++y)
            for (int x = 0; x < kDotSize; ++x) {
                const double dx = (x + 0.5) / kDotSize * 2 - 1, dy = (y + 0.5) / kDotSize * 2 - 1;
                const double r = std::sqrt(dx * dx + dy * dy);
                const double a = r >= 1 ? 0 : (1 - r * r) * (1 - r * r);
                const GLubyte v = GLubyte(std::lround(a * 255));
                GLubyte *p = &pixels[(size_t(y) * kDotSize + size_t(x)) * 4];
                p[0] = p[1] = p[2] = p[3] = v;
            }
        const GLuint previous = Binding(GL_TEXTURE_BINDING_2D);
        glGenTextures(1, &m_dot);
        glBindTexture(GL_TEXTURE_2D, m_dot);
        setTextureParameters();
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kDotSize, kDotSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        glBindTexture(GL_TEXTURE_2D, previous);
        return m_dot;
    }

    static void setTextureParameters() {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }

    // Draws the image into the sprite texture (its bounds, at most kMaxSpriteSide pixels a
    // side; an image without bounds gives a square of it), the first row at the bottom.
    bool drawSprite(QCPatchContext &c, CIImageRef image) {
        CIContext *ci = c.ciContext();
        if (!ci) return false;
        CGRect extent = image->extent();
        if (CIRectIsInfinite(extent)) {
            extent = CGRectMake(0, 0, 16, 16);
            image = image->imageByCroppingToRect(extent);
        }
        if (!(extent.size.width > 0 && extent.size.height > 0)) return true;
        const double scale = std::min(1.0, kMaxSpriteSide / std::max(extent.size.width, extent.size.height));
        const int width = std::max(1, int(std::ceil(extent.size.width * scale)));
        const int height = std::max(1, int(std::ceil(extent.size.height * scale)));
        CGAffineTransform t = CGAffineTransformMakeTranslation(-extent.origin.x, -extent.origin.y);
        t = CGAffineTransformConcat(t, CGAffineTransformMakeScale(width / extent.size.width, height / extent.size.height));
        const CIImageRef placed = image->imageByApplyingTransform(t);

        const GLuint previousTexture = Binding(GL_TEXTURE_BINDING_2D);
        if (!m_sprite || width != m_spriteWidth || height != m_spriteHeight) {
            if (!m_sprite) glGenTextures(1, &m_sprite);
            glBindTexture(GL_TEXTURE_2D, m_sprite);
            setTextureParameters();
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
            glBindTexture(GL_TEXTURE_2D, previousTexture);
            m_spriteWidth = width, m_spriteHeight = height;
        }
        if (!m_framebuffer) glGenFramebuffers(1, &m_framebuffer);
        const GLuint previousFramebuffer = Binding(GL_DRAW_FRAMEBUFFER_BINDING);
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        GLfloat clear[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_framebuffer);
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_sprite, 0);
        glDisable(GL_SCISSOR_TEST);
        glViewport(0, 0, width, height);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        bool ok;
        {
            BlendingScope replace(0);
            const CGRect all = CGRectMake(0, 0, width, height);
            ok = ci->drawImage(placed, all, all);
        }
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, previousFramebuffer);
        glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
        glClearColor(clear[0], clear[1], clear[2], clear[3]);
        if (scissor) glEnable(GL_SCISSOR_TEST);
        return ok;
    }

    CGLContextObj m_context = nullptr;  // where the textures live
    GLuint m_dot = 0, m_sprite = 0, m_framebuffer = 0;
    int m_spriteWidth = 0, m_spriteHeight = 0;
};

} // namespace

std::vector<std::pair<std::string, QCPatchFactory>> QCGeneratorPatchClasses() {
    return {
        {"QCSprite", [](const QCCompositionNode &, std::string *) { return std::make_unique<Sprite>(); }},
        {"QCParticleSystem", [](const QCCompositionNode &, std::string *) { return std::make_unique<ParticleSystem>(); }},
    };
}
