#include "NSUIMovieSlider.h"

#include "NSControl_NormalValue.h"

#include <CoreQ/QMovieTimeScrub.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIMovieSlider);

NSUIMovieSlider::NSUIMovieSlider(QWidget *parent)
    : NSUIClearSlider(parent), mMovie(std::make_unique<QMovieTimeScrub>()) {}

NSUIMovieSlider::~NSUIMovieSlider() = default;

bool NSUIMovieSlider::setMovie(Movie movie) {
    if (movie == mMovie->GetMovie()) return false;
    return mMovie->SetMovie(movie);
}

void NSUIMovieSlider::clearMovie() { mMovie->ClearMovie(); }

Movie NSUIMovieSlider::movie() const { return mMovie->GetMovie(); }

double NSUIMovieSlider::normalTimeValue() const {
    return mMovie->GetMovie() != nullptr ? mMovie->GetNormalTimeValue() : 0.0;
}

double NSUIMovieSlider::normalValue() const {
    return mMovie->GetMovie() != nullptr ? normalTimeValue() : normalSliderValue();
}

void NSUIMovieSlider::setNormalValue(double normalValue) {
    NSSlider::setNormalValue(normalValue);
    // The movie goes where the knob went (NaN and values beyond the ends held as the knob holds them).
    if (mMovie->GetMovie() != nullptr) mMovie->SetNormalTimeValue(NSControl_ClampNormalValue(normalValue));
}

void NSUIMovieSlider::setMovieTimeToNormalValue(double normalValue) { mMovie->SetNormalTimeValue(normalValue); }

void NSUIMovieSlider::takeNormalValueFromMovie(QObject *) { NSSlider::setNormalValue(normalTimeValue()); }

bool import_NSUIMovieSlider() {
    VERIFY(import_NSControl_NormalValue() && import_NSUISliderBase());
    return true;
}
