// The three mask kernels rendered, pixel by pixel, against a C++ reference of what they
// compute (within 1/255).
#include <CocoaQZ/CoreImage/QCIBorrowChromaFilter.h>
#include <CocoaQZ/CoreImage/QCIDynamicImageFilter.h>
#include <CocoaQZ/CoreImage/QCIInvertGreyAlphaMask.h>
#include <CocoaQZ/CoreImage/QCIMakeGreyAlphaMask.h>

#include <CoreFoundation/CFData.h>
#include <CoreImage/CIContext.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>

namespace {

using Pixel = std::array<double, 4>;  // r, g, b, a: premultiplied as stored, as a kernel answers

Pixel Unpremultiply(Pixel p) { return p[3] > 0 ? Pixel{p[0] / p[3], p[1] / p[3], p[2] / p[3], p[3]} : p; }

double Dot(const std::array<double, 3> &a, const double *b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The studio-swing rows and the exact inverse of their matrix.
const std::array<double, 3> kY = {0.257, 0.504, 0.098}, kU = {-0.148, -0.291, 0.439}, kV = {0.439, -0.368, -0.071};

std::array<std::array<double, 3>, 3> Inverse() {
    const double m[3][3] = {{kY[0], kY[1], kY[2]}, {kU[0], kU[1], kU[2]}, {kV[0], kV[1], kV[2]}};
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    std::array<std::array<double, 3>, 3> inv;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            // cofactor of m[j][i]
            const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
            inv[i][j] = (m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0]) / det;
        }
    return inv;
}

double Luma(const Pixel &p) { return Dot(kY, p.data()); }

Pixel BorrowChroma(Pixel image, Pixel mask, double amount) {
    const double t = std::clamp(amount, 0.0, 1.0);
    const Pixel pixel = Unpremultiply(image), tint = Unpremultiply(mask);
    const double yuv[3] = {Dot(kY, pixel.data()), Dot(kU, tint.data()), Dot(kV, tint.data())};
    static const auto inverse = Inverse();
    const Pixel tinted = {Dot(inverse[0], yuv), Dot(inverse[1], yuv), Dot(inverse[2], yuv), 1.0};
    const double f = pixel[3] * t * tint[3];
    Pixel out;
    for (int i = 0; i < 4; ++i) out[i] = pixel[i] * (1 - f) + tinted[i] * f;
    return out;
}

double Grey(const Pixel &mask) { return 0.33333 * (mask[0] + mask[1] + mask[2]); }

Pixel Scaled(Pixel image, double by) {
    Pixel p = Unpremultiply(image);
    for (double &v : p) v *= by;
    return p;
}

Pixel MakeGreyAlphaMask(Pixel image, Pixel mask, double) { return Scaled(image, Grey(mask)); }
Pixel InvertGreyAlphaMask(Pixel image, Pixel mask, double) {
    return Scaled(image, 1.0 - std::clamp(Grey(mask), 0.0, 1.0));
}

Pixel Bytes(int r, int g, int b, int a) { return {r / 255.0, g / 255.0, b / 255.0, a / 255.0}; }

CIImageRef OnePixel(const Pixel &p) {
    const float values[4] = {float(p[0]), float(p[1]), float(p[2]), float(p[3])};
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(values), sizeof values);
    CIImageRef image = CIImage::imageWithBitmapData(data, sizeof values, CGSizeMake(1, 1), kCIFormatRGBAf);
    CFRelease(data);
    return image;
}

class MaskKernelTest : public ::testing::Test {
protected:
    void SetUp() override {
        mContext = CIContext::offscreenContext();
        ASSERT_NE(mContext, nullptr);
    }

    // The one pixel of the image, as rendered.
    Pixel Render(const CIImageRef &image) {
        float out[4] = {-1, -1, -1, -1};
        EXPECT_TRUE(mContext->render(image, out, sizeof out, CGRectMake(0, 0, 1, 1), kCIFormatRGBAf))
            << mContext->lastError();
        return {out[0], out[1], out[2], out[3]};
    }

    CIContextRef mContext;
};

void ExpectPixel(const Pixel &expected, const Pixel &actual, const std::string &what) {
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(std::clamp(actual[i], 0.0, 1.0), std::clamp(expected[i], 0.0, 1.0), 1.0 / 255)
            << what << ", component " << i;
}

}  // namespace

TEST_F(MaskKernelTest, KernelsAgainstTheirReference) {
    using Reference = Pixel (*)(Pixel, Pixel, double);
    using Make = std::shared_ptr<QCIDynamicMaskFilter> (*)();
    const Make borrow = [] () -> std::shared_ptr<QCIDynamicMaskFilter> { return std::make_shared<QCIBorrowChromaFilter>(); };
    const Make makeGrey = [] () -> std::shared_ptr<QCIDynamicMaskFilter> { return std::make_shared<QCIMakeGreyAlphaMask>(); };
    const Make invert = [] () -> std::shared_ptr<QCIDynamicMaskFilter> { return std::make_shared<QCIInvertGreyAlphaMask>(); };
    // Whole bytes: the engine works in 8 bits, and unpremultiplying a half-transparent pixel
    // would double a rounding of its input.
    const Pixel colour = Bytes(153, 128, 102, 255), tint = Bytes(77, 128, 179, 255), white = Bytes(255, 255, 255, 255);
    const Pixel black = Bytes(0, 0, 0, 255), halfImage = Bytes(76, 51, 26, 128), halfTint = Bytes(38, 64, 90, 128);
    const Pixel grey = Bytes(64, 128, 192, 255), clear = Bytes(0, 0, 0, 0);
    const struct {
        const char *what;
        Make make;
        Reference reference;
        Pixel image, mask;
        double amount;
        const Pixel *exactly;  // the result the reference must give too, when there is one
    } cases[] = {
        {"borrow: amount 0 leaves the image", borrow, BorrowChroma, colour, tint, 0.0, &colour},
        {"borrow: a transparent mask pixel leaves the image", borrow, BorrowChroma, colour, clear, 1.0, &colour},
        {"borrow: amount 1 takes the mask's chroma", borrow, BorrowChroma, colour, tint, 1.0, nullptr},
        {"borrow: amount 0.5 mixes half", borrow, BorrowChroma, colour, tint, 0.5, nullptr},
        {"borrow: amount above 1 is 1", borrow, BorrowChroma, colour, tint, 1.7, nullptr},
        {"borrow: amount below 0 is 0", borrow, BorrowChroma, colour, tint, -0.3, &colour},
        {"borrow: a half-transparent mask mixes half", borrow, BorrowChroma, colour, halfTint, 1.0, nullptr},
        {"borrow: a half-transparent image", borrow, BorrowChroma, halfImage, tint, 1.0, nullptr},
        {"borrow: white borrowing its own chroma", borrow, BorrowChroma, white, white, 1.0, &white},
        {"borrow: a colour borrowing its own chroma", borrow, BorrowChroma, colour, colour, 1.0, &colour},
        {"make grey: a white mask", makeGrey, MakeGreyAlphaMask, halfImage, white, 0.5, nullptr},
        {"make grey: a black mask", makeGrey, MakeGreyAlphaMask, colour, black, 0.5, nullptr},
        {"make grey: a grey mask, amount unused", makeGrey, MakeGreyAlphaMask, colour, grey, 0.0, nullptr},
        {"invert grey: a white mask", invert, InvertGreyAlphaMask, colour, white, 0.5, nullptr},
        {"invert grey: a black mask", invert, InvertGreyAlphaMask, halfImage, black, 0.5, nullptr},
        {"invert grey: a grey mask, amount unused", invert, InvertGreyAlphaMask, colour, grey, 1.0, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const Pixel expected = c.reference(c.image, c.mask, c.amount);
        if (c.exactly) ExpectPixel(*c.exactly, expected, "the reference");
        auto filter = c.make();
        filter->setInputImage(OnePixel(c.image));
        filter->setInputMaskImage(OnePixel(c.mask));
        filter->setInputAmountNormal(c.amount);
        CIImageRef output = filter->outputImage();
        ASSERT_NE(output, nullptr) << CIKernel::lastApplyError();
        ExpectPixel(expected, Render(output), "the rendering");
    }

    // What the reference says, as the stage relies on it: amount 1 keeps the luma and takes
    // the mask's chroma; the grey masks of white and black.
    const Pixel tinted = BorrowChroma(colour, tint, 1.0);
    EXPECT_NEAR(Luma(tinted), Luma(colour), 1e-9);
    EXPECT_NEAR(Dot(kU, tinted.data()), Dot(kU, tint.data()), 1e-9);
    EXPECT_NEAR(Dot(kV, tinted.data()), Dot(kV, tint.data()), 1e-9);
    const Pixel whiteMasked = MakeGreyAlphaMask(halfImage, white, 0);
    for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(whiteMasked[i], Unpremultiply(halfImage)[i] * 0.99999);
    EXPECT_EQ(MakeGreyAlphaMask(colour, black, 0), (Pixel{0, 0, 0, 0}));
}

// The plain dynamic filter passes its image through.
TEST_F(MaskKernelTest, DynamicImageFilterPassesTheImageThrough) {
    auto filter = std::make_shared<QCIDynamicImageFilter>();
    const Pixel p = Bytes(51, 102, 26, 153);
    filter->setInputImage(OnePixel(p));
    ASSERT_NE(filter->outputImage(), nullptr);
    ExpectPixel(p, Render(filter->outputImage()), "pass-through");
}
