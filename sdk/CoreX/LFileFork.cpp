#include <CoreX/LFileFork.h>

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/LFSRef.h>
#include <CoreX/LHFSUnicodeName.h>

bool import_LFileFork() { return import_CoreMachDebugLog() && import_LHFSUnicodeName(); }

LFileFork::~LFileFork() {
    if (IsOpen()) Close();
}

bool LFileFork::Open(const FSRef *theFileRef, const HFSUniStr255 &forkName, SInt8 permissions) {
    if (IsOpen()) Close();
    if (!VERIFY(theFileRef)) return false;
    FSIORefNum forkRef = -1;
    const OSErr err = FSOpenFork(theFileRef, forkName.length, forkName.unicode, permissions, &forkRef);
    bool fOk;
    if (!VERIFY(fOk = (err==noErr))) return false;
    mRef = forkRef;
    return fOk;
}

bool LFileFork::OpenData(const LFSRef &theFileRef, SInt8 permissions) {
    FSRef normalRef;
    if (!VERIFY(theFileRef.GetNormalizedRef(normalRef))) return false;
    return Open(&normalRef, LHFSUnicodeName::sDataFork(), permissions);
}

bool LFileFork::OpenData(const FSSpec &theSpec, SInt8 permissions) {
    FSRef theRef;
    if (!VERIFY(noErr==FSpMakeFSRef(&theSpec, &theRef))) return false;
    bool fOk;
    VERIFY(fOk = Open(&theRef,LHFSUnicodeName::sDataFork(),permissions));
    return fOk;
}

bool LFileFork::Create(const FSRef *theFileRef, const HFSUniStr255 &forkName) {
    if (!VERIFY(theFileRef)) return false;
    return VERIFY(noErr==::FSCreateFork(theFileRef, forkName.length, forkName.unicode));
}

bool LFileFork::CreateData(const FSRef *theFileRef) { return Create(theFileRef, LHFSUnicodeName::sDataFork()); }

bool LFileFork::CreateData(const FSSpec &theFileSpec) {
    FSRef theRef;
    if (!VERIFY(noErr==::FSpMakeFSRef(&theFileSpec,&theRef))) return false;
    bool fOk;
    VERIFY(fOk=Create(&theRef,LHFSUnicodeName::sDataFork()));
    return fOk;
}

bool LFileFork::Read(void *buffer, ByteCount requestCount, ByteCount *actualCount, UInt16 positionMode,
                     SInt64 positionOffset) {
    if (actualCount != nullptr) *actualCount = 0;
    if (!VERIFY(IsOpen())) return false;
    ByteCount done = 0;
    const OSErr err = FSReadFork(mRef, positionMode, positionOffset, requestCount, buffer, &done);
    if (actualCount != nullptr) *actualCount = done;
    // The end of the fork after the bytes that were there is an ordinary answer.
    if (err == eofErr) return done > 0 || requestCount == 0;
    return VERIFY(err==noErr);
}

bool LFileFork::Write(const void *buffer, ByteCount requestCount, ByteCount *actualCount, UInt16 positionMode,
                      SInt64 positionOffset) {
    if (actualCount != nullptr) *actualCount = 0;
    if (!VERIFY(IsOpen())) return false;
    ByteCount done = 0;
    const OSErr err = FSWriteFork(mRef, positionMode, positionOffset, requestCount, buffer, &done);
    if (actualCount != nullptr) *actualCount = done;
    return VERIFY(err==noErr);
}

bool LFileFork::GetPosition(SInt64 &out_position) {
    out_position = 0;
    if (!VERIFY(IsOpen())) return false;
    return VERIFY(noErr==FSGetForkPosition(mRef, &out_position));
}

bool LFileFork::SetPosition(UInt16 positionMode, SInt64 positionOffset) {
    if (!VERIFY(IsOpen())) return false;
    return VERIFY(noErr==FSSetForkPosition(mRef, positionMode, positionOffset));
}

bool LFileFork::GetSize(SInt64 &out_size) {
    out_size = 0;
    if (!VERIFY(IsOpen())) return false;
    return VERIFY(noErr==FSGetForkSize(mRef, &out_size));
}

bool LFileFork::Close() {
    OSErr err;
    const bool fOk = VERIFY(noErr==(err=::FSCloseFork(mRef)));
    mRef = -1;
    return fOk;
}

bool LFileFork::DeleteForkName(const FSRef *theFileRef, const HFSUniStr255 &forkName) {
    if (!VERIFY(theFileRef)) return false;
    const FSRef &theFileRefToDelete = *theFileRef;
    OSErr err = ::FSDeleteFork(&theFileRefToDelete, forkName.length, forkName.unicode);
    if (err == errFSForkNotFound) return true;
    return VERIFY_OSERR(err) == noErr;
}

bool LFileFork::DeleteResourceFork(const FSRef *theFileRef) {
    return DeleteForkName(theFileRef, LHFSUnicodeName::sResourceFork());
}

bool LFileFork::DeleteDataFork(const FSRef *theFileRef) { return DeleteForkName(theFileRef, LHFSUnicodeName::sDataFork()); }
