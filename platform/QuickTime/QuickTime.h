// The QuickTime layer: Memory Manager handles, QuickDraw worlds, image descriptions,
// graphics importers and the Movie Toolbox.
#pragma once

#include <QuickTime/Components.h>
#include <QuickTime/FixMath.h>
#include <QuickTime/ImageCompression.h>
#include <QuickTime/MacMemory.h>
#include <QuickTime/Movies.h>
#include <QuickTime/QuickDraw.h>
#include <QuickTime/QuickTimeComponents.h>
