// testchart <out.png>: writes the 640 x 480 colour test chart.
//
//   upper two thirds   seven 75 % bars: white, yellow, cyan, green, magenta, red, blue
//   next sixth         the reverse bars: blue, black, magenta, black, cyan, black, white
//   lowest sixth       a grey ramp of 16 steps from black to white, left to right
//
// The file is written beside its final name and renamed into place, so an interrupted build
// never leaves half a picture.
#include <CoreFoundation/CFURL.h>
#include <CoreGraphics/CGBitmapContext.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGContext.h>
#include <ImageIO/ImageIO.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kWidth = 640, kHeight = 480;

struct Colour {
    double red, green, blue;
};

void FillBars(CGContextRef context, const Colour (&bars)[7], double y, double height) {
    for (int i = 0; i < 7; ++i) {
        const double left = double(kWidth) * i / 7, right = double(kWidth) * (i + 1) / 7;
        CGContextSetRGBFillColor(context, bars[i].red, bars[i].green, bars[i].blue, 1.0);
        CGContextFillRect(context, CGRectMake(left, y, right - left, height));
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: testchart <out.png>\n");
        return 2;
    }
    const std::string path = argv[1], temporary = path + ".part";
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef context = CGBitmapContextCreate(nullptr, kWidth, kHeight, 8, kWidth * 4, space,
                                                 kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    CGColorSpaceRelease(space);
    if (context == nullptr) {
        std::fprintf(stderr, "testchart: no bitmap context\n");
        return 1;
    }
    // Quartz coordinates: y grows upwards, so the top bars start at a third of the height.
    const Colour bars[7] = {{0.75, 0.75, 0.75}, {0.75, 0.75, 0}, {0, 0.75, 0.75}, {0, 0.75, 0},
                            {0.75, 0, 0.75},    {0.75, 0, 0},    {0, 0, 0.75}};
    const Colour reverse[7] = {{0, 0, 0.75}, {0, 0, 0}, {0.75, 0, 0.75}, {0, 0, 0},
                               {0, 0.75, 0.75}, {0, 0, 0}, {0.75, 0.75, 0.75}};
    FillBars(context, bars, kHeight / 3.0, kHeight * 2.0 / 3.0);
    FillBars(context, reverse, kHeight / 6.0, kHeight / 6.0);
    for (int step = 0; step < 16; ++step) {
        const double grey = step / 15.0;
        CGContextSetRGBFillColor(context, grey, grey, grey, 1.0);
        CGContextFillRect(context, CGRectMake(kWidth * step / 16.0, 0, kWidth / 16.0, kHeight / 6.0));
    }
    CGImageRef image = CGBitmapContextCreateImage(context);
    CGContextRelease(context);

    bool written = false;
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(temporary.c_str()),
                                                           CFIndex(temporary.size()), false);
    if (image != nullptr && url != nullptr) {
        if (CGImageDestinationRef destination = CGImageDestinationCreateWithURL(url, kUTTypePNG, 1, nullptr)) {
            CGImageDestinationAddImage(destination, image, nullptr);
            written = CGImageDestinationFinalize(destination);
            CFRelease(destination);
        }
    }
    if (url != nullptr) CFRelease(url);
    if (image != nullptr) CGImageRelease(image);
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        std::fprintf(stderr, "testchart: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
