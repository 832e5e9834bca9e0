// Helpers of the 4:2:2 frame tests: formats, frames filled from byte tables, and rows read
// back as byte vectors.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <CoreG/Frames422/Q_2vuy_buffer.h>

namespace coreg_2vuy_test {

inline Q_2vuy_format Format(int width, int height, unsigned rowBytes = 0, OSType pixelFormat = k2vuyPixelFormat) {
    Q_2vuy_format format;
    format._Width = SInt16(width);
    format._Height = SInt16(height);
    format._RowBytes = rowBytes != 0 ? rowBytes : unsigned(width) * 2;
    format._PixelFormat = pixelFormat;
    return format;
}

// Allocates `frame` with the format and writes the rows (each width x 2 bytes).
inline void Fill(Q_2vuy_buffer &frame, const Q_2vuy_format &format, const std::vector<std::vector<uint8_t>> &rows) {
    ASSERT_TRUE(frame.Allocate(format));
    ASSERT_EQ(rows.size(), size_t(format._Height));
    for (size_t r = 0; r < rows.size(); ++r) {
        ASSERT_EQ(rows[r].size(), size_t(format._Width) * 2);
        std::memcpy(frame._PixelData + r * frame._RowBytes, rows[r].data(), rows[r].size());
    }
}

// The width x 2 bytes of a row.
inline std::vector<uint8_t> Row(const Q_2vuy_buffer &frame, long row) {
    const uint8_t *bytes = frame._PixelData + row * long(frame._RowBytes);
    return std::vector<uint8_t>(bytes, bytes + size_t(frame._Width) * 2);
}

// `pairs` copies of one pair.
inline std::vector<uint8_t> Pairs(std::vector<uint8_t> pair, int pairs) {
    std::vector<uint8_t> row;
    for (int i = 0; i < pairs; ++i) row.insert(row.end(), pair.begin(), pair.end());
    return row;
}

}  // namespace coreg_2vuy_test
