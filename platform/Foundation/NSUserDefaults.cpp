#include <Foundation/NSUserDefaults.h>

#include <Foundation/NSException.h>
#include <Foundation/NSPropertyList.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdint>
#include <cstdlib>

namespace {

// CFBundleIdentifier of the bundle the program runs from (X.ext/Contents/Linux/program).
QString BundleIdentifier(const QString &program) {
    const QFileInfo info(program);
    QDir folder = info.absoluteDir();  // Contents/Linux
    if (folder.dirName() != QLatin1String("Linux") || !folder.cdUp() || folder.dirName() != QLatin1String("Contents"))
        return QString();
    QFile plist(folder.filePath(QStringLiteral("Info.plist")));
    if (!plist.open(QIODevice::ReadOnly)) return QString();
    const QVariant contents = NSPropertyListSerialization::propertyListWithData(plist.read(1 << 20));
    return contents.toMap().value(QStringLiteral("CFBundleIdentifier")).toString();
}

QString ProgramPath() { return QFile::symLinkTarget(QStringLiteral("/proc/self/exe")); }

QString StandardIdentifier() {
    const QString program = ProgramPath();
    QString identifier = BundleIdentifier(program);
    if (identifier.isEmpty() && QCoreApplication::instance() != nullptr && !QCoreApplication::applicationName().isEmpty()) {
        identifier = QCoreApplication::applicationName();
        if (!QCoreApplication::organizationDomain().isEmpty())
            identifier = QCoreApplication::organizationDomain() + u'.' + identifier;
    }
    if (identifier.isEmpty()) identifier = QFileInfo(program).fileName();
    if (identifier.isEmpty()) identifier = QStringLiteral("lumora");
    return identifier;
}

QString ConfigFolder() {
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return QString::fromLocal8Bit(config);
    return QDir::homePath() + QStringLiteral("/.config");
}

bool IsNumber(const QVariant &value) {
    const int type = value.metaType().id();
    return type == QMetaType::Bool || type == QMetaType::Int || type == QMetaType::UInt || type == QMetaType::LongLong ||
           type == QMetaType::ULongLong || type == QMetaType::Double || type == QMetaType::Float ||
           type == QMetaType::Long || type == QMetaType::ULong || type == QMetaType::Short || type == QMetaType::UShort;
}

// A number, or a string read as a number; nothing otherwise.
std::optional<double> NumberOf(const QVariant &value) {
    if (IsNumber(value)) return value.toDouble();
    if (value.metaType().id() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0 ||
            text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return 1.0;
        bool ok = false;
        const double number = text.toDouble(&ok);
        if (ok) return number;
    }
    return std::nullopt;
}

}  // namespace

NSUserDefaults &NSUserDefaults::standardUserDefaults() {
    static NSUserDefaults *defaults = new NSUserDefaults(StandardIdentifier());
    return *defaults;
}

NSUserDefaults::NSUserDefaults(const QString &applicationIdentifier) : mIdentifier(applicationIdentifier) {
    if (mIdentifier.isEmpty() || mIdentifier.contains(u'/') || mIdentifier == QLatin1String(".") ||
        mIdentifier == QLatin1String(".."))
        NSException::raise(NSInvalidArgumentException,
                           QStringLiteral("NSUserDefaults: \"%1\" is not an application identifier").arg(mIdentifier));
}

QString NSUserDefaults::filePath() const { return ConfigFolder() + u'/' + mIdentifier + QStringLiteral(".plist"); }

void NSUserDefaults::loadLocked() {
    if (mLoaded) return;
    mLoaded = true;
    QFile file(filePath());
    if (!file.exists()) return;
    QString error;
    QVariant contents;
    if (file.open(QIODevice::ReadOnly)) contents = NSPropertyListSerialization::propertyListWithData(file.readAll(), nullptr, &error);
    else error = file.errorString();
    if (contents.metaType().id() != QMetaType::QVariantMap) {
        NSLog(QStringLiteral("NSUserDefaults: %1 cannot be read (%2); starting empty")
                  .arg(filePath(), error.isEmpty() ? QStringLiteral("not a dictionary") : error));
        return;
    }
    mValues = contents.toMap();
}

QVariant NSUserDefaults::objectForKey(const QString &key) {
    std::lock_guard<std::mutex> lock(mMutex);
    loadLocked();
    const auto it = mValues.constFind(key);
    if (it != mValues.cend()) return *it;
    return mRegistered.value(key);
}

QString NSUserDefaults::stringForKey(const QString &key) {
    const QVariant value = objectForKey(key);
    if (value.metaType().id() == QMetaType::QString) return value.toString();
    if (IsNumber(value)) return value.toString();
    return QString();
}

bool NSUserDefaults::boolForKey(const QString &key) { return NumberOf(objectForKey(key)).value_or(0.0) != 0.0; }

qint64 NSUserDefaults::integerForKey(const QString &key) {
    const QVariant value = objectForKey(key);
    const int type = value.metaType().id();
    if ((type == QMetaType::ULongLong || type == QMetaType::ULong) && value.toULongLong() > uint64_t(INT64_MAX))
        return 0;  // out of range, as a real would be
    if (IsNumber(value) && type != QMetaType::Double && type != QMetaType::Float) return value.toLongLong();
    const double number = NumberOf(value).value_or(0.0);
    if (!(number > -9.2e18 && number < 9.2e18)) return 0;
    return qint64(number);
}

float NSUserDefaults::floatForKey(const QString &key) { return float(doubleForKey(key)); }

double NSUserDefaults::doubleForKey(const QString &key) { return NumberOf(objectForKey(key)).value_or(0.0); }

QByteArray NSUserDefaults::dataForKey(const QString &key) {
    const QVariant value = objectForKey(key);
    return value.metaType().id() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

QVariantList NSUserDefaults::arrayForKey(const QString &key) {
    const QVariant value = objectForKey(key);
    return value.metaType().id() == QMetaType::QVariantList ? value.toList() : QVariantList();
}

QVariantMap NSUserDefaults::dictionaryForKey(const QString &key) {
    const QVariant value = objectForKey(key);
    return value.metaType().id() == QMetaType::QVariantMap ? value.toMap() : QVariantMap();
}

void NSUserDefaults::setObject(const QVariant &value, const QString &key) {
    if (!value.isValid()) return removeObject(key);
    QString error;
    // Stored as it will read back from the file (lists and maps of plain types).
    const QVariant stored = NSPropertyListSerialization::propertyListWithData(
        NSPropertyListSerialization::dataWithPropertyList(value, &error));
    if (!stored.isValid())
        NSException::raise(NSInvalidArgumentException,
                           QStringLiteral("NSUserDefaults: the value for %1 is not a property list (%2)").arg(key, error));
    std::lock_guard<std::mutex> lock(mMutex);
    loadLocked();
    mValues.insert(key, IsNumber(value) || value.metaType().id() == QMetaType::QDateTime ? value : stored);
    mDirty = true;
}

void NSUserDefaults::setBool(bool value, const QString &key) { setObject(QVariant(value), key); }
void NSUserDefaults::setInteger(qint64 value, const QString &key) { setObject(QVariant(qlonglong(value)), key); }
void NSUserDefaults::setFloat(float value, const QString &key) { setObject(QVariant(double(value)), key); }
void NSUserDefaults::setDouble(double value, const QString &key) { setObject(QVariant(value), key); }

void NSUserDefaults::removeObject(const QString &key) {
    std::lock_guard<std::mutex> lock(mMutex);
    loadLocked();
    if (mValues.remove(key) > 0) mDirty = true;
}

void NSUserDefaults::registerDefaults(const QVariantMap &defaults) {
    std::lock_guard<std::mutex> lock(mMutex);
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) mRegistered.insert(it.key(), it.value());
}

QVariantMap NSUserDefaults::dictionaryRepresentation() {
    std::lock_guard<std::mutex> lock(mMutex);
    loadLocked();
    QVariantMap merged = mRegistered;
    for (auto it = mValues.cbegin(); it != mValues.cend(); ++it) merged.insert(it.key(), it.value());
    return merged;
}

bool NSUserDefaults::synchronize() {
    std::lock_guard<std::mutex> lock(mMutex);
    loadLocked();
    if (!mDirty) return true;
    QString error;
    const QByteArray data = NSPropertyListSerialization::dataWithPropertyList(mValues, &error);
    if (data.isEmpty()) {
        NSLog(QStringLiteral("NSUserDefaults: cannot write %1 (%2)").arg(filePath(), error));
        return false;
    }
    const QString path = filePath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        NSLog(QStringLiteral("NSUserDefaults: cannot create the folder of %1").arg(path));
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        NSLog(QStringLiteral("NSUserDefaults: cannot write %1 (%2)").arg(path, file.errorString()));
        return false;
    }
    mDirty = false;
    return true;
}
