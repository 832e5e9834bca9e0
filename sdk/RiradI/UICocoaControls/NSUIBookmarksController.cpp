#include "NSUIBookmarksController.h"

#include "NSTableView_Utilities.h"

#include <CocoaFoundation/NSAttributedString_NSCFString_ValueTransformer.h>
#include <CocoaFoundation/NSDictionaryPropertyListArchiving.h>
#include <UIParamMapping/NSUIBookmarksTarget.h>
#include <UIParamMapping/NSUIDesignFeed.h>

#include <Foundation/NSException.h>
#include <Foundation/NSPropertyList.h>
#include <Foundation/NSUserDefaults.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QMimeData>
#include <QSet>

NS_REGISTER_CLASS(NSUIBookmarksController);

namespace {

const QString kNameKey = QString::fromLatin1(NSUIBookmarksController::kPresetNameKey);
const QString kCodeKey = QString::fromLatin1(NSUIBookmarksController::kPresetCodeKey);
// The array controller's columns: the name (shown) and the code string (edited through the
// editor view).
const QString kNameColumn = QStringLiteral("Name");
const QString kCodeColumn = QStringLiteral("Code");

// Why a row is no bookmark; empty when it is one.
QString WhyNoPreset(const QVariant &row) {
    if (row.typeId() != QMetaType::QVariantMap) return QStringLiteral("it is no bookmark dictionary");
    const QVariantMap map = row.toMap();
    if (map.value(kNameKey).typeId() != QMetaType::QString) return QStringLiteral("its name is missing or not text");
    if (map.value(kCodeKey).typeId() != QMetaType::QString)
        return QStringLiteral("its settings are missing or not text");
    return QString();
}

// The two entries of a checked bookmark.
QVariantMap PresetOf(const QVariantMap &row) { return {{kNameKey, row.value(kNameKey)}, {kCodeKey, row.value(kCodeKey)}}; }

// A text with its line breaks as the editor holds them (LF).
QString EditorForm(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

}  // namespace

NSUIBookmarksController::NSUIBookmarksController(QObject *parent)
    : NSObject(parent), mPresetNameDefaultValue(QStringLiteral("My Bookmark")) {}

NSUIBookmarksController::~NSUIBookmarksController() = default;

QString NSUIBookmarksController::defaultClassKeyValue(const QString &suffix) const {
    return QStringLiteral("%1%2").arg(className(), suffix);
}

QString NSUIBookmarksController::defaultXMLExportFileName() const { return className(); }

protocol_NSUIBookmarksTarget *NSUIBookmarksController::bookmarkTarget() const {
    return dynamic_cast<protocol_NSUIBookmarksTarget *>(mTarget.data());
}

QString NSUIBookmarksController::presetDataSerializationKey() const {
    // The class is known only once construction is over, so the default key is made on demand.
    if (!mSerializationKey.isNull()) return mSerializationKey;
    return defaultClassKeyValue(QString::fromLatin1(kSerializationKeySuffix));
}

QVariantList NSUIBookmarksController::presets() const {
    if (mArrayController) return mArrayController->arrangedObjects();
    return presetsArray();
}

// ---------------------------------------------------------------------------------------------
// Makers

QVariantMap NSUIBookmarksController::newPresetWithScript(const QString &script, const QString &scriptName) {
    if (script.isNull()) return QVariantMap();
    QVariantMap preset{{kCodeKey, script}};
    if (!scriptName.isNull()) preset.insert(kNameKey, scriptName);
    return preset;
}

QVariantMap NSUIBookmarksController::newPresetWithScript(const QString &script) const {
    return newPresetWithScript(script, mPresetNameDefaultValue);
}

QVariantMap NSUIBookmarksController::newPresetWithCurrentPreset() const {
    protocol_NSUIBookmarksTarget *target = bookmarkTarget();
    if (target == nullptr) return QVariantMap();
    return newPresetWithScript(target->currentSettingsDictionaryScript(), target->currentSettingsDictionaryName());
}

QVariantMap NSUIBookmarksController::newPresetWithEmptyPreset() const {
    protocol_NSUIBookmarksTarget *target = bookmarkTarget();
    if (target == nullptr) return QVariantMap();
    return newPresetWithScript(target->emptySettingsDictionaryScript());
}

void NSUIBookmarksController::addNewPresetForScript(const QString &script) {
    addNewPresetForScriptDictionary(newPresetWithScript(script));
}

void NSUIBookmarksController::addNewPresetForScript(const QString &script, const QString &scriptName) {
    addNewPresetForScriptDictionary(newPresetWithScript(script, scriptName));
}

void NSUIBookmarksController::addNewPresetForScriptDictionary(const QVariantMap &preset) {
    if (mArrayController) mArrayController->addObject(preset);
}

void NSUIBookmarksController::applyPresetScriptToBookmarkTarget(const QString &script) {
    protocol_NSUIBookmarksTarget *target = bookmarkTarget();
    if (script.isNull() || target == nullptr) return;
    target->setSettingsDictionaryScript(script);
}

// ---------------------------------------------------------------------------------------------
// The list

std::optional<QVariantMap> NSUIBookmarksController::selectedPresetIndex(qsizetype *index) const {
    if (!mArrayController) return std::nullopt;
    const qsizetype selection = mArrayController->selectionIndex();
    const QVariantList list = presets();
    if (selection < 0 || selection >= list.size()) return std::nullopt;
    if (list.at(selection).typeId() != QMetaType::QVariantMap) return std::nullopt;
    if (index != nullptr) *index = selection;
    return list.at(selection).toMap();
}

std::optional<QVariantMap> NSUIBookmarksController::selectedPreset() const { return selectedPresetIndex(nullptr); }

QVariantMap NSUIBookmarksController::allPresetsDictionaryWithNamedPresets() const {
    const QVariantList list = presets();
    // Names as they stand are kept by their first bookmark; later ones with a taken name get
    // the first free "<name> <n>", never one another bookmark already bears.
    QSet<QString> given;
    for (const QVariant &row : list) {
        const QVariant name = row.toMap().value(kNameKey);
        if (name.typeId() == QMetaType::QString && !name.toString().isEmpty()) given.insert(name.toString());
    }
    QVariantMap named;
    QSet<QString> used;
    for (const QVariant &row : list) {
        if (row.typeId() != QMetaType::QVariantMap) continue;
        QVariantMap preset = row.toMap();
        const QVariant value = preset.value(kNameKey);
        QString base = value.typeId() == QMetaType::QString ? value.toString() : QString();
        if (base.isEmpty()) base = mPresetNameDefaultValue.isEmpty() ? QStringLiteral("Bookmark") : mPresetNameDefaultValue;
        QString name = base;
        if (used.contains(name) || (name != value.toString() && given.contains(name))) {
            for (qsizetype n = 2;; ++n) {
                name = QStringLiteral("%1 %2").arg(base).arg(n);
                if (!used.contains(name) && !given.contains(name)) break;
            }
        }
        used.insert(name);
        preset.insert(kNameKey, name);
        named.insert(name, preset);
    }
    return named;
}

bool NSUIBookmarksController::isValidPreset(const QVariant &row) { return WhyNoPreset(row).isEmpty(); }

QVariantList NSUIBookmarksController::presetsFromDesignsDictionary(const QVariantMap &designs, QStringList *skipped) {
    QVariantList list;
    for (auto entry = designs.cbegin(); entry != designs.cend(); ++entry) {
        const QString why = WhyNoPreset(entry.value());
        if (why.isEmpty()) {
            list.append(PresetOf(entry.value().toMap()));
        } else if (skipped != nullptr) {
            skipped->append(QStringLiteral("\"%1\": %2").arg(entry.key(), why));
        }
    }
    return list;
}

std::optional<QVariantList> NSUIBookmarksController::presetsFromFile(const QString &path, QStringList *skipped,
                                                                     QString *error) {
    const auto fail = [error](const QString &why) -> std::optional<QVariantList> {
        if (error != nullptr) *error = why;
        return std::nullopt;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return fail(QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    std::optional<QVariantList> list = presetsFromFileData(data, skipped, error);
    if (!list && error != nullptr) *error = QStringLiteral("%1 %2").arg(path, *error);
    return list;
}

std::optional<QVariantList> NSUIBookmarksController::presetsFromFileData(const QByteArray &data, QStringList *skipped,
                                                                         QString *error) {
    // Decoded with the designs' allow-list, so that a designs file's feed entries are named
    // among the skipped entries instead of refusing the whole file.
    std::optional<QVariantMap> designs;
    try {
        designs = PropertyListArchiving::dictionaryWithPropertyListData(
            data, QString::fromLatin1(PropertyListArchiving::kDefaultKey), NSUIDesignFeed::designsAllowedClasses());
    } catch (const NSException &exception) {
        if (error != nullptr) *error = QStringLiteral("is no bookmarks file or is damaged (%1)").arg(exception.reason());
        return std::nullopt;
    }
    if (!designs) {
        if (error != nullptr) *error = QStringLiteral("holds no bookmarks");
        return std::nullopt;
    }
    return presetsFromDesignsDictionary(*designs, skipped);
}

qsizetype NSUIBookmarksController::importPresetsFromDictionary(const QVariantMap &designs, QStringList *skipped) {
    if (!mArrayController) return 0;
    const QVariantList list = presetsFromDesignsDictionary(designs, skipped);
    for (const QVariant &preset : list) mArrayController->addObject(preset);
    return list.size();
}

bool NSUIBookmarksController::importPresetsFromFile(const QString &path, QStringList *skipped, QString *error) {
    if (!mArrayController) {
        if (error != nullptr) *error = QStringLiteral("there is no list to import into");
        return false;
    }
    const std::optional<QVariantList> list = presetsFromFile(path, skipped, error);
    if (!list) return false;
    for (const QVariant &preset : *list) mArrayController->addObject(preset);
    return true;
}

bool NSUIBookmarksController::exportPresetsToFile(const QString &path) const {
    return NSUIDesignFeed::saveDesigns(allPresetsDictionaryWithNamedPresets(), QUrl::fromLocalFile(path));
}

// ---------------------------------------------------------------------------------------------
// User defaults

bool NSUIBookmarksController::savePresetsToUserDefaults() { return savePresetsToUserDefaults(presetDataSerializationKey()); }

bool NSUIBookmarksController::savePresetsToUserDefaults(const QString &key) {
    if (key.isEmpty() || !mArrayController) return false;
    QString error;
    const QByteArray data = NSPropertyListSerialization::dataWithPropertyList(mArrayController->content(), &error);
    if (data.isEmpty()) {
        NSLog(QStringLiteral("%1: the bookmarks cannot be stored: %2").arg(className(), error));
        return false;
    }
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    defaults.setObject(data, key);
    return defaults.synchronize();
}

void NSUIBookmarksController::loadPresetsFromUserDefaults() { loadPresetsFromUserDefaults(presetDataSerializationKey()); }

void NSUIBookmarksController::loadPresetsFromUserDefaults(const QString &key) {
    if (key.isEmpty()) return;
    const QVariant value = NSUserDefaults::standardUserDefaults().objectForKey(key);
    if (!value.isValid()) return;
    QString error;
    const QVariant list = value.typeId() == QMetaType::QByteArray
                              ? NSPropertyListSerialization::propertyListWithData(value.toByteArray(), nullptr, &error)
                              : QVariant();
    if (list.typeId() != QMetaType::QVariantList) {
        NSLog(QStringLiteral("%1: the stored bookmarks \"%2\" cannot be read%3")
                  .arg(className(), key, error.isEmpty() ? QString() : QStringLiteral(": ") + error));
        mPresetsArray.reset();
        return;
    }
    QVariantList presets;
    qsizetype row = 0;
    for (const QVariant &entry : list.toList()) {
        const QString why = WhyNoPreset(entry);
        if (why.isEmpty()) presets.append(PresetOf(entry.toMap()));
        else NSLog(QStringLiteral("%1: stored bookmark %2 is left out: %3").arg(className()).arg(row).arg(why));
        ++row;
    }
    mPresetsArray = presets;
}

// ---------------------------------------------------------------------------------------------
// Set-up

void NSUIBookmarksController::awakeFromNib() {
    if (mTextView) {
        // A plain-text editor in the transformer's small fixed-pitch font.
        const QVariant font = NSAttributedString_NSCFString_ValueTransformer::defaultTextAttributes().value(
            QStringLiteral("font"));
        if (font.canConvert<QFont>()) mTextView->setFont(font.value<QFont>());
        mTextView->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    }
    if (mTableView) {
        QFont small = QApplication::font();
        small.setPointSizeF(small.pointSizeF() * 11.0 / 13.0);
        NSTableViewUtilities::setFontUtility(mTableView, small);
    }
    if (mArrayController) {
        if (mArrayController->columnBindings().isEmpty())
            mArrayController->setColumnBindings({{kNameColumn, kNameKey, true}, {kCodeColumn, kCodeKey, true}});
        if (mTableView) {
            mArrayController->bindTableView(mTableView);
            mTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
            mTableView->setSelectionMode(QAbstractItemView::SingleSelection);
            const int code = mArrayController->columnWithIdentifier(kCodeColumn);
            if (code >= 0) mTableView->setColumnHidden(code, true);
            mTableView->horizontalHeader()->setStretchLastSection(true);
        }
        if (mTextView && !mEditorFollowsSelection) {
            mEditorFollowsSelection = true;
            connect(mArrayController, &NSArrayController::selectionIndexesChanged, this,
                    &NSUIBookmarksController::showSelectedPresetInEditor);
            connect(mArrayController, &NSArrayController::contentChanged, this,
                    &NSUIBookmarksController::showSelectedPresetInEditor);
            connect(mArrayController, &QAbstractItemModel::dataChanged, this,
                    &NSUIBookmarksController::showSelectedPresetInEditor);
            connect(mTextView, &QPlainTextEdit::textChanged, this,
                    &NSUIBookmarksController::takeEditorTextIntoSelectedPreset);
        }
    }
    loadPresetsFromUserDefaults();
    if (mPresetsArray && mArrayController) mArrayController->setContent(*mPresetsArray);
    showSelectedPresetInEditor();
}

void NSUIBookmarksController::showSelectedPresetInEditor() {
    if (!mTextView || mUpdatingEditor) return;
    const std::optional<QVariantMap> preset = selectedPreset();
    const QString text = preset ? preset->value(kCodeKey).toString() : QString();
    if (EditorForm(mTextView->string()) == EditorForm(text)) return;
    mUpdatingEditor = true;
    mTextView->setString(text);
    mUpdatingEditor = false;
}

void NSUIBookmarksController::takeEditorTextIntoSelectedPreset() {
    if (!mTextView || !mArrayController || mUpdatingEditor) return;
    qsizetype index = -1;
    if (!selectedPresetIndex(&index)) return;
    const int column = mArrayController->columnWithIdentifier(kCodeColumn);
    if (column < 0) return;
    mUpdatingEditor = true;
    // The editor keeps line breaks as LF; code strings end their lines with CR LF.
    QString text = EditorForm(mTextView->string());
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    mArrayController->setData(mArrayController->index(int(index), column), text);
    mUpdatingEditor = false;
}

// ---------------------------------------------------------------------------------------------
// Actions

void NSUIBookmarksController::actionAddNewPresetForCurrentPreset(QObject *) {
    if (!mArrayController || bookmarkTarget() == nullptr) return;
    addNewPresetForScriptDictionary(newPresetWithCurrentPreset());
}

void NSUIBookmarksController::actionAddNewPresetForEmptyPreset(QObject *) {
    if (!mArrayController || bookmarkTarget() == nullptr) return;
    addNewPresetForScriptDictionary(newPresetWithEmptyPreset());
}

void NSUIBookmarksController::actionDuplicateCurrentPreset(QObject *) {
    qsizetype index = -1;
    const std::optional<QVariantMap> preset = selectedPresetIndex(&index);
    if (!preset) return;
    QVariantMap copy = *preset;
    copy.insert(kNameKey, QStringLiteral("%1 1").arg(preset->value(kNameKey).toString()));
    mArrayController->insertObjectAtArrangedObjectIndex(copy, index + 1);
}

void NSUIBookmarksController::actionDeleteCurrentPreset(QObject *) {
    if (mArrayController) mArrayController->remove();
}

void NSUIBookmarksController::actionPresetScriptRead(QObject *) {
    protocol_NSUIBookmarksTarget *target = bookmarkTarget();
    if (target == nullptr) return;
    const QString text = target->currentSettingsDictionaryScript();
    if (text.isNull()) return;
    qsizetype index = -1;
    const std::optional<QVariantMap> preset = selectedPresetIndex(&index);
    if (!preset) return;
    QVariantMap copy = *preset;
    copy.insert(kCodeKey, text);
    // Out and back in at the same place, so the bookmark keeps its row and its name.
    mArrayController->removeObjectAtArrangedObjectIndex(index);
    mArrayController->insertObjectAtArrangedObjectIndex(copy, index);
}

void NSUIBookmarksController::actionPresetScriptApply(QObject *) {
    protocol_NSUIBookmarksTarget *target = bookmarkTarget();
    if (target == nullptr || !mTextView) return;
    target->takeSettingsDictionaryScriptFrom(mTextView);
}

void NSUIBookmarksController::actionCopyToPasteboardAsText(QObject *) {
    protocol_NSUIBookmarksTarget *target = bookmarkTarget();
    if (target == nullptr) return;
    const QString text = target->currentSettingsDictionaryScript();
    if (text.isEmpty()) return;
    auto *data = new QMimeData;
    data->setText(text);
    QGuiApplication::clipboard()->setMimeData(data);
}

void NSUIBookmarksController::actionPasteFromPasteboardAsText(QObject *) {
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr || !data->hasText()) return;
    const QString text = data->text();
    if (text.isEmpty()) return;
    addNewPresetForScript(text);
}

void NSUIBookmarksController::actionExportXML(QObject *) {
    QString path = chooseExportFile();
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().compare(QStringLiteral("plist"), Qt::CaseInsensitive) != 0) path += QStringLiteral(".plist");
    if (!exportPresetsToFile(path))
        reportFileProblem(QStringLiteral("Export failed"), QStringLiteral("The bookmarks could not be written to %1.").arg(path));
}

void NSUIBookmarksController::actionImportXML(QObject *) {
    const QString path = chooseImportFile();
    if (path.isEmpty()) return;
    QStringList skipped;
    QString error;
    if (!importPresetsFromFile(path, &skipped, &error)) {
        NSLog(QStringLiteral("%1: import refused: %2").arg(className(), error));
        reportFileProblem(QStringLiteral("Import failed"), QStringLiteral("Nothing was imported: %1.").arg(error));
        return;
    }
    if (skipped.isEmpty()) return;
    NSLog(QStringLiteral("%1: import of %2 skipped %3").arg(className(), path, skipped.join(QStringLiteral("; "))));
    reportFileProblem(QStringLiteral("Some entries were not imported"),
                      QStringLiteral("%1 entries of %2 are no bookmarks and were skipped:\n%3")
                          .arg(skipped.size())
                          .arg(QFileInfo(path).fileName(), skipped.join(QLatin1Char('\n'))));
}

QWidget *NSUIBookmarksController::dialogParent() const {
    return mTableView ? mTableView->window() : nullptr;
}

QString NSUIBookmarksController::chooseExportFile() {
    return QFileDialog::getSaveFileName(dialogParent(), QStringLiteral("Export Bookmarks"),
                                        defaultXMLExportFileName() + QStringLiteral(".plist"),
                                        QStringLiteral("Bookmarks (*.plist)"));
}

QString NSUIBookmarksController::chooseImportFile() {
    return QFileDialog::getOpenFileName(dialogParent(), QStringLiteral("Import Bookmarks"), QString(),
                                        QStringLiteral("Bookmarks (*.plist)"));
}

void NSUIBookmarksController::reportFileProblem(const QString &title, const QString &message) {
    QMessageBox::warning(dialogParent(), title, message);
}

bool import_NSUIBookmarksController() {
    return import_NSTableView_Utilities() && import_NSUIBookmarksTarget() && import_NSUIDesignFeed();
}
