// The Movie Toolbox: movies, their one video track and media, playing and drawing.
#include <QuickTime/Movies.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
}

#include "MovieEngineInternal.h"
#include "QTComponent.h"
#include "QTInternal.h"

namespace lumora::qt {
namespace {

constexpr TimeScale kMovieTimeScale = 600;
constexpr UInt32 kMovieMagic = MakeFourCharCode("MOOV");
constexpr UInt32 kTrackMagic = MakeFourCharCode("TRAK");
constexpr UInt32 kMediaMagic = MakeFourCharCode("MDIA");

thread_local OSErr tMoviesError = noErr;
thread_local int tDrawingCompleteDepth = 0;

double Now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

OSErr SetMoviesError(OSErr error) {
    tMoviesError = error;
    return error;
}

}  // namespace lumora::qt

using namespace lumora::qt;

class MovieControllerInstance;

struct TrackRecord {
    TrackRecord *mSelf;
    UInt32 mMagic = kTrackMagic;
    MovieRecord *mMovie;
};

struct MediaRecord {
    MediaRecord *mSelf;
    UInt32 mMagic = kMediaMagic;
    MovieRecord *mMovie;
};

class VideoMediaHandler final : public ComponentInstanceRecord {
public:
    explicit VideoMediaHandler(MovieRecord *movie)
        : ComponentInstanceRecord({MakeFourCharCode("mhlr"), VideoMediaType, 0, 0, 0}, "Video Media Handler", false),
          mMovie(movie) {}
    MovieRecord *mMovie;
};

struct MovieRecord {
    MovieRecord *mSelf;
    UInt32 mMagic = kMovieMagic;
    MovieEngine mEngine;
    TrackRecord mTrack{};
    MediaRecord mMedia{};
    std::unique_ptr<VideoMediaHandler> mHandler;
    std::vector<MovieControllerInstance *> mControllers;

    GWorldPtr mWorld = nullptr;
    Rect mBox{};
    bool mActive = false;
    bool mLooping = false;
    TimeValue mDuration = 0;
    TimeValue mTime = 0;
    double mRate = 0.0;
    double mAnchorValue = 0.0;
    double mAnchorClock = 0.0;
    bool mNeedsDraw = true;
    int64_t mDrawnPts = INT64_MIN;
    void *mScaler = nullptr;
    MovieDrawingCompleteUPP mDrawingComplete = nullptr;
    long mDrawingCompleteFlags = 0;
    long mDrawingCompleteRefCon = 0;

    MovieRecord() : mSelf(this) {
        mTrack.mSelf = &mTrack;
        mTrack.mMovie = this;
        mMedia.mSelf = &mMedia;
        mMedia.mMovie = this;
        mHandler = std::make_unique<VideoMediaHandler>(this);
    }
    ~MovieRecord();

    Movie AsMovie() { return &mSelf; }

    // Movie time to stream time: the stream time within whose frame the movie time falls.
    int64_t StreamTime(TimeValue t) const {
        return mEngine.mStart + av_rescale_rnd(t, mEngine.mTimeBaseDen, int64_t(kMovieTimeScale) * mEngine.mTimeBaseNum,
                                               AV_ROUND_DOWN);
    }

    // Brings mTime up to the clock while playing.
    void UpdateTime() {
        if (mRate == 0.0) return;
        double t = mAnchorValue + (Now() - mAnchorClock) * mRate * kMovieTimeScale;
        if (mLooping && mDuration > 0) {
            t = std::fmod(t, double(mDuration));
            if (t < 0) t += mDuration;
        } else if ((mRate > 0 && t >= mDuration) || (mRate < 0 && t <= 0.0)) {
            t = std::clamp(t, 0.0, double(mDuration));
            mRate = 0.0;  // played to the end (or the beginning): stop there
            mAnchorValue = t;
        }
        mTime = TimeValue(std::floor(t));
    }

    void SetTime(double t) {
        mTime = TimeValue(std::clamp(t, 0.0, double(mDuration)));
        mAnchorValue = mTime;
        mAnchorClock = Now();
        mNeedsDraw = true;
    }

    void SetRate(double rate) {
        UpdateTime();
        mAnchorValue = mTime;
        mAnchorClock = Now();
        mRate = rate;
    }
};

class MovieControllerInstance final : public ComponentInstanceRecord {
public:
    MovieControllerInstance(MovieRecord *movie, long flags)
        : ComponentInstanceRecord({MakeFourCharCode("play"), 0, 0, 0, 0}, "Movie Controller", true), mMovie(movie),
          mFlags(flags) {
        mMovie->mControllers.push_back(this);
    }
    ~MovieControllerInstance() override { Detach(); }
    void Detach() {
        if (mMovie == nullptr) return;
        auto &list = mMovie->mControllers;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        mMovie = nullptr;
    }
    MovieRecord *mMovie;
    long mFlags;
};

MovieRecord::~MovieRecord() {
    // Controllers of a disposed movie answer invalidMovie from then on.
    while (!mControllers.empty()) mControllers.back()->Detach();
    FreeScaler(&mScaler);
    mMagic = 0;
}

namespace {

MovieRecord *MovieOf(Movie m) {
    MovieRecord *movie = m != nullptr ? *m : nullptr;
    if (movie == nullptr || movie->mMagic != kMovieMagic) {
        SetMoviesError(invalidMovie);
        return nullptr;
    }
    return movie;
}

MovieRecord *MovieOfMedia(Media m) {
    MediaRecord *media = m != nullptr ? *m : nullptr;
    if (media == nullptr || media->mMagic != kMediaMagic) {
        SetMoviesError(invalidMedia);
        return nullptr;
    }
    return media->mMovie;
}

OSErr OpenMovie(const std::string &path, bool active, Movie *out) {
    auto movie = std::make_unique<MovieRecord>();
    const OSErr err = movie->mEngine.Open(path);
    if (err != noErr) return err;
    const MovieEngine &engine = movie->mEngine;
    const int64_t duration = av_rescale_rnd(engine.mDuration, int64_t(kMovieTimeScale) * engine.mTimeBaseNum,
                                            engine.mTimeBaseDen, AV_ROUND_NEAR_INF);
    movie->mDuration = TimeValue(std::clamp<int64_t>(duration, 1, INT32_MAX));
    movie->mBox = Rect{0, 0, short(engine.mHeight), short(engine.mWidth)};
    movie->mActive = active;
    GetGWorld(&movie->mWorld, nullptr);
    *out = movie.release()->AsMovie();
    return noErr;
}

// Media values are stream times multiplied by the time base's numerator, in a scale of
// its denominator.
int64_t MediaValue(const MovieEngine &engine, int64_t streamTime) { return streamTime * engine.mTimeBaseNum; }

struct MediaFacts {
    int64_t count;
    int64_t decodeDuration;
    int64_t displayDuration;
};

// From the container when it tells both the count and the duration, else from the samples.
OSErr FactsOf(MovieEngine &engine, MediaFacts &facts) {
    const std::vector<MovieEngine::Sample> *samples = nullptr;
    if (engine.mFrameCount > 0 && engine.mDuration > 0) {
        facts = {engine.mFrameCount, engine.mDuration, engine.mDuration};
        return noErr;
    }
    const OSErr err = engine.Samples(samples);
    if (err != noErr) return err;
    facts = {int64_t(samples->size()), 0, 0};
    if (samples->empty()) return noErr;
    int64_t first = INT64_MAX, end = INT64_MIN;
    for (const auto &s : *samples) {
        facts.decodeDuration += s.duration;
        first = std::min(first, s.pts);
        end = std::max(end, s.pts + s.duration);
    }
    facts.displayDuration = end - first;
    return noErr;
}

}  // namespace

OSErr EnterMovies(void) {
    av_log_set_level(AV_LOG_ERROR);
    return SetMoviesError(noErr);
}

void ExitMovies(void) { SetMoviesError(noErr); }

OSErr GetMoviesError(void) { return tMoviesError; }

OSErr NewMovieFromDataRef(Movie *m, short flags, short *id, Handle dataRef, OSType dataRefType) {
    if (m == nullptr) return SetMoviesError(paramErr);
    *m = nullptr;
    if (id != nullptr) *id = 0;
    std::string path;
    OSErr err = PathFromDataReference(dataRef, dataRefType, path);
    if (err == noErr) err = OpenMovie(path, (flags & newMovieActive) != 0, m);
    return SetMoviesError(err);
}

OSStatus NewMovieFromProperties(ItemCount inputPropertyCount, QTNewMoviePropertyElement *inputProperties,
                                ItemCount, QTNewMoviePropertyElement *, Movie *theMovie) {
    if (theMovie == nullptr || (inputPropertyCount > 0 && inputProperties == nullptr))
        return SetMoviesError(paramErr);
    *theMovie = nullptr;
    std::string path;
    int locations = 0;
    bool active = false;
    OSStatus result = noErr;
    for (ItemCount i = 0; i < inputPropertyCount; ++i) {
        QTNewMoviePropertyElement &p = inputProperties[i];
        OSStatus status = noErr;
        if (p.propClass == kQTPropertyClass_DataLocation && p.propID == kQTDataLocationPropertyID_CFURL) {
            if (p.propValueSize != sizeof(CFURLRef) || p.propValueAddress == nullptr) {
                status = kQTPropertyBadValueSizeErr;
            } else {
                CFURLRef url = *static_cast<CFURLRef *>(p.propValueAddress);
                Handle ref = nullptr;
                OSType type = 0;
                status = QTNewDataReferenceFromCFURL(url, 0, &ref, &type);
                if (status == noErr) status = PathFromDataReference(ref, type, path);
                DisposeHandle(ref);
                ++locations;
            }
        } else if (p.propClass == kQTPropertyClass_DataLocation && p.propID == kQTDataLocationPropertyID_DataReference) {
            if (p.propValueSize != sizeof(DataReferenceRecord) || p.propValueAddress == nullptr) {
                status = kQTPropertyBadValueSizeErr;
            } else {
                const auto *record = static_cast<const DataReferenceRecord *>(p.propValueAddress);
                status = PathFromDataReference(record->dataRef, record->dataRefType, path);
                ++locations;
            }
        } else if (p.propClass == kQTPropertyClass_NewMovieProperty && p.propID == kQTNewMoviePropertyID_Active) {
            if (p.propValueSize != sizeof(Boolean) || p.propValueAddress == nullptr) status = kQTPropertyBadValueSizeErr;
            else active = *static_cast<const Boolean *>(p.propValueAddress) != 0;
        } else {
            status = kQTPropertyNotSupportedErr;
        }
        p.propStatus = status;
        if (status != noErr && result == noErr) result = status;
    }
    if (result == noErr && locations != 1) result = paramErr;
    if (result == noErr) result = OpenMovie(path, active, theMovie);
    return SetMoviesError(OSErr(result));
}

void DisposeMovie(Movie theMovie) {
    if (theMovie == nullptr) {
        SetMoviesError(noErr);
        return;
    }
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return;
    delete movie;
    SetMoviesError(noErr);
}

void SetMovieActive(Movie theMovie, Boolean active) {
    if (MovieRecord *movie = MovieOf(theMovie)) {
        movie->mActive = active != 0;
        movie->mNeedsDraw = true;
        SetMoviesError(noErr);
    }
}

Boolean GetMovieActive(Movie theMovie) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return false;
    SetMoviesError(noErr);
    return movie->mActive;
}

void GetMovieBox(Movie theMovie, Rect *boxRect) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr || boxRect == nullptr) {
        if (boxRect != nullptr) *boxRect = Rect{0, 0, 0, 0};
        if (movie != nullptr) SetMoviesError(paramErr);
        return;
    }
    *boxRect = movie->mBox;
    SetMoviesError(noErr);
}

void SetMovieBox(Movie theMovie, const Rect *boxRect) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return;
    if (boxRect == nullptr) {
        SetMoviesError(paramErr);
        return;
    }
    movie->mBox = *boxRect;
    movie->mNeedsDraw = true;
    SetMoviesError(noErr);
}

void SetMovieGWorld(Movie theMovie, CGrafPtr port, GDHandle) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return;
    if (port == nullptr) GetGWorld(&port, nullptr);
    movie->mWorld = port;
    movie->mNeedsDraw = true;
    SetMoviesError(noErr);
}

void GetMovieGWorld(Movie theMovie, CGrafPtr *port, GDHandle *gdh) {
    MovieRecord *movie = MovieOf(theMovie);
    if (port != nullptr) *port = movie != nullptr ? movie->mWorld : nullptr;
    if (gdh != nullptr) *gdh = nullptr;
    if (movie != nullptr) SetMoviesError(noErr);
}

OSErr UpdateMovie(Movie theMovie) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return invalidMovie;
    movie->mNeedsDraw = true;
    return SetMoviesError(noErr);
}

void SetMovieDrawingCompleteProc(Movie theMovie, long flags, MovieDrawingCompleteUPP proc, long refCon) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return;
    movie->mDrawingComplete = proc;
    movie->mDrawingCompleteFlags = flags;
    movie->mDrawingCompleteRefCon = refCon;
    SetMoviesError(noErr);
}

TimeScale GetMovieTimeScale(Movie theMovie) {
    if (MovieOf(theMovie) == nullptr) return 0;
    SetMoviesError(noErr);
    return kMovieTimeScale;
}

TimeValue GetMovieDuration(Movie theMovie) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return 0;
    SetMoviesError(noErr);
    return movie->mDuration;
}

TimeValue GetMovieTime(Movie theMovie, TimeRecord *currentTime) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return 0;
    movie->UpdateTime();
    if (currentTime != nullptr) *currentTime = TimeRecord{movie->mTime, kMovieTimeScale, nullptr};
    SetMoviesError(noErr);
    return movie->mTime;
}

void SetMovieTimeValue(Movie theMovie, TimeValue newtime) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return;
    movie->UpdateTime();
    movie->SetTime(newtime);
    SetMoviesError(noErr);
}

void GoToBeginningOfMovie(Movie theMovie) { SetMovieTimeValue(theMovie, 0); }

OSErr PrerollMovie(Movie theMovie, TimeValue time, Fixed) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return invalidMovie;
    const AVFrame *frame = nullptr;
    int64_t pts = 0;
    return SetMoviesError(
        movie->mEngine.FrameAt(movie->StreamTime(std::clamp<TimeValue>(time, 0, movie->mDuration)), frame, pts));
}

void SetMovieRate(Movie theMovie, Fixed rate) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return;
    movie->SetRate(Fix2X(rate));
    SetMoviesError(noErr);
}

Fixed GetMovieRate(Movie theMovie) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return 0;
    movie->UpdateTime();
    SetMoviesError(noErr);
    return X2Fix(movie->mRate);
}

void StartMovie(Movie theMovie) { SetMovieRate(theMovie, fixed1); }

void StopMovie(Movie theMovie) { SetMovieRate(theMovie, 0); }

Boolean IsMovieDone(Movie theMovie) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return true;
    movie->UpdateTime();
    SetMoviesError(noErr);
    if (movie->mLooping) return false;
    return movie->mRate < 0 ? movie->mTime <= 0 : movie->mTime >= movie->mDuration;
}

void SetMoviePlayHints(Movie theMovie, long flags, long flagsMask) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return;
    if ((flagsMask & hintsLoop) != 0) {
        movie->UpdateTime();
        movie->mAnchorValue = movie->mTime;
        movie->mAnchorClock = Now();
        movie->mLooping = (flags & hintsLoop) != 0;
    }
    SetMoviesError(noErr);
}

void MoviesTask(Movie theMovie, long) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return;
    if (tDrawingCompleteDepth > 0 || !movie->mActive) {
        SetMoviesError(noErr);
        return;
    }
    movie->UpdateTime();
    bool drew = false;
    if (movie->mWorld != nullptr && !EmptyRect(&movie->mBox)) {
        if (!IsLiveWorld(movie->mWorld)) {
            SetMoviesError(paramErr);  // the world was disposed under the movie
            return;
        }
        const AVFrame *frame = nullptr;
        int64_t pts = 0;
        OSErr err = movie->mEngine.FrameAt(movie->StreamTime(movie->mTime), frame, pts);
        if (err == noErr && (movie->mNeedsDraw || pts != movie->mDrawnPts)) {
            const PictureSource source{frame->data, frame->linesize, frame->format, frame->width, frame->height,
                                       frame->color_range == AVCOL_RANGE_JPEG, frame->colorspace == AVCOL_SPC_BT709};
            err = DrawPictureIntoWorld(&movie->mScaler, source, movie->mWorld, movie->mBox);
            if (err == noErr) {
                movie->mDrawnPts = pts;
                movie->mNeedsDraw = false;
                drew = true;
            }
        }
        if (err != noErr) {
            SetMoviesError(err);
            return;
        }
    }
    SetMoviesError(noErr);
    if (movie->mDrawingComplete != nullptr && (drew || (movie->mDrawingCompleteFlags & movieDrawingCallAlways) != 0)) {
        // Nothing touches the movie after the procedure: it may dispose of it.
        MovieDrawingCompleteUPP proc = movie->mDrawingComplete;
        const long refCon = movie->mDrawingCompleteRefCon;
        ++tDrawingCompleteDepth;
        proc(theMovie, refCon);
        --tDrawingCompleteDepth;
    }
}

long GetMovieTrackCount(Movie theMovie) {
    if (MovieOf(theMovie) == nullptr) return 0;
    SetMoviesError(noErr);
    return 1;
}

Track GetMovieIndTrackType(Movie theMovie, long index, OSType trackType, long flags) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return nullptr;
    bool matches;
    if ((flags & movieTrackCharacteristic) != 0)
        matches = trackType == VisualMediaCharacteristic || trackType == kCharacteristicHasVideoFrameRate;
    else
        matches = trackType == VideoMediaType;
    if (!matches || index != 1) {
        SetMoviesError(badTrackIndex);
        return nullptr;
    }
    SetMoviesError(noErr);
    return &movie->mTrack.mSelf;
}

Media GetTrackMedia(Track theTrack) {
    TrackRecord *track = theTrack != nullptr ? *theTrack : nullptr;
    if (track == nullptr || track->mMagic != kTrackMagic) {
        SetMoviesError(invalidTrack);
        return nullptr;
    }
    SetMoviesError(noErr);
    return &track->mMovie->mMedia.mSelf;
}

MediaHandler GetMediaHandler(Media theMedia) {
    MovieRecord *movie = MovieOfMedia(theMedia);
    if (movie == nullptr) return nullptr;
    SetMoviesError(noErr);
    return movie->mHandler.get();
}

ComponentResult MediaHasCharacteristic(MediaHandler mh, OSType characteristic, Boolean *hasIt) {
    if (dynamic_cast<VideoMediaHandler *>(LiveComponent(mh)) == nullptr) return badComponentInstance;
    if (hasIt == nullptr) return paramErr;
    *hasIt = characteristic == VisualMediaCharacteristic || characteristic == kCharacteristicHasVideoFrameRate;
    return noErr;
}

ComponentResult MediaGetPublicInfo(MediaHandler mh, OSType infoSelector, void *infoDataPtr, Size *ioDataSize) {
    auto *handler = dynamic_cast<VideoMediaHandler *>(LiveComponent(mh));
    if (handler == nullptr) return badComponentInstance;
    if (infoSelector != kMediaPublicInfoFrameRate) return badComponentSelector;
    if (infoDataPtr == nullptr || ioDataSize == nullptr || *ioDataSize < Size(sizeof(Fixed))) return paramErr;
    if (handler->mMovie->mEngine.mFrameRate <= 0.0) return paramErr;
    const Fixed rate = X2Fix(handler->mMovie->mEngine.mFrameRate);
    *static_cast<Fixed *>(infoDataPtr) = rate;
    *ioDataSize = sizeof(Fixed);
    return noErr;
}

TimeScale GetMediaTimeScale(Media theMedia) {
    MovieRecord *movie = MovieOfMedia(theMedia);
    if (movie == nullptr) return 0;
    SetMoviesError(noErr);
    return movie->mEngine.mTimeBaseDen;
}

long GetMediaSampleCount(Media theMedia) {
    MovieRecord *movie = MovieOfMedia(theMedia);
    if (movie == nullptr) return 0;
    MediaFacts facts{};
    const OSErr err = FactsOf(movie->mEngine, facts);
    SetMoviesError(err);
    return err == noErr ? long(facts.count) : 0;
}

TimeValue GetMediaDuration(Media theMedia) {
    MovieRecord *movie = MovieOfMedia(theMedia);
    if (movie == nullptr) return 0;
    MediaFacts facts{};
    const OSErr err = FactsOf(movie->mEngine, facts);
    SetMoviesError(err);
    if (err != noErr) return 0;
    return TimeValue(std::min<int64_t>(MediaValue(movie->mEngine, facts.decodeDuration), INT32_MAX));
}

TimeValue64 GetMediaDisplayDuration(Media theMedia) {
    MovieRecord *movie = MovieOfMedia(theMedia);
    if (movie == nullptr) return 0;
    MediaFacts facts{};
    const OSErr err = FactsOf(movie->mEngine, facts);
    SetMoviesError(err);
    return err == noErr ? MediaValue(movie->mEngine, facts.displayDuration) : 0;
}

void SampleNumToMediaDecodeTime(Media theMedia, SInt64 logicalSampleNum, TimeValue64 *sampleDecodeTime,
                                TimeValue64 *sampleDecodeDuration) {
    if (sampleDecodeTime != nullptr) *sampleDecodeTime = 0;
    if (sampleDecodeDuration != nullptr) *sampleDecodeDuration = 0;
    MovieRecord *movie = MovieOfMedia(theMedia);
    if (movie == nullptr) return;
    const std::vector<MovieEngine::Sample> *samples = nullptr;
    const OSErr err = movie->mEngine.Samples(samples);
    if (err != noErr) {
        SetMoviesError(err);
        return;
    }
    if (logicalSampleNum < 1 || logicalSampleNum > SInt64(samples->size())) {
        SetMoviesError(invalidSampleNum);
        return;
    }
    const MovieEngine::Sample &sample = (*samples)[size_t(logicalSampleNum - 1)];
    // Decode times count from the first sample's.
    if (sampleDecodeTime != nullptr)
        *sampleDecodeTime = MediaValue(movie->mEngine, sample.dts - samples->front().dts);
    if (sampleDecodeDuration != nullptr) *sampleDecodeDuration = MediaValue(movie->mEngine, sample.duration);
    SetMoviesError(noErr);
}

// --- Movie controllers ---

namespace {

MovieControllerInstance *ControllerOf(MovieController mc) {
    return dynamic_cast<MovieControllerInstance *>(LiveComponent(mc));
}

}  // namespace

MovieController NewMovieController(Movie theMovie, const Rect *movieRect, long someFlags) {
    MovieRecord *movie = MovieOf(theMovie);
    if (movie == nullptr) return nullptr;
    if (movieRect != nullptr) {
        if ((someFlags & mcScaleMovieToFit) != 0) {
            movie->mBox = *movieRect;
        } else if ((someFlags & mcTopLeftMovie) != 0) {
            OffsetRect(&movie->mBox, short(movieRect->left - movie->mBox.left), short(movieRect->top - movie->mBox.top));
        }
        movie->mNeedsDraw = true;
    }
    SetMoviesError(noErr);
    return new MovieControllerInstance(movie, someFlags);
}

void DisposeMovieController(MovieController mc) {
    if (ControllerOf(mc) != nullptr) CloseComponent(mc);
}

ComponentResult MCDoAction(MovieController mc, short action, void *params) {
    MovieControllerInstance *controller = ControllerOf(mc);
    if (controller == nullptr) return badComponentInstance;
    if (controller->mMovie == nullptr) return invalidMovie;
    Movie movie = controller->mMovie->AsMovie();
    switch (action) {
    case mcActionPrerollAndPlay: {
        const Fixed rate = Fixed(reinterpret_cast<intptr_t>(params));
        const OSErr err = rate != 0 ? PrerollMovie(movie, GetMovieTime(movie, nullptr), rate) : OSErr(noErr);
        if (err != noErr) return err;
        SetMovieRate(movie, rate);
        return GetMoviesError();
    }
    case mcActionPlay:
        SetMovieRate(movie, Fixed(reinterpret_cast<intptr_t>(params)));
        return GetMoviesError();
    case mcActionSetLooping:
        SetMoviePlayHints(movie, params != nullptr ? long(hintsLoop) : 0L, hintsLoop);
        return GetMoviesError();
    case mcActionGetLooping:
        if (params == nullptr) return paramErr;
        *static_cast<Boolean *>(params) = controller->mMovie->mLooping;
        return noErr;
    default: return badComponentSelector;
    }
}

ComponentResult MCGetControllerInfo(MovieController mc, long *someFlags) {
    MovieControllerInstance *controller = ControllerOf(mc);
    if (controller == nullptr) return badComponentInstance;
    if (someFlags == nullptr) return paramErr;
    if (controller->mMovie == nullptr) return invalidMovie;
    MovieRecord *movie = controller->mMovie;
    movie->UpdateTime();
    *someFlags = (movie->mRate != 0.0 ? long(mcInfoIsPlaying) : 0L) | (movie->mLooping ? long(mcInfoIsLooping) : 0L);
    return noErr;
}

ComponentResult MCIdle(MovieController mc) {
    MovieControllerInstance *controller = ControllerOf(mc);
    if (controller == nullptr) return badComponentInstance;
    if (controller->mMovie == nullptr) return invalidMovie;
    MoviesTask(controller->mMovie->AsMovie(), 0);
    return GetMoviesError();
}
