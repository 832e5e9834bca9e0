// Still-image and movie files that tests make themselves, written with the image and movie
// libraries directly, and reading back the pixels of 32-bit worlds.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <Carbon/Files.h>
#include <QuickTime/Movies.h>
#include <QuickTime/QuickDraw.h>

typedef struct _cairo cairo_t;

namespace lumora::test {

struct Colour {
    int r, g, b;
};

constexpr Colour kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

// A width x height RGBA picture of four quadrants: red top left, green top right, blue
// bottom left, white bottom right (the colours of kQuadrantColours, in that order). The
// bottom-right quadrant has alpha `cornerAlpha`, the others 255.
std::vector<uint8_t> QuadrantPicture(int width, int height, uint8_t cornerAlpha = 255);
constexpr Colour kQuadrantColours[4] = {kRed, kGreen, kBlue, kWhite};

// An 8-bit RGBA or RGB PNG of an RGBA picture, or (sixteenBit) a 16-bit one with each
// sample's byte repeated.
bool WritePNG(const std::string &path, int width, int height, const std::vector<uint8_t> &rgba, bool alpha,
              bool sixteenBit = false);
// How a JPEG stores its colour: three components, or four-colour ink (CMYK) as most writers
// store it (inverted, with an Adobe marker) or plain (ink amounts, no Adobe marker).
enum class JpegColour { RGB, AdobeCMYK, PlainCMYK };
// A baseline JPEG (quality 95) of the picture's RGB.
bool WriteJPEG(const std::string &path, int width, int height, const std::vector<uint8_t> &rgba,
               JpegColour colour = JpegColour::RGB);
// What a TIFF's fourth sample is: nothing (RGB only), associated alpha (the colour stored
// premultiplied by it) or unassociated alpha (the colour stored as it is).
enum class TiffAlpha { None, Associated, Unassociated };
// An RGB or RGBA TIFF (LZW, strips of four rows) of the picture, 8-bit or (floatSamples)
// 32-bit floating-point samples from 0 to 1.
bool WriteTIFF(const std::string &path, int width, int height, const std::vector<uint8_t> &rgba,
               TiffAlpha alpha = TiffAlpha::None, bool floatSamples = false);

// A kMovieWidth x kMovieHeight movie of solid frames, one colour each, at `fps` frames per
// second. codec is an encoder name ("mjpeg", "mpeg4", "mpeg2video", "libvpx" for VP8,
// "libvpx-vp9"); the container comes from the path's extension (.mov, .mp4, .mkv, .webm,
// .ts, .avi). The stream itself states no frame rate; packets carry one frame's duration
// unless `frameDurations` is false.
constexpr int kMovieWidth = 64, kMovieHeight = 48;
struct MovieOptions {
    int keyFrameInterval = 3;
    bool frameDurations = true;
};
bool WriteMovie(const std::string &path, const char *codec, int fps, const std::vector<Colour> &colours,
                const MovieOptions &options = {});

// A one-page PDF document of width x height points, written by cairo into a temporary file
// beside `path` and renamed into place. paint draws the page: origin at the top-left corner,
// y down, one unit a point, the source opaque black; a null paint leaves the page blank.
bool WritePDF(const std::string &path, double width, double height, const std::function<void(cairo_t *)> &paint);
// The same page painted black all over.
bool WriteBlackPagePDF(const std::string &path, double width, double height);

// The colour (and alpha) of the pixel at column h, row v of a 32-bit ARGB world.
Colour PixelAt(GWorldPtr world, int h, int v, int *alpha = nullptr);
// True when every channel is within `tolerance`.
bool Near(const Colour &a, const Colour &b, int tolerance);
// "(r, g, b)", for failure messages.
std::string Text(const Colour &c);

// A reference to an existing path (a zero-filled record when there is nothing).
FSRef RefOf(const std::string &path);

// The movie of the file, active, drawing into a new kMovieWidth x kMovieHeight 32-bit ARGB
// world. False (nothing left open) when either cannot be made; the caller disposes of both.
bool OpenMovieInWorld(const std::string &path, Movie *movie, GWorldPtr *world);

}  // namespace lumora::test
