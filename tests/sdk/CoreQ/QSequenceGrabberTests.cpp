// The Sequence Grabber owner and the decompression sequence owner: closed objects refuse,
// the component's callbacks reach the object, a new sequence ends the previous one.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <CoreQ/QGWorld.h>
#include <CoreQ/QImageDescription.h>
#include <CoreQ/QImageSequence.h>
#include <CoreQ/QSGDeviceList.h>
#include <CoreQ/QSequenceGrabber.h>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

using QSequenceGrabberTest = corex_test::DebugLogFileTest;

class NotingGrabber : public QSequenceGrabber {
public:
    OSErr OnThisDataProc(SGChannel, Ptr data, long dataSize, long *, long, TimeValue time, short) override {
        sizes.push_back(dataSize);
        times.push_back(time);
        return data == nullptr ? OSErr(-1) : OSErr(noErr);
    }
    bool ModalDialogFilter(DialogRef, const EventRecord *, short *itemHit) override {
        return itemHit != nullptr && *itemHit == 1;
    }
    std::vector<long> sizes;
    std::vector<TimeValue> times;
};

TEST_F(QSequenceGrabberTest, AClosedGrabberAnswersParamErr) {
    QSequenceGrabber grabber;
    Rect bounds = {0, 0, 10, 10};
    Str255 name = {0};
    short number = 0;
    QSGDeviceList list;
    const std::vector<OSErr> results = {
        grabber.Initialize(),
        grabber.Stop(),
        grabber.StartRecord(),
        grabber.Idle(),
        grabber.Prepare(),
        grabber.SetThisDataProc(),
        grabber.SetDataRef(nullptr, 0, seqGrabDontMakeMovie),
        grabber.SetChannelBounds(nullptr, bounds),
        grabber.SetChannelUsage(nullptr, seqGrabRecord),
        grabber.DisposeChannel(nullptr),
        grabber.GetChannelSampleDescription(nullptr, nullptr),
        grabber.GetChannelDeviceList(nullptr, sgDeviceListIncludeInputs, list),
        grabber.GetChannelDeviceAndInputNames(nullptr, name, name, &number),
        grabber.SetChannelDevice(nullptr, name),
        grabber.SetChannelDeviceInput(nullptr, 0),
        grabber.ChannelChangedSource(nullptr),
        grabber.BeginChannelSettingsChange(nullptr),
        grabber.EndChannelSettingsChange(nullptr),
    };
    for (size_t i = 0; i < results.size(); ++i) EXPECT_EQ(results[i], paramErr) << "call " << i;
    EXPECT_FALSE(list.IsValid());
    EXPECT_EQ(grabber.CloseIF(), noErr);
}

TEST_F(QSequenceGrabberTest, OpensInitialisesAndCloses) {
    QSequenceGrabber grabber;
    ASSERT_EQ(grabber.OpenInitialize(), noErr);
    const SeqGrabComponent first = grabber.mComponent;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(grabber.SetThisDataProc(), noErr);
    EXPECT_EQ(grabber.SetDataRef(nullptr, 0, seqGrabDontMakeMovie), noErr);
    // Statuses of the component come back unchanged, and are reported.
    EXPECT_EQ(grabber.SetDataRef(nullptr, 0, seqGrabToDisk), unimpErr);
    EXPECT_NE(LogText().find("VERIFY_OSERR FAILED: OSErr:-4"), std::string::npos) << LogText();
    ASSERT_EQ(grabber.OpenInitialize(), noErr);  // closes the first instance
    EXPECT_NE(grabber.mComponent, nullptr);
    EXPECT_EQ(grabber.CloseIF(), noErr);
    EXPECT_EQ(grabber.mComponent, nullptr);
}

TEST_F(QSequenceGrabberTest, TheCallbacksReachTheObjectOfTheirRefCon) {
    NotingGrabber grabber;
    char frame[8] = {};
    long offset = 0;
    EXPECT_EQ(QSequenceGrabber::sDataProc(nullptr, frame, 8, &offset, 0, 42, 0, &grabber), noErr);
    EXPECT_EQ(QSequenceGrabber::sDataProc(nullptr, nullptr, 3, &offset, 0, 7, 0, &grabber), -1);
    EXPECT_EQ(grabber.sizes, (std::vector<long>{8, 3}));
    EXPECT_EQ(grabber.times, (std::vector<TimeValue>{42, 7}));
    short item = 1;
    EXPECT_TRUE(QSequenceGrabber::sModalDialogFilter(nullptr, nullptr, &item, &grabber));
    EXPECT_EQ(LogText(), "");

    EXPECT_EQ(QSequenceGrabber::sDataProc(nullptr, frame, 8, &offset, 0, 0, 0, nullptr), paramErr);
    EXPECT_FALSE(QSequenceGrabber::sModalDialogFilter(nullptr, nullptr, &item, nullptr));
    EXPECT_NE(LogText().find("VERIFY FAILED"), std::string::npos);
}

TEST_F(QSequenceGrabberTest, AnImageSequenceDrawsFramesAndEndsThePreviousOneWhenBegunAgain) {
    QImageSequence sequence;
    char data[4] = {};
    EXPECT_EQ(sequence.DecompressSequenceFrameS(data, sizeof(data)), paramErr);
    EXPECT_EQ(sequence.SequenceEnd(), noErr);

    // One '2vuy' pair of white pixels into a 2 x 1 ARGB world.
    QGWorld world;
    ASSERT_TRUE(world.Construct(QPoint(2, 1)));
    QGWorld source;
    ASSERT_TRUE(source.Construct(QPoint(2, 1), k2vuyPixelFormat));
    QImageDescription description;
    ASSERT_TRUE(source.GetImageDescription(description, true));
    ASSERT_EQ(sequence.DecompressSequenceBegin(description.GetHandle(), world.mGWorld, nullptr, codecNormalQuality,
                                               bestSpeedCodec),
              noErr);
    const ImageSequence first = sequence.mSeqID;
    ASSERT_NE(first, 0);
    unsigned char white[4] = {128, 235, 128, 235};
    ASSERT_EQ(sequence.DecompressSequenceFrameS(reinterpret_cast<Ptr>(white), sizeof(white)), noErr);
    const uint8_t *argb = reinterpret_cast<const uint8_t *>(GetPixBaseAddr(world.GetPixMap()));
    for (int c = 0; c < 8; ++c) EXPECT_GE(argb[c], 250) << c;

    ASSERT_EQ(sequence.DecompressSequenceBegin(description.GetHandle(), world.mGWorld, nullptr, codecNormalQuality,
                                               bestSpeedCodec),
              noErr);
    EXPECT_NE(sequence.mSeqID, first);
    EXPECT_EQ(CDSequenceEnd(first), paramErr);  // already ended
    EXPECT_EQ(sequence.SequenceEnd(), noErr);
    EXPECT_FALSE(sequence.IsRunning());

    // A failed begin leaves no sequence.
    EXPECT_NE(sequence.DecompressSequenceBegin(description.GetHandle(), nullptr, nullptr, codecNormalQuality,
                                               bestSpeedCodec),
              noErr);
    EXPECT_FALSE(sequence.IsRunning());
}

}  // namespace
