// Desktop OpenGL as the graphics code calls it: the system's OpenGL headers with every
// extension entry point declared (the compatibility profile: fixed function, ARB shader
// objects and fragment programs, EXT framebuffer objects, rectangle textures...).
#pragma once

#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/gl.h>
#include <GL/glext.h>
