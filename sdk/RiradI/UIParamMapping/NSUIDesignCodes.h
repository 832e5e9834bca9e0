// NSUIDesignCodes: one settings dictionary with a title and an identifier, its code string
// (the plain-text form bookmarks, designs and pasteboard text travel in) and the
// requirement tests that design filters use.
//
// Code string: lines ended by CR LF.
//     <identifier>.begin;
//     <key>=<value>;          one line per entry, keys in case-insensitive order
//     <identifier>.end;
// Keys and values are written with these escapes, and the reader undoes them:
//     "\\" backslash   "\;" semicolon   "\=" equals sign   "\r" CR   "\n" LF
// A backslash before any other character (or at the end) is an ordinary character, so
// text without escapes reads exactly as it always did. Non-string values are written as
// text (numbers as numbers, booleans as 1 or 0, arrays and dictionaries as compact JSON) and
// read back as strings.
//
// The reader ignores line breaks (they carry no meaning and are removed first), splits the
// text at unescaped ";" into statements and keeps each statement with exactly one
// unescaped "=" as key and value, unchanged (no trimming). Markers are not required and
// their identifier is not checked.
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>

class NSUIDesignCodes : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString identifier READ identifier WRITE setIdentifier)
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(QVariantMap dictionary READ dictionary WRITE setDictionary)

public:
    static constexpr char kDefaultIdentifier[] = "com.tarvex.bookmark";
    static constexpr char kDefaultTitle[] = "Bookmark";

    // initWithCodeString:title:identifier: sets title and identifier and parses the text;
    // the object exists whether or not the text held an entry.
    NSUIDesignCodes(const QString &codeString, const QString &title, const QString &identifier,
                    QObject *parent = nullptr);
    ~NSUIDesignCodes() override;

    static std::unique_ptr<NSUIDesignCodes> codesWithCodeString(const QString &codeString,
                                                                const QString &title,
                                                                const QString &identifier);
    static std::unique_ptr<NSUIDesignCodes> codesWithCodeString(const QString &codeString,
                                                                const QString &title);
    static std::unique_ptr<NSUIDesignCodes> codesWithCodeString(const QString &codeString);
    // The dictionary written as text with the default identifier and read back: every
    // value becomes a string.
    static std::unique_ptr<NSUIDesignCodes> codesWithCodeDictionary(const QVariantMap &dictionary);

    static QString codeStringFromDictionary(const QVariantMap &dictionary);
    static QString codeStringFromDictionary(const QVariantMap &dictionary, const QString &identifier);
    // "<identifier>.begin;\r\n" and "<identifier>.end;\r\n"; the identifier is not checked.
    static QString beginCodeMarker(const QString &identifier);
    static QString endCodeMarker(const QString &identifier);
    QString beginCodeMarker() const;
    QString endCodeMarker() const;

    QString codeString() const;
    // Parses the text into the dictionary (emptied first). A null text changes nothing and
    // answers false; otherwise true when at least one entry was stored.
    bool setCodeString(const QString &codeString);
    QVariantMap codeDictionary() const;
    // Writes the dictionary as text with this object's identifier and parses that text.
    void setCodeDictionary(const QVariantMap &dictionary);
    // The value of a key; an invalid QVariant when absent.
    QVariant objectForKey(const QString &key) const;

    // True when the key is present and (its integer value is not 0) equals the flag.
    bool hasBooleanValue(const QString &key, bool booleanValue) const;
    // True when the key is present and its dotted version is above the given one, compared
    // component by component with missing components as 0 ("2.1" is above "2.0.4").
    bool isVersionRequiredAndNotMet(const QString &key, const QString &versionStringValue) const;
    // True when the key is present and its number is above the given one (numerically:
    // "10" is above 2).
    bool isDoubleValueRequiredAndNotMet(const QString &key, double versionDoubleValue) const;

    // "<NSUIDesignCodes title:%@>"
    QString description() const;

    QString identifier() const { return mIdentifier; }
    void setIdentifier(const QString &identifier) { mIdentifier = identifier; }
    QString title() const { return mTitle; }
    void setTitle(const QString &title) { mTitle = title; }
    QVariantMap dictionary() const { return mDictionary; }
    void setDictionary(const QVariantMap &dictionary) { mDictionary = dictionary; }

    // The text a value is written as (before escaping); an invalid value gives a null string.
    static QString valueString(const QVariant &value);
    // Escaping of one key or value, and its inverse.
    static QString escapeCodeText(const QString &text);
    static QString unescapeCodeText(const QString &text);

private:
    QString mIdentifier;
    QString mTitle;
    QVariantMap mDictionary;
};

bool import_NSUIDesignCodes();
