#include <CoreQ/QImageSequence.h>

#include <CoreX/CoreMachDebugLog.h>

OSErr QImageSequence::SequenceEnd() {
    OSErr err = noErr;
    if (mSeqID != 0) err = OSErr(VERIFY_OSERR(CDSequenceEnd(mSeqID)));
    mSeqID = 0;
    return err;
}

OSErr QImageSequence::DecompressSequenceFrameS(Ptr data, long dataSize) {
    if (mSeqID == 0) return paramErr;
    return OSErr(VERIFY_OSERR(::DecompressSequenceFrameS(mSeqID, data, dataSize, 0, nullptr, nullptr)));
}

OSErr QImageSequence::DecompressSequenceBegin(ImageDescriptionHandle description, CGrafPtr port,
                                              MatrixRecordPtr matrix, CodecQ accuracy,
                                              DecompressorComponent codec) {
    SequenceEnd();
    if (!VERIFY(description != nullptr) || !VERIFY(port != nullptr)) return paramErr;
    ImageSequence sequence = 0;
    const OSErr err = OSErr(VERIFY_OSERR(::DecompressSequenceBegin(&sequence, description, port, nullptr, nullptr,
                                                                   matrix, srcCopy, nullptr, 0, accuracy, codec)));
    mSeqID = err == noErr ? sequence : 0;
    return err;
}
