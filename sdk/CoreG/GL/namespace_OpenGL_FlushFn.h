// The end of a frame of an OpenGL view: flush, finish, swap, or the view's own action.
#pragma once

#include <cstdint>
#include <functional>

// Flush kinds of FlushDescriptor::mFlushFn.
enum : int32_t {
    OpenGL_Flush_WithBlock = -1,  // the action instead of a GL call
    OpenGL_Flush_None = 0,
    OpenGL_Flush_FlushApple = 1,  // glFlushRenderAPPLE
    OpenGL_Flush_FlushGL = 2,     // glFlush
    OpenGL_Flush_FinishApple = 3, // glFinishRenderAPPLE
    OpenGL_Flush_FinishGL = 4,    // glFinish
    OpenGL_Flush_SwapApple = 5,   // glSwapAPPLE
    OpenGL_Flush_SwapGL = 6,      // glSwapAPPLE
};

// The end-of-frame setting each OpenGL view holds: the flush kind and the view's own
// end-of-frame action (may be empty), which takes the in-flush flag.
struct FlushDescriptor {
    int32_t mFlushFn = OpenGL_Flush_None;
    std::function<void(bool)> mFlushBlock;
};

namespace OpenGL {

// Ends a frame as the descriptor says. Kinds -1 to 6 except 0 log one line
// ("namespace_OpenGL_FlushFn:<kind name>:in_flush:<flag>"); kinds 1 to 6 make their GL call
// on the current context only when `inFlush` is true; kind -1 calls the action with the
// flag instead. Pending GL errors are then discarded and, for every kind other than -1, the
// action is called with the flag. A null descriptor does nothing.
void FlushFn(FlushDescriptor *descriptor, bool inFlush);

}  // namespace OpenGL
