#include <CoreQ/QSequenceGrabber.h>

#include <CoreQ/QSGDeviceList.h>
#include <CoreX/CoreMachDebugLog.h>

QSequenceGrabber::~QSequenceGrabber() { CloseIF(); }

OSErr QSequenceGrabber::OnThisDataProc(SGChannel, Ptr, long, long *, long, TimeValue, short) { return noErr; }

SeqGrabComponent QSequenceGrabber::OpenComponent() {
    SeqGrabComponent component = OpenDefaultComponent(SeqGrabComponentType, 0);
    VERIFY(component != nullptr);
    return component;
}

OSErr QSequenceGrabber::OpenInitialize() {
    CloseIF();
    mComponent = OpenComponent();
    if (!VERIFY(mComponent != nullptr)) return paramErr;
    return Initialize();
}

OSErr QSequenceGrabber::CloseIF() {
    OSErr err = noErr;
    if (mComponent != nullptr) err = VERIFY_OSERR(CloseComponent(mComponent));
    mComponent = nullptr;
    return err;
}

OSErr QSequenceGrabber::SetThisDataProc() {
    if (!VERIFY(mComponent != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGSetDataProc(mComponent, sDataProc, static_cast<SRefCon>(this))));
}

OSErr QSequenceGrabber::sDataProc(SGChannel channel, Ptr data, long dataSize, long *offset, long channelRefCon,
                                  TimeValue time, short writeType, SRefCon refCon) {
    QSequenceGrabber *grabber = static_cast<QSequenceGrabber *>(refCon);
    if (!VERIFY(grabber != nullptr)) return paramErr;
    return grabber->OnThisDataProc(channel, data, dataSize, offset, channelRefCon, time, writeType);
}

bool QSequenceGrabber::ModalDialogFilter(DialogRef, const EventRecord *, short *) { return false; }

Boolean QSequenceGrabber::sModalDialogFilter(DialogRef dialog, const EventRecord *event, short *itemHit,
                                             SRefCon refCon) {
    QSequenceGrabber *grabber = static_cast<QSequenceGrabber *>(refCon);
    if (!VERIFY(grabber != nullptr)) return false;
    return grabber->ModalDialogFilter(dialog, event, itemHit);
}

OSErr QSequenceGrabber::Initialize() {
    if (!VERIFY(mComponent != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGInitialize(mComponent)));
}

OSErr QSequenceGrabber::Stop() {
    if (!VERIFY(mComponent != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGStop(mComponent)));
}

OSErr QSequenceGrabber::StartRecord() {
    if (!VERIFY(mComponent != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGStartRecord(mComponent)));
}

OSErr QSequenceGrabber::Idle() {
    if (!VERIFY(mComponent != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGIdle(mComponent)));
}

OSErr QSequenceGrabber::Prepare() {
    if (!VERIFY(mComponent != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGPrepare(mComponent, false, true)));
}

OSErr QSequenceGrabber::SetGWorld(CGrafPtr port, GDHandle device) {
    if (!VERIFY(mComponent != nullptr) || !VERIFY(port != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGSetGWorld(mComponent, port, device)));
}

OSErr QSequenceGrabber::SetDataRef(Handle dataRef, OSType dataRefType, long whereFlags) {
    if (!VERIFY(mComponent != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGSetDataRef(mComponent, dataRef, dataRefType, whereFlags)));
}

OSErr QSequenceGrabber::SetChannelBounds(SGChannel channel, const Rect &bounds) {
    if (!VERIFY(channel != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGSetChannelBounds(channel, &bounds)));
}

OSErr QSequenceGrabber::SetChannelUsage(SGChannel channel, long usage) {
    if (!VERIFY(channel != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGSetChannelUsage(channel, usage)));
}

OSErr QSequenceGrabber::DisposeChannel(SGChannel channel) {
    if (!VERIFY(mComponent != nullptr) || !VERIFY(channel != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGDisposeChannel(mComponent, channel)));
}

OSErr QSequenceGrabber::GetChannelSampleDescription(SGChannel channel, Handle sampleDescription) {
    if (!VERIFY(channel != nullptr) || !VERIFY(sampleDescription != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGGetChannelSampleDescription(channel, sampleDescription)));
}

OSErr QSequenceGrabber::GetChannelDeviceList(SGChannel channel, long selectionFlags, QSGDeviceList &list) {
    list.Dispose();
    if (!VERIFY(mComponent != nullptr) || !VERIFY(channel != nullptr)) return paramErr;
    SGDeviceList deviceList = nullptr;
    const OSErr err = OSErr(VERIFY_OSERR(SGGetChannelDeviceList(channel, selectionFlags, &deviceList)));
    if (err != noErr) return err;
    list.mDeviceList = deviceList;
    list.mComponent = mComponent;
    return noErr;
}

OSErr QSequenceGrabber::GetChannelDeviceAndInputNames(SGChannel channel, Str255 deviceName, Str255 inputName,
                                                      short *inputNumber) {
    if (!VERIFY(channel != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGGetChannelDeviceAndInputNames(channel, deviceName, inputName, inputNumber)));
}

OSErr QSequenceGrabber::SetChannelDevice(SGChannel channel, StringPtr name) {
    if (!VERIFY(channel != nullptr) || !VERIFY(name != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGSetChannelDevice(channel, name)));
}

OSErr QSequenceGrabber::SetChannelDeviceInput(SGChannel channel, short input) {
    if (!VERIFY(channel != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGSetChannelDeviceInput(channel, input)));
}

OSErr QSequenceGrabber::ChannelChangedSource(SGChannel channel) {
    if (!VERIFY(mComponent != nullptr) || !VERIFY(channel != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGChangedSource(mComponent, channel)));
}

OSErr QSequenceGrabber::BeginChannelSettingsChange(SGChannel channel) {
    if (!VERIFY(channel != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGSetChannelSettingsStateChanging(channel, sgSetSettingsBegin)));
}

OSErr QSequenceGrabber::EndChannelSettingsChange(SGChannel channel) {
    if (!VERIFY(channel != nullptr)) return paramErr;
    return OSErr(VERIFY_OSERR(SGSetChannelSettingsStateChanging(channel, sgSetSettingsEnd)));
}
