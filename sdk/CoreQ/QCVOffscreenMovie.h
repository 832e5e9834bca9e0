// QCVOffscreenMovie: a movie file played into an offscreen world.
//
// Opening makes the movie, an invisible controller over it and an idle timer (CarbTimer,
// every 0.01 s on the opening thread's event loop) that tasks the movie and its controller
// while it is open. The movie can be fitted to a world of another shape: given a "better
// world", that world becomes an alias of the centred part of the drawing world that has the
// movie's aspect ratio, and the movie draws there. After a successful open by URL the
// virtual OnMovieOpened runs (the frame-rate query); each time the movie has drawn a frame,
// OnMovieDrawingComplete runs. Everything happens on the opening thread.
//
// MovieGetStaticFrameRate tells a movie's video frame rate.
#pragma once

#include <vector>

#include <CoreFoundation/CFURL.h>
#include <QuickTime/Movies.h>

#include <CoreQ/CarbTimer.h>

class QGWorld;

// The properties a movie is opened with, in the order they were added.
class QTMovieProperties {
public:
    // 'dloc' 'cfur': the movie file's URL (the URL must outlive the opening).
    void AddLocationURL(const CFURLRef *url);
    // 'mprp' 'actv': the movie is active (true) or not.
    void AddActive(const Boolean *active);

    bool HasLocation() const;
    ItemCount Count() const { return ItemCount(mElements.size()); }
    QTNewMoviePropertyElement *Elements() { return mElements.data(); }

private:
    std::vector<QTNewMoviePropertyElement> mElements;
};

class QCVOffscreenMovie {
public:
    QCVOffscreenMovie();
    virtual ~QCVOffscreenMovie();
    QCVOffscreenMovie(const QCVOffscreenMovie &) = delete;
    QCVOffscreenMovie &operator=(const QCVOffscreenMovie &) = delete;

    // The frame-rate query, run after a successful open by URL: mFrameRate becomes the
    // movie's static frame rate (0 when it has none).
    virtual void OnMovieOpened();
    // Runs each time the movie has drawn a frame; noErr.
    virtual OSErr OnMovieDrawingComplete();

    // Opens the file at the URL to draw into inGWorld (or into outBetterWorld fitted to it,
    // when given; see above). False (reported) when it cannot.
    bool OpenURLForGWorld(CFURLRef inMovieURL, QGWorld &inGWorld, QGWorld *outBetterWorld);
    // Closes an open movie, then opens the one the properties name (a location is needed)
    // to draw into the built world inGWorld, which becomes the thread's current world.
    bool OpenPropertiesForGWorld(QTMovieProperties &properties, QGWorld &inGWorld, QGWorld *outBetterWorld);
    // Closes an open movie, then makes the movie, its drawing-complete procedure, its
    // controller and the idle timer. On failure nothing stays open.
    OSErr NewMovieFromProperties(QTMovieProperties &properties);

    // Plays at rate 1 from where it is, or from the beginning when it has finished; with
    // inLoop it loops. False (reported) without a movie or when the controller refuses.
    bool Play(bool inLoop);
    void Stop();
    void SetLooping(bool inLoop);
    bool IsLooping();
    // Stops and disposes the controller and the movie; removes the timer. True.
    bool Close();

    bool IsMovieOpen() const { return mMovie != nullptr && mMovieController != nullptr; }
    Movie GetMovie() const { return mMovie; }
    MovieController GetMovieController() const { return mMovieController; }
    double GetFrameRate() const { return mFrameRate; }

    // Builds outAlias over the centred part of inSourceWorld (a 32-bit world) that has the
    // aspect ratio: the whole world when its own ratio is equal to two decimals, else the
    // full height (a wider world) or the full width (a taller one). False (reported) for a
    // ratio that is not positive or an alias that cannot be built.
    static bool ConstructAliasWithAspectRatio(QGWorld &outAlias, const QGWorld &inSourceWorld, float inAspectRatio);

    // The idle timer's work: tasks the movie, then idles the controller, while both exist.
    void Idle();

protected:
    T_ThisCarbTimer<QCVOffscreenMovie> mTimer;
    Movie mMovie;
    MovieController mMovieController;
    double mFrameRate;
};

// The movie's video frame rate: the first enabled track that has one, from its media's
// sample count, time scale and display duration (or, for MPEG media, the rate the handler
// reports). False (reported) with outRate 0 when the movie has no such track or a step
// fails, also for a display duration of 0.
bool MovieGetStaticFrameRate(Movie inMovie, double &outRate);
