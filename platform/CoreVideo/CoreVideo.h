// Core Video: the umbrella header.
#pragma once

#include <CoreVideo/CVPixelBuffer.h>
#include <CoreVideo/CVReturn.h>
