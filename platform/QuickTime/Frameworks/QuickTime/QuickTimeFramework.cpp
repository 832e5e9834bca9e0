// The executable of QuickTime.framework: the functions that code looks up by name in the
// loaded framework, each forwarded to the QuickTime layer of the program that loaded it
// (see QuickTimeEntryPoints.h). Only these entry points are exported.
#include <QuickTime/QuickTimeEntryPoints.h>

#define LUMORA_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The program's table; its size tells which entries it has.
const LumoraQuickTimeEntryPoints *Implementation() {
    const LumoraQuickTimeEntryPoints *table = LumoraQuickTimeImplementation();
    return table != nullptr && table->size >= sizeof(LumoraQuickTimeEntryPoints) ? table : nullptr;
}

}  // namespace

LUMORA_EXPORT OSErr GetMoviesError(void) {
    const LumoraQuickTimeEntryPoints *table = Implementation();
    return table != nullptr ? table->GetMoviesError() : OSErr(paramErr);
}

LUMORA_EXPORT void SampleNumToMediaDecodeTime(Media theMedia, SInt64 logicalSampleNum, TimeValue64 *sampleDecodeTime,
                                              TimeValue64 *sampleDecodeDuration) {
    if (const LumoraQuickTimeEntryPoints *table = Implementation()) {
        table->SampleNumToMediaDecodeTime(theMedia, logicalSampleNum, sampleDecodeTime, sampleDecodeDuration);
        return;
    }
    if (sampleDecodeTime != nullptr) *sampleDecodeTime = 0;
    if (sampleDecodeDuration != nullptr) *sampleDecodeDuration = 0;
}

LUMORA_EXPORT OSErr QTNewDataReferenceFromFSRefCFString(const FSRef *directoryRef, CFStringRef fileName, UInt32 flags,
                                                        Handle *outDataRef, OSType *outDataRefType) {
    const LumoraQuickTimeEntryPoints *table = Implementation();
    if (table == nullptr) return paramErr;
    return table->QTNewDataReferenceFromFSRefCFString(directoryRef, fileName, flags, outDataRef, outDataRefType);
}
