// The picture-based mask: the grey remap table for contrast, brightness and inversion, and the
// controller that remaps a mask read from its view's picture and shows it.
#include <NSUIMaskInstanceNibbler/NSUIMaskGreyRemapTable.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskImageViewController.h>

#include <AppKit/NSButton.h>
#include <CocoaGraphics/NSCGMaskContextFromImageView.h>
#include <UICocoaControls/NSSlider.h>

#include <CoreGraphics/CGDataProvider.h>
#include <CoreGraphics/CGImage.h>

#include "../RiradITestApplication.h"

#include <QImage>

#include <gtest/gtest.h>

#include <vector>

namespace {

// Grey i at column i of a 256 x 1 opaque picture.
std::shared_ptr<NSImage> GreyRamp() {
    QImage ramp(256, 1, QImage::Format_RGBA8888);
    for (int i = 0; i < 256; ++i) ramp.setPixelColor(i, 0, QColor(i, i, i));
    return NSImage::imageWithQImage(ramp);
}

std::vector<int> Bytes(CGImageRef image) {
    std::vector<int> bytes;
    if (image == nullptr) return bytes;
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    const UInt8 *p = CFDataGetBytePtr(data);
    bytes.assign(p, p + CGImageGetWidth(image));
    CFRelease(data);
    return bytes;
}

class Receiver : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void maskChanged(QObject *sender) { senders.push_back(sender); }
    std::vector<QObject *> senders;
};

struct MaskPanel : riradi_test::WithApplication {
    MaskPanel() {
        controller.setContrastSlider(&contrast);
        controller.setBrightnessSlider(&brightness);
        controller.setInvertButton(&invert);
        controller.setImageView(&view);
        controller.setMaskSizePixels(NSMakeSize(256, 1));
        controller.awakeFromNib();
        controller.setTarget(&receiver);
        controller.setAction("maskChanged");
        view.NSImageView::setImage(GreyRamp());
    }
    NSSlider contrast, brightness;
    NSButton invert;
    NSUIMaskImageView view;
    NSUIMaskImageViewController controller;
    Receiver receiver;
};

}  // namespace

TEST(NSUIMaskGreyRemapTable, ContrastBrightnessAndInversion) {
    const struct {
        const char *name;
        float contrast, brightness;
        bool inverted;
        std::vector<std::pair<int, int>> entries;  // grey -> remapped grey
    } cases[] = {
        {"identity", 1, 1, false, {{0, 0}, {1, 1}, {127, 127}, {128, 128}, {254, 254}, {255, 255}}},
        {"inverted identity", 1, 1, true, {{0, 255}, {1, 254}, {127, 128}, {128, 127}, {255, 0}}},
        {"brightness 2: above 127 saturates", 1, 2, false, {{0, 0}, {64, 128}, {127, 254}, {128, 255}, {255, 255}}},
        {"brightness 0: black", 1, 0, false, {{0, 0}, {128, 0}, {255, 0}}},
        {"contrast 0: mid grey", 0, 1, false, {{0, 128}, {200, 128}, {255, 128}}},
        {"contrast 2 spreads around the middle", 2, 1, false, {{0, 0}, {64, 0}, {65, 2}, {128, 129}, {191, 255}, {255, 255}}},
        {"contrast 6 and brightness 3 saturate", 6, 3, false, {{0, 0}, {100, 0}, {110, 67}, {128, 255}, {255, 255}}},
        {"not a number is black", std::nanf(""), 1, false, {{0, 0}, {255, 0}}},
    };
    for (const auto &c : cases) {
        NSUIMaskGreyRemapTable table;
        table.Build(c.contrast, c.brightness);
        if (c.inverted) table.Reverse();
        for (auto [grey, expected] : c.entries) EXPECT_EQ(table.table[grey], expected) << c.name << " grey " << grey;
        for (uint16_t entry : table.table) EXPECT_LE(entry, 255) << c.name;
    }
    NSUIMaskGreyRemapTable table;
    table.Build(1, 1);
    EXPECT_EQ(table.gamma, 1.0f);
    EXPECT_EQ(table.offset, 0);
    EXPECT_EQ(table.maximum, 255);
    EXPECT_EQ(table.scale, 1.0039216f);
}

TEST(NSUIMaskImageViewController, DefaultsShowThePictureItself) {
    MaskPanel panel;
    EXPECT_FLOAT_EQ(panel.controller.contrastDefaultValue(), 1.0 / 6);
    EXPECT_FLOAT_EQ(panel.controller.brightnessDefaultValue(), 1.0 / 3);
    EXPECT_NEAR(panel.controller.contrast(), 1.0 / 6, 1e-6);
    EXPECT_FALSE(panel.controller.maskInverted());
    panel.controller.imageChanged(nullptr);
    EXPECT_EQ(panel.view.maskImageRef(), nullptr) << "the slider values read back in single precision";
    ASSERT_EQ(panel.receiver.senders.size(), 1u);
    EXPECT_EQ(panel.receiver.senders[0], &panel.controller);
}

TEST(NSUIMaskImageViewController, InvertingAloneReversesTheGreys) {
    MaskPanel panel;
    panel.controller.setMaskInverted(true);
    panel.controller.imageChanged(nullptr);
    const std::vector<int> bytes = Bytes(panel.view.maskImageRef());
    ASSERT_EQ(bytes.size(), 256u);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(bytes[i], 255 - i) << "grey " << i;

    // A new picture source resets the controls: the picture is shown again.
    panel.controller.imageSourceChanged(nullptr);
    EXPECT_FALSE(panel.controller.maskInverted());
    EXPECT_EQ(panel.view.maskImageRef(), nullptr);
}

TEST(NSUIMaskImageViewController, BrightnessTwoThirdsDoublesTheGreys) {
    MaskPanel panel;
    panel.controller.setBrightness(2.0 / 3.0);
    panel.controller.imageChanged(nullptr);
    const std::vector<int> bytes = Bytes(panel.view.maskImageRef());
    ASSERT_EQ(bytes.size(), 256u);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(bytes[i], i > 127 ? 255 : 2 * i) << "grey " << i;

    panel.controller.maskControlsReset(nullptr);
    EXPECT_NEAR(panel.controller.brightness(), 1.0 / 3, 1e-6);
    EXPECT_EQ(panel.view.maskImageRef(), nullptr);
}

TEST(NSUIMaskImageViewController, MissingControlsAndImages) {
    riradi_test::Application();
    NSUIMaskImageViewController controller;
    EXPECT_DOUBLE_EQ(controller.contrast(), 1.0 / 6);
    EXPECT_DOUBLE_EQ(controller.brightness(), 1.0 / 3);
    EXPECT_FALSE(controller.maskInverted());  // reported, not inverted
    controller.setBrightnessRange(0);
    EXPECT_DOUBLE_EQ(controller.brightnessDefaultValue(), 1.0 / 3);
    EXPECT_EQ(controller.mask(), nullptr);
    controller.imageChanged(nullptr);  // makes the mask at the default size
    ASSERT_NE(controller.maskContext(), nullptr);
    EXPECT_TRUE(NSEqualSizes(controller.maskContext()->sizePixels(), NSMakeSize(640, 480)));
    EXPECT_FALSE(controller.setImageNamed(QString()));
    EXPECT_FALSE(controller.setImageNamed(QStringLiteral("NoSuchMaskPicture")));
}

TEST(NSUIMaskImageView, MaskImageIsHeldAndDrawnOverWhite) {
    riradi_test::Application();
    NSUIMaskImageView view;
    view.resize(8, 4);
    const uint8_t grey[32] = {0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 255, 255, 255, 255,
                              0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 255, 255, 255, 255};
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, grey, sizeof grey, nullptr);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceGray();
    CGImageRef image = CGImageCreate(8, 4, 8, 8, 8, space, kCGImageAlphaNone, provider, nullptr, false,
                                     kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    ASSERT_NE(image, nullptr);
    view.setMaskImageRef(image);
    CGImageRelease(image);  // the view holds its own reference
    CGImageRef copy = view.maskImageRefCopy();
    EXPECT_EQ(copy, view.maskImageRef());
    CGImageRelease(copy);

    const QImage shown = view.grab().toImage();
    EXPECT_EQ(shown.pixelColor(1, 1), QColor(0, 0, 0));
    EXPECT_EQ(shown.pixelColor(6, 2), QColor(255, 255, 255));
    view.clearMaskImageRef();
    EXPECT_EQ(view.maskImageRef(), nullptr);
}

#include "MaskImageViewTest.moc"
