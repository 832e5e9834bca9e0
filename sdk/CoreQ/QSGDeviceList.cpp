#include <CoreQ/QSGDeviceList.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

#include <CoreX/CoreMachDebugLog.h>

namespace {

constexpr unsigned char kMaxStr63Length = 63;

// The characters of a Str63 field: a length byte above 63 (a damaged record) counts as 63.
unsigned char Str63Length(const unsigned char *name) {
    return name[0] > kMaxStr63Length ? kMaxStr63Length : name[0];
}

void CopyStr63(unsigned char *destination, const unsigned char *source) {
    const unsigned char length = Str63Length(source);
    destination[0] = length;
    std::memcpy(destination + 1, source + 1, length);
}

// A Str63 field against any Pascal string: the same length byte and the same bytes.
bool SamePString(const unsigned char *field, ConstStr255Param name) {
    if (name == nullptr || field[0] != name[0] || field[0] > kMaxStr63Length) return false;
    return std::memcmp(field + 1, name + 1, field[0]) == 0;
}

// The records of the two handles hold `count` entries within the handle's bytes.
template <typename Record, typename Entry>
bool HoldsEntries(Record **handle, short count) {
    if (handle == nullptr || *handle == nullptr || count < 0) return false;
    const Size needed = Size(offsetof(Record, entry)) + Size(count) * Size(sizeof(Entry));
    return GetHandleSize(reinterpret_cast<Handle>(handle)) >= needed;
}

}  // namespace

// The iterator ------------------------------------------------------------------------------

void QSGDeviceList::InputIterator::Clear() {
    device = 0;
    input = 0;
    std::memset(deviceName, 0, sizeof(deviceName));
    std::memset(inputName, 0, sizeof(inputName));
}

bool QSGDeviceList::InputIterator::IsDeviceEmpty() const { return device == 0 && deviceName[0] == 0; }

bool QSGDeviceList::InputIterator::IsSame(const InputIterator &other) const {
    return device == other.device && input == other.input && SamePString(deviceName, other.deviceName) &&
           SamePString(inputName, other.inputName);
}

const char *QSGDeviceList::InputIterator::LogText() const {
    thread_local char sText[256];
    std::snprintf(sText, sizeof(sText), "Camera Device[%d]:'%.*s' Input[%d]:'%.*s' \n", device,
                  int(Str63Length(deviceName)), reinterpret_cast<const char *>(deviceName + 1), input,
                  int(Str63Length(inputName)), reinterpret_cast<const char *>(inputName + 1));
    return sText;
}

void QSGDeviceList::InputIterator::Log(const char *label) const {
    CoreMachDebugLog("QSGDeviceList::InputIterator %s:%s\n", label != nullptr ? label : "", LogText());
}

// The list ----------------------------------------------------------------------------------

void QSGDeviceList::Dispose() {
    if (mDeviceList != nullptr && mComponent != nullptr) VERIFY_OSERR(SGDisposeDeviceList(mComponent, mDeviceList));
    mDeviceList = nullptr;
    mComponent = nullptr;
}

short QSGDeviceList::DeviceCount() const {
    if (mDeviceList == nullptr || mComponent == nullptr || *mDeviceList == nullptr) return -1;
    const short count = (**mDeviceList).count;
    if (!HoldsEntries<SGDeviceListRecord, SGDeviceName>(mDeviceList, count)) return -1;
    return count;
}

short QSGDeviceList::InputCount(short device) const {
    const short devices = DeviceCount();
    if (devices < 0 || device < 0 || device >= devices) return -1;
    const SGDeviceInputList inputs = (**mDeviceList).entry[device].inputs;
    if (inputs == nullptr) return 0;
    if (*inputs == nullptr) return -1;
    const short count = (**inputs).count;
    if (!HoldsEntries<SGDeviceInputListRecord, SGDeviceInputName>(inputs, count)) return -1;
    return count;
}

bool QSGDeviceList::IsValid() const {
    // Present, and a record whose counts fit the handles that hold them.
    return VERIFY(mDeviceList != nullptr && mComponent != nullptr) && VERIFY(DeviceCount() >= 0);
}

bool QSGDeviceList::GetDeviceNameCount(short &count) const {
    count = 0;
    if (!IsValid()) return false;
    count = DeviceCount();
    return true;
}

bool QSGDeviceList::IsValidDevice(short index) const {
    if (!IsValid()) return false;
    return VERIFY(index >= 0 && index < DeviceCount());
}

bool QSGDeviceList::IsValidDeviceIndex(short index) const {
    if (!IsValid()) return false;
    const short count = DeviceCount();
    return VERIFY(count > 0 && index >= 0 && index < count);
}

bool QSGDeviceList::GetDeviceName(SGDeviceName &entry, short index) const {
    std::memset(&entry, 0, sizeof(entry));
    if (!IsValidDevice(index)) return false;
    entry = (**mDeviceList).entry[index];
    entry.name[0] = Str63Length(entry.name);
    return true;
}

bool QSGDeviceList::GetDeviceName(Str63 name, short index) const {
    if (!VERIFY(name != nullptr)) return false;
    name[0] = 0;
    if (!IsValidDevice(index)) return false;
    CopyStr63(name, (**mDeviceList).entry[index].name);
    return true;
}

bool QSGDeviceList::GetDeviceInputNameCount(short device, short &count) const {
    count = 0;
    if (!IsValidDevice(device)) return false;
    const short inputs = InputCount(device);
    // A device whose input list is damaged counts as a device without inputs.
    if (!VERIFY(inputs >= 0)) return false;
    count = inputs;
    return true;
}

bool QSGDeviceList::GetDeviceInputName(short device, SGDeviceInputName &entry, short input) const {
    std::memset(&entry, 0, sizeof(entry));
    short count = 0;
    if (!GetDeviceInputNameCount(device, count)) return false;
    if (!VERIFY(input >= 0 && input < count)) return false;
    entry = (**(**mDeviceList).entry[device].inputs).entry[input];
    entry.name[0] = Str63Length(entry.name);
    return true;
}

bool QSGDeviceList::GetDeviceInputName(short device, Str63 name, short input) const {
    if (!VERIFY(name != nullptr)) return false;
    name[0] = 0;
    SGDeviceInputName entry;
    if (!GetDeviceInputName(device, entry, input)) return false;
    CopyStr63(name, entry.name);
    return true;
}

bool QSGDeviceList::IsValidDeviceInput(const InputIterator &iterator) const {
    if (!IsValidDeviceIndex(iterator.device)) return false;
    return VERIFY(InputCount(iterator.device) > 0);
}

void QSGDeviceList::FillNames(InputIterator &iterator) const {
    const SGDeviceName &device = (**mDeviceList).entry[iterator.device];
    CopyStr63(iterator.deviceName, device.name);
    CopyStr63(iterator.inputName, (**device.inputs).entry[iterator.input].name);
}

bool QSGDeviceList::GetDeviceInputNames(InputIterator &iterator) const {
    std::memset(iterator.deviceName, 0, sizeof(iterator.deviceName));
    std::memset(iterator.inputName, 0, sizeof(iterator.inputName));
    if (!IsValid()) return false;
    if (!VERIFY(iterator.device >= 0 && iterator.device < DeviceCount())) return false;
    if (!VERIFY(iterator.input >= 0 && iterator.input < InputCount(iterator.device))) return false;
    FillNames(iterator);
    return true;
}

bool QSGDeviceList::GetFirstInput(InputIterator &iterator) const {
    iterator.Clear();
    if (!IsValid()) return false;
    if (InputCount(0) > 0) {
        FillNames(iterator);
        return true;
    }
    return GetNextInput(iterator);
}

bool QSGDeviceList::GetNextInput(InputIterator &iterator) const {
    if (!IsValid()) return false;
    const short devices = DeviceCount();
    if (devices == 0) return false;
    short device = iterator.device;
    short input = iterator.input;
    // A walk starts on an input of a device, or on input 0 of a device without inputs.
    const short inputs = InputCount(device);
    if (!VERIFY(inputs >= 0 && input >= 0 && (input < inputs || input == 0))) return false;
    if (input + 1 < inputs) {
        ++input;
    } else {
        input = 0;
        do {
            ++device;
        } while (device < devices && InputCount(device) <= 0);
        if (device >= devices) return false;
    }
    iterator.device = device;
    iterator.input = input;
    FillNames(iterator);
    return true;
}

bool QSGDeviceList::GetPrevInput(InputIterator &iterator) const {
    if (!IsValid()) return false;
    if (DeviceCount() == 0) return false;
    short device = iterator.device;
    short input = iterator.input;
    const short inputs = InputCount(device);
    if (!VERIFY(inputs >= 0 && input >= 0 && (input < inputs || input == 0))) return false;
    if (input >= 1) {
        --input;
    } else {
        do {
            --device;
        } while (device >= 0 && InputCount(device) <= 0);
        if (device < 0) return false;
        input = short(InputCount(device) - 1);
    }
    iterator.device = device;
    iterator.input = input;
    FillNames(iterator);
    return true;
}

bool QSGDeviceList::GetLastInput(InputIterator &iterator) const {
    iterator.Clear();
    if (!IsValid()) return false;
    iterator.device = DeviceCount();
    if (!VERIFY(iterator.device>0)) {
        iterator.device = 0;
        return false;
    }
    --iterator.device;
    const short inputs = InputCount(iterator.device);
    if (inputs > 0) {
        // The last input of the device, so that a walk backwards from here visits them all.
        iterator.input = short(inputs - 1);
        FillNames(iterator);
        return true;
    }
    if (GetPrevInput(iterator)) return true;
    iterator.Clear();
    return false;
}

bool QSGDeviceList::FindInputNamed(ConstStr255Param name, InputIterator &iterator) const {
    if (!VERIFY(name != nullptr)) return false;
    InputIterator position;
    for (bool found = GetFirstInput(position); found; found = GetNextInput(position)) {
        if (SamePString(position.inputName, name)) {
            iterator = position;
            return true;
        }
    }
    return false;
}

bool QSGDeviceList::FindDeviceInputNamed(ConstStr255Param deviceName, ConstStr255Param inputName,
                                         InputIterator &iterator) const {
    if (!VERIFY(deviceName != nullptr && inputName != nullptr)) return false;
    InputIterator position;
    for (bool found = GetFirstInput(position); found; found = GetNextInput(position)) {
        if (SamePString(position.deviceName, deviceName) && SamePString(position.inputName, inputName)) {
            iterator = position;
            return true;
        }
    }
    return false;
}
