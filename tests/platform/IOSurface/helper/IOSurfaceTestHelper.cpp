// The other process of the surface tests. Modes:
//   inspect <id>     looks the surface up and prints "width height rowBytes format seed useCount
//                    firstByte lastByte" (or "none"), then fills it with 0x5A under a write lock,
//                    adds a use and prints "seed useCount", and exits
//   inspect-fd <fd>  the same with the surface behind an inherited descriptor
//   create-hold      makes a global 32 x 32 'BGRA' surface filled with 0x77, prints its id and
//                    holds it until its standard input ends
//   gradient <id>    writes the 4-byte pixels of the surface under a write lock, pixel (x, y)
//                    being the bytes x, y, 0x80, 0xFF (x and y modulo 256), and prints the
//                    seed after the unlock (or "none")
//   read <id> <x> <y>...  prints the seed at a read-only lock and the 4-byte pixels at the
//                    points as 8 hexadecimal digits each (bytes in memory order), one line
#include <IOSurface/IOSurface.h>

#include <CoreFoundation/CFNumber.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

int Inspect(IOSurfaceRef surface) {
    if (surface == nullptr) {
        std::printf("none\n");
        return 0;
    }
    uint8_t *bytes = static_cast<uint8_t *>(IOSurfaceGetBaseAddress(surface));
    const size_t size = IOSurfaceGetAllocSize(surface);
    std::printf("%zu %zu %zu %08x %u %d %u %u\n", IOSurfaceGetWidth(surface), IOSurfaceGetHeight(surface),
                IOSurfaceGetBytesPerRow(surface), unsigned(IOSurfaceGetPixelFormat(surface)),
                unsigned(IOSurfaceGetSeed(surface)), int(IOSurfaceGetUseCount(surface)), unsigned(bytes[0]),
                unsigned(bytes[size - 1]));
    uint32_t seed = 0;
    IOSurfaceLock(surface, 0, nullptr);
    std::memset(bytes, 0x5A, size);
    IOSurfaceIncrementUseCount(surface);
    IOSurfaceUnlock(surface, 0, &seed);
    std::printf("%u %d\n", unsigned(seed), int(IOSurfaceGetUseCount(surface)));
    std::fflush(stdout);
    CFRelease(surface);
    return 0;
}

CFNumberRef Number(int value) { return CFNumberCreate(nullptr, kCFNumberIntType, &value); }

int CreateHold() {
    CFNumberRef width = Number(32), bytesPerElement = Number(4), format = Number(0x42475241);
    const void *keys[] = {kIOSurfaceWidth, kIOSurfaceHeight, kIOSurfaceBytesPerElement, kIOSurfacePixelFormat,
                          kIOSurfaceIsGlobal};
    const void *values[] = {width, width, bytesPerElement, format, kCFBooleanTrue};
    CFDictionaryRef properties = CFDictionaryCreate(nullptr, keys, values, 5, &kCFTypeDictionaryKeyCallBacks,
                                                    &kCFTypeDictionaryValueCallBacks);
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    CFRelease(width);
    CFRelease(bytesPerElement);
    CFRelease(format);
    if (surface == nullptr) {
        std::printf("none\n");
        return 1;
    }
    std::memset(IOSurfaceGetBaseAddress(surface), 0x77, IOSurfaceGetAllocSize(surface));
    std::printf("%u\n", unsigned(IOSurfaceGetID(surface)));
    std::fflush(stdout);
    char byte;
    while (::read(0, &byte, 1) > 0) {
    }
    CFRelease(surface);
    return 0;
}

IOSurfaceRef LookupArgument(const char *id) { return IOSurfaceLookup(IOSurfaceID(std::strtoul(id, nullptr, 10))); }

int Gradient(IOSurfaceRef surface) {
    if (surface == nullptr || IOSurfaceGetBytesPerElement(surface) != 4) {
        std::printf("none\n");
        return 1;
    }
    uint32_t seed = 0;
    IOSurfaceLock(surface, 0, nullptr);
    uint8_t *base = static_cast<uint8_t *>(IOSurfaceGetBaseAddress(surface));
    for (size_t y = 0; y < IOSurfaceGetHeight(surface); ++y) {
        uint8_t *pixel = base + y * IOSurfaceGetBytesPerRow(surface);
        for (size_t x = 0; x < IOSurfaceGetWidth(surface); ++x, pixel += 4) {
            pixel[0] = uint8_t(x);
            pixel[1] = uint8_t(y);
            pixel[2] = 0x80;
            pixel[3] = 0xFF;
        }
    }
    IOSurfaceUnlock(surface, 0, &seed);
    std::printf("%u\n", unsigned(seed));
    CFRelease(surface);
    return 0;
}

int Read(IOSurfaceRef surface, int count, char **points) {
    if (surface == nullptr || IOSurfaceGetBytesPerElement(surface) != 4) {
        std::printf("none\n");
        return 1;
    }
    uint32_t seed = 0;
    IOSurfaceLock(surface, kIOSurfaceLockReadOnly, &seed);
    std::string line = std::to_string(seed);
    const uint8_t *base = static_cast<const uint8_t *>(IOSurfaceGetBaseAddress(surface));
    for (int i = 0; i + 1 < count; i += 2) {
        const size_t x = std::strtoul(points[i], nullptr, 10), y = std::strtoul(points[i + 1], nullptr, 10);
        if (x >= IOSurfaceGetWidth(surface) || y >= IOSurfaceGetHeight(surface)) continue;
        const uint8_t *pixel = base + y * IOSurfaceGetBytesPerRow(surface) + x * 4;
        char text[16];
        std::snprintf(text, sizeof text, " %02x%02x%02x%02x", pixel[0], pixel[1], pixel[2], pixel[3]);
        line += text;
    }
    IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly, nullptr);
    std::printf("%s\n", line.c_str());
    CFRelease(surface);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "inspect" && argc == 3) return Inspect(IOSurfaceLookup(IOSurfaceID(std::strtoul(argv[2], nullptr, 10))));
    if (mode == "inspect-fd" && argc == 3) return Inspect(IOSurfaceLookupFromFileDescriptor(std::atoi(argv[2])));
    if (mode == "create-hold") return CreateHold();
    if (mode == "gradient" && argc == 3) return Gradient(LookupArgument(argv[2]));
    if (mode == "read" && argc >= 3) return Read(LookupArgument(argv[2]), argc - 3, argv + 3);
    std::fprintf(stderr,
                 "usage: IOSurfaceTestHelper inspect <id> | inspect-fd <fd> | create-hold | gradient <id> | "
                 "read <id> <x> <y>...\n");
    return 2;
}
