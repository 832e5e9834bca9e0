// protocol_NSUIBookmarksTarget: the bookmark target, the object whose settings a bookmark
// captures and applies. A target derives from this class and overrides
// setSettingsDictionary and currentSettingsDictionary (and currentSettingsDictionaryName);
// the conversions to and from the code string (NSUIDesignCodes) come with it.
#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

class protocol_NSUIBookmarksTarget {
public:
    virtual ~protocol_NSUIBookmarksTarget();

    // Applies a settings dictionary; does nothing and answers false here.
    virtual bool setSettingsDictionary(const QVariantMap &settings);
    // The target's settings (every parameter when asked); the empty settings dictionary here.
    virtual QVariantMap currentSettingsDictionary(bool includeAllParameters);
    // The name of a new bookmark made from the target's settings.
    virtual QString currentSettingsDictionaryName();

    // {"com.tarvex.version": 1}
    static QVariantMap emptySettingsDictionary();
    // The code string of the dictionary with the default identifier, values as strings.
    static QString scriptFromDictionary(const QVariantMap &dictionary);

    // Parses the text and applies it with setSettingsDictionary (a text without entries
    // passes an empty dictionary); false for a null text.
    bool setSettingsDictionaryScript(const QString &script);
    QString currentSettingsDictionaryScript(bool includeAllParameters);
    QString currentSettingsDictionaryScript();
    QString emptySettingsDictionaryScript();
    // Reads the text of the sender (or of its "dataSource" when it has one) through its
    // "stringValue" and applies it when it is not empty.
    void takeSettingsDictionaryScriptFrom(QObject *sender);
    bool setSettingsDictionaryStrings(const QVariantMap &settings);
    // Sends "setStringValue" with the current settings script to the receiver (when it answers it).
    void pushSettingsDictionaryScriptTo(QObject *receiver);
};

bool import_NSUIBookmarksTarget();
