// contactsheet [<out.png>] [<camera picture>]: every effect of the packs at amounts 0, 0.5
// and 1 on the test picture, in the packs' order, in one PNG (scripts/contact-sheet runs it).
//
// Each row holds three effects; each effect is a label (pack and name) over three 160 x 120
// frames, amount 0 to 1 from left to right. Time 0.25, frequency 0.5, clock at 1 s.
#include "EffectRendering.h"

#include <CoreGraphics/CFAttributedString.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreGraphics/CGBitmapContext.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CTFont.h>
#include <CoreGraphics/CTLine.h>
#include <CoreGraphics/CTStringAttributes.h>

#include <cstdio>
#include <string>

using namespace effectsheet;

namespace {

constexpr int kCellW = 160, kCellH = 120, kLabelH = 18, kGap = 8, kPerRow = 3;
constexpr double kAmounts[] = {0.0, 0.5, 1.0};

void Label(CGContextRef context, const std::string &text, double x, double y) {
    CFStringRef string = CFStringCreateWithCString(nullptr, text.c_str(), kCFStringEncodingUTF8);
    CFAttributedStringRef plain = CFAttributedStringCreate(nullptr, string, nullptr);
    CFMutableAttributedStringRef styled = CFAttributedStringCreateMutableCopy(nullptr, 0, plain);
    CFStringRef family = CFStringCreateWithCString(nullptr, "Sans", kCFStringEncodingUTF8);
    CTFontRef font = CTFontCreateWithName(family, 11, nullptr);
    const CFRange all = CFRangeMake(0, CFAttributedStringGetLength(styled));
    CFAttributedStringSetAttribute(styled, all, kCTFontAttributeName, font);
    CFAttributedStringSetAttribute(styled, all, kCTForegroundColorFromContextAttributeName, kCFBooleanTrue);
    CTLineRef line = CTLineCreateWithAttributedString(styled);
    CGContextSetRGBFillColor(context, 0.9, 0.9, 0.9, 1);
    CGContextSetTextPosition(context, x, y);
    CTLineDraw(line, context);
    CFRelease(line);
    CFRelease(font);
    CFRelease(family);
    CFRelease(styled);
    CFRelease(plain);
    CFRelease(string);
}

}  // namespace

int main(int argc, char **argv) {
    const std::string out = argc > 1 ? argv[1] : "contact-sheet.png";
    const std::string cameraPath = argc > 2 ? argv[2] : LUMORA_APP_RESOURCES "/cameraImage.png";
    std::string error;
    CIImageRef camera = LoadCameraImage(cameraPath, &error);
    if (camera == nullptr) {
        std::fprintf(stderr, "contactsheet: %s\n", error.c_str());
        return 1;
    }
    const auto &catalogue = Catalogue();
    const int count = int(catalogue.size());
    const int blockW = 3 * kCellW + kGap, blockH = kCellH + kLabelH + kGap;
    const int rows = (count + kPerRow - 1) / kPerRow;
    Picture sheet;
    sheet.width = kPerRow * blockW + kGap;
    sheet.height = std::max(rows, 1) * blockH + kGap;
    sheet.rgba.assign(size_t(sheet.width) * size_t(sheet.height) * 4, 0);
    for (size_t i = 3; i < sheet.rgba.size(); i += 4) sheet.rgba[i - 3] = sheet.rgba[i - 2] = sheet.rgba[i - 1] = 40, sheet.rgba[i] = 255;

    int failures = 0;
    for (int index = 0; index < count; ++index) {
        const CatalogueEntry &entry = catalogue[size_t(index)];
        const int left = kGap + (index % kPerRow) * blockW, top = kGap + (index / kPerRow) * blockH;
        std::string bytes;
        if (FILE *file = std::fopen(entry.builtPath, "rb")) {
            char buffer[65536];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
            std::fclose(file);
        }
        auto renderer = EffectRenderer::Make(bytes, camera, &error);
        if (!renderer) {
            std::fprintf(stderr, "contactsheet: %s %s: %s\n", entry.pack, entry.fileName, error.c_str());
            ++failures;
            continue;
        }
        for (int column = 0; column < 3; ++column) {
            EffectSettings settings;
            settings.amount = kAmounts[column];
            if (!renderer->render(settings, &error)) {
                std::fprintf(stderr, "contactsheet: %s %s: %s\n", entry.pack, entry.fileName, error.c_str());
                ++failures;
                break;
            }
            const Picture cell = Shrink(renderer->read(), kCellW, kCellH);
            if (cell.empty()) continue;
            for (int y = 0; y < kCellH; ++y)
                for (int x = 0; x < kCellW; ++x) {
                    const uint8_t *p = cell.at(x, y);
                    uint8_t *q = &sheet.rgba[(size_t(top + kLabelH + y) * size_t(sheet.width) + size_t(left + column * kCellW + x)) * 4];
                    // Over the sheet's grey, so transparent parts show as such.
                    for (int k = 0; k < 3; ++k) q[k] = uint8_t(p[k] + (q[k] * (255 - p[3]) + 127) / 255);
                    q[3] = 255;
                }
        }
    }

    // The labels, drawn into the finished sheet (Quartz coordinates: y up).
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef context = CGBitmapContextCreate(sheet.rgba.data(), size_t(sheet.width), size_t(sheet.height), 8,
                                                 size_t(sheet.width) * 4, space,
                                                 kCGImageAlphaPremultipliedLast | kCGBitmapByteOrder32Big);
    CGColorSpaceRelease(space);
    if (context != nullptr) {
        for (int index = 0; index < count; ++index) {
            const CatalogueEntry &entry = catalogue[size_t(index)];
            const int left = kGap + (index % kPerRow) * blockW, top = kGap + (index / kPerRow) * blockH;
            std::string name = entry.fileName;
            name = name.substr(0, name.size() - 4);
            Label(context, std::string(entry.pack) + "  " + name + "   (0 / 0.5 / 1)", left + 2, sheet.height - top - kLabelH + 5);
        }
        CGBitmapContextWillAccessData(context);  // the labels into the sheet's memory
        CGContextRelease(context);
    }
    if (!WritePNG(out, sheet, &error)) {
        std::fprintf(stderr, "contactsheet: %s\n", error.c_str());
        return 1;
    }
    std::printf("contactsheet: %d effects in %s\n", count, out.c_str());
    return failures == 0 ? 0 : 1;
}
