// Core Video: the umbrella header.
#pragma once

#include <CoreVideo/CVBase.h>
#include <CoreVideo/CVDisplayLink.h>
#include <CoreVideo/CVHostTime.h>
#include <CoreVideo/CVImageBuffer.h>
#include <CoreVideo/CVOpenGLTextureCache.h>
#include <CoreVideo/CVPixelBuffer.h>
#include <CoreVideo/CVReturn.h>
