// User defaults: the settings of one application, kept in the XML property list
// "$XDG_CONFIG_HOME/<application identifier>.plist" (~/.config when the variable is unset).
//
// Values are property lists (NSPropertyList.h). A value is looked up in the stored settings,
// then in the registered defaults. Setting or removing changes memory only; synchronize
// writes the file atomically (a temporary file renamed over the old one) when something
// changed. A missing file is an empty store; a file that cannot be read is logged and treated
// as empty, and is replaced at the next synchronize. All members are thread-safe.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <mutex>

class NSUserDefaults {
public:
    // The settings of this application: identified by the main bundle's CFBundleIdentifier
    // when the program runs from a bundle, else by the Qt application's organisation domain
    // and name, else by the program's file name. Never destroyed.
    static NSUserDefaults &standardUserDefaults();

    // The settings stored under an application identifier (a file name: no "/").
    explicit NSUserDefaults(const QString &applicationIdentifier);
    NSUserDefaults(const NSUserDefaults &) = delete;
    NSUserDefaults &operator=(const NSUserDefaults &) = delete;

    const QString &applicationIdentifier() const { return mIdentifier; }
    // The file the settings are kept in.
    QString filePath() const;

    QVariant objectForKey(const QString &key);
    // A string, or a number as text; null otherwise.
    QString stringForKey(const QString &key);
    // Numbers, and strings that read as numbers ("YES"/"true" are true); false / 0 otherwise.
    bool boolForKey(const QString &key);
    qint64 integerForKey(const QString &key);
    float floatForKey(const QString &key);
    double doubleForKey(const QString &key);
    // Values of exactly that kind; empty otherwise.
    QByteArray dataForKey(const QString &key);
    QVariantList arrayForKey(const QString &key);
    QVariantMap dictionaryForKey(const QString &key);

    // A nil value removes the key. A value that is not a property list raises
    // "NSInvalidArgumentException" and changes nothing.
    void setObject(const QVariant &value, const QString &key);
    void setBool(bool value, const QString &key);
    void setInteger(qint64 value, const QString &key);
    void setFloat(float value, const QString &key);
    void setDouble(double value, const QString &key);
    void removeObject(const QString &key);

    // Defaults answered for keys without a stored value (not written to the file).
    void registerDefaults(const QVariantMap &defaults);
    // The stored values merged over the registered defaults.
    QVariantMap dictionaryRepresentation();

    // Writes the file if something changed; false when it could not be written.
    bool synchronize();

private:
    void loadLocked();

    std::mutex mMutex;
    const QString mIdentifier;
    QVariantMap mValues;
    QVariantMap mRegistered;
    bool mLoaded = false;
    bool mDirty = false;
};
