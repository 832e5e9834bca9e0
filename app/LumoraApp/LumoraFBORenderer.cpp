#include "LumoraFBORenderer.h"

#include <OpenGL/gl.h>

void LumoraFBORenderer::renderToSurfaceEndFlushGL() {
    glFinish();
    ++mFinishCount;
}

void LumoraFBORenderer::renderToSurfaceEndFinishGL() {
    glFinish();
    ++mFinishCount;
}

bool import_LumoraFBORenderer() { return import_CIContextFBORenderer(); }
