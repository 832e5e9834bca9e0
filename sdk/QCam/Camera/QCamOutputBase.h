// QCamOutputBase: the sink into which the camera source switcher (QCamReflecter) writes each
// finished '2vuy' frame; QCamOutputBuffer: its one implementation, owning a single frame of
// the output format.
//
// Writing is lock, fill, release: LockFrameBuffer hands out the sink's own frame record (the
// writer fills its rows in place), ReleaseFrameBuffer ends the write. Readers get the same
// record through GetFrameBuffer. Lock and release are a protocol, not a mutex: the sink is
// written and read on the main thread only.
//
// A frame is allocated when its pixels, data size, width, height and row bytes are all
// non-zero; the buffer allocates it at the first GetFormat and frees it in the destructor.
//
// Black is video-range black: Y 16, Cb 128, Cr 128.
#pragma once

#include <CoreG/Frames422/Q_2vuy_buffer.h>

class QCamOutputBase {
public:
    // The output format is copied from the default capture format.
    QCamOutputBase();
    virtual ~QCamOutputBase() = default;
    QCamOutputBase(const QCamOutputBase &) = delete;
    QCamOutputBase &operator=(const QCamOutputBase &) = delete;

    virtual bool ReservedQuery1() { return false; }
    virtual bool ReservedQuery2() { return false; }
    // The output format (the sink may allocate its frame first); true when it answers.
    virtual bool GetFormat(Q_2vuy_format &outFormat) = 0;
    // The current frame record (an alias of the sink's pixels): true when it is allocated.
    virtual bool GetFrameBuffer(Q_2vuy_buffer &outFrame) = 0;
    // The record to write into; true when it can be written.
    virtual bool LockFrameBuffer(Q_2vuy_buffer &outFrame) = 0;
    // Ends a write; flag 0 for still and black frames, 1 for movie frames.
    virtual bool ReleaseFrameBuffer(const Q_2vuy_buffer &frame, int flag) = 0;
    virtual bool ReservedOperation1() { return true; }
    virtual bool ReservedOperation2() { return true; }
    virtual bool ReservedOperation3() { return true; }
    virtual bool ReservedOperation4() { return true; }
    virtual bool ReservedOperation5() { return true; }

    // Lock, fill with black (Y 16, Cb 128, Cr 128), release with flag 0. The lock's result
    // when the lock fails, else the release's.
    bool EraseOutputBlack();

    Q_2vuy_format m_format;
};

class QCamOutputBuffer : public QCamOutputBase {
public:
    QCamOutputBuffer() = default;
    // Frees the frame when allocated.
    ~QCamOutputBuffer() override;

    // Allocates the frame with the output format when not yet allocated (a format without
    // rows never allocates), then copies the output format out. True.
    bool GetFormat(Q_2vuy_format &outFormat) override;
    // An alias record of the frame: true when that record is allocated.
    bool GetFrameBuffer(Q_2vuy_buffer &outFrame) override;
    bool LockFrameBuffer(Q_2vuy_buffer &outFrame) override;
    // True; the frame was written in place.
    bool ReleaseFrameBuffer(const Q_2vuy_buffer &frame, int flag) override;

    Q_2vuy_buffer m_buffer;
};

// Copies the six fields of `from` into `to` without owning the pixels (an alias record).
void QCamAliasFrameRecord(Q_2vuy_buffer &to, const Q_2vuy_buffer &from);
