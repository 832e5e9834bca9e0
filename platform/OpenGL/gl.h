// Desktop OpenGL as the graphics code calls it: the system's OpenGL headers with every
// extension entry point declared (the compatibility profile: fixed function, ARB shader
// objects and fragment programs, EXT framebuffer objects, rectangle textures...).
#pragma once

#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/gl.h>
#include <GL/glext.h>

// The rectangle-texture names under the EXT spelling the graphics code uses (the same values
// as the ARB extension and OpenGL 3.1).
#ifndef GL_TEXTURE_RECTANGLE_EXT
#define GL_TEXTURE_RECTANGLE_EXT 0x84F5
#endif
#ifndef GL_TEXTURE_BINDING_RECTANGLE_EXT
#define GL_TEXTURE_BINDING_RECTANGLE_EXT 0x84F6
#endif
