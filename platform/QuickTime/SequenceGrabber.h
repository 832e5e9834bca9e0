// Sequence Grabber: video capture from V4L2 cameras (through libv4l2) and from the built-in
// test camera, delivered frame by frame to a data procedure.
//
// A Sequence Grabber instance is opened with OpenDefaultComponent(SeqGrabComponentType, 0)
// and closed with CloseComponent. It holds video channels ('vide'), each bound to one
// capture device and one of its inputs. Recording makes no movie: every captured frame is
// handed, as it is, to the data procedure from inside SGIdle, on the thread that calls
// SGIdle; the channel's sample description (SGGetChannelSampleDescription) says what the
// frames are:
//   '2vuy' (k2vuyPixelFormat)  UYVY 4:2:2, 'rowb' extension = bytes per row
//   'yuvs' (kYUVSPixelFormat)  YUYV 4:2:2, 'rowb' extension = bytes per row
//   'jpeg' (kJPEGCodecType)    one JPEG picture per frame (Motion JPEG), dataSize 0
//   k24RGBPixelFormat          R, G, B, converted by libv4l2 for cameras that deliver none
//                              of the above; 'rowb' extension = bytes per row
// The 4:2:2 formats are video range, their Y'CbCr matrix named by a 'colr' 'nclc'
// extension: the test camera's BT.601, a V4L2 camera's what its driver reports as the
// format's Y'CbCr encoding (BT.601 when it reports none). The Image Compression Manager's
// decompression sequences (ImageCompression.h) draw each of them into a world.
//
// Devices. A listing (SGGetChannelDeviceList) looks at the system each time it is made:
// every /dev/video* node that can capture and stream, named by its driver's card name,
// with its inputs; and the test camera (TestCamera.h, one input), listed first when the
// environment variable LUMORA_TEST_CAMERA is "1" and last whenever no V4L2 device is
// listed. Names are Mac OS Roman Pascal strings of at most 63 bytes; two devices with the
// same card name are told apart by " (2)", " (3)"... in node order. A channel names its
// device by name and resolves it again each time it opens the device, so devices that come
// and go between listings are handled; a device that is gone when the channel opens it
// gives noDeviceForChannel.
//
// Channel life: set up (device, input, bounds, frame rate, usage) -> SGPrepare opens the
// device and settles the format -> SGStartRecord streams -> SGIdle delivers -> SGStop stops
// streaming and releases the device (SGStartRecord prepares again by itself). Changing the
// device, input, bounds or rate of a prepared channel releases its device; it cannot be
// changed while recording (cantDoThatInCurrentMode). The frame size asked of the device is
// the channel's bounds (or the world's bounds when no channel bounds are set); a V4L2
// camera may answer another size, which the sample description tells. A camera that
// disappears while recording ends that channel's capture: SGIdle answers
// noDeviceForChannel (and nothing more is delivered) until SGStop.
//
// Threading: an instance and its channels belong to one thread at a time; there is no
// capture thread. SGIdle takes the frames that are ready without waiting (V4L2 buffers
// dequeued without blocking; the test camera's frames that are due) and returns at once.
// From inside the data procedure, calls that change the grabber's state (SGStop,
// SGStartRecord, SGPrepare, SGNewChannel, SGDisposeChannel, the channel setters) answer
// cantDoThatInCurrentMode and CloseComponent answers invalidComponentID.
//
// Not provided here (unimpErr): making movies (SGSetDataRef without seqGrabDontMakeMovie),
// preview (SGPrepare for preview, seqGrabPreview and seqGrabPlayDuringRecord usage).
#pragma once

#include <QuickTime/Components.h>
#include <QuickTime/ImageCompression.h>
#include <QuickTime/Microseconds.h>
#include <QuickTime/Movies.h>
#include <QuickTime/QuickDraw.h>

// The layer's calls have C linkage, as the framework's exported entry points do.
extern "C" {

typedef void *SRefCon;
typedef ComponentInstance SeqGrabComponent;
typedef ComponentInstance SGChannel;

enum : OSType {
    SeqGrabComponentType = MakeFourCharCode("barg"),
    SeqGrabChannelType = MakeFourCharCode("sgch"),
    // VideoMediaType ('vide', Movies.h) is the one channel type.
};

enum : OSErr {
    noDeviceForChannel = -9400,           // no such device, or the channel's device is gone
    cantDoThatInCurrentMode = -9402,      // not while recording (or from inside the data procedure)
    couldntGetRequiredComponent = -9405,  // a channel type other than 'vide'
    badSGChannel = -9406,                 // not a channel of this grabber
    seqGrabInfoNotAvailable = -9407,      // no sample description before the channel is prepared
    deviceCantMeetRequest = -9408,        // the device refuses the request or is busy
};

// SGSetDataRef flags: only seqGrabDontMakeMovie is accepted.
enum : long {
    seqGrabToDisk = 1,
    seqGrabToMemory = 2,
    seqGrabDontUseTempMemory = 4,
    seqGrabAppendToFile = 8,
    seqGrabDontAddMovieResource = 16,
    seqGrabDontMakeMovie = 32,
};

// SGSetChannelUsage: only seqGrabRecord is provided (the default of a new channel).
enum : long {
    seqGrabRecord = 1,
    seqGrabPreview = 2,
    seqGrabPlayDuringRecord = 4,
};

// The data procedure's writeType: every frame is appended.
enum : short {
    seqGrabWriteAppend = 0,
};

// SGSetChannelSettingsStateChanging flags.
enum : UInt32 {
    sgSetSettingsBegin = 1,
    sgSetSettingsEnd = 2,
};

// The time passed to the data procedure: the frame's capture time since SGStartRecord, in
// units of 1/600 second.
enum : TimeScale {
    kSGFrameTimeScale = 600,
};

// Called from inside SGIdle once per captured frame: p and len are the frame's bytes (valid
// only during the call), *offset is 0, chRefCon 0, time as above, writeType
// seqGrabWriteAppend, refCon the one given to SGSetDataProc. A non-zero result ends that
// SGIdle call (the frames still pending stay for the next one) and SGIdle answers it;
// recording goes on.
typedef OSErr (*SGDataProcPtr)(SGChannel c, Ptr p, long len, long *offset, long chRefCon, TimeValue time,
                               short writeType, SRefCon refCon);
typedef SGDataProcPtr SGDataUPP;

// The settings dialog's filter procedure (the dialog itself is not provided here).
typedef struct OpaqueDialogPtr *DialogRef;
struct EventRecord;
typedef Boolean (*SGModalFilterProcPtr)(DialogRef theDialog, const EventRecord *theEvent, short *itemHit,
                                        SRefCon refCon);
typedef SGModalFilterProcPtr SGModalFilterUPP;

// Device lists. A list is a handle to an SGDeviceListRecord of `count` entries; when the
// inputs were asked for, each entry's `inputs` is a handle to an SGDeviceInputListRecord of
// its `count` inputs (null otherwise). selectedIndex is the channel's device (-1 when the
// channel's device is not in the listing any more) and, in an input list, the channel's
// input (0 for the other devices). Icons are always null.
struct SGDeviceInputName {
    Str63 name;
    Handle icon;
    long flags;
    long reserved;
};
struct SGDeviceInputListRecord {
    short count;
    short selectedIndex;
    long reserved;
    SGDeviceInputName entry[1];  // `count` entries
};
typedef SGDeviceInputListRecord *SGDeviceInputListPtr;
typedef SGDeviceInputListPtr *SGDeviceInputList;

struct SGDeviceName {
    Str63 name;
    Handle icon;
    long flags;
    long refCon;
    SGDeviceInputList inputs;
};
struct SGDeviceListRecord {
    short count;
    short selectedIndex;
    long reserved;
    SGDeviceName entry[1];  // `count` entries
};
typedef SGDeviceListRecord *SGDeviceListPtr;
typedef SGDeviceListPtr *SGDeviceList;

// SGGetChannelDeviceList selection flags: only sgDeviceListIncludeInputs changes the
// list; the others are accepted.
enum : long {
    sgDeviceListWithIcons = 1 << 0,
    sgDeviceListDontCheckAvailability = 1 << 1,
    sgDeviceListIncludeInputs = 1 << 2,
};

// --- The grabber ---

// Must be called once before channels are made (SGNewChannel answers paramErr before).
ComponentResult SGInitialize(SeqGrabComponent s);
// The procedure that receives the frames (null: none; SGStartRecord then answers paramErr).
ComponentResult SGSetDataProc(SeqGrabComponent s, SGDataUPP proc, SRefCon refCon);
// Only seqGrabDontMakeMovie (with no data reference) is accepted: that is how the grabber
// always works; anything asking for a movie answers unimpErr.
ComponentResult SGSetDataRef(SeqGrabComponent s, Handle dataRef, OSType dataRefType, long whereFlags);
// The world the grabber is set up for (a null port means the current world). paramErr for
// a world that is not alive. Recording draws nothing into it; its bounds are the frame size
// of channels without bounds of their own.
ComponentResult SGSetGWorld(SeqGrabComponent s, CGrafPtr gp, GDHandle gd);
// A new video channel on the first listed device. paramErr before SGInitialize,
// couldntGetRequiredComponent for a type other than VideoMediaType, noDeviceForChannel when
// no device is listed.
ComponentResult SGNewChannel(SeqGrabComponent s, OSType channelType, SGChannel *ref);
// Stops and frees the channel. badSGChannel for a channel of another grabber.
ComponentResult SGDisposeChannel(SeqGrabComponent s, SGChannel c);
// Opens and sets up the device of every recording channel. Only prepareForRecord is
// provided (unimpErr for preview; paramErr when neither is asked). The device's errors:
// noDeviceForChannel, deviceCantMeetRequest (busy, or no format this layer takes),
// permErr, memFullErr, ioErr. paramErr for a channel with neither bounds nor world.
ComponentResult SGPrepare(SeqGrabComponent s, Boolean prepareForPreview, Boolean prepareForRecord);
// Prepares where needed and starts streaming on every recording channel. paramErr without
// a data procedure or without a recording channel. On an error nothing records.
ComponentResult SGStartRecord(SeqGrabComponent s);
// Delivers the frames that are ready to the data procedure. noErr when not recording.
ComponentResult SGIdle(SeqGrabComponent s);
// Stops recording and releases the devices. noErr when not recording.
ComponentResult SGStop(SeqGrabComponent s);
// Accepted for a channel of this grabber: device and input changes take effect when they
// are made, so there is nothing more to do. badSGChannel otherwise.
ComponentResult SGChangedSource(SeqGrabComponent s, SGChannel c);
// Frees a list made by SGGetChannelDeviceList. The grabber is not used: a list may be
// disposed after its grabber was closed. Null is ignored.
ComponentResult SGDisposeDeviceList(SeqGrabComponent s, SGDeviceList list);

// --- Channels ---

// The rect whose size is asked of the device. paramErr for an empty rect or one wider or
// taller than 8192.
ComponentResult SGSetChannelBounds(SGChannel c, const Rect *bounds);
// seqGrabRecord (or 0: the channel is left out of recording); unimpErr for the other bits.
ComponentResult SGSetChannelUsage(SGChannel c, long usage);
// Frames per second asked of the device; 0 (the default) means the device's own rate (30
// for the test camera). paramErr for a negative rate or one above 1000.
ComponentResult SGSetFrameRate(SGChannel c, Fixed frameRate);
ComponentResult SGGetFrameRate(SGChannel c, Fixed *frameRate);
// Copies the description of the frames the channel delivers into sampleDesc (resized).
// seqGrabInfoNotAvailable before the channel was first prepared (and after its device,
// input, bounds or rate changed, until it is prepared again).
ComponentResult SGGetChannelSampleDescription(SGChannel c, Handle sampleDesc);
// A new device list (dispose it with SGDisposeDeviceList).
ComponentResult SGGetChannelDeviceList(SGChannel c, long selectionFlags, SGDeviceList *list);
// Selects the listed device of that name (a Pascal string; its first input).
// noDeviceForChannel when no listed device has the name.
ComponentResult SGSetChannelDevice(SGChannel c, StringPtr name);
// Selects the input of the channel's device. paramErr for an index it does not have;
// noDeviceForChannel when the device is not listed any more.
ComponentResult SGSetChannelDeviceInput(SGChannel c, short input);
// The channel's device and input names (Pascal strings) and input index; each output may
// be null.
ComponentResult SGGetChannelDeviceAndInputNames(SGChannel c, Str255 outDeviceName, Str255 outInputName,
                                                short *outInputNumber);
// Brackets a group of settings changes (sgSetSettingsBegin, then sgSetSettingsEnd).
// paramErr for other flags or an end without a begin.
ComponentResult SGSetChannelSettingsStateChanging(SGChannel c, UInt32 inFlags);

// The channel's video digitizer. A channel is its own digitizer: SGGetVideoDigitizerComponent
// answers the channel (null for one that is not a channel), and the VD calls take it. Its
// picture controls are the device's own (a V4L2 camera's brightness, contrast and saturation
// controls; the test camera keeps them; CaptureDevices.h), as 16-bit values spanning the
// device's range (0 its minimum, 65535 its maximum). They reach the device while the channel
// has it open (prepared or recording), else noDeviceForChannel; digiUnimpErr when the device
// has no such control; badSGChannel for a digitizer that is not a channel. The digitizer's
// component description is the channel's, so its manufacturer is never 'iidc': no IIDC
// feature calls are provided.
typedef ComponentInstance VideoDigitizerComponent;
typedef ComponentResult VideoDigitizerError;
enum : OSErr {
    digiUnimpErr = -2201,
};
VideoDigitizerComponent SGGetVideoDigitizerComponent(SGChannel c);
VideoDigitizerError VDGetBrightness(VideoDigitizerComponent ci, unsigned short *brightness);
VideoDigitizerError VDSetBrightness(VideoDigitizerComponent ci, unsigned short *brightness);
VideoDigitizerError VDGetContrast(VideoDigitizerComponent ci, unsigned short *contrast);
VideoDigitizerError VDSetContrast(VideoDigitizerComponent ci, unsigned short *contrast);
VideoDigitizerError VDGetSaturation(VideoDigitizerComponent ci, unsigned short *saturation);
VideoDigitizerError VDSetSaturation(VideoDigitizerComponent ci, unsigned short *saturation);

}  // extern "C"
