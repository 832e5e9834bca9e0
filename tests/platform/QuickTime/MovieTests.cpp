#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include <sys/stat.h>

#include <QuickTime/QuickTime.h>

#include "support/media/TestMedia.h"
#include "support/TestFolders.h"

using namespace lumora::test;

namespace {

const std::vector<Colour> kColours = {{255, 0, 0},   {0, 255, 0},    {0, 0, 255},     {255, 255, 0}, {0, 255, 255},
                                   {255, 0, 255}, {255, 255, 255}, {0, 0, 0},      {128, 64, 32}, {32, 128, 200}};

struct MovieKind {
    const char *codec;
    const char *file;
};
void PrintTo(const MovieKind &kind, std::ostream *out) { *out << kind.codec << " in " << kind.file; }
const MovieKind kKinds[] = {{"mjpeg", "movie.mov"}, {"mpeg4", "movie.mp4"}};

Movie OpenByURL(const std::string &path, OSStatus *status = nullptr) {
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(path.c_str()),
                                                           CFIndex(path.size()), false);
    Boolean active = true;
    QTNewMoviePropertyElement properties[] = {
        {kQTPropertyClass_DataLocation, kQTDataLocationPropertyID_CFURL, sizeof url, &url, 0},
        {kQTPropertyClass_NewMovieProperty, kQTNewMoviePropertyID_Active, sizeof active, &active, 0},
    };
    Movie movie = nullptr;
    const OSStatus err = NewMovieFromProperties(2, properties, 0, nullptr, &movie);
    if (status != nullptr) *status = err;
    CFRelease(url);
    return movie;
}

void ExpectColour(GWorldPtr world, const Colour &want) {
    const Colour got = PixelAt(world, 20, 15);
    EXPECT_NEAR(got.r, want.r, 16);
    EXPECT_NEAR(got.g, want.g, 16);
    EXPECT_NEAR(got.b, want.b, 16);
}

OSErr CountDraws(Movie, long refCon) {
    ++*reinterpret_cast<int *>(refCon);
    return noErr;
}

class MovieTest : public ::testing::TestWithParam<MovieKind> {
protected:
    void SetUp() override {
        EnterMovies();
        mPath = mFolder.file(GetParam().file);
        ASSERT_TRUE(WriteMovie(mPath, GetParam().codec, 10, kColours));
        const Rect bounds{0, 0, 24, 32};  // half the movie's size
        ASSERT_EQ(QTNewGWorld(&mWorld, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0), noErr);
        SetGWorld(mWorld, nullptr);
        mMovie = OpenByURL(mPath);
        SetGWorld(nullptr, nullptr);
        ASSERT_NE(mMovie, nullptr);
    }
    void TearDown() override {
        DisposeMovie(mMovie);
        DisposeGWorld(mWorld);
    }
    void DrawAt(TimeValue t) {
        SetMovieTimeValue(mMovie, t);
        MoviesTask(mMovie, 0);
        ASSERT_EQ(GetMoviesError(), noErr);
    }

    lumora::test::ScopedFolder mFolder{"movies"};
    std::string mPath;
    GWorldPtr mWorld = nullptr;
    Movie mMovie = nullptr;
};

}  // namespace

TEST_P(MovieTest, ReportsDurationAndFrameRate) {
    EXPECT_EQ(GetMovieTimeScale(mMovie), 600);
    EXPECT_EQ(GetMovieDuration(mMovie), 600);  // ten frames at 10 fps
    Rect box{};
    GetMovieBox(mMovie, &box);
    const Rect natural{0, 0, 48, 64};
    EXPECT_TRUE(EqualRect(&box, &natural));
    CGrafPtr port = nullptr;
    GetMovieGWorld(mMovie, &port, nullptr);
    EXPECT_EQ(port, mWorld);  // the world current when it opened

    // The static frame rate, as the sample count over the display duration.
    Track track = GetMovieIndTrackType(mMovie, 1, kCharacteristicHasVideoFrameRate,
                                       movieTrackCharacteristic | movieTrackEnabledOnly);
    ASSERT_NE(track, nullptr);
    Media media = GetTrackMedia(track);
    ASSERT_NE(media, nullptr);
    MediaHandler handler = GetMediaHandler(media);
    ASSERT_NE(handler, nullptr);
    Boolean isMpeg = true;
    ASSERT_EQ(MediaHasCharacteristic(handler, kCharacteristicIsAnMpegTrack, &isMpeg), noErr);
    EXPECT_FALSE(isMpeg);
    const long samples = GetMediaSampleCount(media);
    const TimeValue64 display = GetMediaDisplayDuration(media);
    const TimeScale scale = GetMediaTimeScale(media);
    ASSERT_EQ(GetMoviesError(), noErr);
    EXPECT_EQ(samples, 10);
    ASSERT_GT(display, 0);
    EXPECT_NEAR(double(samples) * scale / double(display), 10.0, 1e-9);
    EXPECT_EQ(GetMediaDuration(media), display);
    Fixed rate = 0;
    Size size = sizeof rate;
    ASSERT_EQ(MediaGetPublicInfo(handler, kMediaPublicInfoFrameRate, &rate, &size), noErr);
    EXPECT_EQ(rate, Long2Fix(10));
    EXPECT_EQ(CloseComponent(handler), invalidComponentID);  // belongs to the media

    TimeValue64 decodeTime = -1, decodeDuration = -1;
    SampleNumToMediaDecodeTime(media, 4, &decodeTime, &decodeDuration);
    ASSERT_EQ(GetMoviesError(), noErr);
    EXPECT_EQ(decodeTime, 3 * display / 10);
    EXPECT_EQ(decodeDuration, display / 10);
    SampleNumToMediaDecodeTime(media, 11, &decodeTime, &decodeDuration);
    EXPECT_EQ(GetMoviesError(), invalidSampleNum);
    EXPECT_EQ(decodeTime, 0);

    EXPECT_EQ(GetMovieIndTrackType(mMovie, 2, VideoMediaType, movieTrackMediaType), nullptr);
    EXPECT_EQ(GetMoviesError(), badTrackIndex);
    EXPECT_EQ(GetMovieIndTrackType(mMovie, 1, MakeFourCharCode("soun"), movieTrackMediaType), nullptr);
}

TEST_P(MovieTest, DrawsTheFrameOfTheTimeScaledToTheBox) {
    const struct {
        TimeValue time;
        size_t frame;
    } cases[] = {{0, 0}, {59, 0}, {60, 1}, {250, 4}, {599, 9}, {600, 9}, {5000, 9}, {120, 2}, {0, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.time);
        DrawAt(c.time);
        EXPECT_EQ(GetMovieTime(mMovie, nullptr), std::min<TimeValue>(c.time, 600));
        ExpectColour(mWorld, kColours[c.frame]);
    }
    // The box decides where and how large the picture is drawn.
    const Rect corner{12, 16, 24, 32};
    SetMovieBox(mMovie, &corner);
    PixMapHandle pm = GetGWorldPixMap(mWorld);
    std::fill(GetPixBaseAddr(pm), GetPixBaseAddr(pm) + 24 * GetPixRowBytes(pm), char(0));
    DrawAt(250);
    ExpectColour(mWorld, kColours[4]);
    const Colour outside = PixelAt(mWorld, 5, 5);
    EXPECT_EQ(outside.r + outside.g + outside.b, 0);
}

TEST_P(MovieTest, CallsTheDrawingCompleteProcWhenThePictureChanges) {
    int draws = 0;
    SetMovieDrawingCompleteProc(mMovie, movieDrawingCallWhenChanged, NewMovieDrawingCompleteUPP(CountDraws),
                                reinterpret_cast<long>(&draws));
    DrawAt(0);
    EXPECT_EQ(draws, 1);
    MoviesTask(mMovie, 0);  // same frame, nothing new
    EXPECT_EQ(draws, 1);
    DrawAt(30);  // same frame, but a new time asks for drawing
    EXPECT_EQ(draws, 2);
    DrawAt(70);
    EXPECT_EQ(draws, 3);
    SetMovieDrawingCompleteProc(mMovie, movieDrawingCallAlways, CountDraws, reinterpret_cast<long>(&draws));
    MoviesTask(mMovie, 0);
    EXPECT_EQ(draws, 4);
    SetMovieActive(mMovie, false);
    DrawAt(300);
    EXPECT_EQ(draws, 4);  // inactive movies do not draw
}

TEST_P(MovieTest, LoopsAndStopsAtTheEnd) {
    // Looping: after 1.3 s of a 1 s movie, time has wrapped to the clock's time modulo 1 s.
    SetMoviePlayHints(mMovie, hintsLoop, hintsLoop);
    ASSERT_EQ(PrerollMovie(mMovie, 0, fixed1), noErr);
    StartMovie(mMovie);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(GetMovieRate(mMovie), fixed1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    MoviesTask(mMovie, 0);
    ASSERT_EQ(GetMoviesError(), noErr);
    const TimeValue wrapped = GetMovieTime(mMovie, nullptr);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double expected = std::fmod(elapsed * 600.0, 600.0);
    const double distance = std::fabs(expected - wrapped);
    EXPECT_LT(std::min(distance, 600.0 - distance), 30.0) << "time " << wrapped << " after " << elapsed << " s";
    EXPECT_LT(wrapped, 600);
    EXPECT_FALSE(IsMovieDone(mMovie));
    EXPECT_EQ(GetMovieRate(mMovie), fixed1);

    // Without looping, play stops at the end.
    SetMoviePlayHints(mMovie, 0, hintsLoop);
    SetMovieTimeValue(mMovie, 540);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    MoviesTask(mMovie, 0);
    EXPECT_EQ(GetMovieTime(mMovie, nullptr), 600);
    EXPECT_TRUE(IsMovieDone(mMovie));
    EXPECT_EQ(GetMovieRate(mMovie), 0);
    ExpectColour(mWorld, kColours[9]);
    StopMovie(mMovie);
}

TEST_P(MovieTest, ControllerPlaysAndLoops) {
    const Rect box{0, 0, 48, 64};
    MovieController controller = NewMovieController(mMovie, &box, mcTopLeftMovie | mcNotVisible);
    ASSERT_NE(controller, nullptr);
    long flags = -1;
    ASSERT_EQ(MCGetControllerInfo(controller, &flags), noErr);
    EXPECT_EQ(flags & (mcInfoIsPlaying | mcInfoIsLooping), 0);
    ASSERT_EQ(MCDoAction(controller, mcActionSetLooping, reinterpret_cast<void *>(1)), noErr);
    Boolean looping = false;
    ASSERT_EQ(MCDoAction(controller, mcActionGetLooping, &looping), noErr);
    EXPECT_TRUE(looping);
    ASSERT_EQ(MCDoAction(controller, mcActionPrerollAndPlay, reinterpret_cast<void *>(intptr_t(Long2Fix(1)))), noErr);
    ASSERT_EQ(MCGetControllerInfo(controller, &flags), noErr);
    EXPECT_EQ(flags & (mcInfoIsPlaying | mcInfoIsLooping), mcInfoIsPlaying | mcInfoIsLooping);
    EXPECT_EQ(MCIdle(controller), noErr);
    EXPECT_EQ(MCDoAction(controller, 9999, nullptr), badComponentSelector);
    StopMovie(mMovie);
    ASSERT_EQ(MCGetControllerInfo(controller, &flags), noErr);
    EXPECT_EQ(flags & mcInfoIsPlaying, 0);

    // A controller that outlives its movie answers an error instead of using it.
    DisposeMovie(mMovie);
    mMovie = nullptr;
    EXPECT_EQ(MCIdle(controller), invalidMovie);
    DisposeMovieController(controller);
}

TEST_P(MovieTest, RefusesADisposedWorld) {
    DisposeGWorld(mWorld);
    mWorld = nullptr;
    SetMovieTimeValue(mMovie, 100);
    MoviesTask(mMovie, 0);
    EXPECT_EQ(GetMoviesError(), paramErr);
}

INSTANTIATE_TEST_SUITE_P(Codecs, MovieTest, ::testing::ValuesIn(kKinds),
                         [](const auto &info) { return std::string(info.param.codec); });

TEST(Movies, OpensBy2vuyWorldAndDataReference) {
    lumora::test::ScopedFolder folder("movies-2vuy");
    const std::string path = folder.file("clip.mov");
    ASSERT_TRUE(WriteMovie(path, "mjpeg", 10, kColours));
    const FSRef ref = RefOf(path);
    Handle dataRef = nullptr;
    OSType type = 0;
    ASSERT_EQ(QTNewDataReferenceFromFSRef(&ref, 0, &dataRef, &type), noErr);
    Movie movie = nullptr;
    ASSERT_EQ(NewMovieFromDataRef(&movie, newMovieActive, nullptr, dataRef, type), noErr);
    DisposeHandle(dataRef);

    GWorldPtr world = nullptr;
    const Rect bounds{0, 0, 48, 64};
    ASSERT_EQ(QTNewGWorld(&world, k2vuyPixelFormat, &bounds, nullptr, nullptr, 0), noErr);
    SetMovieGWorld(movie, world, nullptr);
    SetMovieTimeValue(movie, 130);  // frame 2: blue
    MoviesTask(movie, 0);
    ASSERT_EQ(GetMoviesError(), noErr);
    const UInt8 *pair = reinterpret_cast<const UInt8 *>(GetPixBaseAddr(GetGWorldPixMap(world))) + 10 * 128 + 40;
    // Blue in BT.709 (4:2:2 worlds are BT.709 whatever the movie's matrix).
    EXPECT_NEAR(pair[0], 240, 8);  // Cb
    EXPECT_NEAR(pair[1], 32, 8);   // Y
    EXPECT_NEAR(pair[2], 118, 8);  // Cr
    EXPECT_NEAR(pair[3], 32, 8);
    DisposeMovie(movie);
    DisposeGWorld(world);
}

TEST(Movies, UnreadableFilesGiveClearErrors) {
    lumora::test::ScopedFolder folder("movies-bad");
    OSStatus status = noErr;
    EXPECT_EQ(OpenByURL(folder.file("missing.mov"), &status), nullptr);
    EXPECT_EQ(status, couldNotResolveDataRef);
    EXPECT_EQ(GetMoviesError(), couldNotResolveDataRef);

    ASSERT_TRUE(lumora::test::WriteFile(folder.file("noise.mov"), std::string(4000, '\x37')));
    EXPECT_EQ(OpenByURL(folder.file("noise.mov"), &status), nullptr);
    EXPECT_NE(status, noErr);

    // A movie cut in the middle of its data.
    const std::string whole = folder.file("whole.mp4");
    ASSERT_TRUE(WriteMovie(whole, "mpeg4", 10, kColours));
    const std::string bytes = lumora::test::ReadFile(whole);
    ASSERT_TRUE(lumora::test::WriteFile(folder.file("cut.mp4"), bytes.substr(0, bytes.size() / 2)));
    Movie movie = OpenByURL(folder.file("cut.mp4"), &status);
    EXPECT_EQ(movie, nullptr);
    EXPECT_NE(status, noErr);

    // Properties that are not understood fail the call and say which.
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(whole.c_str()),
                                                           CFIndex(whole.size()), false);
    void *context = nullptr;
    QTNewMoviePropertyElement properties[] = {
        {kQTPropertyClass_DataLocation, kQTDataLocationPropertyID_CFURL, sizeof url, &url, 0},
        {MakeFourCharCode("ctxt"), MakeFourCharCode("visu"), sizeof context, &context, 0},
        {kQTPropertyClass_NewMovieProperty, kQTNewMoviePropertyID_Active, 4, &context, 0},
    };
    EXPECT_EQ(NewMovieFromProperties(3, properties, 0, nullptr, &movie), kQTPropertyNotSupportedErr);
    EXPECT_EQ(movie, nullptr);
    EXPECT_EQ(properties[0].propStatus, noErr);
    EXPECT_EQ(properties[1].propStatus, kQTPropertyNotSupportedErr);
    EXPECT_EQ(properties[2].propStatus, kQTPropertyBadValueSizeErr);
    EXPECT_EQ(NewMovieFromProperties(0, nullptr, 0, nullptr, &movie), paramErr);  // no location
    CFRelease(url);

    MoviesTask(nullptr, 0);
    EXPECT_EQ(GetMoviesError(), invalidMovie);
    EXPECT_EQ(GetMovieDuration(nullptr), 0);
    EXPECT_EQ(GetMoviesError(), invalidMovie);
}

namespace {

// The same ten frames in every container the engine reads. Containers differ in where the
// first frame starts (MPEG-TS begins well after 0) and in how they index key frames, which
// is where seeking to the beginning goes wrong.
struct ContainerKind {
    const char *name;
    const char *codec;
    const char *file;
};
void PrintTo(const ContainerKind &kind, std::ostream *out) { *out << kind.codec << " in " << kind.file; }
const ContainerKind kContainers[] = {
    {"mjpeg_mov", "mjpeg", "clip.mov"},     {"mpeg4_mp4", "mpeg4", "clip.mp4"},
    {"mpeg4_mkv", "mpeg4", "clip.mkv"},     {"vp8_webm", "libvpx", "clip.webm"},
    {"vp9_webm", "libvpx-vp9", "clip.webm"}, {"mpeg2_ts", "mpeg2video", "clip.ts"},
    {"mpeg4_ts", "mpeg4", "clip.ts"},        {"mpeg4_avi", "mpeg4", "clip.avi"},
};

class ContainerTest : public ::testing::TestWithParam<ContainerKind> {
protected:
    void SetUp() override {
        EnterMovies();
        mPath = mFolder.file(GetParam().file);
        ASSERT_TRUE(WriteMovie(mPath, GetParam().codec, 10, kColours));
        const Rect bounds{0, 0, 48, 64};
        ASSERT_EQ(QTNewGWorld(&mWorld, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0), noErr);
    }
    void TearDown() override {
        DisposeMovie(mMovie);
        DisposeGWorld(mWorld);
    }
    void Open() {
        DisposeMovie(mMovie);
        SetGWorld(mWorld, nullptr);
        OSStatus status = noErr;
        mMovie = OpenByURL(mPath, &status);
        SetGWorld(nullptr, nullptr);
        ASSERT_EQ(status, noErr);
        ASSERT_NE(mMovie, nullptr);
    }
    // Draws the movie at `time` and returns the colour in the middle of the picture.
    Colour DrawAt(TimeValue time) {
        SetMovieTimeValue(mMovie, time);
        MoviesTask(mMovie, 0);
        EXPECT_EQ(GetMoviesError(), noErr) << "at " << time;
        return PixelAt(mWorld, 32, 24);
    }

    lumora::test::ScopedFolder mFolder{"containers"};
    std::string mPath;
    GWorldPtr mWorld = nullptr;
    Movie mMovie = nullptr;
};

}  // namespace

TEST_P(ContainerTest, DrawsTheFrameOfEachTimeFromAFreshMovie) {
    // Every case opens the movie afresh, so the time drawn is the first thing it decodes.
    const struct {
        TimeValue time;
        size_t frame;
    } cases[] = {{0, 0}, {59, 0}, {60, 1}, {310, 5}, {599, 9}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.time);
        ASSERT_NO_FATAL_FAILURE(Open());
        EXPECT_EQ(GetMovieDuration(mMovie), 600);
        const Colour got = DrawAt(c.time);
        EXPECT_TRUE(Near(got, kColours[c.frame], 16)) << Text(got) << " for frame " << c.frame;
    }
}

TEST_P(ContainerTest, ShowsTheFirstFrameAgainAfterPlaying) {
    ASSERT_NO_FATAL_FAILURE(Open());
    // Forward through the movie as playing does, then back to the beginning and the middle.
    const struct {
        TimeValue time;
        size_t frame;
    } steps[] = {{0, 0}, {100, 1}, {200, 3}, {370, 6}, {590, 9}, {0, 0}, {250, 4}, {10, 0}, {540, 9}, {130, 2}};
    for (const auto &s : steps) {
        SCOPED_TRACE(s.time);
        const Colour got = DrawAt(s.time);
        EXPECT_TRUE(Near(got, kColours[s.frame], 16)) << Text(got) << " for frame " << s.frame;
    }
    // And after real playing on the clock.
    StartMovie(mMovie);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    MoviesTask(mMovie, 0);
    StopMovie(mMovie);
    EXPECT_GT(GetMovieTime(mMovie, nullptr), 0);
    const Colour got = DrawAt(0);
    EXPECT_TRUE(Near(got, kColours[0], 16)) << Text(got);
}

TEST_P(ContainerTest, ReportsTenFramesPerSecond) {
    ASSERT_NO_FATAL_FAILURE(Open());
    Media media = GetTrackMedia(GetMovieIndTrackType(mMovie, 1, VideoMediaType, movieTrackMediaType));
    ASSERT_NE(media, nullptr);
    const long samples = GetMediaSampleCount(media);
    const TimeValue64 display = GetMediaDisplayDuration(media);
    const TimeScale scale = GetMediaTimeScale(media);
    ASSERT_EQ(GetMoviesError(), noErr);
    ASSERT_GT(display, 0);
    EXPECT_EQ(samples, 10);
    EXPECT_NEAR(double(samples) * scale / double(display), 10.0, 1e-6);
    Fixed rate = 0;
    Size size = sizeof rate;
    ASSERT_EQ(MediaGetPublicInfo(GetMediaHandler(media), kMediaPublicInfoFrameRate, &rate, &size), noErr);
    EXPECT_NEAR(Fix2X(rate), 10.0, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Containers, ContainerTest, ::testing::ValuesIn(kContainers),
                         [](const auto &info) { return std::string(info.param.name); });
// Movies whose files do not say how long a frame lasts: one frame, no packet durations, no
// stated rate. Matroska then makes up one tick of its millisecond clock (1000 frames per
// second); the rate must come from the timestamps or the container's duration instead, or
// stay unknown, and never be absurd.
TEST(Movies, FrameRatesOfMoviesThatDoNotStateOne) {
    lumora::test::ScopedFolder folder("movies-rates");
    const struct {
        const char *file;
        const char *codec;
        size_t frames;
        bool durations;
        double rate;         // the static rate; 0: only a believable one
        TimeValue duration;  // the movie's; 0: only a positive one that matches the rate
    } cases[] = {
        {"one.webm", "libvpx", 1, true, 10.0, 60},  {"one-bare.webm", "libvpx", 1, false, 0.0, 0},
        {"one-bare.mkv", "mpeg4", 1, false, 0.0, 0}, {"one-bare.avi", "mpeg4", 1, false, 0.0, 0},
        {"one.ts", "mpeg2video", 1, true, 10.0, 60},
        // The container's duration ends where the last frame starts.
        {"ten-bare.webm", "libvpx", 10, false, 10.0, 540},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = folder.file(c.file);
        const std::vector<Colour> colours(kColours.begin(), kColours.begin() + long(c.frames));
        ASSERT_TRUE(WriteMovie(path, c.codec, 10, colours, {3, c.durations}));
        OSStatus status = noErr;
        Movie movie = OpenByURL(path, &status);
        ASSERT_EQ(status, noErr);
        ASSERT_NE(movie, nullptr);
        const TimeValue duration = GetMovieDuration(movie);
        Media media = GetTrackMedia(GetMovieIndTrackType(movie, 1, VideoMediaType, movieTrackMediaType));
        const long samples = GetMediaSampleCount(media);
        const TimeValue64 display = GetMediaDisplayDuration(media);
        const TimeScale scale = GetMediaTimeScale(media);
        EXPECT_EQ(GetMoviesError(), noErr);
        EXPECT_EQ(samples, long(c.frames));
        ASSERT_GT(display, 0);
        const double rate = double(samples) * scale / double(display);
        if (c.rate > 0) {
            EXPECT_NEAR(rate, c.rate, 1e-6);
            EXPECT_EQ(duration, c.duration);
        } else {
            EXPECT_GE(rate, 1.0);
            EXPECT_LE(rate, 120.0);
            EXPECT_NEAR(duration, 600.0 * double(c.frames) / rate, 1.0);
        }
        Fixed stated = 0;
        Size size = sizeof stated;
        const ComponentResult info =
            MediaGetPublicInfo(GetMediaHandler(media), kMediaPublicInfoFrameRate, &stated, &size);
        if (c.rate > 0) {
            ASSERT_EQ(info, noErr);
            EXPECT_NEAR(Fix2X(stated), c.rate, 0.01);
        } else if (info == noErr) {
            EXPECT_LE(Fix2X(stated), 480.0);  // never the 1000 of a millisecond clock
        } else {
            EXPECT_EQ(info, paramErr);  // unknown
        }

        // Its frames draw at the start and at the end.
        GWorldPtr world = nullptr;
        const Rect bounds{0, 0, 48, 64};
        ASSERT_EQ(QTNewGWorld(&world, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0), noErr);
        SetMovieGWorld(movie, world, nullptr);
        for (const TimeValue t : {TimeValue(0), duration, TimeValue(0)}) {
            SetMovieTimeValue(movie, t);
            MoviesTask(movie, 0);
            EXPECT_EQ(GetMoviesError(), noErr);
            const Colour got = PixelAt(world, 32, 24);
            const Colour &want = t == 0 ? colours.front() : colours.back();
            EXPECT_TRUE(Near(got, want, 16)) << Text(got) << " at " << t;
        }
        DisposeMovie(movie);
        DisposeGWorld(world);
    }
}

namespace {

// A second of 8 kHz 8-bit mono silence: a media file without a video stream.
std::string SilentWave() {
    const auto le = [](uint32_t v, int bytes) {
        std::string s;
        for (int i = 0; i < bytes; ++i) s += char((v >> (8 * i)) & 0xff);
        return s;
    };
    const uint32_t samples = 8000;
    return "RIFF" + le(36 + samples, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(8000, 4) + le(8000, 4) +
           le(1, 2) + le(8, 2) + "data" + le(samples, 4) + std::string(samples, '\x80');
}

}  // namespace

TEST(Movies, FilesThatAreNoMovieFailWithAnError) {
    lumora::test::ScopedFolder folder("movies-hostile");
    ASSERT_TRUE(lumora::test::WriteFile(folder.file("empty.mov"), ""));
    ASSERT_TRUE(lumora::test::WriteFile(folder.file("sound.wav"), SilentWave()));
    ASSERT_EQ(::mkfifo(folder.file("pipe.mov").c_str(), 0600), 0);  // opening it would wait for a writer
    ASSERT_EQ(::mkdir(folder.file("folder.mov").c_str(), 0700), 0);
    const struct {
        const char *file;
        OSErr error;
    } cases[] = {
        {"empty.mov", noMovieFound},
        {"sound.wav", noMovieFound},
        {"pipe.mov", couldNotResolveDataRef},
        {"folder.mov", couldNotResolveDataRef},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        OSStatus status = noErr;
        EXPECT_EQ(OpenByURL(folder.file(c.file), &status), nullptr);
        EXPECT_EQ(status, c.error);
        EXPECT_EQ(GetMoviesError(), c.error);
    }
}

// A movie cut short: containers that can be read without their end open with the frames
// that are left and draw at every time; the others, and any file cut before its first
// frame, fail with noMovieFound. Nothing crashes or hangs.
TEST(Movies, TruncatedMoviesPlayWhatIsLeftOrFail) {
    lumora::test::ScopedFolder folder("movies-cut");
    GWorldPtr world = nullptr;
    const Rect bounds{0, 0, 48, 64};
    ASSERT_EQ(QTNewGWorld(&world, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0), noErr);
    const struct {
        const char *codec;
        const char *file;
        double kept;  // the part of the file left
        bool opens;
    } cases[] = {
        {"mpeg4", "clip.mkv", 0.6, true},       {"mpeg4", "clip.mkv", 0.25, false},  // header only
        {"libvpx", "clip.webm", 0.6, true},     {"mpeg2video", "clip.ts", 0.6, true},
        {"mpeg2video", "clip.ts", 0.05, false}, {"mpeg4", "clip.avi", 0.9, true},  // no index
        {"mpeg4", "clip.avi", 0.6, false},      {"mjpeg", "clip.mov", 0.9, false},  // no sample table
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.file) + " cut to " + std::to_string(c.kept));
        const std::string whole = folder.file(c.file), cut = folder.file(std::string("cut-") + c.file);
        ASSERT_TRUE(WriteMovie(whole, c.codec, 10, kColours));
        const std::string bytes = lumora::test::ReadFile(whole);
        ASSERT_TRUE(lumora::test::WriteFile(cut, bytes.substr(0, size_t(double(bytes.size()) * c.kept))));
        SetGWorld(world, nullptr);
        OSStatus status = noErr;
        Movie movie = OpenByURL(cut, &status);
        SetGWorld(nullptr, nullptr);
        if (!c.opens) {
            EXPECT_EQ(movie, nullptr);
            EXPECT_EQ(status, noMovieFound);
            DisposeMovie(movie);
            continue;
        }
        ASSERT_NE(movie, nullptr);
        for (const TimeValue t : {TimeValue(0), TimeValue(300), GetMovieDuration(movie), TimeValue(5000), TimeValue(0)}) {
            SetMovieTimeValue(movie, t);
            MoviesTask(movie, 0);
            EXPECT_EQ(GetMoviesError(), noErr) << "at " << t;
        }
        const Colour got = PixelAt(world, 32, 24);
        EXPECT_TRUE(Near(got, kColours[0], 16)) << Text(got);
        DisposeMovie(movie);
    }
    DisposeGWorld(world);
}
