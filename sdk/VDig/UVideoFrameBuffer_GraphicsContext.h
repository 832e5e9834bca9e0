// A frame that Quartz draws into: an 'ARGB' bitmap context (bytes A R G B, alpha
// premultiplied, device RGB) owns the pixels and the frame is a view of them; text is drawn
// centred in the frame or in its lower third. Drawing takes the frame lock with a try-lock
// and skips its work while the lock is held elsewhere.
#pragma once

#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>
#include <CoreG/Drawing/namespace_CoreGraphics_CoreTextMessage.h>
#include <CoreX/UVideoFrameBuffer.h>

namespace UVideoFrameBuffer {

class GraphicsContext : public Base {
public:
    GraphicsContext() = default;
    ~GraphicsContext() override;
    using Base::Construct;

    // Drops the old bitmap and makes a width x height 'ARGB' frame (canonical row bytes)
    // erased to the background colour. False for an empty or too large size, or while the
    // frame lock is held elsewhere.
    bool Construct(CGSize size) override;
    // Drops the bitmap and empties the frame (nothing while the frame lock is held elsewhere).
    void Destruct();

    // Background grey 0.05, text grey 0.1 (both opaque), font "Gill Sans".
    void SetDefaultDrawTextProperties();
    // Clears the bitmap and fills it with the background colour.
    bool EraseBackground();
    // Only clears it (transparent black).
    bool EraseBackgroundTransparent();
    // The text centred in the whole frame.
    bool DrawTextCentered(const char *text);
    // The text centred in the rectangle from y = 0, full width, a third of the height: the
    // lower third in the bitmap's bottom-up coordinates.
    bool DrawTextCenteredLowerThird(const char *text);

    CoreGraphics::CoreTextMessage mTextMessage;
    CoreGraphics::BitmapContext mBitmapContext;

private:
    bool DrawText(const char *text, CGRect rect);
};

}  // namespace UVideoFrameBuffer

bool import_UVideoFrameBuffer_GraphicsContext();
