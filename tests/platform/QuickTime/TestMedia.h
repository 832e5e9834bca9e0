// Files the QuickTime tests make with the image and movie libraries themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QuickTime/QuickTime.h>

namespace qt_test {

struct RGB {
    int r, g, b;
};

// A width x height RGBA picture of four quadrants: top-left red, top-right green,
// bottom-left blue, bottom-right white; the bottom-right quadrant has alpha `cornerAlpha`.
std::vector<uint8_t> QuadrantPicture(int width, int height, uint8_t cornerAlpha = 255);
constexpr RGB kQuadrantColours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

bool WritePNG(const std::string &path, int width, int height, const std::vector<uint8_t> &rgba, bool alpha);
bool WriteJPEG(const std::string &path, int width, int height, const std::vector<uint8_t> &rgba);
bool WriteTIFF(const std::string &path, int width, int height, const std::vector<uint8_t> &rgba);

// A movie of solid frames, one colour each, at `fps` frames per second, 64 x 48 pixels.
// codec "mjpeg" or "mpeg4"; the container comes from the path's extension.
bool WriteMovie(const std::string &path, const char *codec, int fps, const std::vector<RGB> &colours);

// Reads (A)RGB of a pixel of a 32-bit ARGB world.
RGB PixelAt(GWorldPtr world, int h, int v, int *alpha = nullptr);

// An FSRef to an existing path.
FSRef RefOf(const std::string &path);

}  // namespace qt_test
