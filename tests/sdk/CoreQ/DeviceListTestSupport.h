// Device lists made by hand for the tests, laid out as the Sequence Grabber makes them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include <CoreQ/QSGDeviceList.h>

namespace device_list_test {

inline void SetName(Str63 name, const std::string &text) {
    name[0] = static_cast<unsigned char>(text.size());
    std::memcpy(name + 1, text.data(), text.size());
}

inline std::string NameOf(const unsigned char *name) { return std::string(reinterpret_cast<const char *>(name + 1), name[0]); }

inline std::string DeviceName(int device) { return "Device " + std::to_string(device); }
inline std::string InputName(int device, int input) { return "Input " + std::to_string(device) + "." + std::to_string(input); }

// A list as the Sequence Grabber makes one: a handle to the record, each device's inputs in
// a handle of their own (none for a device whose input count is -1). The list is freed here:
// the QSGDeviceList only borrows it, with a stand-in component it never calls.
class HandBuiltList {
public:
    explicit HandBuiltList(const std::vector<int> &inputCounts,
                           const std::vector<std::string> &deviceNames = {},
                           const std::vector<std::vector<std::string>> &inputNames = {}) {
        const short count = short(inputCounts.size());
        mList = reinterpret_cast<SGDeviceList>(
            NewHandleClear(Size(offsetof(SGDeviceListRecord, entry) + std::max<short>(count, 1) * sizeof(SGDeviceName))));
        (**mList).count = count;
        for (short d = 0; d < count; ++d) {
            SGDeviceName &entry = (**mList).entry[d];
            SetName(entry.name, d < short(deviceNames.size()) ? deviceNames[d] : DeviceName(d));
            if (inputCounts[d] < 0) continue;
            const short inputs = short(inputCounts[d]);
            entry.inputs = reinterpret_cast<SGDeviceInputList>(NewHandleClear(
                Size(offsetof(SGDeviceInputListRecord, entry) + std::max<short>(inputs, 1) * sizeof(SGDeviceInputName))));
            (**entry.inputs).count = inputs;
            for (short i = 0; i < inputs; ++i) {
                const bool given = d < short(inputNames.size()) && i < short(inputNames[d].size());
                SetName((**entry.inputs).entry[i].name, given ? inputNames[d][i] : InputName(d, i));
            }
        }
        list.mDeviceList = mList;
        list.mComponent = reinterpret_cast<SeqGrabComponent>(this);
    }
    ~HandBuiltList() {
        list.mDeviceList = nullptr;
        list.mComponent = nullptr;
        for (short d = 0; d < (**mList).count; ++d)
            DisposeHandle(reinterpret_cast<Handle>((**mList).entry[d].inputs));
        DisposeHandle(reinterpret_cast<Handle>(mList));
    }
    HandBuiltList(const HandBuiltList &) = delete;
    HandBuiltList &operator=(const HandBuiltList &) = delete;

    SGDeviceList handle() const { return mList; }

    QSGDeviceList list;

private:
    SGDeviceList mList = nullptr;
};

}  // namespace device_list_test
