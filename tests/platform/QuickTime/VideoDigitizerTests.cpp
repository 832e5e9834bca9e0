// The Sequence Grabber channel's video digitizer: its picture controls on the device.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QuickTime/QuickTime.h>
#include <QuickTime/TestCamera.h>

namespace {

class ChannelDigitizer : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("LUMORA_TEST_CAMERA", "1", 1);
        LumoraTestCameraSetUnplugged(false);
        const Rect frame{0, 0, 240, 320};
        ASSERT_EQ(QTNewGWorld(&mWorld, k32ARGBPixelFormat, &frame, nullptr, nullptr, 0), noErr);
        mGrabber = OpenDefaultComponent(SeqGrabComponentType, 0);
        ASSERT_NE(mGrabber, nullptr);
        ASSERT_EQ(SGInitialize(mGrabber), noErr);
        ASSERT_EQ(SGSetDataRef(mGrabber, nullptr, 0, seqGrabDontMakeMovie), noErr);
        ASSERT_EQ(SGSetGWorld(mGrabber, mWorld, GetMainDevice()), noErr);
        ASSERT_EQ(SGNewChannel(mGrabber, VideoMediaType, &mChannel), noErr);
        ASSERT_EQ(SGSetChannelBounds(mChannel, &frame), noErr);
    }
    void TearDown() override {
        if (mGrabber != nullptr) CloseComponent(mGrabber);
        DisposeGWorld(mWorld);
        unsetenv("LUMORA_TEST_CAMERA");
    }
    GWorldPtr mWorld = nullptr;
    SeqGrabComponent mGrabber = nullptr;
    SGChannel mChannel = nullptr;
};

TEST_F(ChannelDigitizer, PictureControlsReachThePreparedDevice) {
    VideoDigitizerComponent vd = SGGetVideoDigitizerComponent(mChannel);
    ASSERT_EQ(vd, mChannel);
    EXPECT_EQ(SGGetVideoDigitizerComponent(mGrabber), nullptr) << "the grabber is not a channel";
    unsigned short value = 1234;
    EXPECT_EQ(VDGetSaturation(vd, &value), noDeviceForChannel) << "the device opens at SGPrepare";
    EXPECT_EQ(VDSetSaturation(vd, &value), noDeviceForChannel);
    ASSERT_EQ(SGPrepare(mGrabber, false, true), noErr);

    const struct {
        const char *name;
        VideoDigitizerError (*set)(VideoDigitizerComponent, unsigned short *);
        VideoDigitizerError (*get)(VideoDigitizerComponent, unsigned short *);
    } controls[] = {
        {"brightness", VDSetBrightness, VDGetBrightness},
        {"contrast", VDSetContrast, VDGetContrast},
        {"saturation", VDSetSaturation, VDGetSaturation},
    };
    for (const auto &c : controls) {
        SCOPED_TRACE(c.name);
        for (unsigned short wanted : {0, 6553, 32767, 65535}) {
            unsigned short in = wanted, out = 1;
            EXPECT_EQ(c.set(vd, &in), noErr);
            EXPECT_EQ(c.get(vd, &out), noErr);
            EXPECT_EQ(out, wanted);
        }
        EXPECT_EQ(c.get(vd, nullptr), paramErr);
    }
    EXPECT_EQ(VDGetSaturation(mGrabber, &value), badSGChannel);
    ComponentDescription description{};
    EXPECT_EQ(GetComponentInfo(reinterpret_cast<Component>(vd), &description, nullptr, nullptr, nullptr), noErr);
    EXPECT_NE(description.componentManufacturer, OSType(0x69696463)) << "no IIDC camera here";
}

}  // namespace
