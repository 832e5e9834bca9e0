// The OpenGL utility library (the system's GLU).
#pragma once

#include <OpenGL/gl.h>
#include <GL/glu.h>
