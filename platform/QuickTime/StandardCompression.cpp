// The standard compression component: settings, their atom container and text form.
#include <QuickTime/FixMath.h>
#include <QuickTime/StandardCompression.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "StandardCompressionInternal.h"

namespace {

constexpr Fixed kMaxFrameRate = 1000 * fixed1;
constexpr long kMaxKeyFrameRate = 32767;

constexpr OSType kSettingsAtom = StandardCompressionType;
constexpr UInt32 kAtomHeader = 8;
constexpr UInt32 kSpatialData = 10;   // codec type, depth, quality
constexpr UInt32 kTemporalData = 12;  // quality, frame rate, key-frame rate

void PutBE32(std::string &out, UInt32 value) {
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    out.append(bytes, 4);
}

void PutBE16(std::string &out, UInt16 value) {
    const char bytes[2] = {char(value >> 8), char(value)};
    out.append(bytes, 2);
}

UInt32 GetBE32(const unsigned char *bytes) {
    return (UInt32(bytes[0]) << 24) | (UInt32(bytes[1]) << 16) | (UInt32(bytes[2]) << 8) | UInt32(bytes[3]);
}

UInt16 GetBE16(const unsigned char *bytes) { return UInt16((UInt16(bytes[0]) << 8) | UInt16(bytes[1])); }

bool IsCodecChoice(CodecComponent codec) {
    return codec == anyCodec || codec == bestSpeedCodec || codec == bestFidelityCodec ||
           codec == bestCompressionCodec;
}

// A new handle of the bytes, or null.
Handle HandleOf(const std::string &bytes) {
    Handle handle = NewHandle(Size(bytes.size()));
    if (handle != nullptr && !bytes.empty()) std::memcpy(*handle, bytes.data(), bytes.size());
    return handle;
}

}  // namespace

StandardCompressionInstance::StandardCompressionInstance()
    : ComponentInstanceRecord({StandardCompressionType, StandardCompressionSubType, 0, 0, 0},
                              "Standard Compression", true),
      mSpatial{kAnimationCodecType, anyCodec, 32, codecNormalQuality},
      mTemporal{codecNormalQuality, 30 * fixed1, 30} {}

namespace lumora::qt {

ComponentInstanceRecord *NewStandardCompression() { return new StandardCompressionInstance; }

StandardCompressionInstance *LiveStandardCompression(ComponentInstance ci) {
    return dynamic_cast<StandardCompressionInstance *>(LiveComponent(ci));
}

bool ValidSpatialValues(const SCSpatialSettings &settings) {
    return IsCodecChoice(settings.codec) && settings.depth >= 0 && settings.depth <= 40 &&
           settings.spatialQuality <= codecLosslessQuality;
}

bool ValidTemporalSettings(const SCTemporalSettings &settings) {
    return settings.temporalQuality <= codecLosslessQuality && settings.frameRate > 0 &&
           settings.frameRate <= kMaxFrameRate && settings.keyFrameRate >= 0 &&
           settings.keyFrameRate <= kMaxKeyFrameRate;
}

std::vector<const CodecEncoder *> OfferedCodecEncoders(const StandardCompressionInstance &instance) {
    std::vector<const CodecEncoder *> offered;
    if (instance.mCodecTypes.empty()) {
        for (const CodecEncoder &codec : AvailableCodecEncoders()) offered.push_back(&codec);
        return offered;
    }
    for (CodecType type : instance.mCodecTypes) {
        const CodecEncoder *codec = FindCodecEncoder(type);
        bool listed = false;
        for (const CodecEncoder *seen : offered) listed = listed || seen == codec;
        if (codec != nullptr && !listed) offered.push_back(codec);
    }
    return offered;
}

}  // namespace lumora::qt

using namespace lumora::qt;

ComponentResult SCGetInfo(ComponentInstance ci, OSType infoType, void *info) {
    StandardCompressionInstance *instance = LiveStandardCompression(ci);
    if (instance == nullptr) return badComponentInstance;
    if (info == nullptr) return paramErr;
    switch (infoType) {
        case scPreferenceFlagsType:
            *static_cast<long *>(info) = instance->mPreferenceFlags;
            return noErr;
        case scSpatialSettingsType:
            *static_cast<SCSpatialSettings *>(info) = instance->mSpatial;
            return noErr;
        case scTemporalSettingsType:
            *static_cast<SCTemporalSettings *>(info) = instance->mTemporal;
            return noErr;
        case scCompressionListType: {
            Handle *list = static_cast<Handle *>(info);
            *list = nullptr;
            if (instance->mCodecTypes.empty()) return noErr;
            const size_t bytes = instance->mCodecTypes.size() * sizeof(CodecType);
            Handle result = NewHandle(Size(bytes));
            if (result == nullptr) return memFullErr;
            std::memcpy(*result, instance->mCodecTypes.data(), bytes);
            *list = result;
            return noErr;
        }
        default:
            return badComponentSelector;
    }
}

ComponentResult SCSetInfo(ComponentInstance ci, OSType infoType, void *info) {
    StandardCompressionInstance *instance = LiveStandardCompression(ci);
    if (instance == nullptr) return badComponentInstance;
    if (info == nullptr) return paramErr;
    switch (infoType) {
        case scPreferenceFlagsType:
            instance->mPreferenceFlags = *static_cast<const long *>(info);
            return noErr;
        case scSpatialSettingsType: {
            const SCSpatialSettings settings = *static_cast<const SCSpatialSettings *>(info);
            if (!ValidSpatialValues(settings)) return paramErr;
            if (FindCodecEncoder(settings.codecType) == nullptr) return noCodecErr;
            instance->mSpatial = settings;
            return noErr;
        }
        case scTemporalSettingsType: {
            const SCTemporalSettings settings = *static_cast<const SCTemporalSettings *>(info);
            if (!ValidTemporalSettings(settings)) return paramErr;
            instance->mTemporal = settings;
            return noErr;
        }
        case scCompressionListType: {
            Handle list = *static_cast<const Handle *>(info);
            std::vector<CodecType> types;
            if (list != nullptr) {
                const Size size = GetHandleSize(list);
                if (MemError() != noErr || size % Size(sizeof(CodecType)) != 0) return paramErr;
                types.resize(size_t(size) / sizeof(CodecType));
                if (size > 0) std::memcpy(types.data(), *list, size_t(size));
            }
            instance->mCodecTypes = std::move(types);
            return noErr;
        }
        default:
            return badComponentSelector;
    }
}

ComponentResult SCGetSettingsAsAtomContainer(ComponentInstance ci, QTAtomContainer *settings) {
    StandardCompressionInstance *instance = LiveStandardCompression(ci);
    if (instance == nullptr) return badComponentInstance;
    if (settings == nullptr) return paramErr;
    *settings = nullptr;
    std::string bytes;
    PutBE32(bytes, kAtomHeader + (kAtomHeader + kSpatialData) + (kAtomHeader + kTemporalData));
    PutBE32(bytes, kSettingsAtom);
    PutBE32(bytes, kAtomHeader + kSpatialData);
    PutBE32(bytes, scSpatialSettingsType);
    PutBE32(bytes, instance->mSpatial.codecType);
    PutBE16(bytes, UInt16(instance->mSpatial.depth));
    PutBE32(bytes, instance->mSpatial.spatialQuality);
    PutBE32(bytes, kAtomHeader + kTemporalData);
    PutBE32(bytes, scTemporalSettingsType);
    PutBE32(bytes, instance->mTemporal.temporalQuality);
    PutBE32(bytes, UInt32(instance->mTemporal.frameRate));
    PutBE32(bytes, UInt32(instance->mTemporal.keyFrameRate));
    *settings = HandleOf(bytes);
    return *settings == nullptr ? ComponentResult(memFullErr) : ComponentResult(noErr);
}

ComponentResult SCSetSettingsFromAtomContainer(ComponentInstance ci, QTAtomContainer settings) {
    StandardCompressionInstance *instance = LiveStandardCompression(ci);
    if (instance == nullptr) return badComponentInstance;
    if (settings == nullptr) return paramErr;
    const Size size = GetHandleSize(settings);
    if (MemError() != noErr || size < Size(kAtomHeader)) return invalidAtomContainerErr;
    const auto *bytes = reinterpret_cast<const unsigned char *>(*settings);
    if (GetBE32(bytes) != UInt32(size) || GetBE32(bytes + 4) != kSettingsAtom) return invalidAtomContainerErr;

    bool haveSpatial = false;
    bool haveTemporal = false;
    SCSpatialSettings spatial{};
    SCTemporalSettings temporal{};
    size_t offset = kAtomHeader;
    const size_t end = size_t(size);
    while (offset < end) {
        if (end - offset < kAtomHeader) return invalidAtomContainerErr;
        const UInt32 atomSize = GetBE32(bytes + offset);
        const OSType atomType = GetBE32(bytes + offset + 4);
        if (atomSize < kAtomHeader || atomSize > end - offset) return invalidAtomContainerErr;
        const unsigned char *data = bytes + offset + kAtomHeader;
        const UInt32 dataSize = atomSize - kAtomHeader;
        if (atomType == scSpatialSettingsType) {
            if (haveSpatial || dataSize != kSpatialData) return invalidAtomContainerErr;
            spatial.codecType = GetBE32(data);
            spatial.codec = anyCodec;
            spatial.depth = short(SInt16(GetBE16(data + 4)));
            spatial.spatialQuality = GetBE32(data + 6);
            haveSpatial = true;
        } else if (atomType == scTemporalSettingsType) {
            if (haveTemporal || dataSize != kTemporalData) return invalidAtomContainerErr;
            temporal.temporalQuality = GetBE32(data);
            temporal.frameRate = Fixed(GetBE32(data + 4));
            temporal.keyFrameRate = long(SInt32(GetBE32(data + 8)));
            haveTemporal = true;
        }
        offset += atomSize;
    }
    if (!haveSpatial || !haveTemporal) return invalidAtomContainerErr;
    if (!ValidSpatialValues(spatial) || !ValidTemporalSettings(temporal)) return invalidAtomContainerErr;
    if (FindCodecEncoder(spatial.codecType) == nullptr) return noCodecErr;
    instance->mSpatial = spatial;
    instance->mTemporal = temporal;
    return noErr;
}

ComponentResult SCGetSettingsAsText(ComponentInstance ci, Handle *text) {
    StandardCompressionInstance *instance = LiveStandardCompression(ci);
    if (instance == nullptr) return badComponentInstance;
    if (text == nullptr) return paramErr;
    *text = nullptr;
    const CodecEncoder *codec = FindCodecEncoder(instance->mSpatial.codecType);
    const CodecType type = instance->mSpatial.codecType;
    char line[256];
    std::snprintf(line, sizeof line,
                  "%s ('%c%c%c%c'), depth %d, quality %u; %.2f frames per second, key frame every %ld frames, "
                  "temporal quality %u",
                  codec != nullptr ? codec->typeName : "Unknown", char(type >> 24), char(type >> 16), char(type >> 8),
                  char(type), int(instance->mSpatial.depth), unsigned(instance->mSpatial.spatialQuality),
                  Fix2X(instance->mTemporal.frameRate), instance->mTemporal.keyFrameRate,
                  unsigned(instance->mTemporal.temporalQuality));
    *text = HandleOf(line);
    return *text == nullptr ? ComponentResult(memFullErr) : ComponentResult(noErr);
}

ComponentResult SCCopyCompressionSessionOptions(ComponentInstance ci, ICMCompressionSessionOptionsRef *options) {
    StandardCompressionInstance *instance = LiveStandardCompression(ci);
    if (instance == nullptr) return badComponentInstance;
    if (options == nullptr) return paramErr;
    *options = nullptr;
    ICMCompressionSessionOptionsRef result = nullptr;
    OSStatus status = ICMCompressionSessionOptionsCreate(kCFAllocatorDefault, &result);
    if (status != noErr) return status;
    const UInt32 depth = UInt32(instance->mSpatial.depth);
    const CodecQ quality = instance->mSpatial.spatialQuality;
    const auto keyFrames = SInt32(instance->mTemporal.keyFrameRate);
    if (status == noErr)
        status = ICMCompressionSessionOptionsSetProperty(result, kQTPropertyClass_ICMCompressionSessionOptions,
                                                         kICMCompressionSessionOptionsPropertyID_Depth,
                                                         sizeof depth, &depth);
    if (status == noErr)
        status = ICMCompressionSessionOptionsSetProperty(result, kQTPropertyClass_ICMCompressionSessionOptions,
                                                         kICMCompressionSessionOptionsPropertyID_Quality,
                                                         sizeof quality, &quality);
    if (status == noErr) status = ICMCompressionSessionOptionsSetMaxKeyFrameInterval(result, keyFrames);
    if (status == noErr) status = ICMCompressionSessionOptionsSetAllowTemporalCompression(result, keyFrames != 1);
    if (status != noErr) {
        ICMCompressionSessionOptionsRelease(result);
        return status;
    }
    *options = result;
    return noErr;
}

ComponentResult SCRequestSequenceSettings(ComponentInstance ci) {
    StandardCompressionInstance *instance = LiveStandardCompression(ci);
    if (instance == nullptr) return badComponentInstance;
    return RunStandardCompressionDialog(*instance, true);
}

ComponentResult SCRequestImageSettings(ComponentInstance ci) {
    StandardCompressionInstance *instance = LiveStandardCompression(ci);
    if (instance == nullptr) return badComponentInstance;
    return RunStandardCompressionDialog(*instance, false);
}
