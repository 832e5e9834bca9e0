// Shared pixel surfaces: the umbrella header.
#pragma once

#include <IOSurface/IOSurfaceRef.h>
