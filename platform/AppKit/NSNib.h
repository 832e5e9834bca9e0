// NSNib: a nib is a Qt Designer form (.ui) loaded with QUiLoader.
//
// Where nibs live: each module keeps its .ui files beside its sources and compiles them into
// its library as Qt resources under the prefix "/nibs" (qt_add_resources), so a nib named N
// is the resource ":/nibs/N.ui". Nothing is installed beside the program and no nib can go
// missing from a bundle at run time.
//
// Loading one instance of a nib with an owner, in this order:
//   1. Every widget is created, parents before children. A class registered by name
//      (NS_REGISTER_CLASS) is made through the registry, so our own classes are built; other
//      classes are Qt's own widgets. The form's properties are set on each object as it is
//      made (the "inspector attributes" of the object). A registered class that is no widget
//      (a controller, a folder: the nib's plain objects) is made as well and takes the
//      object name; in the widget tree it sits under a hidden, empty placeholder widget
//      ("<name>_nibObject") that owns it and takes the form's properties; those the object
//      declares (writable, not outlets) are then set on the object itself.
//   2. Outlets are connected. An outlet is a writable property of QObject-pointer type.
//      - The owner's outlets: every object whose object name is the name of an outlet of the
//        owner is connected to it (a widget named "outletMainWindow" goes into the owner's
//        property outletMainWindow; one named "nibblerView" into nibblerView).
//      - Outlets between the nib's objects: a string property written on an object in the
//        form (stdset="0", a <cstring> or <string>) whose name is an outlet of that object
//        names the object to connect: <property name="installThisView" stdset="0">
//        <cstring>pageView</cstring></property>. The form's menu items (actions) are objects
//        of the nib too, so an outlet may name one.
//      An object of the wrong class for the outlet, or a name that no object of the nib
//      bears, is logged and left unconnected.
//   3. awakeFromNib (a Q_INVOKABLE method of no argument) is sent to every object of the nib
//      that has it, in the order they were made, and then to the owner.
// The nib's top-level object is the form's root widget; it has no parent and belongs to the
// caller.
//
// Failures are logged with NSLog and answer false (or null): a nib that is not found, a form
// that cannot be read or builds nothing, and nibs nested deeper than kMaxNestedLoads (a nib
// whose objects load nibs that load it again). An exception thrown by an awakeFromNib passes
// on to the caller; the objects made so far are then deleted.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class NSNib {
public:
    static constexpr int kMaxNestedLoads = 32;

    // The nib named name (the resource ":/nibs/<name>.ui"); null when there is none.
    static std::unique_ptr<NSNib> initWithNibNamed(const QString &name);
    // A nib of the form's bytes; name is used in messages only.
    static std::unique_ptr<NSNib> initWithNibData(const QByteArray &data, const QString &name);

    // Makes one instance of the nib with the owner (may be null) as above. On success the
    // root widget is appended to topLevelObjects (which may be null: the root is then
    // deleted once awakeFromNib has been sent).
    bool instantiateNibWithOwner(QObject *owner, QList<QObject *> *topLevelObjects);

    const QString &name() const { return mName; }

    NSNib(QByteArray data, QString name);

private:
    QByteArray mData;
    QString mName;
};

// The path of the nib named name among the resources.
QString NSNibResourcePath(const QString &name);
