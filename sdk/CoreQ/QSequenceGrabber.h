// QSequenceGrabber: the owner of one Sequence Grabber component instance.
//
// The component's data procedure is forwarded to the object's OnThisDataProc (the
// component calls it from inside SGIdle, on the thread that idles). The thin wrappers
// answer paramErr for a closed component, a null channel or a null argument, report every
// non-zero status to the debug log under the wrapper's name, and return it unchanged.
#pragma once

#include <QuickTime/SequenceGrabber.h>

class QSGDeviceList;

class QSequenceGrabber {
public:
    QSequenceGrabber() : mComponent(nullptr) {}
    // Closes the component.
    virtual ~QSequenceGrabber();
    QSequenceGrabber(const QSequenceGrabber &) = delete;
    QSequenceGrabber &operator=(const QSequenceGrabber &) = delete;

    // Called by the component's data procedure with each captured frame's data.
    virtual OSErr OnThisDataProc(SGChannel channel, Ptr data, long dataSize, long *offset, long channelRefCon,
                                 TimeValue time, short writeType);
    // Called by the settings dialog's filter procedure; false.
    virtual bool ModalDialogFilter(DialogRef dialog, const EventRecord *event, short *itemHit);

    // A new instance of the default Sequence Grabber ('barg'); null is reported.
    SeqGrabComponent OpenComponent();
    // Closes any open instance, opens a new one and initialises it. paramErr (reported)
    // when none opens; an SGInitialize error is reported and returned, and the instance is
    // kept.
    OSErr OpenInitialize();
    // Closes the instance when open (reporting an error); the component is null after.
    OSErr CloseIF();
    // Makes sDataProc, with this object as its refCon, the component's data procedure.
    OSErr SetThisDataProc();

    // The component's data procedure: refCon is the object (null is reported, paramErr).
    static OSErr sDataProc(SGChannel channel, Ptr data, long dataSize, long *offset, long channelRefCon,
                           TimeValue time, short writeType, SRefCon refCon);
    // The settings dialog's filter procedure: refCon is the object (null is reported,
    // false).
    static Boolean sModalDialogFilter(DialogRef dialog, const EventRecord *event, short *itemHit, SRefCon refCon);

    // The thin wrappers.
    OSErr Initialize();
    OSErr Stop();
    OSErr StartRecord();
    OSErr Idle();
    // Prepares for record, not for preview.
    OSErr Prepare();
    OSErr SetGWorld(CGrafPtr port, GDHandle device);
    OSErr SetDataRef(Handle dataRef, OSType dataRefType, long whereFlags);
    OSErr SetChannelBounds(SGChannel channel, const Rect &bounds);
    OSErr SetChannelUsage(SGChannel channel, long usage);
    OSErr DisposeChannel(SGChannel channel);
    OSErr GetChannelSampleDescription(SGChannel channel, Handle sampleDescription);
    // Disposes whatever the list held, fills it with the channel's device list and stores
    // this component in it, so that the list can dispose itself.
    OSErr GetChannelDeviceList(SGChannel channel, long selectionFlags, QSGDeviceList &list);
    OSErr GetChannelDeviceAndInputNames(SGChannel channel, Str255 deviceName, Str255 inputName, short *inputNumber);
    OSErr SetChannelDevice(SGChannel channel, StringPtr name);
    OSErr SetChannelDeviceInput(SGChannel channel, short input);
    OSErr ChannelChangedSource(SGChannel channel);
    OSErr BeginChannelSettingsChange(SGChannel channel);
    OSErr EndChannelSettingsChange(SGChannel channel);

    SeqGrabComponent mComponent;
};
