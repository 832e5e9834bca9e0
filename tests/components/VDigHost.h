// What a host does with a digitizer component: register its bundle, open it by type and
// subtype, set it up for preview capture (compression on, the component's own codec, a
// running time base, a frame rate) and take frames with CompressDone / ReleaseCompressBuffer.
#pragma once

#include <QuickTime/Components.h>
#include <QuickTime/TimeBases.h>
#include <QuickTime/VideoDigitizer.h>
#include <Carbon/Files.h>

#include <gtest/gtest.h>

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace vdighost {

inline std::string Text(const unsigned char *pascal) { return std::string(reinterpret_cast<const char *>(pascal + 1), pascal[0]); }

// Moves this process (and the processes it starts later) into a network of its own with
// only a loopback interface, when the system allows it: the virtual camera's port, 30300, is
// the application's, and other programs or tests on this machine may hold it or cast on it.
// False (nothing changed) when not allowed.
inline bool OwnLoopbackNetwork() {
    if (::unshare(CLONE_NEWNET) != 0) return false;
    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(s, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = short(request.ifr_flags | IFF_UP | IFF_RUNNING);
    up = up && ::ioctl(s, SIOCSIFFLAGS, &request) == 0;
    ::close(s);
    return up;
}

inline ComponentInstance Open(const char *bundle, OSType subtype) {
    FSRef ref;
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>(bundle), &ref, nullptr), noErr) << bundle;
    const OSErr registered = RegisterComponentFileRef(&ref, false);
    EXPECT_EQ(registered, noErr) << bundle;
    if (registered != noErr) return nullptr;
    ComponentDescription looking{MakeFourCharCode("vdig"), subtype, MakeFourCharCode("Tarv"), 0, 0};
    Component component = FindNextComponent(nullptr, &looking);
    EXPECT_NE(component, nullptr);
    if (component == nullptr) return nullptr;
    ComponentInstance instance = nullptr;
    EXPECT_EQ(OpenAComponent(component, &instance), noErr);
    return instance;
}

// Set up for preview frames at `fps`.
struct Capture {
    ComponentInstance vd;
    TimeBase timeBase = NewTimeBase();
    explicit Capture(ComponentInstance instance, int fps) : vd(instance) {
        Rect bounds{0, 0, 480, 640};
        EXPECT_EQ(VDSetCompressionOnOff(vd, true), noErr);
        EXPECT_EQ(VDSetCompression(vd, 0, 0, &bounds, 0, 0, 0), noErr);
        SetTimeBaseRate(timeBase, 0x00010000);
        EXPECT_EQ(VDSetTimeBase(vd, timeBase), noErr);
        EXPECT_EQ(VDSetFrameRate(vd, Fixed(fps) << 16), noErr);
        EXPECT_EQ(VDCaptureStateChanging(vd, vdFlagCaptureStarting | vdFlagCaptureIsForPreview), noErr);
    }
    ~Capture() { DisposeTimeBase(timeBase); }
    // One frame handed to `look`, then given back; false when none came.
    template <class Look>
    bool Frame(Look &&look) {
        UInt8 count = 0;
        Ptr data = nullptr;
        long size = 0;
        UInt8 similarity = 0;
        TimeRecord time{};
        EXPECT_EQ(VDCompressOneFrameAsync(vd), noErr);
        if (VDCompressDone(vd, &count, &data, &size, &similarity, &time) != noErr || count == 0 || data == nullptr) return false;
        EXPECT_EQ(size, 640 * 480 * 4);
        const bool seen = look(reinterpret_cast<const uint8_t *>(data));
        EXPECT_EQ(VDReleaseCompressBuffer(vd, data), noErr);
        return seen;
    }
};

}  // namespace vdighost
