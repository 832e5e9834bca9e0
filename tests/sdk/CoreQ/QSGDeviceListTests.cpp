// Device lists built by hand: walking forwards and backwards across devices without inputs,
// from the ends and from the middle; finding inputs by name; damaged lists and iterators.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <CoreQ/QSGDeviceList.h>

#include "sdk/CoreQ/DeviceListTestSupport.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

using namespace device_list_test;
typedef QSGDeviceList::InputIterator InputIterator;

typedef std::pair<int, int> Position;

// Every (device, input) a walk visits, checking the names filled at each step.
std::vector<Position> Walk(const QSGDeviceList &list, bool forwards) {
    std::vector<Position> visited;
    InputIterator iterator;
    bool found = forwards ? list.GetFirstInput(iterator) : list.GetLastInput(iterator);
    while (found) {
        visited.emplace_back(iterator.device, iterator.input);
        EXPECT_EQ(NameOf(iterator.deviceName), DeviceName(iterator.device));
        EXPECT_EQ(NameOf(iterator.inputName), InputName(iterator.device, iterator.input));
        if (visited.size() > 100) break;
        found = forwards ? list.GetNextInput(iterator) : list.GetPrevInput(iterator);
    }
    return visited;
}

std::vector<Position> AllInputs(const std::vector<int> &inputCounts) {
    std::vector<Position> all;
    for (int d = 0; d < int(inputCounts.size()); ++d)
        for (int i = 0; i < inputCounts[d]; ++i) all.emplace_back(d, i);
    return all;
}

class QSGDeviceListTest : public corex_test::DebugLogFileTest {};

struct WalkCase {
    const char *name;
    std::vector<int> inputCounts;  // -1: a device without an input list
};

void PrintTo(const WalkCase &c, std::ostream *os) { *os << c.name; }

class QSGDeviceListWalkTest : public QSGDeviceListTest, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(QSGDeviceListWalkTest, VisitsEveryInputForwardsAndBackwardsSkippingDevicesWithoutInputs) {
    const WalkCase &c = GetParam();
    HandBuiltList built(c.inputCounts);
    const std::vector<Position> expected = AllInputs(c.inputCounts);

    EXPECT_EQ(Walk(built.list, true), expected);
    std::vector<Position> backwards = Walk(built.list, false);
    std::reverse(backwards.begin(), backwards.end());
    EXPECT_EQ(backwards, expected);
    // Running off either end is the normal end of a walk, not a failure (a list without
    // devices has no last device, which is reported).
    if (!c.inputCounts.empty()) {
        EXPECT_EQ(LogText(), "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, QSGDeviceListWalkTest,
    ::testing::Values(WalkCase{"OneDeviceOneInput", {1}},
                      WalkCase{"FirstAndLastWithoutInputs", {0, 3, -1, 1, 0}},
                      WalkCase{"LastDeviceHasTwoInputs", {1, 0, 2}},
                      WalkCase{"OnlyTheMiddleDeviceHasInputs", {-1, 0, 2, 0, -1}},
                      WalkCase{"NoDeviceHasInputs", {0, -1}},
                      WalkCase{"NoDevices", {}}),
    [](const ::testing::TestParamInfo<WalkCase> &info) { return std::string(info.param.name); });

TEST_F(QSGDeviceListTest, StepsFromTheMiddleAcrossDevicesWithoutInputs) {
    HandBuiltList built({2, 0, -1, 3, 0});
    InputIterator iterator;
    iterator.Clear();
    iterator.device = 0;
    iterator.input = 1;
    ASSERT_TRUE(built.list.GetNextInput(iterator));
    EXPECT_EQ(Position(iterator.device, iterator.input), Position(3, 0));
    EXPECT_EQ(NameOf(iterator.deviceName), "Device 3");
    EXPECT_EQ(NameOf(iterator.inputName), "Input 3.0");

    ASSERT_TRUE(built.list.GetPrevInput(iterator));
    EXPECT_EQ(Position(iterator.device, iterator.input), Position(0, 1));

    iterator.device = 3;
    iterator.input = 1;
    ASSERT_TRUE(built.list.GetNextInput(iterator));
    EXPECT_EQ(Position(iterator.device, iterator.input), Position(3, 2));
    ASSERT_TRUE(built.list.GetPrevInput(iterator));
    EXPECT_EQ(Position(iterator.device, iterator.input), Position(3, 1));
    EXPECT_EQ(LogText(), "");
}

TEST_F(QSGDeviceListTest, AFailedMoveAtEitherEndLeavesTheIteratorWhereItWas) {
    HandBuiltList built({0, 2, 0});
    InputIterator last;
    ASSERT_TRUE(built.list.GetLastInput(last));
    EXPECT_EQ(Position(last.device, last.input), Position(1, 1));
    InputIterator moved = last;
    EXPECT_FALSE(built.list.GetNextInput(moved));
    EXPECT_TRUE(moved.IsSame(last));

    InputIterator first;
    ASSERT_TRUE(built.list.GetFirstInput(first));
    EXPECT_EQ(Position(first.device, first.input), Position(1, 0));
    moved = first;
    EXPECT_FALSE(built.list.GetPrevInput(moved));
    EXPECT_TRUE(moved.IsSame(first));
}

TEST_F(QSGDeviceListTest, LastInputOfAListWithoutDevicesIsReported) {
    HandBuiltList built({});
    InputIterator iterator;
    EXPECT_FALSE(built.list.GetLastInput(iterator));
    EXPECT_NE(LogText().find(" code : iterator.device>0"), std::string::npos) << LogText();
    EXPECT_FALSE(built.list.GetFirstInput(iterator));
    const unsigned char name[] = "\x05Input";
    EXPECT_FALSE(built.list.FindInputNamed(name, iterator));
}

TEST_F(QSGDeviceListTest, FindsInputsByTheirExactNameNotByTheDeviceName) {
    // Two cameras whose input names repeat across devices, and a device whose name is
    // another device's input name.
    HandBuiltList built({1, 2, 1}, {"FaceCam", "Capture Card", "Composite"},
                        {{"Camera"}, {"Composite", "S-Video"}, {"Camera"}});
    InputIterator found;
    const unsigned char composite[] = "\x09" "Composite";
    ASSERT_TRUE(built.list.FindInputNamed(composite, found));
    EXPECT_EQ(Position(found.device, found.input), Position(1, 0));

    const unsigned char lower[] = "\x09" "composite";
    EXPECT_FALSE(built.list.FindInputNamed(lower, found));
    const unsigned char prefix[] = "\x05" "Compo";
    EXPECT_FALSE(built.list.FindInputNamed(prefix, found));
    const unsigned char faceCam[] = "\x07" "FaceCam";
    EXPECT_FALSE(built.list.FindInputNamed(faceCam, found));

    // The device by its name, the input by its name.
    const unsigned char camera[] = "\x06" "Camera";
    ASSERT_TRUE(built.list.FindDeviceInputNamed(composite, camera, found));
    EXPECT_EQ(Position(found.device, found.input), Position(2, 0));
    EXPECT_EQ(NameOf(found.deviceName), "Composite");
    const unsigned char sVideo[] = "\x07" "S-Video";
    const unsigned char captureCard[] = "\x0c" "Capture Card";
    ASSERT_TRUE(built.list.FindDeviceInputNamed(captureCard, sVideo, found));
    EXPECT_EQ(Position(found.device, found.input), Position(1, 1));
    EXPECT_FALSE(built.list.FindDeviceInputNamed(faceCam, sVideo, found));
    EXPECT_EQ(LogText(), "");
}

TEST_F(QSGDeviceListTest, CountsNamesAndValidity) {
    HandBuiltList built({-1, 0, 3});
    short count = -1;
    ASSERT_TRUE(built.list.GetDeviceNameCount(count));
    EXPECT_EQ(count, 3);
    ASSERT_TRUE(built.list.GetDeviceInputNameCount(0, count));
    EXPECT_EQ(count, 0);
    ASSERT_TRUE(built.list.GetDeviceInputNameCount(2, count));
    EXPECT_EQ(count, 3);

    Str63 name;
    ASSERT_TRUE(built.list.GetDeviceName(name, 2));
    EXPECT_EQ(NameOf(name), "Device 2");
    ASSERT_TRUE(built.list.GetDeviceInputName(2, name, 1));
    EXPECT_EQ(NameOf(name), "Input 2.1");
    EXPECT_EQ(LogText(), "");

    InputIterator iterator;
    iterator.Clear();
    iterator.device = 1;
    EXPECT_FALSE(built.list.IsValidDeviceInput(iterator));  // a device without inputs
    iterator.device = 2;
    iterator.input = 7;  // the input index is not examined
    EXPECT_TRUE(built.list.IsValidDeviceInput(iterator));
    EXPECT_FALSE(built.list.GetDeviceInputNames(iterator));  // but names need a real input
    EXPECT_EQ(iterator.deviceName[0], 0);

    // Out of range, either way.
    EXPECT_FALSE(built.list.IsValidDevice(3));
    EXPECT_FALSE(built.list.IsValidDevice(-1));
    EXPECT_FALSE(built.list.GetDeviceName(name, -1));
    EXPECT_FALSE(built.list.GetDeviceInputName(2, name, 3));
    EXPECT_FALSE(built.list.GetDeviceInputName(2, name, -1));
    iterator.device = -1;
    iterator.input = 0;
    EXPECT_FALSE(built.list.IsValidDeviceInput(iterator));
    EXPECT_FALSE(built.list.GetNextInput(iterator));
    EXPECT_FALSE(built.list.GetPrevInput(iterator));
    EXPECT_NE(LogText().find("VERIFY FAILED"), std::string::npos);
}

TEST_F(QSGDeviceListTest, DamagedListsAreRefused) {
    QSGDeviceList empty;
    short count = -1;
    InputIterator iterator;
    EXPECT_FALSE(empty.IsValid());
    EXPECT_FALSE(empty.GetDeviceNameCount(count));
    EXPECT_FALSE(empty.GetFirstInput(iterator));
    EXPECT_FALSE(empty.GetLastInput(iterator));

    // Counts larger than the handles that hold them.
    HandBuiltList devices({1, 1});
    (**devices.handle()).count = 40;
    EXPECT_FALSE(devices.list.IsValid());
    EXPECT_FALSE(devices.list.GetFirstInput(iterator));
    (**devices.handle()).count = -2;
    EXPECT_FALSE(devices.list.IsValid());
    (**devices.handle()).count = 2;

    HandBuiltList inputs({1, 2});
    (**(**inputs.handle()).entry[1].inputs).count = 30;
    ASSERT_TRUE(inputs.list.GetFirstInput(iterator));
    EXPECT_FALSE(inputs.list.GetNextInput(iterator));  // device 1's input list is damaged
    EXPECT_FALSE(inputs.list.GetDeviceInputNameCount(1, count));

    // A length byte past 63 is read as 63.
    HandBuiltList names({1});
    (**names.handle()).entry[0].name[0] = 200;
    ASSERT_TRUE(names.list.GetFirstInput(iterator));
    EXPECT_EQ(iterator.deviceName[0], 63);
}

TEST_F(QSGDeviceListTest, IteratorRecords) {
    InputIterator a;
    a.Clear();
    EXPECT_TRUE(a.IsDeviceEmpty());
    a.device = 2;
    SetName(a.deviceName, "Cam");
    a.input = 1;
    SetName(a.inputName, "In");
    EXPECT_FALSE(a.IsDeviceEmpty());
    EXPECT_STREQ(a.LogText(), "Camera Device[2]:'Cam' Input[1]:'In' \n");

    InputIterator b = a;
    EXPECT_TRUE(a.IsSame(b));
    SetName(b.inputName, "Im");
    EXPECT_FALSE(a.IsSame(b));  // only a name differs
    b = a;
    SetName(b.deviceName, "Cams");
    EXPECT_FALSE(a.IsSame(b));
    b = a;
    b.input = 0;
    EXPECT_FALSE(a.IsSame(b));

    a.Log("Label");
    EXPECT_NE(LogText().find("QSGDeviceList::InputIterator Label:Camera Device[2]:'Cam' Input[1]:'In' \n"), std::string::npos)
        << LogText();
}

}  // namespace
