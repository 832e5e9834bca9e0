// LumoraFBORenderer: the input stack's Core Image renderer, which waits for the GPU at the end
// of every surface render (glFinish for both the flush and the finish step), so each render is
// complete on the GPU when it returns.
#pragma once

#include <CocoaQZ/CoreImage/CIContextFBORenderer.h>

class LumoraFBORenderer : public CIContextFBORenderer {
public:
    // A renderer on a new surface of the size; null when none could be made.
    static std::shared_ptr<LumoraFBORenderer> rendererWithWidthPixels(uint32_t widthPixels, uint32_t heightPixels) {
        return makeRenderer<LumoraFBORenderer>(widthPixels, heightPixels);
    }
    void renderToSurfaceEndFlushGL() override;
    void renderToSurfaceEndFinishGL() override;
    // How many times a render waited for the GPU (for tests).
    unsigned finishCount() const { return mFinishCount; }

private:
    unsigned mFinishCount = 0;
};

bool import_LumoraFBORenderer();
