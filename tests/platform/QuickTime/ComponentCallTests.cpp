// Calls into registered components: the parameter-block layouts, the resources of a bundle,
// and the time bases that digitizers stamp frames with.
#include <QuickTime/ComponentRegistry.h>
#include <QuickTime/FixMath.h>
#include <QuickTime/TimeBases.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

long gArgs[9];
Handle gStorage;

ComponentResult Record3(Handle storage, long a, long b, long c) {
    gStorage = storage;
    gArgs[0] = a, gArgs[1] = b, gArgs[2] = c;
    return 7;
}

ComponentResult Record0(Handle storage) {
    gStorage = storage;
    return 8;
}

TEST(ComponentCalls, ParameterLayouts) {
    struct Case {
        const char *what;
        ProcInfoType layout;
        UInt8 paramCount;
        ComponentResult result;
        long expected[3];
    };
    const long pointer = 0x7fff12345678;
    const Case cases[] = {
        {"storage only", 0xF0, 0, 8, {}},
        {"short, pointer, long", 0x3EF0, 3, 7, {SInt16(0x2345), pointer, -5}},
        {"byte, pointer, long", 0x3DF0, 3, 7, {0xFF, pointer, -5}},
        {"too few in the block", 0x3EF0, 2, paramErr, {}},
        {"no layout", 0, 3, paramErr, {}},
        {"storage not a pointer", 0xB0, 3, paramErr, {}},
        {"a gap", 0x30F0, 3, paramErr, {}},
    };
    for (const Case &c : cases) {
        ComponentParameters params{};
        params.paramSize = UInt8(c.paramCount * sizeof(long));
        params.params[0] = 0x12345 | (c.layout == 0x3DF0 ? 0xFF : 0);
        params.params[1] = pointer;
        params.params[2] = -5;
        const ProcPtr routine = c.layout == 0xF0 ? reinterpret_cast<ProcPtr>(&Record0) : reinterpret_cast<ProcPtr>(&Record3);
        gStorage = nullptr;
        const Handle storage = reinterpret_cast<Handle>(&params);
        EXPECT_EQ(CallComponentFunctionWithStorageProcInfo(storage, &params, routine, c.layout), c.result) << c.what;
        if (c.result == 7) {
            EXPECT_EQ(gStorage, storage) << c.what;
            for (int i = 0; i < 3; ++i) EXPECT_EQ(gArgs[i], c.expected[i]) << c.what << " " << i;
        }
    }
    ComponentParameters lying{};
    lying.paramSize = 255;  // more than the block holds
    EXPECT_EQ(CallComponentFunctionWithStorageProcInfo(nullptr, &lying, reinterpret_cast<ProcPtr>(&Record3), 0xFF0),
              paramErr);
    EXPECT_EQ(CallComponentFunctionWithStorageProcInfo(nullptr, nullptr, reinterpret_cast<ProcPtr>(&Record3), 0xFF0),
              paramErr);
}

TEST(ComponentCalls, UnknownComponentsAndInstances) {
    int notOne = 0;
    auto fake = reinterpret_cast<ComponentInstance>(&notOne);
    ComponentParameters params{};
    EXPECT_EQ(CallComponent(fake, &params), badComponentInstance);
    EXPECT_EQ(CallComponent(nullptr, &params), badComponentInstance);
    EXPECT_EQ(ComponentFunctionImplemented(fake, 1), 0);
    SetComponentInstanceStorage(fake, nullptr);  // ignored
    EXPECT_EQ(GetComponentInstanceStorage(fake), nullptr);
    Str255 text{};
    EXPECT_EQ(GetComponentIndString(reinterpret_cast<Component>(fake), text, 200, 1), OSErr(badComponentInstance));
    ComponentInstance ci = reinterpret_cast<ComponentInstance>(1);
    EXPECT_EQ(OpenAComponent(reinterpret_cast<Component>(fake), &ci), OSErr(badComponentInstance));
    EXPECT_EQ(ci, nullptr);
    ComponentDescription nothing{MakeFourCharCode("none"), 0, 0, 0, 0};
    EXPECT_EQ(FindNextComponent(nullptr, &nothing), nullptr);
    EXPECT_EQ(FindNextComponent(reinterpret_cast<Component>(fake), nullptr), nullptr);
}

TEST(ComponentCalls, Resources) {
    const std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>";
    const std::string tail = "</dict></plist>";
    struct Case {
        const char *what;
        std::string body;
        bool ok;
    };
    const Case cases[] = {
        {"record and list",
         "<key>thng</key><dict><key>name</key><string>Cam</string><key>info</key><string>I</string></dict>"
         "<key>STR#</key><dict><key>200</key><array><string>One</string><string>Two</string></array>"
         "<key>-3</key><array/></dict>",
         true},
        {"nothing", "", true},
        {"record not a dictionary", "<key>thng</key><string>x</string>", false},
        {"list number not a number", "<key>STR#</key><dict><key>2x</key><array/></dict>", false},
        {"list number too big", "<key>STR#</key><dict><key>40000</key><array/></dict>", false},
        {"item not text", "<key>STR#</key><dict><key>1</key><array><integer>3</integer></array></dict>", false},
        {"name too long", "<key>thng</key><dict><key>name</key><string>" + std::string(256, 'n') + "</string></dict>",
         false},
    };
    for (const Case &c : cases) {
        const std::string data = head + c.body + tail;
        lumora::qt::ComponentResources resources;
        EXPECT_EQ(lumora::qt::ParseComponentResources(data.data(), data.size(), resources), c.ok) << c.what;
        if (c.ok && !c.body.empty()) {
            EXPECT_EQ(resources.name, "Cam");
            ASSERT_EQ(resources.stringLists.size(), 2u);
        }
    }
    lumora::qt::ComponentResources resources;
    EXPECT_FALSE(lumora::qt::ParseComponentResources("not a list", 10, resources));
}

TEST(TimeBases, RunAtTheirRate) {
    TimeBase clock = NewTimeBase();
    EXPECT_EQ(GetTimeBaseRate(clock), 0);
    EXPECT_EQ(GetTimeBaseTime(clock, 600, nullptr), 0);
    SetTimeBaseValue(clock, 1200, 600);  // 2 s
    TimeRecord record{};
    EXPECT_EQ(GetTimeBaseTime(clock, 1000, &record), 2000);
    EXPECT_EQ(record.scale, 1000);
    EXPECT_EQ(record.base, clock);
    SetTimeBaseRate(clock, fixed1);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const TimeValue running = GetTimeBaseTime(clock, 1000, nullptr);
    EXPECT_GE(running, 2030);
    SetTimeBaseRate(clock, 0);
    const TimeValue stopped = GetTimeBaseTime(clock, 1000, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(GetTimeBaseTime(clock, 1000, nullptr), stopped);
    EXPECT_EQ(GetTimeBaseTime(clock, 0, nullptr), 0);  // no scale
    EXPECT_EQ(GetTimeBaseTime(nullptr, 600, nullptr), 0);
    DisposeTimeBase(clock);
}

}  // namespace
