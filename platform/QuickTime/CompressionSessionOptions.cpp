// Compression-session options: a Core Foundation style object of plain values.
#include <QuickTime/ImageCompression.h>

#include <CoreFoundation/CFRuntime.h>

#include <cstring>
#include <new>

struct OpaqueICMCompressionSessionOptions final : cf::Object {
    OpaqueICMCompressionSessionOptions() : cf::Object(ICMCompressionSessionOptionsGetTypeID()) {}
    ~OpaqueICMCompressionSessionOptions() override {
        if (mCompressorSettings != nullptr) DisposeHandle(mCompressorSettings);
    }

    UInt32 mDepth = 0;
    CodecQ mQuality = codecNormalQuality;
    Handle mCompressorSettings = nullptr;  // owned
    SInt32 mAverageDataRate = 0;
    Boolean mAllowAsyncCompletion = false;
    Boolean mAllowTemporalCompression = false;
    Boolean mAllowFrameReordering = false;
    Boolean mAllowFrameTimeChanges = false;
    Boolean mDurationsNeeded = false;
    SInt32 mMaxKeyFrameInterval = 0;
};

namespace {

OpaqueICMCompressionSessionOptions *Options(ICMCompressionSessionOptionsRef ref) {
    return cf::As<OpaqueICMCompressionSessionOptions>(static_cast<cf::Object *>(ref),
                                                      ICMCompressionSessionOptionsGetTypeID());
}

ICMCompressionSessionOptionsRef Ref(OpaqueICMCompressionSessionOptions *options) { return options; }

// A new handle with the bytes of the source (null for null); false when it cannot be made.
bool CopyHandle(Handle source, Handle *copy) {
    *copy = nullptr;
    if (source == nullptr) return true;
    const Size size = GetHandleSize(source);
    if (MemError() != noErr) return false;
    Handle result = NewHandle(size);
    if (result == nullptr) return false;
    if (size > 0) std::memcpy(*result, *source, size_t(size));
    *copy = result;
    return true;
}

template <class T>
OSStatus Read(const void *address, ByteCount size, T *value) {
    if (size != sizeof(T)) return kQTPropertyBadValueSizeErr;
    std::memcpy(value, address, sizeof(T));
    return noErr;
}

template <class T>
OSStatus Write(const T &value, ByteCount size, void *address, ByteCount *used) {
    if (size < sizeof(T)) return kQTPropertyBadValueSizeErr;
    std::memcpy(address, &value, sizeof(T));
    if (used != nullptr) *used = sizeof(T);
    return noErr;
}

}  // namespace

CFTypeID ICMCompressionSessionOptionsGetTypeID(void) {
    static const CFTypeID id = cf::RegisterType("ICMCompressionSessionOptions");
    return id;
}

OSStatus ICMCompressionSessionOptionsCreate(CFAllocatorRef, ICMCompressionSessionOptionsRef *options) {
    if (options == nullptr) return paramErr;
    *options = Ref(new (std::nothrow) OpaqueICMCompressionSessionOptions);
    return *options == nullptr ? OSStatus(memFullErr) : OSStatus(noErr);
}

OSStatus ICMCompressionSessionOptionsCreateCopy(CFAllocatorRef, ICMCompressionSessionOptionsRef original,
                                                ICMCompressionSessionOptionsRef *copy) {
    if (copy == nullptr) return paramErr;
    *copy = nullptr;
    OpaqueICMCompressionSessionOptions *source = Options(original);
    if (source == nullptr) return paramErr;
    auto *result = new (std::nothrow) OpaqueICMCompressionSessionOptions;
    if (result == nullptr) return memFullErr;
    Handle settings = nullptr;
    if (!CopyHandle(source->mCompressorSettings, &settings)) {
        delete result;
        return memFullErr;
    }
    result->mDepth = source->mDepth;
    result->mQuality = source->mQuality;
    result->mCompressorSettings = settings;
    result->mAverageDataRate = source->mAverageDataRate;
    result->mAllowAsyncCompletion = source->mAllowAsyncCompletion;
    result->mAllowTemporalCompression = source->mAllowTemporalCompression;
    result->mAllowFrameReordering = source->mAllowFrameReordering;
    result->mAllowFrameTimeChanges = source->mAllowFrameTimeChanges;
    result->mDurationsNeeded = source->mDurationsNeeded;
    result->mMaxKeyFrameInterval = source->mMaxKeyFrameInterval;
    *copy = Ref(result);
    return noErr;
}

ICMCompressionSessionOptionsRef ICMCompressionSessionOptionsRetain(ICMCompressionSessionOptionsRef options) {
    if (Options(options) != nullptr) CFRetain(static_cast<cf::Object *>(options));
    return options;
}

void ICMCompressionSessionOptionsRelease(ICMCompressionSessionOptionsRef options) {
    if (Options(options) != nullptr) CFRelease(static_cast<cf::Object *>(options));
}

OSStatus ICMCompressionSessionOptionsSetProperty(ICMCompressionSessionOptionsRef ref, QTPropertyClass inPropClass,
                                                 QTPropertyID inPropID, ByteCount inPropValueSize,
                                                 ConstQTPropertyValuePtr inPropValueAddress) {
    OpaqueICMCompressionSessionOptions *options = Options(ref);
    if (options == nullptr || inPropValueAddress == nullptr) return paramErr;
    if (inPropClass != kQTPropertyClass_ICMCompressionSessionOptions) return kQTPropertyNotSupportedErr;
    OSStatus status = noErr;
    switch (inPropID) {
        case kICMCompressionSessionOptionsPropertyID_Depth: {
            UInt32 depth = 0;
            if ((status = Read(inPropValueAddress, inPropValueSize, &depth)) != noErr) return status;
            if (depth > 40) return paramErr;
            options->mDepth = depth;
            return noErr;
        }
        case kICMCompressionSessionOptionsPropertyID_Quality: {
            CodecQ quality = 0;
            if ((status = Read(inPropValueAddress, inPropValueSize, &quality)) != noErr) return status;
            if (quality > codecLosslessQuality) return paramErr;
            options->mQuality = quality;
            return noErr;
        }
        case kICMCompressionSessionOptionsPropertyID_CompressorSettings: {
            Handle settings = nullptr;
            if ((status = Read(inPropValueAddress, inPropValueSize, &settings)) != noErr) return status;
            Handle copy = nullptr;
            if (!CopyHandle(settings, &copy)) return memFullErr;
            if (options->mCompressorSettings != nullptr) DisposeHandle(options->mCompressorSettings);
            options->mCompressorSettings = copy;
            return noErr;
        }
        case kICMCompressionSessionOptionsPropertyID_AverageDataRate: {
            SInt32 rate = 0;
            if ((status = Read(inPropValueAddress, inPropValueSize, &rate)) != noErr) return status;
            if (rate < 0) return paramErr;
            options->mAverageDataRate = rate;
            return noErr;
        }
        case kICMCompressionSessionOptionsPropertyID_AllowAsyncCompletion: {
            Boolean allow = false;
            if ((status = Read(inPropValueAddress, inPropValueSize, &allow)) != noErr) return status;
            options->mAllowAsyncCompletion = allow != 0;
            return noErr;
        }
        case kICMCompressionSessionOptionsPropertyID_MultiPassStorage: {
            ICMMultiPassStorageRef storage = nullptr;
            if ((status = Read(inPropValueAddress, inPropValueSize, &storage)) != noErr) return status;
            return storage == nullptr ? OSStatus(noErr) : OSStatus(paramErr);
        }
        default:
            return kQTPropertyNotSupportedErr;
    }
}

OSStatus ICMCompressionSessionOptionsGetProperty(ICMCompressionSessionOptionsRef ref, QTPropertyClass inPropClass,
                                                 QTPropertyID inPropID, ByteCount inPropValueSize,
                                                 QTPropertyValuePtr outPropValueAddress,
                                                 ByteCount *outPropValueSizeUsed) {
    OpaqueICMCompressionSessionOptions *options = Options(ref);
    if (options == nullptr || outPropValueAddress == nullptr) return paramErr;
    if (inPropClass != kQTPropertyClass_ICMCompressionSessionOptions) return kQTPropertyNotSupportedErr;
    switch (inPropID) {
        case kICMCompressionSessionOptionsPropertyID_Depth:
            return Write(options->mDepth, inPropValueSize, outPropValueAddress, outPropValueSizeUsed);
        case kICMCompressionSessionOptionsPropertyID_Quality:
            return Write(options->mQuality, inPropValueSize, outPropValueAddress, outPropValueSizeUsed);
        case kICMCompressionSessionOptionsPropertyID_CompressorSettings: {
            if (inPropValueSize < sizeof(Handle)) return kQTPropertyBadValueSizeErr;
            Handle copy = nullptr;
            if (!CopyHandle(options->mCompressorSettings, &copy)) return memFullErr;
            return Write(copy, inPropValueSize, outPropValueAddress, outPropValueSizeUsed);
        }
        case kICMCompressionSessionOptionsPropertyID_AverageDataRate:
            return Write(options->mAverageDataRate, inPropValueSize, outPropValueAddress, outPropValueSizeUsed);
        case kICMCompressionSessionOptionsPropertyID_AllowAsyncCompletion:
            return Write(options->mAllowAsyncCompletion, inPropValueSize, outPropValueAddress, outPropValueSizeUsed);
        case kICMCompressionSessionOptionsPropertyID_MultiPassStorage:
            return Write(ICMMultiPassStorageRef(nullptr), inPropValueSize, outPropValueAddress,
                         outPropValueSizeUsed);
        default:
            return kQTPropertyNotSupportedErr;
    }
}

#define LUMORA_ICM_BOOLEAN_OPTION(Name, member)                                                               \
    OSStatus ICMCompressionSessionOptionsSet##Name(ICMCompressionSessionOptionsRef ref, Boolean value) {      \
        OpaqueICMCompressionSessionOptions *options = Options(ref);                                           \
        if (options == nullptr) return paramErr;                                                              \
        options->member = value != 0;                                                                         \
        return noErr;                                                                                         \
    }                                                                                                         \
    Boolean ICMCompressionSessionOptionsGet##Name(ICMCompressionSessionOptionsRef ref) {                      \
        OpaqueICMCompressionSessionOptions *options = Options(ref);                                           \
        return options != nullptr && options->member;                                                         \
    }

LUMORA_ICM_BOOLEAN_OPTION(AllowTemporalCompression, mAllowTemporalCompression)
LUMORA_ICM_BOOLEAN_OPTION(AllowFrameReordering, mAllowFrameReordering)
LUMORA_ICM_BOOLEAN_OPTION(AllowFrameTimeChanges, mAllowFrameTimeChanges)
LUMORA_ICM_BOOLEAN_OPTION(DurationsNeeded, mDurationsNeeded)

#undef LUMORA_ICM_BOOLEAN_OPTION

OSStatus ICMCompressionSessionOptionsSetMaxKeyFrameInterval(ICMCompressionSessionOptionsRef ref, SInt32 interval) {
    OpaqueICMCompressionSessionOptions *options = Options(ref);
    if (options == nullptr || interval < 0) return paramErr;
    options->mMaxKeyFrameInterval = interval;
    return noErr;
}

SInt32 ICMCompressionSessionOptionsGetMaxKeyFrameInterval(ICMCompressionSessionOptionsRef ref) {
    OpaqueICMCompressionSessionOptions *options = Options(ref);
    return options == nullptr ? 0 : options->mMaxKeyFrameInterval;
}
