// The mask of an image view: it follows the view's picture when updated, and keeps its bytes
// when the view shows nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <AppKit/NSImageView.h>
#include <CocoaGraphics/NSCGMaskContextFromImageView.h>
#include <CoreGraphics/CoreGraphics.h>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The mask's bytes, read through its image.
Bytes MaskBytes(NSCGMaskContextBase &context) {
    CGImageRef image = context.copyMaskImageRef();
    if (image == nullptr) return {};
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    const Bytes bytes(CFDataGetBytePtr(data), CFDataGetBytePtr(data) + CFDataGetLength(data));
    CFRelease(data);
    CGImageRelease(image);
    return bytes;
}

std::shared_ptr<NSImage> GreyImage(long width, long height, uint8_t value) {
    auto bitmap = NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, width, height, 8, 1, false, false,
                                                             NSDeviceWhiteColorSpace, NSBitmapFormat(0), 0, 8);
    std::fill(bitmap->bitmapData(), bitmap->bitmapData() + bitmap->dataSize(), value);
    auto image = std::make_shared<NSImage>();
    image->addRepresentation(bitmap);
    return image;
}

class ImageViewMaskTest : public corex_test::DebugLogFileTest, public riradi_test::WithApplication {};

TEST_F(ImageViewMaskTest, MaskFollowsThePictureOfTheView) {
    NSImageView view;
    view.setImage(GreyImage(4, 3, 10));
    NSCGMaskContextFromImageView context(&view, 4, 3);
    EXPECT_EQ(context.imageView(), &view);
    EXPECT_EQ(MaskBytes(context), Bytes(12, 10));  // read when made

    // A new picture of another size, taken when the holder asks.
    view.setImage(GreyImage(8, 6, 200));
    EXPECT_EQ(MaskBytes(context), Bytes(12, 10));
    EXPECT_TRUE(context.maskUpdate());
    EXPECT_EQ(MaskBytes(context), Bytes(12, 200));

    // Without a picture, or without a view, the mask stays as it was.
    view.setImage(nullptr);
    EXPECT_FALSE(context.maskUpdate());
    EXPECT_EQ(MaskBytes(context), Bytes(12, 200));
    context.setImageView(nullptr);
    EXPECT_EQ(context.imageView(), nullptr);
    EXPECT_FALSE(context.maskUpdate());
    EXPECT_EQ(LogText(), "");

    // An image without bitmaps is reported.
    NSImageView other;
    other.setImage(std::make_shared<NSImage>(NSMakeSize(4, 3)));
    context.setImageView(&other);
    EXPECT_FALSE(context.maskUpdate());
    EXPECT_EQ(MaskBytes(context), Bytes(12, 200));
    EXPECT_EQ(LogText(), "VERIFY FAILED:  code : bitmapImageRep in "
                         "/Code/sdk/RiradI/CocoaGraphics/NSCGMaskContextFromImageView:65 "
                         "(-[NSCGMaskContextFromImageView maskUpdate])\n");
}

TEST_F(ImageViewMaskTest, DestroyedViewIsLetGo) {
    auto view = std::make_unique<NSImageView>();
    view->setImage(GreyImage(2, 2, 0));
    NSCGMaskContextFromImageView context(view.get(), 2, 2);
    EXPECT_EQ(MaskBytes(context), Bytes(4, 0));
    view.reset();
    EXPECT_EQ(context.imageView(), nullptr);
    EXPECT_FALSE(context.maskUpdate());
    EXPECT_EQ(MaskBytes(context), Bytes(4, 0));
}

}  // namespace
