// QSGDeviceList: the cameras a Sequence Grabber channel can use, as its device list
// (devices, each with its inputs), and the input iterator that names one (device, input)
// pair.
//
// The order of enumeration is device by device in list order and, within a device, input
// by input; devices without inputs are skipped in both directions. A move that fails
// leaves the iterator as it was (callers start a new walk with GetFirstInput, GetLastInput
// or a Find). Every failed precondition (an invalid list, an index out of range) is
// reported to the debug log and answered with false; running off either end of the list
// is the normal end of a walk and is not reported.
//
// The list is filled by QSequenceGrabber::GetChannelDeviceList, which also stores the
// component that made it; the list disposes itself through that component
// (SGDisposeDeviceList) when both are present. A list made by hand (mComponent null) is
// the maker's to free.
#pragma once

#include <QuickTime/SequenceGrabber.h>

class QSGDeviceList {
public:
    // One camera input: the device's index and name, the input's index and name.
    // Names are Mac OS Roman Pascal strings.
    struct InputIterator {
        short device;
        Str63 deviceName;
        short input;
        Str63 inputName;

        // Both indices 0, both names empty.
        void Clear();
        // device is 0 and deviceName is empty.
        bool IsDeviceEmpty() const;
        // Indices and names (length byte and bytes) all equal.
        bool IsSame(const InputIterator &other) const;

        // "Camera Device[%d]:'%s' Input[%d]:'%s' \n": a text buffer of the calling thread,
        // reused by its next call.
        const char *LogText() const;
        // Writes "QSGDeviceList::InputIterator %s:%s\n" (label, LogText) to the debug log.
        void Log(const char *label) const;
    };

    QSGDeviceList() : mDeviceList(nullptr), mComponent(nullptr) {}
    ~QSGDeviceList() { Dispose(); }
    QSGDeviceList(const QSGDeviceList &) = delete;
    QSGDeviceList &operator=(const QSGDeviceList &) = delete;

    // Disposes the list through its component when both are present, then empties the
    // object. A list without a component is only forgotten.
    void Dispose();

    // Both the list and its component are present.
    bool IsValid() const;

    // The number of devices.
    bool GetDeviceNameCount(short &count) const;
    // 0 <= index < device count.
    bool IsValidDevice(short index) const;
    bool IsValidDeviceIndex(short index) const;
    // The device's entry, or only its name.
    bool GetDeviceName(SGDeviceName &entry, short index) const;
    bool GetDeviceName(Str63 name, short index) const;
    // The number of inputs of the device (0 when it has no input list).
    bool GetDeviceInputNameCount(short device, short &count) const;
    // The input's entry, or only its name.
    bool GetDeviceInputName(short device, SGDeviceInputName &entry, short input) const;
    bool GetDeviceInputName(short device, Str63 name, short input) const;
    // The iterator's device is valid and has at least one input (its input index is not
    // examined).
    bool IsValidDeviceInput(const InputIterator &iterator) const;

    // Clears both names, then copies the names of the iterator's device and input into it.
    bool GetDeviceInputNames(InputIterator &iterator) const;
    // The first input of the first device that has one.
    bool GetFirstInput(InputIterator &iterator) const;
    // The next input of the device, else input 0 of the next device that has inputs.
    bool GetNextInput(InputIterator &iterator) const;
    // The previous input of the device, else the last input of the previous device that
    // has inputs.
    bool GetPrevInput(InputIterator &iterator) const;
    // The last input of the last device that has one.
    bool GetLastInput(InputIterator &iterator) const;
    // The first input, in enumeration order, whose name equals `name` exactly.
    bool FindInputNamed(ConstStr255Param name, InputIterator &iterator) const;
    // The first input whose device name equals `deviceName` and whose input name equals
    // `inputName` exactly.
    bool FindDeviceInputNamed(ConstStr255Param deviceName, ConstStr255Param inputName, InputIterator &iterator) const;

    SGDeviceList mDeviceList;
    SeqGrabComponent mComponent;

private:
    // The device count, or -1 for an invalid list (not reported).
    short DeviceCount() const;
    // The device's input count; -1 for an invalid list or device (not reported).
    short InputCount(short device) const;
    // Fills the names of a position known to exist.
    void FillNames(InputIterator &iterator) const;
};
