#include "UILocalLanguageController.h"

#include "UILocalLanguageStringID.h"

#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSNotification.h>
#include <Foundation/NSObjCRuntime.h>
#include <UIParamMapping/NSUIDesignCodes.h>

#include <QLocale>
#include <QMetaMethod>
#include <QMetaProperty>

#include <exception>
#include <optional>

namespace {

// What the object answers to a message of no argument named as the selector: a readable
// property, else a method of no parameter that returns a value. Methods that answer nothing
// ("clear", "deleteLater") are never sent, so a string ID that happens to end in such a name
// cannot act on the element or the controller.
std::optional<QVariant> ZeroArgumentAnswer(QObject *object, const QString &selector) {
    if (object == nullptr || selector.isEmpty()) return std::nullopt;
    const QByteArray name = selector.toUtf8();
    const QMetaObject *meta = object->metaObject();
    const int property = meta->indexOfProperty(name.constData());
    if (property >= 0 && meta->property(property).isReadable()) return meta->property(property).read(object);
    for (int index = 0; index < meta->methodCount(); ++index) {
        const QMetaMethod method = meta->method(index);
        if (method.name() != name || method.parameterCount() != 0) continue;
        if (method.methodType() != QMetaMethod::Method && method.methodType() != QMetaMethod::Slot) continue;
        if (method.returnMetaType().id() == QMetaType::Void) continue;
        return performSelector(object, name);
    }
    return std::nullopt;
}

}  // namespace

// ---- the shared instance ---------------------------------------------------------------------

UILocalLanguageController::UILocalLanguageController() = default;

UILocalLanguageController::~UILocalLanguageController() = default;

UFLocalLanguageController::UFLocalLanguageController() = default;

UFLocalLanguageController::~UFLocalLanguageController() = default;

QString UILocalLanguageController::instanceKey() { return QStringLiteral("UILocalLanguageController"); }

UILocalLanguageController *UILocalLanguageController::language() {
    const QString key = instanceKey();
    if (sharedInstanceWasInitialized(key))
        if (auto *shared = qobject_cast<UILocalLanguageController *>(sharedInstanceForKey(key))) return shared;
    return qobject_cast<UILocalLanguageController *>(allocInit<UILocalLanguageController>());
}

void UILocalLanguageController::initOnceInstance() {
    {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        mCurrent.clear();
        mRequestedKeyPaths.clear();
        mRequestedKeyPaths.reserve(3);
        mNibDefaults.clear();
    }
    for (const auto &[stringID, text] : UILocalLanguageStringTable::defaultTexts())
        recordKeyPath(QString::fromStdString(stringID), QString::fromStdString(text));
    if (UPersistentObjectsController *registry = UPersistentObjectsController::sharedPersistentObjectsController())
        registry->registerPersistentObject(this, true);
}

QString UILocalLanguageController::stringWithID(const QString &stringID) {
    UILocalLanguageController *controller = language();
    if (controller == nullptr) return QString();
    const QVariant text = controller->valueForKeyPath(stringID);
    return NSKeyValueCoding::isNil(text) ? QString() : text.toString();
}

QString UILocalLanguageController::stringWithIDDefaultValue(const QString &stringID, const QString &defaultValue) {
    registerDefaultValue(defaultValue, stringID);
    return stringWithID(stringID);
}

bool UILocalLanguageController::registerDefaultValue(const QString &defaultValue, const QString &stringID) {
    UILocalLanguageController *controller = language();
    return controller != nullptr && !defaultValue.isNull() && controller->recordKeyPath(stringID, defaultValue);
}

// ---- persistence -----------------------------------------------------------------------------

QSet<QString> UILocalLanguageController::persistentObjectKeyPaths() const {
    return {QStringLiteral("persistentSettings")};
}

// The instance key, not the class name: the instance may be a UFLocalLanguageController when
// that class was made first, and the selection must be found under one key either way.
QString UILocalLanguageController::persistenceObjectKey() const { return instanceKey(); }

QVariantMap UILocalLanguageController::persistentSettings() const { return current(); }

void UILocalLanguageController::setPersistentSettings(const QVariantMap &settings) { setSettingsDictionary(settings); }

// ---- fields ----------------------------------------------------------------------------------

QVariantMap UILocalLanguageController::current() const {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mCurrent;
}

QSet<QString> UILocalLanguageController::requestedKeyPaths() const {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mRequestedKeyPaths;
}

QStringList UILocalLanguageController::requestedKeyPathList() const {
    QStringList keyPaths = requestedKeyPaths().values();
    keyPaths.sort();
    return keyPaths;
}

QVariantMap UILocalLanguageController::nibDefaults() const {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mNibDefaults;
}

// ---- texts -----------------------------------------------------------------------------------

QVariant UILocalLanguageController::valueForKeyPath(const QString &keyPath) {
    const QVariant answer = respondsToKeyPathSelectorOrNil(keyPath);
    if (!NSKeyValueCoding::isNil(answer)) return answer;
    QVariant text = defaultValueForKeyPathInUSEnglishLocale(keyPath);
    const QVariant localeText = defaultValueForKeyPathInCurrentLocale(keyPath);
    if (!NSKeyValueCoding::isNil(localeText)) text = localeText;
    const QVariant selectedText = valueForKeyPathInSelectedUserLocalization(keyPath);
    if (!NSKeyValueCoding::isNil(selectedText)) text = selectedText;
    try {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        mRequestedKeyPaths.insert(keyPath);
    } catch (const std::exception &) {
        // Noting the request is bookkeeping; the text is answered regardless.
    }
    return text;
}

QVariant UILocalLanguageController::valueForKey(const QString &key) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    mRequestedKeyPaths.insert(key);
    return QVariant();
}

QVariant UILocalLanguageController::valueForUndefinedKey(const QString &key) {
    return QStringLiteral("valueForUndefinedKey:%1").arg(key);
}

QVariant UILocalLanguageController::defaultValueForKeyPathInUSEnglishLocale(const QString &keyPath) const {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mNibDefaults.value(keyPath);
}

QVariant UILocalLanguageController::defaultValueForKeyPathInCurrentLocale(const QString &) const { return QVariant(); }

QVariant UILocalLanguageController::valueForKeyPathInSelectedUserLocalization(const QString &keyPath) const {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mCurrent.value(keyPath);
}

QVariantMap UILocalLanguageController::defaultsDictionaryForUSEnglishLocalization() const { return nibDefaults(); }

QString UILocalLanguageController::defaultsForUSEnglishLocalization() const {
    return NSUIDesignCodes::codeStringFromDictionary(defaultsDictionaryForUSEnglishLocalization());
}

void UILocalLanguageController::actionResetLanguageToDefaultUSEnglishLocalization(QObject *) {
    setSettingsDictionary(defaultsDictionaryForUSEnglishLocalization());
}

QVariant UILocalLanguageController::respondsToKeyPathSelectorOrNil(const QString &keyPath) {
    return ZeroArgumentAnswer(this, keyPath).value_or(QVariant());
}

// ---- defaults --------------------------------------------------------------------------------

bool UILocalLanguageController::recordKeyPath(const QString &keyPath, const QVariant &defaultObjectValue) {
    if (NSKeyValueCoding::isNil(defaultObjectValue)) return false;
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (mNibDefaults.contains(keyPath)) return false;
    mNibDefaults.insert(keyPath, defaultObjectValue);
    return true;
}

bool UILocalLanguageController::recordUIElementObjectKeyPathWithSelector(QObject *element, const QString &keyPath,
                                                                        const QString &selector) {
    const std::optional<QVariant> answer = ZeroArgumentAnswer(element, selector);
    if (!answer) return false;
    recordKeyPath(keyPath, *answer);
    return true;
}

bool UILocalLanguageController::recordUIElementObjectKeyPath(QObject *element, const QString &keyPath) {
    const QString selector = selectorFromKeyPath(keyPath);
    return !selector.isNull() && recordUIElementObjectKeyPathWithSelector(element, keyPath, selector);
}

QString UILocalLanguageController::selectorFromKeyPath(const QString &keyPath) {
    if (keyPath.isEmpty()) return QString();
    return keyPath.mid(keyPath.lastIndexOf(u'.') + 1);
}

void UILocalLanguageController::addObserver(QObject *observer, const QString &keyPath, unsigned options,
                                            void *context) {
    try {
        const std::optional<QVariant> bound = ZeroArgumentAnswer(observer, QStringLiteral("object"));
        if (QObject *element = bound ? NSKeyValueCoding::objectFromVariant(*bound) : nullptr) {
            QStringList selectors{selectorFromKeyPath(keyPath), QStringLiteral("title"), QStringLiteral("stringValue")};
            if (const std::optional<QVariant> property = ZeroArgumentAnswer(observer, QStringLiteral("boundProperty")))
                selectors.append(property->toString());
            for (const QString &selector : selectors)
                if (recordUIElementObjectKeyPathWithSelector(element, keyPath, selector)) break;
        }
    } catch (const std::exception &) {
        // A default that cannot be captured is simply not recorded; the binding goes ahead.
    }
    NSObject::addObserver(observer, keyPath, options, context);
}

// ---- selecting a localisation ----------------------------------------------------------------

QString UILocalLanguageController::rootKeyForKeyPath(const QString &keyPath) {
    const qsizetype dot = keyPath.indexOf(u'.');
    return dot < 0 ? keyPath : keyPath.left(dot);
}

QSet<QString> UILocalLanguageController::rootKeysForAllKeyPaths(const QSet<QString> &keyPaths) {
    QSet<QString> rootKeys;
    for (const QString &keyPath : keyPaths) rootKeys.insert(rootKeyForKeyPath(keyPath));
    return rootKeys;
}

void UILocalLanguageController::willChangeValuesForAllRootKeys(const QSet<QString> &rootKeys) {
    for (const QString &rootKey : rootKeys) willChangeValueForKey(rootKey);
}

void UILocalLanguageController::didChangeValuesForAllRootKeys(const QSet<QString> &rootKeys) {
    for (const QString &rootKey : rootKeys) didChangeValueForKey(rootKey);
}

void UILocalLanguageController::willChangeValuesForAllKeyPaths(const QSet<QString> &keyPaths) {
    willChangeValuesForAllRootKeys(rootKeysForAllKeyPaths(keyPaths));
    NSNotificationCenter::defaultCenter().postNotificationName(UILocalLanguageControllerWillChangeLanguage, this);
}

void UILocalLanguageController::didChangeValuesForAllKeyPaths(const QSet<QString> &keyPaths) {
    didChangeValuesForAllRootKeys(rootKeysForAllKeyPaths(keyPaths));
    NSNotificationCenter::defaultCenter().postNotificationName(UILocalLanguageControllerDidChangeLanguage, this);
}

bool UILocalLanguageController::setSettingsDictionary(const QVariantMap &settings) {
    QSet<QString> affected;
    for (auto entry = settings.keyBegin(); entry != settings.keyEnd(); ++entry) affected.insert(*entry);
    for (const QString &keyPath : current().keys()) affected.insert(keyPath);
    willChangeValuesForAllKeyPaths(affected);
    {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        mCurrent = settings;
    }
    didChangeValuesForAllKeyPaths(affected);
    return true;
}

QVariantMap UILocalLanguageController::currentSettingsDictionary(bool) { return current(); }

QString UILocalLanguageController::currentSettingsDictionaryName() {
    return QStringLiteral("UI for %1").arg(currentLocaleID());
}

QString UILocalLanguageController::currentLocaleID() { return QLocale::system().name(); }

NS_REGISTER_NIB_SINGLETON(UILocalLanguageController);
NS_REGISTER_NIB_SINGLETON(UFLocalLanguageController);

bool import_UILocalLanguageController() {
    return import_UPersistentObjectsController() && import_NSUIBookmarksTarget() && import_UILocalLanguageStringID();
}
