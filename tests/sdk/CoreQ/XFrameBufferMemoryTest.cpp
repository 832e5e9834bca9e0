#include <CoreQ/XFrameBufferMemory.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

// A frame of its own memory, sized exactly (no slack after the last row, so a write past
// the frame is caught by AddressSanitizer). Every byte of a pixel holds the same value.
struct TestFrame {
    std::vector<uint8_t> memory;
    XFrameBuffer frame;

    TestFrame(int width, int height, int bytesPerPixel = 4, int padding = 0, OSType format = MakeFourCharCode("BGRA")) {
        frame.width = width;
        frame.height = height;
        frame.bytesPerPixel = bytesPerPixel;
        frame.rowBytes = width * bytesPerPixel + padding;
        frame.pixelFormat = format;
        memory.assign(size_t(frame.rowBytes) * size_t(height), 0xEE);
        frame.baseAddr = memory.data();
    }
    // Rows of pixel values (every byte of the pixel set to the value).
    void Set(const std::vector<std::vector<int>> &rows) {
        for (size_t r = 0; r < rows.size(); ++r)
            for (size_t c = 0; c < rows[r].size(); ++c)
                for (int b = 0; b < frame.bytesPerPixel; ++b) Byte(int(r), int(c), b) = uint8_t(rows[r][c]);
    }
    uint8_t &Byte(int row, int column, int b = 0) {
        return memory[size_t(row) * size_t(frame.rowBytes) + size_t(column) * size_t(frame.bytesPerPixel) + size_t(b)];
    }
    // The first byte of every pixel, row by row.
    std::vector<std::vector<int>> Values() {
        std::vector<std::vector<int>> rows(size_t(frame.height), std::vector<int>(size_t(frame.width)));
        for (int r = 0; r < frame.height; ++r)
            for (int c = 0; c < frame.width; ++c) rows[size_t(r)][size_t(c)] = Byte(r, c);
        return rows;
    }
    // True when all bytes of every pixel agree (the scalings treat the 4 bytes alike).
    bool PixelsUniform() {
        for (int r = 0; r < frame.height; ++r)
            for (int c = 0; c < frame.width; ++c)
                for (int b = 1; b < frame.bytesPerPixel; ++b)
                    if (Byte(r, c, b) != Byte(r, c)) return false;
        return true;
    }
};

using Rows = std::vector<std::vector<int>>;

class XFrameMemoryTest : public corex_test::DebugLogFileTest {};

TEST_F(XFrameMemoryTest, SetFrameDimensionsAllocatesRowsOfFourBytes) {
    XFrameBufferMemory memory;
    ASSERT_TRUE(memory.SetFrameDimensions(5, 3));
    EXPECT_NE(memory.m_base_malloc, nullptr);
    EXPECT_EQ(memory.m_frame_start, memory.m_base_malloc);
    EXPECT_EQ(memory.m_frame_stride, 20);
    memory.m_frame_start[5 * 3 * 4 - 1] = 1;  // the whole frame is addressable
    memory.Free();
    EXPECT_EQ(memory.m_base_malloc, nullptr);
    EXPECT_EQ(memory.m_frame_start, nullptr);
    EXPECT_EQ(memory.m_frame_stride, 0);
}

TEST_F(XFrameMemoryTest, UnusableSizesReportAndLeaveTheObjectEmpty) {
    const struct {
        long width, height;
    } cases[] = {{0, 10}, {10, 0}, {-4, 10}, {10, -4}, {LONG_MAX, 2}, {0x40000000L, 0x40000000L}};
    for (const auto &c : cases) {
        ClearLog();
        XFrameBufferMemory memory;
        ASSERT_TRUE(memory.SetFrameDimensions(2, 2));
        EXPECT_FALSE(memory.SetFrameDimensions(c.width, c.height)) << c.width << " x " << c.height;
        EXPECT_EQ(memory.m_base_malloc, nullptr);
        EXPECT_EQ(memory.m_frame_start, nullptr);
        EXPECT_EQ(memory.m_frame_stride, 0);
        EXPECT_NE(LogText().find(" code : frame_malloc_size!=0"), std::string::npos) << LogText();
    }
}

TEST_F(XFrameMemoryTest, CopyNeedsTheSameLayout) {
    TestFrame source(3, 2, 4, 4), destination(3, 2, 4, 4);
    source.Set({{1, 2, 3}, {4, 5, 6}});
    ASSERT_TRUE(XFrame_CopyBufferMemory(source.frame, destination.frame));
    EXPECT_EQ(destination.Values(), (Rows{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(destination.Byte(0, 3), 0xEE);  // the padding after a row is not copied

    TestFrame otherRowBytes(3, 2, 4, 8);
    EXPECT_FALSE(XFrame_CopyBufferMemory(source.frame, otherRowBytes.frame));
    EXPECT_EQ(otherRowBytes.Byte(0, 0), 0xEE);
    EXPECT_NE(LogText().find(" code : Source==Destination"), std::string::npos) << LogText();
}

TEST(XFrameMergeFields, AveragesRowPairsOrFilters) {
    TestFrame source(2, 4);
    source.Set({{10, 0}, {21, 255}, {100, 7}, {0, 9}});
    TestFrame destination(2, 4);
    ASSERT_TRUE(XFrame_MergeFields(source.frame, destination.frame, XFrameMergeOptions{0}));
    EXPECT_EQ(destination.Values(), (Rows{{15, 127}, {15, 127}, {50, 8}, {50, 8}}));

    ASSERT_TRUE(XFrame_MergeFields(source.frame, destination.frame, XFrameMergeOptions{kXFrameMergeOption_Filter}));
    // (row + (above + below) / 2) / 2, the neighbours of the first and last rows clamped.
    EXPECT_EQ(destination.Values(), (Rows{{12, 63}, {38, 129}, {55, 69}, {25, 8}}));

    // In place gives the same result: every row is computed from the rows as they were.
    ASSERT_TRUE(XFrame_MergeFields(source.frame, source.frame, XFrameMergeOptions{kXFrameMergeOption_Filter}));
    EXPECT_EQ(source.Values(), destination.Values());
}

TEST(XFrameMergeFields, RefusesOddHeightsAndOtherLayouts) {
    TestFrame odd(2, 3), oddDestination(2, 3);
    EXPECT_FALSE(XFrame_MergeFields(odd.frame, oddDestination.frame, XFrameMergeOptions{}));
    TestFrame source(2, 4), wider(3, 4);
    EXPECT_FALSE(XFrame_MergeFields(source.frame, wider.frame, XFrameMergeOptions{}));
    EXPECT_EQ(wider.Byte(0, 0), 0xEE);
}

struct ScaleCase {
    const char *name;
    int sourceWidth, sourceHeight;
    Rows source;
    int destinationWidth, destinationHeight;
    Rows expected;
};

TEST(XFrameScale, BilinearGoldenFrames) {
    const ScaleCase cases[] = {
        {"identity", 3, 2, {{1, 2, 3}, {250, 128, 0}}, 3, 2, {{1, 2, 3}, {250, 128, 0}}},
        {"x2 up", 2, 1, {{0, 100}}, 4, 1, {{0, 50, 100, 100}}},
        {"x2 down", 4, 1, {{0, 40, 80, 120}}, 2, 1, {{0, 80}}},
        {"x2 up both ways", 2, 2, {{0, 100}, {200, 255}}, 4, 4,
         {{0, 50, 100, 100}, {100, 138, 177, 177}, {200, 227, 255, 255}, {200, 227, 255, 255}}},
        // A 1-pixel-wide source: every column takes the one source column (x1 = x0).
        {"one pixel wide", 1, 2, {{10}, {200}}, 3, 4, {{10, 10, 10}, {105, 105, 105}, {200, 200, 200}, {200, 200, 200}}},
        {"flat colour stays flat", 3, 3, {{255, 255, 255}, {255, 255, 255}, {255, 255, 255}}, 7, 5,
         Rows(5, std::vector<int>(7, 255))},
    };
    for (const ScaleCase &c : cases) {
        TestFrame source(c.sourceWidth, c.sourceHeight, 4, 8), destination(c.destinationWidth, c.destinationHeight);
        source.Set(c.source);
        ASSERT_TRUE(XFrame_ScaleBufferMemory(source.frame, destination.frame)) << c.name;
        EXPECT_EQ(destination.Values(), c.expected) << c.name;
        EXPECT_TRUE(destination.PixelsUniform()) << c.name;
        // The progressive form is the same operation.
        TestFrame again(c.destinationWidth, c.destinationHeight);
        ASSERT_TRUE(XFrame_Scale(source.frame, again.frame, true));
        EXPECT_EQ(again.memory, destination.memory) << c.name;
    }
}

TEST(XFrameScale, NearestGoldenFrames) {
    const ScaleCase cases[] = {
        {"identity", 2, 2, {{1, 2}, {3, 4}}, 2, 2, {{1, 2}, {3, 4}}},
        {"x2 up", 2, 2, {{1, 2}, {3, 4}}, 4, 4, {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}}},
        {"x2 down", 4, 2, {{1, 2, 3, 4}, {5, 6, 7, 8}}, 2, 1, {{1, 3}}},
        {"one pixel wide", 1, 2, {{9}, {7}}, 3, 2, {{9, 9, 9}, {7, 7, 7}}},
    };
    for (const ScaleCase &c : cases) {
        TestFrame source(c.sourceWidth, c.sourceHeight), destination(c.destinationWidth, c.destinationHeight);
        source.Set(c.source);
        ASSERT_TRUE(XFrame_ScaleBufferMemory32(source.frame, destination.frame)) << c.name;
        EXPECT_EQ(destination.Values(), c.expected) << c.name;
    }
}

TEST(XFrameScale, RefusesFramesItCannotAddress) {
    TestFrame good(2, 2), destination(2, 2);
    XFrameBuffer noBase = good.frame;
    noBase.baseAddr = nullptr;
    XFrameBuffer shortRows = good.frame;
    shortRows.rowBytes = 4;  // less than two 4-byte pixels
    XFrameBuffer empty = good.frame;
    empty.width = 0;
    for (const XFrameBuffer &bad : {noBase, shortRows, empty}) {
        EXPECT_FALSE(XFrame_ScaleBufferMemory(bad, destination.frame));
        EXPECT_FALSE(XFrame_ScaleBufferMemory(good.frame, bad));
        EXPECT_FALSE(XFrame_ScaleBufferMemory32(bad, destination.frame));
    }
    // A destination without rows asks for nothing.
    XFrameBuffer noRows = destination.frame;
    noRows.height = 0;
    EXPECT_TRUE(XFrame_ScaleBufferMemory(good.frame, noRows));
}

TEST(XFrameFields, SplitDescribesAlternateRows) {
    TestFrame frame(2, 5);
    XFrameBuffer first, second;
    ASSERT_TRUE(XFrame_GetFields(frame.frame, first, second));
    for (const XFrameBuffer *field : {&first, &second}) {
        EXPECT_EQ(field->width, 2);
        EXPECT_EQ(field->height, 2);
        EXPECT_EQ(field->rowBytes, 16);
        EXPECT_EQ(field->fields, 1u);
        EXPECT_EQ(field->bytesPerPixel, 4);
        EXPECT_EQ(field->pixelFormat, frame.frame.pixelFormat);
    }
    EXPECT_EQ(first.baseAddr, frame.frame.baseAddr);
    EXPECT_EQ(second.baseAddr, frame.frame.baseAddr + 8);
}

TEST(XFrameFields, ScalesEachFieldOnItsOwn) {
    // Field one (rows 0, 2) dark, field two (rows 1, 3) bright: a field-wise scaling never
    // mixes the two, a progressive one does.
    TestFrame source(2, 4);
    source.Set({{10, 10}, {200, 200}, {30, 30}, {220, 220}});
    TestFrame destination(2, 8);
    ASSERT_TRUE(XFrame_Scale(source.frame, destination.frame, false));
    EXPECT_EQ(destination.Values(),
              (Rows{{10, 10}, {200, 200}, {20, 20}, {210, 210}, {30, 30}, {220, 220}, {30, 30}, {220, 220}}));

    TestFrame same(2, 4);
    ASSERT_TRUE(XFrame_ScaleFields(source.frame, same.frame));
    EXPECT_EQ(same.Values(), source.Values());
}

TEST(XFrameBlankBorder, ZeroInsetsChangeNothing) {
    TestFrame frame(4, 4);
    frame.Set(Rows(4, std::vector<int>(4, 200)));
    const std::vector<uint8_t> before = frame.memory;
    EXPECT_TRUE(XFrame_BlankBorder(frame.frame, XFrameInsets{}));
    EXPECT_EQ(frame.memory, before);
}

TEST(XFrameBlankBorder, BlackensBandsAndFadesThePictureNextToThem) {
    TestFrame frame(6, 6);
    frame.Set(Rows(6, std::vector<int>(6, 255)));
    ASSERT_TRUE(XFrame_BlankBorder(frame.frame, XFrameInsets{1, 1, 1, 1}));
    EXPECT_EQ(frame.Values(), (Rows{{0, 0, 0, 0, 0, 0},
                                    {0, 28, 56, 56, 28, 0},
                                    {0, 56, 113, 113, 56, 0},
                                    {0, 56, 113, 113, 56, 0},
                                    {0, 28, 56, 56, 28, 0},
                                    {0, 0, 0, 0, 0, 0}}));
    EXPECT_TRUE(frame.PixelsUniform());
}

TEST(XFrameBlankBorder, YUVBlackIsThePattern) {
    // Two 2-byte pixels a row: one group of 4 bytes.
    TestFrame frame(2, 3, 2, 0, MakeFourCharCode("RYUV"));
    frame.Set(Rows(3, std::vector<int>(2, 90)));
    ASSERT_TRUE(XFrame_BlankBorder(frame.frame, XFrameInsets{0, 1, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(frame.memory.begin(), frame.memory.begin() + 4), (std::vector<uint8_t>{255, 0, 128, 128}));
    EXPECT_EQ(frame.Byte(1, 0), 30);  // the row touching the band, a third
    EXPECT_EQ(frame.Byte(2, 0), 60);  // the next one, two thirds
}

TEST(XFrameBlankBorder, HostileInsetsStayInsideTheFrame) {
    // Each case runs on an exactly sized frame: AddressSanitizer stops any write outside.
    const struct {
        XFrameInsets insets;
        bool allBlack;
    } cases[] = {
        {{-32768, -32768, -32768, -32768}, false},
        {{-1, -1, -1, -1}, false},
        {{32767, 0, 0, 0}, true},
        {{0, 32767, 0, 0}, true},
        {{0, 0, 32767, 0}, true},
        {{0, 0, 0, 32767}, true},
        {{32767, 32767, 32767, 32767}, true},
        {{3, 0, 3, 0}, true},   // the two bands meet
        {{0, 3, 0, 3}, true},
        {{2, -5, 2, -5}, false},
        {{-5, 2, -5, 2}, false},
        {{1, 1, 5, 5}, true},
    };
    for (const auto &c : cases) {
        TestFrame frame(5, 5);
        frame.Set(Rows(5, std::vector<int>(5, 99)));
        const std::vector<uint8_t> before = frame.memory;
        EXPECT_TRUE(XFrame_BlankBorder(frame.frame, c.insets));
        const bool negativeOnly =
            c.insets.left <= 0 && c.insets.top <= 0 && c.insets.right <= 0 && c.insets.bottom <= 0;
        if (negativeOnly) {
            EXPECT_EQ(frame.memory, before);
        }
        if (c.allBlack) {
            EXPECT_EQ(frame.Values(), Rows(5, std::vector<int>(5, 0)));
        }
    }
}

TEST(XFrameBlankBorder, RefusesFramesWithoutPixels) {
    TestFrame frame(2, 2);
    XFrameBuffer noBase = frame.frame;
    noBase.baseAddr = nullptr;
    XFrameBuffer noWidth = frame.frame;
    noWidth.width = 0;
    XFrameBuffer noHeight = frame.frame;
    noHeight.height = 0;
    for (const XFrameBuffer &bad : {noBase, noWidth, noHeight})
        EXPECT_FALSE(XFrame_BlankBorder(bad, XFrameInsets{1, 1, 1, 1}));
}

TEST_F(XFrameMemoryTest, TraceWritesTheFrameProperties) {
    TestFrame frame(7, 3);
    frame.frame.fields = 1;
    XFrame_Trace(frame.frame, "Camera");
    const std::string log = LogText();
    EXPECT_NE(log.find("-----------\nCamera XFrameBuffer Properties\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Width,Height = (7,3)\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Fields  = 0001\n"), std::string::npos) << log;
}

}  // namespace
