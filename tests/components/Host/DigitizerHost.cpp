// A host of digitizer components, as any program using the QuickTime layer is: it registers a
// component bundle, opens the digitizer of the type 'vdig' and the subtype given through the
// Component Manager, and reports what it sees, one line each:
//
//     open <status>
//     inputs <count>                 then "input <n> <name>" for each input
//     device <name>
//     rate <frames per second x 100> <bytes per second>
//     frame <size> <number>          for each frame grabbed (number: the test camera's
//                                    encoded frame number, or -1 when the frame holds none)
//     hostile <status>...            selectors and parameters a broken host might send
//     close <status>
//
//     DigitizerHost <bundle> <subtype> <frames> [<frames per second>]
#include <Carbon/Files.h>
#include <QuickTime/FixMath.h>
#include <QuickTime/VideoDigitizer.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

OSType Code(const char *text) {
    if (std::strlen(text) != 4) return 0;
    return OSType((UInt8(text[0]) << 24) | (UInt8(text[1]) << 16) | (UInt8(text[2]) << 8) | UInt8(text[3]));
}

std::string Text(const unsigned char *pascal) { return std::string(reinterpret_cast<const char *>(pascal + 1), pascal[0]); }

// The frame number the test camera writes into a '2vuy' frame's top rows: 32 cells, most
// significant bit first, white for 1 and black for 0; -1 when a cell is neither.
long long FrameNumber(const UInt8 *pixels, long size, int width, int height) {
    if (pixels == nullptr || width < 64 || height < 16 || size < long(width) * height * 2) return -1;
    const UInt8 *row = pixels + size_t(2) * width * 2;  // row 2
    unsigned long long number = 0;
    for (int cell = 0; cell < 32; ++cell) {
        const int x = (cell * width + width / 2) / 32;
        const UInt8 luma = row[x * 2 + 1];
        if (luma > 200) number = (number << 1) | 1;
        else if (luma < 50) number <<= 1;
        else return -1;
    }
    return (long long)number;
}

ComponentResult Raw(ComponentInstance ci, SInt16 what, UInt8 paramSize, long a = 0, long b = 0) {
    ComponentParameters params{};
    params.what = what;
    params.paramSize = paramSize;
    params.params[0] = a;
    params.params[1] = b;
    return CallComponent(ci, &params);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: DigitizerHost <bundle> <subtype> <frames> [<fps>]\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int frames = std::atoi(argv[3]);
    const double fps = argc > 4 ? std::atof(argv[4]) : 15.0;

    FSRef ref;
    if (FSPathMakeRef(reinterpret_cast<const UInt8 *>(argv[1]), &ref, nullptr) != noErr) {
        std::printf("register %d\n", int(fnfErr));
        return 1;
    }
    const OSErr registered = RegisterComponentFileRef(&ref, false);
    std::printf("register %d\n", int(registered));
    ComponentDescription looking{videoDigitizerComponentType, Code(argv[2]), 0, 0, 0};
    Component component = FindNextComponent(nullptr, &looking);
    ComponentInstance vd = nullptr;
    const OSErr opened = component != nullptr ? OpenAComponent(component, &vd) : OSErr(invalidComponentID);
    std::printf("open %d\n", int(opened));
    if (opened != noErr) return 0;

    short last = -1;
    VDGetNumberOfInputs(vd, &last);
    std::printf("inputs %d\n", int(last) + 1);
    for (short input = 0; input <= last; ++input) {
        Str255 name{};
        VDGetInputName(vd, input, name);
        std::printf("input %d %s\n", int(input), Text(name).c_str());
    }
    Str255 device{};
    UInt32 flags = 0;
    VDGetDeviceNameAndFlags(vd, device, &flags);
    std::printf("device %s\n", Text(device).c_str());

    VDSetFrameRate(vd, X2Fix(fps));
    long ms = 0, bytesPerSecond = 0;
    Fixed rate = 0;
    VDGetDataRate(vd, &ms, &rate, &bytesPerSecond);
    std::printf("rate %ld %ld\n", long(Fix2X(rate) * 100 + 0.5), bytesPerSecond);

    Rect bounds{};
    VDGetMaxSrcRect(vd, 0, &bounds);
    VDSetCompressionOnOff(vd, true);
    VDSetCompression(vd, 0, 0, &bounds, 0, 0, 0);
    TimeBase clock = NewTimeBase();
    SetTimeBaseRate(clock, fixed1);
    VDSetTimeBase(vd, clock);
    VDCaptureStateChanging(vd, vdFlagCaptureStarting);
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int grabbed = 0;
    while (grabbed < frames && std::chrono::steady_clock::now() < deadline) {
        UInt8 count = 0;
        Ptr data = nullptr;
        long size = 0;
        TimeRecord when{};
        const ComponentResult done = VDCompressDone(vd, &count, &data, &size, nullptr, &when);
        if (done != noErr) {
            std::printf("compressdone %d\n", int(done));
            break;
        }
        if (count == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        const long long number = FrameNumber(reinterpret_cast<const UInt8 *>(data), size, width, height);
        VDReleaseCompressBuffer(vd, data);
        if (number < 0) continue;  // the camera has not delivered yet
        std::printf("frame %ld %lld\n", size, number);
        ++grabbed;
    }
    VDCaptureStateChanging(vd, vdFlagCaptureStopping);

    // A broken host: selectors without an entry, a block claiming fewer parameters than the
    // call needs, null outputs, a pointer that is not a frame handed out.
    std::printf("hostile %d %d %d %d %d %d %d %d\n", int(Raw(vd, kVDGrabOneFrameSelect, 0)),
                int(Raw(vd, kComponentRegisterSelect, 0)), int(Raw(vd, 0x62, 0)), int(Raw(vd, 0x7FFF, 0)),
                int(Raw(vd, kVDGetMaxSrcRectSelect, sizeof(long), 0)), int(VDGetMaxSrcRect(vd, 0, nullptr)),
                int(VDGetDataRate(vd, nullptr, nullptr, nullptr)), int(VDReleaseCompressBuffer(vd, Ptr(&bounds))));
    std::printf("cando %ld %ld\n", ComponentFunctionImplemented(vd, kVDCompressDoneSelect),
                ComponentFunctionImplemented(vd, kVDGrabOneFrameSelect));
    std::printf("close %d\n", int(CloseComponent(vd)));
    DisposeTimeBase(clock);
    return 0;
}
