#include "QImageCompressionSettings.h"

#include <CocoaFoundation/NSDictionaryPropertyListArchiving.h>
#include <CocoaFoundation/NSObject_MultipleKVO.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>

#include <cmath>
#include <limits>
#include <optional>

NS_REGISTER_CLASS(QImageCompressionSettings);

namespace {

constexpr char kPropertyListDataKey[] = "kPropertyListDataKey";
constexpr char kInputFrameSizeKey[] = "kInputFrameSizeKey";
constexpr char kOutputFrameSizeKey[] = "kOutputFrameSizeKey";
constexpr char kComponentDataKey[] = "kComponentDataKey";

// A size's dictionary representation (the keys of a CGSize's).
QVariantMap SizeDictionary(QSizeF size) { return {{"Width", size.width()}, {"Height", size.height()}}; }

// The size in a dictionary representation; 0 x 0 for anything else.
QSizeF SizeFromDictionary(const QVariant &value) {
    if (value.typeId() != QMetaType::QVariantMap) return QSizeF(0, 0);
    const QVariantMap map = value.toMap();
    bool widthOk = false;
    bool heightOk = false;
    const double width = map.value("Width").toDouble(&widthOk);
    const double height = map.value("Height").toDouble(&heightOk);
    if (!widthOk || !heightOk) return QSizeF(0, 0);
    return QSizeF(width, height);
}

// A length as whole pixels: cut, 0 for negative or NaN, the largest 32-bit value past it.
uint PixelCount(double length) {
    if (!(length > 0)) return 0;
    if (length >= double(std::numeric_limits<uint>::max())) return std::numeric_limits<uint>::max();
    return uint(length);
}

}  // namespace

QString QImageCompressionSettings::defaultPreferencesKey() {
    return QString::fromLatin1(QImageCompressionSettings::staticMetaObject.className());
}

const QSet<QString> &QImageCompressionSettings::compressionSettingsKeySet() {
    static const QSet<QString> keys{"settingsData",      "inputFrameSize", "outputFrameSize",
                                    "outputFrameWidth",  "outputFrameHeight", "codecType",
                                    "codecTypeName",     "codecTypeFourCharCode", "frameRate",
                                    "options",           "sessionOptions"};
    return keys;
}

std::unique_ptr<QImageCompressionSettings>
QImageCompressionSettings::compressionSettingsWithSettingsData(const QByteArray &data) {
    return std::make_unique<QImageCompressionSettings>(data);
}

QImageCompressionSettings::QImageCompressionSettings(QObject *parent) : NSObject(parent) {
    if (loadComponent()) mComponent->loadPreferencesWithKey(preferencesKey());
}

QImageCompressionSettings::QImageCompressionSettings(const QByteArray &settingsData, QObject *parent)
    : NSObject(parent) {
    if (!setSettingsData(settingsData)) loadComponent();
}

QImageCompressionSettings::~QImageCompressionSettings() = default;

void QImageCompressionSettings::awakeFromNib() {
    if (mComponent == nullptr) return;
    const ICMCompressionSessionOptionsPtr options = mComponent->compressionOptions();
    if (options == nullptr) return;
    if (mSessionOptions != nullptr)
        mSessionOptions->setOptions(options.get());
    else
        mSessionOptions = QImageCompressionSessionOptions::sessionOptionsWithICMCompressionSessionOptions(options.get());
}

bool QImageCompressionSettings::loadComponent() {
    mComponent = QStandardCompressionComponent::standardCompressionComponent();
    if (mComponent == nullptr) return false;
    long flags = kPreferenceFlags;
    mComponent->setInfo(scPreferenceFlagsType, &flags);
    mComponent->setDefaultSpatialSettings();
    return true;
}

QString QImageCompressionSettings::preferencesKey() const { return className(); }

QByteArray QImageCompressionSettings::settingsData() { return settingsDataWithOutputFrameSize(outputFrameSize()); }

bool QImageCompressionSettings::setSettingsData(const QByteArray &data) {
    std::optional<QVariantMap> dictionary;
    try {
        dictionary = PropertyListArchiving::dictionaryWithPropertyListData(data, kPropertyListDataKey);
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("QImageCompressionSettings::setSettingsData: exception:%1").arg(exception.description()));
        return false;
    }
    if (!VERIFY(dictionary.has_value())) return false;

    const QVariant componentData = dictionary->value(kComponentDataKey);
    if (componentData.isValid() && !VERIFY(componentData.typeId() == QMetaType::QByteArray)) return false;

    const double frameRateBefore = frameRate();
    std::unique_ptr<QStandardCompressionComponent> previous = std::move(mComponent);
    if (loadComponent() && componentData.isValid() && !mComponent->setSettingsData(componentData.toByteArray())) {
        mComponent = std::move(previous);
        return false;
    }
    const QSizeF input = SizeFromDictionary(dictionary->value(kInputFrameSizeKey));
    const QSizeF output = SizeFromDictionary(dictionary->value(kOutputFrameSizeKey));
    mTimeScale = kDefaultTimeScale;
    mInputFrameWidth = PixelCount(input.width());
    mInputFrameHeight = PixelCount(input.height());
    mOutputFrameWidth = PixelCount(output.width());
    mOutputFrameHeight = PixelCount(output.height());
    noteFrameRateChange(frameRateBefore);
    return true;
}

QByteArray QImageCompressionSettings::settingsDataWithOutputFrameSize(QSizeF outputFrameSize) {
    return PropertyListArchiving::propertyListData(settingsDictionaryWithOutputFrameSize(outputFrameSize),
                                                   kPropertyListDataKey);
}

QVariantMap QImageCompressionSettings::settingsDictionaryWithOutputFrameSize(QSizeF outputFrameSize) {
    QVariantMap dictionary;
    dictionary.insert(kInputFrameSizeKey, SizeDictionary(inputFrameSize()));
    dictionary.insert(kOutputFrameSizeKey, SizeDictionary(outputFrameSize));
    if (mComponent != nullptr) {
        const QByteArray componentData = mComponent->settingsData();
        if (!componentData.isEmpty()) dictionary.insert(kComponentDataKey, componentData);
    }
    return dictionary;
}

std::unique_ptr<QImageCompressionSettings> QImageCompressionSettings::compressionSettings() {
    return compressionSettingsWithOutputFrameSize(outputFrameSize());
}

std::unique_ptr<QImageCompressionSettings>
QImageCompressionSettings::compressionSettingsWithOutputFrameSize(QSizeF outputFrameSize) {
    return std::make_unique<QImageCompressionSettings>(settingsDataWithOutputFrameSize(outputFrameSize));
}

void QImageCompressionSettings::setInputFrameSize(QSizeF size) {
    mInputFrameWidth = PixelCount(size.width());
    mInputFrameHeight = PixelCount(size.height());
    if (mOutputFrameWidth == 0) mOutputFrameWidth = mInputFrameWidth;
    if (mOutputFrameHeight == 0) mOutputFrameHeight = mInputFrameHeight;
}

void QImageCompressionSettings::setOutputFrameSize(QSizeF size) {
    mOutputFrameWidth = PixelCount(size.width());
    mOutputFrameHeight = PixelCount(size.height());
}

CodecType QImageCompressionSettings::codecType() { return mComponent != nullptr ? mComponent->codecType() : 0; }

QString QImageCompressionSettings::codecTypeName() {
    return QStandardCompressionComponent::codecNameForCodecType(codecType());
}

QString QImageCompressionSettings::codecTypeFourCharCode() {
    return QStandardCompressionComponent::codecTypeFourCharCode(codecType());
}

double QImageCompressionSettings::frameRate() { return mComponent != nullptr ? mComponent->frameRate() : 0.0; }

void QImageCompressionSettings::setFrameRate(double framesPerSecond) {
    if (mComponent == nullptr) return;
    const double before = frameRate();
    mComponent->setFrameRate(framesPerSecond);
    noteFrameRateChange(before);
}

ICMCompressionSessionOptionsPtr QImageCompressionSettings::compressionOptions() {
    return mComponent != nullptr ? mComponent->compressionOptions() : nullptr;
}

void QImageCompressionSettings::actionDisplaySettingsDialog(QObject *) {
    const QSet<QString> &keys = compressionSettingsKeySet();
    MultipleKVO::willChangeValueForMultipleKeys(this, keys);
    if (mComponent != nullptr && mComponent->displaySequenceSettingsDialog())
        mComponent->savePreferencesWithKey(preferencesKey());
    MultipleKVO::didChangeValueForMultipleKeys(this, keys);
}

void QImageCompressionSettings::noteFrameRateChange(double before) {
    if (frameRate() != before) emit frameRateChanged();
}

bool import_QImageCompressionSettings() {
    return import_CoreMachDebugLog() && import_QStandardCompressionComponent() &&
           import_NSDictionaryPropertyListArchiving() && import_NSObject_MultipleKVO();
}
