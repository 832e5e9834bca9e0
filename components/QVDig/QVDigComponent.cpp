#include <QVDig/QVDigComponent.h>

#include <VDig/QVDigIsLoadable.h>
#include <VDig/RequiredCoreLog.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>
#include <exception>
#include <new>

// ---- Routines --------------------------------------------------------------------------------

namespace {

QVDigDeviceBase *Digitizer(Handle storage) {
    return storage != nullptr ? reinterpret_cast<QVDigStorage *>(storage)->object : nullptr;
}

}  // namespace

#define QVDIG_ROUTINE(Name, Params, Args)                                  \
    static ComponentResult QVDIG_DATA_##Name(Handle storage, QVDIG_UNPAREN Params) { \
        QVDigDeviceBase *digitizer = Digitizer(storage);                  \
        if (digitizer == nullptr) return paramErr;                        \
        return digitizer->Name Args;                                      \
    }
#define QVDIG_ROUTINE0(Name)                                               \
    static ComponentResult QVDIG_DATA_##Name(Handle storage) {            \
        QVDigDeviceBase *digitizer = Digitizer(storage);                  \
        if (digitizer == nullptr) return paramErr;                        \
        return digitizer->Name();                                         \
    }
#define QVDIG_UNPAREN(...) __VA_ARGS__

typedef unsigned short *US;
QVDIG_ROUTINE(GetMaxSrcRect, (short input, Rect *rect), (input, rect))
QVDIG_ROUTINE(GetActiveSrcRect, (short input, Rect *rect), (input, rect))
QVDIG_ROUTINE(SetDigitizerRect, (Rect *rect), (rect))
QVDIG_ROUTINE(GetDigitizerRect, (Rect *rect), (rect))
QVDIG_ROUTINE(GetVBlankRect, (short input, Rect *rect), (input, rect))
QVDIG_ROUTINE(SetBrightness, (US v), (v))
QVDIG_ROUTINE(GetBrightness, (US v), (v))
QVDIG_ROUTINE(SetContrast, (US v), (v))
QVDIG_ROUTINE(GetContrast, (US v), (v))
QVDIG_ROUTINE(SetHue, (US v), (v))
QVDIG_ROUTINE(GetHue, (US v), (v))
QVDIG_ROUTINE(SetSaturation, (US v), (v))
QVDIG_ROUTINE(GetSaturation, (US v), (v))
QVDIG_ROUTINE(SetSharpness, (US v), (v))
QVDIG_ROUTINE(GetSharpness, (US v), (v))
QVDIG_ROUTINE(SetBlackLevelValue, (US v), (v))
QVDIG_ROUTINE(GetBlackLevelValue, (US v), (v))
QVDIG_ROUTINE(SetWhiteLevelValue, (US v), (v))
QVDIG_ROUTINE(GetWhiteLevelValue, (US v), (v))
QVDIG_ROUTINE(GetVideoDefaults, (US a, US b, US c, US d, US e, US f, US g), (a, b, c, d, e, f, g))
QVDIG_ROUTINE(GetDigitizerInfo, (DigitizerInfo * info), (info))
QVDIG_ROUTINE(GetCurrentFlags, (long *in, long *out), (in, out))
QVDIG_ROUTINE(GetNumberOfInputs, (short *inputs), (inputs))
QVDIG_ROUTINE(GetInputFormat, (short input, short *format), (input, format))
QVDIG_ROUTINE(SetInput, (short input), (input))
QVDIG_ROUTINE(GetInput, (short *input), (input))
QVDIG_ROUTINE(SetInputStandard, (short standard), (standard))
QVDIG_ROUTINE(GetInputName, (long input, StringPtr name), (input, name))
QVDIG_ROUTINE(GetDeviceNameAndFlags, (StringPtr name, UInt32 *flags), (name, flags))
QVDIG_ROUTINE(GetUniqueIDs, (UInt64 * device, UInt64 *input), (device, input))
QVDIG_ROUTINE(SelectUniqueIDs, (const UInt64 *device, const UInt64 *input), (device, input))
QVDIG_ROUTINE(SetCompression, (OSType type, short depth, Rect *bounds, CodecQ sq, CodecQ tq, long kfr),
              (type, depth, bounds, sq, tq, kfr))
QVDIG_ROUTINE0(CompressOneFrameAsync)
QVDIG_ROUTINE(CompressDone, (UInt8 * count, Ptr *data, long *size, UInt8 *similarity, TimeRecord *t),
              (count, data, size, similarity, t))
QVDIG_ROUTINE(ReleaseCompressBuffer, (Ptr data), (data))
QVDIG_ROUTINE(GetImageDescription, (ImageDescriptionHandle desc), (desc))
QVDIG_ROUTINE0(ResetCompressSequence)
QVDIG_ROUTINE(SetCompressionOnOff, (Boolean on), (on))
QVDIG_ROUTINE(GetCompressionTypes, (VDCompressionListHandle h), (h))
QVDIG_ROUTINE(SetTimeBase, (TimeBase t), (t))
QVDIG_ROUTINE(SetFrameRate, (Fixed rate), (rate))
QVDIG_ROUTINE(GetDataRate, (long *ms, Fixed *fps, long *bps), (ms, fps, bps))
QVDIG_ROUTINE(GetPreferredTimeScale, (TimeScale * preferred), (preferred))
QVDIG_ROUTINE(SetDataRate, (long bps), (bps))
QVDIG_ROUTINE(GetTimeCode, (TimeRecord * t, void *format, void *time), (t, format, time))
QVDIG_ROUTINE(GetCompressionTime,
              (OSType type, short depth, Rect *src, CodecQ *sq, CodecQ *tq, unsigned long *time),
              (type, depth, src, sq, tq, time))
QVDIG_ROUTINE(SetPLLFilterType, (short type), (type))
QVDIG_ROUTINE(GetPLLFilterType, (short *type), (type))
QVDIG_ROUTINE(GetPreferredImageDimensions, (long *width, long *height), (width, height))
QVDIG_ROUTINE(CaptureStateChanging, (UInt32 flags), (flags))

ComponentResult QVDIG_DATA_Version(Handle storage) {
    QVDigDeviceBase *digitizer = Digitizer(storage);
    return digitizer != nullptr ? digitizer->Version() : ComponentResult(paramErr);
}

ComponentResult QVDIG_DATA_OpenInitialize(Handle storage) {
    QVDigDeviceBase *digitizer = Digitizer(storage);
    return digitizer != nullptr ? digitizer->OpenInitialize() : ComponentResult(paramErr);
}

ComponentResult QVDIG_DATA_Open(Handle storage, ComponentInstance self) {
    (void)storage;
    QVDigStorage *created = QVDigBaseClass::ClassFactory(self);
    if (created == nullptr) return paramErr;
    created->self = self;
    SetComponentInstanceStorage(self, reinterpret_cast<Handle>(created));
    return created->object->OpenInitialize();
}

ComponentResult QVDIG_DATA_Close(Handle storage, ComponentInstance self) {
    QVDigDeviceBase *digitizer = Digitizer(storage);
    if (digitizer == nullptr) return paramErr;
    const ComponentResult result = digitizer->Close(self);
    delete digitizer;
    return result;
}

ComponentResult QVDIG_DATA_CanDo(Handle storage, short selector) {
    (void)storage;
    ProcInfoType layout = 0;
    const intptr_t routine = QVDIG_DATA_FindRoutineUPP(selector, &layout);
    return (routine != 0 && routine != kQVDigUnimplemented) ? 1 : 0;
}

// ---- Table -----------------------------------------------------------------------------------

namespace {

template <class F>
intptr_t R(F function) {
    return reinterpret_cast<intptr_t>(function);
}

tagQVDIG_DATA MakeTable() {
    tagQVDIG_DATA table{};
    table.negative[0] = {R(&QVDIG_DATA_Version), 0xF0};
    table.negative[1] = {R(&QVDIG_DATA_CanDo), 0x2F0};
    table.negative[2] = {R(&QVDIG_DATA_Close), 0x3F0};
    table.negative[3] = {R(&QVDIG_DATA_Open), 0x3F0};
    for (tagQVDIG_DATA_Entry &entry : table.range0) entry = {kQVDigUnimplemented, 0};
    auto set = [&](int selector, intptr_t routine, ProcInfoType layout) { table.range0[selector] = {routine, layout}; };
    set(0x01, R(&QVDIG_DATA_GetMaxSrcRect), 0xEF0);
    set(0x02, R(&QVDIG_DATA_GetActiveSrcRect), 0xEF0);
    set(0x03, R(&QVDIG_DATA_SetDigitizerRect), 0x3F0);
    set(0x04, R(&QVDIG_DATA_GetDigitizerRect), 0x3F0);
    set(0x05, R(&QVDIG_DATA_GetVBlankRect), 0xEF0);
    set(0x0C, R(&QVDIG_DATA_SetBrightness), 0x3F0);
    set(0x0D, R(&QVDIG_DATA_GetBrightness), 0x3F0);
    set(0x0E, R(&QVDIG_DATA_SetContrast), 0x3F0);
    set(0x0F, R(&QVDIG_DATA_SetHue), 0x3F0);
    set(0x10, R(&QVDIG_DATA_SetSharpness), 0x3F0);
    set(0x11, R(&QVDIG_DATA_SetSaturation), 0x3F0);
    set(0x12, R(&QVDIG_DATA_GetContrast), 0x3F0);
    set(0x13, R(&QVDIG_DATA_GetHue), 0x3F0);
    set(0x14, R(&QVDIG_DATA_GetSharpness), 0x3F0);
    set(0x15, R(&QVDIG_DATA_GetSaturation), 0x3F0);
    set(0x19, R(&QVDIG_DATA_GetDigitizerInfo), 0x3F0);
    set(0x1A, R(&QVDIG_DATA_GetCurrentFlags), 0xFF0);
    set(0x29, R(&QVDIG_DATA_SetPLLFilterType), 0x2F0);
    set(0x2A, R(&QVDIG_DATA_GetPLLFilterType), 0x3F0);
    set(0x37, R(&QVDIG_DATA_SetBlackLevelValue), 0x3F0);
    set(0x38, R(&QVDIG_DATA_GetBlackLevelValue), 0x3F0);
    set(0x39, R(&QVDIG_DATA_SetWhiteLevelValue), 0x3F0);
    set(0x3A, R(&QVDIG_DATA_GetWhiteLevelValue), 0x3F0);
    set(0x3B, R(&QVDIG_DATA_GetVideoDefaults), 0x3FFFF0);
    set(0x3C, R(&QVDIG_DATA_GetNumberOfInputs), 0x3F0);
    set(0x3D, R(&QVDIG_DATA_GetInputFormat), 0xEF0);
    set(0x3E, R(&QVDIG_DATA_SetInput), 0x2F0);
    set(0x3F, R(&QVDIG_DATA_GetInput), 0x3F0);
    set(0x40, R(&QVDIG_DATA_SetInputStandard), 0x2F0);
    set(0x44, R(&QVDIG_DATA_SetCompression), 0xFFBF0);
    set(0x45, R(&QVDIG_DATA_CompressOneFrameAsync), 0xF0);
    set(0x46, R(&QVDIG_DATA_CompressDone), 0x3FFF0);
    set(0x47, R(&QVDIG_DATA_ReleaseCompressBuffer), 0x3F0);
    set(0x48, R(&QVDIG_DATA_GetImageDescription), 0x3F0);
    set(0x49, R(&QVDIG_DATA_ResetCompressSequence), 0xF0);
    set(0x4A, R(&QVDIG_DATA_SetCompressionOnOff), 0x1F0);
    set(0x4B, R(&QVDIG_DATA_GetCompressionTypes), 0x3F0);
    set(0x4C, R(&QVDIG_DATA_SetTimeBase), 0x3F0);
    set(0x4D, R(&QVDIG_DATA_SetFrameRate), 0x3F0);
    set(0x4E, R(&QVDIG_DATA_GetDataRate), 0x3FF0);
    set(0x51, R(&QVDIG_DATA_GetPreferredTimeScale), 0x3F0);
    set(0x54, R(&QVDIG_DATA_SetDataRate), 0x3F0);
    set(0x55, R(&QVDIG_DATA_GetTimeCode), 0x3FF0);
    set(0x58, R(&QVDIG_DATA_GetCompressionTime), 0xFFBF0);
    set(0x5B, R(&QVDIG_DATA_GetPreferredImageDimensions), 0xFF0);
    set(0x5C, R(&QVDIG_DATA_GetInputName), 0xFF0);
    set(0x5E, R(&QVDIG_DATA_GetDeviceNameAndFlags), 0xFF0);
    set(0x5F, R(&QVDIG_DATA_CaptureStateChanging), 0x3F0);
    set(0x60, R(&QVDIG_DATA_GetUniqueIDs), 0xFF0);
    set(0x61, R(&QVDIG_DATA_SelectUniqueIDs), 0xFF0);
    return table;
}

}  // namespace

const tagQVDIG_DATA &QVDIG_DATA_Table() {
    static const tagQVDIG_DATA table = MakeTable();
    return table;
}

intptr_t QVDIG_DATA_FindRoutineUPP(long selector, ProcInfoType *layout) {
    const tagQVDIG_DATA &table = QVDIG_DATA_Table();
    const tagQVDIG_DATA_Entry *entry = nullptr;
    if (selector < 0) {
        const long index = selector + tagQVDIG_DATA::kNegativeCount;
        if (index < 0) return 0;
        entry = &table.negative[index];
    } else {
        if (selector > 0xFFFF) return 0;
        const long range = selector >> 8;
        const long index = selector & 0xFF;
        if (range != 0 || index >= tagQVDIG_DATA::kRange0Count) return 0;
        entry = &table.range0[index];
    }
    if (layout != nullptr) *layout = entry->layout;
    return entry->routine;
}

ComponentResult QVDIG_DATA_ComponentDispatch(ComponentParameters *params, Handle storage) {
    if (params == nullptr) return paramErr;
    ProcInfoType layout = 0;
    const intptr_t routine = QVDIG_DATA_FindRoutineUPP(params->what, &layout);
    if (routine == 0) return badComponentSelector;
    if (routine == kQVDigNoErr) return noErr;
    if (routine == kQVDigUnimplemented || layout == 0) return badComponentSelector;
    return CallComponentFunctionWithStorageProcInfo(storage, params, reinterpret_cast<ProcPtr>(routine), layout);
}

// ---- Class factory ---------------------------------------------------------------------------

const char *sIncludeList[10] = {
    "com.tarvex.Ocellix.FREE", "com.tarvex.Pointel.Free", "com.tarvex.Pointel.Free.MAS",
    "com.tarvex.Pointel",      "com.tarvex.Pointel.Studio", "com.tarvex.Pointel.MAS",
    "com.tarvex.Fizzbo.MAS",   "com.tarvex.Lumora2",        "com.tarvex.Brisko",
    nullptr,
};

CoreBundleyes::CoreBundleyes(const char *const *list, CFStringRef mainIdentifier)
    : mList(list), mMainIdentifier(mainIdentifier) {
    if (mMainIdentifier != nullptr) CFRetain(mMainIdentifier);
}

CoreBundleyes::~CoreBundleyes() {
    if (mMainIdentifier != nullptr) CFRelease(mMainIdentifier);
}

bool CoreBundleyes::IsMainMember() const {
    if (mMainIdentifier == nullptr || mList == nullptr) return false;
    for (const char *const *entry = mList; *entry != nullptr; ++entry) {
        CFStringRef name = CFStringCreateWithCString(nullptr, *entry, kCFStringEncodingUTF8);
        if (name == nullptr) continue;
        const bool equal = CFStringCompare(name, mMainIdentifier, kCFCompareCaseInsensitive) == kCFCompareEqualTo;
        CFRelease(name);
        if (equal) return true;
    }
    return false;
}

namespace {

// "CFBundleIdentifier" of the main bundle's Contents/Info.plist (at most 1 MiB); null when
// the program has no bundle, no Info.plist or no identifier.
CFStringRef CopyMainBundleIdentifier() {
    CFBundleRef main = CFBundleGetMainBundle();
    CFURLRef url = main != nullptr ? CFBundleCopyBundleURL(main) : nullptr;
    if (url == nullptr) return nullptr;
    UInt8 path[4096];
    const bool havePath = CFURLGetFileSystemRepresentation(url, true, path, sizeof path - 32);
    CFRelease(url);
    if (!havePath) return nullptr;
    std::string file = reinterpret_cast<const char *>(path);
    file += "/Contents/Info.plist";
    FILE *stream = std::fopen(file.c_str(), "rb");
    if (stream == nullptr) return nullptr;
    std::vector<UInt8> bytes;
    UInt8 chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, stream)) > 0 && bytes.size() <= (1u << 20))
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(stream);
    if (bytes.empty() || bytes.size() > (1u << 20)) return nullptr;
    CFDataRef data = CFDataCreate(nullptr, bytes.data(), CFIndex(bytes.size()));
    CFPropertyListRef list = data != nullptr
                                 ? CFPropertyListCreateWithData(nullptr, data, kCFPropertyListImmutable, nullptr, nullptr)
                                 : nullptr;
    if (data != nullptr) CFRelease(data);
    if (list == nullptr) return nullptr;
    CFStringRef identifier = nullptr;
    if (CFGetTypeID(list) == CFDictionaryGetTypeID()) {
        const void *value = CFDictionaryGetValue(static_cast<CFDictionaryRef>(list), CFSTR("CFBundleIdentifier"));
        if (value != nullptr && CFGetTypeID(value) == CFStringGetTypeID() &&
            CFStringGetLength(static_cast<CFStringRef>(value)) > 0) {
            identifier = static_cast<CFStringRef>(value);
            CFRetain(identifier);
        }
    }
    CFRelease(list);
    return identifier;
}

}  // namespace

const CoreBundleyes &CoreBundleyes::Shared() {
    static const CoreBundleyes *shared = [] {
        CFStringRef identifier = CopyMainBundleIdentifier();
        auto *made = new CoreBundleyes(sIncludeList, identifier);
        if (identifier != nullptr) CFRelease(identifier);
        return made;
    }();
    return *shared;
}

namespace {

std::atomic_flag sFactoryLock = ATOMIC_FLAG_INIT;
std::atomic<int> sFactoryCount{0};

}  // namespace

namespace QVDigComponent {

bool StandardCameraGate() {
    return QVDigIsLoadable::IsLoadableMacCameraEntitlement() && QVDigIsLoadable::IsLoadableMountainLionOrNewer() &&
           CoreBundleyes::Shared().IsMainMember();
}

int OpensUnderWay() { return sFactoryCount.load(); }

}  // namespace QVDigComponent

QVDigStorage *QVDigBaseClass::ClassFactory(ComponentInstance self) {
    (void)self;
    if (!QVDigComponent::HostMayLoad()) return nullptr;
    if (sFactoryLock.test_and_set(std::memory_order_acquire)) return nullptr;
    QVDigStorage *result = nullptr;
    if (sFactoryCount.fetch_add(1) == 0) {
        try {
            QVDigDeviceBase *digitizer = QVDigComponent::NewDigitizer();
            if (digitizer != nullptr) result = digitizer->Storage();
        } catch (const std::exception &e) {
            CFRequiredPrintf("Exception:%s\n", e.what());
            result = nullptr;
        }
    }
    sFactoryCount.fetch_sub(1);
    sFactoryLock.clear(std::memory_order_release);
    return result;
}
