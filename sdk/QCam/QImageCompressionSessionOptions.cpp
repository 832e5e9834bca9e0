#include "QImageCompressionSessionOptions.h"

#include <CoreX/CoreMachDebugLog.h>

#include <cstring>

ICMCompressionSessionOptionsPtr ICMCompressionSessionOptionsAdopt(ICMCompressionSessionOptionsRef options) {
    if (options == nullptr) return nullptr;
    return ICMCompressionSessionOptionsPtr(options, ICMCompressionSessionOptionsRelease);
}

ICMCompressionSessionOptionsPtr ICMCompressionSessionOptionsShare(ICMCompressionSessionOptionsRef options) {
    return ICMCompressionSessionOptionsAdopt(ICMCompressionSessionOptionsRetain(options));
}

std::unique_ptr<QImageCompressionSessionOptions> QImageCompressionSessionOptions::sessionOptions() {
    ICMCompressionSessionOptionsRef compressionSessionOptions = nullptr;
    if (VERIFY_OSERR(ICMCompressionSessionOptionsCreate(kCFAllocatorDefault,&compressionSessionOptions)) != noErr)
        return nullptr;
    const ICMCompressionSessionOptionsPtr created = ICMCompressionSessionOptionsAdopt(compressionSessionOptions);
    return std::make_unique<QImageCompressionSessionOptions>(created.get());
}

std::unique_ptr<QImageCompressionSessionOptions>
QImageCompressionSessionOptions::sessionOptionsWithDefaultsForOnePassEncoding() {
    std::unique_ptr<QImageCompressionSessionOptions> options = sessionOptions();
    if (options != nullptr) options->setDefaultsForOnePassEncoding();
    return options;
}

std::unique_ptr<QImageCompressionSessionOptions>
QImageCompressionSessionOptions::sessionOptionsWithICMCompressionSessionOptions(ICMCompressionSessionOptionsRef options) {
    return std::make_unique<QImageCompressionSessionOptions>(options);
}

QImageCompressionSessionOptions::QImageCompressionSessionOptions(ICMCompressionSessionOptionsRef options,
                                                                 QObject *parent)
    : NSObject(parent), mSessionOptions(ICMCompressionSessionOptionsShare(options)) {
    setDefaultsForOnePassEncoding();
}

QImageCompressionSessionOptions::~QImageCompressionSessionOptions() = default;

void QImageCompressionSessionOptions::setOptions(ICMCompressionSessionOptionsRef options) {
    mSessionOptions = ICMCompressionSessionOptionsShare(options);
}

void QImageCompressionSessionOptions::setDefaultsForOnePassEncoding() {
    ICMCompressionSessionOptionsRef options = mSessionOptions.get();
    if (options == nullptr) return;
    ICMMultiPassStorageRef nullStorage = nullptr;
    VERIFY_OSERR(ICMCompressionSessionOptionsSetProperty(options, kQTPropertyClass_ICMCompressionSessionOptions, kICMCompressionSessionOptionsPropertyID_MultiPassStorage, sizeof(ICMMultiPassStorageRef), &nullStorage));
    setAllowTemporalCompression(true);
    setAllowFrameReordering(true);
    setMaxKeyFrameInterval(kMaxKeyFrameInterval);
    setAllowFrameTimeChanges(true);
    setFrameDurationsNeeded(true);
    setAllowAsyncCompletion(true);
}

OSStatus QImageCompressionSessionOptions::getPropertyWithID(QTPropertyID propertyID, ByteCount propertySize,
                                                            void *propertyValue) {
    return VERIFY_OSERR(ICMCompressionSessionOptionsGetProperty(mSessionOptions.get(), kQTPropertyClass_ICMCompressionSessionOptions, propertyID, propertySize, propertyValue, nullptr));
}

OSStatus QImageCompressionSessionOptions::setPropertyWithID(QTPropertyID propertyID, ByteCount propertySize,
                                                            const void *propertyValue) {
    return VERIFY_OSERR(ICMCompressionSessionOptionsSetProperty(mSessionOptions.get(), kQTPropertyClass_ICMCompressionSessionOptions, propertyID, propertySize, propertyValue));
}

namespace {

template <class T>
T GetValue(QImageCompressionSessionOptions &options, QTPropertyID propertyID) {
    T value{};
    if (options.getPropertyWithID(propertyID, sizeof value, &value) != noErr) return T{};
    return value;
}

}  // namespace

UInt32 QImageCompressionSessionOptions::codecDepth() {
    return GetValue<UInt32>(*this, kICMCompressionSessionOptionsPropertyID_Depth);
}

void QImageCompressionSessionOptions::setCodecDepth(UInt32 depth) {
    setPropertyWithID(kICMCompressionSessionOptionsPropertyID_Depth, sizeof depth, &depth);
}

CodecQ QImageCompressionSessionOptions::codecQuality() {
    return GetValue<CodecQ>(*this, kICMCompressionSessionOptionsPropertyID_Quality);
}

void QImageCompressionSessionOptions::setCodecQuality(CodecQ quality) {
    setPropertyWithID(kICMCompressionSessionOptionsPropertyID_Quality, sizeof quality, &quality);
}

QByteArray QImageCompressionSessionOptions::imageCodecSettings() {
    Handle settings = GetValue<Handle>(*this, kICMCompressionSessionOptionsPropertyID_CompressorSettings);
    if (settings == nullptr) return {};
    const QByteArray bytes(*settings, qsizetype(GetHandleSize(settings)));
    DisposeHandle(settings);
    return bytes;
}

void QImageCompressionSessionOptions::setImageCodecSettings(const QByteArray &settings) {
    Handle handle = nullptr;
    if (!settings.isEmpty()) {
        handle = NewHandle(Size(settings.size()));
        if (!VERIFY(handle != nullptr)) return;
        std::memcpy(*handle, settings.constData(), size_t(settings.size()));
    }
    setPropertyWithID(kICMCompressionSessionOptionsPropertyID_CompressorSettings, sizeof handle, &handle);
    if (handle != nullptr) DisposeHandle(handle);
}

SInt32 QImageCompressionSessionOptions::averageDataRate() {
    return GetValue<SInt32>(*this, kICMCompressionSessionOptionsPropertyID_AverageDataRate);
}

void QImageCompressionSessionOptions::setAverageDataRate(SInt32 bytesPerSecond) {
    setPropertyWithID(kICMCompressionSessionOptionsPropertyID_AverageDataRate, sizeof bytesPerSecond,
                      &bytesPerSecond);
}

bool QImageCompressionSessionOptions::allowAsyncCompletion() {
    return GetValue<Boolean>(*this, kICMCompressionSessionOptionsPropertyID_AllowAsyncCompletion) != 0;
}

void QImageCompressionSessionOptions::setAllowAsyncCompletion(bool allow) {
    const Boolean value = allow;
    setPropertyWithID(kICMCompressionSessionOptionsPropertyID_AllowAsyncCompletion, sizeof value, &value);
}

bool QImageCompressionSessionOptions::frameDurationsNeeded() {
    return ICMCompressionSessionOptionsGetDurationsNeeded(mSessionOptions.get()) != 0;
}

void QImageCompressionSessionOptions::setFrameDurationsNeeded(bool needed) {
    VERIFY_OSERR(ICMCompressionSessionOptionsSetDurationsNeeded(mSessionOptions.get(), needed));
}

bool QImageCompressionSessionOptions::allowFrameTimeChanges() {
    return ICMCompressionSessionOptionsGetAllowFrameTimeChanges(mSessionOptions.get()) != 0;
}

void QImageCompressionSessionOptions::setAllowFrameTimeChanges(bool allow) {
    VERIFY_OSERR(ICMCompressionSessionOptionsSetAllowFrameTimeChanges(mSessionOptions.get(), allow));
}

SInt32 QImageCompressionSessionOptions::maxKeyFrameInterval() {
    return ICMCompressionSessionOptionsGetMaxKeyFrameInterval(mSessionOptions.get());
}

void QImageCompressionSessionOptions::setMaxKeyFrameInterval(SInt32 interval) {
    VERIFY_OSERR(ICMCompressionSessionOptionsSetMaxKeyFrameInterval(mSessionOptions.get(), interval));
}

bool QImageCompressionSessionOptions::allowFrameReordering() {
    return ICMCompressionSessionOptionsGetAllowFrameReordering(mSessionOptions.get()) != 0;
}

void QImageCompressionSessionOptions::setAllowFrameReordering(bool allow) {
    VERIFY_OSERR(ICMCompressionSessionOptionsSetAllowFrameReordering(mSessionOptions.get(), allow));
}

bool QImageCompressionSessionOptions::allowTemporalCompression() {
    return ICMCompressionSessionOptionsGetAllowTemporalCompression(mSessionOptions.get()) != 0;
}

void QImageCompressionSessionOptions::setAllowTemporalCompression(bool allow) {
    VERIFY_OSERR(ICMCompressionSessionOptionsSetAllowTemporalCompression(mSessionOptions.get(), allow));
}

bool import_QImageCompressionSessionOptions() { return import_CoreMachDebugLog(); }
