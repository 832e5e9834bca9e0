#include "UILocalLanguageNSSegmentedControl.h"

#include "UILocalLanguageController.h"

#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(UILocalLanguageNSSegmentedControl);

bool import_UILocalLanguageNSSegmentedControl() { return import_UILocalLanguageController(); }

namespace {

QString SegmentLabelPattern(int segment) { return QStringLiteral("segment.%1.label").arg(segment); }

}  // namespace

UILocalLanguageNSSegmentedControl::UILocalLanguageNSSegmentedControl(QWidget *parent) : NSSegmentedControl(parent) {}

UILocalLanguageNSSegmentedControl::~UILocalLanguageNSSegmentedControl() {
    if (mObserving) NSNotificationCenter::defaultCenter().removeObserver(this);
}

int UILocalLanguageNSSegmentedControl::isLocalizedSegmentLabelWithKeyPath(const QString &keyPath) const {
    for (int segment = 0; segment < segmentCount(); ++segment)
        if (keyPath.endsWith(SegmentLabelPattern(segment))) return segment;
    return -1;
}

QVariant UILocalLanguageNSSegmentedControl::valueForKeyPath(const QString &keyPath) {
    const int segment = isLocalizedSegmentLabelWithKeyPath(keyPath);
    if (segment < 0) return NSKeyValueCoding::walkValueForKeyPath(this, keyPath);
    const QString text = UILocalLanguageController::stringWithID(keyPath);
    return text.isNull() ? QVariant(labelForSegment(segment)) : QVariant(text);
}

void UILocalLanguageNSSegmentedControl::setValueForKeyPath(const QVariant &value, const QString &keyPath) {
    const int segment = isLocalizedSegmentLabelWithKeyPath(keyPath);
    if (segment < 0) {
        NSKeyValueCoding::walkSetValueForKeyPath(this, value, keyPath);
        return;
    }
    if (value.typeId() != QMetaType::QString) return;
    const QString label = value.toString();
    setSegmentNumberDefaultLabel(segment, label, label, keyPath);
    setSegmentNumberLocalizedLabel(segment, label, keyPath);
}

void UILocalLanguageNSSegmentedControl::setValueForUndefinedKey(const QVariant &, const QString &) {}

void UILocalLanguageNSSegmentedControl::setSegmentNumberDefaultLabel(int segment, const QString &defaultLabel,
                                                                     const QString &, const QString &keyPath) {
    if (mDefaultLanguage.contains(keyPath)) return;
    mDefaultLanguage.insert(keyPath, defaultLabel);
    const QString nibLabel = labelForSegment(segment);
    if (!nibLabel.isNull()) UILocalLanguageController::registerDefaultValue(nibLabel, keyPath);
}

void UILocalLanguageNSSegmentedControl::setSegmentNumberLocalizedLabel(int segment, const QString &localizedLabel,
                                                                       const QString &keyPath) {
    const QString text = UILocalLanguageController::stringWithID(keyPath);
    setLabel(text.isNull() ? localizedLabel : text, segment);
}

void UILocalLanguageNSSegmentedControl::languageSettingsChangedRefreshSegmentLabels(const NSNotification &) {
    for (auto entry = mDefaultLanguage.constBegin(); entry != mDefaultLanguage.constEnd(); ++entry) {
        const int segment = isLocalizedSegmentLabelWithKeyPath(entry.key());
        if (segment < 0) continue;
        const QString text = UILocalLanguageController::stringWithID(entry.key());
        if (!text.isNull()) setLabel(text, segment);
    }
}

void UILocalLanguageNSSegmentedControl::awakeFromNib() {
    for (int segment = 0; segment < mLocalizedSegmentKeyPaths.size() && segment < segmentCount(); ++segment) {
        const QString keyPath = mLocalizedSegmentKeyPaths.at(segment);
        if (keyPath.isEmpty()) continue;
        if (isLocalizedSegmentLabelWithKeyPath(keyPath) != segment) {
            NSLog(QStringLiteral("UILocalLanguageNSSegmentedControl: %1 does not name segment %2").arg(keyPath).arg(segment));
            continue;
        }
        setValueForKeyPath(labelForSegment(segment), keyPath);
    }
    if (!mObserving) {
        NSNotificationCenter::defaultCenter().addObserver(this, "languageSettingsChangedRefreshSegmentLabels",
                                                          UILocalLanguageControllerDidChangeLanguage, nullptr);
        mObserving = true;
    }
}
