// The digitizer template: the base digitizer joined to one device object. A DEVICE derives
// from T_config_VDIG_device and provides:
//   static constexpr QVDigConfiguration kConfiguration;   its constants
//   bool Connect(); void Disconnect();
//   ComponentResult GetFrame(UInt8 *count, Ptr *data, long *size);
//   ComponentResult ReleaseCompressBuffer(Ptr data);
//   ComponentResult GetDeviceName(StringPtr name, long input);
//   long GetNumberOfInputs(); long GetCurrentInputNumber(); void SetCurrentInputNumber(long n);
#pragma once

#include <QVDig/QVDigDeviceBase.h>
#include <QVDig/T_config_VDIG_device.h>

#include <QuickTime/FixMath.h>
#include <QuickTime/Microseconds.h>

inline double QVDigMicroseconds() {
    UnsignedWide now{};
    Microseconds(&now);
    return double((uint64_t(now.hi) << 32) | now.lo);
}

template <class DEVICE>
class T_VideoDigitizer : public QVDigDeviceBase {
public:
    static constexpr UInt32 kUniqueDeviceIDHigh = 0xB00BEEEE;
    static constexpr UInt32 kUniqueDeviceIDLow = 0xB00B0000;

    T_VideoDigitizer() : mLastFrameMicroseconds(QVDigMicroseconds()) { mCodecType = DEVICE::kConfiguration.kPixelFormat; }

    DEVICE &Device() { return mDevice; }
    double LastFrameMicroseconds() const { return mLastFrameMicroseconds; }
    float FrameDurationSeconds() const { return mFrameDurationSeconds; }

    ComponentResult GetUniqueIDs(UInt64 *deviceID, UInt64 *inputID) override {
        if (deviceID == nullptr || inputID == nullptr) return paramErr;
        *deviceID = (UInt64(kUniqueDeviceIDHigh) << 32) | kUniqueDeviceIDLow;
        *inputID = 1;
        return noErr;
    }
    ComponentResult SelectUniqueIDs(const UInt64 *, const UInt64 *) override { return noErr; }

    ComponentResult SetFrameRate(Fixed framesPerSecond) override {
        const ComponentResult result = QVDigDeviceBase::SetFrameRate(framesPerSecond);
        if (result == noErr) UpdateFrameDuration();
        return result;
    }

    bool DeviceConnect() override {
        if (!mDevice.Connect()) return false;
        mDevice.SetDeviceNameSuffix("");
        return true;
    }
    void DeviceDisconnect() override { mDevice.Disconnect(); }
    ComponentResult DeviceCreateImageDescription() override {
        const QVDigConfiguration &c = DEVICE::kConfiguration;
        const ComponentResult result =
            CreateImageDescription(short(c.kFrameWidthPixels), short(c.kFrameHeightPixels), c.kPixelFormat, true);
        UpdateFrameDuration();
        return result;
    }
    void DeviceGetMaxSrcRect(Rect &rect) override { mDevice.GetMaxSrcRectFromDevice(rect); }
    ComponentResult DeviceGetFrame(UInt8 *count, Ptr *data, long *size) override {
        const ComponentResult result = mDevice.GetFrame(count, data, size);
        if (*count != 0) mLastFrameMicroseconds = QVDigMicroseconds();
        return result;
    }
    ComponentResult DeviceGetName(StringPtr name, long input) override { return mDevice.GetDeviceName(name, input); }
    ComponentResult DeviceReleaseFrameBuffer(Ptr data) override { return mDevice.ReleaseCompressBuffer(data); }
    ComponentResult DeviceSetCompressionOnOff(Boolean on) override { return mDevice.SetCompressionOnOff(on); }

protected:
    void UpdateFrameDuration() { mFrameDurationSeconds = mFrameRate != 0 ? float(1.0 / Fix2X(mFrameRate)) : 0.0f; }

    DEVICE mDevice;
    double mLastFrameMicroseconds;
    float mFrameDurationSeconds = 1.0f / 30.0f;
};

// The class the class factory makes: each device input is a digitizer input.
template <class DEVICE>
class T_VideoDigitizerWithMultipleDeviceInputs : public T_VideoDigitizer<DEVICE> {
public:
    ComponentResult GetNumberOfInputs(short *inputs) override {
        if (inputs == nullptr) return paramErr;
        const long count = this->mDevice.GetNumberOfInputs();
        *inputs = short(count > 0 ? std::min<long>(count - 1, 0x7FFF) : 0);
        return noErr;
    }
    ComponentResult GetInputFormat(short input, short *format) override {
        (void)input;
        if (format == nullptr) return paramErr;
        *format = yuvComponentIn;
        return noErr;
    }
    ComponentResult SetInput(short input) override {
        if (input < 0) return qtParamErr;
        this->mDevice.SetCurrentInputNumber(input);
        return noErr;
    }
    ComponentResult GetInput(short *input) override {
        if (input == nullptr) return paramErr;
        *input = short(this->mDevice.GetCurrentInputNumber());
        return noErr;
    }
    ComponentResult CaptureStateChanging(UInt32 flags) override { return QVDigDeviceBase::CaptureStateChanging(flags); }
};
