#include <CoreG/Capture/CGImageDataWrapper.h>

bool CGImageDataWrapper::SetCGImageBufferImage(UVideoFrameBuffer::CGImageBuffer &buffer, CGImageRef image) {
    if (buffer.HasCFTypeRef()) buffer.mCFTypeRefData.Release();
    if (!buffer.SetCFTypeRef(image)) return false;
    // The image held now, kept alive while its bytes are copied outside the image lock.
    CGImageRef held = buffer.CopyCFTypeRef();
    if (held == nullptr) return false;
    const bool copied = buffer.mCFTypeRefData.CopyImageData(held);
    CFRelease(held);
    return copied;
}

bool import_CGImageDataWrapper() { return import_UVideoFrameBuffer_CGImageBuffer(); }
