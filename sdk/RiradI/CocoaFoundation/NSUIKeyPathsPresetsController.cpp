#include "NSUIKeyPathsPresetsController.h"

#include "NSDictionaryPropertyListArchiving.h"
#include "NSUITableViewArrayController.h"
#include "PersistentKeyPaths.h"

#include <Foundation/NSException.h>
#include <Foundation/NSUserDefaults.h>

#include <QFile>
#include <QFileDialog>

#include <algorithm>
#include <atomic>

NS_REGISTER_CLASS(NSUIKeyPathPreset);
NS_REGISTER_CODING_CLASS(NSUIKeyPathPreset);
NS_REGISTER_CLASS(NSUIColorKeyPathPreset);
NS_REGISTER_CODING_CLASS(NSUIColorKeyPathPreset);
NS_REGISTER_CLASS(NSUIKeyPathsPresetsController);

namespace {

const QString kPresetsArrayKey = QStringLiteral("keyPathPresetsArray");
const QString kPresetName = QStringLiteral("presetName");
const QString kKeyPathValues = QStringLiteral("keyPathValues");

std::atomic<unsigned> gPresetCounter{0};

// A message to the source or delegate when it answers it; nil otherwise. A message that raises
// is logged and answers nil.
QVariant SendIfAnswered(QObject *target, const char *selector, QObject *argument) {
    if (target == nullptr || !respondsToSelector(target, selector)) return QVariant();
    try {
        return performSelector(target, selector, QVariant::fromValue(argument));
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("NSUIKeyPathPreset: %1 failed: %2").arg(QLatin1String(selector), exception.description()));
        return QVariant();
    }
}

// The key paths the source names for the preset; nothing when the answer is no set.
std::optional<QStringList> KeyPathSet(const QVariant &answer) {
    if (answer.metaType() != QMetaType::fromType<QSet<QString>>()) return std::nullopt;
    QStringList keyPaths = answer.value<QSet<QString>>().values();
    std::sort(keyPaths.begin(), keyPaths.end());
    return keyPaths;
}

bool IsEmptyAnswer(const QVariant &answer) {
    if (NSKeyValueCoding::isNil(answer)) return true;
    if (answer.metaType() == QMetaType::fromType<QSet<QString>>()) return answer.value<QSet<QString>>().isEmpty();
    if (answer.canConvert<QVariantList>()) return answer.value<QVariantList>().isEmpty();
    return false;
}

}  // namespace

// NSUIKeyPathPreset

NSUIKeyPathPreset::NSUIKeyPathPreset() = default;
NSUIKeyPathPreset::~NSUIKeyPathPreset() = default;

void NSUIKeyPathPreset::initWithSource(QObject *source) {
    setPresetName(QStringLiteral("Preset %1").arg(gPresetCounter.fetch_add(1)));
    setKeyPathValues(QVariantMap());
    if (source == nullptr) return;
    const QVariant name = SendIfAnswered(source, "favoritesNameForNewBookmark", this);
    if (name.typeId() == QMetaType::QString) setPresetName(name.toString());
    const std::optional<QStringList> keyPaths =
        KeyPathSet(SendIfAnswered(source, "favoritesKeyPathsForSerialization", this));
    if (keyPaths && !keyPaths->isEmpty())
        setKeyPathValues(PersistentKeyPaths::persistentDictionaryWithValuesForKeyPaths(source, *keyPaths));
}

std::shared_ptr<NSUIKeyPathPreset> NSUIKeyPathPreset::presetWithSource(QObject *source, NSClass presetClass) {
    if (presetClass == nullptr || !presetClass->inherits(&staticMetaObject)) return nullptr;
    QObject *object = NSClassCreateInstance(presetClass);
    auto *preset = qobject_cast<NSUIKeyPathPreset *>(object);
    if (preset == nullptr) {
        delete object;
        return nullptr;
    }
    std::shared_ptr<NSUIKeyPathPreset> shared(preset);
    shared->initWithSource(source);
    return shared;
}

NSUIKeyPathPreset *NSUIKeyPathPreset::presetOfRow(const QVariant &row) {
    if (row.metaType() != QMetaType::fromType<NSCodingObject>()) return nullptr;
    return dynamic_cast<NSUIKeyPathPreset *>(row.value<NSCodingObject>().get());
}

void NSUIKeyPathPreset::applyPresetToSource(QObject *source) const {
    auto *self = const_cast<NSUIKeyPathPreset *>(this);
    const QVariant answer = SendIfAnswered(source, "favoritesKeyPathsForSerialization", self);
    if (IsEmptyAnswer(answer)) return;
    SendIfAnswered(source, "favoritesWillChangeKeyPathValues", self);
    if (const std::optional<QStringList> keyPaths = KeyPathSet(answer))
        PersistentKeyPaths::setPersistentDictionary(source, keyPathValues(), *keyPaths);
    SendIfAnswered(source, "favoritesDidChangeKeyPathValues", self);
}

QString NSUIKeyPathPreset::presetName() const { return mPresetName; }

void NSUIKeyPathPreset::setPresetName(const QString &name) {
    if (name == mPresetName) return;
    mPresetName = name;
    emit presetNameChanged();
}

QVariantMap NSUIKeyPathPreset::keyPathValues() const { return mKeyPathValues; }

void NSUIKeyPathPreset::setKeyPathValues(const QVariantMap &values) {
    if (values == mKeyPathValues) return;
    mKeyPathValues = values;
    emit keyPathValuesChanged();
}

QString NSUIKeyPathPreset::presetButtonText() const { return QStringLiteral("\u2588"); }

QString NSUIKeyPathPreset::description() const {
    return QStringLiteral("%1.%2[%3]").arg(className(), mPresetName).arg(mKeyPathValues.size());
}

void NSUIKeyPathPreset::encodeWithCoder(NSCoder &coder) const {
    coder.encodeObject(mPresetName, kPresetName);
    coder.encodeObject(mKeyPathValues, kKeyPathValues);
}

bool NSUIKeyPathPreset::initWithCoder(NSCoder &coder) {
    const QVariant name = coder.decodeObject(kPresetName);
    const QVariant values = coder.decodeObject(kKeyPathValues);
    if (name.isValid() && name.typeId() != QMetaType::QString) return false;
    if (values.isValid() && values.typeId() != QMetaType::QVariantMap) return false;
    mPresetName = name.toString();
    mKeyPathValues = values.toMap();
    return true;
}

// NSUIColorKeyPathPreset

NSUIColorKeyPathPreset::NSUIColorKeyPathPreset() = default;

QVariant NSUIColorKeyPathPreset::dominantColor() const {
    return keyPathValues().value(QStringLiteral("colorScheme.dominantColor"));
}

QVariant NSUIColorKeyPathPreset::secondaryColor() const {
    return keyPathValues().value(QStringLiteral("colorScheme.secondaryColor"));
}

QVariant NSUIColorKeyPathPreset::tertiaryColor() const {
    return keyPathValues().value(QStringLiteral("colorScheme.tertiaryColor"));
}

QString NSUIColorKeyPathPreset::dominantHeader() const { return QStringLiteral("\u2588\u2588\u2588"); }
QString NSUIColorKeyPathPreset::columnHeader() const { return QStringLiteral("\u2588\u2588\u2588"); }

// NSUIKeyPathsPresetsController

NSUIKeyPathsPresetsController::NSUIKeyPathsPresetsController()
    : mFavoritesSerializationKey(favoritesSerializationKeyDefault()), mKeyPathPresetClass(classNSUIKeyPathPreset()) {}

NSUIKeyPathsPresetsController::~NSUIKeyPathsPresetsController() = default;

QString NSUIKeyPathsPresetsController::favoritesSerializationKeyDefault() {
    return QString::fromLatin1(staticMetaObject.className());
}

NSClass NSUIKeyPathsPresetsController::classNSUIKeyPathPreset() { return &NSUIKeyPathPreset::staticMetaObject; }

QStringList NSUIKeyPathsPresetsController::allowedArchiveClasses() {
    return PropertyListArchiving::defaultAllowedClasses() +
           QStringList{QStringLiteral("NSUIKeyPathPreset"), QStringLiteral("NSUIColorKeyPathPreset")};
}

std::optional<QVariantMap> NSUIKeyPathsPresetsController::presetsDictionaryWithData(const QByteArray &data,
                                                                                    const QString &rootKey,
                                                                                    QString *error) {
    auto fail = [error](const QString &reason) -> std::optional<QVariantMap> {
        if (error) *error = reason;
        return std::nullopt;
    };
    std::optional<QVariantMap> dictionary;
    try {
        dictionary = PropertyListArchiving::dictionaryWithPropertyListData(data, rootKey, allowedArchiveClasses());
    } catch (const NSException &exception) {
        return fail(exception.reason());
    }
    if (!dictionary) return fail(QStringLiteral("the archive holds no dictionary under %1").arg(rootKey));
    const QVariant presets = dictionary->value(kPresetsArrayKey);
    if (presets.typeId() != QMetaType::QVariantList)
        return fail(QStringLiteral("the dictionary holds no array under %1").arg(kPresetsArrayKey));
    for (const QVariant &row : presets.toList())
        if (NSUIKeyPathPreset::presetOfRow(row) == nullptr)
            return fail(QStringLiteral("the array holds a %1, not a preset").arg(NSKeyedUnarchiver::classNameOfValue(row)));
    if (error) error->clear();
    return dictionary;
}

QVariantList NSUIKeyPathsPresetsController::keyPathPresetsArray() const {
    if (mArrayControllerHoldsList && mArrayController != nullptr) return mArrayController->content();
    return mKeyPathPresetsArray;
}

void NSUIKeyPathsPresetsController::setKeyPathPresetsArray(const QVariantList &presets) {
    mKeyPathPresetsArray = presets;
    if (mArrayControllerHoldsList && mArrayController != nullptr) mArrayController->setContent(presets);
}

QString NSUIKeyPathsPresetsController::delegateFavoritesSerializationKey() const {
    const QVariant key =
        SendIfAnswered(mDelegate, "favoritesSerializationKey", const_cast<NSUIKeyPathsPresetsController *>(this));
    if (key.typeId() == QMetaType::QString) return key.toString();
    return mFavoritesSerializationKey;
}

QObject *NSUIKeyPathsPresetsController::delegateSourceObject() const {
    return NSKeyValueCoding::objectFromVariant(SendIfAnswered(
        mDelegate, "favoritesSourceObjectWithKeyPaths", const_cast<NSUIKeyPathsPresetsController *>(this)));
}

void NSUIKeyPathsPresetsController::setOutletKeyPathPresetClass(const QString &className) {
    const NSClass cls = NSClassFromString(className);
    if (cls == nullptr || !cls->inherits(&NSUIKeyPathPreset::staticMetaObject)) return;
    mKeyPathPresetClass = cls;
    if (mArrayController != nullptr) mArrayController->setObjectClass(cls);
}

QString NSUIKeyPathsPresetsController::outletKeyPathPresetClass() const { return NSStringFromClass(mKeyPathPresetClass); }

void NSUIKeyPathsPresetsController::applyStoredDictionary(const QVariantMap &dictionary) {
    PersistentKeyPaths::setPersistentDictionary(this, dictionary, {kPresetsArrayKey});
}

void NSUIKeyPathsPresetsController::awakeFromNib() {
    if (auto *tableController = qobject_cast<NSUITableViewArrayController *>(mArrayController))
        tableController->setDelegate(this);

    const QString key = delegateFavoritesSerializationKey();
    bool stored = false;
    const QByteArray data = NSUserDefaults::standardUserDefaults().dataForKey(key);
    if (!data.isEmpty()) {
        QString error;
        if (const auto dictionary = presetsDictionaryWithData(
                data, QString::fromLatin1(PersistentKeyPaths::kPersistentObjectsArchiveKey), &error)) {
            applyStoredDictionary(*dictionary);
        } else {
            NSLog(QStringLiteral("NSUIKeyPathsPresetsController: the presets stored under %1 are unreadable: %2")
                      .arg(key, error));
        }
        // A stored record, even an unreadable one, is no first launch.
        stored = true;
    }
    if (!stored) {
        const QString path = PersistentKeyPaths::persistentObjectDefaultValuesFilePath(key);
        if (!path.isEmpty()) importPresetsFromFile(path, nullptr, false);
    }

    if (mArrayController != nullptr) {
        if (auto *synchronized = qobject_cast<NSUISynchronizedArrayController *>(mArrayController)) {
            synchronized->setOutletSynchronizationKey(key);
            synchronized->setContentArray(mKeyPathPresetsArray);
        } else {
            mArrayController->setContent(mKeyPathPresetsArray);
        }
        mArrayControllerHoldsList = true;
        mArrayController->setSelectsInsertedObjects(false);
        mArrayController->setAvoidsEmptySelection(true);
        mArrayController->setObjectClass(mKeyPathPresetClass);
    }

    if (mTableView != nullptr && mArrayController != nullptr) {
        mArrayController->bindTableView(mTableView);
        mTableView->setEditTriggers(QAbstractItemView::EditKeyPressed);
        connect(mTableView, &QTableView::doubleClicked, this,
                [this](const QModelIndex &index) { actionTableDoubleClicked(index.row(), index.column()); });
    }
}

void NSUIKeyPathsPresetsController::actionAddKeyPathPreset(QObject *) {
    if (mArrayController == nullptr) return;
    const std::shared_ptr<NSUIKeyPathPreset> preset =
        NSUIKeyPathPreset::presetWithSource(delegateSourceObject(), mKeyPathPresetClass);
    if (preset) mArrayController->addObject(QVariant::fromValue(NSCodingObject(preset)));
}

void NSUIKeyPathsPresetsController::actionRemoveKeyPathPreset(QObject *) {
    if (mArrayController != nullptr) mArrayController->remove();
}

void NSUIKeyPathsPresetsController::actionApplyKeyPathPreset(QObject *) {
    if (NSUIKeyPathPreset *preset = selectedKeyPathPreset()) preset->applyPresetToSource(delegateSourceObject());
}

void NSUIKeyPathsPresetsController::actionDefaultNoKeyPathPreset(QObject *sender) {
    SendIfAnswered(delegateSourceObject(), "favoritesResetKeyPathValuesToDefault", sender);
}

void NSUIKeyPathsPresetsController::actionImportSerializedPresets(QObject *) {
    const QString key = delegateFavoritesSerializationKey();
    const QString fileName = key + QLatin1Char('.') + PersistentKeyPaths::persistentPlistFileExtension();
    QFileDialog panel(nullptr, QString(), DirectoryLocations::applicationSupportDirectory().toLocalFile(), fileName);
    panel.setFileMode(QFileDialog::ExistingFile);
    panel.setNameFilter(QStringLiteral("*.%1").arg(PersistentKeyPaths::persistentPlistFileExtension()));
    if (panel.exec() != QDialog::Accepted || panel.selectedFiles().size() != 1) return;
    importPresetsFromFile(panel.selectedFiles().first());
}

bool NSUIKeyPathsPresetsController::importPresetsFromFile(const QString &path, QString *error) {
    return importPresetsFromFile(path, error, true);
}

bool NSUIKeyPathsPresetsController::importPresetsFromFile(const QString &path, QString *error, bool save) {
    QString reason;
    QFile file(path);
    std::optional<QVariantMap> dictionary;
    if (!file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
    } else {
        dictionary = presetsDictionaryWithData(file.readAll(), QString::fromLatin1(PropertyListArchiving::kDefaultKey),
                                               &reason);
    }
    if (!dictionary) {
        NSLog(QStringLiteral("NSUIKeyPathsPresetsController: cannot import the presets of %1: %2").arg(path, reason));
        if (error) *error = reason;
        return false;
    }
    applyStoredDictionary(*dictionary);
    if (save) persistentObjectSerializeData();
    if (error) error->clear();
    return true;
}

void NSUIKeyPathsPresetsController::actionTableDoubleClicked(int clickedRow, int clickedColumn) {
    if (mArrayController == nullptr || clickedRow < 0) return;
    const qsizetype selected = mArrayController->selectionIndex();
    if (clickedColumn >= 0 && clickedColumn == mArrayController->columnWithIdentifier(QStringLiteral("editPresetName"))) {
        if (selected >= 0 && mTableView != nullptr) mTableView->edit(mArrayController->index(int(selected), clickedColumn));
        return;
    }
    if (selected >= 0) actionApplyKeyPathPreset(mTableView);
}

NSUIKeyPathPreset *NSUIKeyPathsPresetsController::selectedKeyPathPreset() const {
    if (mArrayController == nullptr) return nullptr;
    const QVariantList selected = mArrayController->selectedObjects();
    return selected.isEmpty() ? nullptr : NSUIKeyPathPreset::presetOfRow(selected.first());
}

bool NSUIKeyPathsPresetsController::hasSelection() const { return selectedKeyPathPreset() != nullptr; }

NSIndexSet NSUIKeyPathsPresetsController::arraySelectionIndexes() const {
    return mArrayController != nullptr ? mArrayController->selectionIndexes() : mArraySelectionIndexes;
}

void NSUIKeyPathsPresetsController::setArraySelectionIndexes(const NSIndexSet &indexes) {
    mArraySelectionIndexes = indexes;
    if (mArrayController != nullptr) mArrayController->setSelectionIndexes(indexes);
}

NSIndexSet NSUIKeyPathsPresetsController::indexSetForSelectedObject() const {
    const NSIndexSet selection = arraySelectionIndexes();
    return NSIndexSet{selection.isEmpty() ? 0 : selection.firstIndex()};
}

void NSUIKeyPathsPresetsController::arrayControllerDidChangeContents(QObject *) { persistentObjectSerializeData(); }

void NSUIKeyPathsPresetsController::persistentObjectSerializeData() {
    const QString key = delegateFavoritesSerializationKey();
    if (key.isEmpty()) return;
    const QVariantMap dictionary{{kPresetsArrayKey, keyPathPresetsArray()}};
    PersistentKeyPaths::savePersistentObjectData(dictionary, key);
    PersistentKeyPaths::persistentObjectSaveDefaultValues(dictionary, key);
}

bool import_NSUIKeyPathsPresetsController() {
    return import_PersistentKeyPaths() && import_NSUITableViewArrayController();
}
