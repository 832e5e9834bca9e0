// The Movie Toolbox over FFmpeg: movies read from files, played offscreen.
//
// A movie presents the first video stream of its file as its one track ('vide' media).
// Movie times are in the movie's time scale (600); media times in the media's own scale
// (the stream's). Seeking to a time shows the frame whose presentation interval holds it;
// while playing, time runs from a steady clock at the movie's rate and, when looping,
// wraps modulo the duration (without looping, play stops at the end). MoviesTask draws the
// current frame into the movie's world, scaled to the movie box, whenever it changes,
// then calls the drawing-complete procedure. A movie belongs to one thread at a time.
// Sound is not played. Every call leaves its status in GetMoviesError() (per thread).
#pragma once

#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFURL.h>
#include <Carbon/Files.h>

#include <QuickTime/Components.h>
#include <QuickTime/ImageCompression.h>

// The layer's calls have C linkage, as the framework's exported entry points do.
extern "C" {

typedef SInt32 TimeValue;
typedef SInt32 TimeScale;
typedef SInt64 TimeValue64;
typedef struct TimeBaseRecord *TimeBase;

struct TimeRecord {
    SInt64 value;
    TimeScale scale;
    TimeBase base;  // null for movie times; the time base for GetTimeBaseTime
};

typedef struct MovieRecord **Movie;
typedef struct TrackRecord **Track;
typedef struct MediaRecord **Media;
typedef ComponentInstance MediaHandler;
typedef ComponentInstance MovieController;

enum : OSErr {
    couldNotResolveDataRef = -2000,  // the data reference names nothing that can be read
    invalidMedia = -2008,
    invalidTrack = -2009,
    invalidMovie = -2010,
    invalidDataRef = -2012,          // a data reference of an unknown type or form
    badTrackIndex = -2028,
    invalidSampleNum = -2037,
    noMovieFound = -2048,            // the file holds no video stream that can be decoded
};

// Data reference types.
enum : OSType {
    AliasDataHandlerSubType = MakeFourCharCode("alis"),
    URLDataHandlerSubType = MakeFourCharCode("url "),
    HandleDataHandlerSubType = MakeFourCharCode("hndl"),
};

// A data reference (a handle the caller disposes) to the existing file or folder.
OSErr QTNewDataReferenceFromFSRef(const FSRef *fileRef, UInt32 flags, Handle *outDataRef, OSType *outDataRefType);
// A data reference to the item `fileName` (which need not exist) in the folder.
// paramErr for a name that is empty, ".", ".." or holds "/".
OSErr QTNewDataReferenceFromFSRefCFString(const FSRef *directoryRef, CFStringRef fileName, UInt32 flags,
                                          Handle *outDataRef, OSType *outDataRefType);
enum : UInt32 {
    kQTPOSIXPathStyle = 0,
};
// A data reference to the file at an absolute POSIX path (kQTPOSIXPathStyle only).
OSErr QTNewDataReferenceFromFullPathCFString(CFStringRef filePath, UInt32 pathStyle, UInt32 flags,
                                             Handle *outDataRef, OSType *outDataRefType);
// A data reference to a file URL.
OSErr QTNewDataReferenceFromCFURL(CFURLRef url, UInt32 flags, Handle *outDataRef, OSType *outDataRefType);

// Start-up and shut-down. Calls work without them.
OSErr EnterMovies(void);
void ExitMovies(void);
OSErr GetMoviesError(void);

// Opening. newMovieActive makes the movie active (only active movies draw).
enum : short {
    newMovieActive = 1 << 0,
};
OSErr NewMovieFromDataRef(Movie *m, short flags, short *id, Handle dataRef, OSType dataRefType);

typedef unsigned long ItemCount;
struct QTNewMoviePropertyElement {
    QTPropertyClass propClass;
    QTPropertyID propID;
    ByteCount propValueSize;
    QTPropertyValuePtr propValueAddress;
    OSStatus propStatus;
};
enum : QTPropertyClass {
    kQTPropertyClass_DataLocation = MakeFourCharCode("dloc"),
    kQTPropertyClass_NewMovieProperty = MakeFourCharCode("mprp"),
};
enum : QTPropertyID {
    kQTDataLocationPropertyID_CFURL = MakeFourCharCode("cfur"),      // CFURLRef (size sizeof(CFURLRef))
    kQTDataLocationPropertyID_DataReference = MakeFourCharCode("dref"),  // DataReferenceRecord
    kQTNewMoviePropertyID_Active = MakeFourCharCode("actv"),         // Boolean
};
struct DataReferenceRecord {
    OSType dataRefType;
    Handle dataRef;
};
// Opens the movie the properties describe: exactly one location ('dloc' 'cfur' or 'dref')
// and optionally 'mprp' 'actv'. Each element's propStatus tells how it was taken; any
// other property is kQTPropertyNotSupportedErr and fails the call, a wrong size
// kQTPropertyBadValueSizeErr. The movie draws into the current world (GetGWorld).
OSStatus NewMovieFromProperties(ItemCount inputPropertyCount, QTNewMoviePropertyElement *inputProperties,
                                ItemCount outputPropertyCount, QTNewMoviePropertyElement *outputProperties,
                                Movie *theMovie);
void DisposeMovie(Movie theMovie);

void SetMovieActive(Movie theMovie, Boolean active);
Boolean GetMovieActive(Movie theMovie);

// Geometry and drawing.
void GetMovieBox(Movie theMovie, Rect *boxRect);
void SetMovieBox(Movie theMovie, const Rect *boxRect);
// A null port means the current world at this call.
void SetMovieGWorld(Movie theMovie, CGrafPtr port, GDHandle gdh);
void GetMovieGWorld(Movie theMovie, CGrafPtr *port, GDHandle *gdh);
// Marks the movie for drawing at the next MoviesTask.
OSErr UpdateMovie(Movie theMovie);

typedef OSErr (*MovieDrawingCompleteProcPtr)(Movie theMovie, long refCon);
typedef MovieDrawingCompleteProcPtr MovieDrawingCompleteUPP;
inline MovieDrawingCompleteUPP NewMovieDrawingCompleteUPP(MovieDrawingCompleteProcPtr proc) { return proc; }
inline void DisposeMovieDrawingCompleteUPP(MovieDrawingCompleteUPP) {}
enum : long {
    movieDrawingCallWhenChanged = 0,  // after each MoviesTask that drew a new picture
    movieDrawingCallAlways = 1,       // after every MoviesTask
};
// Installs (or, with a null proc, removes) the drawing-complete procedure.
void SetMovieDrawingCompleteProc(Movie theMovie, long flags, MovieDrawingCompleteUPP proc, long refCon);

// Time and playing.
TimeScale GetMovieTimeScale(Movie theMovie);
TimeValue GetMovieDuration(Movie theMovie);
// The current time (also into currentTime when not null).
TimeValue GetMovieTime(Movie theMovie, TimeRecord *currentTime);
// Goes to the time, clamped to 0..duration.
void SetMovieTimeValue(Movie theMovie, TimeValue newtime);
void GoToBeginningOfMovie(Movie theMovie);
// Decodes the frame at the time so that playing starts at once; an error when it cannot.
OSErr PrerollMovie(Movie theMovie, TimeValue time, Fixed rate);
void StartMovie(Movie theMovie);  // rate 1.0
void StopMovie(Movie theMovie);   // rate 0
void SetMovieRate(Movie theMovie, Fixed rate);
Fixed GetMovieRate(Movie theMovie);
// True when the movie is not looping and its time is at its end (in the direction of play).
Boolean IsMovieDone(Movie theMovie);
enum : long {
    hintsLoop = 1 << 1,
};
// hintsLoop switches looping (the other hints are accepted and ignored).
void SetMoviePlayHints(Movie theMovie, long flags, long flagsMask);
// Advances time and draws when the picture changed. A null movie is invalidMovie.
void MoviesTask(Movie theMovie, long maxMilliSecToUse);

// Tracks and media.
enum : long {
    movieTrackMediaType = 1 << 0,
    movieTrackCharacteristic = 1 << 1,
    movieTrackEnabledOnly = 1 << 2,
};
enum : OSType {
    VideoMediaType = MakeFourCharCode("vide"),
    VisualMediaCharacteristic = MakeFourCharCode("eyes"),
    kCharacteristicHasVideoFrameRate = MakeFourCharCode("vfrr"),
    kCharacteristicIsAnMpegTrack = MakeFourCharCode("mpeg"),
    kMediaPublicInfoFrameRate = MakeFourCharCode("orat"),  // a Fixed
};
long GetMovieTrackCount(Movie theMovie);
// The index-th (from 1) track whose media type (movieTrackMediaType) or characteristic
// (movieTrackCharacteristic) is trackType; null (badTrackIndex) when there is none.
Track GetMovieIndTrackType(Movie theMovie, long index, OSType trackType, long flags);
Media GetTrackMedia(Track theTrack);
// The media's handler; it lives as long as the movie (do not close it).
MediaHandler GetMediaHandler(Media theMedia);
ComponentResult MediaHasCharacteristic(MediaHandler mh, OSType characteristic, Boolean *hasIt);
// kMediaPublicInfoFrameRate: the stream's average frame rate as a Fixed.
ComponentResult MediaGetPublicInfo(MediaHandler mh, OSType infoSelector, void *infoDataPtr, Size *ioDataSize);
TimeScale GetMediaTimeScale(Media theMedia);
// The number of video samples (frames), the sum of their decode durations and the span
// of their presentation, in the media's time scale.
long GetMediaSampleCount(Media theMedia);
TimeValue GetMediaDuration(Media theMedia);
TimeValue64 GetMediaDisplayDuration(Media theMedia);
// The decode time and duration of the sample (from 1); invalidSampleNum when there is no
// such sample (the outputs are set to 0).
void SampleNumToMediaDecodeTime(Media theMedia, SInt64 logicalSampleNum, TimeValue64 *sampleDecodeTime,
                                TimeValue64 *sampleDecodeDuration);

// Movie controllers: an invisible controller that plays its movie.
enum : long {
    mcTopLeftMovie = 1 << 0,  // the movie box is moved to the rect's top-left
    mcScaleMovieToFit = 1 << 1,  // the movie box becomes the rect
    mcWithBadge = 1 << 2,
    mcNotVisible = 1 << 3,
    mcWithFrame = 1 << 4,
};
enum : short {
    mcActionPlay = 8,            // params: the rate, a Fixed passed as the pointer's value
    mcActionSetLooping = 21,     // params: a Boolean passed as the pointer's value
    mcActionGetLooping = 22,     // params: a Boolean *
    mcActionPrerollAndPlay = 55, // params: the rate, a Fixed passed as the pointer's value
};
enum : long {
    mcInfoIsPlaying = 1 << 6,
    mcInfoIsLooping = 1 << 7,
};
typedef short mcAction;
MovieController NewMovieController(Movie theMovie, const Rect *movieRect, long someFlags);
void DisposeMovieController(MovieController mc);
// badComponentSelector for an action not listed above.
ComponentResult MCDoAction(MovieController mc, short action, void *params);
ComponentResult MCGetControllerInfo(MovieController mc, long *someFlags);
// Tasks the movie (MoviesTask) and answers its status.
ComponentResult MCIdle(MovieController mc);

}  // extern "C"
