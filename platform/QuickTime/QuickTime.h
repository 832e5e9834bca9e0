// The QuickTime layer: Memory Manager handles, QuickDraw worlds, image descriptions and
// decompression sequences, graphics importers, the Sequence Grabber and the Movie Toolbox.
#pragma once

#include <QuickTime/Components.h>
#include <QuickTime/FixMath.h>
#include <QuickTime/ImageCompression.h>
#include <QuickTime/MacMemory.h>
#include <QuickTime/Microseconds.h>
#include <QuickTime/Movies.h>
#include <QuickTime/QuickDraw.h>
#include <QuickTime/QuickTimeComponents.h>
#include <QuickTime/SequenceGrabber.h>
#include <QuickTime/StandardCompression.h>
