// The image unit's own class names. The unit is compiled with
// LUMORA_FRAMESHARING_CILUMORAINPUT, which gives its copy of the frame-sharing Mach classes
// the prefix CILumoraInput_ (FrameSharing/Mach/FrameSharingClassNames.h); the unit's client
// classes carry the same prefix, so that none of them meets a class of the application when
// the unit runs inside the application.
#pragma once

#include <FrameSharing/Mach/FrameSharingClassNames.h>

#if defined(LUMORA_FRAMESHARING_CILUMORAINPUT)
#define IOSurfaceMachClientConnection CILumoraInput_IOSurfaceMachClientConnection
#define IOSurfaceMachClientConnectionDelegate CILumoraInput_IOSurfaceMachClientConnectionDelegate
#define IOSurfaceSharingClientQuartz CILumoraInput_IOSurfaceSharingClientQuartz
#define import_IOSurfaceMachClientConnection CILumoraInput_import_IOSurfaceMachClientConnection
#define import_IOSurfaceSharingClientQuartz CILumoraInput_import_IOSurfaceSharingClientQuartz
#endif
