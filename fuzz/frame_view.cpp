// Frames described by outside data: a frame format and bytes taken from the input, or a
// surface whose header and pixels another process left in shared memory, viewed through
// LockedIOSurface. The first byte chooses. Every frame goes through the views and the copy,
// swizzle and resample routines against frames of the library's own; a frame that is not
// sound must be refused, and one that is taken must copy out whole.
#include "FuzzSupport.h"

#include <CoreX/UVideoFrameBuffer.h>
#include <IOSurface/IOSurface.h>
#include <IOSurface/IOSurfaceFormat.h>
#include <VDig/UVideoFrameBuffer_LockedBuffers.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace {

using namespace UVideoFrameBuffer;

const OSType kFormats[] = {kPixelFormat_ARGB, kPixelFormat_BGRA, kPixelFormat_8888, kPixelFormat_raw,
                           kPixelFormat_2VUY, kPixelFormat_2vuy, kPixelFormat_DATA, kPixelFormat_None,
                           kPixelFormat_RGBA};

// Every routine with `frame` on either side of frames made here.
void Exercise(Data &frame) {
    const bool sound = frame.HasValidFrameData();
    Memory scratch, sourceMemory;
    for (OSType format : {kPixelFormat_ARGB, kPixelFormat_BGRA, kPixelFormat_2vuy, kPixelFormat_DATA}) {
        Memory small;
        if (!small.Construct(Format(8, 6, format))) lumora::fuzz::Broken("small frame");
        small.ErasePixelDataWithValue(0x55);
        XXXX_CopyMinimumPixelsRegion_XXXX(small, frame);
        XXXX_CopyMinimumPixelsRegion_XXXX(frame, small);
        XXXX_ExactCopySameSizeTo_XXXX(small, frame);
        XXXX_CopyOrBilinearResample_XXXX(small, scratch, frame);
        BGRA_CopySwizzleSameSizeTo_ARGB_vImage(small, frame);
        BGRA_InvertedCopySwizzleSameSizeTo_ARGB_Scalar(small, frame);
        BGRA_CopyOrResizeFrameSurface(small, scratch, frame, sourceMemory);
    }
    Data region;
    const bool regionTaken = region.ConstructWithBufferRegionHavingFrameAspectRatio(frame, 4.0 / 3.0) ||
                             region.ConstructWithBufferRegion(frame, CGRectMake(1, 1, 2, 2));
    LUMORA_CHECK(!regionTaken || sound);
    if (regionTaken) {
        LUMORA_CHECK(region.HasValidFrameData());
        Memory copy;
        if (copy.Construct(region.mFrameBufferFormat)) LUMORA_CHECK(XXXX_CopyMinimumPixelsRegion_XXXX(copy, region));
    }
    if (!sound) {
        LUMORA_CHECK(frame.GetPixelScanline(0) == nullptr);
        return;
    }
    // A sound frame copies out whole, at its own size.
    Memory copy;
    if (copy.Construct(frame.mFrameBufferFormat)) {
        LUMORA_CHECK(XXXX_CopyMinimumPixelsRegion_XXXX(copy, frame));
        const SInt32 last = frame.mFrameBufferFormat.mPixelHeight - 1;
        const size_t row = size_t(Format::GetCanonicalPixelFormatRowBytes(frame.mFrameBufferFormat.mPixelFormat,
                                                                           frame.mFrameBufferFormat.mPixelWidth));
        LUMORA_CHECK(std::memcmp(copy.GetPixelScanline(last), frame.GetPixelScanline(last), row) == 0);
    }
}

// A frame format and bytes from the input; the bytes are exactly as many as it says.
void FrameInMemory(lumora::fuzz::Input &input) {
    Format format;
    format.mPixelWidth = SInt32(int16_t(input.u16()));
    format.mPixelHeight = SInt32(int16_t(input.u16()));
    const uint8_t choice = input.byte();
    format.mPixelFormat = kFormats[choice % (sizeof kFormats / sizeof kFormats[0])];
    format.mPixelRowBytes = SInt32(int32_t(uint32_t(input.u16()) << 16 | input.u16()));
    const std::string_view rest = input.rest();
    std::vector<UInt8> bytes(rest.begin(), rest.end());
    Data frame;
    frame.ConstructData(format, bytes.empty() ? nullptr : bytes.data(), SInt32(bytes.size()));
    Exercise(frame);
}

// Global surfaces look into the registry: one of this process's own, not the user's.
void UsePrivateRuntimeFolder() {
    static char folder[4096];
    if (folder[0] != '\0') return;
    const char *tmp = std::getenv("TMPDIR");
    std::snprintf(folder, sizeof folder, "%s/lumora-fuzz-XXXXXX", tmp && *tmp ? tmp : "/tmp");
    if (::mkdtemp(folder) == nullptr) lumora::fuzz::Broken("mkdtemp");
    ::setenv("XDG_RUNTIME_DIR", folder, 1);
    std::atexit([] {
        ::unlink((std::string(folder) + "/IOSurface.registry").c_str());
        ::rmdir(folder);
    });
}

// The next 64 bytes are a surface header at the start of the memory, the rest the pixels.
void FrameOnSurface(lumora::fuzz::Input &input) {
    std::string header;
    for (int i = 0; i < 64; ++i) header.push_back(char(input.byte()));
    const std::string_view pixels = input.rest();
    const int fd = ::memfd_create("fuzz", MFD_CLOEXEC);
    if (fd < 0) lumora::fuzz::Broken("memfd_create");
    const size_t size = iosurface::kHeaderSize + pixels.size();
    if (::ftruncate(fd, off_t(size)) != 0 || ::pwrite(fd, header.data(), header.size(), 0) != 64 ||
        ::pwrite(fd, pixels.data(), pixels.size(), iosurface::kHeaderSize) != ssize_t(pixels.size()))
        lumora::fuzz::Broken("write the memory");
    if (IOSurfaceRef surface = IOSurfaceLookupFromFileDescriptor(fd)) {
        LockedIOSurface view;
        if (view.Construct(surface)) {
            LUMORA_CHECK(view.HasValidFrameData() && view.mBufferLocked);
            Exercise(view);
        } else {
            LUMORA_CHECK(!view.HasCFTypeRef() && view.mFrameBufferData == nullptr);
        }
        CFRelease(surface);
    }
    ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    UsePrivateRuntimeFolder();
    lumora::fuzz::Input input(data, size);
    if (input.byte() & 1)
        FrameOnSurface(input);
    else
        FrameInMemory(input);
    return 0;
}
