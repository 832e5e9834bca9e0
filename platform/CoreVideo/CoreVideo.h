// Core Video: the umbrella header.
#pragma once

#include <CoreVideo/CVImageBuffer.h>
#include <CoreVideo/CVOpenGLTextureCache.h>
#include <CoreVideo/CVPixelBuffer.h>
#include <CoreVideo/CVReturn.h>
