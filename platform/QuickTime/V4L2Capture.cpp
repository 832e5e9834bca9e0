// V4L2 cameras: listed from /dev/video* with plain ioctls, captured through libv4l2 with
// memory-mapped streaming (libv4l2 converts formats the camera does not have natively).
// Frames are dequeued without blocking: the caller's SGIdle takes what is ready.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <libv4l2.h>
#include <linux/videodev2.h>

#include "CaptureDevices.h"

namespace lumora::qt {
namespace {

constexpr unsigned kBufferCount = 4;
constexpr int kMaximumInputs = 64;

OSErr ErrnoStatus(int error) {
    switch (error) {
    case ENODEV:
    case ENXIO:
    case ENOENT: return noDeviceForChannel;
    case EBUSY:
    case EINVAL:
    case ENOTTY: return deviceCantMeetRequest;
    case ENOMEM: return memFullErr;
    case EACCES:
    case EPERM: return permErr;
    default: return ioErr;
    }
}

int64_t Now() {
    UnsignedWide now;
    Microseconds(&now);
    return int64_t((UInt64(now.hi) << 32) | now.lo);
}

// An ioctl on a plain descriptor, retried when a signal interrupts it.
int PlainIoctl(int fd, unsigned long request, void *arg) {
    int result;
    do result = ioctl(fd, request, arg);
    while (result == -1 && errno == EINTR);
    return result;
}

std::string FieldText(const __u8 *text, size_t size) {
    const auto *end = static_cast<const __u8 *>(std::memchr(text, 0, size));
    return std::string(reinterpret_cast<const char *>(text), end != nullptr ? size_t(end - text) : size);
}

// The node's description, or false when it is not a streaming capture device we can open.
bool DescribeNode(const std::string &path, CaptureDeviceInfo &info) {
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    v4l2_capability capability{};
    bool usable = false;
    if (PlainIoctl(fd, VIDIOC_QUERYCAP, &capability) == 0) {
        const __u32 caps =
            (capability.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? capability.device_caps : capability.capabilities;
        usable = (caps & V4L2_CAP_VIDEO_CAPTURE) != 0 && (caps & V4L2_CAP_STREAMING) != 0;
    }
    if (usable) {
        info.name = MacRomanName(FieldText(capability.card, sizeof capability.card));
        if (info.name.empty()) info.name = MacRomanName(path);
        info.path = path;
        info.inputs.clear();
        for (int index = 0; index < kMaximumInputs; ++index) {
            v4l2_input input{};
            input.index = __u32(index);
            if (PlainIoctl(fd, VIDIOC_ENUMINPUT, &input) != 0) break;
            std::string name = MacRomanName(FieldText(input.name, sizeof input.name));
            info.inputs.push_back(name.empty() ? "Input " + std::to_string(index + 1) : name);
        }
        if (info.inputs.empty()) info.inputs.push_back("Input 1");  // a driver that does not list inputs
    }
    close(fd);
    return usable;
}

struct FormatChoice {
    __u32 fourcc;
    OSType type;
    bool nativeOnly;  // not when libv4l2 makes it by conversion
};

// In order of preference: the 4:2:2 formats and JPEG as the camera sends them, then RGB
// as libv4l2 converts it from anything else.
constexpr FormatChoice kFormats[] = {
    {V4L2_PIX_FMT_UYVY, k2vuyPixelFormat, true},    {V4L2_PIX_FMT_YUYV, kYUVSPixelFormat, true},
    {V4L2_PIX_FMT_MJPEG, kJPEGCodecType, true},     {V4L2_PIX_FMT_JPEG, kJPEGCodecType, true},
    {V4L2_PIX_FMT_RGB24, k24RGBPixelFormat, false},
};

class V4L2Source final : public CaptureSource {
public:
    explicit V4L2Source(int fd) : mFd(fd) {}
    ~V4L2Source() override {
        Stop();
        v4l2_close(mFd);
    }

    OSErr Configure(int input, int width, int height, double rate, CaptureFormat &format) override {
        Stop();
        int index = input;
        if (Ioctl(VIDIOC_S_INPUT, &index) != 0 && !(input == 0 && (errno == ENOTTY || errno == EINVAL)))
            return ErrnoStatus(errno);

        // The formats on offer (libv4l2 adds the ones it converts to, flagged emulated).
        struct Offered {
            __u32 fourcc;
            bool emulated;
        };
        std::vector<Offered> offered;
        for (__u32 i = 0; i < 256; ++i) {
            v4l2_fmtdesc description{};
            description.index = i;
            description.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            if (Ioctl(VIDIOC_ENUM_FMT, &description) != 0) {
                if (errno == EINVAL) break;
                return ErrnoStatus(errno);
            }
            offered.push_back({description.pixelformat, (description.flags & V4L2_FMT_FLAG_EMULATED) != 0});
        }

        // The first format that gives the size asked for, else the first that is offered.
        const FormatChoice *chosen = nullptr;
        for (const FormatChoice &choice : kFormats) {
            const bool available = std::any_of(offered.begin(), offered.end(), [&](const Offered &o) {
                return o.fourcc == choice.fourcc && !(choice.nativeOnly && o.emulated);
            });
            if (!available) continue;
            v4l2_format trial = Request(choice.fourcc, width, height);
            if (Ioctl(VIDIOC_TRY_FMT, &trial) != 0 || trial.fmt.pix.pixelformat != choice.fourcc) continue;
            if (chosen == nullptr) chosen = &choice;
            if (int(trial.fmt.pix.width) == width && int(trial.fmt.pix.height) == height) {
                chosen = &choice;
                break;
            }
        }
        if (chosen == nullptr) return deviceCantMeetRequest;

        v4l2_format actual = Request(chosen->fourcc, width, height);
        if (Ioctl(VIDIOC_S_FMT, &actual) != 0) return ErrnoStatus(errno);
        const v4l2_pix_format &pix = actual.fmt.pix;
        if (pix.pixelformat != chosen->fourcc || pix.width == 0 || pix.height == 0 || pix.width > 8192 ||
            pix.height > 8192)
            return deviceCantMeetRequest;
        CaptureFormat result;
        result.type = chosen->type;
        result.matrix = YCbCrMatrixFromV4L2(pix.colorspace, pix.ycbcr_enc);
        result.width = int(pix.width);
        result.height = int(pix.height);
        if (result.type != kJPEGCodecType) {
            const int64_t minimum =
                result.type == k24RGBPixelFormat ? int64_t(result.width) * 3 : int64_t((result.width + 1) / 2) * 4;
            result.rowBytes = std::max<int64_t>(pix.bytesperline, minimum);
            result.frameBytes = result.rowBytes * result.height;
        }

        if (rate > 0.0) {
            v4l2_streamparm parameters{};
            parameters.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            if (Ioctl(VIDIOC_G_PARM, &parameters) == 0 &&
                (parameters.parm.capture.capability & V4L2_CAP_TIMEPERFRAME) != 0) {
                parameters.parm.capture.timeperframe.numerator = 1000;
                parameters.parm.capture.timeperframe.denominator = __u32(std::lround(rate * 1000.0));
                Ioctl(VIDIOC_S_PARM, &parameters);  // the device takes the nearest rate it has
            }
        }
        mFormat = result;
        format = result;
        return noErr;
    }

    OSErr Start() override {
        Stop();
        v4l2_requestbuffers request{};
        request.count = kBufferCount;
        request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        request.memory = V4L2_MEMORY_MMAP;
        if (Ioctl(VIDIOC_REQBUFS, &request) != 0) return ErrnoStatus(errno);
        mRequested = true;
        if (request.count < 2) {
            Stop();
            return deviceCantMeetRequest;
        }
        for (__u32 i = 0; i < request.count; ++i) {
            v4l2_buffer buffer{};
            buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            buffer.memory = V4L2_MEMORY_MMAP;
            buffer.index = i;
            if (Ioctl(VIDIOC_QUERYBUF, &buffer) != 0) return Fail(ErrnoStatus(errno));
            void *start = v4l2_mmap(nullptr, buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, mFd, buffer.m.offset);
            if (start == MAP_FAILED) return Fail(memFullErr);
            mBuffers.push_back({static_cast<uint8_t *>(start), buffer.length});
        }
        for (__u32 i = 0; i < mBuffers.size(); ++i) {
            v4l2_buffer buffer{};
            buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            buffer.memory = V4L2_MEMORY_MMAP;
            buffer.index = i;
            if (Ioctl(VIDIOC_QBUF, &buffer) != 0) return Fail(ErrnoStatus(errno));
        }
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (Ioctl(VIDIOC_STREAMON, &type) != 0) return Fail(ErrnoStatus(errno));
        mStreaming = true;
        mStart = Now();
        return noErr;
    }

    OSErr TakeFrames(const std::function<OSErr(const CapturedFrame &)> &deliver) override {
        if (!mStreaming) return noErr;
        // At most one round of the buffers, so that a fast camera cannot keep SGIdle busy.
        for (size_t round = 0; round < mBuffers.size(); ++round) {
            v4l2_buffer buffer{};
            buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            buffer.memory = V4L2_MEMORY_MMAP;
            if (Ioctl(VIDIOC_DQBUF, &buffer) != 0) {
                if (errno != EAGAIN) return ErrnoStatus(errno);
                // Nothing ready. A camera that was pulled out may also just say "not ready";
                // the descriptor then reports an error or a hang-up.
                pollfd state{mFd, POLLIN, 0};
                if (poll(&state, 1, 0) > 0 && (state.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
                    return noDeviceForChannel;
                return noErr;
            }
            if (buffer.index >= mBuffers.size()) return ioErr;
            OSErr status = noErr;
            if ((buffer.flags & V4L2_BUF_FLAG_ERROR) == 0 && buffer.bytesused > 0) {
                const Buffer &mapped = mBuffers[buffer.index];
                int64_t time = Now() - mStart;
                if ((buffer.flags & V4L2_BUF_FLAG_TIMESTAMP_MASK) == V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC)
                    time = int64_t(buffer.timestamp.tv_sec) * 1000000 + buffer.timestamp.tv_usec - mStart;
                const CapturedFrame frame{mapped.start, std::min<size_t>(buffer.bytesused, mapped.length),
                                          std::max<int64_t>(time, 0)};
                status = deliver(frame);
            }
            if (Ioctl(VIDIOC_QBUF, &buffer) != 0 && status == noErr) return ErrnoStatus(errno);
            if (status != noErr) return status;
        }
        return noErr;
    }

    void Stop() override {
        if (mStreaming) {
            int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            Ioctl(VIDIOC_STREAMOFF, &type);
            mStreaming = false;
        }
        for (const Buffer &buffer : mBuffers) v4l2_munmap(buffer.start, buffer.length);
        mBuffers.clear();
        if (mRequested) {
            v4l2_requestbuffers request{};
            request.count = 0;
            request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            request.memory = V4L2_MEMORY_MMAP;
            Ioctl(VIDIOC_REQBUFS, &request);
            mRequested = false;
        }
    }

    bool GetControl(CaptureControl control, double &value) override {
        v4l2_queryctrl query{};
        if (!Query(control, query)) return false;
        v4l2_control current{};
        current.id = query.id;
        if (Ioctl(VIDIOC_G_CTRL, &current) != 0) return false;
        value = double(int64_t(current.value) - query.minimum) / double(int64_t(query.maximum) - query.minimum);
        return true;
    }

    bool SetControl(CaptureControl control, double value) override {
        v4l2_queryctrl query{};
        if (!Query(control, query) || !std::isfinite(value)) return false;
        if ((query.flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_GRABBED)) != 0) return false;
        const double range = double(int64_t(query.maximum) - query.minimum);
        int64_t raw = query.minimum + int64_t(std::llround(std::clamp(value, 0.0, 1.0) * range));
        if (query.step > 1) raw = query.minimum + (raw - query.minimum) / query.step * query.step;
        v4l2_control wanted{};
        wanted.id = query.id;
        wanted.value = __s32(std::clamp<int64_t>(raw, query.minimum, query.maximum));
        return Ioctl(VIDIOC_S_CTRL, &wanted) == 0;
    }

private:
    struct Buffer {
        uint8_t *start;
        size_t length;
    };

    int Ioctl(unsigned long request, void *arg) {
        int result;
        do result = v4l2_ioctl(mFd, request, arg);
        while (result == -1 && errno == EINTR);
        return result;
    }

    // The control's description; false when the device has no usable integer control of
    // that kind.
    bool Query(CaptureControl control, v4l2_queryctrl &query) {
        static constexpr __u32 kIds[] = {V4L2_CID_BRIGHTNESS, V4L2_CID_CONTRAST, V4L2_CID_SATURATION,
                                         V4L2_CID_GAMMA};
        query = v4l2_queryctrl{};
        query.id = kIds[size_t(control)];
        if (Ioctl(VIDIOC_QUERYCTRL, &query) != 0) return false;
        return (query.flags & V4L2_CTRL_FLAG_DISABLED) == 0 && query.type == V4L2_CTRL_TYPE_INTEGER &&
               query.maximum > query.minimum;
    }

    static v4l2_format Request(__u32 fourcc, int width, int height) {
        v4l2_format format{};
        format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        format.fmt.pix.width = __u32(width);
        format.fmt.pix.height = __u32(height);
        format.fmt.pix.pixelformat = fourcc;
        format.fmt.pix.field = V4L2_FIELD_ANY;
        return format;
    }

    OSErr Fail(OSErr status) {
        Stop();
        return status;
    }

    int mFd;
    CaptureFormat mFormat;
    std::vector<Buffer> mBuffers;
    bool mRequested = false;
    bool mStreaming = false;
    int64_t mStart = 0;
};

}  // namespace

UInt16 YCbCrMatrixFromV4L2(uint32_t colorspace, uint32_t ycbcrEncoding) {
    if (ycbcrEncoding == V4L2_YCBCR_ENC_DEFAULT && colorspace != V4L2_COLORSPACE_DEFAULT)
        ycbcrEncoding = V4L2_MAP_YCBCR_ENC_DEFAULT(colorspace);
    switch (ycbcrEncoding) {
    case V4L2_YCBCR_ENC_709:
    case V4L2_YCBCR_ENC_XV709: return kQTMatrix_ITU_R_709_2;
    default: return kQTMatrix_ITU_R_601_4;
    }
}

std::vector<CaptureDeviceInfo> ListV4L2Devices() {
    std::vector<std::pair<long, std::string>> nodes;
    if (DIR *dev = opendir("/dev")) {
        while (const dirent *entry = readdir(dev)) {
            const char *name = entry->d_name;
            if (std::strncmp(name, "video", 5) != 0 || name[5] == '\0') continue;
            char *end = nullptr;
            const long number = std::strtol(name + 5, &end, 10);
            if (*end != '\0' || number < 0) continue;
            nodes.emplace_back(number, std::string("/dev/") + name);
        }
        closedir(dev);
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<CaptureDeviceInfo> devices;
    for (const auto &node : nodes) {
        CaptureDeviceInfo info;
        if (DescribeNode(node.second, info)) devices.push_back(std::move(info));
    }
    return devices;
}

std::unique_ptr<CaptureSource> OpenV4L2Device(const std::string &path, OSErr &err) {
    const int fd = v4l2_open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        err = ErrnoStatus(errno);
        return nullptr;
    }
    err = noErr;
    return std::make_unique<V4L2Source>(fd);
}

}  // namespace lumora::qt
