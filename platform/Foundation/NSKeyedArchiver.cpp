#include <Foundation/NSKeyedArchiver.h>

#include <Foundation/NSNumber.h>

#include "PropertyListInternal.h"

#include <QColor>
#include <QHash>
#include <QTimeZone>

#include <cmath>
#include <mutex>
#include <typeindex>
#include <unordered_map>

using namespace lumora::foundation;

namespace {

constexpr uint64_t kArchiveVersion = 100000;

struct CodingClass {
    QString name;
    NSCodingObject (*create)() = nullptr;
};

struct CodingRegistry {
    std::mutex mMutex;
    QHash<QString, CodingClass> mByName;
    std::unordered_map<std::type_index, QString> mNameByType;

    static CodingRegistry &Shared() {
        static CodingRegistry *registry = new CodingRegistry;
        return *registry;
    }

    NSCodingObject (*creator(const QString &name))() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mByName.value(name).create;
    }
};

bool IsList(const QVariant &value) {
    return value.metaType().id() == QMetaType::QVariantList || value.metaType().id() == QMetaType::QStringList;
}

bool IsMap(const QVariant &value) {
    return value.metaType().id() == QMetaType::QVariantMap || value.metaType().id() == QMetaType::QVariantHash;
}

[[noreturn]] void RaiseArchive(const QString &reason) { NSException::raise(NSInvalidArchiveOperationException, reason); }
[[noreturn]] void RaiseUnarchive(const QString &reason) {
    NSException::raise(NSInvalidUnarchiveOperationException, reason);
}

plist_t DictItem(plist_t dictionary, const char *key) {
    return plist_get_node_type(dictionary) == PLIST_DICT ? plist_dict_get_item(dictionary, key) : nullptr;
}

}  // namespace

// ---- Registration --------------------------------------------------------------------------

void NSRegisterCodingClass(const char *name, const std::type_info &type, NSCodingObject (*create)()) {
    CodingRegistry &registry = CodingRegistry::Shared();
    std::lock_guard<std::mutex> lock(registry.mMutex);
    const QString className = QString::fromLatin1(name);
    registry.mByName.insert(className, CodingClass{className, create});
    registry.mNameByType[std::type_index(type)] = className;
}

QString NSCodingClassName(const NSCoding &object) {
    CodingRegistry &registry = CodingRegistry::Shared();
    std::lock_guard<std::mutex> lock(registry.mMutex);
    const auto it = registry.mNameByType.find(std::type_index(typeid(object)));
    return it != registry.mNameByType.end() ? it->second : QString();
}

// ---- NSCoder -------------------------------------------------------------------------------

namespace {
[[noreturn]] void RaiseWrongDirection(const char *what) {
    NSException::raise(NSInvalidArgumentException, QStringLiteral("%1 is not available on this coder").arg(what));
}
}  // namespace

void NSCoder::encodeObject(const QVariant &, const QString &) { RaiseWrongDirection("encodeObject"); }
void NSCoder::encodeBool(bool, const QString &) { RaiseWrongDirection("encodeBool"); }
void NSCoder::encodeInteger(qint64, const QString &) { RaiseWrongDirection("encodeInteger"); }
void NSCoder::encodeDouble(double, const QString &) { RaiseWrongDirection("encodeDouble"); }
bool NSCoder::containsValueForKey(const QString &) const { RaiseWrongDirection("containsValueForKey"); }
QVariant NSCoder::decodeObject(const QString &) { RaiseWrongDirection("decodeObject"); }
bool NSCoder::decodeBool(const QString &) { RaiseWrongDirection("decodeBool"); }
qint64 NSCoder::decodeInteger(const QString &) { RaiseWrongDirection("decodeInteger"); }
double NSCoder::decodeDouble(const QString &) { RaiseWrongDirection("decodeDouble"); }

// ---- Archiver ------------------------------------------------------------------------------

struct NSKeyedArchiver::State {
    PlistPtr mObjects{plist_new_array()};
    PlistPtr mTop{plist_new_dict()};
    std::vector<plist_t> mScopes;  // the dictionary that keys are written into
    QHash<QString, uint64_t> mClassUids;
    std::unordered_map<const NSCoding *, uint64_t> mEncodedObjects;
    std::unordered_map<const NSCoding *, bool> mInProgress;
    int mDepth = 0;
    bool mFinished = false;
    QByteArray mData;

    uint64_t append(plist_t node) {
        const uint64_t uid = plist_array_get_size(mObjects.get());
        plist_array_append_item(mObjects.get(), node);
        return uid;
    }

    uint64_t reserve() { return append(plist_new_string("$null")); }

    void fill(uint64_t uid, plist_t node) { plist_array_set_item(mObjects.get(), node, uint32_t(uid)); }

    uint64_t classUid(const QString &name) {
        const auto it = mClassUids.constFind(name);
        if (it != mClassUids.cend()) return *it;
        plist_t description = plist_new_dict();
        plist_t classes = plist_new_array();
        plist_array_append_item(classes, plist_new_string(name.toUtf8().constData()));
        plist_array_append_item(classes, plist_new_string("NSObject"));
        plist_dict_set_item(description, "$classes", classes);
        plist_dict_set_item(description, "$classname", plist_new_string(name.toUtf8().constData()));
        const uint64_t uid = append(description);
        mClassUids.insert(name, uid);
        return uid;
    }

    void setClass(plist_t dictionary, const QString &name) {
        plist_dict_set_item(dictionary, "$class", plist_new_uid(classUid(name)));
    }

    uint64_t encode(NSKeyedArchiver &archiver, const QVariant &value);
};

uint64_t NSKeyedArchiver::State::encode(NSKeyedArchiver &archiver, const QVariant &value) {
    if (!value.isValid()) return 0;
    if ((value.metaType().flags() & QMetaType::PointerToQObject) &&
        *static_cast<QObject *const *>(value.constData()) == nullptr)
        return 0;
    if (mDepth >= NSKeyedUnarchiver::kMaxDepth) RaiseArchive(QStringLiteral("archive nested too deep"));
    struct Level {
        int &depth;
        explicit Level(int &d) : depth(d) { ++depth; }
        ~Level() { --depth; }
    } level(mDepth);

    const int type = value.metaType().id();
    if (NSIsNumberValue(value) || type == QMetaType::QString || type == QMetaType::QByteArray) {
        QString error;
        PlistPtr node = PlistFromVariant(value, &error);
        if (!node) RaiseArchive(error);
        return append(node.release());
    }
    if (type == QMetaType::QDateTime) {
        const QDateTime date = value.toDateTime();
        if (!date.isValid()) RaiseArchive(QStringLiteral("invalid date"));
        plist_t node = plist_new_dict();
        plist_dict_set_item(node, "NS.time",
                            plist_new_real(double(date.toMSecsSinceEpoch()) / 1000.0 - double(kReferenceDateOffset)));
        setClass(node, QStringLiteral("NSDate"));
        return append(node);
    }
    if (type == QMetaType::QColor) {
        const QColor color = value.value<QColor>().toRgb();
        if (!color.isValid()) return 0;  // no colour: nil
        plist_t node = plist_new_dict();
        plist_dict_set_item(node, "NSColorSpace", plist_new_uint(1));
        const QByteArray components = QByteArray::number(double(color.redF()), 'g', 9) + ' ' +
                                      QByteArray::number(double(color.greenF()), 'g', 9) + ' ' +
                                      QByteArray::number(double(color.blueF()), 'g', 9) + ' ' +
                                      QByteArray::number(double(color.alphaF()), 'g', 9);
        plist_dict_set_item(node, "NSRGB", plist_new_data(components.constData(), uint64_t(components.size()) + 1));
        setClass(node, QStringLiteral("NSColor"));
        return append(node);
    }
    if (IsList(value)) {
        const uint64_t uid = reserve();
        plist_t references = plist_new_array();
        PlistPtr holder(references);
        for (const QVariant &element : value.toList())
            plist_array_append_item(references, plist_new_uid(encode(archiver, element)));
        plist_t node = plist_new_dict();
        plist_dict_set_item(node, "NS.objects", holder.release());
        setClass(node, QStringLiteral("NSArray"));
        fill(uid, node);
        return uid;
    }
    if (IsMap(value)) {
        const uint64_t uid = reserve();
        PlistPtr keys(plist_new_array());
        PlistPtr objects(plist_new_array());
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            plist_array_append_item(keys.get(), plist_new_uid(encode(archiver, it.key())));
            plist_array_append_item(objects.get(), plist_new_uid(encode(archiver, it.value())));
        }
        plist_t node = plist_new_dict();
        plist_dict_set_item(node, "NS.keys", keys.release());
        plist_dict_set_item(node, "NS.objects", objects.release());
        setClass(node, QStringLiteral("NSDictionary"));
        fill(uid, node);
        return uid;
    }
    if (value.metaType() == QMetaType::fromType<NSCodingObject>()) {
        const NSCodingObject object = value.value<NSCodingObject>();
        if (!object) return 0;
        const auto done = mEncodedObjects.find(object.get());
        if (done != mEncodedObjects.end()) return done->second;
        const QString name = NSCodingClassName(*object);
        const NSCoding &coding = *object;
        if (name.isEmpty()) RaiseArchive(QStringLiteral("%1 is not a registered archivable class").arg(typeid(coding).name()));
        if (mInProgress.count(object.get()) != 0) RaiseArchive(QStringLiteral("%1 refers to itself").arg(name));
        const uint64_t uid = reserve();
        mInProgress[object.get()] = true;
        PlistPtr node(plist_new_dict());
        mScopes.push_back(node.get());
        struct Leave {
            State &state;
            const NSCoding *object;
            ~Leave() {
                state.mScopes.pop_back();
                state.mInProgress.erase(object);
            }
        } leave{*this, object.get()};
        object->encodeWithCoder(archiver);
        setClass(node.get(), name);
        fill(uid, node.release());
        mEncodedObjects[object.get()] = uid;
        return uid;
    }
    RaiseArchive(QStringLiteral("a %1 cannot be archived")
                     .arg(value.isValid() ? QString::fromLatin1(value.metaType().name()) : QStringLiteral("nil")));
}

NSKeyedArchiver::NSKeyedArchiver() : mState(std::make_unique<State>()) {
    plist_array_append_item(mState->mObjects.get(), plist_new_string("$null"));
    mState->mScopes.push_back(mState->mTop.get());
}

NSKeyedArchiver::~NSKeyedArchiver() = default;

namespace {
void SetKey(plist_t scope, const QString &key, plist_t node) {
    const QByteArray name = key.toUtf8();
    if (name.contains('\0')) {
        plist_free(node);
        RaiseArchive(QStringLiteral("key with a NUL character"));
    }
    plist_dict_set_item(scope, name.constData(), node);
}
}  // namespace

void NSKeyedArchiver::encodeObject(const QVariant &value, const QString &key) {
    if (mState->mFinished) RaiseArchive(QStringLiteral("encodeObject after finishEncoding"));
    const uint64_t uid = mState->encode(*this, value);
    SetKey(mState->mScopes.back(), key, plist_new_uid(uid));
}

void NSKeyedArchiver::encodeBool(bool value, const QString &key) {
    if (mState->mFinished) RaiseArchive(QStringLiteral("encodeBool after finishEncoding"));
    SetKey(mState->mScopes.back(), key, plist_new_bool(value ? 1 : 0));
}

void NSKeyedArchiver::encodeInteger(qint64 value, const QString &key) {
    if (mState->mFinished) RaiseArchive(QStringLiteral("encodeInteger after finishEncoding"));
    SetKey(mState->mScopes.back(), key, plist_new_uint(uint64_t(value)));
}

void NSKeyedArchiver::encodeDouble(double value, const QString &key) {
    if (mState->mFinished) RaiseArchive(QStringLiteral("encodeDouble after finishEncoding"));
    SetKey(mState->mScopes.back(), key, plist_new_real(value));
}

QByteArray NSKeyedArchiver::finishEncoding() {
    if (mState->mFinished) return mState->mData;
    mState->mFinished = true;
    PlistPtr root(plist_new_dict());
    plist_dict_set_item(root.get(), "$version", plist_new_uint(kArchiveVersion));
    plist_dict_set_item(root.get(), "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_dict_set_item(root.get(), "$top", mState->mTop.release());
    plist_dict_set_item(root.get(), "$objects", mState->mObjects.release());
    mState->mData = XmlFromPlist(root.get());
    return mState->mData;
}

QByteArray NSKeyedArchiver::archivedDataWithRootObject(const QVariant &root, const QString &key) {
    NSKeyedArchiver archiver;
    archiver.encodeObject(root, key);
    return archiver.finishEncoding();
}

// ---- Unarchiver ----------------------------------------------------------------------------

struct NSKeyedUnarchiver::State {
    PlistPtr mRoot;
    plist_t mObjects = nullptr;
    uint64_t mCount = 0;
    QSet<QString> mAllowed;
    std::vector<plist_t> mScopes;
    QHash<uint64_t, QVariant> mDecoded;
    QSet<uint64_t> mInProgress;
    int mDepth = 0;

    void require(const QString &className) const {
        if (!mAllowed.contains(className))
            RaiseUnarchive(QStringLiteral("the class %1 is not allowed here").arg(className));
    }

    // A UID node, or its XML form {"CF$UID": integer} as the XML reader leaves it.
    uint64_t uidOf(plist_t node) const {
        uint64_t uid = 0;
        if (plist_get_node_type(node) == PLIST_UID) {
            plist_get_uid_val(node, &uid);
            return uid;
        }
        plist_t value = DictItem(node, "CF$UID");
        if (value == nullptr || plist_dict_get_size(node) != 1 || plist_get_node_type(value) != PLIST_UINT)
            RaiseUnarchive(QStringLiteral("a reference that is not a UID"));
        plist_get_uint_val(value, &uid);
        return uid;
    }

    QString classNameOf(plist_t node) const {
        plist_t reference = DictItem(node, "$class");
        if (reference == nullptr) RaiseUnarchive(QStringLiteral("an object without a class"));
        const uint64_t uid = uidOf(reference);
        if (uid == 0 || uid >= mCount) RaiseUnarchive(QStringLiteral("class UID %1 past the end of the objects").arg(uid));
        plist_t name = DictItem(plist_array_get_item(mObjects, uint32_t(uid)), "$classname");
        if (name == nullptr || plist_get_node_type(name) != PLIST_STRING)
            RaiseUnarchive(QStringLiteral("a class without a name"));
        return StringOf(name);
    }

    QVariant decode(NSKeyedUnarchiver &unarchiver, uint64_t uid);
    QVariant decodeObject(NSKeyedUnarchiver &unarchiver, plist_t node);
    std::vector<uint64_t> references(plist_t node, const char *key) const {
        plist_t array = DictItem(node, key);
        if (array == nullptr || plist_get_node_type(array) != PLIST_ARRAY)
            RaiseUnarchive(QStringLiteral("a collection without %1").arg(QLatin1String(key)));
        std::vector<uint64_t> uids;
        const uint32_t size = plist_array_get_size(array);
        uids.reserve(size);
        for (uint32_t i = 0; i < size; ++i) uids.push_back(uidOf(plist_array_get_item(array, i)));
        return uids;
    }
};

QVariant NSKeyedUnarchiver::State::decode(NSKeyedUnarchiver &unarchiver, uint64_t uid) {
    if (uid == 0) return QVariant();
    if (uid >= mCount) RaiseUnarchive(QStringLiteral("UID %1 past the end of the objects (%2)").arg(uid).arg(mCount));
    const auto done = mDecoded.constFind(uid);
    if (done != mDecoded.cend()) return *done;
    if (mInProgress.contains(uid)) RaiseUnarchive(QStringLiteral("object %1 refers to itself").arg(uid));
    if (mDepth >= kMaxDepth) RaiseUnarchive(QStringLiteral("archive nested too deep"));
    mInProgress.insert(uid);
    ++mDepth;
    struct Leave {
        State &state;
        uint64_t uid;
        ~Leave() {
            state.mInProgress.remove(uid);
            --state.mDepth;
        }
    } leave{*this, uid};
    plist_t node = plist_array_get_item(mObjects, uint32_t(uid));
    QVariant value;
    switch (plist_get_node_type(node)) {
    case PLIST_STRING:
        require(QStringLiteral("NSString"));
        value = StringOf(node);
        break;
    case PLIST_BOOLEAN:
    case PLIST_UINT:
    case PLIST_REAL:
        require(QStringLiteral("NSNumber"));
        value = NumberOf(node);
        break;
    case PLIST_DATA: {
        require(QStringLiteral("NSData"));
        QString error;
        value = VariantFromPlist(node, &error);
        break;
    }
    case PLIST_DICT: value = decodeObject(unarchiver, node); break;
    default: RaiseUnarchive(QStringLiteral("object %1 is of no archivable kind").arg(uid));
    }
    mDecoded.insert(uid, value);
    return value;
}

QVariant NSKeyedUnarchiver::State::decodeObject(NSKeyedUnarchiver &unarchiver, plist_t node) {
    const QString name = classNameOf(node);
    if (name == QLatin1String("NSDictionary") || name == QLatin1String("NSMutableDictionary")) {
        require(QStringLiteral("NSDictionary"));
        const std::vector<uint64_t> keys = references(node, "NS.keys");
        const std::vector<uint64_t> objects = references(node, "NS.objects");
        if (keys.size() != objects.size()) RaiseUnarchive(QStringLiteral("a dictionary with unpaired keys"));
        QVariantMap map;
        for (size_t i = 0; i < keys.size(); ++i) {
            const QVariant key = decode(unarchiver, keys[i]);
            if (key.metaType().id() != QMetaType::QString)
                RaiseUnarchive(QStringLiteral("a dictionary key that is not a string"));
            map.insert(key.toString(), decode(unarchiver, objects[i]));
        }
        return map;
    }
    if (name == QLatin1String("NSArray") || name == QLatin1String("NSMutableArray")) {
        require(QStringLiteral("NSArray"));
        QVariantList list;
        for (uint64_t uid : references(node, "NS.objects")) list.append(decode(unarchiver, uid));
        return list;
    }
    if (name == QLatin1String("NSString") || name == QLatin1String("NSMutableString")) {
        require(QStringLiteral("NSString"));
        plist_t text = DictItem(node, "NS.string");
        if (text == nullptr || plist_get_node_type(text) != PLIST_STRING) RaiseUnarchive(QStringLiteral("a string without text"));
        return StringOf(text);
    }
    if (name == QLatin1String("NSData") || name == QLatin1String("NSMutableData")) {
        require(QStringLiteral("NSData"));
        plist_t bytes = DictItem(node, "NS.data");
        if (bytes == nullptr || plist_get_node_type(bytes) != PLIST_DATA) RaiseUnarchive(QStringLiteral("data without bytes"));
        QString error;
        return VariantFromPlist(bytes, &error);
    }
    if (name == QLatin1String("NSDate")) {
        require(QStringLiteral("NSDate"));
        const QVariant time = NumberOf(DictItem(node, "NS.time") != nullptr ? DictItem(node, "NS.time") : node);
        const double seconds = time.toDouble();
        if (!time.isValid() || time.metaType().id() == QMetaType::Bool || !std::isfinite(seconds) ||
            std::fabs(seconds) > 1e13)
            RaiseUnarchive(QStringLiteral("a date without a usable time"));
        return QDateTime::fromMSecsSinceEpoch(qint64(std::llround((seconds + double(kReferenceDateOffset)) * 1000.0)),
                                              QTimeZone::utc());
    }
    if (name == QLatin1String("NSColor")) {
        require(QStringLiteral("NSColor"));
        const QVariant space = NumberOf(DictItem(node, "NSColorSpace") != nullptr ? DictItem(node, "NSColorSpace") : node);
        plist_t rgb = DictItem(node, "NSRGB");
        if (!space.isValid() || (space.toLongLong() != 1 && space.toLongLong() != 2) || rgb == nullptr ||
            plist_get_node_type(rgb) != PLIST_DATA)
            RaiseUnarchive(QStringLiteral("a colour that is not RGB"));
        QString error;
        QByteArray text = VariantFromPlist(rgb, &error).toByteArray();
        if (const qsizetype end = text.indexOf('\0'); end >= 0) text.truncate(end);
        float components[4] = {0, 0, 0, 1};
        const QList<QByteArray> fields = text.simplified().split(' ');
        for (qsizetype i = 0; i < fields.size() && i < 4; ++i) {
            if (fields[i].isEmpty()) continue;
            bool ok = false;
            const float component = fields[i].toFloat(&ok);
            if (!ok || !std::isfinite(component)) RaiseUnarchive(QStringLiteral("a colour with a bad component"));
            components[i] = std::clamp(component, 0.0f, 1.0f);
        }
        return QColor::fromRgbF(components[0], components[1], components[2], components[3]);
    }
    NSCodingObject (*create)() = CodingRegistry::Shared().creator(name);
    if (create == nullptr) RaiseUnarchive(QStringLiteral("unknown class %1").arg(name));
    require(name);
    NSCodingObject object = create();
    mScopes.push_back(node);
    struct Leave {
        std::vector<plist_t> &scopes;
        ~Leave() { scopes.pop_back(); }
    } leave{mScopes};
    if (!object->initWithCoder(unarchiver)) RaiseUnarchive(QStringLiteral("a %1 that cannot be read").arg(name));
    return QVariant::fromValue(object);
}

QStringList NSKeyedUnarchiver::propertyListClasses() {
    return {QStringLiteral("NSString"), QStringLiteral("NSNumber"), QStringLiteral("NSData"),
            QStringLiteral("NSDate"),   QStringLiteral("NSArray"),  QStringLiteral("NSDictionary")};
}

NSKeyedUnarchiver::NSKeyedUnarchiver(const QByteArray &data, const QStringList &allowedClasses)
    : mState(std::make_unique<State>()) {
    QString error;
    mState->mRoot = ParsePlist(data, nullptr, &error);
    if (!mState->mRoot) RaiseUnarchive(QStringLiteral("not a keyed archive: %1").arg(error));
    plist_t root = mState->mRoot.get();
    plist_t archiver = DictItem(root, "$archiver");
    plist_t version = DictItem(root, "$version");
    plist_t objects = DictItem(root, "$objects");
    plist_t top = DictItem(root, "$top");
    if (archiver == nullptr || plist_get_node_type(archiver) != PLIST_STRING ||
        StringOf(archiver) != QLatin1String("NSKeyedArchiver") || version == nullptr ||
        NumberOf(version) != QVariant(qlonglong(kArchiveVersion)) || objects == nullptr ||
        plist_get_node_type(objects) != PLIST_ARRAY || plist_array_get_size(objects) == 0 || top == nullptr ||
        plist_get_node_type(top) != PLIST_DICT)
        RaiseUnarchive(QStringLiteral("not a keyed archive"));
    plist_t null = plist_array_get_item(objects, 0);
    if (plist_get_node_type(null) != PLIST_STRING || StringOf(null) != QLatin1String("$null"))
        RaiseUnarchive(QStringLiteral("not a keyed archive: no $null"));
    mState->mObjects = objects;
    mState->mCount = plist_array_get_size(objects);
    mState->mScopes.push_back(top);
    for (const QString &name : allowedClasses) mState->mAllowed.insert(name);
}

NSKeyedUnarchiver::~NSKeyedUnarchiver() = default;

bool NSKeyedUnarchiver::containsValueForKey(const QString &key) const {
    return plist_dict_get_item(mState->mScopes.back(), key.toUtf8().constData()) != nullptr;
}

QVariant NSKeyedUnarchiver::decodeObject(const QString &key) {
    plist_t node = plist_dict_get_item(mState->mScopes.back(), key.toUtf8().constData());
    if (node == nullptr) return QVariant();
    return mState->decode(*this, mState->uidOf(node));
}

namespace {
QVariant ScalarAt(plist_t scope, const QString &key) {
    plist_t node = plist_dict_get_item(scope, key.toUtf8().constData());
    if (node == nullptr) return QVariant();
    const QVariant number = NumberOf(node);
    if (!number.isValid()) RaiseUnarchive(QStringLiteral("the value of %1 is not a number").arg(key));
    return number;
}
}  // namespace

bool NSKeyedUnarchiver::decodeBool(const QString &key) { return ScalarAt(mState->mScopes.back(), key).toBool(); }

qint64 NSKeyedUnarchiver::decodeInteger(const QString &key) {
    const QVariant number = ScalarAt(mState->mScopes.back(), key);
    if (number.metaType().id() == QMetaType::Double) {
        const double value = number.toDouble();
        if (!std::isfinite(value) || std::fabs(value) >= 9.2e18) RaiseUnarchive(QStringLiteral("%1 out of range").arg(key));
        return qint64(value);
    }
    if (number.metaType().id() == QMetaType::ULongLong && number.toULongLong() > uint64_t(INT64_MAX))
        RaiseUnarchive(QStringLiteral("%1 out of range").arg(key));
    return number.toLongLong();
}

double NSKeyedUnarchiver::decodeDouble(const QString &key) { return ScalarAt(mState->mScopes.back(), key).toDouble(); }

QString NSKeyedUnarchiver::classNameOfValue(const QVariant &value) {
    if (!value.isValid()) return QString();
    switch (value.metaType().id()) {
    case QMetaType::QString: return QStringLiteral("NSString");
    case QMetaType::QByteArray: return QStringLiteral("NSData");
    case QMetaType::QDateTime: return QStringLiteral("NSDate");
    case QMetaType::QVariantList:
    case QMetaType::QStringList: return QStringLiteral("NSArray");
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: return QStringLiteral("NSDictionary");
    case QMetaType::QColor: return QStringLiteral("NSColor");
    default: break;
    }
    if (NSIsNumberValue(value)) return QStringLiteral("NSNumber");
    if (value.metaType() == QMetaType::fromType<NSCodingObject>()) {
        const NSCodingObject object = value.value<NSCodingObject>();
        return object ? NSCodingClassName(*object) : QString();
    }
    return QString();
}

QVariant NSKeyedUnarchiver::decodeObjectOfClass(const QString &className, const QString &key) {
    QVariant value = decodeObject(key);
    if (value.isValid() && classNameOfValue(value) != className)
        RaiseUnarchive(QStringLiteral("the object for %1 is a %2, not a %3").arg(key, classNameOfValue(value), className));
    return value;
}

QVariant NSKeyedUnarchiver::unarchivedObjectOfClass(const QString &rootClass, const QStringList &allowedClasses,
                                                    const QByteArray &data, const QString &key) {
    NSKeyedUnarchiver unarchiver(data, allowedClasses + QStringList{rootClass});
    return unarchiver.decodeObjectOfClass(rootClass, key);
}
