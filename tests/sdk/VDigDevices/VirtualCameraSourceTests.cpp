// The virtual camera's frame source: which datagrams the UDP client takes, the shared frame
// cache (formats, seeds, bounded entries, held frames, threads) and the source against a
// live cast server with hostile senders beside it.
#include <VDigDevices/IOSurfaceSharingUDPImage.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "support/VDigTestSurfaces.h"

namespace {

using namespace UVideoFrameBuffer;
using UDPNetwork::IPAddress;
using vdigtest::NewGlobalSurface;
using vdigtest::NewTaggedBGRASurface;

constexpr uint32_t kLoopback = 0x7F000001;
constexpr SInt32 kW = 640, kH = 480;

const UInt8 *PixelAt(const Data &frame, int x, int y) { return frame.GetPixelAtPoint(x, y); }

TEST(UDPLoopbackMessageClient, OnlyTheServersOwnAcknowledgementsAndCastsAreTaken) {
    const IPAddress server(kLoopback, 30300);
    const UDPLoopBackMessageData cast(3, 7, 9, "cast"), ack(2, 0, 0, "ack"), ping(1, 0, 0, "ping"), other(4, 7, 9, "x");
    struct Case {
        const char *name;
        IPAddress sender;
        const UDPLoopBackMessageData *message;
        size_t length;
        uint16_t expected;
    } cases[] = {
        {"cast from the server", server, &cast, cast.sendMessageDataSize(), 3},
        {"ack from the server", server, &ack, ack.sendMessageDataSize(), 2},
        {"ping from the server", server, &ping, ping.sendMessageDataSize(), 0},
        {"unknown type", server, &other, other.sendMessageDataSize(), 0},
        {"cast from another port", IPAddress(kLoopback, 30301), &cast, cast.sendMessageDataSize(), 0},
        {"cast from another loopback address", IPAddress(0x7F000002, 30300), &cast, cast.sendMessageDataSize(), 0},
        {"cast from the network", IPAddress(0xC0A80001, 30300), &cast, cast.sendMessageDataSize(), 0},
        {"cast cut short", server, &cast, 10, 0},
    };
    for (const Case &c : cases) {
        UDPLoopBackMessageData received;
        EXPECT_EQ(UDPLoopbackMessageClient::AcceptServerDatagram(server, c.sender, c.message->data(), c.length, received),
                  c.expected)
            << c.name;
    }
    UDPLoopBackMessageData received;
    const uint8_t noMagic[30] = {'P', 'I', 'y', 'c', 3};
    EXPECT_EQ(UDPLoopbackMessageClient::AcceptServerDatagram(server, server, noMagic, sizeof noMagic, received), 0);
}

TEST(UDPLoopbackMessageClient, BindsToLoopbackOnTheFirstFreeClientPortAndNotWhenAllAreTaken) {
    vdigtest::CastServer server;
    ASSERT_NE(server.port, 0);
    UDPNetwork::Socket taken;
    ASSERT_TRUE(taken.Open(uint16_t(server.port + 1), true));
    {
        UDPLoopbackMessageClient client(server.port);
        ASSERT_TRUE(client.ConnectToServerWithFirstAvailableSocketInPortRange());
        EXPECT_EQ(client.ClientSocket().GetBoundAddress().GetAddress(), kLoopback);
        EXPECT_EQ(client.ClientSocket().GetBoundAddress().GetPort(), server.port + 2);
    }
    std::vector<std::unique_ptr<UDPNetwork::Socket>> all;
    for (uint16_t p = uint16_t(server.port + 2); p <= server.port + 30; ++p) {
        all.push_back(std::make_unique<UDPNetwork::Socket>());
        ASSERT_TRUE(all.back()->Open(p, true));
    }
    UDPLoopbackMessageClient client(server.port);
    EXPECT_FALSE(client.ConnectToServerWithFirstAvailableSocketInPortRange());
    EXPECT_FALSE(client.IsConnected());
}

// ---- The frame cache -----------------------------------------------------------------------

TEST(IOSurfaceSharingFrameBufferCache, SurfacesOfEachFormatBecomeARGBFrames) {
    IOSurfaceSharingFrameBufferCache cache;
    ASSERT_TRUE(cache.ConnnectWithWidthHeight(kW, kH, kPixelFormat_raw));

    // 'BGRA' of the cache's size: flipped top to bottom and swizzled.
    IOSurfaceRef bgra = NewTaggedBGRASurface(kW, kH, 1);
    auto frame = cache.AcquireCachedFrameWithSurfaceID(IOSurfaceGetID(bgra));
    ASSERT_TRUE(frame);
    for (auto [x, y] : {std::pair{0, 0}, {639, 0}, {5, 479}, {333, 200}}) {
        const UInt8 *p = PixelAt(*frame, x, y);
        EXPECT_EQ(p[0], 0xFF);
        EXPECT_EQ(p[1], 0x41);
        EXPECT_EQ(p[2], uint8_t(479 - y));
        EXPECT_EQ(p[3], uint8_t(x));
    }
    cache.ReleaseCachedFrame(frame);

    // A 1280 x 720 'BGRA' surface: resized to 640 x 480 (a flat colour stays that colour).
    IOSurfaceRef large = NewGlobalSurface(1280, 720, 4, 'BGRA', [](long long, long long, uint8_t *p) {
        p[0] = 10, p[1] = 20, p[2] = 30, p[3] = 255;
    });
    frame = cache.AcquireCachedFrameWithSurfaceID(IOSurfaceGetID(large));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->mFrameBufferFormat.mPixelWidth, kW);
    for (auto [x, y] : {std::pair{0, 0}, {639, 479}, {320, 240}})
        EXPECT_EQ(std::memcmp(PixelAt(*frame, x, y), "\xFF\x1E\x14\x0A", 4), 0) << x << "," << y;
    cache.ReleaseCachedFrame(frame);

    // '2vuy': converted (white, black, and pure red from its Y'CbCr), never copied as bytes.
    IOSurfaceRef yuv = NewGlobalSurface(kW, kH, 2, '2vuy', [](long long x, long long y, uint8_t *p) {
        const bool even = (x % 2) == 0;
        if (y < 160) p[0] = even ? 128 : 128, p[1] = 235;        // white
        else if (y < 320) p[0] = 128, p[1] = 16;                   // black
        else p[0] = even ? 90 : 240, p[1] = 81;                    // red: Cb 90, Cr 240, Y 81
    });
    frame = cache.AcquireCachedFrameWithSurfaceID(IOSurfaceGetID(yuv));
    ASSERT_TRUE(frame);
    const UInt8 *white = PixelAt(*frame, 10, 10), *black = PixelAt(*frame, 11, 200), *red = PixelAt(*frame, 100, 400);
    EXPECT_EQ(std::vector<int>(white, white + 4), (std::vector<int>{255, 255, 255, 255}));
    EXPECT_EQ(std::vector<int>(black, black + 4), (std::vector<int>{255, 0, 0, 0}));
    EXPECT_EQ(red[0], 255);
    EXPECT_GE(red[1], 250);
    EXPECT_LE(red[2], 3);
    EXPECT_LE(red[3], 3);
    cache.ReleaseCachedFrame(frame);

    // '2vuy' of another size and an unknown 4-byte format of another layout: refused.
    IOSurfaceRef smallYuv = NewGlobalSurface(320, 240, 2, '2vuy', [](long long, long long, uint8_t *p) { p[0] = 1; });
    IOSurfaceRef odd = NewGlobalSurface(320, 240, 4, 'RGBA', [](long long, long long, uint8_t *p) { p[0] = 1; });
    EXPECT_FALSE(cache.AcquireCachedFrameWithSurfaceID(IOSurfaceGetID(smallYuv)));
    EXPECT_FALSE(cache.AcquireCachedFrameWithSurfaceID(IOSurfaceGetID(odd)));
    // Identifier 0 and an identifier that names nothing.
    EXPECT_FALSE(cache.AcquireCachedFrameWithSurfaceID(0));
    EXPECT_FALSE(cache.AcquireCachedFrameWithSurfaceID(0x7FFFFFF0));
    for (IOSurfaceRef s : {bgra, large, yuv, smallYuv, odd}) CFRelease(s);
}

TEST(IOSurfaceSharingFrameBufferCache, ACopyOnlyWhenTheSeedChangedAndNeverUnderAHolder) {
    IOSurfaceSharingFrameBufferCache cache;
    ASSERT_TRUE(cache.ConnnectWithWidthHeight(kW, kH, kPixelFormat_raw));
    IOSurfaceRef surface = NewTaggedBGRASurface(kW, kH, 0);
    const IOSurfaceID id = IOSurfaceGetID(surface);
    auto paint = [&](uint8_t blue, bool throughALock) {
        if (throughALock) IOSurfaceLock(surface, 0, nullptr);
        static_cast<uint8_t *>(IOSurfaceGetBaseAddress(surface))[0] = blue;
        if (throughALock) IOSurfaceUnlock(surface, 0, nullptr);
    };
    const int bottomLeftBlue = 3;  // the surface's first pixel is the frame's bottom-left one
    ASSERT_TRUE(cache.CacheSurfaceWithID(id));

    paint(0xAA, false);  // written without a lock: the seed stays, so does the cached frame
    auto frame = cache.AcquireCachedFrameWithSurfaceID(id);
    ASSERT_TRUE(frame);
    EXPECT_EQ(PixelAt(*frame, 0, 479)[bottomLeftBlue], 0);

    paint(0xBB, true);  // a new seed while the frame is held: not written, not handed out
    EXPECT_FALSE(cache.AcquireCachedFrameWithSurfaceID(id));
    EXPECT_EQ(PixelAt(*frame, 0, 479)[bottomLeftBlue], 0);
    cache.ReleaseCachedFrame(frame);

    frame = cache.AcquireCachedFrameWithSurfaceID(id);
    ASSERT_TRUE(frame);
    EXPECT_EQ(PixelAt(*frame, 0, 479)[bottomLeftBlue], 0xBB);
    cache.ReleaseCachedFrame(frame);
    CFRelease(surface);
}

TEST(IOSurfaceSharingFrameBufferCache, AFloodOfIdentifiersKeepsOnlyTheLatestFewEntries) {
    IOSurfaceSharingFrameBufferCache cache;
    ASSERT_TRUE(cache.ConnnectWithWidthHeight(kW, kH, kPixelFormat_raw));
    IOSurfaceRef first = NewTaggedBGRASurface(kW, kH, 0);
    auto held = cache.AcquireCachedFrameWithSurfaceID(IOSurfaceGetID(first));
    ASSERT_TRUE(held);
    for (int i = 0; i < 12; ++i) {
        IOSurfaceRef s = NewTaggedBGRASurface(64, 48, uint8_t(i));
        EXPECT_TRUE(cache.CacheSurfaceWithID(IOSurfaceGetID(s)));
        EXPECT_LE(cache.EntryCount(), IOSurfaceSharingFrameBufferCache::kMaxCachedSurfaces);
        CFRelease(s);
    }
    // The held frame left the map but is still whole for its holder.
    EXPECT_EQ(PixelAt(*held, 7, 479)[3], 7);
    cache.ReleaseCachedFrame(held);
    CFRelease(first);
}

TEST(IOSurfaceSharingFrameBufferCache, ConnectionsShareOneFormatAndOthersAreRefused) {
    IOSurfaceSharingFrameBufferCache cache;
    EXPECT_FALSE(cache.ConnnectWithWidthHeight(0, kH, kPixelFormat_raw));
    EXPECT_FALSE(cache.ConnnectWithWidthHeight(kW, kH, kPixelFormat_2vuy));
    ASSERT_TRUE(cache.ConnnectWithWidthHeight(kW, kH, kPixelFormat_raw));
    EXPECT_TRUE(cache.ConnnectWithWidthHeight(kW, kH, kPixelFormat_raw));
    EXPECT_FALSE(cache.ConnnectWithWidthHeight(320, 240, kPixelFormat_raw));
    EXPECT_EQ(cache.ConnectionCount(), 2);
    cache.Disconnect();
    cache.Disconnect();
    cache.Disconnect();
    EXPECT_EQ(cache.ConnectionCount(), 0);
    EXPECT_TRUE(cache.ConnnectWithWidthHeight(320, 240, kPixelFormat_raw));
    EXPECT_EQ(cache.GetFormat().mPixelRowBytes, 1280);
}

// Sources on several threads share the cache: lookups, copies, trims and hand-outs of the
// same and of different surfaces at once stay sound (ASan sees any freed frame being read).
TEST(IOSurfaceSharingFrameBufferCache, SourcesOnSeveralThreadsShareTheCache) {
    IOSurfaceSharingFrameBufferCache cache;
    ASSERT_TRUE(cache.ConnnectWithWidthHeight(kW, kH, kPixelFormat_raw));
    std::vector<IOSurfaceRef> surfaces;
    for (int i = 0; i < 6; ++i) surfaces.push_back(NewTaggedBGRASurface(kW, kH, uint8_t(i)));
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 60; ++i) {
                const int which = (i * (t + 1)) % 6;
                IOSurfaceLock(surfaces[which], 0, nullptr);  // a new seed each time
                IOSurfaceUnlock(surfaces[which], 0, nullptr);
                auto frame = cache.AcquireCachedFrameWithSurfaceID(IOSurfaceGetID(surfaces[which]));
                if (frame && PixelAt(*frame, 1, 1)[1] != 0x40 + which) ++wrong;
                cache.ReleaseCachedFrame(frame);
            }
        });
    for (auto &t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_LE(cache.EntryCount(), IOSurfaceSharingFrameBufferCache::kMaxCachedSurfaces);
    for (IOSurfaceRef s : surfaces) CFRelease(s);
}

// ---- The source against a live server --------------------------------------------------------

bool WaitReadable(int fd, int ms = 500) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

struct LiveSource : ::testing::Test {
    vdigtest::CastServer server;
    std::unique_ptr<IOSurfaceSharingUDPImageARGB> source;
    void SetUp() override {
        ASSERT_NE(server.port, 0);
        source = std::make_unique<IOSurfaceSharingUDPImageARGB>(server.port);
        ASSERT_TRUE(source->ConstructWidthHeight(kW, kH));
        source->GetFrameFromServerMessage();  // opens the socket and pings
        ASSERT_TRUE(source->Client().IsConnected());
        server.Serve(100);
        ASSERT_EQ(server.server.ActiveClientCount(), 1u);
    }
    void Read() {
        WaitReadable(source->Client().ClientSocket().GetDescriptor());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        source->GetFrameFromServerMessage();
    }
    uint8_t ShownTag() {
        auto frame = source->AcquireCurrentFrame();
        const uint8_t tag = frame ? uint8_t(PixelAt(*frame, 0, 0)[1] - 0x40) : 0xFF;
        source->ReleaseFrame(frame);
        return tag;
    }
};

TEST_F(LiveSource, TheLastOfSeveralCastsWinsAndIdentifierZeroIsIgnored) {
    IOSurfaceRef a = NewTaggedBGRASurface(kW, kH, 1), b = NewTaggedBGRASurface(kW, kH, 2), c = NewTaggedBGRASurface(kW, kH, 3);
    server.Cast(IOSurfaceGetID(a), 100);
    server.Cast(IOSurfaceGetID(b), 200);
    server.Cast(IOSurfaceGetID(c), 300);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Read();
    EXPECT_EQ(source->GetSurfaceID(), IOSurfaceGetID(c));
    EXPECT_EQ(source->GetFrameTime(), 300u);
    EXPECT_EQ(ShownTag(), 3);

    server.Cast(0, 400);
    Read();
    EXPECT_EQ(source->GetSurfaceID(), IOSurfaceGetID(c));
    EXPECT_EQ(source->GetFrameTime(), 300u);

    source->SetPaused(true);
    server.Cast(IOSurfaceGetID(a), 500);
    Read();
    EXPECT_EQ(source->GetSurfaceID(), IOSurfaceGetID(c));
    for (IOSurfaceRef s : {a, b, c}) CFRelease(s);
}

TEST_F(LiveSource, HostileCastsLeaveOnlyTheServersFramesWithBoundedMemory) {
    IOSurfaceRef served = NewTaggedBGRASurface(kW, kH, 5);
    IOSurfaceRef foreign = NewTaggedBGRASurface(kW, kH, 9);
    server.Cast(IOSurfaceGetID(served), 1);
    Read();
    ASSERT_EQ(ShownTag(), 5);

    // Another local process casts straight at the client: another surface, identifiers that
    // name nothing, and a flood of new ones.
    UDPNetwork::Socket hostile;
    ASSERT_TRUE(hostile.CreateUDPSocket());
    ASSERT_TRUE(hostile.BindToThisAddress(IPAddress(kLoopback, 0)));
    const IPAddress clientAddress = source->Client().ClientSocket().GetBoundAddress();
    auto castAt = [&](uint64_t id) {
        const UDPLoopBackMessageData m(3, id, 77, "from server:MessageType_ServerDataCast.");
        hostile.Send(clientAddress, m.data(), m.sendMessageDataSize());
    };
    castAt(IOSurfaceGetID(foreign));
    castAt(0x7FFFFF00);
    std::vector<IOSurfaceRef> flood;
    for (int i = 0; i < 40; ++i) {
        flood.push_back(NewTaggedBGRASurface(32, 32, 7));
        castAt(IOSurfaceGetID(flood.back()));
    }
    Read();
    for (int i = 0; i < 3; ++i) source->GetFrameFromServerMessage();
    EXPECT_EQ(source->GetSurfaceID(), IOSurfaceGetID(served));
    EXPECT_EQ(ShownTag(), 5);
    EXPECT_LE(IOSurfaceSharingUDPImage8888::s_frame_cache.EntryCount(), IOSurfaceSharingFrameBufferCache::kMaxCachedSurfaces);

    // The server's own flood of identifiers is bounded as well.
    for (IOSurfaceRef s : flood) {
        server.Cast(IOSurfaceGetID(s), 2);
        Read();
        EXPECT_LE(IOSurfaceSharingUDPImage8888::s_frame_cache.EntryCount(),
                  IOSurfaceSharingFrameBufferCache::kMaxCachedSurfaces);
    }
    for (IOSurfaceRef s : flood) CFRelease(s);
    CFRelease(served);
    CFRelease(foreign);
}

}  // namespace
