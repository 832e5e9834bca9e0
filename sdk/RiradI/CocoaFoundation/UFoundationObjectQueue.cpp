#include "UFoundationObjectQueue.h"

bool import_UFoundationObjectQueue() { return true; }
