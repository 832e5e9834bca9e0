#include "FuzzSupport.h"

#include <CoreX/CoreMachDebugLog.h>

namespace lumora::fuzz {

void Start() {
    // Failed checks on bad input are expected by the thousand: send them to syslog rather
    // than standard error (the default sink copies them there) or a log file in the
    // user's folder.
    CoreMachDebugLogSetUseLogger(kCoreLogOutput_Syslog);
}

}  // namespace lumora::fuzz

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    lumora::fuzz::Start();
    return 0;
}
