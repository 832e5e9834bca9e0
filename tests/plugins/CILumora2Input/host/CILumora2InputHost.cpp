// A host of image units, as any program using the Core Image layer is: it loads every
// installed unit, makes the filter "CILumora2Input" and, every 20 ms until its standard input
// ends or the time given has passed, sets the filter's clock, takes the output image and
// renders it. It prints a line whenever what it shows changes:
//
//     show <width>x<height> <pixel at (8, 8), bytes B G R A as 8 hex digits>
//
// ("show none" for no image), and before it ends "slowest <microseconds>": the longest time
// one frame's clock, output image and render took, the first frames (which build the
// renderer's programs) left out.
//
//     CILumora2InputHost <seconds>
#include <CoreImage/CIContext.h>
#include <CoreImage/CIFilter.h>
#include <CoreImage/CIPlugIn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

bool InputEnded() {
    pollfd input{0, POLLIN, 0};
    if (::poll(&input, 1, 0) <= 0) return false;
    char byte;
    return ::read(0, &byte, 1) <= 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) return 2;
    const double seconds = std::atof(argv[1]);
    CIPlugIn::loadAllPlugIns();
    CIFilterRef filter = CIFilter::filterWithName("CILumora2Input");
    if (filter == nullptr) {
        std::printf("nofilter\n");
        return 3;
    }
    CIContextRef context = CIContext::offscreenContext();
    if (context == nullptr) {
        std::printf("nocontext\n");
        return 4;
    }
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    std::string shown;
    Clock::duration slowest{};
    double clock = 0;
    int frames = 0;
    std::vector<unsigned char> pixels(16 * 16 * 4);
    while (Clock::now() < end && !InputEnded()) {
        const auto start = Clock::now();
        filter->setValue(clock, "inputClock");
        clock += 1.0 / 50;
        CIImageRef image = filter->outputImage();
        std::string now = "none";
        if (image != nullptr) {
            const CGRect extent = image->extent();
            // The 16 x 16 pixels at the top left; (8, 8) among them.
            const CGRect corner = CGRectMake(extent.origin.x, extent.origin.y + extent.size.height - 16, 16, 16);
            if (context->render(image, pixels.data(), 16 * 4, corner, kCIFormatBGRA8)) {
                const unsigned char *p = &pixels[(8 * 16 + 8) * 4];
                char text[64];
                std::snprintf(text, sizeof text, "%dx%d %02x%02x%02x%02x", int(extent.size.width),
                              int(extent.size.height), p[0], p[1], p[2], p[3]);
                now = text;
            } else {
                now = "unrendered";
            }
        }
        if (++frames > 5) slowest = std::max(slowest, Clock::now() - start);
        if (now != shown) {
            shown = now;
            std::printf("show %s\n", shown.c_str());
            std::fflush(stdout);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::printf("slowest %lld\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(slowest).count()));
    std::fflush(stdout);
    return 0;
}
