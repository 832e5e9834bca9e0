#include "QuickTimeEntryPoints.h"

const LumoraQuickTimeEntryPoints *LumoraQuickTimeImplementation(void) {
    static constexpr LumoraQuickTimeEntryPoints kEntryPoints = {
        sizeof(LumoraQuickTimeEntryPoints),
        GetMoviesError,
        SampleNumToMediaDecodeTime,
        QTNewDataReferenceFromFSRefCFString,
    };
    return &kEntryPoints;
}
