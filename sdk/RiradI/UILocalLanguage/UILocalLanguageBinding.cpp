#include "UILocalLanguageBinding.h"

#include "UILocalLanguageController.h"

#include <Foundation/NSException.h>

#include <QMenu>

UILocalLanguageBinding::UILocalLanguageBinding(QObject *element, QString property, QString keyPath,
                                               UILocalLanguageController *controller)
    : QObject(element), mProperty(std::move(property)), mKeyPath(std::move(keyPath)), mController(controller) {}

UILocalLanguageBinding::~UILocalLanguageBinding() {
    if (!mController.isNull()) mController->removeObserver(this, mKeyPath);
}

UILocalLanguageBinding *UILocalLanguageBinding::bindingOf(QObject *element, const QString &property) {
    if (element == nullptr) return nullptr;
    for (UILocalLanguageBinding *binding :
         element->findChildren<UILocalLanguageBinding *>(QString(), Qt::FindDirectChildrenOnly))
        if (binding->mProperty == property) return binding;
    return nullptr;
}

void UILocalLanguageBinding::unbind(QObject *element, const QString &property) {
    delete bindingOf(element, property);
}

UILocalLanguageBinding *UILocalLanguageBinding::bind(QObject *element, const QString &property,
                                                     const QString &stringID, UILocalLanguageController *controller) {
    if (element == nullptr || property.isEmpty() || stringID.isEmpty()) return nullptr;
    if (controller == nullptr) controller = UILocalLanguageController::language();
    if (controller == nullptr) return nullptr;
    unbind(element, property);
    auto *binding = new UILocalLanguageBinding(element, property, stringID, controller);
    controller->addObserver(binding, stringID, NSKeyValueObservingOptionNew);
    binding->showText();
    return binding;
}

void UILocalLanguageBinding::observeValueForKeyPath(const QString &, QObject *, const QVariantMap &change, void *) {
    const auto value = change.constFind(QString::fromLatin1(NSKeyValueChangeNewKey));
    if (value != change.constEnd())
        showValue(*value);
    else
        showText();
}

void UILocalLanguageBinding::showText() {
    if (mController.isNull()) return;
    showValue(NSKeyValueCoding::valueForKeyPath(mController.data(), mKeyPath));
}

void UILocalLanguageBinding::showValue(const QVariant &value) {
    if (NSKeyValueCoding::isNil(value)) return;
    const int type = value.typeId();
    if (type == QMetaType::QVariantMap || type == QMetaType::QVariantList || type == QMetaType::QStringList ||
        !value.canConvert<QString>())
        return;
    try {
        NSKeyValueCoding::setValueForKey(parent(), QVariant(value.toString()), mProperty);
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("UILocalLanguageBinding %1 of %2: %3")
                  .arg(mProperty, mKeyPath, exception.description()));
    }
}

UILocalLanguageTableColumn::UILocalLanguageTableColumn(QAbstractItemModel *model, int column, QObject *parent)
    : QObject(parent), mModel(model), mColumn(column) {}

QString UILocalLanguageTableColumn::headerTitle() const {
    if (mModel.isNull() || mColumn < 0 || mColumn >= mModel->columnCount()) return QStringLiteral("");
    return mModel->headerData(mColumn, Qt::Horizontal, Qt::DisplayRole).toString();
}

void UILocalLanguageTableColumn::setHeaderTitle(const QString &title) {
    if (mModel.isNull() || mColumn < 0 || mColumn >= mModel->columnCount()) return;
    mModel->setHeaderData(mColumn, Qt::Horizontal, title, Qt::DisplayRole);
}

void UILocalLanguageNSMenuItem::setTitle(const QString &title) {
    setText(title);
    for (QObject *holder : associatedObjects())
        if (auto *menu = qobject_cast<QMenu *>(holder)) menu->setTitle(title);
    if (QMenu *submenu = menu<QMenu *>()) submenu->setTitle(title);
}

bool import_UILocalLanguageBinding() { return import_UILocalLanguageController(); }
