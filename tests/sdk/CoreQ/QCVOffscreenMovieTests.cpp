// Offscreen movies: opening into worlds, frame rate, playing and looping, time scrubbing.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <Carbon/CarbonEvents.h>
#include <CoreFoundation/CFURL.h>
#include <CoreQ/QCVOffscreenMovie.h>
#include <CoreQ/QGWorld.h>
#include <CoreQ/QMovieTimeScrub.h>

#include "support/media/TestMedia.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "support/TestFolders.h"

namespace {

using namespace lumora::test;

// Four frames at 10 frames per second: 0.4 seconds.
const std::vector<Colour> kFrames = {kRed, kGreen, kBlue, kWhite};
constexpr int kFPS = 10;
constexpr int kTolerance = 12;  // MPEG-4 is lossy

// Counts the frames drawn and notes the colour at the centre of each.
class ProbeMovie : public QCVOffscreenMovie {
public:
    using QCVOffscreenMovie::mFrameRate;

    GWorldPtr probeWorld = nullptr;
    std::vector<Colour> drawn;
    int opened = 0;
    bool closeWhenDrawn = false;

    void OnMovieOpened() override {
        ++opened;
        QCVOffscreenMovie::OnMovieOpened();
    }
    OSErr OnMovieDrawingComplete() override {
        if (probeWorld != nullptr) drawn.push_back(PixelAt(probeWorld, kMovieWidth / 2, kMovieHeight / 2));
        else drawn.push_back(Colour{-1, -1, -1});
        if (closeWhenDrawn) Close();
        return noErr;
    }
};

class QCVOffscreenMovieTest : public corex_test::DebugLogFileTest {
protected:
    void SetUp() override {
        DebugLogFileTest::SetUp();
        mPath = mFolder.file("colours.mov");
        ASSERT_TRUE(WriteMovie(mPath, "mpeg4", kFPS, kFrames));
        mURL = URLOf(mPath);
        ASSERT_NE(mURL, nullptr);
        ASSERT_TRUE(mWorld.Construct(QPoint(kMovieWidth, kMovieHeight), k32ARGBPixelFormat));
        QPixMap_FillPixelARGB32(mWorld.GetPixMap(), 0x11);
    }
    void TearDown() override {
        if (mURL != nullptr) CFRelease(mURL);
        DebugLogFileTest::TearDown();
    }

    static CFURLRef URLOf(const std::string &path) {
        return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(path.c_str()),
                                                       CFIndex(path.size()), false);
    }

    static bool Near(const Colour &a, const Colour &b) { return lumora::test::Near(a, b, kTolerance); }

    // Serves the Carbon event loop until `done` or the time is up.
    template <class Done>
    static bool RunUntil(Done done, double seconds = 3.0) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            RunCurrentEventLoop(0.01);
        }
        return true;
    }

    lumora::test::ScopedFolder mFolder{"movies"};
    std::string mPath;
    CFURLRef mURL = nullptr;
    QGWorld mWorld;
};

TEST_F(QCVOffscreenMovieTest, OpensAndReportsItsFrameRateAndDuration) {
    ProbeMovie movie;
    ASSERT_TRUE(movie.OpenURLForGWorld(mURL, mWorld, nullptr));
    EXPECT_TRUE(movie.IsMovieOpen());
    EXPECT_EQ(movie.opened, 1);  // the frame-rate query ran after the open
    EXPECT_NEAR(movie.GetFrameRate(), 10.0, 1e-9);
    double rate = 0.0;
    EXPECT_TRUE(MovieGetStaticFrameRate(movie.GetMovie(), rate));
    EXPECT_NEAR(rate, 10.0, 1e-9);

    QMovieTimeScrub scrub;
    ASSERT_TRUE(scrub.SetMovie(movie.GetMovie()));
    EXPECT_EQ(scrub.GetTimeScale(), GetMovieTimeScale(movie.GetMovie()));
    EXPECT_NEAR(scrub.GetDuration(), 0.4, 1e-9);
    EXPECT_FALSE(movie.IsLooping());
    EXPECT_EQ(LogText(), "");

    EXPECT_TRUE(movie.Close());
    EXPECT_FALSE(movie.IsMovieOpen());
    EXPECT_EQ(movie.GetMovie(), nullptr);
}

// One-frame WebM movies: the Matroska clock ticks in milliseconds, and a frame whose length
// the file does not state must not make a rate of 1000 frames per second.
TEST_F(QCVOffscreenMovieTest, AOneFrameWebMHasABelievableRate) {
    const struct {
        const char *file;
        bool durations;
        double rate;      // 0: any believable one
        double duration;  // seconds; 0: one frame at that rate
    } cases[] = {{"one.webm", true, 10.0, 0.1}, {"one-bare.webm", false, 0.0, 0.0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = mFolder.file(c.file);
        ASSERT_TRUE(WriteMovie(path, "libvpx", kFPS, {kGreen}, {1, c.durations}));
        CFURLRef url = URLOf(path);
        ProbeMovie movie;
        movie.probeWorld = mWorld.mGWorld;
        const bool opened = movie.OpenURLForGWorld(url, mWorld, nullptr);
        CFRelease(url);
        ASSERT_TRUE(opened);
        const double rate = movie.GetFrameRate();
        if (c.rate > 0) {
            EXPECT_NEAR(rate, c.rate, 1e-9);
        } else {
            EXPECT_GE(rate, 1.0);
            EXPECT_LE(rate, 120.0);
        }
        QMovieTimeScrub scrub;
        ASSERT_TRUE(scrub.SetMovie(movie.GetMovie()));
        EXPECT_NEAR(scrub.GetDuration(), c.duration > 0 ? c.duration : 1.0 / rate, 1.0 / 600);
        ASSERT_TRUE(scrub.SetCurrentTime(0.0));
        ASSERT_FALSE(movie.drawn.empty());
        EXPECT_TRUE(Near(movie.drawn.back(), kGreen)) << Text(movie.drawn.back());
        EXPECT_TRUE(movie.Close());
    }
    EXPECT_EQ(LogText(), "");
}

TEST_F(QCVOffscreenMovieTest, ScrubbingDrawsTheFrameOfThatTimeAtOnce) {
    ProbeMovie movie;
    movie.probeWorld = mWorld.mGWorld;
    ASSERT_TRUE(movie.OpenURLForGWorld(mURL, mWorld, nullptr));
    QMovieTimeScrub scrub;
    ASSERT_TRUE(scrub.SetMovie(movie.GetMovie()));
    const struct {
        double seconds;
        Colour colour;
    } cases[] = {{0.15, kGreen}, {0.25, kBlue}, {0.39, kWhite}, {0.0, kRed}, {0.05, kRed}, {0.31, kWhite}};
    for (const auto &c : cases) {
        const size_t before = movie.drawn.size();
        ASSERT_TRUE(scrub.SetCurrentTime(c.seconds)) << c.seconds;
        EXPECT_NEAR(scrub.GetCurrentTime(), c.seconds, 1.0 / 600) << c.seconds;
        ASSERT_EQ(movie.drawn.size(), before + 1) << c.seconds;  // drawn without waiting for the timer
        EXPECT_TRUE(Near(movie.drawn.back(), c.colour)) << c.seconds << ": " << Text(movie.drawn.back());
        EXPECT_TRUE(Near(PixelAt(mWorld.mGWorld, 2, 2), c.colour)) << c.seconds;
    }
    ASSERT_TRUE(scrub.SetNormalTimeValue(0.625));  // 0.25 seconds
    EXPECT_NEAR(scrub.GetNormalTimeValue(), 0.625, 1.0 / 600);
    EXPECT_TRUE(Near(PixelAt(mWorld.mGWorld, 10, 10), kBlue));
    EXPECT_EQ(LogText(), "");
}

TEST_F(QCVOffscreenMovieTest, PlaysToTheEndOrLoops) {
    ProbeMovie movie;
    movie.probeWorld = mWorld.mGWorld;
    ASSERT_TRUE(movie.OpenURLForGWorld(mURL, mWorld, nullptr));
    Movie m = movie.GetMovie();

    // Without looping it stops on the last frame.
    ASSERT_TRUE(movie.Play(false));
    ASSERT_TRUE(RunUntil([&] { return IsMovieDone(m); }));
    EXPECT_EQ(GetMovieRate(m), 0);
    RunCurrentEventLoop(0.03);
    ASSERT_FALSE(movie.drawn.empty());
    EXPECT_TRUE(Near(movie.drawn.front(), kRed)) << Text(movie.drawn.front());
    EXPECT_TRUE(Near(movie.drawn.back(), kWhite)) << Text(movie.drawn.back());

    // Playing a finished movie starts it from the beginning.
    ASSERT_TRUE(movie.Play(false));
    EXPECT_LT(GetMovieTime(m, nullptr), GetMovieDuration(m) / 2);
    EXPECT_NE(GetMovieRate(m), 0);
    movie.Stop();
    EXPECT_EQ(GetMovieRate(m), 0);

    // Looping: it runs on past the end, drawing the first frame again after the last.
    movie.drawn.clear();
    ASSERT_TRUE(movie.Play(true));
    EXPECT_TRUE(movie.IsLooping());
    const auto wrapped = [&] {
        for (size_t i = 1; i < movie.drawn.size(); ++i)
            if (Near(movie.drawn[i - 1], kWhite) && Near(movie.drawn[i], kRed)) return true;
        return false;
    };
    ASSERT_TRUE(RunUntil(wrapped));
    EXPECT_FALSE(IsMovieDone(m));
    EXPECT_NE(GetMovieRate(m), 0);
    movie.SetLooping(false);
    EXPECT_FALSE(movie.IsLooping());
    EXPECT_EQ(LogText(), "");
}

TEST_F(QCVOffscreenMovieTest, ABetterWorldFitsTheMovieCentredInAWorldOfAnotherShape) {
    // A 4:3 movie in a square world: it draws into the 64 x 48 band from row 8 to row 55.
    QGWorld square;
    ASSERT_TRUE(square.Construct(QPoint(64, 64), k32ARGBPixelFormat));
    QPixMap_FillPixelARGB32(square.GetPixMap(), 0x11);
    QGWorld better;
    ProbeMovie movie;
    ASSERT_TRUE(movie.OpenURLForGWorld(mURL, square, &better));
    ASSERT_TRUE(better.IsConstructed());
    const Rect bounds = better.GetBounds();
    EXPECT_EQ(bounds.bottom - bounds.top, 48);
    EXPECT_EQ(bounds.right - bounds.left, 64);
    PixMapHandle whole = square.GetPixMap();
    EXPECT_EQ(GetPixBaseAddr(better.GetPixMap()), GetPixBaseAddr(whole) + 8 * GetPixRowBytes(whole));

    QMovieTimeScrub scrub;
    ASSERT_TRUE(scrub.SetMovie(movie.GetMovie()));
    ASSERT_TRUE(scrub.SetCurrentTime(0.25));
    for (int v : {8, 31, 55}) EXPECT_TRUE(Near(PixelAt(square.mGWorld, 32, v), kBlue)) << v;
    int alpha = 0;
    for (int v : {0, 7, 56, 63}) {
        EXPECT_TRUE(lumora::test::Near(PixelAt(square.mGWorld, 32, v, &alpha), Colour{0x11, 0x11, 0x11}, 0)) << v;
        EXPECT_EQ(alpha, 0x11) << v;
    }
}

TEST_F(QCVOffscreenMovieTest, AliasesWithAnAspectRatio) {
    // (top, left, bottom, right) of the part of the source world the alias covers.
    const struct Case {
        int width, height;
        float ratio;
        Rect expected;
    } cases[] = {
        {640, 480, 16.0f / 9.0f, {60, 0, 420, 640}},   // wider movie: full width, centred vertically
        {640, 480, 4.0f / 3.0f, {0, 0, 480, 640}},     // same ratio: the whole world
        {640, 480, 1.3349f, {0, 0, 480, 640}},         // equal to two decimals
        {640, 480, 1.0f, {0, 80, 480, 560}},           // narrower movie: full height
        {480, 640, 16.0f / 9.0f, {185, 0, 455, 480}},  // portrait world
        {641, 480, 4.0f / 3.0f, {0, 0, 480, 641}},     // 1.335: equal at two decimals
    };
    for (const Case &c : cases) {
        QGWorld source, alias;
        ASSERT_TRUE(source.Construct(QPoint(c.width, c.height), k32ARGBPixelFormat));
        ASSERT_TRUE(QCVOffscreenMovie::ConstructAliasWithAspectRatio(alias, source, c.ratio)) << c.ratio;
        PixMapHandle pm = source.GetPixMap();
        EXPECT_EQ(GetPixBaseAddr(alias.GetPixMap()),
                  GetPixBaseAddr(pm) + c.expected.top * GetPixRowBytes(pm) + c.expected.left * 4)
            << c.width << " x " << c.height << " at " << c.ratio;
        const ::Dimensions size = alias.Dimensions();
        EXPECT_EQ(size.v, c.expected.bottom - c.expected.top) << c.ratio;
        EXPECT_EQ(size.h, c.expected.right - c.expected.left) << c.ratio;
    }
    EXPECT_EQ(LogText(), "");
}

TEST_F(QCVOffscreenMovieTest, AliasesThatCannotBeMadeAreReported) {
    QGWorld source, alias;
    ASSERT_TRUE(source.Construct(QPoint(640, 480), k32ARGBPixelFormat));
    for (float ratio : {0.0f, -1.0f, NAN, INFINITY})
        EXPECT_FALSE(QCVOffscreenMovie::ConstructAliasWithAspectRatio(alias, source, ratio)) << ratio;
    EXPECT_FALSE(alias.IsConstructed());

    // Only 32-bit worlds can be aliased in part.
    QGWorld frame;
    ASSERT_TRUE(frame.Construct(QPoint(640, 360), k2vuyPixelFormat));
    ClearLog();
    EXPECT_FALSE(QCVOffscreenMovie::ConstructAliasWithAspectRatio(alias, frame, 4.0f / 3.0f));
    EXPECT_NE(LogText().find(" code : fOk =ConstructAliasOverRect(sourceWorld, rect)"), std::string::npos)
        << LogText();

    // Such a world still gets the (4:3) movie, drawn at its own size.
    ProbeMovie movie;
    QGWorld better;
    ASSERT_TRUE(movie.OpenURLForGWorld(mURL, frame, &better));
    EXPECT_FALSE(better.IsConstructed());
    GWorldPtr port = nullptr;
    GetMovieGWorld(movie.GetMovie(), &port, nullptr);
    EXPECT_EQ(port, frame.mGWorld);
}

TEST_F(QCVOffscreenMovieTest, OpeningFailuresAreReported) {
    ProbeMovie movie;
    EXPECT_FALSE(movie.OpenURLForGWorld(nullptr, mWorld, nullptr));
    EXPECT_NE(LogText().find(" code : inMovieURL"), std::string::npos) << LogText();

    QGWorld unbuilt;
    EXPECT_FALSE(movie.OpenURLForGWorld(mURL, unbuilt, nullptr));
    EXPECT_NE(LogText().find(" code : inGWorld.IsConstructed()"), std::string::npos) << LogText();

    QTMovieProperties noLocation;
    const Boolean active = true;
    noLocation.AddActive(&active);
    EXPECT_FALSE(movie.OpenPropertiesForGWorld(noLocation, mWorld, nullptr));
    EXPECT_NE(LogText().find(" code : properties.HasLocation()"), std::string::npos) << LogText();

    const std::string notAMovie = mFolder.file("notes.mov");
    ASSERT_TRUE(lumora::test::WriteFile(notAMovie, "not a movie at all"));
    CFURLRef url = URLOf(notAMovie);
    ClearLog();
    EXPECT_FALSE(movie.OpenURLForGWorld(url, mWorld, nullptr));
    CFRelease(url);
    EXPECT_NE(LogText().find("VERIFY_OSERR FAILED"), std::string::npos) << LogText();
    EXPECT_EQ(movie.opened, 0);
    EXPECT_FALSE(movie.IsMovieOpen());
    EXPECT_EQ(movie.GetMovie(), nullptr);

    // Nothing to play or loop without a movie.
    ClearLog();
    EXPECT_FALSE(movie.Play(true));
    EXPECT_NE(LogText().find(" code : mMovie && mMovieController"), std::string::npos) << LogText();
    EXPECT_FALSE(movie.IsLooping());
    movie.Stop();

    double rate = 1.0;
    EXPECT_FALSE(MovieGetStaticFrameRate(nullptr, rate));
    EXPECT_EQ(rate, 0.0);
    EXPECT_NE(LogText().find(" code : inMovie != NULL"), std::string::npos) << LogText();
}

TEST_F(QCVOffscreenMovieTest, OpeningByPropertiesSkipsTheFrameRateQuery) {
    ProbeMovie movie;
    QTMovieProperties properties;
    properties.AddLocationURL(&mURL);
    ASSERT_TRUE(movie.OpenPropertiesForGWorld(properties, mWorld, nullptr));
    EXPECT_EQ(movie.opened, 0);
    EXPECT_EQ(movie.mFrameRate, 0.0);
    // Opening again closes the first movie.
    ASSERT_TRUE(movie.OpenURLForGWorld(mURL, mWorld, nullptr));
    EXPECT_EQ(movie.opened, 1);
    EXPECT_NEAR(movie.mFrameRate, 10.0, 1e-9);
}

TEST_F(QCVOffscreenMovieTest, TheDrawingHookMayCloseTheMovie) {
    ProbeMovie movie;
    movie.closeWhenDrawn = true;
    ASSERT_TRUE(movie.OpenURLForGWorld(mURL, mWorld, nullptr));
    ASSERT_TRUE(movie.Play(true));
    ASSERT_TRUE(RunUntil([&] { return !movie.IsMovieOpen(); }));
    EXPECT_EQ(movie.drawn.size(), 1u);
    // Its idle timer went with it.
    EXPECT_EQ(lumora::carbon::EventLoopTimeUntilNextTimer(GetCurrentEventLoop()), kEventDurationForever);
}

TEST(QMovieTimeScrubTest, WithoutAMovie) {
    QMovieTimeScrub scrub;
    EXPECT_EQ(scrub.GetTimeScale(), 3000);
    EXPECT_EQ(scrub.GetDuration(), 0.0);
    EXPECT_EQ(scrub.GetCurrentTime(), 0.0);
    EXPECT_EQ(scrub.GetNormalTimeValue(), 0.0);
    EXPECT_FALSE(scrub.SetNormalTimeValue(0.5));
}

TEST_F(QCVOffscreenMovieTest, ScrubbingRefusesWhatIsNotATime) {
    QMovieTimeScrub scrub;
    EXPECT_FALSE(scrub.SetMovie(nullptr));
    EXPECT_NE(LogText().find(" code : mMovie = theMovie"), std::string::npos) << LogText();
    EXPECT_FALSE(scrub.SetCurrentTime(0.1));

    ProbeMovie movie;
    ASSERT_TRUE(movie.OpenURLForGWorld(mURL, mWorld, nullptr));
    ASSERT_TRUE(scrub.SetMovie(movie.GetMovie()));
    EXPECT_FALSE(scrub.SetCurrentTime(std::nan("")));
    // Times beyond either end go to that end.
    EXPECT_TRUE(scrub.SetCurrentTime(1e300));
    EXPECT_NEAR(scrub.GetCurrentTime(), 0.4, 1e-9);
    EXPECT_TRUE(scrub.SetCurrentTime(-1e300));
    EXPECT_EQ(scrub.GetCurrentTime(), 0.0);
    scrub.ClearMovie();
    EXPECT_EQ(scrub.GetTimeScale(), 3000);
}

}  // namespace
