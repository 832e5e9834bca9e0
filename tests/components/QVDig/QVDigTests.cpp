// The digitizer framework with a device of the test's own: the selector dispatch, the class
// factory's gate and re-entrancy guard, and the base digitizer's state machine.
#include <QVDig/QVDigComponent.h>
#include <QVDig/T_VideoDigitizer.h>

#include <QuickTime/FixMath.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

class FakeDevice : public T_config_VDIG_device {
public:
    static constexpr QVDigConfiguration kConfiguration = {"Fake", MakeFourCharCode("2vuy"), 2, 960, 720,
                                                          1920, 1382400, 4};
    FakeDevice() : T_config_VDIG_device(kConfiguration), mPixels(kConfiguration.kFrameSizeBytes, 7) {}
    bool Connect() { return T_config_VDIG_device::Connect(); }
    void Disconnect() { T_config_VDIG_device::Disconnect(); }
    ComponentResult GetFrame(UInt8 *count, Ptr *data, long *size) {
        *count = 1;
        *data = reinterpret_cast<Ptr>(mPixels.data());
        *size = long(mPixels.size());
        ++frames;
        return noErr;
    }
    ComponentResult ReleaseCompressBuffer(Ptr) { return noErr; }
    ComponentResult GetDeviceName(StringPtr name, long input) {
        return T_config_VDIG_device::GetDeviceName(name, input);
    }
    long GetNumberOfInputs() { return 3; }
    long GetCurrentInputNumber() const { return mInput; }
    void SetCurrentInputNumber(long n) { mInput = n; }
    int frames = 0;

private:
    std::vector<UInt8> mPixels;
    long mInput = 0;
};

using FakeDigitizer = T_VideoDigitizerWithMultipleDeviceInputs<FakeDevice>;

bool gAllow = true;
bool gNested = false;
QVDigStorage *gNestedResult = reinterpret_cast<QVDigStorage *>(1);

}  // namespace

namespace QVDigComponent {
QVDigDeviceBase *NewDigitizer() {
    if (gNested) gNestedResult = QVDigBaseClass::ClassFactory(nullptr);
    return new FakeDigitizer;
}
bool HostMayLoad() { return gAllow; }
}  // namespace QVDigComponent

namespace {

constexpr ComponentResult kBadSelector = badComponentSelector;

struct Opened {
    Opened() {
        storage = QVDigBaseClass::ClassFactory(nullptr);
        if (storage != nullptr) initialized = QVDIG_DATA_OpenInitialize(reinterpret_cast<Handle>(storage));
    }
    ~Opened() {
        if (storage != nullptr) QVDIG_DATA_Close(handle(), nullptr);
    }
    Handle handle() const { return reinterpret_cast<Handle>(storage); }
    FakeDigitizer &digitizer() const { return *static_cast<FakeDigitizer *>(storage->object); }
    ComponentResult call(SInt16 what, std::vector<long> args, int paramCount = -1) const {
        ComponentParameters params{};
        params.what = what;
        for (size_t i = 0; i < args.size(); ++i) params.params[i] = args[i];
        params.paramSize = UInt8((paramCount < 0 ? args.size() : size_t(paramCount)) * sizeof(long));
        return QVDIG_DATA_ComponentDispatch(&params, handle());
    }
    QVDigStorage *storage = nullptr;
    ComponentResult initialized = -1;
};

long W(const void *p) { return long(reinterpret_cast<intptr_t>(p)); }

TEST(QVDigDispatch, SelectorTable) {
    struct Case {
        long selector;
        bool entry;        // the table has an entry
        bool implemented;  // can-do answers 1
        ProcInfoType layout;
    };
    const Case cases[] = {
        {-4, true, true, 0xF0},        {-3, true, true, 0x2F0},       {-2, true, true, 0x3F0},
        {-1, true, true, 0x3F0},       {-5, false, false, 0},         {-6, false, false, 0},
        {-7, false, false, 0},         {-0x8000, false, false, 0},    {0x00, true, false, 0},
        {0x01, true, true, 0xEF0},     {0x16, true, false, 0},        {0x3B, true, true, 0x3FFFF0},
        {0x44, true, true, 0xFFBF0},   {0x46, true, true, 0x3FFF0},   {0x4A, true, true, 0x1F0},
        {0x5D, true, false, 0},        {0x61, true, true, 0xFF0},     {0x62, false, false, 0},
        {0xFF, false, false, 0},       {0x101, false, false, 0},      {0x7FFF, false, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.selector);
        ProcInfoType layout = 0xDEAD;
        const intptr_t routine = QVDIG_DATA_FindRoutineUPP(c.selector, &layout);
        EXPECT_EQ(routine != 0, c.entry);
        if (c.entry && c.implemented) {
            EXPECT_EQ(layout, c.layout);
        }
        if (c.selector >= -0x8000 && c.selector <= 0x7FFF) {
            EXPECT_EQ(QVDIG_DATA_CanDo(nullptr, short(c.selector)), c.implemented ? 1 : 0);
        }
    }
    // Every implemented selector of range 0 is one of the fifty operations.
    int implemented = 0;
    for (long selector = 0; selector <= 0x61; ++selector) implemented += QVDIG_DATA_CanDo(nullptr, short(selector));
    EXPECT_EQ(implemented, 50);
}

TEST(QVDigDispatch, HostileCallsAnswerErrors) {
    Opened open;
    ASSERT_NE(open.storage, nullptr);
    ASSERT_EQ(open.initialized, noErr);
    Rect rect{};
    struct Case {
        const char *what;
        std::function<ComponentResult()> call;
        ComponentResult expected;
    };
    const Case cases[] = {
        {"no entry", [&] { return open.call(0x62, {}); }, kBadSelector},
        {"register", [&] { return open.call(kComponentRegisterSelect, {}); }, kBadSelector},
        {"grab one frame", [&] { return open.call(kVDGrabOneFrameSelect, {}); }, kBadSelector},
        {"other range", [&] { return open.call(0x0101, {}); }, kBadSelector},
        {"too few parameters", [&] { return open.call(kVDGetMaxSrcRectSelect, {0, W(&rect)}, 1); }, paramErr},
        {"null block", [&] { return QVDIG_DATA_ComponentDispatch(nullptr, open.handle()); }, paramErr},
        {"null storage", [&] {
             ComponentParameters params{};
             params.what = kVDGetMaxSrcRectSelect;
             params.paramSize = 2 * sizeof(long);
             params.params[1] = W(&rect);
             return QVDIG_DATA_ComponentDispatch(&params, nullptr);
         }, paramErr},
        {"null close", [&] { return QVDIG_DATA_Close(nullptr, nullptr); }, paramErr},
        {"null version", [&] { return QVDIG_DATA_Version(nullptr); }, paramErr},
        {"null rect", [&] { return open.call(kVDGetMaxSrcRectSelect, {0, 0}); }, paramErr},
        {"null digitizer rect", [&] { return open.call(kVDSetDigitizerRectSelect, {0}); }, qtParamErr},
        {"null info", [&] { return open.call(kVDGetDigitizerInfoSelect, {0}); }, paramErr},
        {"null defaults", [&] { return open.call(kVDGetVideoDefaultsSelect, {0, 0, 0, 0, 0, 0, 0}); }, paramErr},
        {"null frame outputs", [&] { return open.call(kVDCompressDoneSelect, {0, 0, 0, 0, 0}); }, paramErr},
        {"null data rate", [&] { return open.call(kVDGetDataRateSelect, {0, 0, 0}); }, paramErr},
        {"null name", [&] { return open.call(kVDGetInputNameSelect, {0, 0}); }, paramErr},
        {"null description", [&] { return open.call(kVDGetImageDescriptionSelect, {0}); }, paramErr},
        {"null compression list", [&] { return open.call(kVDGetCompressionTypesSelect, {0}); }, paramErr},
        {"null time base", [&] { return open.call(kVDSetTimeBaseSelect, {0}); }, qtParamErr},
        {"negative input", [&] { return open.call(kVDSetInputSelect, {-3}); }, qtParamErr},
        {"input of max rect", [&] { return open.call(kVDGetMaxSrcRectSelect, {1, W(&rect)}); }, qtParamErr},
        {"time code without compression", [&] { return open.call(kVDGetTimeCodeSelect, {0, 0, 0}); }, badCallOrderErr},
        {"version", [&] { return open.call(kComponentVersionSelect, {}); }, 0x20001},
        {"can do", [&] { return open.call(kComponentCanDoSelect, {kVDCompressDoneSelect}); }, 1},
        {"can't do", [&] { return open.call(kComponentCanDoSelect, {kVDGrabOneFrameSelect}); }, 0},
    };
    for (const Case &c : cases) EXPECT_EQ(c.call(), c.expected) << c.what;
}

TEST(QVDigFactory, GateAndReentrancy) {
    gAllow = false;
    EXPECT_EQ(QVDigBaseClass::ClassFactory(nullptr), nullptr);
    EXPECT_EQ(QVDIG_DATA_Open(nullptr, nullptr), paramErr);
    gAllow = true;
    // An open made while another is in the factory fails at once.
    gNested = true;
    {
        Opened open;
        EXPECT_NE(open.storage, nullptr);
        EXPECT_EQ(gNestedResult, nullptr);
    }
    gNested = false;
    EXPECT_EQ(QVDigComponent::OpensUnderWay(), 0);
    // Racing opens: each gets a digitizer or nothing, never a shared one, and the factory ends idle.
    std::vector<QVDigStorage *> made(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < made.size(); ++i)
        threads.emplace_back([&made, i] { made[i] = QVDigBaseClass::ClassFactory(nullptr); });
    for (std::thread &thread : threads) thread.join();
    for (size_t i = 0; i < made.size(); ++i) {
        for (size_t k = i + 1; k < made.size(); ++k)
            if (made[i] != nullptr) {
                EXPECT_NE(made[i], made[k]);
            }
        if (made[i] != nullptr) QVDIG_DATA_Close(reinterpret_cast<Handle>(made[i]), nullptr);
    }
    EXPECT_EQ(QVDigComponent::OpensUnderWay(), 0);
}

TEST(QVDigFactory, IncludeListIgnoresCase) {
    struct Case {
        const char *identifier;
        bool member;
    };
    const Case cases[] = {{"com.tarvex.Lumora2", true}, {"COM.TARVEX.lumora2", true},
                          {"com.tarvex.Brisko", true},  {"com.tarvex.Lumora", false},
                          {"", false},                  {nullptr, false}};
    for (const Case &c : cases) {
        CFStringRef identifier =
            c.identifier != nullptr ? CFStringCreateWithCString(nullptr, c.identifier, kCFStringEncodingUTF8) : nullptr;
        EXPECT_EQ(CoreBundleyes(sIncludeList, identifier).IsMainMember(), c.member) << (c.identifier ? c.identifier : "null");
        if (identifier != nullptr) CFRelease(identifier);
    }
    EXPECT_EQ(sIncludeList[9], nullptr);
}

TEST(QVDigDigitizer, StateMachine) {
    Opened open;
    ASSERT_EQ(open.initialized, noErr);
    FakeDigitizer &d = open.digitizer();
    Rect full{0, 0, 720, 960}, out{0, 0, 721, 960}, inner{10, 20, 100, 200}, empty{5, 5, 5, 5};
    long ms = -1, bps = -1;
    Fixed fps = 0;
    struct Step {
        const char *what;
        std::function<ComponentResult()> call;
        ComponentResult expected;
        std::function<bool()> check;
    };
    const Step steps[] = {
        {"max rect", [&] { Rect r{}; return d.GetMaxSrcRect(0, &r) ?: (std::memcmp(&r, &full, sizeof r) == 0 ? 0 : 1); }, 0, {}},
        {"rect one pixel out", [&] { return d.SetDigitizerRect(&out); }, qtParamErr, {}},
        {"empty rect", [&] { return d.SetDigitizerRect(&empty); }, qtParamErr, {}},
        {"full rect", [&] { return d.SetDigitizerRect(&full); }, noErr, {}},
        {"inner rect", [&] { return d.SetDigitizerRect(&inner); }, noErr, {}},
        {"compression while off", [&] { return d.SetCompression(0, 0, &full, 0, 0, 0); }, badCallOrderErr, {}},
        {"frame while off", [&] { return d.CompressOneFrameAsync(); }, badCallOrderErr, {}},
        {"compression on", [&] { return d.SetCompressionOnOff(true); }, noErr, {}},
        {"jpeg", [&] { return d.SetCompression(MakeFourCharCode("jpeg"), 0, &full, 0, 0, 0); }, noCodecErr, {}},
        {"type 0", [&] { return d.SetCompression(0, 0, &full, 0, 0, 0); }, noErr,
         [&] { return (*d.ImageDescription())->width == 180 && (*d.ImageDescription())->height == 90; }},
        {"rate -2", [&] { return d.SetFrameRate(-2 * fixed1); }, qtParamErr, {}},
        {"rate 0", [&] { return d.SetFrameRate(0); }, noErr, [&] { return d.FrameRate() == 30 * fixed1 && d.FrameDuration() == 100; }},
        {"rate -1", [&] { return d.SetFrameRate(-fixed1); }, noErr, [&] { return d.FrameRate() == 30 * fixed1; }},
        {"rate 29.97", [&] { return d.SetFrameRate(X2Fix(29.97)); }, noErr, [&] { return d.FrameDuration() == 100; }},
        // The data rate reports the rate that is set, not a fixed 30.
        {"rate 15", [&] { return d.SetFrameRate(15 * fixed1); }, noErr,
         [&] { return d.FrameDurationSeconds() > 0.0666f && d.FrameDurationSeconds() < 0.0667f; }},
        {"data rate", [&] { return d.GetDataRate(&ms, &fps, &bps); }, noErr,
         [&] { return fps == 15 * fixed1 && bps == 180L * 90 * 2 * 15; }},
        {"inputs", [&] { short n = -1; return d.GetNumberOfInputs(&n) ?: (n == 2 ? 0 : 1); }, noErr, {}},
        {"input 2", [&] { return d.SetInput(2); }, noErr, [&] { short n = -1; d.GetInput(&n); return n == 2; }},
        {"standard pal", [&] { return d.SetInputStandard(palIn); }, qtParamErr, {}},
        {"standard ntsc", [&] { return d.SetInputStandard(ntscReallyIn); }, noErr, {}},
        {"unique ids", [&] { UInt64 a = 0, b = 0; return d.GetUniqueIDs(&a, &b) ?: (a == 0xB00BEEEEB00B0000ull && b == 1 ? 0 : 1); }, noErr, {}},
        {"pll", [&] { return d.SetPLLFilterType(1); }, digiUnimpErr, {}},
        {"data rate set", [&] { return d.SetDataRate(1000); }, digiUnimpErr, {}},
        {"compression time jpeg", [&] { return d.GetCompressionTime(MakeFourCharCode("jpeg"), 0, nullptr, nullptr, nullptr, nullptr); }, noCodecErr, {}},
    };
    for (const Step &s : steps) {
        EXPECT_EQ(s.call(), s.expected) << s.what;
        if (s.check) {
            EXPECT_TRUE(s.check()) << s.what;
        }
    }
}

TEST(QVDigDigitizer, FramePump) {
    Opened open;
    ASSERT_EQ(open.initialized, noErr);
    FakeDigitizer &d = open.digitizer();
    UInt8 count = 9;
    Ptr data = nullptr;
    long size = 0;
    TimeRecord t{};
    ASSERT_EQ(d.SetCompressionOnOff(true), noErr);
    // No rate and no time base yet: nothing, no error.
    EXPECT_EQ(d.CompressDone(&count, &data, &size, nullptr, &t), noErr);
    EXPECT_EQ(count, 0);
    TimeBase clock = NewTimeBase();
    ASSERT_EQ(d.SetTimeBase(clock), noErr);
    ASSERT_EQ(d.SetFrameRate(30 * fixed1), noErr);
    // A stopped time base: nothing.
    EXPECT_EQ(d.CompressDone(&count, &data, &size, nullptr, &t), noErr);
    EXPECT_EQ(count, 0);
    // Preview: a frame on every call.
    d.CaptureStateChanging(vdFlagCaptureIsForPreview);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(d.CompressDone(&count, &data, &size, nullptr, &t), noErr);
        EXPECT_EQ(count, 1);
        EXPECT_EQ(size, 1382400);
    }
    // Recording: the first frame at once, stamped with the clock; the next one frame later.
    d.CaptureStateChanging(vdFlagCaptureStarting);
    SetTimeBaseRate(clock, fixed1);
    EXPECT_EQ(d.CompressDone(&count, &data, &size, nullptr, &t), noErr);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(t.scale, 2997);
    const SInt64 first = t.value;
    EXPECT_EQ(d.CompressDone(&count, &data, &size, nullptr, &t), noErr);
    EXPECT_EQ(count, 0);  // not yet due
    SetTimeBaseValue(clock, TimeValue(first + 100), 2997);
    EXPECT_EQ(d.CompressDone(&count, &data, &size, nullptr, &t), noErr);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(t.value, first + 100);
    TimeRecord at{};
    TimeCodeDef def{};
    TimeCodeRecord code{};
    EXPECT_EQ(d.GetTimeCode(&at, &def, &code), noErr);
    EXPECT_EQ(def.numFrames, 30);
    EXPECT_EQ(code.t.hours, 1);
    EXPECT_EQ(code.t.frames, 1);
    DisposeTimeBase(clock);
}

TEST(QVDigDigitizer, TimeCodes) {
    struct Case {
        long frame;
        bool drop;
        TimeCodeTime expected;
    };
    const Case cases[] = {
        {0, false, {1, 0, 0, 0}},   {1800, false, {1, 1, 0, 0}}, {1800, true, {1, 1, 0, 2}},
        {17982, true, {1, 10, 0, 0}}, {29, true, {1, 0, 0, 29}}, {30 * 3600 * 25, false, {2, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        TimeCodeDef def{};
        def.flags = long(tc24HourMax) | (c.drop ? long(tcDropFrame) : 0L);
        def.numFrames = 30;
        const TimeCodeRecord r = QVDigDeviceBase::TimeCodeFromFrameCount(c.frame, def);
        EXPECT_EQ(r.t.hours, c.expected.hours) << c.frame;
        EXPECT_EQ(r.t.minutes, c.expected.minutes) << c.frame;
        EXPECT_EQ(r.t.seconds, c.expected.seconds) << c.frame;
        EXPECT_EQ(r.t.frames, c.expected.frames) << c.frame;
    }
}

TEST(QVDigDigitizer, ImageDescriptionAndTypes) {
    Opened open;
    ASSERT_EQ(open.initialized, noErr);
    FakeDigitizer &d = open.digitizer();
    ImageDescriptionHandle desc = reinterpret_cast<ImageDescriptionHandle>(NewHandle(0));
    ASSERT_EQ(d.GetImageDescription(desc), noErr);
    EXPECT_EQ((*desc)->cType, MakeFourCharCode("2vuy"));
    EXPECT_EQ((*desc)->width, 960);
    EXPECT_EQ((*desc)->height, 720);
    EXPECT_EQ((*desc)->depth, 24);
    EXPECT_EQ((*desc)->dataSize, 1382400);
    EXPECT_GT((*desc)->idSize, 86);  // the field, aperture and colour extensions
    DisposeHandle(reinterpret_cast<Handle>(desc));
    VDCompressionListHandle list = reinterpret_cast<VDCompressionListHandle>(NewHandle(0));
    ASSERT_EQ(d.GetCompressionTypes(list), noErr);
    EXPECT_EQ((*list)->cType, MakeFourCharCode("2vuy"));
    EXPECT_EQ((*list)->formatFlags, 64);
    DisposeHandle(reinterpret_cast<Handle>(list));
    short format = -1;
    EXPECT_EQ(d.GetInputFormat(0, &format), noErr);
    EXPECT_EQ(format, yuvComponentIn);
}

}  // namespace
