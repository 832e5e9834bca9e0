// UILocalLanguageNSSegmentedControl: a segmented control whose segment labels follow the
// interface language.
//
// A segment label is addressed by a key path that ends with "segment.<n>.label" (n the segment
// number from 0); the whole key path is also the label's string ID
// ("app.panel.mode.segment.1.label"). Setting such a key path to a text records the first text
// given under the key path in defaultLanguage, registers the label the segment showed then (the
// nib's label) as the ID's US English default, and shows the ID's text in the selected language
// (the given text when no source knows the ID). After every language change
// (UILocalLanguageControllerDidChangeLanguage) each recorded segment shows its ID's text again.
//
// In a nib the labels are bound by listing their string IDs, one per segment, in the string list
// "localizedSegmentKeyPaths" ("" leaves a segment unbound); awakeFromNib binds each listed ID with
// the segment's nib label. Code binds a label with setValueForKeyPath.
//
// Key-value coding reaches these operations through the Q_INVOKABLE valueForKeyPath /
// setValueForKeyPath of the control; other key paths walk the control's properties as usual, and
// setValueForUndefinedKey ignores a key the control does not have.
#pragma once

#include <AppKit/NSSegmentedControl.h>
#include <Foundation/NSNotification.h>

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

class UILocalLanguageNSSegmentedControl : public NSSegmentedControl {
    Q_OBJECT
    Q_PROPERTY(QVariantMap defaultLanguage READ defaultLanguage WRITE setDefaultLanguage)
    Q_PROPERTY(QStringList localizedSegmentKeyPaths READ localizedSegmentKeyPaths WRITE setLocalizedSegmentKeyPaths)

public:
    Q_INVOKABLE explicit UILocalLanguageNSSegmentedControl(QWidget *parent = nullptr);
    ~UILocalLanguageNSSegmentedControl() override;

    // {key path: first label given} of every bound segment label.
    QVariantMap defaultLanguage() const { return mDefaultLanguage; }
    void setDefaultLanguage(const QVariantMap &defaultLanguage) { mDefaultLanguage = defaultLanguage; }
    QStringList localizedSegmentKeyPaths() const { return mLocalizedSegmentKeyPaths; }
    void setLocalizedSegmentKeyPaths(const QStringList &keyPaths) { mLocalizedSegmentKeyPaths = keyPaths; }

    // The first segment whose "segment.<n>.label" ends the key path; -1 when none.
    int isLocalizedSegmentLabelWithKeyPath(const QString &keyPath) const;

    // A segment key path: the ID's text, else the segment's label. Other key paths: the walk
    // over the control's properties.
    Q_INVOKABLE QVariant valueForKeyPath(const QString &keyPath);
    // A segment key path with a text: records it and shows the ID's text; a value that is not a
    // text is ignored. Other key paths: the walk over the control's properties.
    Q_INVOKABLE void setValueForKeyPath(const QVariant &value, const QString &keyPath);
    // Ignores the key.
    Q_INVOKABLE void setValueForUndefinedKey(const QVariant &value, const QString &key);

    // When defaultLanguage lacks the key path: keeps the default label under it and registers
    // the segment's current label as the ID's default text.
    void setSegmentNumberDefaultLabel(int segment, const QString &defaultLabel, const QString &localizedDefaultLabel,
                                      const QString &keyPath);
    // Shows the ID's text, else the given label.
    void setSegmentNumberLocalizedLabel(int segment, const QString &localizedLabel, const QString &keyPath);
    // Relabels every recorded segment with its ID's text, when the ID has one.
    Q_INVOKABLE void languageSettingsChangedRefreshSegmentLabels(const NSNotification &notification);

    // Binds the listed string IDs (localizedSegmentKeyPaths) and observes language changes.
    Q_INVOKABLE void awakeFromNib();

private:
    QVariantMap mDefaultLanguage;
    QStringList mLocalizedSegmentKeyPaths;
    bool mObserving = false;
};

bool import_UILocalLanguageNSSegmentedControl();
