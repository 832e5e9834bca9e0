// Inside the QuickTime layer: the capture devices behind the Sequence Grabber's video
// channels, V4L2 cameras (through libv4l2) and the test camera.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QuickTime/SequenceGrabber.h>

namespace lumora::qt {

struct CaptureDeviceInfo {
    std::string name;                 // Mac OS Roman, at most 63 bytes, unique in a listing
    std::vector<std::string> inputs;  // Mac OS Roman, at most 63 bytes each; at least one
    std::string path;                 // the V4L2 node; empty for the test camera
};

// The devices as they are now (see SequenceGrabber.h for the order and the names).
std::vector<CaptureDeviceInfo> ListCaptureDevices();

// What a device delivers once configured.
struct CaptureFormat {
    OSType type = 0;  // k2vuyPixelFormat, kYUVSPixelFormat, kJPEGCodecType or k24RGBPixelFormat
    int width = 0;
    int height = 0;
    int64_t rowBytes = 0;    // 0 for JPEG
    int64_t frameBytes = 0;  // 0 for JPEG
    UInt16 matrix = kQTMatrix_ITU_R_709_2;  // Y'CbCr matrix of 4:2:2 frames (kQTMatrix_...)
};

// The Y'CbCr matrix of a V4L2 format's ycbcr_enc (and colorspace, when the encoding is the
// default): BT.709 or BT.601, and BT.601 when the driver says nothing.
UInt16 YCbCrMatrixFromV4L2(uint32_t colorspace, uint32_t ycbcrEncoding);

struct CapturedFrame {
    uint8_t *data;
    size_t size;
    int64_t microseconds;  // capture time since Start
};

// The image controls a device may have. A value is a fraction 0..1 of the device's own range
// (V4L2_CID_BRIGHTNESS, _CONTRAST, _SATURATION, _GAMMA on a V4L2 camera).
enum class CaptureControl { Brightness, Contrast, Saturation, Gamma };

// One open device. Errors are OSErr values: noDeviceForChannel (gone), deviceCantMeetRequest
// (refused or busy), permErr, memFullErr, ioErr.
class CaptureSource {
public:
    virtual ~CaptureSource() = default;
    // Selects the input and settles size, rate (frames per second; 0 the device's own) and
    // format.
    virtual OSErr Configure(int input, int width, int height, double rate, CaptureFormat &format) = 0;
    virtual OSErr Start() = 0;
    // Hands each frame that is ready now, oldest first, to deliver, without waiting. Stops
    // at deliver's first non-zero status and answers it; a frame that deliver refused is
    // not offered again.
    virtual OSErr TakeFrames(const std::function<OSErr(const CapturedFrame &)> &deliver) = 0;
    // Stops streaming (the device stays open until the object is destroyed).
    virtual void Stop() = 0;
    // The control's value; false (value untouched) when the device lacks the control.
    virtual bool GetControl(CaptureControl control, double &value) {
        (void)control, (void)value;
        return false;
    }
    // Sets the control (value clamped to 0..1, then to the device's step); false when the
    // device lacks it or refuses the value.
    virtual bool SetControl(CaptureControl control, double value) {
        (void)control, (void)value;
        return false;
    }
};

// The image description of frames in the format (what SGGetChannelSampleDescription
// answers): type, size, 'rowb' for the uncompressed formats, 'colr' for the 4:2:2 ones. The
// handle is resized to hold it.
OSErr MakeCaptureImageDescription(const CaptureFormat &format, ImageDescriptionHandle desc);

// Opens the device. Null with the error in err.
std::unique_ptr<CaptureSource> OpenCaptureSource(const CaptureDeviceInfo &device, OSErr &err);

// The test camera.
extern const char kTestCameraName[];
extern const char kTestCameraInputName[];
bool TestCameraUnplugged();
std::unique_ptr<CaptureSource> OpenTestCamera(OSErr &err);
// Writes frame n of the test pattern (TestCamera.h) as '2vuy' rows of rowBytes bytes.
void DrawTestPattern(uint8_t *pixels, int width, int height, int64_t rowBytes, uint32_t frameNumber);

// UTF-8 text as a Mac OS Roman name of at most 63 bytes (unmappable characters become '?').
std::string MacRomanName(const std::string &utf8);

}  // namespace lumora::qt
