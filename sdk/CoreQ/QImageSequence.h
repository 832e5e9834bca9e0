// QImageSequence: the owner of one image decompression sequence.
//
// Frames are decompressed synchronously: when DecompressSequenceFrameS returns, the frame
// is in the sequence's destination world. Ending the object ends its sequence.
#pragma once

#include <QuickTime/ImageCompression.h>

class QImageSequence {
public:
    QImageSequence() : mSeqID(0) {}
    ~QImageSequence() { SequenceEnd(); }
    QImageSequence(const QImageSequence &) = delete;
    QImageSequence &operator=(const QImageSequence &) = delete;

    bool IsRunning() const { return mSeqID != 0; }

    // Ends a running sequence (reporting an error); no sequence runs afterwards.
    OSErr SequenceEnd();
    // Decompresses one frame, synchronously. paramErr when no sequence runs.
    OSErr DecompressSequenceFrameS(Ptr data, long dataSize);
    // Ends a running sequence, then begins one from frames of the description into the
    // world, through the matrix (null: identity), in copy mode with no clip or mask.
    OSErr DecompressSequenceBegin(ImageDescriptionHandle description, CGrafPtr port, MatrixRecordPtr matrix,
                                  CodecQ accuracy, DecompressorComponent codec);

    ImageSequence mSeqID;
};
