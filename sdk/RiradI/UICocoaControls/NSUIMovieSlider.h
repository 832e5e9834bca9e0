// NSUIMovieSlider: a clear-tinted slider bound to a movie. While a movie is attached its normal
// value is the movie's playing position (a fraction of the duration) and setting the normal
// value also moves the movie there; without a movie it is an ordinary slider.
//
// The movie is not owned: its owner attaches it with setMovie when it opens and detaches it
// with clearMovie before closing it. The time arithmetic and the seeking are the movie time
// scrubber's (CoreQ/QMovieTimeScrub.h), which reports movie errors itself; the scrubber lives
// as long as the slider and is kept out of this header so that widget code need not see the
// movie toolbox.
//
// Moving the knob with the mouse sends the action as any slider does and moves no movie: the
// target decides (setMovieTimeToNormalValue). While playing, the owner lets the knob follow
// the movie with takeNormalValueFromMovie.
#pragma once

#include "NSUIClearSlider.h"

#include <memory>

class QMovieTimeScrub;
typedef struct MovieRecord **Movie;

class NSUIMovieSlider : public NSUIClearSlider {
    Q_OBJECT
    Q_PROPERTY(double normalTimeValue READ normalTimeValue)
    Q_PROPERTY(double normalSliderValue READ normalSliderValue)

public:
    explicit NSUIMovieSlider(QWidget *parent = nullptr);
    ~NSUIMovieSlider() override;

    // Attaches the movie. False, with nothing changed, for the movie already attached (a null
    // movie when none is); otherwise the scrubber's answer (a null movie is reported: false).
    bool setMovie(Movie movie);
    // Detaches the movie; the slider is an ordinary one again.
    Q_INVOKABLE void clearMovie();
    Movie movie() const;

    // The movie's current time as a fraction of its duration; 0 without a movie.
    double normalTimeValue() const;
    // The knob's own normal value.
    double normalSliderValue() const { return NSSlider::normalValue(); }

    // normalTimeValue while a movie is attached, else normalSliderValue.
    double normalValue() const override;
    // Moves the knob; then, with a movie, moves the movie to that fraction of its duration
    // (held within [0, 1] as the knob is, NaN as 0).
    void setNormalValue(double normalValue) override;
    // Moves the movie only; the knob stays. Beyond the ends the movie stops at them; NaN is
    // reported and moves nothing.
    Q_INVOKABLE void setMovieTimeToNormalValue(double normalValue);
    // Moves the knob to normalTimeValue without moving the movie. The sender is not used.
    Q_INVOKABLE void takeNormalValueFromMovie(QObject *sender);

private:
    const std::unique_ptr<QMovieTimeScrub> mMovie;
};

bool import_NSUIMovieSlider();
