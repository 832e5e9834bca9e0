// Still-frame movies written with the movie file writer in every compressor the build has,
// read back through the movie layer, and flattened with and without a sound file.
#include <gtest/gtest.h>

#include <QTKit/MovieFileWriter.h>
#include <QTKit/MovieFlattener.h>

#include <QuickTime/CodecEncoders.h>
#include <QuickTime/QuickTime.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "support/NumberedMovies.h"
#include "support/TestFolders.h"

namespace {

using lumora::qtkit::FlattenMovieFiles;
using lumora::qtkit::GetMovieFileInfo;
using lumora::qtkit::MovieFileInfo;
using lumora::qtkit::MovieFileWriter;
using lumora::qtkit::MovieFlattenRequest;

constexpr int kWidth = 128;
constexpr int kHeight = 96;

// The number the movie shows at `time` (1/600 s); also its duration.
int64_t NumberAt(const std::string &path, TimeValue time, TimeValue *duration = nullptr) {
    return lumora::test::MovieNumberAt(path, kWidth, kHeight, time, duration);
}
using lumora::test::AiffBytes;

// A BGRA frame whose top eighth carries `number` as 32 white or black cells (as the test
// camera's frames do) over a grey field.
std::vector<uint8_t> NumberedFrame(uint32_t number) {
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4, 0x80);
    for (int y = 0; y < kHeight / 8; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int cell = 32 * x / kWidth;
            const uint8_t value = ((number >> (31 - cell)) & 1u) != 0 ? 255 : 0;
            uint8_t *p = &pixels[(size_t(y) * kWidth + x) * 4];
            p[0] = p[1] = p[2] = value;
            p[3] = 255;
        }
    return pixels;
}

// Frame numbers 100.. at 30 per second, 20 units of 1/600 s each.
OSErr WriteNumberedMovie(const std::string &path, CodecType codec, int frames) {
    MovieFileWriter writer;
    MovieFileWriter::Format format;
    format.pixelFormat = 'BGRA';
    format.codec = codec;
    format.timeScale = 600;
    format.quality = codecMaxQuality;
    if (const OSErr err = writer.Open(path, kWidth, kHeight, format); err != noErr) return err;
    for (int n = 0; n < frames; ++n) {
        const std::vector<uint8_t> frame = NumberedFrame(uint32_t(100 + n));
        if (const OSErr err = writer.WriteFrame(frame.data(), kWidth * 4, int64_t(n) * 20, 20); err != noErr)
            return err;
    }
    return writer.Finish();
}

bool Exists(const std::string &path) {
    struct stat info{};
    return lstat(path.c_str(), &info) == 0;
}

TEST(MovieWriting, EveryCompressorWritesAMovieTheMovieLayerPlaysFrameByFrame) {
    ASSERT_FALSE(lumora::qt::AvailableCodecEncoders().empty());
    for (const lumora::qt::CodecEncoder &codec : lumora::qt::AvailableCodecEncoders()) {
        SCOPED_TRACE(codec.typeName);
        lumora::test::ScopedFolder folder("stills");
        const std::string path = folder.file("stills.mov");
        ASSERT_EQ(WriteNumberedMovie(path, codec.type, 15), noErr);
        MovieFileInfo info;
        ASSERT_EQ(GetMovieFileInfo(path, info), noErr);
        EXPECT_TRUE(info.hasVideo);
        EXPECT_FALSE(info.hasAudio);
        EXPECT_EQ(info.width, kWidth);
        EXPECT_NEAR(info.videoSeconds, 15 / 30.0, 1 / 30.0);
        TimeValue duration = 0;
        EXPECT_EQ(NumberAt(path, 0, &duration), 100);
        EXPECT_NEAR(duration, 15 * 20, 20) << "the movie lasts its frames' durations";
        EXPECT_EQ(NumberAt(path, 7 * 20 + 5), 107);
        EXPECT_EQ(NumberAt(path, 14 * 20 + 1), 114);
    }
}

TEST(MovieWriting, AnimationIsLosslessAndRefusesWhatItCannotWrite) {
    lumora::test::ScopedFolder folder("refusals");
    MovieFileWriter writer;
    MovieFileWriter::Format format;
    format.pixelFormat = 'BGRA';
    format.codec = kAnimationCodecType;
    EXPECT_EQ(writer.Open(folder.file("a.mov"), kWidth, kHeight, MovieFileWriter::Format{'ABCD'}), paramErr);
    format.codec = MakeFourCharCode("none");
    EXPECT_EQ(writer.Open(folder.file("a.mov"), kWidth, kHeight, format), noCodecErr);
    ASSERT_TRUE(lumora::test::WriteFile(folder.file("taken.mov"), "mine"));
    format.codec = kAnimationCodecType;
    EXPECT_EQ(writer.Open(folder.file("taken.mov"), kWidth, kHeight, format), dupFNErr);
    EXPECT_EQ(lumora::test::ReadFile(folder.file("taken.mov")), "mine");
    // The codec of 'rle ' is FFmpeg's qtrle.
    ASSERT_EQ(WriteNumberedMovie(folder.file("rle.mov"), kAnimationCodecType, 2), noErr);
    MovieFileInfo info;
    ASSERT_EQ(GetMovieFileInfo(folder.file("rle.mov"), info), noErr);
    EXPECT_EQ(info.videoCodec, "qtrle");
}

TEST(MovieFlattening, JoinsVideoAndSoundOrMakesAVideoOnlyMovie) {
    struct Case {
        const char *name;
        double soundSeconds;  // < 0: no sound file
    };
    for (const Case &c : {Case{"with sound", 0.5}, Case{"video only", -1}}) {
        SCOPED_TRACE(c.name);
        lumora::test::ScopedFolder folder("flatten");
        MovieFlattenRequest request;
        request.videoPath = folder.file("Lumora 0000.qt");
        request.temporaryPath = folder.file("Lumora 0000.MooV");
        request.moviePath = folder.file("Lumora 0000.mov");
        request.copyright = "Made with Lum@ra";
        ASSERT_EQ(WriteNumberedMovie(request.videoPath, kAnimationCodecType, 15), noErr);
        if (c.soundSeconds >= 0) {
            request.audioPath = folder.file("Lumora 0000.aiff");
            ASSERT_TRUE(lumora::test::WriteFile(request.audioPath, AiffBytes(c.soundSeconds)));
        }
        ASSERT_TRUE(lumora::test::WriteFile(request.moviePath, ""));  // the claimed name
        ASSERT_EQ(FlattenMovieFiles(request), noErr);
        EXPECT_FALSE(Exists(request.temporaryPath));
        MovieFileInfo info;
        ASSERT_EQ(GetMovieFileInfo(request.moviePath, info), noErr);
        EXPECT_EQ(info.videoCodec, "qtrle") << "copied, not re-encoded";
        EXPECT_NEAR(info.videoSeconds, 0.5, 1 / 30.0);
        EXPECT_EQ(info.hasAudio, c.soundSeconds >= 0);
        if (info.hasAudio) EXPECT_NEAR(info.audioSeconds, c.soundSeconds, 0.01);
        EXPECT_EQ(info.copyright, "Made with Lum@ra");
        EXPECT_EQ(NumberAt(request.moviePath, 10 * 20 + 1), 110);
    }
}

TEST(MovieFlattening, NeverReplacesAFileAndLeavesNoTemporaryBehind) {
    lumora::test::ScopedFolder folder("flatten-refusals");
    MovieFlattenRequest request;
    request.videoPath = folder.file("v.qt");
    request.temporaryPath = folder.file("v.MooV");
    request.moviePath = folder.file("v.mov");
    // A missing video, and a video that is not a movie.
    EXPECT_EQ(FlattenMovieFiles(request), fnfErr);
    ASSERT_TRUE(lumora::test::WriteFile(request.videoPath, "not a movie"));
    EXPECT_EQ(FlattenMovieFiles(request), noMovieFound);
    ASSERT_TRUE(lumora::test::RemoveTree(request.videoPath));
    ASSERT_EQ(WriteNumberedMovie(request.videoPath, kAnimationCodecType, 3), noErr);
    // A sound file that cannot be read fails the call.
    request.audioPath = folder.file("v.aiff");
    ASSERT_TRUE(lumora::test::WriteFile(request.audioPath, "FORM junk"));
    EXPECT_EQ(FlattenMovieFiles(request), noMovieFound);
    request.audioPath.clear();
    // The final name holds the user's file: kept, and the temporary removed.
    ASSERT_TRUE(lumora::test::WriteFile(request.moviePath, "mine"));
    EXPECT_EQ(FlattenMovieFiles(request), dupFNErr);
    EXPECT_EQ(lumora::test::ReadFile(request.moviePath), "mine");
    EXPECT_FALSE(Exists(request.temporaryPath));
    // A file at the temporary name is not replaced either.
    ASSERT_TRUE(lumora::test::RemoveTree(request.moviePath));
    ASSERT_TRUE(lumora::test::WriteFile(request.temporaryPath, "other"));
    EXPECT_EQ(FlattenMovieFiles(request), dupFNErr);
    EXPECT_EQ(lumora::test::ReadFile(request.temporaryPath), "other");
    EXPECT_FALSE(Exists(request.moviePath));
}

}  // namespace
