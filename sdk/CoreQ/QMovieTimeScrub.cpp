#include <CoreQ/QMovieTimeScrub.h>

#include <climits>
#include <cmath>

#include <CoreX/CoreMachDebugLog.h>

long QMovieTimeScrub::GetTimeScale() const {
    if (mMovie == nullptr) return QTimeScale::GetTimeScale();
    return GetMovieTimeScale(mMovie);
}

bool QMovieTimeScrub::SetMovie(Movie theMovie) { return VERIFY(mMovie = theMovie); }

double QMovieTimeScrub::GetDuration() const {
    const long scale = GetTimeScale();
    if (mMovie == nullptr || scale <= 0) return 0.0;
    return double(GetMovieDuration(mMovie)) / double(scale);
}

double QMovieTimeScrub::GetCurrentTime() const {
    const long scale = GetTimeScale();
    if (mMovie == nullptr || scale <= 0) return 0.0;
    return double(GetMovieTime(mMovie, nullptr)) / double(scale);
}

double QMovieTimeScrub::GetNormalTimeValue() const {
    const double duration = GetDuration();
    return duration > 0.0 ? GetCurrentTime() / duration : 0.0;
}

bool QMovieTimeScrub::SetCurrentTime(double inSeconds) {
    if (!VERIFY(mMovie) || !VERIFY(!std::isnan(inSeconds))) return false;
    const double scaled = std::trunc(double(GetTimeScale()) * inSeconds);
    const TimeValue timeValue = scaled <= double(INT32_MIN) ? INT32_MIN
                                : scaled >= double(INT32_MAX) ? INT32_MAX
                                                              : TimeValue(scaled);
    if (timeValue == 0) GoToBeginningOfMovie(mMovie);
    else SetMovieTimeValue(mMovie, timeValue);
    if (VERIFY_OSERR(GetMoviesError()) != noErr) return false;
    // Draw the frame at the new time at once.
    if (VERIFY_OSERR(UpdateMovie(mMovie)) != noErr) return false;
    MoviesTask(mMovie, 0);
    return VERIFY_OSERR(GetMoviesError()) == noErr;
}

bool QMovieTimeScrub::SetNormalTimeValue(double inValue) {
    const double duration = GetDuration();
    if (duration <= 0.0) return false;
    return SetCurrentTime(duration * inValue);
}
