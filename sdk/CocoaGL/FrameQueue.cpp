#include "FrameQueue.h"

bool import_FrameQueue() { return import_UFoundationObjectQueue(); }
