// The sharing outputs (made by the kind of their identifier, fanned out by a set) and the
// window channel's packet, its pixels and the window output, on the offscreen Qt platform.
#include <gtest/gtest.h>

#include <FrameSharing/Mach/IOSurfaceIPC.h>
#include <FrameSharing/Outputs/IOSurfaceSharingServerOutput.h>
#include <FrameSharing/Window/CGImageDataWrapper.h>
#include <FrameSharing/Window/IOSurfaceSharingNSWindowInfoController.h>
#include <FrameSharing/Window/IOSurfaceSharingNSWindowServer.h>

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGBitmapContext.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGDataProvider.h>
#include <IOSurface/IOSurface.h>
#include <Mach/bootstrap.h>

#include <QApplication>

#include <poll.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

QApplication *Application() {
    static QApplication *application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "FrameSharingOutputsTests";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return application;
}

IOSurfaceRef Surface() { return IOSurfaceIPC::globalSurfaceWithSizePixels(8, 8, 0x42475241); }

// The pixels of an image, as 32-bit words in memory order, row by row.
std::vector<uint32_t> Pixels(CGImageRef image) {
    std::vector<uint32_t> pixels;
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    if (data == nullptr) return pixels;
    const size_t width = CGImageGetWidth(image), height = CGImageGetHeight(image), row = CGImageGetBytesPerRow(image);
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x) {
            uint32_t word;
            std::memcpy(&word, CFDataGetBytePtr(data) + y * row + x * 4, 4);
            pixels.push_back(word);
        }
    CFRelease(data);
    return pixels;
}

// An image of the given pixels (memory order words), the written images' layout.
CGImageRef ImageOf(const std::vector<uint32_t> &pixels, size_t width, size_t height) {
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(pixels.data()), CFIndex(pixels.size() * 4));
    CGDataProviderRef provider = CGDataProviderCreateWithCFData(data);
    CFRelease(data);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGImageRef image = CGImageCreate(width, height, 8, 32, width * 4, space,
                                     kCGImageAlphaNoneSkipFirst | kCGBitmapByteOrder32Little, provider, nullptr,
                                     false, kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    return image;
}

tagIOSurfaceMessagePacket FirstPacket() {
    tagIOSurfaceMessagePacket packet;
    packet.sequenceNumber = 1;
    packet.surfaceID = 5;
    packet.surfaceTime = 1000;
    IOSurfaceMessagePacketSeal(packet);
    return packet;
}

TEST(IOSurfaceMessagePacket, IsByteExactWithItsCRC32) {
    EXPECT_EQ(IOSurfaceMessagePacketCRC32("123456789", 9), 0x0376E6E7u);  // CRC-32/MPEG-2
    const IOSurfaceMessagePacketBytes bytes = IOSurfaceMessagePacketEncode(FirstPacket());
    const uint8_t head[40] = {44, 0, 0, 0, 1, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0xE8, 0x03, 0, 0};
    EXPECT_EQ(std::memcmp(bytes.data(), head, 40), 0);
    const uint32_t crc = IOSurfaceMessagePacketCRC32(head, 40);
    EXPECT_EQ(bytes[40], uint8_t(crc));
    EXPECT_EQ(bytes[41], uint8_t(crc >> 8));
    EXPECT_EQ(bytes[42], uint8_t(crc >> 16));
    EXPECT_EQ(bytes[43], uint8_t(crc >> 24));
    EXPECT_TRUE(IOSurfaceMessagePacketIsValid(bytes));
    const tagIOSurfaceMessagePacket back = IOSurfaceMessagePacketDecode(bytes);
    EXPECT_EQ(back.surfaceID, 5u);
    EXPECT_EQ(back.surfaceTime, 1000u);
    EXPECT_EQ(back.messageChecksum, crc);

    for (size_t i = 0; i < bytes.size(); ++i) {  // any altered byte is caught
        IOSurfaceMessagePacketBytes altered = bytes;
        altered[i] ^= 0x10;
        EXPECT_FALSE(IOSurfaceMessagePacketIsValid(altered)) << i;
    }
}

// The size rule, and the sizes it cannot lay out: refused, not an image of no height.
TEST(CGImageDataWrapper, PixelSizesAndRefusedSizes) {
    const struct {
        size_t bytes, width, height;
    } cases[] = {{44, 24, 40}, {1, 4, 2},  {9, 12, 18}, {17, 16, 2},
                 {16, 0, 0},   {48, 0, 0}, {64, 0, 0},  {65, 0, 0},  // height 0 / fewer pixels than bytes
                 {0, 0, 0},    {CGImageDataWrapper::kMaxBytes + 1, 0, 0}};
    for (const auto &c : cases) {
        size_t width = 1, height = 1;
        EXPECT_EQ(CGImageDataWrapper::calculatedPixelSize(c.bytes, width, height), c.width != 0) << c.bytes;
        EXPECT_EQ(width, c.width) << c.bytes;
        EXPECT_EQ(height, c.height) << c.bytes;
        const CGImageDataWrapper wrapper(c.bytes);
        EXPECT_EQ(wrapper.isValid(), c.width != 0) << c.bytes;
        std::vector<uint8_t> bytes(c.bytes + 1, 7);
        CGImageRef image = wrapper.createImageWithBytes(bytes.data(), c.bytes);
        EXPECT_EQ(image != nullptr, c.width != 0) << c.bytes;
        CGImageRelease(image);
    }
    Application();
    NSWindowExactBytes refused(48);
    const CGImageDataWrapper small(1);
    const uint8_t one = 1;
    CGImageRef image = small.createImageWithBytes(&one, 0);  // any image: the window takes none
    EXPECT_FALSE(refused.writeImageData(image));
    CGImageRelease(image);
}

TEST(CGImageDataWrapper, BytesFillTheBottomRowThenTheRowAbove) {
    const IOSurfaceMessagePacketBytes bytes = IOSurfaceMessagePacketEncode(FirstPacket());
    const CGImageDataWrapper &wrapper = CGImageDataWrapper::sharedPacketWrapper();
    CGImageRef image = wrapper.createImageWithBytes(bytes.data(), bytes.size());
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(CGImageGetWidth(image), 24u);
    ASSERT_EQ(CGImageGetHeight(image), 40u);
    const std::vector<uint32_t> pixels = Pixels(image);
    for (size_t row = 0; row < 40; ++row)
        for (size_t column = 0; column < 24; ++column) {
            uint32_t expected = 0;
            if (row == 39) expected = bytes[column] * 0x01010101u;
            if (row == 38 && column < 20) expected = bytes[24 + column] * 0x01010101u;
            ASSERT_EQ(pixels[row * 24 + column], expected) << row << "," << column;
        }

    // Read back as they are, and from a capture at twice the size; a capture of two different
    // multiples is dropped, one pixel with unequal channels fails the read.
    IOSurfaceMessagePacketBytes read{};
    EXPECT_TRUE(IOSurfaceSharingNSWindowDecodeImage(image, read));
    EXPECT_EQ(read, bytes);
    std::vector<uint32_t> twice(48 * 80);
    for (size_t y = 0; y < 80; ++y)
        for (size_t x = 0; x < 48; ++x) twice[y * 48 + x] = pixels[(y / 2) * 24 + x / 2] | 0xFF000000u;
    CGImageRef doubled = ImageOf(twice, 48, 80);
    read.fill(0);
    EXPECT_TRUE(IOSurfaceSharingNSWindowDecodeImage(doubled, read));
    EXPECT_EQ(read, bytes);
    CGImageRelease(doubled);
    CGImageRef uneven = ImageOf(std::vector<uint32_t>(48 * 40), 48, 40);
    EXPECT_FALSE(IOSurfaceSharingNSWindowDecodeImage(uneven, read));
    CGImageRelease(uneven);
    std::vector<uint32_t> unequal = pixels;
    unequal[39 * 24 + 3] ^= 0x00010000u;  // the third byte of byte 3's pixel
    CGImageRef broken = ImageOf(unequal, 24, 40);
    EXPECT_FALSE(IOSurfaceSharingNSWindowDecodeImage(broken, read));
    CGImageRelease(broken);
    std::vector<uint32_t> altered = pixels;
    altered[39 * 24 + 9] ^= 0x00010101u;  // byte 9, consistently: the CRC fails
    CGImageRef wrong = ImageOf(altered, 24, 40);
    EXPECT_FALSE(IOSurfaceSharingNSWindowDecodeImage(wrong, read));
    CGImageRelease(wrong);
    CGImageRelease(image);
}

TEST(IOSurfaceSharingNSWindow, TitleRule) {
    EXPECT_EQ(IOSurfaceSharingNSWindow::mangledServerPortNameWithPublishedPortName("com.tarvex.Lumora2.IOSurfaceSharing",
                                                                                   30300),
              "com.tarvex.Lumora2.IOSurfaceSharing:30300.NSWindow");
    EXPECT_EQ(IOSurfaceSharingNSWindow::mangledServerPortNameWithPublishedPortName("name", 0), "name.NSWindow");
    EXPECT_TRUE(IOSurfaceSharingNSWindow::mangledServerPortNameWithPublishedPortName(QString(), 1).isNull());
    const IOSurfaceSharingNSWindow window(QVariant::fromValue(IOSurfaceSharingConnectionID::connectionIDwithPortName("x")));
    EXPECT_EQ(window.mangledPublishedPortName(), "x.NSWindow");
    EXPECT_TRUE(IOSurfaceSharingNSWindow(QVariant(QStringLiteral("x"))).mangledPublishedPortName().isNull());
}

// The window output: each frame's packet in the window's pixels, numbered from 1.
TEST(IOSurfaceSharingNSWindowServer, WritesEachFramesPacketIntoItsWindow) {
    Application();
    auto server = IOSurfaceSharingNSWindowServer::serverOutputWithConnectionID(
        QVariant::fromValue(IOSurfaceSharingConnectionID("com.example.window", 30300)));
    ASSERT_NE(server->windowExactBytes(), nullptr);
    EXPECT_EQ(server->windowExactBytes()->abstractWindowName(), "com.example.window:30300.NSWindow");
    EXPECT_EQ(server->windowExactBytes()->width(), 24);
    EXPECT_EQ(server->windowExactBytes()->height(), 40);
    EXPECT_TRUE(server->hasServerConnection());
    EXPECT_FALSE(server->broadcastSurfaceWithSurfaceTime(nullptr, 1));
    EXPECT_EQ(server->message().sequenceNumber, 0u);
    IOSurfaceRef surface = Surface();
    ASSERT_NE(surface, nullptr);
    for (uint32_t frame = 1; frame <= 2; ++frame) {
        ASSERT_TRUE(server->broadcastSurfaceWithSurfaceTime(surface, 1000 * frame));
        CGImageRef shown = server->windowExactBytes()->copyWindowViewImage();
        IOSurfaceMessagePacketBytes bytes{};
        ASSERT_TRUE(IOSurfaceSharingNSWindowDecodeImage(shown, bytes));
        CGImageRelease(shown);
        EXPECT_EQ(bytes, IOSurfaceMessagePacketEncode(server->message()));
        const tagIOSurfaceMessagePacket packet = IOSurfaceMessagePacketDecode(bytes);
        EXPECT_EQ(packet.sequenceNumber, frame);
        EXPECT_EQ(packet.surfaceID, IOSurfaceGetID(surface));
        EXPECT_EQ(packet.surfaceTime, 1000u * frame);
    }
    CFRelease(surface);
}

// A recording member of a set.
class RecordingOutput : public IOSurfaceSharingServerOutput {
public:
    explicit RecordingOutput(bool answer) : mAnswer(answer) {}
    bool outputConnect() override { return ++connects, mAnswer; }
    bool broadcastSurfaceWithSurfaceTime(IOSurfaceRef, uint64_t time) override {
        times.push_back(time);
        return mAnswer;
    }
    int connects = 0;
    std::vector<uint64_t> times;

private:
    bool mAnswer;
};

TEST(IOSurfaceSharingServerOutput, TheIdentifiersKindChoosesTheChannel) {
    Application();
    auto udp = std::dynamic_pointer_cast<IOSurfaceSharingServerOutputNetworkUDP>(
        IOSurfaceSharingServerOutput::serverOutputWithConnectionID(QVariant::fromValue(uint32_t(30300))));
    ASSERT_NE(udp, nullptr);
    EXPECT_EQ(udp->networkSurfaceServer()->serverPortNumber(), 30300);
    EXPECT_EQ(udp->serverOutputPortNumber().toUInt(), 30300u);
    auto mach = std::dynamic_pointer_cast<IOSurfaceSharingServerOutputMachMessage>(
        IOSurfaceSharingServerOutput::serverOutputWithConnectionID(QStringLiteral("com.example.mach")));
    ASSERT_NE(mach, nullptr);
    EXPECT_EQ(mach->serverOutputPortName(), "com.example.mach");
    EXPECT_NE(std::dynamic_pointer_cast<IOSurfaceSharingNSWindowServer>(IOSurfaceSharingServerOutput::serverOutputWithConnectionID(
                  QVariant::fromValue(IOSurfaceSharingConnectionID("com.example.window", 1)))),
              nullptr);
    EXPECT_EQ(IOSurfaceSharingServerOutput::serverOutputWithConnectionID(QVariantList{1, 2}), nullptr);
    EXPECT_EQ(IOSurfaceSharingServerOutput::serverOutputWithConnectionID(QVariant()), nullptr);

    auto set = IOSurfaceSharingServerOutputSet::serverOutputSet();
    EXPECT_FALSE(set->addServerOutputWithConnectionID(QVariantList{}));
    EXPECT_TRUE(set->addServerOutputsWithConnectionIDs({QVariantList{}, QStringLiteral("com.example.set")}));
    EXPECT_NE(set->outputWithClass<IOSurfaceSharingServerOutputMachMessage>(), nullptr);
    EXPECT_EQ(set->outputWithClass<IOSurfaceSharingServerOutputNetworkUDP>(), nullptr);
}

TEST(IOSurfaceSharingServerOutputSet, FansOutWithOneTimeStamp) {
    auto empty = IOSurfaceSharingServerOutputSet::serverOutputSet();
    IOSurfaceRef surface = Surface();
    EXPECT_FALSE(empty->outputConnect());
    EXPECT_FALSE(empty->broadcastSurface(surface));

    auto set = IOSurfaceSharingServerOutputSet::serverOutputSet();
    auto yes = std::make_shared<RecordingOutput>(true), no = std::make_shared<RecordingOutput>(false);
    set->addServerOutput(no);
    set->addServerOutput(no);  // held once
    EXPECT_FALSE(set->outputConnect());
    set->addServerOutput(yes);
    EXPECT_EQ(set->serverOutputs().size(), 2u);
    EXPECT_TRUE(set->outputConnect());
    EXPECT_EQ(no->connects, 2);
    EXPECT_TRUE(set->broadcastSurface(surface));
    ASSERT_EQ(yes->times.size(), 1u);
    ASSERT_EQ(no->times.size(), 1u);
    EXPECT_EQ(yes->times[0], no->times[0]);
    EXPECT_GT(yes->times[0], 0u);
    CFRelease(surface);
}

// The Mach output publishes its service; once disconnected it stays closed.
TEST(IOSurfaceSharingServerOutputMachMessage, DisconnectedStaysClosed) {
    auto output = IOSurfaceSharingServerOutputMachMessage::serverOutputWithConnectionID(QStringLiteral("com.example.closed"));
    ASSERT_TRUE(output->outputConnect());
    struct stat info {};
    const std::string path = std::string(bootstrap_runtime_folder()) + "/com.example.closed";
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    IOSurfaceRef surface = Surface();
    EXPECT_TRUE(output->broadcastSurfaceWithSurfaceTime(surface, 1));
    EXPECT_TRUE(output->outputDisconnect());
    EXPECT_FALSE(output->outputConnect());
    EXPECT_FALSE(output->outputDisconnect());
    EXPECT_FALSE(output->broadcastSurfaceWithSurfaceTime(surface, 1));
    EXPECT_FALSE(output->setServerOutputPortName("com.example.other"));
    CFRelease(surface);
}

// The UDP output answers the truth: YES when the cast went out (it answered NO before).
TEST(IOSurfaceSharingServerOutputNetworkUDP, AnswersYesForACastMade) {
    // A free port of 127.0.0.1.
    UDPNetwork::Socket probe;
    ASSERT_TRUE(probe.CreateUDPSocket());
    ASSERT_TRUE(probe.BindToThisAddress(UDPNetwork::IPAddress(0x7F000001, 0)));
    const uint16_t port = probe.GetBoundAddress().m_port;
    probe.Close();
    auto output = IOSurfaceSharingServerOutputNetworkUDP::serverOutputWithConnectionID(QVariant::fromValue(uint32_t(port)));
    ASSERT_TRUE(output->hasServerConnection());

    UDPNetwork::Socket client;
    ASSERT_TRUE(client.CreateUDPSocket());
    ASSERT_TRUE(client.BindToThisAddress(UDPNetwork::IPAddress(0x7F000001, 0)));
    const UDPLoopBackMessageData ping(UDPLoopBackMessageData::MessageType_ClientPing, 0, 0, "MessageType_ClientPing");
    ASSERT_TRUE(client.Send(UDPNetwork::IPAddress(0x7F000001, port), ping.data(), ping.sendMessageDataSize()));
    IOSurfaceRef surface = Surface();
    // The ping is served by the output's own connection check, one per frame.
    bool cast = false;
    for (int i = 0; i < 200 && output->networkSurfaceServer()->loopbackServer().ActiveClientCount() == 0; ++i) {
        cast = output->broadcastSurfaceWithSurfaceTime(surface, 77);
        ::poll(nullptr, 0, 5);
    }
    ASSERT_EQ(output->networkSurfaceServer()->loopbackServer().ActiveClientCount(), 1u);
    EXPECT_TRUE(cast);
    EXPECT_TRUE(output->broadcastSurfaceWithSurfaceTime(surface, 88));
    // The acknowledgement, then the cast of the last frame, byte-exact.
    std::vector<uint8_t> last;
    for (int i = 0; i < 10; ++i) {
        pollfd wait{client.GetDescriptor(), POLLIN, 0};
        if (::poll(&wait, 1, 500) <= 0) break;
        uint8_t buffer[128];
        UDPNetwork::IPAddress sender;
        const size_t size = client.Receive(sender, buffer, sizeof buffer);
        last.assign(buffer, buffer + size);
    }
    const UDPLoopBackMessageData expected(UDPLoopBackMessageData::MessageType_ServerDataCast, IOSurfaceGetID(surface), 88,
                                          "from server:MessageType_ServerDataCast.");
    ASSERT_EQ(last.size(), expected.sendMessageDataSize());
    EXPECT_EQ(std::memcmp(last.data(), expected.data(), last.size()), 0);
    CFRelease(surface);
}

}  // namespace

namespace {

// The inspector: what it shows of a window image, announced as one change.
TEST(IOSurfaceSharingNSWindowInfoController, ShowsThePacketOfTheWindowImage) {
    Application();
    IOSurfaceSharingNSWindowInfoController empty;
    EXPECT_EQ(empty.imageRefHexValue(), "CGImageRef(NULL)");
    EXPECT_EQ(empty.imageSizePixels(), "CGSize(0,0)");
    EXPECT_FALSE(empty.messageChecksumVerify());

    auto server = IOSurfaceSharingNSWindowServer::serverOutputWithConnectionID(
        QVariant::fromValue(IOSurfaceSharingConnectionID("com.example.inspected", 0)));
    IOSurfaceSharingNSWindowViewNibbler panel;
    IOSurfaceSharingNSWindowInfoController *info = panel.windowInfoController();
    ASSERT_NE(info, nullptr);
    info->setLiveUpdates(true);
    server->setSentImageInfo(&panel);
    IOSurfaceRef surface = Surface();
    ASSERT_TRUE(server->broadcastSurfaceWithSurfaceTime(surface, 42));
    ASSERT_TRUE(server->broadcastSurfaceWithSurfaceTime(surface, 43));
    EXPECT_TRUE(info->messageChecksumVerify());
    EXPECT_EQ(info->sizeofMessagePacket(), 44u);
    EXPECT_EQ(info->messageSequenceNumber(), 2u);
    EXPECT_EQ(info->messageSurfaceID(), IOSurfaceGetID(surface));
    EXPECT_EQ(info->messageChecksumHexValue(), QString::asprintf("%08X", server->message().messageChecksum));
    EXPECT_EQ(info->imageSizePixels(), "CGSize(24,40)");
    EXPECT_TRUE(info->imageRefHexValue().startsWith("CGImageRef(0x"));
    EXPECT_EQ(info->windowDescription(), "n/a ()");
    EXPECT_EQ(info->image().size(), QSize(24, 40));

    // An image of no packet: shown as not verified.
    CGImageRef blank = ImageOf(std::vector<uint32_t>(24 * 40), 24, 40);
    EXPECT_FALSE(info->messageConstruct(blank));
    EXPECT_FALSE(info->messageChecksumVerify());
    EXPECT_EQ(info->messageSurfaceID(), 0u);
    CGImageRelease(blank);
    CFRelease(surface);
}

}  // namespace
