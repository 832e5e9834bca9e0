#include <CoreQ/QFramework.h>

#include <CoreX/CoreMachDebugLog.h>

namespace {

bool EnsureLoaded(T_CFBaseDLL<I_CFBundleDLL> &sQuickTime) {
    VERIFY(sQuickTime.LoadSystemFramework());
    return VERIFY_TEXT(sQuickTime.IsFrameworkLoaded(), " code : sQuickTime.IsLoaded()");
}

void ClearDataReference(Handle *dataRef, OSType *dataRefType) {
    if (dataRef != nullptr) *dataRef = nullptr;
    if (dataRefType != nullptr) *dataRefType = 0;
}

}  // namespace

T_CFBaseDLL<I_CFBundleDLL> &QFramework::QuickTime() {
    // Never destroyed: the framework stays loaded for code running late at exit.
    static T_CFBaseDLL<I_CFBundleDLL> *sQuickTime = new T_CFBaseDLL<I_CFBundleDLL>(CFSTR("QuickTime.framework"));
    return *sQuickTime;
}

bool QFramework::SampleNumToMediaDecodeTime(Media media, SInt64 sampleNum, TimeValue64 *decodeTime,
                                            TimeValue64 *decodeDuration) {
    return SampleNumToMediaDecodeTime(QuickTime(), media, sampleNum, decodeTime, decodeDuration);
}

OSErr QFramework::NewDataReferenceFromFSRefCFString(const FSRef *folderRef, CFStringRef name, UInt32 flags,
                                                    Handle *dataRef, OSType *dataRefType) {
    return NewDataReferenceFromFSRefCFString(QuickTime(), folderRef, name, flags, dataRef, dataRefType);
}

OSErr QFramework::NewDataReferenceFromFSRef(const FSRef *ref, UInt32 flags, Handle *dataRef, OSType *dataRefType) {
    return NewDataReferenceFromFSRef(QuickTime(), ref, flags, dataRef, dataRefType);
}

bool QFramework::SampleNumToMediaDecodeTime(T_CFBaseDLL<I_CFBundleDLL> &sQuickTime, Media media, SInt64 sampleNum,
                                            TimeValue64 *decodeTime, TimeValue64 *decodeDuration) {
    if (decodeTime != nullptr) *decodeTime = 0;
    if (decodeDuration != nullptr) *decodeDuration = 0;
    if (!EnsureLoaded(sQuickTime)) return false;
    using SampleNumToMediaDecodeTimeFn = void (*)(Media, SInt64, TimeValue64 *, TimeValue64 *);
    using GetMoviesErrorFn = OSErr (*)();
    auto sampleNumToMediaDecodeTime = reinterpret_cast<SampleNumToMediaDecodeTimeFn>(
        sQuickTime.FunctionPointerForName(CFSTR("SampleNumToMediaDecodeTime")));
    auto getMoviesError = reinterpret_cast<GetMoviesErrorFn>(sQuickTime.FunctionPointerForName(CFSTR("GetMoviesError")));
    if (!VERIFY_TEXT(sampleNumToMediaDecodeTime != nullptr && getMoviesError != nullptr,
                     " code : SampleNumToMediaDecodeTime(media, sampleNum, decodeTime, decodeDuration)"))
        return false;
    sampleNumToMediaDecodeTime(media, sampleNum, decodeTime, decodeDuration);
    const OSErr error = getMoviesError();
    bool fOk;
    if (!VERIFY(fOk = (error==noErr))) {
        CoreMachDebugLog("%d=SampleNumToMediaDecodeTime()\n", int(error));
        if (decodeTime != nullptr) *decodeTime = 0;
        if (decodeDuration != nullptr) *decodeDuration = 0;
    }
    return fOk;
}

OSErr QFramework::NewDataReferenceFromFSRefCFString(T_CFBaseDLL<I_CFBundleDLL> &sQuickTime, const FSRef *folderRef,
                                                    CFStringRef name, UInt32 flags, Handle *dataRef,
                                                    OSType *dataRefType) {
    ClearDataReference(dataRef, dataRefType);
    if (!EnsureLoaded(sQuickTime)) return paramErr;
    using NewDataReferenceFn = OSErr (*)(const FSRef *, CFStringRef, UInt32, Handle *, OSType *);
    auto newDataReference = reinterpret_cast<NewDataReferenceFn>(
        sQuickTime.FunctionPointerForName(CFSTR("QTNewDataReferenceFromFSRefCFString")));
    // A framework without the function must not pass for a success with no data reference.
    if (!VERIFY(newDataReference)) return paramErr;
    const OSErr result = newDataReference(folderRef, name, flags, dataRef, dataRefType);
    VERIFY(result==noErr);
    return result;
}

OSErr QFramework::NewDataReferenceFromFSRef(T_CFBaseDLL<I_CFBundleDLL> &sQuickTime, const FSRef *ref, UInt32 flags,
                                            Handle *dataRef, OSType *dataRefType) {
    ClearDataReference(dataRef, dataRefType);
    if (!EnsureLoaded(sQuickTime)) return paramErr;
    return QTNewDataReferenceFromFSRef(ref, flags, dataRef, dataRefType);
}
