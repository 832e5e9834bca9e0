// Movie time as seconds and as a position from 0 to 1, for the movie slider.
//
// QTimeScaleBase and QTimeScale give a time scale (units per second; 3000 by default);
// QMovieTimeScrub answers its movie's and moves the movie, drawing the new frame at once.
#pragma once

#include <QuickTime/Movies.h>

class QTimeScaleBase {
public:
    virtual ~QTimeScaleBase() = default;
    // Units per second.
    virtual long GetTimeScale() const = 0;
};

class QTimeScale : public QTimeScaleBase {
public:
    static constexpr long kDefaultTimeScale = 3000;
    long GetTimeScale() const override { return kDefaultTimeScale; }
};

class QMovieTimeScrub : public QTimeScale {
public:
    QMovieTimeScrub() : mMovie(nullptr) {}
    ~QMovieTimeScrub() override = default;

    // The movie's time scale; 3000 without a movie.
    long GetTimeScale() const override;

    // Scrubs this movie (not owned) from now on. A null movie is reported: false.
    bool SetMovie(Movie theMovie);
    void ClearMovie() { mMovie = nullptr; }
    Movie GetMovie() const { return mMovie; }

    // Seconds; 0 without a movie.
    double GetDuration() const;
    double GetCurrentTime() const;
    // current / duration; 0 without a movie or a duration.
    double GetNormalTimeValue() const;

    // Moves the movie to the time (0: to its beginning) and draws that frame. False
    // (reported) without a movie, for a time that is not a number, or when the movie fails.
    bool SetCurrentTime(double inSeconds);
    // SetCurrentTime(duration x value); false without a duration.
    bool SetNormalTimeValue(double inValue);

private:
    Movie mMovie;
};
