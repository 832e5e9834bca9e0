#include "UILocalizationEditorArrayController.h"

#include "UILocalLanguageController.h"
#include "UILocalLanguageStringID.h"

#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>
#include <UIParamMapping/NSUIDesignCodes.h>

#include <QCollator>
#include <QHeaderView>

#include <algorithm>
#include <memory>

NS_REGISTER_CLASS(UILocalizationEditorArrayController);

bool import_UILocalizationEditorArrayController() {
    return import_UILocalLanguageController() && import_NSUIDesignCodes();
}

namespace {

const UILocalLanguageStringID kColumnStringID("app.string.localization.column.id", "String ID");
const UILocalLanguageStringID kColumnText("app.string.localization.column.text", "Text");

}  // namespace

UILocalizationEditorArrayController::UILocalizationEditorArrayController(QObject *parent) : NSArrayController(parent) {
    setColumnBindings({{kKeyPathColumn, kKeyPathColumn, false}, {kKeyValueColumn, kKeyValueColumn, true}});
    setAvoidsEmptySelection(false);
    setSelectsInsertedObjects(false);
}

UILocalizationEditorArrayController::~UILocalizationEditorArrayController() {
    for (const QMetaObject::Connection &connection : mConnections) disconnect(connection);
}

void UILocalizationEditorArrayController::setOutletArrayController(NSArrayController *controller) {
    for (const QMetaObject::Connection &connection : mConnections) disconnect(connection);
    mConnections.clear();
    mArrayController = controller;
}

void UILocalizationEditorArrayController::awakeFromNib() {
    setContent({});
    mSavedText = QString();
    mLastSeenCode = QString();
    setDirty(false);
    emit editorStateChanged();
    if (mTableView) {
        bindTableView(mTableView.data());
        mTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
        mTableView->horizontalHeader()->setStretchLastSection(true);
    }
    if (mArrayController.isNull()) return;
    outletArrayControllerSelectionChanged();
    if (!mConnections.isEmpty()) return;
    NSArrayController *controller = mArrayController.data();
    mConnections.append(connect(controller, &NSArrayController::selectionIndexesChanged, this,
                                &UILocalizationEditorArrayController::outletArrayControllerSelectionChanged));
    mConnections.append(connect(controller, &NSArrayController::contentChanged, this,
                                &UILocalizationEditorArrayController::arrayControllerContentChanged));
    mConnections.append(connect(controller, &QAbstractItemModel::dataChanged, this,
                                &UILocalizationEditorArrayController::arrayControllerContentChanged));
    mConnections.append(connect(controller, &QAbstractItemModel::modelReset, this,
                                &UILocalizationEditorArrayController::arrayControllerContentChanged));
}

QString UILocalizationEditorArrayController::selectionCodeString() const {
    if (mArrayController.isNull()) return QString();
    const QVariantList selected = mArrayController->selectedObjects();
    if (selected.isEmpty()) return QString();
    QString code;
    for (qsizetype index = 0; index < selected.size(); ++index) {
        QVariant value;
        try {
            value = NSArrayController::valueForKeyPathOfObject(selected.at(index), kSelectionCodeStringKey);
        } catch (const NSException &) {
            return QString();
        }
        if (value.typeId() != QMetaType::QString) return QString();
        if (index == 0) code = value.toString();
        else if (value.toString() != code) return QString();
    }
    return code;
}

void UILocalizationEditorArrayController::setSelectionCodeString(const QString &codeString) {
    if (mArrayController.isNull()) return;
    const NSIndexSet selection = mArrayController->selectionIndexes();
    if (selection.isEmpty()) return;
    QVariantList content = mArrayController->content();
    bool mapsChanged = false;
    for (qsizetype index : selection) {
        if (index >= content.size()) continue;
        QVariant &row = content[index];
        try {
            NSArrayController::setValueForKeyPathOfObject(row, codeString, kSelectionCodeStringKey);
        } catch (const NSException &exception) {
            NSLog(QStringLiteral("UILocalizationEditorArrayController: %1").arg(exception.description()));
            continue;
        }
        if (NSArrayController::objectOfRow(row) == nullptr) mapsChanged = true;
    }
    // Map rows are values: the edited list goes back as the content (the selection stays);
    // object rows were edited in place.
    if (mapsChanged) mArrayController->setContent(content);
    else mArrayController->rearrangeObjects();
}

void UILocalizationEditorArrayController::outletArrayControllerSelectionChanged() {
    const QString code = selectionCodeString();
    mLastSeenCode = code;
    controllerSelectionChanged(code.isNull() ? QVariant() : QVariant(code));
}

void UILocalizationEditorArrayController::arrayControllerContentChanged() {
    const QString code = selectionCodeString();
    if (code == mLastSeenCode && code.isNull() == mLastSeenCode.isNull()) return;
    outletArrayControllerSelectionChanged();
}

void UILocalizationEditorArrayController::controllerSelectionChanged(const QVariant &value) {
    if (value.typeId() == QMetaType::QString && !value.toString().isEmpty())
        setArrangedObjectsStringValue(value.toString());
    else
        setArrangedObjectsStringValue(QString());
}

void UILocalizationEditorArrayController::setArrangedObjectsStringValue(const QString &text) {
    // The saved text is a copy of its own: the rows can always be reverted to what they showed.
    mSavedText = text.isNull() ? QString() : QString(text.constData(), text.size());
    setArrangedObjectsDictionary(text.isNull() ? QVariantMap() : dictionaryFromScript(text));
}

QString UILocalizationEditorArrayController::arrangedObjectsStringValue() const {
    return scriptFromDictionary(arrangedObjectsDictionary());
}

void UILocalizationEditorArrayController::setArrangedObjectsDictionary(const QVariantMap &dictionary) {
    QStringList keys = dictionary.keys();
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(keys.begin(), keys.end(), [&collator](const QString &a, const QString &b) {
        const int order = collator.compare(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    QVariantList rows;
    rows.reserve(keys.size());
    for (const QString &key : keys)
        rows.append(QVariantMap{{kKeyPathColumn, key}, {kKeyValueColumn, dictionary.value(key)}});
    setContent(rows);
    setDirty(false);
    emit editorStateChanged();
}

QVariantMap UILocalizationEditorArrayController::arrangedObjectsDictionary() const {
    QVariantMap dictionary;
    for (const QVariant &row : content()) {
        const QVariantMap map = row.toMap();
        const QString key = map.value(kKeyPathColumn).toString();
        if (!key.isEmpty()) dictionary.insert(key, map.value(kKeyValueColumn));
    }
    return dictionary;
}

QVariantMap UILocalizationEditorArrayController::dictionaryFromScript(const QString &script) {
    if (script.isNull()) return QVariantMap();
    std::unique_ptr<NSUIDesignCodes> codes = NSUIDesignCodes::codesWithCodeString(script);
    return codes ? codes->codeDictionary() : QVariantMap();
}

QString UILocalizationEditorArrayController::scriptFromDictionary(const QVariantMap &dictionary) {
    return NSUIDesignCodes::codeStringFromDictionary(dictionary);
}

void UILocalizationEditorArrayController::updateValues(QObject *) {
    if (!canUpdateValues()) return;
    setSelectionCodeString(arrangedObjectsStringValue());
}

void UILocalizationEditorArrayController::revertValues(QObject *) {
    if (!canRevertValues()) return;
    const QString saved = mSavedText;
    setSelectionCodeString(saved);
    // Writing back an unchanged text tells nothing: the rows show it again all the same.
    if (mDirty) setArrangedObjectsStringValue(saved);
}

QVariant UILocalizationEditorArrayController::tableViewObjectValue(const QString &columnIdentifier, int row) const {
    if (row < 0 || row >= content().size()) return QString();
    return content().at(row).toMap().value(columnIdentifier);
}

bool UILocalizationEditorArrayController::tableViewSetObjectValue(const QVariant &value,
                                                                  const QString &columnIdentifier, int row) {
    if (columnIdentifier != QLatin1String(kKeyValueColumn)) return false;
    const int column = columnWithIdentifier(columnIdentifier);
    if (row < 0 || row >= rowCount() || column < 0) return false;
    if (!NSArrayController::setData(index(row, column), value.toString(), Qt::EditRole)) return false;
    setDirty(true);
    return true;
}

bool UILocalizationEditorArrayController::setData(const QModelIndex &index, const QVariant &value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.column() >= columnBindings().size()) return false;
    return tableViewSetObjectValue(value, columnBindings().at(index.column()).identifier, index.row());
}

QVariant UILocalizationEditorArrayController::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columnBindings().size())
        return UILocalLanguageStringWithID(columnBindings().at(section).identifier == QLatin1String(kKeyPathColumn)
                                               ? kColumnStringID
                                               : kColumnText);
    return NSArrayController::headerData(section, orientation, role);
}

void UILocalizationEditorArrayController::setDirty(bool dirty) {
    if (mDirty == dirty) return;
    mDirty = dirty;
    emit editorStateChanged();
}
