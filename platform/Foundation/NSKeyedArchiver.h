// Keyed archives: object graphs written in the keyed-archive layout of an XML property list
// ({"$archiver": "NSKeyedArchiver", "$version": 100000, "$top": {key: UID},
// "$objects": ["$null", ...]}), where objects refer to each other by UID (an index into
// $objects) and each archived class is a dictionary {"$classname", "$classes"}.
//
// Values and their archive classes:
//   QString                  NSString      (inline string)
//   bool, integers, reals    NSNumber      (inline boolean, integer or real)
//   QByteArray               NSData        (inline data)
//   QDateTime                NSDate        {"NS.time": seconds since 2001-01-01 UTC}
//   QVariantList             NSArray       {"NS.objects": [UIDs]}
//   QVariantMap              NSDictionary  {"NS.keys": [UIDs], "NS.objects": [UIDs]}
//   QColor                   NSColor       {"NSColorSpace": 1, "NSRGB": "r g b a" text}
//   NSCodingObject           the class name it was registered with (NS_REGISTER_CODING_CLASS)
// A nil value is UID 0 ("$null"). Archiving any other value raises
// "NSInvalidArchiveOperationException".
//
// Decoding accepts only the classes the caller lists, by the names above (a mutable class name
// in the archive, such as NSMutableDictionary, counts as its immutable class); every object
// of the graph, the root included, must be of a listed class. Every failure raises
// NSException "NSInvalidUnarchiveOperationException" with the reason: data that is not a
// property list (truncated XML, for instance) or not a keyed archive, a class outside the
// list or unknown, a UID past the end of $objects, a cycle, nesting deeper than kMaxDepth, a
// malformed object, and a root of another class than the one asked for. A key that the
// archive does not hold decodes as nil (a null QVariant) without raising.
#pragma once

#include <Foundation/NSException.h>

#include <QByteArray>
#include <QHash>
#include <QMetaType>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <typeinfo>
#include <vector>

class NSCoder;

// The archivable classes of the program: encodeWithCoder writes the object's values under
// keys, initWithCoder reads them back into a new object (false: the archive is unreadable).
class NSCoding {
public:
    virtual ~NSCoding() = default;
    virtual void encodeWithCoder(NSCoder &coder) const = 0;
    virtual bool initWithCoder(NSCoder &coder) = 0;
};

// Archivable objects travel in QVariants as shared pointers.
using NSCodingObject = std::shared_ptr<NSCoding>;
Q_DECLARE_METATYPE(NSCodingObject)

// Registration by class name, used by NS_REGISTER_CODING_CLASS (a default-constructible class
// deriving from NSCoding). A second registration of a name replaces the first.
void NSRegisterCodingClass(const char *name, const std::type_info &type, NSCodingObject (*create)());
// The registered name of the object's class; "" when it is not registered.
QString NSCodingClassName(const NSCoding &object);

#define NS_REGISTER_CODING_CLASS(Class)                                                           \
    [[maybe_unused]] static const bool ns_coding_class_registered_##Class = (NSRegisterCodingClass( \
        #Class, typeid(Class), []() -> NSCodingObject { return std::make_shared<Class>(); }), true)

// The coder an archivable object writes to or reads from. Encoding on an unarchiver or
// decoding on an archiver raises "NSInvalidArgumentException".
class NSCoder {
public:
    virtual ~NSCoder() = default;

    virtual void encodeObject(const QVariant &value, const QString &key);
    virtual void encodeBool(bool value, const QString &key);
    virtual void encodeInteger(qint64 value, const QString &key);
    virtual void encodeDouble(double value, const QString &key);

    virtual bool containsValueForKey(const QString &key) const;
    virtual QVariant decodeObject(const QString &key);
    // Missing keys decode as false / 0 / 0.0.
    virtual bool decodeBool(const QString &key);
    virtual qint64 decodeInteger(const QString &key);
    virtual double decodeDouble(const QString &key);
};

class NSKeyedArchiver : public NSCoder {
public:
    NSKeyedArchiver();
    ~NSKeyedArchiver() override;
    NSKeyedArchiver(const NSKeyedArchiver &) = delete;
    NSKeyedArchiver &operator=(const NSKeyedArchiver &) = delete;

    void encodeObject(const QVariant &value, const QString &key) override;
    void encodeBool(bool value, const QString &key) override;
    void encodeInteger(qint64 value, const QString &key) override;
    void encodeDouble(double value, const QString &key) override;

    // Ends the archive and answers its XML data (the same data when called again).
    QByteArray finishEncoding();

    // The XML archive of one object under the key.
    static QByteArray archivedDataWithRootObject(const QVariant &root, const QString &key = QStringLiteral("root"));

private:
    struct State;
    std::unique_ptr<State> mState;
};

class NSKeyedUnarchiver : public NSCoder {
public:
    static constexpr int kMaxDepth = 256;

    // The property-list classes: NSString, NSNumber, NSData, NSDate, NSArray, NSDictionary.
    static QStringList propertyListClasses();

    // Reads and checks the archive layout; raises "NSInvalidUnarchiveOperationException".
    NSKeyedUnarchiver(const QByteArray &data, const QStringList &allowedClasses);
    ~NSKeyedUnarchiver() override;
    NSKeyedUnarchiver(const NSKeyedUnarchiver &) = delete;
    NSKeyedUnarchiver &operator=(const NSKeyedUnarchiver &) = delete;

    // Keys of the object being decoded ($top at the outermost level).
    bool containsValueForKey(const QString &key) const override;
    QVariant decodeObject(const QString &key) override;
    bool decodeBool(const QString &key) override;
    qint64 decodeInteger(const QString &key) override;
    double decodeDouble(const QString &key) override;

    // decodeObject, then raises unless the value is nil or of the class.
    QVariant decodeObjectOfClass(const QString &className, const QString &key);

    // The object under the key, which must be nil or of rootClass; rootClass and the other
    // allowed classes may appear in the graph.
    static QVariant unarchivedObjectOfClass(const QString &rootClass, const QStringList &allowedClasses,
                                            const QByteArray &data, const QString &key = QStringLiteral("root"));

    // The archive class of a decoded value ("" for nil).
    static QString classNameOfValue(const QVariant &value);

private:
    struct State;
    std::unique_ptr<State> mState;
};
