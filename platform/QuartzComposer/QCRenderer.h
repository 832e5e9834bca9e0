// QCRenderer: plays a composition frame by frame.
//
// On a CGL context, a render draws into whatever framebuffer is bound in it when
// renderAtTime is called (the context must be current on the calling thread), with the
// viewport as the destination. Offscreen, the renderer has a context and a framebuffer of
// its own of the given size. Published inputs keep their value until set again; published
// outputs are read after a render. Snapshots read the destination back.
#pragma once

#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGGeometry.h>
#include <CoreGraphics/CGImage.h>
#include <CoreImage/CIImage.h>
#include <OpenGL/OpenGL.h>
#include <QuartzComposer/QCComposition.h>
#include <QuartzComposer/QCValue.h>

#include <memory>
#include <string>
#include <vector>

// The arguments of a render ("QCRuntimeMouseLocationKey", "QCRuntimeEventKey"): the mouse
// position in the destination (0..1 across it, origin bottom-left) and its left button.
struct QCRenderArguments {
    bool hasMouseLocation = false;
    CGPoint mouseLocation = {0, 0};
    bool leftButtonDown = false;
};

class QCRenderer {
public:
    // Null, with the reason in `error`, when the composition is null or its patches cannot be
    // made.
    static std::unique_ptr<QCRenderer> rendererWithCGLContext(CGLContextObj context, CGLPixelFormatObj pixelFormat,
                                                              CGColorSpaceRef colorSpace, QCCompositionRef composition,
                                                              std::string *error = nullptr);
    // Offscreen renderers share their GL objects with `shareContext`, or by default with one
    // context of the engine's, so a kernel compiles once for all of them.
    static std::unique_ptr<QCRenderer> offScreenRendererWithSize(CGSize size, CGColorSpaceRef colorSpace,
                                                                 QCCompositionRef composition,
                                                                 std::string *error = nullptr,
                                                                 CGLContextObj shareContext = nullptr);
    ~QCRenderer();

    // Renders the frame at `time` seconds. False, drawing nothing, when the context is not
    // current here (on a CGL context), or a patch fails (lastError names the node).
    bool renderAtTime(double time, const QCRenderArguments &arguments = {});

    std::vector<std::string> inputKeys() const;
    std::vector<std::string> outputKeys() const;
    // False for a key the composition does not publish.
    bool setValue(const QCValue &value, const std::string &inputKey);
    QCValue valueForInputKey(const std::string &inputKey) const;
    // The value of a published output after the last render (null before).
    QCValue valueForOutputKey(const std::string &outputKey) const;

    // The destination as the last render left it: a CGImage owned by the caller, or a CIImage
    // of its pixels (an image of its own, independent of the renderer). "CGImage" and
    // "CIImage" are the types of createSnapshotImageOfType.
    CGImageRef createSnapshotCGImage();
    CIImageRef createSnapshotCIImage();

    const QCComposition &composition() const;
    const std::string &lastError() const;

    struct State;

private:
    explicit QCRenderer(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};
