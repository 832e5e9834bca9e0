// The 2vuy to RGBA conversion of texture uploads: the inverse of the graphics library's own
// ARGB to 2vuy conversion (BT.709, video range), odd widths and padded rows.
#include <CocoaGL/NSOGL2vuyPixels.h>

#include <CoreG/Frames422/Q_2vuy_buffer.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Colours (as pairs of equal pixels) through the library's encoder and back come out within
// the rounding of 8-bit video range.
TEST(NSOGL2vuyPixels, UndoesTheLibrarysEncoding) {
    ASSERT_TRUE(import_NSOGL2vuyPixels());
    const uint8_t colours[][3] = {{255, 255, 255}, {0, 0, 0},     {255, 0, 0},    {0, 255, 0},
                                  {0, 0, 255},     {128, 64, 32}, {12, 200, 180}, {90, 90, 90}};
    for (const auto &c : colours) {
        SCOPED_TRACE(testing::Message() << int(c[0]) << "," << int(c[1]) << "," << int(c[2]));
        const uint8_t argb[8] = {255, c[0], c[1], c[2], 255, c[0], c[1], c[2]};
        uint8_t pair[4];
        Q_2vuy_buffer::ConvertARGBRowTo2vuy(argb, pair, 2);
        uint8_t rgba[8];
        NSOGL2vuyPixels::ConvertToRGBA(pair, 4, rgba, 8, 2, 1);
        for (int pixel = 0; pixel < 2; ++pixel) {
            for (int channel = 0; channel < 3; ++channel)
                EXPECT_LE(std::abs(int(rgba[pixel * 4 + channel]) - int(c[channel])), 3) << channel;
            EXPECT_EQ(rgba[pixel * 4 + 3], 255);
        }
    }
}

TEST(NSOGL2vuyPixels, ExtremesAreLimited) {
    // Luma beyond video range and the strongest chroma stay within 0..255.
    const uint8_t pairs[8] = {255, 255, 255, 0, 0, 255, 0, 0};
    uint8_t rgba[16];
    NSOGL2vuyPixels::ConvertToRGBA(pairs, 8, rgba, 16, 4, 1);
    EXPECT_EQ(Bytes(rgba, rgba + 16), (Bytes{255, 184, 255, 255, 209, 0, 250, 255, 49, 255, 8, 255, 0, 77, 0, 255}));
}

TEST(NSOGL2vuyPixels, OddWidthsAndPaddedRows) {
    // 3 pixels a row: two pairs read, the last pixel of the second pair dropped.
    const uint8_t frame[2 * 10] = {128, 16, 128, 235, 128, 126, 128, 99, 0xAB, 0xAB,
                                   128, 235, 128, 16, 128, 16, 128, 99, 0xAB, 0xAB};
    Bytes rgba(2 * 16, 0xCD);  // rows of 16 bytes: 12 written, 4 left alone
    NSOGL2vuyPixels::ConvertToRGBA(frame, 10, rgba.data(), 16, 3, 2);
    EXPECT_EQ(rgba, (Bytes{0,   0,   0,   255, 255, 255, 255, 255, 128, 128, 128, 255, 0xCD, 0xCD, 0xCD, 0xCD,
                           255, 255, 255, 255, 0,   0,   0,   255, 0,   0,   0,   255, 0xCD, 0xCD, 0xCD, 0xCD}));
}

}  // namespace
