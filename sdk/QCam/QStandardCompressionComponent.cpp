#include "QStandardCompressionComponent.h"

#include <CoreFoundation/CFString.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSUserDefaults.h>
#include <QuickTime/FixMath.h>

#include <cstring>
#include <vector>

namespace {

constexpr CodecType kOfferedCodecTypes[] = {
    MakeFourCharCode("rle "), MakeFourCharCode("avc1"), MakeFourCharCode("mp4v"),
    MakeFourCharCode("jpeg"), MakeFourCharCode("mjpa"), MakeFourCharCode("mjpb"),
};

constexpr SCSpatialSettings kDefaultSpatialSettings = {MakeFourCharCode("rle "), anyCodec, 32, codecMaxQuality};

// Text in the Mac OS Roman encoding.
QString MacRomanText(const char *bytes, qsizetype length) {
    CFStringRef string = CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes),
                                                 CFIndex(length), kCFStringEncodingMacRoman, false);
    if (string == nullptr) return QString();
    std::vector<UniChar> characters(size_t(CFStringGetLength(string)));
    CFStringGetCharacters(string, CFRange{0, CFIndex(characters.size())}, characters.data());
    CFRelease(string);
    return QString(reinterpret_cast<const QChar *>(characters.data()), qsizetype(characters.size()));
}

}  // namespace

std::unique_ptr<QStandardCompressionComponent> QStandardCompressionComponent::standardCompressionComponent() {
    auto component = std::make_unique<QStandardCompressionComponent>();
    if (!component->isOpen()) return nullptr;
    return component;
}

QString QStandardCompressionComponent::codecTypeFourCharCode(OSType codecType) {
    const char text[] = {'(',
                         '\'',
                         char(codecType >> 24),
                         char(codecType >> 16),
                         char(codecType >> 8),
                         char(codecType),
                         '\'',
                         ')'};
    return QString::fromLatin1(text, sizeof text);
}

QString QStandardCompressionComponent::codecNameForCodecType(OSType codecType) {
    CodecNameSpecListPtr list = nullptr;
    if (GetCodecNameList(&list, 0) != noErr || list == nullptr) return QString("");
    QString name("");
    for (short index = 0; index < list->count; ++index) {
        const CodecNameSpec &spec = list->list[index];
        if (spec.cType != codecType) continue;
        name = MacRomanText(reinterpret_cast<const char *>(spec.typeName + 1), spec.typeName[0]);
        break;
    }
    DisposeCodecNameList(list);
    return name;
}

QStandardCompressionComponent::QStandardCompressionComponent(QObject *parent)
    : NSObject(parent), mComponent(OpenDefaultComponent(StandardCompressionType, StandardCompressionSubType)) {}

QStandardCompressionComponent::~QStandardCompressionComponent() {
    if (mComponent != nullptr) CloseComponent(mComponent);
}

bool QStandardCompressionComponent::savePreferencesWithKey(const QString &key) {
    if (key.isEmpty()) return false;
    const QByteArray data = settingsData();
    if (data.isEmpty()) return false;
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    defaults.setObject(data, key);
    return VERIFY(defaults.synchronize());
}

bool QStandardCompressionComponent::loadPreferencesWithKey(const QString &key) {
    if (key.isEmpty()) return false;
    const QByteArray data = NSUserDefaults::standardUserDefaults().dataForKey(key);
    if (data.isEmpty()) return false;
    return setSettingsData(data);
}

QByteArray QStandardCompressionComponent::settingsData() {
    QTAtomContainer container = nullptr;
    if (mComponent == nullptr) return QByteArray();
    if (VERIFY_OSERR(SCGetSettingsAsAtomContainer(mComponent, &container)) != noErr || container == nullptr)
        return QByteArray();
    const QByteArray data(*container, qsizetype(GetHandleSize(container)));
    DisposeHandle(container);
    return data;
}

bool QStandardCompressionComponent::setSettingsData(const QByteArray &data) {
    if (data.isEmpty() || mComponent == nullptr) return false;
    Handle settings = NewHandle(Size(data.size()));
    if (!VERIFY(settings != nullptr)) return false;
    std::memcpy(*settings, data.constData(), size_t(data.size()));
    const ComponentResult result = VERIFY_OSERR(SCSetSettingsFromAtomContainer(mComponent, settings));
    DisposeHandle(settings);
    return result == noErr;
}

QString QStandardCompressionComponent::settingsSummary() {
    Handle text = nullptr;
    if (mComponent == nullptr || SCGetSettingsAsText(mComponent, &text) != noErr || text == nullptr) return QString("");
    const QString summary = MacRomanText(*text, qsizetype(GetHandleSize(text)));
    DisposeHandle(text);
    return summary;
}

ICMCompressionSessionOptionsPtr QStandardCompressionComponent::compressionOptions() {
    ICMCompressionSessionOptionsRef options = nullptr;
    if (mComponent == nullptr || SCCopyCompressionSessionOptions(mComponent, &options) != noErr) return nullptr;
    return ICMCompressionSessionOptionsAdopt(options);
}

double QStandardCompressionComponent::frameRate() {
    SCTemporalSettings temporal{};
    if (mComponent == nullptr || SCGetInfo(mComponent, scTemporalSettingsType, &temporal) != noErr)
        return kFallbackFrameRate;
    return Fix2X(temporal.frameRate);
}

void QStandardCompressionComponent::setFrameRate(double framesPerSecond) {
    SCTemporalSettings temporal{};
    if (mComponent == nullptr || SCGetInfo(mComponent, scTemporalSettingsType, &temporal) != noErr) return;
    temporal.frameRate = X2Fix(framesPerSecond);
    setInfo(scTemporalSettingsType, &temporal);
}

CodecType QStandardCompressionComponent::codecType() {
    SCSpatialSettings spatial{};
    getSpatialSettings(&spatial);
    return spatial.codecType;
}

void QStandardCompressionComponent::setCodecType(CodecType codecType) {
    SCSpatialSettings spatial{};
    getSpatialSettings(&spatial);
    spatial.codecType = codecType;
    setSpatialSettings(spatial);
}

void QStandardCompressionComponent::setDefaultSpatialSettings() { setSpatialSettings(kDefaultSpatialSettings); }

bool QStandardCompressionComponent::getSpatialSettings(SCSpatialSettings *settings) {
    if (settings == nullptr) return false;
    if (mComponent != nullptr && SCGetInfo(mComponent, scSpatialSettingsType, settings) == noErr) return true;
    *settings = kDefaultSpatialSettings;
    return false;
}

bool QStandardCompressionComponent::setSpatialSettings(const SCSpatialSettings &settings) {
    SCSpatialSettings copy = settings;
    return setInfo(scSpatialSettingsType, &copy);
}

bool QStandardCompressionComponent::displaySequenceSettingsDialog() {
    limitCompressionOutputTypes();
    return mComponent != nullptr && SCRequestSequenceSettings(mComponent) == noErr;
}

bool QStandardCompressionComponent::displayImageSettingsDialog() {
    return mComponent != nullptr && SCRequestImageSettings(mComponent) == noErr;
}

bool QStandardCompressionComponent::limitCompressionOutputTypes() {
    Handle list = NewHandle(Size(sizeof kOfferedCodecTypes));
    if (!VERIFY(list != nullptr)) return false;
    std::memcpy(*list, kOfferedCodecTypes, sizeof kOfferedCodecTypes);
    const bool limited = setInfo(scCompressionListType, &list);
    DisposeHandle(list);
    return limited;
}

bool QStandardCompressionComponent::setInfo(OSType infoType, void *info) {
    if (mComponent == nullptr) return false;
    return VERIFY_OSERR(SCSetInfo(mComponent, infoType, info)) == noErr;
}

bool import_QStandardCompressionComponent() {
    return import_CoreMachDebugLog() && import_QImageCompressionSessionOptions();
}
