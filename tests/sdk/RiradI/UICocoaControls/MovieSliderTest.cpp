// The movie slider: an ordinary slider without a movie; bound to a short test movie, its normal
// value is the movie's position and setting it seeks the movie.
#include <UICocoaControls/NSUIMovieSlider.h>

#include <Foundation/NSKeyValueCoding.h>
#include <QuickTime/Movies.h>

#include "../RiradITestApplication.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "support/TestFolders.h"
#include "support/media/TestMedia.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using namespace lumora::test;

// Four frames at 10 frames per second: 0.4 seconds.
constexpr double kDuration = 0.4;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kOneTick = 1.0 / 600;  // the movie clock's resolution, as a time

class MovieSliderTest : public corex_test::DebugLogFileTest, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        DebugLogFileTest::SetUp();
        EnterMovies();
        const std::string path = mFolder.file("colours.mov");
        ASSERT_TRUE(WriteMovie(path, "mpeg4", 10, {kRed, kGreen, kBlue, kWhite}));
        ASSERT_TRUE(OpenMovieInWorld(path, &mMovie, &mWorld));
        // Every frame drawn is counted: a seek draws the frame of its time at once.
        SetMovieDrawingCompleteProc(mMovie, movieDrawingCallWhenChanged, &CountDrawing, reinterpret_cast<long>(this));
    }
    void TearDown() override {
        slider.clearMovie();
        if (mMovie != nullptr) DisposeMovie(mMovie);
        if (mWorld != nullptr) DisposeGWorld(mWorld);
        DebugLogFileTest::TearDown();
    }

    static OSErr CountDrawing(Movie, long refCon) {
        ++reinterpret_cast<MovieSliderTest *>(refCon)->drawn;
        return noErr;
    }
    double MovieFraction() const { return double(GetMovieTime(mMovie, nullptr)) / GetMovieDuration(mMovie); }

    ScopedFolder mFolder{"movies"};
    Movie mMovie = nullptr;
    GWorldPtr mWorld = nullptr;
    int drawn = 0;
    NSUIMovieSlider slider;
};

TEST_F(MovieSliderTest, WithoutAMovieItIsAPlainSlider) {
    EXPECT_EQ(slider.controlTint(), NSClearControlTint);
    slider.setMinValue(0);
    slider.setMaxValue(10);
    slider.setNormalValue(0.25);
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 2.5);
    EXPECT_DOUBLE_EQ(slider.normalValue(), 0.25);
    EXPECT_DOUBLE_EQ(slider.normalSliderValue(), 0.25);
    EXPECT_EQ(slider.normalTimeValue(), 0);
    slider.setMovieTimeToNormalValue(0.5);  // nothing to move
    slider.takeNormalValueFromMovie(nullptr);
    EXPECT_DOUBLE_EQ(slider.normalValue(), 0);
    slider.clearMovie();
    // No movie is the movie already attached.
    EXPECT_FALSE(slider.setMovie(nullptr));
    EXPECT_EQ(LogText(), "");
    EXPECT_TRUE(import_NSUIMovieSlider());
}

TEST_F(MovieSliderTest, WithAMovieTheValueIsTheMoviePosition) {
    ASSERT_TRUE(slider.setMovie(mMovie));
    EXPECT_EQ(slider.movie(), mMovie);
    EXPECT_EQ(slider.normalValue(), 0);

    // Setting the normal value moves the knob and seeks the movie.
    slider.setNormalValue(0.5);
    EXPECT_DOUBLE_EQ(slider.normalSliderValue(), 0.5);
    EXPECT_NEAR(slider.normalTimeValue(), 0.5, kOneTick / kDuration);
    EXPECT_NEAR(MovieFraction(), 0.5, kOneTick / kDuration);
    EXPECT_GT(drawn, 0);

    // Attaching it again changes nothing: the movie stays where it is.
    EXPECT_FALSE(slider.setMovie(mMovie));
    EXPECT_EQ(slider.movie(), mMovie);
    EXPECT_NEAR(slider.normalTimeValue(), 0.5, kOneTick / kDuration);

    // The movie alone.
    slider.setMovieTimeToNormalValue(0.75);
    EXPECT_DOUBLE_EQ(slider.normalSliderValue(), 0.5);
    EXPECT_NEAR(slider.normalValue(), 0.75, kOneTick / kDuration);
    // As key-value coding and the parameter mapping read it.
    EXPECT_NEAR(NSKeyValueCoding::valueForKey(&slider, "normalValue").toDouble(), 0.75, kOneTick / kDuration);

    // The knob follows the movie without a seek.
    const int drawnBefore = drawn;
    const TimeValue timeBefore = GetMovieTime(mMovie, nullptr);
    slider.takeNormalValueFromMovie(nullptr);
    EXPECT_NEAR(slider.normalSliderValue(), 0.75, kOneTick / kDuration);
    EXPECT_EQ(drawn, drawnBefore);
    EXPECT_EQ(GetMovieTime(mMovie, nullptr), timeBefore);

    // Set past its ends, the movie stops at them.
    slider.setNormalValue(2);
    EXPECT_DOUBLE_EQ(slider.normalSliderValue(), 1);
    EXPECT_DOUBLE_EQ(slider.normalTimeValue(), 1);
    EXPECT_EQ(LogText(), "");

    // Detached, it is a plain slider again and the movie stays where it is.
    slider.clearMovie();
    EXPECT_EQ(slider.movie(), nullptr);
    slider.setNormalValue(0.25);
    EXPECT_DOUBLE_EQ(slider.normalValue(), 0.25);
    EXPECT_EQ(slider.normalTimeValue(), 0);
    EXPECT_DOUBLE_EQ(MovieFraction(), 1);
}

TEST_F(MovieSliderTest, NoMovieInPlaceOfOneIsReported) {
    ASSERT_TRUE(slider.setMovie(mMovie));
    EXPECT_FALSE(slider.setMovie(nullptr));
    EXPECT_NE(LogText().find(" code : mMovie = theMovie"), std::string::npos) << LogText();
    EXPECT_EQ(slider.movie(), nullptr);
}

TEST_F(MovieSliderTest, NotANumber) {
    ASSERT_TRUE(slider.setMovie(mMovie));
    // Set, it moves the knob and the movie to their start together.
    slider.setMovieTimeToNormalValue(0.5);
    slider.setNormalValue(kNaN);
    EXPECT_EQ(slider.normalSliderValue(), 0);
    EXPECT_EQ(slider.normalTimeValue(), 0);
    EXPECT_EQ(LogText(), "");
    // Given to the movie alone, it is reported and moves nothing.
    slider.setMovieTimeToNormalValue(0.5);
    slider.setMovieTimeToNormalValue(kNaN);
    EXPECT_NEAR(slider.normalTimeValue(), 0.5, kOneTick / kDuration);
    EXPECT_NE(LogText().find("isnan"), std::string::npos) << LogText();
}

}  // namespace
