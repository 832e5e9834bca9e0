// Internal to the OpenGL layer: the surface textures of a share group (CGLIOSurface.cpp) as
// the contexts (CGLContext.cpp) see them.
#pragma once

#include <OpenGL/OpenGL.h>

#include <memory>

namespace cgl {

// What one share group knows of its surface textures. Every context of the group holds it;
// it ends with the group's last context (the textures end with the group too).
struct SurfaceTextures;

std::shared_ptr<SurfaceTextures> NewSurfaceTextures();

// The group's record (CGLContext.cpp): that of the context's share context, or its own.
SurfaceTextures &SurfaceTexturesOf(CGLContextObj context);

// A sync point (see CGLIOSurface.h) for the group of `context`, the calling thread's current
// context. Costs one atomic load when the process has no surface texture.
void SyncSurfaceTextures(CGLContextObj context);

}  // namespace cgl
