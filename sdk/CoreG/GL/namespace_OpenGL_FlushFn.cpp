#include <CoreG/GL/namespace_OpenGL_FlushFn.h>

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <CoreX/CoreMachDebugLog.h>
#include <OpenGL/glext.h>

namespace OpenGL {

void FlushFn(FlushDescriptor *descriptor, bool inFlush) {
    if (descriptor == nullptr) return;
    const int flag = inFlush ? 1 : 0;
    switch (descriptor->mFlushFn) {
    case OpenGL_Flush_WithBlock:
        CoreMachDebugLog("namespace_OpenGL_FlushFn:OpenGL_Flush_WithBlock:in_flush:%d\n", flag);
        if (descriptor->mFlushBlock) descriptor->mFlushBlock(inFlush);
        break;
    case OpenGL_Flush_None:
        break;
    case OpenGL_Flush_FlushApple:
        CoreMachDebugLog("namespace_OpenGL_FlushFn:OpenGL_Flush_FlushApple:in_flush:%d\n", flag);
        if (inFlush) glFlushRenderAPPLE();
        break;
    case OpenGL_Flush_FlushGL:
        CoreMachDebugLog("namespace_OpenGL_FlushFn:OpenGL_Flush_FlushGL:in_flush:%d\n", flag);
        if (inFlush) glFlush();
        break;
    case OpenGL_Flush_FinishApple:
        CoreMachDebugLog("namespace_OpenGL_FlushFn:OpenGL_Flush_FinishApple:in_flush:%d\n", flag);
        if (inFlush) glFinishRenderAPPLE();
        break;
    case OpenGL_Flush_FinishGL:
        CoreMachDebugLog("namespace_OpenGL_FlushFn:OpenGL_Flush_FinishGL:in_flush:%d\n", flag);
        if (inFlush) glFinish();
        break;
    case OpenGL_Flush_SwapApple:
        CoreMachDebugLog("namespace_OpenGL_FlushFn:OpenGL_Flush_SwapApple:in_flush:%d\n", flag);
        if (inFlush) glSwapAPPLE();
        break;
    case OpenGL_Flush_SwapGL:
        CoreMachDebugLog("namespace_OpenGL_FlushFn:OpenGL_Flush_SwapGL:in_flush:%d\n", flag);
        if (inFlush) glSwapAPPLE();
        break;
    default:
        break;
    }
    DiscardGLErrors();
    if (descriptor->mFlushFn != OpenGL_Flush_WithBlock && descriptor->mFlushBlock) descriptor->mFlushBlock(inFlush);
}

}  // namespace OpenGL
