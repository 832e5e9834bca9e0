// LFileFork: one open fork of a file (the data fork is the file's content; the resource
// fork is kept by the File Manager beside it). The fork is closed when the object goes.
//
// Failed calls are reported through the debug log and answered as false.
#pragma once

#include <Carbon/Carbon.h>

class LFSRef;

class LFileFork {
public:
    LFileFork() = default;
    ~LFileFork();
    LFileFork(const LFileFork &) = delete;
    LFileFork &operator=(const LFileFork &) = delete;

    bool IsOpen() const { return mRef != -1; }
    FSIORefNum GetRefNum() const { return mRef; }

    // Opens the named fork of the file (read and write when no permission is given).
    bool Open(const FSRef *theFileRef, const HFSUniStr255 &forkName, SInt8 permissions = fsRdWrPerm);
    bool OpenData(const LFSRef &theFileRef, SInt8 permissions = fsRdWrPerm);
    bool OpenData(const FSSpec &theSpec, SInt8 permissions = fsRdWrPerm);

    // Creates the named fork of the file (which stays closed).
    static bool Create(const FSRef *theFileRef, const HFSUniStr255 &forkName);
    static bool CreateData(const FSRef *theFileRef);
    static bool CreateData(const FSSpec &theFileSpec);

    // Reading and writing at the fork's mark (or at the position mode and offset given);
    // *actualCount (when not null) tells how many bytes were moved.
    bool Read(void *buffer, ByteCount requestCount, ByteCount *actualCount = nullptr, UInt16 positionMode = fsAtMark,
              SInt64 positionOffset = 0);
    bool Write(const void *buffer, ByteCount requestCount, ByteCount *actualCount = nullptr,
               UInt16 positionMode = fsAtMark, SInt64 positionOffset = 0);
    bool GetPosition(SInt64 &out_position);
    bool SetPosition(UInt16 positionMode, SInt64 positionOffset);
    bool GetSize(SInt64 &out_size);

    // Closes the fork; the object is closed afterwards whatever the result.
    bool Close();

    // Deletes a fork of the file. A fork that is not there counts as deleted.
    static bool DeleteForkName(const FSRef *theFileRef, const HFSUniStr255 &forkName);
    static bool DeleteResourceFork(const FSRef *theFileRef);
    static bool DeleteDataFork(const FSRef *theFileRef);

private:
    FSIORefNum mRef = -1;
};

bool import_LFileFork();
