#include <QCam/Camera/QCamOutputBase.h>

#include <QCam/Camera/QCamDefaultCaptureFormat.h>

namespace {
constexpr uint8_t kBlackLuma = 16;
constexpr uint8_t kBlackChroma = 128;
}  // namespace

void QCamAliasFrameRecord(Q_2vuy_buffer &to, const Q_2vuy_buffer &from) {
    // The record is plain data plus a non-owning pixel pointer: an alias never frees.
    to.SetFormat(from);
    to._PixelData = from._PixelData;
    to._PixelDataSize = from._PixelDataSize;
}

QCamOutputBase::QCamOutputBase() { m_format.SetFormat(QCamDefaultCaptureFormat::Get().format); }

bool QCamOutputBase::EraseOutputBlack() {
    Q_2vuy_buffer frame;
    const bool locked = LockFrameBuffer(frame);
    if (!locked) return locked;
    frame.FillYUV(kBlackLuma, kBlackChroma, kBlackChroma);
    const bool released = ReleaseFrameBuffer(frame, 0);
    // The record only aliased the sink's pixels.
    frame._PixelData = nullptr;
    return released;
}

QCamOutputBuffer::~QCamOutputBuffer() {
    if (m_buffer.IsAllocated()) m_buffer.Free();
}

bool QCamOutputBuffer::GetFormat(Q_2vuy_format &outFormat) {
    if (!m_buffer.IsAllocated() && m_buffer.Allocate(m_format))
        m_buffer.FillYUV(kBlackLuma, kBlackChroma, kBlackChroma);
    outFormat.SetFormat(m_format);
    return true;
}

bool QCamOutputBuffer::GetFrameBuffer(Q_2vuy_buffer &outFrame) {
    QCamAliasFrameRecord(outFrame, m_buffer);
    return outFrame.IsAllocated();
}

bool QCamOutputBuffer::LockFrameBuffer(Q_2vuy_buffer &outFrame) { return GetFrameBuffer(outFrame); }

bool QCamOutputBuffer::ReleaseFrameBuffer(const Q_2vuy_buffer &, int) { return true; }
