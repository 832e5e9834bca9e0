#include <AppKit/NSNib.h>

#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QMetaProperty>
#include <QPointer>
#include <QUiLoader>
#include <QWidget>
#include <QXmlStreamReader>

#include <vector>

namespace {

// A string property written on an object of the form: a candidate outlet between objects.
struct OutletConnection {
    QString objectName;
    QByteArray outlet;
    QString destinationName;
};

// Reads the outlets between objects, and checks that the form is well-formed XML. False with
// the reason when it is not.
bool ReadOutletConnections(const QByteArray &data, std::vector<OutletConnection> &connections, QString &error) {
    QXmlStreamReader reader(data);
    QStringList widgets;           // names of the enclosing <widget> elements
    QStringList elementNames;      // names of the open elements
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QString element = reader.name().toString();
            const bool inWidget = !elementNames.isEmpty() && elementNames.last() == QLatin1String("widget");
            if (element == QLatin1String("widget")) widgets.append(reader.attributes().value(QLatin1String("name")).toString());
            if (element == QLatin1String("property") && inWidget &&
                reader.attributes().value(QLatin1String("stdset")) == QLatin1String("0")) {
                const QByteArray outlet = reader.attributes().value(QLatin1String("name")).toUtf8();
                // The property's value is its one child element.
                if (reader.readNextStartElement()) {
                    const QString kind = reader.name().toString();
                    const QString value = reader.readElementText(QXmlStreamReader::SkipChildElements);
                    if ((kind == QLatin1String("cstring") || kind == QLatin1String("string")) && !outlet.isEmpty())
                        connections.push_back({widgets.last(), outlet, value});
                    reader.skipCurrentElement();  // the rest of <property>
                }
                break;  // <property> is closed (or the reader stopped at an error)
            }
            elementNames.append(element);
            break;
        }
        case QXmlStreamReader::EndElement:
            if (!elementNames.isEmpty()) {
                if (elementNames.last() == QLatin1String("widget") && !widgets.isEmpty()) widgets.removeLast();
                elementNames.removeLast();
            }
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        error = QStringLiteral("line %1: %2").arg(reader.lineNumber()).arg(reader.errorString());
        return false;
    }
    return true;
}

// QUiLoader building our own classes by name and remembering every object it made. A
// registered class that is no widget (a controller, a folder) is made too: the form holds a
// hidden, empty placeholder widget in its place, which owns it; outlets and awakeFromNib reach
// the object itself.
class NibLoader : public QUiLoader {
public:
    QList<QPointer<QObject>> mCreated;
    QList<QPair<QPointer<QObject>, QPointer<QWidget>>> mPlaceholders;  // plain object, its placeholder

    QWidget *createWidget(const QString &className, QWidget *parent, const QString &name) override {
        QWidget *widget = nullptr;
        const NSClass cls = NSClassFromString(className);
        if (cls != nullptr && cls->inherits(&QWidget::staticMetaObject)) {
            QObject *object = NSClassCreateInstance(cls);
            widget = qobject_cast<QWidget *>(object);
            if (widget == nullptr) {
                delete object;
            } else {
                if (parent != nullptr) widget->setParent(parent);
                widget->setObjectName(name);
            }
        } else if (cls != nullptr) {
            QObject *object = NSClassCreateInstance(cls);
            if (object == nullptr) return nullptr;
            auto *placeholder = new QWidget(parent);
            placeholder->setObjectName(name + QStringLiteral("_nibObject"));
            placeholder->hide();
            placeholder->setFixedSize(0, 0);
            object->setParent(placeholder);
            object->setObjectName(name);
            mCreated.append(object);
            mPlaceholders.append({object, placeholder});
            return placeholder;
        } else {
            widget = QUiLoader::createWidget(className, parent, name);
        }
        if (widget != nullptr) mCreated.append(widget);
        return widget;
    }

    // Menu items too: an object of the form may hold one in an outlet.
    QAction *createAction(QObject *parent, const QString &name) override {
        QAction *action = QUiLoader::createAction(parent, name);
        if (action != nullptr) mCreated.append(action);
        return action;
    }
};

enum class Outlet { None, Connected, WrongClass };

// Sets the holder's outlet (a writable QObject-pointer property) to the object.
Outlet ConnectOutlet(QObject *holder, const char *outlet, QObject *object) {
    const QMetaObject *meta = holder->metaObject();
    const int index = meta->indexOfProperty(outlet);
    if (index < 0) return Outlet::None;
    const QMetaProperty property = meta->property(index);
    const QMetaType type = property.metaType();
    if (!property.isWritable() || !(type.flags() & QMetaType::PointerToQObject)) return Outlet::None;
    if (type.metaObject() != nullptr && !object->metaObject()->inherits(type.metaObject())) return Outlet::WrongClass;
    QVariant value(type);
    *static_cast<QObject **>(value.data()) = object;
    return property.write(holder, value) ? Outlet::Connected : Outlet::WrongClass;
}

QString ClassName(const QObject *object) { return QString::fromLatin1(object->metaObject()->className()); }

int &NestedLoads() {
    thread_local int depth = 0;
    return depth;
}

struct NestedLoad {
    NestedLoad() { ++NestedLoads(); }
    ~NestedLoad() { --NestedLoads(); }
    NestedLoad(const NestedLoad &) = delete;
    NestedLoad &operator=(const NestedLoad &) = delete;
};

}  // namespace

QString NSNibResourcePath(const QString &name) { return QStringLiteral(":/nibs/") + name + QStringLiteral(".ui"); }

NSNib::NSNib(QByteArray data, QString name) : mData(std::move(data)), mName(std::move(name)) {}

std::unique_ptr<NSNib> NSNib::initWithNibNamed(const QString &name) {
    if (name.isEmpty()) return nullptr;
    QFile file(NSNibResourcePath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        NSLog(QStringLiteral("NSNib: no nib named \"%1\" (%2)").arg(name, file.fileName()));
        return nullptr;
    }
    return std::make_unique<NSNib>(file.readAll(), name);
}

std::unique_ptr<NSNib> NSNib::initWithNibData(const QByteArray &data, const QString &name) {
    return std::make_unique<NSNib>(data, name);
}

bool NSNib::instantiateNibWithOwner(QObject *owner, QList<QObject *> *topLevelObjects) {
    if (qobject_cast<QApplication *>(QCoreApplication::instance()) == nullptr) {
        NSLog(QStringLiteral("NSNib \"%1\": nibs are loaded only in a widget application").arg(mName));
        return false;
    }
    if (NestedLoads() >= kMaxNestedLoads) {
        NSLog(QStringLiteral("NSNib \"%1\": nibs nested deeper than %2 (a nib that loads itself?)")
                  .arg(mName)
                  .arg(kMaxNestedLoads));
        return false;
    }
    const NestedLoad nested;

    std::vector<OutletConnection> connections;
    QString error;
    if (!ReadOutletConnections(mData, connections, error)) {
        NSLog(QStringLiteral("NSNib \"%1\": the form cannot be read: %2").arg(mName, error));
        return false;
    }

    // 1. The objects.
    NibLoader loader;
    QBuffer buffer(&mData);
    buffer.open(QIODevice::ReadOnly);
    std::unique_ptr<QWidget> root(loader.load(&buffer, nullptr));
    if (root == nullptr) {
        NSLog(QStringLiteral("NSNib \"%1\": the form builds nothing: %2").arg(mName, loader.errorString()));
        for (const QPointer<QObject> &object : loader.mCreated) delete object.data();
        return false;
    }
    QList<QPointer<QObject>> objects;
    for (const QPointer<QObject> &object : loader.mCreated)
        if (!object.isNull()) objects.append(object.data());
    // A plain object's properties were written on its placeholder: those the object declares
    // (but for outlets, connected below) are its own.
    for (const auto &[object, placeholder] : loader.mPlaceholders) {
        if (object.isNull() || placeholder.isNull()) continue;
        const QMetaObject *meta = object->metaObject();
        for (const QByteArray &name : placeholder->dynamicPropertyNames()) {
            const int index = meta->indexOfProperty(name.constData());
            if (index < 0 || !meta->property(index).isWritable() ||
                (meta->property(index).metaType().flags() & QMetaType::PointerToQObject))
                continue;
            if (!object->setProperty(name.constData(), placeholder->property(name.constData())))
                NSLog(QStringLiteral("NSNib \"%1\": property %2 of %3 not set").arg(mName, QString::fromUtf8(name), object->objectName()));
        }
    }
    auto findObject = [&objects](const QString &name) -> QObject * {
        for (const QPointer<QObject> &object : objects)
            if (!object.isNull() && object->objectName() == name) return object.data();
        return nullptr;
    };

    // 2. The outlets: the owner's by object name, then those written between objects.
    if (owner != nullptr) {
        for (const QPointer<QObject> &object : objects) {
            if (object.isNull() || object->objectName().isEmpty()) continue;
            const QByteArray outlet = object->objectName().toUtf8();
            if (ConnectOutlet(owner, outlet.constData(), object.data()) == Outlet::WrongClass)
                NSLog(QStringLiteral("NSNib \"%1\": outlet %2 of the owner %3 cannot hold a %4")
                          .arg(mName, object->objectName(), ClassName(owner), ClassName(object.data())));
        }
    }
    for (const OutletConnection &connection : connections) {
        QObject *holder = findObject(connection.objectName);
        if (holder == nullptr) continue;
        const int index = holder->metaObject()->indexOfProperty(connection.outlet.constData());
        if (index < 0 || !(holder->metaObject()->property(index).metaType().flags() & QMetaType::PointerToQObject))
            continue;  // an ordinary dynamic property, set by the loader
        QObject *destination = findObject(connection.destinationName);
        const Outlet result = destination == nullptr
                                  ? Outlet::None
                                  : ConnectOutlet(holder, connection.outlet.constData(), destination);
        if (result != Outlet::Connected)
            NSLog(QStringLiteral("NSNib \"%1\": outlet %2 of %3 not connected to \"%4\"%5")
                      .arg(mName, QString::fromUtf8(connection.outlet), connection.objectName,
                           connection.destinationName,
                           destination == nullptr ? QStringLiteral(" (no such object)")
                                                  : QStringLiteral(" (a %1)").arg(ClassName(destination))));
    }

    // 3. awakeFromNib, to the objects and then to the owner.
    for (const QPointer<QObject> &object : objects)
        if (!object.isNull() && respondsToSelector(object.data(), "awakeFromNib"))
            performSelector(object.data(), "awakeFromNib");
    if (owner != nullptr && respondsToSelector(owner, "awakeFromNib")) performSelector(owner, "awakeFromNib");

    if (topLevelObjects != nullptr) topLevelObjects->append(root.release());
    return true;
}
