// Binding interface texts to string IDs of the language controller.
//
// UILocalLanguageBinding::bind(element, "text", "app.panel.title") binds a text property of
// an element (a key of it: "text" of a label, button or action, "title" of a group box or
// menu, "placeholderText", "headerTitle" of a UILocalLanguageTableColumn...) to a string ID.
// The binding observes the ID through the controller's key-value observing, so:
//   - at bind time the element's own text becomes the ID's US English default unless the ID
//     has one (the first recorded default wins; UILocalLanguageController::addObserver);
//   - the element then shows the ID's text in the selected language, and shows it again after
//     each language change.
// The binding is a child of the element and ends with it (or with unbind).
//
// UILocalLanguageTableColumn gives a column header of an item model a bindable "headerTitle",
// and UILocalLanguageNSMenuItem is an action whose "title" also retitles the menu it is in
// and its submenu.
#pragma once

#include <Foundation/NSKeyValueCoding.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QObject>
#include <QPointer>
#include <QString>

class UILocalLanguageController;

class UILocalLanguageBinding : public QObject, public NSKeyValueObserver {
    Q_OBJECT
    // The bound element, as the controller asks a binding for it.
    Q_PROPERTY(QObject *object READ object)
    Q_PROPERTY(QString boundProperty READ boundProperty)
    Q_PROPERTY(QString keyPath READ keyPath)

public:
    // Binds the element's property to the string ID of the controller (the shared one when
    // null), replacing an earlier binding of that property. Null for a null element or an
    // empty property or ID.
    static UILocalLanguageBinding *bind(QObject *element, const QString &property, const QString &stringID,
                                        UILocalLanguageController *controller = nullptr);
    static void unbind(QObject *element, const QString &property);
    // The binding of the element's property; null when there is none.
    static UILocalLanguageBinding *bindingOf(QObject *element, const QString &property);

    ~UILocalLanguageBinding() override;

    QObject *object() const { return parent(); }
    QString boundProperty() const { return mProperty; }
    QString keyPath() const { return mKeyPath; }

    void observeValueForKeyPath(const QString &keyPath, QObject *object, const QVariantMap &change,
                                void *context) override;
    // Sets the element's property to the ID's text; an ID that no source knows, or a value
    // that is not text, leaves it as it is.
    void showText();

private:
    UILocalLanguageBinding(QObject *element, QString property, QString keyPath, UILocalLanguageController *controller);
    void showValue(const QVariant &value);

    QString mProperty;
    QString mKeyPath;
    QPointer<UILocalLanguageController> mController;
};

// NSTableColumn(UILocalLanguageController): one column header of an item model (a table
// widget's, a standard item model's) as a text: "" when there is no model or no such column.
class UILocalLanguageTableColumn : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString headerTitle READ headerTitle WRITE setHeaderTitle)
public:
    UILocalLanguageTableColumn(QAbstractItemModel *model, int column, QObject *parent = nullptr);

    QString headerTitle() const;
    // Sets the header's text when the column exists.
    void setHeaderTitle(const QString &title);

private:
    QPointer<QAbstractItemModel> mModel;
    int mColumn;
};

// A menu item for the language menu: setting its title sets its text, then the title of
// every menu it is in and of its submenu.
class UILocalLanguageNSMenuItem : public QAction {
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle)
public:
    using QAction::QAction;

    QString title() const { return text(); }
    void setTitle(const QString &title);
};

bool import_UILocalLanguageBinding();
