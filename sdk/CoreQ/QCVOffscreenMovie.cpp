#include <CoreQ/QCVOffscreenMovie.h>

#include <cmath>
#include <cstdint>

#include <CoreX/CoreMachDebugLog.h>
#include <QuickTime/FixMath.h>

#include <CoreQ/QAspectRatio.h>
#include <CoreQ/QGWorld.h>

namespace {

constexpr double kIdleInterval = 0.01;  // seconds between idle tasks

// The one drawing-complete procedure of every offscreen movie.
OSErr OffscreenMovieDrawingComplete(Movie, long refCon) {
    return reinterpret_cast<QCVOffscreenMovie *>(refCon)->OnMovieDrawingComplete();
}

}  // namespace

// ---- Properties ----------------------------------------------------------------------------

void QTMovieProperties::AddLocationURL(const CFURLRef *url) {
    mElements.push_back(QTNewMoviePropertyElement{kQTPropertyClass_DataLocation, kQTDataLocationPropertyID_CFURL,
                                                  sizeof(CFURLRef), const_cast<CFURLRef *>(url), noErr});
}

void QTMovieProperties::AddActive(const Boolean *active) {
    mElements.push_back(QTNewMoviePropertyElement{kQTPropertyClass_NewMovieProperty, kQTNewMoviePropertyID_Active,
                                                  sizeof(Boolean), const_cast<Boolean *>(active), noErr});
}

bool QTMovieProperties::HasLocation() const {
    for (const QTNewMoviePropertyElement &element : mElements)
        if (element.propClass == kQTPropertyClass_DataLocation) return true;
    return false;
}

// ---- The offscreen movie -------------------------------------------------------------------

QCVOffscreenMovie::QCVOffscreenMovie() : mTimer(this), mMovie(nullptr), mMovieController(nullptr), mFrameRate(0.0) {}

QCVOffscreenMovie::~QCVOffscreenMovie() { Close(); }

void QCVOffscreenMovie::OnMovieOpened() {
    mFrameRate = 0.0;
    if (IsMovieOpen()) MovieGetStaticFrameRate(mMovie, mFrameRate);
}

OSErr QCVOffscreenMovie::OnMovieDrawingComplete() { return noErr; }

bool QCVOffscreenMovie::OpenURLForGWorld(CFURLRef inMovieURL, QGWorld &inGWorld, QGWorld *outBetterWorld) {
    if (!VERIFY(inMovieURL)) return false;
    const Boolean active = true;
    QTMovieProperties properties;
    properties.AddLocationURL(&inMovieURL);
    properties.AddActive(&active);
    if (!OpenPropertiesForGWorld(properties, inGWorld, outBetterWorld)) return false;
    OnMovieOpened();
    return true;
}

bool QCVOffscreenMovie::OpenPropertiesForGWorld(QTMovieProperties &properties, QGWorld &inGWorld,
                                                QGWorld *outBetterWorld) {
    Close();
    if (!VERIFY(properties.HasLocation()) || !VERIFY(inGWorld.IsConstructed())) return false;
    SetGWorld(inGWorld.mGWorld, nullptr);
    if (NewMovieFromProperties(properties) != noErr) return false;

    Rect movieBox;
    GetMovieBox(mMovie, &movieBox);
    if (outBetterWorld != nullptr) {
        const QAspectRatio movieRatio(movieBox);
        const QGWorld *chosen = outBetterWorld;
        if (!VERIFY(ConstructAliasWithAspectRatio(*outBetterWorld, inGWorld, movieRatio.GetRatio())))
            chosen = &inGWorld;
        movieBox = chosen->GetBounds();
        SetMovieGWorld(mMovie, chosen->mGWorld, nullptr);
        SetMovieBox(mMovie, &movieBox);
    } else {
        SetMovieGWorld(mMovie, inGWorld.mGWorld, nullptr);
    }
    return true;
}

OSErr QCVOffscreenMovie::NewMovieFromProperties(QTMovieProperties &properties) {
    Close();
    OSErr err = VERIFY_OSERR(::NewMovieFromProperties(properties.Count(), properties.Elements(), 0, nullptr, &mMovie));
    if (err != noErr) {
        mMovie = nullptr;
        return err;
    }
    Rect movieBox;
    GetMovieBox(mMovie, &movieBox);
    SetMovieDrawingCompleteProc(mMovie, movieDrawingCallWhenChanged, OffscreenMovieDrawingComplete,
                                reinterpret_cast<long>(this));
    mMovieController = NewMovieController(mMovie, &movieBox, mcTopLeftMovie | mcNotVisible);
    if (!VERIFY(mMovieController)) {
        Close();
        return paramErr;
    }
    if (!mTimer.Install(0.0, kIdleInterval)) {
        Close();
        return paramErr;
    }
    return noErr;
}

bool QCVOffscreenMovie::Play(bool inLoop) {
    if (!VERIFY(mMovie && mMovieController)) return false;
    if (IsMovieDone(mMovie)) GoToBeginningOfMovie(mMovie);
    if (inLoop) SetLooping(true);
    const ComponentResult err = VERIFY_OSERR(
        MCDoAction(mMovieController, mcActionPrerollAndPlay, reinterpret_cast<void *>(intptr_t(Long2Fix(1)))));
    return err == noErr;
}

void QCVOffscreenMovie::Stop() {
    if (mMovie != nullptr && mMovieController != nullptr) StopMovie(mMovie);
}

void QCVOffscreenMovie::SetLooping(bool inLoop) {
    VERIFY_OSERR(MCDoAction(mMovieController, mcActionSetLooping, reinterpret_cast<void *>(intptr_t(inLoop))));
}

bool QCVOffscreenMovie::IsLooping() {
    if (mMovie == nullptr || mMovieController == nullptr) return false;
    long flags = 0;
    if (VERIFY_OSERR(MCGetControllerInfo(mMovieController, &flags)) != noErr) return false;
    return (flags & mcInfoIsLooping) != 0;
}

bool QCVOffscreenMovie::Close() {
    if (mMovieController != nullptr && mMovie != nullptr) StopMovie(mMovie);
    mTimer.Remove();
    if (mMovieController != nullptr) DisposeMovieController(mMovieController);
    mMovieController = nullptr;
    if (mMovie != nullptr) DisposeMovie(mMovie);
    mMovie = nullptr;
    return true;
}

void QCVOffscreenMovie::Idle() {
    if (mMovie == nullptr || mMovieController == nullptr) return;
    MoviesTask(mMovie, 0);
    // The drawing-complete hook may have closed the movie.
    if (mMovie != nullptr && mMovieController != nullptr) MCIdle(mMovieController);
}

bool QCVOffscreenMovie::ConstructAliasWithAspectRatio(QGWorld &outAlias, const QGWorld &inSourceWorld,
                                                      float inAspectRatio) {
    const QGWorld &sourceWorld = inSourceWorld;
    if (!VERIFY(sourceWorld.IsConstructed()) || !VERIFY(std::isfinite(inAspectRatio) && inAspectRatio > 0.0f))
        return false;
    const Rect bounds = sourceWorld.GetBounds();
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    const QAspectRatio sourceRatio(bounds);
    bool fOk;
    if (sourceRatio.IsEqual(inAspectRatio)) {
        fOk = outAlias.ConstructAlias(sourceWorld);
        VERIFY_TEXT(fOk, " code : fOk = ConstructAlias(sourceWorld)");
        return fOk;
    }
    Rect rect = bounds;
    if (sourceRatio.GetRatio() > inAspectRatio) {
        const float neededWidthF = float(height) * inAspectRatio;
        const int neededWidth = neededWidthF < float(width) ? int(neededWidthF) : width;
        const int inset = (width - neededWidth) / 2;
        rect.left = short(rect.left + inset);
        rect.right = short(rect.right - inset);
    } else {
        const float neededHeightF = float(width) / inAspectRatio;
        const int neededHeight = neededHeightF < float(height) ? int(neededHeightF) : height;
        const int inset = (height - neededHeight) / 2;
        rect.top = short(rect.top + inset);
        rect.bottom = short(rect.bottom - inset);
    }
    fOk = outAlias.ConstructAliasOverRect(sourceWorld, rect);
    VERIFY_TEXT(fOk, " code : fOk =ConstructAliasOverRect(sourceWorld, rect)");
    return fOk;
}

// ---- Static frame rate ---------------------------------------------------------------------

namespace {

bool GetMovieVideoMedia(Movie inMovie, Media *outMedia, MediaHandler *outMediaHandler) {
    *outMedia = nullptr;
    *outMediaHandler = nullptr;
    Track videoTrack = GetMovieIndTrackType(inMovie, 1, kCharacteristicHasVideoFrameRate,
                                            movieTrackCharacteristic | movieTrackEnabledOnly);
    if (!VERIFY(videoTrack)) return false;
    if (!VERIFY(*outMedia = GetTrackMedia(videoTrack))) return false;
    *outMediaHandler = GetMediaHandler(*outMedia);
    return true;
}

}  // namespace

bool MovieGetStaticFrameRate(Movie inMovie, double &outRate) {
    outRate = 0.0;
    if (!VERIFY(inMovie != NULL)) return false;
    Media movieMedia = nullptr;
    MediaHandler movieMediaHandler = nullptr;
    if (!GetMovieVideoMedia(inMovie, &movieMedia, &movieMediaHandler)) return false;
    if (!VERIFY(movieMedia && movieMediaHandler)) return false;

    Boolean isMPEG = false;
    if (MediaHasCharacteristic(movieMediaHandler, kCharacteristicIsAnMpegTrack, &isMPEG) == noErr && isMPEG) {
        Fixed staticFrameRate = 0;
        Size size = sizeof(staticFrameRate);
        if (VERIFY_OSERR(MediaGetPublicInfo(movieMediaHandler, kMediaPublicInfoFrameRate, &staticFrameRate, &size)) !=
            noErr)
            return false;
        outRate = Fix2X(staticFrameRate);
        return true;
    }

    const long sampleCount = GetMediaSampleCount(movieMedia);
    OSErr err = GetMoviesError();
    if (err == noErr && sampleCount == 0) err = paramErr;
    if (VERIFY_OSERR(err) != noErr) return false;
    const TimeValue64 duration = GetMediaDisplayDuration(movieMedia);
    if (VERIFY_OSERR(GetMoviesError()) != noErr) return false;
    const TimeScale timeScale = GetMediaTimeScale(movieMedia);
    if (VERIFY_OSERR(GetMoviesError()) != noErr) return false;
    if (!VERIFY(duration > 0)) return false;
    outRate = double(sampleCount) * double(timeScale) / double(duration);
    return true;
}
